#include "system/walk_readings.h"

#include <algorithm>
#include <cmath>

namespace veltomix {

namespace p = velto::platform;
using description::kLevelKeys;
using description::kLevelKinds;
using description::kSwitchKeys;
using description::kSwitchKinds;
using description::LevelState;
using p::Ref;

std::optional<LevelState> ValueReader::ReadEndpointVolume(p::EndpointVolume& volume,
                                                          WalkedEndpoint& endpoint) {
  const std::string what = "the volume of endpoint " + endpoint.id;
  LevelState level;
  std::uint32_t channels = 0;
  if (volume.GetVolumeRange(&level.min, &level.max, &level.step) != p::kS_OK ||
      volume.GetChannelCount(&channels) != p::kS_OK) {
    warnings_.push_back(what + " cannot be read; left out");
    return std::nullopt;
  }
  for (std::uint32_t channel = 0; channel < channels; ++channel) {
    float value = 0;
    if (volume.GetChannelVolumeLevel(channel, &value) != p::kS_OK) {
      warnings_.push_back(what + " cannot be read on channel " + std::to_string(channel) +
                          "; left out");
      return std::nullopt;
    }
    level.channels.push_back(value);
  }
  std::int32_t muted = 0;
  if (volume.GetMute(&muted) != p::kS_OK)
    warnings_.push_back("the mute of endpoint " + endpoint.id +
                        " cannot be read; written as unmuted");
  endpoint.mute = muted;
  // The master is written only where the loudest channel does not say it.
  float master = 0;
  const bool hasMaster = volume.GetMasterVolumeLevel(&master) == p::kS_OK;
  const auto loudest = std::max_element(level.channels.begin(), level.channels.end());
  if (hasMaster && std::isfinite(master) && (loudest == level.channels.end() || *loudest != master))
    endpoint.master = master;
  if (level.channels.empty() && !endpoint.master) {
    warnings_.push_back(what + " has no channel and no master level; left out");
    return std::nullopt;
  }
  return Fitted(std::move(level), what);
}

std::optional<LevelState> ValueReader::Fitted(LevelState level, const std::string& what) {
  return FitLevel(std::move(level), what, warnings_);
}

void ValueReader::ReadControls(p::Part& part, WalkedPart& model) {
  const std::string what = "part \"" + model.name + "\"";
  for (std::size_t k = 0; k < kLevelKinds; ++k) {
    Ref<p::LevelControl> control;
    if (part.Activate(static_cast<p::LevelInterface>(k), p::kClsctxAll, control) != p::kS_OK ||
        !control)
      continue;
    CheckControlIdentity(part, static_cast<p::LevelInterface>(k), control);
    model.levels[k] = ReadLevel(*control, what + " " + kLevelKeys[k]);
    NoteHeld(SameObject(control), model.heldAs);
  }
  Ref<p::MuteControl> mute;
  if (part.Activate(p::MuteInterface::AudioMute, p::kClsctxAll, mute) == p::kS_OK && mute) {
    std::int32_t value = 0;
    if (mute->GetMute(&value) == p::kS_OK) {
      model.mute = value;
    } else {
      warnings_.push_back(what + " mute cannot be read; left out");
    }
    NoteHeld(SameObject(mute), model.heldAs);
  }
  for (std::size_t k = 0; k < kSwitchKinds; ++k) {
    Ref<p::SwitchControl> control;
    if (part.Activate(static_cast<p::SwitchInterface>(k), p::kClsctxAll, control) != p::kS_OK ||
        !control)
      continue;
    std::int32_t value = 0;
    if (control->GetEnabled(&value) == p::kS_OK) {
      model.switches[k] = value;
    } else {
      warnings_.push_back(what + " " + kSwitchKeys[k] + " cannot be read; left out");
    }
    NoteHeld(SameObject(control), model.heldAs);
  }
}

void ValueReader::CheckControlIdentity(p::Part& part, p::LevelInterface iid,
                                       const Ref<p::LevelControl>& first) {
  if (identityChecked_) return;
  identityChecked_ = true;
  Ref<p::LevelControl> again;
  if (part.Activate(iid, p::kClsctxAll, again) == p::kS_OK && again)
    identityStable_ = SameObject(again) == SameObject(first);
}

std::optional<LevelState> ValueReader::ReadLevel(p::LevelControl& control,
                                                 const std::string& what) {
  LevelState level;
  std::uint32_t channels = 0;
  if (control.GetChannelCount(&channels) != p::kS_OK ||
      (channels > 0 && control.GetLevelRange(0, &level.min, &level.max, &level.step) != p::kS_OK)) {
    warnings_.push_back(what + " cannot be read; left out");
    return std::nullopt;
  }
  for (std::uint32_t channel = 0; channel < channels; ++channel) {
    float value = 0;
    if (control.GetLevel(channel, &value) != p::kS_OK) {
      warnings_.push_back(what + " cannot be read on channel " + std::to_string(channel) +
                          "; left out");
      return std::nullopt;
    }
    level.channels.push_back(value);
  }
  return Fitted(std::move(level), what);
}

void ValueReader::NoteHeld(const void* object, std::vector<std::string>& labels) const {
  for (const HeldControl& held : held_) {
    if (held.object == object) labels.push_back(held.label);
  }
}

std::optional<LevelState> FitLevel(LevelState level, const std::string& what,
                                   std::vector<std::string>& warnings) {
  const auto finite = [](float v) { return std::isfinite(v); };
  bool allFinite = finite(level.min) && finite(level.max) && finite(level.step);
  for (float value : level.channels) allFinite = allFinite && finite(value);
  if (!allFinite || level.min > level.max) {
    warnings.push_back(what + " reports no usable range; left out");
    return std::nullopt;
  }
  level.step = std::fabs(level.step);
  // A level outside the range is what the driver reports, so it is written
  // as reported: a fitted one would hide the very state worth trying.
  const bool outside = std::any_of(level.channels.begin(), level.channels.end(), [&](float value) {
    return value < level.min || value > level.max;
  });
  if (outside) warnings.push_back(what + " has a level outside its range; written as reported");
  return level;
}

}  // namespace veltomix
