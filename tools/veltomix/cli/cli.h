// The veltomix command line: global options, then export calls and friendly
// commands in any mix, all checked before the first one runs.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/steps.h"

namespace veltomix {

// The whole program. `args` holds the arguments after the program name;
// `color` tells whether `show` colours by default (out is a terminal that
// takes colour: see ColourAllowed).
int RunVeltomix(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                bool color);

// Whether colour is welcome on a terminal, given the NO_COLOR and TERM
// environment variables (null when unset).
bool ColourAllowed(const char* noColor, const char* term);

}  // namespace veltomix
