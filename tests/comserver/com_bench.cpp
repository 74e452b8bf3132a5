// What an export costs through VeltoSound.dll against a floor that makes the
// same COM calls straight from the host, both over the Core Audio test server
// under Wine, as a ratio measured in one run.
//
// usage: com_bench.exe VeltoSound.dll [--check | --quick]
//   --check  runs every export and its floor once and compares the calls the
//            server traced for each (VELTO_COMSERVER_LOG names the trace);
//            exits 1 when a floor does not make its export's calls
//   --quick  a short timing run; without it, a long one
// clang-format off
#include <windows.h>
#include <objbase.h>
// clang-format on

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "com_interfaces.h"
#include "dll_exports.h"
#include "interface_ids.h"

namespace {

using velto::comtest::Face;
namespace c = velto::comtest;

constexpr DWORD kDeviceStateActive = 1;

// --- Raw COM through the public vtables ---------------------------------------

template <class Vtbl>
const Vtbl& V(void* object) {
  return *static_cast<const Vtbl*>(static_cast<Face*>(object)->vtbl);
}
void Release(void* object) {
  if (object) V<c::IMMDeviceVtbl>(object).Release(static_cast<Face*>(object));
}
Face* F(void* object) { return static_cast<Face*>(object); }

void* CreateEnumerator() {
  void* enumerator = nullptr;
  CoCreateInstance(c::kCLSID_MMDeviceEnumerator, nullptr, CLSCTX_ALL, c::kIID_IMMDeviceEnumerator,
                   &enumerator);
  return enumerator;
}

std::wstring PartName(void* part) {
  LPWSTR name = nullptr;
  if (V<c::IPartVtbl>(part).GetName(F(part), &name) != S_OK) return {};
  std::wstring text = name;
  CoTaskMemFree(name);
  return text;
}

// The part called `name` upstream of the default endpoint of `flow`,
// activated as `iid`; null when there is none.
void* FindControl(int flow, const wchar_t* name, const GUID& iid) {
  void* enumerator = CreateEnumerator();
  void *device = nullptr, *topology = nullptr, *connector = nullptr, *joined = nullptr;
  void* control = nullptr;
  V<c::IMMDeviceEnumeratorVtbl>(enumerator)
      .GetDefaultAudioEndpoint(F(enumerator), flow, 0, &device);
  V<c::IMMDeviceVtbl>(device).Activate(F(device), c::kIID_IDeviceTopology, CLSCTX_ALL, nullptr,
                                       &topology);
  V<c::IDeviceTopologyVtbl>(topology).GetConnector(F(topology), 0, &connector);
  V<c::IConnectorVtbl>(connector).GetConnectedTo(F(connector), &joined);
  std::vector<void*> queue;
  void* first = nullptr;
  V<c::IConnectorVtbl>(joined).QueryInterface(F(joined), c::kIID_IPart, &first);
  queue.push_back(first);
  for (std::size_t i = 0; i < queue.size() && i < 64 && !control; ++i) {
    void* part = queue[i];
    if (PartName(part) == name) {
      V<c::IPartVtbl>(part).Activate(F(part), CLSCTX_ALL, iid, &control);
      break;
    }
    void* incoming = nullptr;
    if (V<c::IPartVtbl>(part).EnumPartsIncoming(F(part), &incoming) != S_OK) continue;
    UINT count = 0;
    V<c::IPartsListVtbl>(incoming).GetCount(F(incoming), &count);
    for (UINT k = 0; k < count; ++k) {
      void* next = nullptr;
      if (V<c::IPartsListVtbl>(incoming).GetPart(F(incoming), k, &next) == S_OK)
        queue.push_back(next);
    }
    Release(incoming);
  }
  for (void* part : queue) Release(part);
  for (void* object : {joined, connector, topology, device, enumerator}) Release(object);
  return control;
}

void* EndpointVolume(int flow) {
  void* enumerator = CreateEnumerator();
  void *device = nullptr, *volume = nullptr;
  V<c::IMMDeviceEnumeratorVtbl>(enumerator)
      .GetDefaultAudioEndpoint(F(enumerator), flow, 0, &device);
  V<c::IMMDeviceVtbl>(device).Activate(F(device), c::kIID_IAudioEndpointVolume, CLSCTX_ALL, nullptr,
                                       &volume);
  Release(device);
  Release(enumerator);
  return volume;
}

// --- The exports and their floors ---------------------------------------------

using Exports = velto::testing::DllExports;

struct Floors {
  void* volume;
  void* bass;
  void* agc;
};

// The lock every export takes, as a floor takes it: a critical section and
// the holder's thread id beside it, as the DLL's own (src/core/export_lock.cpp),
// so that a ratio weighs what the library adds beyond keeping exports one at a
// time (docs/performance.md).
class FloorLock {
 public:
  FloorLock() : entered_(owner.load(std::memory_order_relaxed) != GetCurrentThreadId()) {
    if (!entered_) return;
    EnterCriticalSection(&section.held);
    owner.store(GetCurrentThreadId(), std::memory_order_relaxed);
  }
  ~FloorLock() {
    if (!entered_) return;
    owner.store(0, std::memory_order_relaxed);
    LeaveCriticalSection(&section.held);
  }

 private:
  static inline struct Section {
    Section() { InitializeCriticalSection(&held); }
    CRITICAL_SECTION held;
  } section;
  static inline std::atomic<DWORD> owner{0};
  bool entered_;
};

// Values the compiler cannot fold, results it cannot drop.
volatile int sink;
volatile int percentIn = 50;
volatile double bassIn = 2.0;

struct Family {
  const char* name;
  std::function<void()> viaDll;
  std::function<void()> floor;
};

std::vector<Family> Families(const Exports& dll, const Floors& com) {
  int status = 0;
  double level = 0;
  const auto* volume = &V<c::IAudioEndpointVolumeVtbl>(com.volume);
  const auto* bass = &V<c::IPerChannelDbLevelVtbl>(com.bass);
  const auto* agc = &V<c::IOnOffVtbl>(com.agc);
  return {
      {"GetNumberPlayDevices", [=]() mutable { sink = dll.GetNumberPlayDevices(&status); },
       []() {
         const FloorLock lock;
         const HRESULT init = CoInitialize(nullptr);
         void* enumerator = CreateEnumerator();
         void* devices = nullptr;
         UINT count = 0;
         V<c::IMMDeviceEnumeratorVtbl>(enumerator)
             .EnumAudioEndpoints(F(enumerator), 0, kDeviceStateActive, &devices);
         V<c::IMMDeviceCollectionVtbl>(devices).GetCount(F(devices), &count);
         Release(devices);
         Release(enumerator);
         if (SUCCEEDED(init)) CoUninitialize();
         sink = static_cast<int>(count);
       }},
      {"GetMasterVolume", [=]() mutable { sink = dll.GetMasterVolume(&status); },
       [=]() {
         const FloorLock lock;
         float minDb, maxDb, stepDb, levelDb;
         volume->GetVolumeRange(F(com.volume), &minDb, &maxDb, &stepDb);
         volume->GetChannelVolumeLevel(F(com.volume), 0, &levelDb);
         sink = static_cast<int>(std::pow(10.0, (levelDb - maxDb) / 20.0) * 100.0);
       }},
      {"SetMasterVolume 50", [=]() mutable { sink = dll.SetMasterVolume(percentIn, &status); },
       [=]() {
         const FloorLock lock;
         float minDb, maxDb, stepDb;
         UINT channels = 0;
         volume->GetVolumeRange(F(com.volume), &minDb, &maxDb, &stepDb);
         volume->GetChannelCount(F(com.volume), &channels);
         const float levelDb = static_cast<float>(20.0 * std::log10(percentIn / 100.0)) + maxDb;
         for (UINT channel = 0; channel < channels; ++channel)
           volume->SetChannelVolumeLevel(F(com.volume), channel, levelDb, nullptr);
         sink = percentIn;
       }},
      {"GetMasterMute", [=]() mutable { sink = dll.GetMasterMute(&status); },
       [=]() {
         const FloorLock lock;
         BOOL mute = 0;
         volume->GetMute(F(com.volume), &mute);
         sink = mute;
       }},
      {"SetMasterMute 1", [=]() mutable { sink = dll.SetMasterMute(1, &status); },
       [=]() {
         const FloorLock lock;
         sink = volume->SetMute(F(com.volume), 1, nullptr);
       }},
      {"GetBass", [=]() mutable { sink = dll.GetBass(&level, &status); },
       [=]() {
         const FloorLock lock;
         float levelDb = 0;
         sink = bass->GetLevel(F(com.bass), 0, &levelDb);
       }},
      {"SetBass 2", [=]() mutable { sink = dll.SetBass(bassIn, &status); },
       [=]() {
         const FloorLock lock;
         UINT channels = 0;
         bass->GetChannelCount(F(com.bass), &channels);
         for (UINT channel = 0; channel < channels; ++channel)
           bass->SetLevel(F(com.bass), channel, static_cast<float>(bassIn), nullptr);
       }},
      {"GetMicBoost", [=]() mutable { sink = dll.GetMicBoost(&status); },
       [=]() {
         const FloorLock lock;
         BOOL enabled = 0;
         agc->GetEnabled(F(com.agc), &enabled);
         sink = enabled;
       }},
      {"SetMicBoost 1", [=]() mutable { sink = dll.SetMicBoost(1, &status); },
       [=]() {
         const FloorLock lock;
         sink = agc->SetEnabled(F(com.agc), 1, nullptr);
       }},
  };
}

// --- Checking the floors --------------------------------------------------------

std::vector<std::string> NewCalls(const char* log, std::size_t* seen) {
  std::ifstream file(log);
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t index = 0; std::getline(file, line); ++index) {
    if (index < *seen) continue;
    ++*seen;
    const bool counted = line.find(" AddRef(-> ") != std::string::npos ||
                         line.find(" Release(-> ") != std::string::npos;
    // The class factory never learns the class context.
    if (line.rfind("trace: com CreateDeviceEnumerator", 0) == 0) line = line.substr(0, 33);
    // The result may differ: a second write of the same value answers S_FALSE.
    if (line.size() > 14 && line.compare(line.size() - 14, 4, " -> ") == 0)
      line.resize(line.size() - 14);
    if (line.rfind("trace: ", 0) == 0 && !counted) lines.push_back(line);
  }
  return lines;
}

int Check(const std::vector<Family>& families) {
  const char* log = std::getenv("VELTO_COMSERVER_LOG");
  if (!log) {
    std::printf("FAIL --check needs VELTO_COMSERVER_LOG\n");
    return 1;
  }
  std::size_t seen = 0;
  NewCalls(log, &seen);
  int failures = 0;
  for (const Family& family : families) {
    family.viaDll();
    const auto exported = NewCalls(log, &seen);
    family.floor();
    const auto floor = NewCalls(log, &seen);
    const bool same = exported == floor && !exported.empty();
    std::printf("%s %s: %zu calls\n", same ? "ok  " : "FAIL", family.name, exported.size());
    if (!same) {
      ++failures;
      for (const auto& line : exported) std::printf("  dll:   %s\n", line.c_str());
      for (const auto& line : floor) std::printf("  floor: %s\n", line.c_str());
    }
  }
  return failures ? 1 : 0;
}

// --- Timing ----------------------------------------------------------------------

double NanosPerCall(const std::function<void()>& body, int iterations) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < iterations; ++i) body();
  const auto elapsed = std::chrono::steady_clock::now() - start;
  return std::chrono::duration<double, std::nano>(elapsed).count() / iterations;
}

void Time(const std::vector<Family>& families, int repetitions, int iterations) {
  std::vector<std::vector<double>> dll(families.size()), floor(families.size());
  std::vector<std::size_t> order(families.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::mt19937 random(1);
  for (int rep = 0; rep < repetitions; ++rep) {
    // Interleaved at random, so that a burst of load falls on both sides.
    std::shuffle(order.begin(), order.end(), random);
    for (std::size_t i : order) {
      dll[i].push_back(NanosPerCall(families[i].viaDll, iterations));
      floor[i].push_back(NanosPerCall(families[i].floor, iterations));
    }
  }
  std::printf("| Export | through the DLL (min) | floor (min) | ratio (min) | ratio (median) |\n");
  std::printf("|---|---:|---:|---:|---:|\n");
  for (std::size_t i = 0; i < families.size(); ++i) {
    auto& a = dll[i];
    auto& b = floor[i];
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    std::printf("| %s | %.0f ns | %.0f ns | %.2f | %.2f |\n", families[i].name, a.front(),
                b.front(), a.front() / b.front(), a[a.size() / 2] / b[b.size() / 2]);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::printf("usage: com_bench.exe VeltoSound.dll [--check | --quick]\n");
    return 2;
  }
  const std::string mode = argc > 2 ? argv[2] : "";
  HMODULE library = LoadLibraryA(argv[1]);
  if (!library) {
    std::printf("FAIL cannot load %s\n", argv[1]);
    return 1;
  }
  Exports dll;
  if (!dll.Resolve(library)) {
    std::printf("FAIL %s lacks an export\n", argv[1]);
    return 1;
  }

  // A host thread in a single-threaded apartment, as most hosts are.
  CoInitialize(nullptr);
  const Floors com{.volume = EndpointVolume(0),
                   .bass = FindControl(0, L"Bass", c::kIID_IAudioBass),
                   .agc = FindControl(1, L"Mic AGC", c::kIID_IAudioAutoGainControl)};
  if (!com.volume || !com.bass || !com.agc || dll.OpenDefaultDevices() != 0) {
    std::printf("FAIL the bench needs the control card (tests/systems/controls)\n");
    return 1;
  }
  const std::vector<Family> families = Families(dll, com);
  const int result = mode == "--check" ? Check(families) : 0;
  if (mode != "--check") Time(families, mode == "--quick" ? 3 : 30, mode == "--quick" ? 200 : 2000);
  dll.CloseSoundCard(0);
  for (void* object : {com.volume, com.bass, com.agc}) Release(object);
  CoUninitialize();
  return result;
}
