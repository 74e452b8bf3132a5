// End-to-end test of VeltoSound.dll on a real Core Audio implementation:
// Wine's MMDevice API over a PulseAudio server with null sinks and sources.
//
// The host loads the DLL with LoadLibrary, resolves every export by name and
// by ordinal, and drives the exports through __stdcall pointers typed by the
// public header. It checks the DLL's results against what the platform itself
// reports, read here through Core Audio directly (endpoint lists, names, ids,
// levels, mutes).
//
// What this platform offers decides the expected results. Wine 8 activates
// no IDeviceTopology on an endpoint (E_NOINTERFACE), answers E_NOTIMPL for
// the endpoint volume's channel count and per-channel levels, and implements
// the endpoint's range (-100..0 dB), master level and mute. So every binding
// finds its endpoint and activates its endpoint volume, then its topology
// walk stops at the first step: every binding reports failure, the endpoint
// volumes stay bound, the master and virtual volumes (per-channel) report 2,
// the recording volumes (master level) and the mutes work, and every control
// that only a topology walk finds is missing (status 1).
//
// Wine keeps an endpoint volume's level and mute in each activated object, not
// in the endpoint: a second object, such as one this host activates, neither
// sees nor changes what the DLL's object holds. So levels and mutes are
// checked through the DLL's own getters, and the host reads only what every
// object shares, the range.
//
// usage: wine_host.exe VeltoSound.dll exports.txt [--removal BOUND GONE]
// clang-format off
#include <windows.h>
#include <objbase.h>
#include <mmdeviceapi.h>
#include <endpointvolume.h>
// clang-format on

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "check_lines.h"
#include "dll_exports.h"
#include "platform/coreaudio/com_ids.h"
#include "platform/coreaudio/com_ptr.h"
#include "veltosound.h"

using velto::coreaudio::ComPtr;
using Dll = velto::testing::DllExports;

namespace {

// --- Reporting ----------------------------------------------------------------

velto::testing::CheckLines g_checks;

void Expect(bool ok, const std::string& what, const std::string& detail = "") {
  g_checks.Expect(ok, what, detail);
}

std::string Show(int value) { return std::to_string(value); }
std::string Show(const std::string& value) { return "\"" + value + "\""; }
std::string Show(float value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
  return text;
}

template <class T>
void ExpectEq(const T& got, const T& expected, const std::string& what) {
  Expect(got == expected, what, "got " + Show(got) + ", expected " + Show(expected));
}

// An export's integer result and its status, checked together. The status is
// taken by reference: it is read only after the call in the first argument.
void ExpectCall(int result, const int& status, int expectedResult, int expectedStatus,
                const std::string& what) {
  Expect(result == expectedResult && status == expectedStatus, what,
         "got result " + Show(result) + " status " + Show(status) + ", expected result " +
             Show(expectedResult) + " status " + Show(expectedStatus));
}

// A status out-parameter set to -1 first, to see that the call wrote it.
int* Fresh(int& status) {
  status = -1;
  return &status;
}

// --- Text ------------------------------------------------------------------------

// The library's friendly-name narrowing: the low byte of each UTF-16 unit.
std::string LowBytes(const std::wstring& wide) {
  std::string narrow;
  for (wchar_t unit : wide) narrow += static_cast<char>(unit & 0xFF);
  return narrow;
}

std::string Ansi(const std::wstring& wide) {
  char buffer[512] = {};
  WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, buffer, sizeof buffer - 1, nullptr, nullptr);
  return buffer;
}

std::string WithCase(std::string text, bool upper) {
  for (char& c : text) {
    if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool ContainsMic(std::string name) { return WithCase(name, true).find("MIC") != std::string::npos; }

// A host buffer of 256 bytes filled with a guard byte, to see what was written.
struct HostBuffer {
  char bytes[256];
  HostBuffer() { std::memset(bytes, '#', sizeof bytes); }
  bool Untouched() const {
    for (char c : bytes) {
      if (c != '#') return false;
    }
    return true;
  }
  std::string Text() const {
    const void* end = std::memchr(bytes, 0, sizeof bytes);
    return std::string(bytes, end ? static_cast<const char*>(end) : bytes + sizeof bytes);
  }
};

// --- The platform as the host sees it ------------------------------------------

struct Endpoint {
  std::wstring id;
  std::wstring name;
  std::string narrowName() const { return LowBytes(name); }
  std::string narrowId() const { return Ansi(id); }
};

class CoreAudio {
 public:
  CoreAudio() {
    CoCreateInstance(velto::coreaudio::ids::kMMDeviceEnumerator, nullptr, CLSCTX_INPROC_SERVER,
                     velto::coreaudio::ids::kIMMDeviceEnumerator, enumerator_.ReceiveVoid());
  }
  bool ok() const { return static_cast<bool>(enumerator_); }

  std::vector<Endpoint> List(EDataFlow flow) const {
    std::vector<Endpoint> endpoints;
    ComPtr<IMMDeviceCollection> devices;
    if (enumerator_->EnumAudioEndpoints(flow, DEVICE_STATE_ACTIVE, devices.Receive()) != S_OK) {
      return endpoints;
    }
    UINT count = 0;
    devices->GetCount(&count);
    for (UINT i = 0; i < count; ++i) {
      ComPtr<IMMDevice> device;
      if (devices->Item(i, device.Receive()) == S_OK) endpoints.push_back(Describe(*device.Get()));
    }
    return endpoints;
  }

  Endpoint Default(EDataFlow flow) const {
    ComPtr<IMMDevice> device;
    if (enumerator_->GetDefaultAudioEndpoint(flow, eConsole, device.Receive()) != S_OK) return {};
    return Describe(*device.Get());
  }

  ComPtr<IAudioEndpointVolume> Volume(const Endpoint& endpoint) const {
    ComPtr<IAudioEndpointVolume> volume;
    ComPtr<IMMDevice> device;
    if (enumerator_->GetDevice(endpoint.id.c_str(), device.Receive()) == S_OK) {
      device->Activate(velto::coreaudio::ids::kIAudioEndpointVolume, CLSCTX_INPROC_SERVER, nullptr,
                       volume.ReceiveVoid());
    }
    return volume;
  }

 private:
  static Endpoint Describe(IMMDevice& device) {
    Endpoint endpoint;
    LPWSTR id = nullptr;
    if (device.GetId(&id) == S_OK && id) endpoint.id = id;
    CoTaskMemFree(id);
    ComPtr<IPropertyStore> store;
    if (device.OpenPropertyStore(STGM_READ, store.Receive()) != S_OK) return endpoint;
    PROPVARIANT value;
    PropVariantInit(&value);
    if (store->GetValue(velto::coreaudio::ids::kPkeyDeviceFriendlyName, &value) == S_OK &&
        value.vt == VT_LPWSTR && value.pwszVal) {
      endpoint.name = value.pwszVal;
    }
    PropVariantClear(&value);
    return endpoint;
  }

  ComPtr<IMMDeviceEnumerator> enumerator_;
};

// The range of an endpoint's volume, as the platform reports it.
bool ReadRange(const CoreAudio& audio, const Endpoint& endpoint, float* minDb, float* maxDb) {
  ComPtr<IAudioEndpointVolume> volume = audio.Volume(endpoint);
  float step = 0;
  return volume && volume->GetVolumeRange(minDb, maxDb, &step) == S_OK;
}

// --- The DLL ----------------------------------------------------------------------

struct ExportEntry {
  std::string name;
  int ordinal = 0;
  int argumentBytes = 0;
};

std::vector<ExportEntry> ReadExportTable(const char* path) {
  std::vector<ExportEntry> entries;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    ExportEntry entry;
    if (fields >> entry.name >> entry.ordinal >> entry.argumentBytes) entries.push_back(entry);
  }
  return entries;
}

#if defined(__i386__)
// Calls `function` with `words` zero 32-bit arguments and measures how many
// argument bytes it took off the stack on return. A __stdcall callee pops all
// of them; nothing else in this process depends on the answer being right.
__attribute__((noinline)) int BytesPoppedByCallee(FARPROC function, int words) {
  int popped = 0;
  __asm__ volatile(
      "movl %%esp, %%esi\n\t"
      "movl %[words], %%ecx\n\t"
      "1:\n\t"
      "testl %%ecx, %%ecx\n\t"
      "jz 2f\n\t"
      "pushl $0\n\t"
      "decl %%ecx\n\t"
      "jmp 1b\n\t"
      "2:\n\t"
      "movl %%esp, %%edi\n\t"
      "call *%[function]\n\t"
      "movl %%esp, %%eax\n\t"
      "subl %%edi, %%eax\n\t"
      "movl %%esi, %%esp\n\t"
      : "=a"(popped)
      : [function] "b"(function), [words] "m"(words)
      : "ecx", "edx", "esi", "edi", "memory", "cc", "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5",
        "xmm6", "xmm7");
  return popped;
}
#endif

bool LoadExports(HMODULE module, const std::vector<ExportEntry>& table, Dll& dll) {
  ExpectEq(static_cast<int>(table.size()), 44, "the export table lists 44 exports");
  bool all = true;
  for (const ExportEntry& entry : table) {
    FARPROC byName = GetProcAddress(module, entry.name.c_str());
    FARPROC byOrdinal = GetProcAddress(module, MAKEINTRESOURCEA(entry.ordinal));
    const bool same = byName && byName == byOrdinal;
    all = all && same;
    Expect(same, entry.name + " resolves by name and at ordinal " + Show(entry.ordinal),
           "by name " + Show(byName != nullptr) + ", same address by ordinal " +
               Show(byName == byOrdinal));
    // The .def names the exports undecorated; a Name@N twin would mean the
    // header's dllexport leaked into the build.
    const std::string decorated = entry.name + "@" + Show(entry.argumentBytes);
    Expect(!GetProcAddress(module, decorated.c_str()) &&
               !GetProcAddress(module, ("_" + decorated).c_str()),
           "no decorated export " + decorated);
  }
  dll.Resolve(module);
  Expect(!GetProcAddress(module, MAKEINTRESOURCEA(45)), "no export above ordinal 44");
  return all;
}

// Every export called with zero arguments: no device bound, null pointers,
// zero levels. The decided null-pointer rule makes that safe for all 44.
void CheckCalleePops(const Dll& dll, HMODULE module, const std::vector<ExportEntry>& table) {
#if defined(__i386__)
  for (const ExportEntry& entry : table) {
    FARPROC function = GetProcAddress(module, entry.name.c_str());
    if (!function) continue;
    const int popped = BytesPoppedByCallee(function, entry.argumentBytes / 4);
    Expect(popped == entry.argumentBytes,
           entry.name + " pops its " + Show(entry.argumentBytes) + " argument bytes",
           "popped " + Show(popped));
  }
#else
  // x86-64 has one calling convention, in which the caller pops.
  (void)module, (void)table;
  std::printf("skip callee pops: not a 32-bit process\n");
#endif
  // The calls above bound the default devices and the first render endpoint.
  dll.CloseVirtual_1();
  dll.CloseSoundCard(0);
}

// --- The scenario -------------------------------------------------------------------

struct Devices {
  std::vector<Endpoint> render;
  std::vector<Endpoint> capture;
  Endpoint speakers;
  Endpoint international;  // a name with characters outside ASCII
  Endpoint microphone;
  Endpoint lineIn;
  Endpoint defaultRender;
  Endpoint defaultCapture;
};

const Endpoint* FindByName(const std::vector<Endpoint>& list, const wchar_t* name) {
  for (const Endpoint& endpoint : list) {
    if (endpoint.name == name) return &endpoint;
  }
  return nullptr;
}

// The PulseAudio server of run-wine-tests.sh offers these endpoints under
// their descriptions.
bool DiscoverDevices(const CoreAudio& audio, Devices& devices) {
  devices.render = audio.List(eRender);
  devices.capture = audio.List(eCapture);
  devices.defaultRender = audio.Default(eRender);
  devices.defaultCapture = audio.Default(eCapture);
  const Endpoint* speakers = FindByName(devices.render, L"Speakers");
  const Endpoint* international = FindByName(devices.render, L"\u00c9couteurs \u0141\u00f3d\u017a");
  const Endpoint* microphone = FindByName(devices.capture, L"Microphone");
  const Endpoint* lineIn = FindByName(devices.capture, L"Line In");
  Expect(speakers && international, "the platform lists the render endpoints of the server");
  Expect(microphone && lineIn, "the platform lists the capture endpoints of the server");
  if (!speakers || !international || !microphone || !lineIn) return false;
  devices.speakers = *speakers;
  devices.international = *international;
  devices.microphone = *microphone;
  devices.lineIn = *lineIn;
  return true;
}

void CheckEnumeration(const Dll& dll, const Devices& devices) {
  // Low-byte narrowing whatever the code page: U+00C9 -> 0xC9, U+0141 -> 0x41,
  // U+00F3 -> 0xF3, U+017A -> 0x7A.
  const std::string narrowed = "\311couteurs A\363dz";
  ExpectEq(devices.international.narrowName(), narrowed,
           "a friendly name outside ASCII is narrowed to the low bytes of its UTF-16 units");

  struct Flow {
    const char* counter;
    decltype(dll.GetNumberPlayDevices) count;
    const char* label;
    decltype(dll.GetPlayBackDevice) call;
    const char* kind;
    const std::vector<Endpoint>* list;
    int outOfRange;  // the twins differ here
  };
  const int captureCount = static_cast<int>(devices.capture.size());
  const Flow flows[] = {{"GetNumberPlayDevices", dll.GetNumberPlayDevices, "GetPlayBackDevice",
                         dll.GetPlayBackDevice, "render", &devices.render, -1},
                        {"GetNumberRecordDevices", dll.GetNumberRecordDevices, "GetRecordDevice",
                         dll.GetRecordDevice, "capture", &devices.capture, captureCount}};
  bool listed = false;
  for (const Flow& flow : flows) {
    int count = -1;
    ExpectEq(flow.count(&count), 0, std::string(flow.counter) + " succeeds");
    ExpectEq(
        count, static_cast<int>(flow.list->size()),
        std::string(flow.counter) + " counts the platform's active " + flow.kind + " endpoints");
    // Per index, in the platform's collection order: the name by low bytes,
    // the id through the ANSI code page.
    for (std::size_t i = 0; i < flow.list->size(); ++i) {
      HostBuffer name, id;
      const int result = flow.call(static_cast<unsigned>(i), name.bytes, id.bytes);
      const Endpoint& expected = (*flow.list)[i];
      Expect(
          result == 0 && name.Text() == expected.narrowName() && id.Text() == expected.narrowId(),
          std::string(flow.label) + " " + Show(static_cast<int>(i)) + " gives " +
              Show(expected.narrowName()),
          "result " + Show(result) + " name " + Show(name.Text()) + " id " + Show(id.Text()));
      listed = listed || (flow.list == &devices.render && name.Text() == narrowed);
    }
    // Out of range: -1 from the playback twin, the count from the record
    // twin; the buffers stay as the host filled them. 0xFFFFFFFF is the
    // largest unsigned index.
    for (unsigned index : {static_cast<unsigned>(flow.list->size()), 0xFFFFFFFFu}) {
      HostBuffer name, id;
      const int result = flow.call(index, name.bytes, id.bytes);
      Expect(result == flow.outOfRange && name.Untouched() && id.Untouched(),
             std::string(flow.label) + " " + std::to_string(index) + " is out of range",
             "result " + Show(result) + ", expected " + Show(flow.outOfRange));
    }
  }
  Expect(listed, "GetPlayBackDevice hands out that narrowed name");
}

void CheckUnbound(const Dll& dll) {
  int status = -1;
  ExpectCall(dll.GetMasterVolume(&status), status, 0, 3, "GetMasterVolume with nothing bound");
  ExpectCall(dll.SetMicRecordVolume(50, Fresh(status)), status, 0, 3,
             "SetMicRecordVolume with nothing bound");
  ExpectCall(dll.GetMasterMute(Fresh(status)), status, 0, 3, "GetMasterMute with nothing bound");
  // The virtual pair never reports 3: with no virtual endpoint it reports 1.
  ExpectCall(dll.GetVirtualVolume(Fresh(status)), status, 0, 1,
             "GetVirtualVolume with nothing bound");
  ExpectCall(dll.GetVirtualMute(Fresh(status)), status, 0, 1, "GetVirtualMute with nothing bound");
  double minDb = 7, maxDb = 7, stepDb = 7;
  ExpectEq(dll.GetEQRange(&minDb, &maxDb, &stepDb), 3, "GetEQRange with nothing bound returns 3");
  Expect(minDb == 0 && maxDb == 0 && stepDb == 0, "GetEQRange writes zeros first");
  HostBuffer playback, line, mic;
  dll.GetDeviceNames(playback.bytes, line.bytes, mic.bytes);
  Expect(playback.Untouched() && line.Untouched() && mic.Untouched(),
         "GetDeviceNames before any binding leaves the buffers as they were");
  ExpectEq(dll.CloseSoundCard(1), 0, "CloseSoundCard on an unbound mixer returns 0");
}

// A bound endpoint's mute, switched on and off through the DLL.
bool MuteWorks(decltype(&::SetVirtualMute) setMute, decltype(&::GetVirtualMute) getMute) {
  int setOn = -1, readOn = -1, setOff = -1, readOff = -1;
  setMute(1, &setOn);
  const int on = getMute(&readOn);
  setMute(0, &setOff);
  const int off = getMute(&readOff);
  return setOn == 0 && readOn == 0 && on == 1 && setOff == 0 && readOff == 0 && off == 0;
}

void CheckVirtualEndpoint(const Dll& dll, const Devices& devices) {
  // The lookup finds the endpoint and binds its endpoint volume, but the
  // topology check fails on Wine, so OpenVirtual_1 reports 1 while the
  // virtual endpoint stays bound.
  const std::string id = devices.speakers.narrowId();
  ExpectEq(dll.OpenVirtual_1(id.c_str()), 1, "OpenVirtual_1 with the Speakers id returns 1");
  Expect(MuteWorks(dll.SetVirtualMute, dll.GetVirtualMute), "the virtual mute switches on and off");
  int status = -1;
  ExpectCall(dll.GetVirtualMute(&status), status, 0, 0, "GetVirtualMute reads unmuted");
  // Per-channel levels are not implemented on this platform.
  ExpectCall(dll.GetVirtualVolume(Fresh(status)), status, 0, 2,
             "GetVirtualVolume: channel 0's level cannot be read");
  ExpectCall(dll.SetVirtualVolume(50, Fresh(status)), status, 50, 2,
             "SetVirtualVolume: no channel count, nothing set, the percentage returned");
  // The lookup set the device-bound marker: the other controls answer 1.
  ExpectCall(dll.GetMasterVolume(Fresh(status)), status, 0, 1,
             "after OpenVirtual_1 the master volume reports a missing control, not 3");

  // Ids match whatever the case of the letters A to Z.
  for (bool upper : {true, false}) {
    const std::string cased = WithCase(devices.international.narrowId(), upper);
    ExpectEq(dll.OpenVirtual_1(cased.c_str()), 1,
             std::string("OpenVirtual_1 with the id in ") + (upper ? "upper" : "lower") + " case");
    // A case-sensitive match would find nothing: these ids are upper case.
    int status = -1;
    ExpectCall(dll.GetVirtualMute(&status), status, 0, 0, "  the endpoint of that id is bound");
  }
  // An empty text matches the first active render endpoint.
  ExpectEq(dll.OpenVirtual_1(""), 1, "OpenVirtual_1 with an empty text");
  ExpectCall(dll.GetVirtualMute(Fresh(status)), status, 0, 0, "  an empty text binds an endpoint");
  // A text that matches nothing leaves no virtual endpoint bound.
  ExpectEq(dll.OpenVirtual_1("no-such-endpoint"), 1, "OpenVirtual_1 with an unknown id");
  ExpectCall(dll.GetVirtualMute(Fresh(status)), status, 0, 1,
             "no virtual endpoint after a failed lookup");
  ExpectEq(dll.CloseVirtual_1(), 0, "CloseVirtual_1 with nothing bound returns 0");
  dll.OpenVirtual_1(id.c_str());
  ExpectEq(dll.CloseVirtual_1(), 0, "CloseVirtual_1 returns 0");
  ExpectCall(dll.SetVirtualMute(1, Fresh(status)), status, 0, 1,
             "the virtual endpoint is released");
}

// Each control's getter and setter; some only a topology walk binds.
struct ControlPair {
  std::string name;  // without Get or Set
  decltype(&::GetMasterMute) get;
  decltype(&::SetMasterMute) set;
  bool topologyOnly;
};

std::vector<ControlPair> ControlPairs(const Dll& dll) {
// The getter and setter of `name`, then the other fields.
#define VELTO_PAIR(name, ...) \
  { #name, dll.Get##name, dll.Set##name __VA_OPT__(, ) __VA_ARGS__ }
  return {VELTO_PAIR(MasterVolume, false),     VELTO_PAIR(LinePlayBack, true),
          VELTO_PAIR(MicPlayBack, true),       VELTO_PAIR(MicRecordVolume, false),
          VELTO_PAIR(LineRecordVolume, false), VELTO_PAIR(VirtualVolume, false),
          VELTO_PAIR(MasterMute, false),       VELTO_PAIR(LinePlayBackMute, true),
          VELTO_PAIR(MicPlayBackMute, true),   VELTO_PAIR(MicBoost, true),
          VELTO_PAIR(NoMonitor, true),         VELTO_PAIR(VirtualMute, false),
          VELTO_PAIR(MicSliderBoost, true)};
}

struct ToneBand {
  std::string name;
  decltype(&::GetBass) get;
  decltype(&::SetBass) set;
};

std::vector<ToneBand> ToneBands(const Dll& dll) {
  return {VELTO_PAIR(Bass), VELTO_PAIR(Treble), VELTO_PAIR(MidRange)};
#undef VELTO_PAIR
}

// Controls that only a topology walk binds: missing on this platform.
void CheckTopologyControlsMissing(const Dll& dll) {
  int status = -1;
  for (const ControlPair& pair : ControlPairs(dll)) {
    if (!pair.topologyOnly) continue;
    ExpectCall(pair.get(Fresh(status)), status, 0, 1, "Get" + pair.name + ": no such control");
  }
  // Setters: 0 with status 1, except the slider, which returns 1 on failure.
  for (const ControlPair& pair : ControlPairs(dll)) {
    if (!pair.topologyOnly) continue;
    ExpectCall(pair.set(1, Fresh(status)), status, pair.name == "MicSliderBoost" ? 1 : 0, 1,
               "Set" + pair.name + ": no such control");
  }
  int minDb = 7, maxDb = 7, stepDb = 7;
  ExpectCall(dll.GetMicSliderDetails(Fresh(status), &minDb, &maxDb, &stepDb), status, 1, 1,
             "GetMicSliderDetails: no such control");
  Expect(minDb == 7 && maxDb == 7 && stepDb == 7, "GetMicSliderDetails leaves the range unwritten");

  // Tone bands: 1 on failure, and the getters write 0.0 first.
  for (const ToneBand& band : ToneBands(dll)) {
    double level = 7;
    ExpectCall(band.get(&level, Fresh(status)), status, 1, 1,
               "Get" + band.name + ": no such control");
    Expect(level == 0.0, "Get" + band.name + " writes 0.0");
    ExpectCall(band.set(3.0, Fresh(status)), status, 1, 1, "Set" + band.name + ": no such control");
  }
  double minTone = 7, maxTone = 7, stepTone = 7;
  ExpectEq(dll.GetEQRange(&minTone, &maxTone, &stepTone), 1, "GetEQRange: no tone control");
  Expect(minTone == 0 && maxTone == 0 && stepTone == 0, "GetEQRange writes zeros");
}

// The worked values of the level scaling, computed inside the DLL by the
// 32-bit build with the pow and log it links (MinGW-w64's, not msvcrt's),
// on this platform's range of -100..0 dB. The read-back column depends on every
// 32-bit step: 2, 75 and 90 read back one lower only because the stored
// level is the exact float the steps give.
void CheckWorkedValues(const Dll& dll, const CoreAudio& audio, const Endpoint& mic) {
  float minDb = NAN, maxDb = NAN;
  Expect(ReadRange(audio, mic, &minDb, &maxDb), "the platform reports the microphone's range");
  std::printf("     the microphone endpoint's range is %s..%s dB\n", Show(minDb).c_str(),
              Show(maxDb).c_str());
  ExpectEq(maxDb, 0.0f, "the endpoint's maximum is 0 dB, as the worked values assume");

  const struct {
    int percent;
    int readBack;
  } rows[] = {{0, 0},   {1, 1},   {2, 1},   {10, 10}, {25, 25},
              {50, 50}, {75, 74}, {90, 89}, {99, 99}, {100, 100}};
  for (const auto& row : rows) {
    int status = -1;
    const int result = dll.SetMicRecordVolume(row.percent, &status);
    ExpectCall(result, status, row.percent, 0, "SetMicRecordVolume " + Show(row.percent));
    ExpectCall(dll.GetMicRecordVolume(Fresh(status)), status, row.readBack, 0,
               "  reads back " + Show(row.readBack));
  }
  // 101 asks for +0.0864 dB, above this platform's maximum: it refuses, the
  // setter reports 2 and returns the percentage, and the level stays.
  int status = -1;
  ExpectCall(dll.SetMicRecordVolume(101, &status), status, 101, 2,
             "SetMicRecordVolume 101: the platform refuses a level above its maximum");
  ExpectCall(dll.GetMicRecordVolume(Fresh(status)), status, 100, 0, "  the level stays at 0 dB");

  // Of the percentages 1 to 100, 53 read back one lower, none otherwise.
  int oneLower = 0, other = 0;
  for (int percent = 1; percent <= 100; ++percent) {
    dll.SetMicRecordVolume(percent, &status);
    const int back = dll.GetMicRecordVolume(&status);
    if (back == percent - 1) ++oneLower;
    if (back != percent && back != percent - 1) ++other;
  }
  ExpectEq(oneLower, 53, "53 of the percentages 1 to 100 read back one lower");
  ExpectEq(other, 0, "the others read back unchanged");
}

void CheckBoundDevices(const Dll& dll, const CoreAudio& audio, const Devices& devices) {
  const std::string speakers = devices.speakers.narrowId();
  const std::string microphone = devices.microphone.narrowId();
  const std::string line = devices.lineIn.narrowId();

  // Each binding finds its endpoint and then stops at the missing topology:
  // playback 1 ^ microphone 3 ^ line 6 = 4.
  ExpectEq(dll.OpenSoundCard(speakers.c_str(), microphone.c_str(), line.c_str()), 4,
           "OpenSoundCard with the three ids returns 4: every walk stops at the topology");
  HostBuffer playbackName, lineName, micName;
  dll.GetDeviceNames(playbackName.bytes, lineName.bytes, micName.bytes);
  Expect(playbackName.Untouched() && lineName.Untouched() && micName.Untouched(),
         "GetDeviceNames: no binding succeeded, so no name was refilled");

  // The master volume is per-channel: not available here.
  int status = -1;
  ExpectCall(dll.GetMasterVolume(&status), status, 0, 2, "GetMasterVolume: no channel level");
  ExpectCall(dll.SetMasterVolume(50, Fresh(status)), status, 50, 2,
             "SetMasterVolume: no channel count, the percentage returned");

  // The master mute works, with the low byte of the state deciding.
  Expect(MuteWorks(dll.SetMasterMute, dll.GetMasterMute), "the master mute switches on and off");
  dll.SetMasterMute(1, &status);
  ExpectCall(dll.SetMasterMute(0x100, Fresh(status)), status, 0, 0, "SetMasterMute 0x100");
  ExpectCall(dll.GetMasterMute(Fresh(status)), status, 0, 0, "  only the low byte counts: unmuted");
  ExpectCall(dll.SetMasterMute(0, Fresh(status)), status, 0, 0,
             "SetMasterMute 0 on an unmuted endpoint succeeds");

  CheckTopologyControlsMissing(dll);

  // The recording volumes use the endpoint's master level, which works.
  CheckWorkedValues(dll, audio, devices.microphone);
  // The line's 0 % is maximum - 40 dB, which reads back as 1 (the minimum
  // would read 0); 10 % is -20 dB, read back as 10.
  ExpectCall(dll.SetLineRecordVolume(0, Fresh(status)), status, 0, 0, "SetLineRecordVolume 0");
  ExpectCall(dll.GetLineRecordVolume(Fresh(status)), status, 1, 0,
             "  reads back 1: maximum - 40 dB, not the minimum");
  ExpectCall(dll.SetLineRecordVolume(10, Fresh(status)), status, 10, 0, "SetLineRecordVolume 10");
  ExpectCall(dll.GetLineRecordVolume(Fresh(status)), status, 10, 0, "  reads back 10");

  // Binding read no value (every walk stopped before reading), so a restore
  // has nothing to write; closing unbinds everything.
  ExpectEq(dll.CloseSoundCard(1), 0, "CloseSoundCard 1 returns 0");
  ExpectCall(dll.GetMicRecordVolume(Fresh(status)), status, 0, 3, "after closing nothing is bound");
  ExpectEq(dll.CloseSoundCard(0), 0, "a second CloseSoundCard is harmless");

  // Ids with their letters upper- and lower-cased find the same endpoint (a
  // case-sensitive match would find nothing in lower case); an empty text
  // skips a device and counts as no failure.
  for (bool upper : {true, false}) {
    const std::string cased = WithCase(speakers, upper);
    ExpectEq(dll.OpenSoundCard(cased.c_str(), "", ""), 1,
             std::string("OpenSoundCard with the playback id in ") + (upper ? "upper" : "lower") +
                 " case returns 1");
    ExpectCall(dll.GetMasterMute(Fresh(status)), status, 0, 0,
               "  the endpoint of that id is bound");
  }
  ExpectEq(dll.OpenSoundCard("no-such-endpoint", nullptr, line.c_str()), 7,
           "OpenSoundCard: playback not found (1) ^ line without topology (6) = 7");
  dll.GetLineRecordVolume(Fresh(status));
  ExpectEq(status, 0, "  Line In is bound for its volume");
  ExpectCall(dll.GetMasterMute(Fresh(status)), status, 0, 1, "  no playback endpoint is bound");
  ExpectEq(dll.OpenSoundCard("", "", ""), 0, "OpenSoundCard with three empty texts returns 0");
  ExpectCall(dll.GetLineRecordVolume(Fresh(status)), status, 0, 1,
             "  it released every control; the device stays marked as bound");
  ExpectEq(dll.CloseSoundCard(0), 0, "CloseSoundCard 0 returns 0");
}

void CheckDefaultDevices(const Dll& dll, const Devices& devices) {
  std::printf("     default render endpoint \"%s\", default capture endpoint \"%s\"\n",
              devices.defaultRender.narrowName().c_str(),
              devices.defaultCapture.narrowName().c_str());
  // The default capture endpoint is found by its id, so the result is 0
  // whatever the discoveries report.
  ExpectEq(dll.OpenDefaultDevices(), 0, "OpenDefaultDevices returns 0");
  // The playback lookup found the default render endpoint in this call: its
  // name is the playback name. Both capture discoveries fail at the
  // topology, so no line or microphone name is set.
  HostBuffer playback, line, mic;
  dll.GetDeviceNames(playback.bytes, line.bytes, mic.bytes);
  ExpectEq(playback.Text(), devices.defaultRender.narrowName(),
           "GetDeviceNames gives the default render endpoint's name");
  Expect(line.Untouched() && mic.Untouched(), "  and leaves the line and microphone buffers");
  Expect(MuteWorks(dll.SetMasterMute, dll.GetMasterMute),
         "the master mute of the default render endpoint switches on and off");
  // A name with MIC in it is tried as a microphone first (which binds the
  // microphone's endpoint volume), then as a line input; any other name
  // only as a line input.
  const bool tryMic = ContainsMic(devices.defaultCapture.narrowName());
  int status = -1;
  dll.GetLineRecordVolume(&status);
  ExpectEq(status, 0, "the default capture endpoint is bound as line input");
  dll.GetMicRecordVolume(Fresh(status));
  ExpectEq(status, tryMic ? 0 : 1,
           tryMic ? "and, its name containing MIC, as microphone" : "and not as microphone");
  ExpectEq(dll.CloseSoundCard(0), 0, "CloseSoundCard 0 returns 0");
}

// A null pointer is never written and a null search text counts as empty.
void CheckNullPointers(const Dll& dll) {
  ExpectEq(dll.GetNumberPlayDevices(nullptr), 0, "GetNumberPlayDevices with a null count");
  ExpectEq(dll.GetPlayBackDevice(0, nullptr, nullptr), 0, "GetPlayBackDevice with null buffers");
  ExpectEq(dll.GetMasterVolume(nullptr), 0, "GetMasterVolume with a null status");
  ExpectEq(dll.OpenSoundCard(nullptr, nullptr, nullptr), 0, "OpenSoundCard with null texts");
  ExpectEq(dll.OpenVirtual_1(nullptr), 1,
           "OpenVirtual_1 with a null text binds the first endpoint");
  ExpectEq(dll.SetVirtualMute(0, nullptr), 0, "SetVirtualMute with a null status");
  dll.GetDeviceNames(nullptr, nullptr, nullptr);
  ExpectEq(dll.CloseVirtual_1(), 0, "CloseVirtual_1");
  ExpectEq(dll.CloseSoundCard(0), 0, "CloseSoundCard");
}

// --- An endpoint that goes away while bound ------------------------------------

bool IsStatusCode(int status) { return status >= 0 && status <= 3; }

// Every export but the binding ones, each once: each must come back with a
// StatusCode (or its documented result) instead of crashing.
void CallEveryExport(const Dll& dll) {
  // The status by reference: it is read only after the call in the argument before.
  const auto check = [](const std::string& name, int result, const int& status) {
    Expect(IsStatusCode(status), name + " answers " + Show(result) + " status " + Show(status));
  };
  const std::vector<ControlPair> pairs = ControlPairs(dll);
  const std::vector<ToneBand> bands = ToneBands(dll);
  int status = -1;
  for (const ControlPair& pair : pairs) check("Get" + pair.name, pair.get(Fresh(status)), status);
  for (const ControlPair& pair : pairs)
    check("Set" + pair.name, pair.set(30, Fresh(status)), status);
  for (const ToneBand& band : bands) check("Set" + band.name, band.set(2.0, Fresh(status)), status);
  double level = 0;
  for (const ToneBand& band : bands)
    check("Get" + band.name, band.get(&level, Fresh(status)), status);
  double minDb = 0, maxDb = 0, stepDb = 0;
  const int range = dll.GetEQRange(&minDb, &maxDb, &stepDb);
  check("GetEQRange", range, range);
  int minimum = 0, maximum = 0, step = 0;
  check("GetMicSliderDetails", dll.GetMicSliderDetails(Fresh(status), &minimum, &maximum, &step),
        status);
  HostBuffer playback, line, mic, name, id;
  dll.GetDeviceNames(playback.bytes, line.bytes, mic.bytes);
  int plays = -1, records = -1;
  ExpectEq(dll.GetNumberPlayDevices(&plays) + dll.GetNumberRecordDevices(&records), 0,
           "GetNumberPlayDevices and GetNumberRecordDevices answer 0");
  std::printf("     %d playback and %d recording endpoints listed\n", plays, records);
  const int described = dll.GetPlayBackDevice(0, name.bytes, id.bytes);
  Expect(described == 0 || described == -1, "GetPlayBackDevice 0 answers",
         "result " + Show(described));
  const int recorded = dll.GetRecordDevice(0, name.bytes, id.bytes);
  Expect(recorded >= 0, "GetRecordDevice 0 answers", "result " + Show(recorded));
}

// The null sink "Doomed" is bound as playback and virtual endpoint; the
// script unloads it once `boundFile` exists and then creates `goneFile`.
void CheckRemoval(const Dll& dll, const CoreAudio& audio, const char* boundFile,
                  const char* goneFile) {
  const std::vector<Endpoint> before = audio.List(eRender);
  const Endpoint* doomed = FindByName(before, L"Doomed");
  Expect(doomed != nullptr, "the platform lists the null sink Doomed");
  if (!doomed) return;
  const std::string id = doomed->narrowId();
  // Every walk stops at the topology here (1), but the endpoint volume is bound.
  ExpectEq(dll.OpenSoundCard(id.c_str(), "", ""), 1, "OpenSoundCard binds Doomed's volume");
  dll.OpenVirtual_1(id.c_str());
  int status = -1;
  dll.GetMasterMute(&status);
  ExpectEq(status, 0, "  its master mute answers");

  std::ofstream(boundFile) << "bound\n";
  for (int waited = 0; GetFileAttributesA(goneFile) == INVALID_FILE_ATTRIBUTES; ++waited) {
    if (waited == 600) {
      Expect(false, "the script unloads Doomed within a minute");
      return;
    }
    Sleep(100);
  }
  std::printf("     Doomed was unloaded\n");

  CallEveryExport(dll);
  ExpectEq(dll.CloseSoundCard(1), 0, "CloseSoundCard 1 after the removal returns 0");
  ExpectEq(dll.CloseVirtual_1(), 0, "CloseVirtual_1 after the removal returns 0");
  ExpectCall(dll.GetMasterMute(Fresh(status)), status, 0, 3, "  nothing is bound any more");

  // What remains binds: the speakers' volume (1: no topology), and the defaults.
  const std::vector<Endpoint> after = audio.List(eRender);
  std::printf("     the platform lists %d render endpoints, %d before\n",
              static_cast<int>(after.size()), static_cast<int>(before.size()));
  const Endpoint* speakers = FindByName(after, L"Speakers");
  Expect(speakers != nullptr, "the platform still lists Speakers");
  if (speakers) {
    ExpectEq(dll.OpenSoundCard(speakers->narrowId().c_str(), "", ""), 1,
             "OpenSoundCard binds Speakers after the removal");
    dll.GetMasterMute(Fresh(status));
    ExpectEq(status, 0, "  its master mute answers");
  }
  const int reopened = dll.OpenDefaultDevices();
  Expect(reopened == 0 || reopened == 1, "OpenDefaultDevices after the removal answers",
         "result " + Show(reopened));
  CallEveryExport(dll);
  ExpectEq(dll.CloseSoundCard(1), 0, "CloseSoundCard 1 after binding again returns 0");
}

}  // namespace

int main(int argc, char** argv) {
  // --removal BOUND GONE: the removal scenario alone (see CheckRemoval).
  const bool removal = argc == 6 && std::strcmp(argv[3], "--removal") == 0;
  if (argc != 3 && !removal) {
    std::fprintf(stderr, "usage: wine_host VeltoSound.dll exports.txt [--removal BOUND GONE]\n");
    return 2;
  }
  const std::vector<ExportEntry> table = ReadExportTable(argv[2]);
  HMODULE module = LoadLibraryA(argv[1]);
  Expect(module != nullptr, std::string("LoadLibrary ") + argv[1]);
  if (!module) return 1;

  Dll dll;
  if (!LoadExports(module, table, dll)) {
    std::printf("%d passed, %d failed\n", g_checks.passed(), g_checks.failed());
    return 1;
  }

  // The host's own view of the platform, from an apartment of its own.
  CoInitialize(nullptr);
  {
    CoreAudio audio;
    Devices devices;
    Expect(audio.ok(), "the host reaches the platform's device enumerator");
    if (audio.ok() && removal) {
      CheckRemoval(dll, audio, argv[4], argv[5]);
    } else if (audio.ok() && DiscoverDevices(audio, devices)) {
      CheckEnumeration(dll, devices);
      CheckUnbound(dll);
      CheckCalleePops(dll, module, table);
      CheckVirtualEndpoint(dll, devices);
      CheckBoundDevices(dll, audio, devices);
      CheckDefaultDevices(dll, devices);
      CheckNullPointers(dll);
    }
  }
  CoUninitialize();

  std::printf("%d passed, %d failed\n", g_checks.passed(), g_checks.failed());
  return g_checks.failed() == 0 ? 0 : 1;
}
