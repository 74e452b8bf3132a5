#include "topology_why.h"

#include <cstdio>
#include <optional>

#include "endpoint_choice.h"
#include "exit_status.h"
#include "platform/com_scope.h"
#include "platform/description/text.h"
#include "text.h"

namespace veltomix {

namespace p = velto::platform;
using p::HRESULT;
using p::Ref;

namespace {

// A walk longer than this runs in a circle; binding's own walk would not end.
constexpr int kLongestChain = 256;

const std::vector<std::string> kLineMonitorWords = {"line", "gree"};
const std::vector<std::string> kMicMonitorWords = {"mic", "pin"};
const std::vector<std::string> kBoostWords = {"boost", "+2", "agc"};

std::string Hex(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
  return text;
}

std::string Words(const std::vector<std::string>& words) {
  std::string text;
  for (std::size_t i = 0; i < words.size(); ++i)
    text += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + ("\"" + words[i] + "\"");
  return text;
}

std::string TaskText(const p::TaskString& text) {
  if (!text) return {};
  std::size_t length = 0;
  while (text.Get()[length]) ++length;
  return velto::description::Utf16ToUtf8(text.Get(), length);
}

// A part's name as binding reads it; nothing when it cannot be read, which
// matches no word.
std::optional<std::string> NameOf(p::Part& part) {
  p::TaskString name;
  if (part.GetName(name) != p::kS_OK || !name) return std::nullopt;
  return TaskText(name);
}

std::string Shown(p::Part& part) {
  const auto name = NameOf(part);
  return name ? "\"" + *name + "\"" : "a part whose name cannot be read";
}

bool Matches(p::Part& part, const std::vector<std::string>& words) {
  const auto name = NameOf(part);
  if (!name) return false;
  for (const std::string& word : words) {
    if (ContainsFolded(*name, word)) return true;
  }
  return false;
}

Ref<p::PartsList> Incoming(p::Part& part) {
  Ref<p::PartsList> list;
  if (part.EnumPartsIncoming(list) != p::kS_OK) return nullptr;
  return list;
}

Ref<p::PartsList> Outgoing(p::Part& part) {
  Ref<p::PartsList> list;
  if (part.EnumPartsOutgoing(list) != p::kS_OK) return nullptr;
  return list;
}

std::uint32_t Count(p::PartsList& list) {
  std::uint32_t count = 0;
  return list.GetCount(&count) == p::kS_OK ? count : 0;
}

Ref<p::Part> PartAt(p::PartsList& list, std::uint32_t index) {
  Ref<p::Part> part;
  if (list.GetPart(index, part) != p::kS_OK) return nullptr;
  return part;
}

bool Offers(p::Part& part, p::LevelInterface iid) {
  Ref<p::LevelControl> control;
  return part.Activate(iid, p::kClsctxAll, control) == p::kS_OK && control;
}

bool Offers(p::Part& part, p::SwitchInterface iid) {
  Ref<p::SwitchControl> control;
  return part.Activate(iid, p::kClsctxAll, control) == p::kS_OK && control;
}

bool OffersMute(p::Part& part) {
  Ref<p::MuteControl> control;
  return part.Activate(p::MuteInterface::AudioMute, p::kClsctxAll, control) == p::kS_OK && control;
}

const char* InterfaceName(p::LevelInterface iid) {
  switch (iid) {
    case p::LevelInterface::AudioVolumeLevel:
      return "IAudioVolumeLevel";
    case p::LevelInterface::AudioBass:
      return "IAudioBass";
    case p::LevelInterface::AudioTreble:
      return "IAudioTreble";
    case p::LevelInterface::AudioMidrange:
      return "IAudioMidrange";
  }
  return "";
}

class WhyWalk {
 public:
  WhyWalk(p::Platform& platform, const ControlInfo& control)
      : platform_(platform), control_(control), name_(control.name) {}

  WhyReport Run(const std::string& endpointId, const std::string& endpointName) {
    Ref<p::Device> device = FindDevice(endpointId);
    if (!device)
      return Stop("the bound endpoint " + endpointName + " is no longer listed", kExitPlatform);
    Step("endpoint " + endpointName);
    if (control_.kind == ControlKind::Percent && control_.device != BoundEndpoint::Playback)
      return EndpointVolume(*device);
    if (name_ == "master" || name_ == "virtual") return EndpointVolume(*device);
    Ref<p::Part> joined = JoinedPart(*device);
    if (!joined) return report_;
    if (control_.device == BoundEndpoint::Playback) return Playback(*joined);
    Ref<p::DeviceTopology> adapter;
    if (joined->GetTopologyObject(adapter) != p::kS_OK || !adapter)
      return Stop("the adapter's topology cannot be reached from connector " + Shown(*joined));
    return control_.device == BoundEndpoint::LineIn ? LineAgc(*adapter) : MicBoost(*adapter);
  }

  WhyReport Stop(const std::string& why, int exit = kExitControlMissing) {
    report_.found = false;
    report_.stopped = "not found: " + why;
    report_.exit = exit;
    return report_;
  }

 private:
  void Step(std::string text) { report_.steps.push_back(std::move(text)); }

  WhyReport Found(const std::string& where) {
    report_.found = true;
    report_.stopped = "found: " + name_ + " is " + where;
    report_.exit = kExitOk;
    return report_;
  }

  Ref<p::Device> FindDevice(const std::string& id) {
    Ref<p::DeviceEnumerator> enumerator;
    Ref<p::DeviceCollection> devices;
    std::uint32_t count = 0;
    if (platform_.CreateDeviceEnumerator(p::kClsctxInprocServer, enumerator) != p::kS_OK ||
        !enumerator)
      return nullptr;
    const p::DataFlow flow =
        control_.device == BoundEndpoint::Playback || control_.device == BoundEndpoint::Virtual
            ? p::DataFlow::Render
            : p::DataFlow::Capture;
    if (enumerator->EnumAudioEndpoints(flow, p::kDeviceStateActive, devices) != p::kS_OK ||
        !devices || devices->GetCount(&count) != p::kS_OK)
      return nullptr;
    for (std::uint32_t i = 0; i < count; ++i) {
      Ref<p::Device> device;
      p::TaskString deviceId;
      if (devices->Item(i, device) != p::kS_OK || !device || device->GetId(deviceId) != p::kS_OK)
        continue;
      if (TaskText(deviceId) == id) return device;
    }
    return nullptr;
  }

  WhyReport EndpointVolume(p::Device& device) {
    Ref<p::EndpointVolume> volume;
    const HRESULT hr = device.Activate(p::kClsctxInprocServer, volume);
    if (hr != p::kS_OK || !volume)
      return Stop("the endpoint offers no IAudioEndpointVolume (" + Hex(hr) + ")");
    return Found("the endpoint's own volume (IAudioEndpointVolume)");
  }

  // The adapter's connector that the endpoint is joined to.
  Ref<p::Part> JoinedPart(p::Device& device) {
    Ref<p::DeviceTopology> topology;
    Ref<p::Connector> ours, theirs;
    Ref<p::Part> part;
    const HRESULT hr = device.Activate(p::kClsctxAll, topology);
    if (hr != p::kS_OK || !topology) {
      Stop("the endpoint offers no device topology (Activate IDeviceTopology: " + Hex(hr) +
           "), so binding looks for nothing beyond its own volume and mute");
      return nullptr;
    }
    if (topology->GetConnector(0, ours) != p::kS_OK || !ours ||
        ours->GetConnectedTo(theirs) != p::kS_OK || !theirs ||
        theirs->QueryPart(part) != p::kS_OK || !part) {
      Stop("the endpoint's connector is not joined to an adapter's connector");
      return nullptr;
    }
    Step("joined to the adapter's connector " + Shown(*part));
    return part;
  }

  // --- Playback: the tone chain, then the monitor branches -----------------------------------

  WhyReport Playback(p::Part& output) {
    Ref<p::PartsList> list = Incoming(output);
    if (!list) return Stop("connector " + Shown(output) + " has no incoming parts");
    std::uint32_t inputs = Count(*list);
    const bool tone = control_.kind == ControlKind::Tone;
    const p::LevelInterface iid = name_ == "bass"     ? p::LevelInterface::AudioBass
                                  : name_ == "treble" ? p::LevelInterface::AudioTreble
                                                      : p::LevelInterface::AudioMidrange;
    if (inputs != 1)
      Step(Shown(output) + " has " + std::to_string(inputs) +
           " inputs: no single chain to search for tone controls");
    for (int length = 0; inputs == 1; ++length) {
      if (length == kLongestChain) return Stop("the output chain runs in a circle");
      Ref<p::Part> part = PartAt(*list, 0);
      if (!part) return Stop("a part of the output chain cannot be fetched; the walk fails");
      Ref<p::PartsList> next = Incoming(*part);
      if (!next)
        return Stop("the output chain ends at " + Shown(*part) +
                    ", which has no inputs: the walk fails there" +
                    (tone ? " before trying it" : ", before any monitor branch is searched"));
      if (tone && Offers(*part, iid)) return Found("on " + Shown(*part) + " (output chain)");
      if (tone) Step(Shown(*part) + " (output chain): no " + std::string(InterfaceName(iid)));
      inputs = Count(*next);
      list = next;
      if (inputs != 1)
        Step(Shown(*part) + " has " + std::to_string(inputs) +
             " inputs: the output chain ends here" + (tone ? "" : "; its inputs are the branches"));
    }
    if (tone)
      return Stop(
          "no part of the output chain, up to the first with other than one input, offers " +
          std::string(InterfaceName(iid)));
    if (inputs == 0) return Stop("the output chain has no branches to search");
    return Branches(*list, inputs);
  }

  WhyReport Branches(p::PartsList& list, std::uint32_t count) {
    const bool line = name_ == "line-monitor";
    const std::vector<std::string>& words = line ? kLineMonitorWords : kMicMonitorWords;
    for (std::uint32_t i = 0; i < count; ++i) {
      Ref<p::Part> branch = PartAt(list, i);
      if (!branch)
        return Stop("branch " + std::to_string(i) + " cannot be fetched; the walk fails");
      Ref<p::PartsList> chain = Incoming(*branch);
      if (!chain) {
        Step("branch " + Shown(*branch) + ": no inputs; skipped");
        continue;
      }
      Step("branch " + Shown(*branch) + ": its chain is searched for a name holding " +
           Words(words));
      std::string level;
      if (NameWalk(chain, words, &level)) {
        const bool mute = OffersMute(*branch);
        Step(level + " is bound as the level; the branch part " + Shown(*branch) +
             (mute ? " as the mute" : " offers no IAudioMute, so the mute is not found"));
        return Found("the level on " + level + (mute ? ", the mute on " + Shown(*branch) : ""));
      }
    }
    return Stop("no branch has a part named with " + Words(words) +
                " followed, towards the mixer, by a part that offers IAudioVolumeLevel");
  }

  // Along part 0 of each incoming list, from the branch's own inputs.
  bool NameWalk(const Ref<p::PartsList>& start, const std::vector<std::string>& words,
                std::string* level) {
    Ref<p::PartsList> cursor = start;
    for (int length = 0; length < kLongestChain; ++length) {
      Ref<p::Part> part = PartAt(*cursor, 0);
      if (!part) return false;
      if (!Matches(*part, words)) {
        Step("  " + Shown(*part) + ": name does not hold " + Words(words));
      } else if (const auto found = FirstVolumeLevel(start)) {
        Step("  " + Shown(*part) + ": name matches");
        *level = *found;
        return true;
      } else {
        Step("  " + Shown(*part) +
             ": name matches, but no part on the chain offers "
             "IAudioVolumeLevel");
      }
      cursor = Incoming(*part);
      if (!cursor) return false;
    }
    return false;
  }

  std::optional<std::string> FirstVolumeLevel(const Ref<p::PartsList>& start) {
    Ref<p::PartsList> list = start;
    for (int length = 0; length < kLongestChain; ++length) {
      Ref<p::Part> part = PartAt(*list, 0);
      if (!part) return std::nullopt;
      if (Offers(*part, p::LevelInterface::AudioVolumeLevel)) return Shown(*part);
      list = Incoming(*part);
      if (!list) return std::nullopt;
    }
    return std::nullopt;
  }

  // --- Line in: the gain control two parts after each "line" connector ----------------------

  WhyReport LineAgc(p::DeviceTopology& adapter) {
    std::uint32_t count = 0;
    if (adapter.GetConnectorCount(&count) != p::kS_OK)
      return Stop("the adapter's connectors cannot be counted");
    std::optional<std::string> bound;
    for (std::uint32_t i = 0; i < count; ++i) {
      Ref<p::Part> connector = ConnectorPart(adapter, i);
      if (!connector)
        return Stop("connector " + std::to_string(i) + " cannot be read; the walk fails");
      if (!Matches(*connector, {"line"})) {
        Step("connector " + Shown(*connector) + ": name does not hold \"line\"");
        continue;
      }
      Ref<p::PartsList> first = Outgoing(*connector);
      if (!first) {
        Step("connector " + Shown(*connector) + ": no outgoing parts; skipped");
        continue;
      }
      Ref<p::Part> next = PartAt(*first, 0);
      Ref<p::PartsList> second = next ? Outgoing(*next) : nullptr;
      Ref<p::Part> tried = second ? PartAt(*second, 0) : nullptr;
      if (!tried)
        return Stop(
            "after connector " + Shown(*connector) +
            " the part tried must lie two parts downstream (part 0 of each outgoing "
            "list), but " +
            (next ? Shown(*next) + " has no outgoing parts" : "its outgoing list yields no part") +
            "; the walk fails");
      const bool offers = Offers(*tried, p::SwitchInterface::AudioAutoGainControl);
      Step("connector " + Shown(*connector) + ": two parts downstream, " + Shown(*tried) +
           (offers ? " offers IAudioAutoGainControl" : " offers no IAudioAutoGainControl") +
           OthersNotTried(*second));
      // Every later "line" connector tries again, and one that fails empties the slot.
      bound = offers ? std::optional<std::string>(Shown(*tried)) : std::nullopt;
    }
    if (bound) return Found("on " + *bound);
    return Stop(
        "no connector named with \"line\" has, two parts downstream along part 0 of "
        "each outgoing list, a part that offers IAudioAutoGainControl (the last such "
        "connector decides)");
  }

  static std::string OthersNotTried(p::PartsList& list) {
    const std::uint32_t count = Count(list);
    std::string others;
    for (std::uint32_t k = 1; k < count; ++k) {
      Ref<p::Part> part = PartAt(list, k);
      if (part) others += (others.empty() ? "" : ", ") + Shown(*part);
    }
    return others.empty() ? "" : "; beside it, never tried: " + others;
  }

  static Ref<p::Part> ConnectorPart(p::DeviceTopology& adapter, std::uint32_t index) {
    Ref<p::Connector> connector;
    Ref<p::Part> part;
    if (adapter.GetConnector(index, connector) != p::kS_OK || !connector ||
        connector->QueryPart(part) != p::kS_OK)
      return nullptr;
    return part;
  }

  // --- Microphone: a boost switch, else a boost level, after each "mic" connector -----------

  WhyReport MicBoost(p::DeviceTopology& adapter) {
    std::uint32_t count = 0;
    if (adapter.GetConnectorCount(&count) != p::kS_OK)
      return Stop("the adapter's connectors cannot be counted");
    const bool wantSwitch = name_ == "mic-boost";
    for (std::uint32_t i = 0; i < count; ++i) {
      Ref<p::Part> connector = ConnectorPart(adapter, i);
      if (!connector)
        return Stop("connector " + std::to_string(i) + " cannot be read; the walk fails");
      if (!Matches(*connector, {"mic"})) {
        Step("connector " + Shown(*connector) + ": name does not hold \"mic\"");
        continue;
      }
      Ref<p::PartsList> list = Outgoing(*connector);
      if (!list) {
        Step("connector " + Shown(*connector) + ": no outgoing parts; skipped");
        continue;
      }
      Step("connector " + Shown(*connector) + ": downstream parts named with " +
           Words(kBoostWords) + " are tried for a switch (IAudioAutoGainControl, IAudioLoudness)");
      if (const auto found = BoostSearch(list, true)) {
        if (wantSwitch) return Found("on " + *found);
        return Stop("a boost switch was found on " + *found +
                    ", and then no boost level is sought");
      }
      Step("no switch; the same parts are tried for a level (IAudioVolumeLevel)");
      if (const auto found = BoostSearch(list, false)) {
        if (!wantSwitch) return Found("on " + *found);
        return Stop("no part offers a boost switch; a boost level was found on " + *found +
                    " instead (see mic-boost-level)");
      }
    }
    return Stop("no connector named with \"mic\" leads to a part named with " + Words(kBoostWords) +
                " that offers " +
                (wantSwitch ? "IAudioAutoGainControl or IAudioLoudness" : "IAudioVolumeLevel"));
  }

  // Every part of a list in order, then one level further by way of the
  // list's last part.
  std::optional<std::string> BoostSearch(const Ref<p::PartsList>& start, bool switches) {
    Ref<p::PartsList> list = start;
    for (int depth = 0; depth < kLongestChain; ++depth) {
      const std::uint32_t count = Count(*list);
      if (count == 0) return std::nullopt;
      for (std::uint32_t i = 0; i < count; ++i) {
        Ref<p::Part> part = PartAt(*list, i);
        if (!part) continue;
        if (!Matches(*part, kBoostWords)) {
          Step("  " + Shown(*part) + ": name does not hold " + Words(kBoostWords));
          continue;
        }
        const bool offers = switches ? Offers(*part, p::SwitchInterface::AudioAutoGainControl) ||
                                           Offers(*part, p::SwitchInterface::AudioLoudness)
                                     : Offers(*part, p::LevelInterface::AudioVolumeLevel);
        if (offers) return Shown(*part);
        Step("  " + Shown(*part) + ": name matches, but it offers no " +
             (switches ? "IAudioAutoGainControl or IAudioLoudness" : "IAudioVolumeLevel"));
      }
      Ref<p::Part> last = PartAt(*list, count - 1);
      list = last ? Outgoing(*last) : nullptr;
      if (!list) return std::nullopt;
    }
    return std::nullopt;
  }

  p::Platform& platform_;
  const ControlInfo& control_;
  std::string name_;
  WhyReport report_;
};

}  // namespace

WhyReport ExplainControl(p::Platform& platform, const ControlInfo& control,
                         const std::map<BoundEndpoint, std::string>& chosenNames) {
  std::string name = ReadBoundNames().Of(control.device);
  const auto chosen = chosenNames.find(control.device);
  if (name.empty() && chosen != chosenNames.end()) name = chosen->second;
  WhyReport nothing;
  nothing.exit = kExitNothingBound;
  nothing.stopped = std::string("not found: no ") + DeviceTitle(control.device) +
                    " endpoint is bound, so nothing was searched; bind one with `open` first";
  if (name.empty()) return nothing;
  const bool playback =
      control.device == BoundEndpoint::Playback || control.device == BoundEndpoint::Virtual;
  std::string id;
  for (const ListedEndpoint& endpoint : ListEndpoints(false)) {
    if ((endpoint.flow == p::DataFlow::Render) == playback && endpoint.name == name) {
      id = endpoint.id;
      break;
    }
  }
  // Every object of the walk is released inside the COM bracket.
  velto::platform::ComScope com(platform);
  WhyWalk walk(platform, control);
  if (id.empty())
    return walk.Stop("the bound endpoint " + name + " is no longer listed", kExitPlatform);
  return walk.Run(id, name);
}

}  // namespace veltomix
