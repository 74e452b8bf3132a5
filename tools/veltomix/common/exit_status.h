// veltomix's exit statuses: every command's outcome is one of these, and a
// run exits with the first that is not kExitOk.
#pragma once

namespace veltomix {

constexpr int kExitOk = 0;
constexpr int kExitCommandFailed = 1;   // a binding failed, or a command could not do its work
constexpr int kExitUsage = 2;           // the command line, or an endpoint or value in it, is wrong
constexpr int kExitNothingBound = 3;    // the control's device is not bound
constexpr int kExitControlMissing = 4;  // the bound device lacks the control
constexpr int kExitPlatform = 5;        // a platform call, or reading or writing a file, failed

}  // namespace veltomix
