// What `topology` and `capture` share: walking the system and writing out.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "mixer/mixer_controls.h"
#include "system/system_walk.h"

namespace veltomix {

// The walk of the current platform, or nothing with `*exit` set when it failed.
std::optional<SystemModel> Walk(Session& session, const char* command,
                                const std::vector<HeldControl>& held, int* exit);

// What a walk could not read or had to change, in one line.
void PrintWarnings(Session& session, const char* command, const SystemModel& model);

// Writes `text` to `path`, or to the session's output for "-".
int WriteOutput(Session& session, const char* command, const std::string& path,
                const std::string& text);

}  // namespace veltomix
