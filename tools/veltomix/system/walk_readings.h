// Reading the values of the controls the walk (system_walk.cpp) meets.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "system/system_model.h"

namespace veltomix {

// Reads what an endpoint volume or a part holds into the model, noting which
// of the mixer's controls it is and warning about what cannot be read.
class ValueReader {
 public:
  ValueReader(std::vector<std::string>& warnings, const std::vector<HeldControl>& held)
      : warnings_(warnings), held_(held) {}

  std::optional<description::LevelState> ReadEndpointVolume(platform::EndpointVolume& volume,
                                                            WalkedEndpoint& endpoint);
  void ReadControls(platform::Part& part, WalkedPart& model);
  void NoteHeld(const void* object, std::vector<std::string>& labels) const;
  // Whether a control activated twice was the same object (checked once).
  bool IdentityStable() const { return identityStable_; }

 private:
  std::optional<description::LevelState> Fitted(description::LevelState level,
                                                const std::string& what);
  // Once per walk: the mixer's controls can only be recognised when the
  // platform answers a repeated activation with the same object.
  void CheckControlIdentity(platform::Part& part, platform::LevelInterface iid,
                            const platform::Ref<platform::LevelControl>& first);
  std::optional<description::LevelState> ReadLevel(platform::LevelControl& control,
                                                   const std::string& what);

  std::vector<std::string>& warnings_;
  const std::vector<HeldControl>& held_;
  bool identityChecked_ = false;
  bool identityStable_ = true;
};

// `level` as the description format can hold it: a finite range with
// min <= max and a step of no sign; channels outside the range are kept as
// reported, with a warning. Nothing, with a warning, when it cannot be made
// to fit. `what` names the control in warnings.
std::optional<description::LevelState> FitLevel(description::LevelState level,
                                                const std::string& what,
                                                std::vector<std::string>& warnings);

}  // namespace veltomix
