// The platform audio services as the mixer logic sees them.
//
// Every operation the core performs on the COM runtime and the Core Audio
// device services is one virtual method here, returning the platform's
// HRESULT unchanged. Objects are reference counted and reach the core only
// inside a Ref<>, so each reference is released exactly once, by scope.
// Task-memory strings, BSTRs and PROPVARIANTs likewise live in RAII holders
// that give them back through the platform's own free functions.
//
// Backends: sim/ (the simulated sound system) and coreaudio/ (Windows COM);
// tracing/ stands in front of either and reports each call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

namespace velto::platform {

using HRESULT = std::int32_t;
using WChar = char16_t;  // a UTF-16 code unit, Windows' WCHAR

// Result codes, spelled after their Windows names. Only kS_OK is success,
// save where a call's documentation gives another success code a meaning.
constexpr HRESULT kS_OK = 0;
constexpr HRESULT kS_FALSE = 1;
// IPropertyStore::GetValue: the value is there, cut to fit.
constexpr HRESULT kINPLACE_S_TRUNCATED = 0x000401A0;
constexpr HRESULT kE_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT kE_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT kE_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT kE_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT kE_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT kE_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT kE_NOTFOUND = static_cast<HRESULT>(0x80070490u);
constexpr HRESULT kRPC_E_CHANGED_MODE = static_cast<HRESULT>(0x80010106u);
// What every object of an endpoint answers once the endpoint is gone.
constexpr HRESULT kAUDCLNT_E_DEVICE_INVALIDATED = static_cast<HRESULT>(0x88890004u);
// HRESULT_FROM_WIN32(ERROR_INVALID_FUNCTION)
constexpr HRESULT kHrInvalidFunction = static_cast<HRESULT>(0x80070001u);
// HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND): IConnector::GetConnectedTo of an
// unconnected connector, beside E_NOTFOUND.
constexpr HRESULT kHrPathNotFound = static_cast<HRESULT>(0x80070003u);

enum class DataFlow : std::int32_t { Render = 0, Capture = 1 };
enum class Role : std::int32_t { Console = 0 };

constexpr std::uint32_t kDeviceStateActive = 1;
constexpr std::uint32_t kDeviceStateDisabled = 2;
constexpr std::uint32_t kDeviceStateNotPresent = 4;
constexpr std::uint32_t kDeviceStateUnplugged = 8;
constexpr std::uint32_t kStgmRead = 0;
constexpr std::uint32_t kClsctxInprocServer = 1;
constexpr std::uint32_t kClsctxAll = 0x17;
constexpr std::uint32_t kCpAcp = 0;

// The interface identifiers the core activates from parts, grouped by the
// shape of the interface they yield.
// IPerChannelDbLevel family: one method order for all four.
enum class LevelInterface { AudioVolumeLevel, AudioBass, AudioTreble, AudioMidrange };
// IAudioAutoGainControl and IAudioLoudness share GetEnabled/SetEnabled.
enum class SwitchInterface { AudioAutoGainControl, AudioLoudness };
enum class MuteInterface { AudioMute };

enum class PropertyKey { DeviceFriendlyName };

// A GUID as Windows lays it out: what IPart::GetSubType answers.
struct Guid {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::uint8_t data4[8] = {};
  friend bool operator==(const Guid&, const Guid&) = default;
};

class Platform;

// --- Reference counting --------------------------------------------------

// Reference counts are out of reach of ordinary calls (ref->Release() does
// not compile): a Ref counts its own reference, and the few places that must
// count by hand (a wrapper forwarding counts, a test releasing twice on
// purpose) say so through ReferenceCount.
class Unknown {
 public:
  // Equal for two references to one object through the same interface, as
  // COM's IUnknown pointers are. A backend whose objects wrap the platform's
  // answers for the wrapped object.
  virtual const void* Identity() const { return this; }

 protected:
  ~Unknown() = default;
  virtual unsigned long AddRef() = 0;
  virtual unsigned long Release() = 0;

  friend struct ReferenceCount;
};

struct ReferenceCount {
  static unsigned long Add(Unknown& object) { return object.AddRef(); }
  static unsigned long Release(Unknown& object) { return object.Release(); }
};

// Owns one reference. Copying adds one, destruction and Reset release it.
template <class T>
class Ref {
 public:
  Ref() = default;
  Ref(std::nullptr_t) {}
  // Takes over a reference the caller already owns (as an out-pointer would).
  static Ref Adopt(T* raw) {
    Ref r;
    r.ptr_ = raw;
    return r;
  }
  Ref(const Ref& other) : ptr_(other.ptr_) {
    if (ptr_) ReferenceCount::Add(*ptr_);
  }
  Ref(Ref&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  Ref& operator=(Ref other) noexcept {
    std::swap(ptr_, other.ptr_);
    return *this;
  }
  ~Ref() { Reset(); }

  void Reset() {
    if (T* old = std::exchange(ptr_, nullptr)) ReferenceCount::Release(*old);
  }
  // Gives the reference up unreleased: the caller owns it now.
  T* Detach() { return std::exchange(ptr_, nullptr); }
  T* Get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  T& operator*() const { return *ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }

 private:
  T* ptr_ = nullptr;
};

// --- Platform-allocated strings -------------------------------------------

// A wide string the platform allocated, given back through it (by `Freer`)
// when the holder goes.
template <class Freer>
class PlatformText {
 public:
  PlatformText() = default;
  PlatformText(Platform* owner, WChar* text) : owner_(owner), text_(text) {}
  PlatformText(PlatformText&& other) noexcept
      : owner_(other.owner_), text_(std::exchange(other.text_, nullptr)) {}
  PlatformText& operator=(PlatformText&& other) noexcept {
    if (this != &other) {
      Reset();
      owner_ = other.owner_;
      text_ = std::exchange(other.text_, nullptr);
    }
    return *this;
  }
  PlatformText(const PlatformText&) = delete;
  PlatformText& operator=(const PlatformText&) = delete;
  ~PlatformText() { Reset(); }

  void Reset() {
    if (WChar* old = std::exchange(text_, nullptr)) Freer::Free(*owner_, old);
  }
  // Gives the text up unfreed: the caller frees it through the same platform.
  WChar* Detach() { return std::exchange(text_, nullptr); }
  WChar* Get() const { return text_; }
  explicit operator bool() const { return text_ != nullptr; }

 private:
  Platform* owner_ = nullptr;
  WChar* text_ = nullptr;
};

struct TaskMemFreer {
  static void Free(Platform& owner, WChar* text);
};
struct BstrFreer {
  static void Free(Platform& owner, WChar* text);
};

// A wide string in COM task memory (IMMDevice::GetId, IPart::GetName).
using TaskString = PlatformText<TaskMemFreer>;
// A BSTR, given back with SysFreeString.
using Bstr = PlatformText<BstrFreer>;

// Storage large enough for a Windows PROPVARIANT on either pointer size. The
// core never looks inside; it hands it to GetValue, PropVariantToBSTR and
// PropVariantClear.
struct PropVariantData {
  alignas(8) unsigned char bytes[24] = {};
};

// A zero-filled PROPVARIANT that is cleared with PropVariantClear on scope exit.
class PropVariant {
 public:
  explicit PropVariant(Platform& owner) : owner_(&owner) {}
  PropVariant(const PropVariant&) = delete;
  PropVariant& operator=(const PropVariant&) = delete;
  ~PropVariant();

  PropVariantData* Data() { return &data_; }
  const PropVariantData& data() const { return data_; }

 private:
  Platform* owner_;
  PropVariantData data_;
};

// --- Core Audio objects ----------------------------------------------------

class PropertyStore;
class DeviceTopology;
class Connector;
class Part;
class PartsList;

// IAudioEndpointVolume. Writes always pass a null event context.
class EndpointVolume : public Unknown {
 public:
  virtual HRESULT GetChannelCount(std::uint32_t* count) = 0;
  virtual HRESULT SetMasterVolumeLevel(float levelDb) = 0;
  virtual HRESULT SetChannelVolumeLevel(std::uint32_t channel, float levelDb) = 0;
  virtual HRESULT GetMasterVolumeLevel(float* levelDb) = 0;
  virtual HRESULT GetChannelVolumeLevel(std::uint32_t channel, float* levelDb) = 0;
  virtual HRESULT SetMute(std::int32_t mute) = 0;
  virtual HRESULT GetMute(std::int32_t* mute) = 0;
  virtual HRESULT GetVolumeRange(float* minDb, float* maxDb, float* incrementDb) = 0;

 protected:
  ~EndpointVolume() = default;
};

// IAudioVolumeLevel, IAudioBass, IAudioTreble, IAudioMidrange.
class LevelControl : public Unknown {
 public:
  virtual HRESULT GetChannelCount(std::uint32_t* count) = 0;
  virtual HRESULT GetLevelRange(std::uint32_t channel, float* minDb, float* maxDb,
                                float* stepDb) = 0;
  virtual HRESULT GetLevel(std::uint32_t channel, float* levelDb) = 0;
  virtual HRESULT SetLevel(std::uint32_t channel, float levelDb) = 0;

 protected:
  ~LevelControl() = default;
};

// IAudioMute.
class MuteControl : public Unknown {
 public:
  virtual HRESULT SetMute(std::int32_t mute) = 0;
  virtual HRESULT GetMute(std::int32_t* mute) = 0;

 protected:
  ~MuteControl() = default;
};

// IAudioAutoGainControl or IAudioLoudness.
class SwitchControl : public Unknown {
 public:
  virtual HRESULT GetEnabled(std::int32_t* enabled) = 0;
  virtual HRESULT SetEnabled(std::int32_t enabled) = 0;

 protected:
  ~SwitchControl() = default;
};

// IPartsList.
class PartsList : public Unknown {
 public:
  virtual HRESULT GetCount(std::uint32_t* count) = 0;
  virtual HRESULT GetPart(std::uint32_t index, Ref<Part>& part) = 0;

 protected:
  ~PartsList() = default;
};

// IPart. Activate leaves its output empty unless it returns kS_OK.
class Part : public Unknown {
 public:
  virtual HRESULT GetName(TaskString& name) = 0;
  // For a connector the pin category its driver gave it, for a subunit its
  // node type (the KSNODETYPE_ GUIDs of ksmedia.h, platform/node_types.h).
  virtual HRESULT GetSubType(Guid* subtype) = 0;
  virtual HRESULT EnumPartsIncoming(Ref<PartsList>& parts) = 0;
  virtual HRESULT EnumPartsOutgoing(Ref<PartsList>& parts) = 0;
  virtual HRESULT GetTopologyObject(Ref<DeviceTopology>& topology) = 0;
  virtual HRESULT Activate(LevelInterface iid, std::uint32_t clsctx, Ref<LevelControl>& out) = 0;
  virtual HRESULT Activate(SwitchInterface iid, std::uint32_t clsctx, Ref<SwitchControl>& out) = 0;
  virtual HRESULT Activate(MuteInterface iid, std::uint32_t clsctx, Ref<MuteControl>& out) = 0;

 protected:
  ~Part() = default;
};

// IConnector.
class Connector : public Unknown {
 public:
  virtual HRESULT GetConnectedTo(Ref<Connector>& other) = 0;
  // QueryInterface(IID_IPart).
  virtual HRESULT QueryPart(Ref<Part>& part) = 0;

 protected:
  ~Connector() = default;
};

// IDeviceTopology.
class DeviceTopology : public Unknown {
 public:
  virtual HRESULT GetConnectorCount(std::uint32_t* count) = 0;
  virtual HRESULT GetConnector(std::uint32_t index, Ref<Connector>& connector) = 0;

 protected:
  ~DeviceTopology() = default;
};

// IPropertyStore.
class PropertyStore : public Unknown {
 public:
  virtual HRESULT GetValue(PropertyKey key, PropVariantData* value) = 0;

 protected:
  ~PropertyStore() = default;
};

// IMMDevice. Activate leaves its output empty unless it returns kS_OK.
class Device : public Unknown {
 public:
  virtual HRESULT Activate(std::uint32_t clsctx, Ref<DeviceTopology>& out) = 0;
  virtual HRESULT Activate(std::uint32_t clsctx, Ref<EndpointVolume>& out) = 0;
  virtual HRESULT OpenPropertyStore(std::uint32_t access, Ref<PropertyStore>& store) = 0;
  virtual HRESULT GetId(TaskString& id) = 0;

 protected:
  ~Device() = default;
};

// IMMDeviceCollection.
class DeviceCollection : public Unknown {
 public:
  virtual HRESULT GetCount(std::uint32_t* count) = 0;
  virtual HRESULT Item(std::uint32_t index, Ref<Device>& device) = 0;

 protected:
  ~DeviceCollection() = default;
};

// IMMDeviceEnumerator.
class DeviceEnumerator : public Unknown {
 public:
  virtual HRESULT EnumAudioEndpoints(DataFlow flow, std::uint32_t stateMask,
                                     Ref<DeviceCollection>& devices) = 0;
  virtual HRESULT GetDefaultAudioEndpoint(DataFlow flow, Role role, Ref<Device>& device) = 0;
  virtual HRESULT GetDevice(const WChar* id, Ref<Device>& device) = 0;

 protected:
  ~DeviceEnumerator() = default;
};

// --- The COM runtime and the Windows string functions -----------------------

class Platform {
 public:
  virtual ~Platform() = default;

  virtual HRESULT CoInitialize() = 0;
  virtual void CoUninitialize() = 0;
  // Keep the process's multithreaded apartment, and with it the COM runtime
  // and the code behind every object handed out, until the matching
  // decrement. Meanwhile a thread without COM of its own is in the implicit
  // multithreaded apartment. E_NOTIMPL where the runtime lacks them (before
  // Windows 8).
  virtual HRESULT CoIncrementMTAUsage(void** cookie) = 0;
  virtual HRESULT CoDecrementMTAUsage(void* cookie) = 0;
  // CoCreateInstance(CLSID_MMDeviceEnumerator, nullptr, clsctx, IID_IMMDeviceEnumerator).
  virtual HRESULT CreateDeviceEnumerator(std::uint32_t clsctx, Ref<DeviceEnumerator>& out) = 0;
  virtual void CoTaskMemFree(void* memory) = 0;

  // Returns a BSTR of `length` characters (copied from `source` when it is
  // not null), or null when it cannot be allocated.
  virtual WChar* SysAllocStringLen(const WChar* source, std::uint32_t length) = 0;
  virtual void SysFreeString(WChar* text) = 0;
  virtual std::uint32_t SysStringLen(const WChar* text) = 0;

  virtual HRESULT PropVariantToBSTR(const PropVariantData& value, Bstr& out) = 0;
  virtual HRESULT PropVariantClear(PropVariantData* value) = 0;

  virtual int LstrlenA(const char* text) = 0;
  virtual int MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* source,
                                  int sourceBytes, WChar* dest, int destChars) = 0;
  virtual int WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags, const WChar* source,
                                  int sourceChars, char* dest, int destBytes) = 0;
};

// The backend: the Core Audio platform on Windows, the installed simulated
// sound system elsewhere. Whatever a backend's objects hand out is freed
// through the backend, whatever sits in front of it.
Platform& BackendPlatform();

namespace detail {
inline Platform* frontPlatform = nullptr;
}

// Puts `front` (a wrapper such as a tracer) in front of the backend for the
// whole process, or takes it away for null, and returns what was there. Only
// while no export runs: a binding keeps what it was handed, not the platform.
inline Platform* InstallPlatform(Platform* front) {
  return std::exchange(detail::frontPlatform, front);
}

// The platform the library calls: what InstallPlatform put in front, else
// the backend.
inline Platform& CurrentPlatform() {
  return detail::frontPlatform ? *detail::frontPlatform : BackendPlatform();
}

// --- Holder definitions -----------------------------------------------------

inline void TaskMemFreer::Free(Platform& owner, WChar* text) { owner.CoTaskMemFree(text); }
inline void BstrFreer::Free(Platform& owner, WChar* text) { owner.SysFreeString(text); }
inline PropVariant::~PropVariant() { owner_->PropVariantClear(&data_); }

}  // namespace velto::platform
