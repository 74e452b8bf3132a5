// veltomix: the VeltoSound mixer from the command line. Runs export calls and
// friendly commands in one process, on the simulated sound system (or, on
// Windows, on the real one).
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "cli/cli.h"

namespace {

bool StdoutIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stdout)) != 0;
#else
  return isatty(STDOUT_FILENO) != 0;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  // Status lines go to stderr, results to stdout; unbuffered, the two keep
  // their order when a user sends both to one file.
  std::cout << std::unitbuf;
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const bool color =
      StdoutIsTerminal() && veltomix::ColourAllowed(std::getenv("NO_COLOR"), std::getenv("TERM"));
  return veltomix::RunVeltomix(args, std::cout, std::cerr, color);
}
