// The walk's helpers (system_walk.cpp): reading the values of the controls
// it meets, and naming parts and adapters once it is done.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "system/system_walk.h"

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

// Ids from names, unique within each adapter.
void NameParts(SystemModel& model);
// Adapter names from the names of the endpoints joined to them.
void NameAdapters(SystemModel& model);

}  // namespace veltomix
