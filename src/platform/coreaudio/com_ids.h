// Every class, interface and property id the Core Audio backend hands to
// COM, with the values Microsoft's SDK documents. They are written out here
// rather than taken from the toolchain's headers: releases of the MinGW-w64
// IDL have carried wrong ids (IAudioLoudness among them), and a wrong id
// fails silently, as a control the card seems not to have.
#pragma once

// clang-format off
#include <windows.h>
#include <wtypes.h>
// clang-format on

namespace velto::coreaudio::ids {

inline constexpr CLSID kMMDeviceEnumerator = {
    0xbcde0395, 0xe52f, 0x467c, {0x8e, 0x3d, 0xc4, 0x57, 0x92, 0x91, 0x69, 0x2e}};

inline constexpr IID kIUnknown = {
    0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID kIMMDeviceEnumerator = {
    0xa95664d2, 0x9614, 0x4f35, {0xa7, 0x46, 0xde, 0x8d, 0xb6, 0x36, 0x17, 0xe6}};
inline constexpr IID kIAudioEndpointVolume = {
    0x5cdf2c82, 0x841e, 0x4546, {0x97, 0x22, 0x0c, 0xf7, 0x40, 0x78, 0x22, 0x9a}};
inline constexpr IID kIDeviceTopology = {
    0x2a07407e, 0x6497, 0x4a18, {0x97, 0x87, 0x32, 0xf7, 0x9b, 0xd0, 0xd9, 0x8f}};
inline constexpr IID kIPart = {
    0xae2de0e4, 0x5bca, 0x4f2d, {0xaa, 0x46, 0x5d, 0x13, 0xf8, 0xfd, 0xb3, 0xa9}};
inline constexpr IID kIAudioVolumeLevel = {
    0x7fb7b48f, 0x531d, 0x44a2, {0xbc, 0xb3, 0x5a, 0xd5, 0xa1, 0x34, 0xb3, 0xdc}};
inline constexpr IID kIAudioBass = {
    0xa2b1a1d9, 0x4db3, 0x425d, {0xa2, 0xb2, 0xbd, 0x33, 0x5c, 0xb3, 0xe2, 0xe5}};
inline constexpr IID kIAudioTreble = {
    0x0a717812, 0x694e, 0x4907, {0xb7, 0x4b, 0xba, 0xfa, 0x5c, 0xfd, 0xca, 0x7b}};
inline constexpr IID kIAudioMidrange = {
    0x5e54b6d7, 0xb44b, 0x40d9, {0x9a, 0x9e, 0xe6, 0x91, 0xd9, 0xce, 0x6e, 0xdf}};
inline constexpr IID kIAudioMute = {
    0xdf45aeea, 0xb74a, 0x4b6b, {0xaf, 0xad, 0x23, 0x66, 0xb6, 0xaa, 0x01, 0x2e}};
inline constexpr IID kIAudioAutoGainControl = {
    0x85401fd4, 0x6de4, 0x4b9d, {0x98, 0x69, 0x2d, 0x67, 0x53, 0xa8, 0x2f, 0x3c}};
inline constexpr IID kIAudioLoudness = {
    0x7d8b1437, 0xdd53, 0x4350, {0x9c, 0x1b, 0x1e, 0xe2, 0x89, 0x0b, 0xd9, 0x38}};

inline constexpr PROPERTYKEY kPkeyDeviceFriendlyName = {
    {0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 14};

// The table as a list, for the check that every id is the SDK's.
struct NamedId {
  const char* name;
  const GUID* guid;
};
inline constexpr NamedId kAll[] = {
    {"CLSID_MMDeviceEnumerator", &kMMDeviceEnumerator},
    {"IID_IUnknown", &kIUnknown},
    {"IID_IMMDeviceEnumerator", &kIMMDeviceEnumerator},
    {"IID_IAudioEndpointVolume", &kIAudioEndpointVolume},
    {"IID_IDeviceTopology", &kIDeviceTopology},
    {"IID_IPart", &kIPart},
    {"IID_IAudioVolumeLevel", &kIAudioVolumeLevel},
    {"IID_IAudioBass", &kIAudioBass},
    {"IID_IAudioTreble", &kIAudioTreble},
    {"IID_IAudioMidrange", &kIAudioMidrange},
    {"IID_IAudioMute", &kIAudioMute},
    {"IID_IAudioAutoGainControl", &kIAudioAutoGainControl},
    {"IID_IAudioLoudness", &kIAudioLoudness},
    {"PKEY_Device_FriendlyName", &kPkeyDeviceFriendlyName.fmtid},
};

}  // namespace velto::coreaudio::ids
