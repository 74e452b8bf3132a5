// Each friendly command declares its options on a CLI11 app and returns the
// command bound to them; the table (table.cpp) names them.
#pragma once

#include <memory>

#include "commands/commands.h"

namespace veltomix {

std::unique_ptr<Command> DefineList(CLI::App& app);
std::unique_ptr<Command> DefineOpen(CLI::App& app);
std::unique_ptr<Command> DefineGet(CLI::App& app);
std::unique_ptr<Command> DefineSet(CLI::App& app);
std::unique_ptr<Command> DefineMute(CLI::App& app);
std::unique_ptr<Command> DefineUnmute(CLI::App& app);
std::unique_ptr<Command> DefineShow(CLI::App& app);
std::unique_ptr<Command> DefineTopology(CLI::App& app);
std::unique_ptr<Command> DefineCapture(CLI::App& app);
std::unique_ptr<Command> DefineClose(CLI::App& app);

// `veltomix` alone: binds the default devices and shows them as `show` does.
int ShowDefaultDevices(Session& session);

}  // namespace veltomix
