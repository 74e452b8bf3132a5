// Binding, restoring, the virtual endpoint and the listing exports against
// their floors on the sample card. Each floor follows the sample's topology
// by hand, call for call, the way the rules walk it: no decision is taken
// that the sample does not need, nothing is looked at twice unless the rules
// look twice.
#include <array>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>

#include "bench_support.h"
#include "core/text.h"
#include "platform/com_scope.h"
#include "veltosound.h"

namespace velto::bench {

namespace {

using namespace platform;

constexpr const char* kSpeakers = "4f6a2c1e";
constexpr const char* kMicrophone = "6b8e3f2a";
constexpr const char* kLineIn = "d1f5a9c3";
constexpr const char* kDigitalOut = "a3e91b57";

// --- Platform steps, each exactly the calls the rules make ----------------------

Bstr Word(Platform& platform, const char* text) {
  const int length = platform.LstrlenA(text) + 1;
  Bstr wide(&platform, platform.SysAllocStringLen(nullptr, static_cast<std::uint32_t>(length)));
  platform.MultiByteToWideChar(kCpAcp, 0, text, length, wide.Get(), length);
  return wide;
}

Bstr FixedWord(Platform& platform, const char* text, int length) {
  Bstr wide(&platform, platform.SysAllocStringLen(nullptr, static_cast<std::uint32_t>(length)));
  platform.MultiByteToWideChar(kCpAcp, 0, text, length, wide.Get(), length);
  return wide;
}

bool NameMatches(Part& part, std::initializer_list<const Bstr*> words) {
  TaskString name;
  part.GetName(name);
  LowerAsciiInPlace(name.Get());
  bool found = false;
  for (const Bstr* word : words) found = found || ContainsText(name.Get(), word->Get());
  return found;
}

struct BoostWords {
  explicit BoostWords(Platform& platform)
      : boost(FixedWord(platform, "boost", 6)),
        plus(FixedWord(platform, "+2", 3)),
        agc(FixedWord(platform, "agc", 4)) {}
  bool In(Part& part) const { return NameMatches(part, {&boost, &plus, &agc}); }
  Bstr boost, plus, agc;
};

bool IdMatches(const TaskString& id, const Bstr& search) {
  std::u16string folded(id.Get());
  LowerAsciiInPlace(folded.data());
  return ContainsText(folded.c_str(), search.Get());
}

std::string ReadName(Platform& platform, Device& device) {
  Ref<PropertyStore> store;
  device.OpenPropertyStore(kStgmRead, store);
  PropVariant value(platform);
  store->GetValue(PropertyKey::DeviceFriendlyName, value.Data());
  Bstr name;
  platform.PropVariantToBSTR(value.data(), name);
  const std::uint32_t length = platform.SysStringLen(name.Get());
  std::string narrow(length, '\0');
  for (std::uint32_t i = 0; i < length; ++i) narrow[i] = static_cast<char>(name.Get()[i] & 0xFF);
  return narrow;
}

// The endpoint of `flow` at `index` whose id contains `text`, passing over
// the ones before it. Returns its id; `name` gets its friendly name.
TaskString Lookup(Platform& platform, DataFlow flow, const char* text, std::uint32_t index,
                  std::string& name) {
  ComScope com(platform);
  Ref<DeviceCollection> devices;
  {
    Ref<DeviceEnumerator> enumerator;
    platform.CreateDeviceEnumerator(kClsctxInprocServer, enumerator);
    enumerator->EnumAudioEndpoints(flow, kDeviceStateActive, devices);
  }
  std::uint32_t count = 0;
  devices->GetCount(&count);
  Bstr search = Word(platform, text);
  LowerAsciiInPlace(search.Get());
  for (std::uint32_t i = 0; i < index; ++i) {
    Ref<Device> passed;
    devices->Item(i, passed);
    TaskString id;
    passed->GetId(id);
    benchmark::DoNotOptimize(IdMatches(id, search));
  }
  Ref<Device> device;
  devices->Item(index, device);
  TaskString id;
  device->GetId(id);
  benchmark::DoNotOptimize(IdMatches(id, search));
  name = ReadName(platform, *device);
  return id;
}

void Activate(Platform& platform, TaskString id, MtaHold& hold, Ref<DeviceTopology>& topology,
              Ref<EndpointVolume>& volume) {
  ComScope com(platform);
  Ref<Device> device;
  {
    Ref<DeviceEnumerator> enumerator;
    platform.CreateDeviceEnumerator(kClsctxInprocServer, enumerator);
    enumerator->GetDevice(id.Get(), device);
    id.Reset();
  }
  hold.Take(platform);
  device->Activate(kClsctxAll, topology);
  device->Activate(kClsctxInprocServer, volume);
}

Ref<Part> JoinedPart(Ref<DeviceTopology> topology) {
  Ref<Connector> endpointSide;
  topology->GetConnector(0, endpointSide);
  topology.Reset();
  Ref<Connector> adapterSide;
  endpointSide->GetConnectedTo(adapterSide);
  Ref<Part> part;
  adapterSide->QueryPart(part);
  return part;
}

Ref<DeviceTopology> AdapterOf(Ref<DeviceTopology> topology) {
  Ref<Part> joined = JoinedPart(std::move(topology));
  Ref<DeviceTopology> adapter;
  joined->GetTopologyObject(adapter);
  return adapter;
}

// Adapter connector `index`, whose name does not contain `word`.
void PassConnector(Platform& platform, DeviceTopology& adapter, std::uint32_t index,
                   const char* word) {
  Ref<Connector> connector;
  adapter.GetConnector(index, connector);
  Ref<Part> part;
  connector->QueryPart(part);
  const Bstr wide = Word(platform, word);
  benchmark::DoNotOptimize(NameMatches(*part, {&wide}));
}

// What a binding holds: the controls with their values at binding time and
// the device names, released as CloseSoundCard releases them.
struct Binding {
  MtaHold hold;  // first, so that it goes after every interface
  Ref<EndpointVolume> playback, mic, line;
  Ref<LevelControl> linePlaybackLevel, micPlaybackLevel, bass, treble, midrange, boostLevel;
  Ref<MuteControl> linePlaybackMute, micPlaybackMute;
  Ref<SwitchControl> lineAgc;
  float savedLevels[9] = {};
  std::int32_t savedStates[5] = {};
  std::string lastFoundName;
  std::unique_ptr<std::array<char, 255>> names[3];

  void Name(int which) {
    names[which] = std::make_unique<std::array<char, 255>>();
    const std::size_t length = std::min<std::size_t>(lastFoundName.size(), 254);
    std::memcpy(names[which]->data(), lastFoundName.data(), length);
    (*names[which])[length] = '\0';
  }

  void Close() {
    lastFoundName.clear();
    for (auto& name : names) name.reset();
    playback.Reset();
    mic.Reset();
    line.Reset();
    linePlaybackLevel.Reset();
    linePlaybackMute.Reset();
    micPlaybackLevel.Reset();
    micPlaybackMute.Reset();
    lineAgc.Reset();
    bass.Reset();
    treble.Reset();
    midrange.Reset();
    boostLevel.Reset();
    hold.Give();
  }
};

// --- The three walks on the sample card -----------------------------------------

// A part of the output chain with one input, tried for the tone controls
// still missing; the chain then moves one part upstream.
template <class TryTones>
void ChainStep(Ref<PartsList>& inputs, std::uint32_t& count, TryTones tryTones) {
  Ref<Part> part;
  inputs->GetPart(0, part);
  Ref<PartsList> upstream;
  part->EnumPartsIncoming(upstream);
  tryTones(*part);
  {
    Ref<Part> next;
    upstream->GetPart(0, next);
  }
  upstream->GetCount(&count);
  inputs = std::move(upstream);
}

// Speaker out <- master <- tone <- output mixer <- {line in, mic, wave}.
void BindPlayback(Platform& platform, Binding& b, const char* text) {
  Ref<DeviceTopology> topology;
  Activate(platform, Lookup(platform, DataFlow::Render, text, 0, b.lastFoundName), b.hold,
           topology, b.playback);
  b.playback->GetMasterVolumeLevel(&b.savedLevels[0]);
  b.playback->GetMute(&b.savedStates[0]);
  Ref<Part> output = JoinedPart(std::move(topology));
  Ref<PartsList> inputs;
  output->EnumPartsIncoming(inputs);
  std::uint32_t count = 0;
  inputs->GetCount(&count);
  ChainStep(inputs, count, [](Part& master) {
    Ref<LevelControl> none;
    master.Activate(LevelInterface::AudioBass, kClsctxAll, none);
    master.Activate(LevelInterface::AudioTreble, kClsctxAll, none);
    master.Activate(LevelInterface::AudioMidrange, kClsctxAll, none);
  });
  ChainStep(inputs, count, [&b](Part& tone) {
    tone.Activate(LevelInterface::AudioBass, kClsctxAll, b.bass);
    b.bass->GetLevel(0, &b.savedLevels[1]);
    tone.Activate(LevelInterface::AudioTreble, kClsctxAll, b.treble);
    b.treble->GetLevel(0, &b.savedLevels[2]);
    tone.Activate(LevelInterface::AudioMidrange, kClsctxAll, b.midrange);
    b.midrange->GetLevel(0, &b.savedLevels[3]);
  });
  ChainStep(inputs, count, [](Part&) {});

  {  // Line In Mute <- Line In Volume <- Line In: the line path; no microphone
    Ref<Part> branch;
    inputs->GetPart(0, branch);
    Ref<PartsList> branchInputs;
    branch->EnumPartsIncoming(branchInputs);
    {
      const Bstr line = Word(platform, "line"), gree = Word(platform, "gree");
      Ref<Part> named;
      branchInputs->GetPart(0, named);
      benchmark::DoNotOptimize(NameMatches(*named, {&line, &gree}));
      Ref<Part> first;
      branchInputs->GetPart(0, first);
      first->Activate(LevelInterface::AudioVolumeLevel, kClsctxAll, b.linePlaybackLevel);
    }
    b.linePlaybackLevel->GetLevel(0, &b.savedLevels[4]);
    branch->Activate(MuteInterface::AudioMute, kClsctxAll, b.linePlaybackMute);
    b.linePlaybackMute->GetMute(&b.savedStates[1]);
    {
      const Bstr mic = Word(platform, "mic"), pin = Word(platform, "pin");
      Ref<PartsList> upstream;
      {
        Ref<Part> named;
        branchInputs->GetPart(0, named);
        benchmark::DoNotOptimize(NameMatches(*named, {&mic, &pin}));
        named->EnumPartsIncoming(upstream);
      }
      Ref<Part> named;
      upstream->GetPart(0, named);
      benchmark::DoNotOptimize(NameMatches(*named, {&mic, &pin}));
      Ref<PartsList> none;
      named->EnumPartsIncoming(none);
    }
  }
  {  // Mic Mute <- Mic Volume: the microphone path
    Ref<Part> branch;
    inputs->GetPart(1, branch);
    Ref<PartsList> branchInputs;
    branch->EnumPartsIncoming(branchInputs);
    {
      const Bstr mic = Word(platform, "mic"), pin = Word(platform, "pin");
      Ref<Part> named;
      branchInputs->GetPart(0, named);
      benchmark::DoNotOptimize(NameMatches(*named, {&mic, &pin}));
      Ref<Part> first;
      branchInputs->GetPart(0, first);
      first->Activate(LevelInterface::AudioVolumeLevel, kClsctxAll, b.micPlaybackLevel);
    }
    b.micPlaybackLevel->GetLevel(0, &b.savedLevels[5]);
    branch->Activate(MuteInterface::AudioMute, kClsctxAll, b.micPlaybackMute);
    b.micPlaybackMute->GetMute(&b.savedStates[2]);
  }
  {  // Wave Mute: both paths found, fetched only
    Ref<Part> branch;
    inputs->GetPart(2, branch);
    Ref<PartsList> branchInputs;
    branch->EnumPartsIncoming(branchInputs);
  }
}

// Mic In -> {Mic Volume, Mic Boost -> Mic Capture Volume -> Mic Capture}:
// no switch anywhere, then the level on Mic Boost.
void BindMicrophone(Platform& platform, Binding& b, const char* text) {
  Ref<DeviceTopology> topology;
  Activate(platform, Lookup(platform, DataFlow::Capture, text, 0, b.lastFoundName), b.hold,
           topology, b.mic);
  b.mic->GetMasterVolumeLevel(&b.savedLevels[6]);
  Ref<DeviceTopology> adapter = AdapterOf(std::move(topology));
  std::uint32_t connectors = 0;
  adapter->GetConnectorCount(&connectors);
  for (std::uint32_t i = 0; i < 4; ++i) PassConnector(platform, *adapter, i, "mic");

  Ref<Connector> connector;
  adapter->GetConnector(4, connector);
  Ref<Part> micIn;
  connector->QueryPart(micIn);
  {
    const Bstr mic = Word(platform, "mic");
    benchmark::DoNotOptimize(NameMatches(*micIn, {&mic}));
  }
  Ref<PartsList> fed;
  micIn->EnumPartsOutgoing(fed);
  std::uint32_t count = 0;
  {  // the switch search: every part of each list, then down by the last part
    fed->GetCount(&count);
    {
      Ref<Part> part;
      fed->GetPart(0, part);
      benchmark::DoNotOptimize(BoostWords(platform).In(*part));
    }
    {
      Ref<Part> part;
      fed->GetPart(1, part);
      const BoostWords words(platform);
      benchmark::DoNotOptimize(words.In(*part));
      Ref<SwitchControl> none;
      part->Activate(SwitchInterface::AudioAutoGainControl, kClsctxAll, none);
      part->Activate(SwitchInterface::AudioLoudness, kClsctxAll, none);
    }
    Ref<PartsList> second;
    {
      Ref<Part> last;
      fed->GetPart(1, last);
      last->EnumPartsOutgoing(second);
    }
    second->GetCount(&count);
    {
      Ref<Part> part;
      second->GetPart(0, part);
      benchmark::DoNotOptimize(BoostWords(platform).In(*part));
    }
    Ref<PartsList> third;
    {
      Ref<Part> last;
      second->GetPart(0, last);
      last->EnumPartsOutgoing(third);
      second.Reset();
    }
    third->GetCount(&count);
    {
      Ref<Part> part;
      third->GetPart(0, part);
      benchmark::DoNotOptimize(BoostWords(platform).In(*part));
    }
    {
      Ref<Part> last;
      third->GetPart(0, last);
      Ref<PartsList> none;
      last->EnumPartsOutgoing(none);
    }
  }
  {  // the level search, which ends at Mic Boost
    fed->GetCount(&count);
    {
      Ref<Part> part;
      fed->GetPart(0, part);
      benchmark::DoNotOptimize(BoostWords(platform).In(*part));
    }
    Ref<Part> part;
    fed->GetPart(1, part);
    const BoostWords words(platform);
    benchmark::DoNotOptimize(words.In(*part));
    part->Activate(LevelInterface::AudioVolumeLevel, kClsctxAll, b.boostLevel);
  }
  b.boostLevel->GetLevel(0, &b.savedLevels[7]);
}

// Line In -> Line Capture Volume -> Line AGC; Line Capture feeds nothing.
void BindLine(Platform& platform, Binding& b, const char* text) {
  Ref<DeviceTopology> topology;
  Activate(platform, Lookup(platform, DataFlow::Capture, text, 1, b.lastFoundName), b.hold,
           topology, b.line);
  b.line->GetMasterVolumeLevel(&b.savedLevels[8]);
  Ref<DeviceTopology> adapter = AdapterOf(std::move(topology));
  std::uint32_t connectors = 0;
  adapter->GetConnectorCount(&connectors);
  for (std::uint32_t i = 0; i < 3; ++i) PassConnector(platform, *adapter, i, "line");
  {
    Ref<Connector> connector;
    adapter->GetConnector(3, connector);
    Ref<Part> lineIn;
    connector->QueryPart(lineIn);
    {
      const Bstr line = Word(platform, "line");
      benchmark::DoNotOptimize(NameMatches(*lineIn, {&line}));
    }
    Ref<PartsList> fed;
    lineIn->EnumPartsOutgoing(fed);
    Ref<Part> first;
    fed->GetPart(0, first);
    Ref<PartsList> afterFirst;
    first->EnumPartsOutgoing(afterFirst);
    Ref<Part> second;
    afterFirst->GetPart(0, second);
    second->Activate(SwitchInterface::AudioAutoGainControl, kClsctxAll, b.lineAgc);
    b.lineAgc->GetEnabled(&b.savedStates[3]);
  }
  for (std::uint32_t i = 4; i < 6; ++i) PassConnector(platform, *adapter, i, "line");
  {
    Ref<Connector> connector;
    adapter->GetConnector(6, connector);
    Ref<Part> lineCapture;
    connector->QueryPart(lineCapture);
    {
      const Bstr line = Word(platform, "line");
      benchmark::DoNotOptimize(NameMatches(*lineCapture, {&line}));
    }
    Ref<PartsList> none;
    lineCapture->EnumPartsOutgoing(none);
  }
  PassConnector(platform, *adapter, 7, "line");
}

void OpenSample(Binding& b) {
  Platform& platform = CurrentPlatform();
  BindPlayback(platform, b, kSpeakers);
  b.Name(0);
  BindMicrophone(platform, b, kMicrophone);
  b.Name(2);
  BindLine(platform, b, kLineIn);
  b.Name(1);
}

// Each saved value back through its setter's writes.
void Restore(Binding& b) {
  std::uint32_t channels = 0;
  b.playback->GetChannelCount(&channels);
  b.playback->SetChannelVolumeLevel(0, b.savedLevels[0]);
  b.playback->SetChannelVolumeLevel(1, b.savedLevels[0]);
  b.playback->SetMute(b.savedStates[0] ? 1 : 0);
  b.linePlaybackLevel->GetChannelCount(&channels);
  b.linePlaybackLevel->SetLevel(0, b.savedLevels[4]);
  b.linePlaybackLevel->SetLevel(1, b.savedLevels[4]);
  b.linePlaybackMute->SetMute(b.savedStates[1]);
  b.micPlaybackLevel->GetChannelCount(&channels);
  b.micPlaybackLevel->SetLevel(0, b.savedLevels[5]);
  b.micPlaybackLevel->SetLevel(1, b.savedLevels[5]);
  b.micPlaybackMute->SetMute(b.savedStates[2]);
  b.lineAgc->SetEnabled(b.savedStates[3]);
  for (LevelControl* tone : {b.bass.Get(), b.midrange.Get(), b.treble.Get()}) {
    const float saved = tone == b.bass.Get()     ? b.savedLevels[1]
                        : tone == b.treble.Get() ? b.savedLevels[2]
                                                 : b.savedLevels[3];
    tone->GetChannelCount(&channels);
    tone->SetLevel(0, saved);
    tone->SetLevel(1, saved);
  }
  b.mic->SetMasterVolumeLevel(b.savedLevels[6]);
  b.line->SetMasterVolumeLevel(b.savedLevels[8]);
  b.boostLevel->SetLevel(0, static_cast<float>(static_cast<int>(b.savedLevels[7])));
}

using IdText = std::array<char, 256>;

IdText Narrow(const WChar* id) {
  IdText text{};
  for (std::size_t i = 0; i + 1 < text.size() && id[i] && id[i] <= 0xFF; ++i)
    text[i] = static_cast<char>(id[i]);
  return text;
}

IdText DefaultId(DeviceEnumerator& enumerator, DataFlow flow) {
  Ref<Device> device;
  enumerator.GetDefaultAudioEndpoint(flow, Role::Console, device);
  TaskString id;
  device->GetId(id);
  return Narrow(id.Get());
}

// The default speakers, then the default recording endpoint, named
// "Microphone", as the microphone.
void OpenSampleDefaults(Binding& b) {
  Platform& platform = CurrentPlatform();
  IdText render, capture;
  {
    ComScope com(platform);
    Ref<DeviceEnumerator> enumerator;
    platform.CreateDeviceEnumerator(kClsctxInprocServer, enumerator);
    render = DefaultId(*enumerator, DataFlow::Render);
    capture = DefaultId(*enumerator, DataFlow::Capture);
  }
  BindPlayback(platform, b, render.data());
  b.Name(0);
  Lookup(platform, DataFlow::Capture, capture.data(), 0, b.lastFoundName).Reset();
  for (char& c : b.lastFoundName) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  benchmark::DoNotOptimize(std::strstr(b.lastFoundName.c_str(), "MIC"));
  BindMicrophone(platform, b, capture.data());
  b.Name(2);
}

// --- Listing -----------------------------------------------------------------------

char hostName[255], hostId[255], hostNames[3][255];
int hostCount = 0;

int CountFloor(DataFlow flow) {
  Platform& platform = CurrentPlatform();
  ComScope com(platform);
  Ref<DeviceCollection> devices;
  {
    Ref<DeviceEnumerator> enumerator;
    platform.CreateDeviceEnumerator(kClsctxInprocServer, enumerator);
    enumerator->EnumAudioEndpoints(flow, kDeviceStateActive, devices);
  }
  std::uint32_t count = 0;
  devices->GetCount(&count);
  hostCount = static_cast<int>(count);
  return 0;
}

int DescribeFloor(DataFlow flow, std::uint32_t index) {
  Platform& platform = CurrentPlatform();
  ComScope com(platform);
  Ref<Device> device;
  {
    Ref<DeviceCollection> devices;
    {
      Ref<DeviceEnumerator> enumerator;
      platform.CreateDeviceEnumerator(kClsctxInprocServer, enumerator);
      enumerator->EnumAudioEndpoints(flow, kDeviceStateActive, devices);
    }
    std::uint32_t count = 0;
    devices->GetCount(&count);
    devices->Item(index, device);
  }
  const std::string name = ReadName(platform, *device);
  char temp[255];
  {
    TaskString id;
    device->GetId(id);
    platform.WideCharToMultiByte(kCpAcp, 0, id.Get(), -1, temp, sizeof temp);
  }
  std::memcpy(hostName, name.c_str(), name.size() + 1);
  std::memcpy(hostId, temp, std::strlen(temp) + 1);
  return 0;
}

void NamesFloor() {
  const MixerState& state = Mixer();
  const NameBuffer* fields[] = {&state.playbackDeviceName, &state.lineDeviceName,
                                &state.micDeviceName};
  for (int i = 0; i < 3; ++i) {
    const char* name = (*fields[i])->data();
    std::memcpy(hostNames[i], name, std::strlen(name) + 1);
  }
}

}  // namespace

void RegisterBindingBenchmarks() {
  RegisterPair(
      "OpenSoundCard+CloseSoundCard", FreshSample,
      [] {
        benchmark::DoNotOptimize(OpenSoundCard(kSpeakers, kMicrophone, kLineIn));
        CloseSoundCard(0);
      },
      [] {
        Binding b;
        OpenSample(b);
        b.Close();
      });
  RegisterPair(
      "OpenSoundCard+CloseSoundCard(restore)", FreshSample,
      [] {
        benchmark::DoNotOptimize(OpenSoundCard(kSpeakers, kMicrophone, kLineIn));
        CloseSoundCard(1);
      },
      [] {
        Binding b;
        OpenSample(b);
        Restore(b);
        b.Close();
      });
  RegisterPair(
      "OpenDefaultDevices+CloseSoundCard", FreshSample,
      [] {
        benchmark::DoNotOptimize(OpenDefaultDevices());
        CloseSoundCard(0);
      },
      [] {
        Binding b;
        OpenSampleDefaults(b);
        b.Close();
      });
  RegisterPair(
      "OpenVirtual_1+CloseVirtual_1", FreshSample,
      [] {
        benchmark::DoNotOptimize(OpenVirtual_1(kDigitalOut));
        CloseVirtual_1();
      },
      [] {
        Platform& platform = CurrentPlatform();
        std::string name;
        MtaHold hold;
        Ref<DeviceTopology> topology;
        Ref<EndpointVolume> volume;
        Activate(platform, Lookup(platform, DataFlow::Render, kDigitalOut, 1, name), hold,
                 topology, volume);
        benchmark::DoNotOptimize(topology.Get());
        topology.Reset();
        volume.Reset();
      });
  RegisterPair(
      "GetNumberPlayDevices", FreshSample,
      [] { benchmark::DoNotOptimize(GetNumberPlayDevices(&hostCount)); },
      [] { benchmark::DoNotOptimize(CountFloor(DataFlow::Render)); });
  RegisterPair(
      "GetNumberRecordDevices", FreshSample,
      [] { benchmark::DoNotOptimize(GetNumberRecordDevices(&hostCount)); },
      [] { benchmark::DoNotOptimize(CountFloor(DataFlow::Capture)); });
  RegisterPair(
      "GetPlayBackDevice", FreshSample,
      [] { benchmark::DoNotOptimize(GetPlayBackDevice(0, hostName, hostId)); },
      [] { benchmark::DoNotOptimize(DescribeFloor(DataFlow::Render, 0)); });
  RegisterPair(
      "GetRecordDevice", FreshSample,
      [] { benchmark::DoNotOptimize(GetRecordDevice(1, hostName, hostId)); },
      [] { benchmark::DoNotOptimize(DescribeFloor(DataFlow::Capture, 1)); });
  RegisterPair(
      "GetDeviceNames", BoundSample,
      [] {
        GetDeviceNames(hostNames[0], hostNames[1], hostNames[2]);
        benchmark::ClobberMemory();
      },
      [] {
        NamesFloor();
        benchmark::ClobberMemory();
      });
}

}  // namespace velto::bench
