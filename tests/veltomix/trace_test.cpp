// --trace puts the tracing platform in front of the system: every invocation
// prints exactly what it prints without it, plus the trace on stderr.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "veltomix_fixture.h"

namespace veltomix::testing {
namespace {

class TraceTest : public VeltomixTest {};

// stderr without its trace lines, and how many there were.
std::string Untraced(const std::string& err, std::size_t* traceLines) {
  std::istringstream lines(err);
  std::string kept;
  *traceLines = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("trace: ", 0) == 0) {
      ++*traceLines;
    } else {
      kept += line + "\n";
    }
  }
  return kept;
}

TEST_F(TraceTest, EveryInvocationPrintsTheSameWithTheTraceOnStderr) {
  const std::string tour =
      std::string(VELTO_TEST_SYSTEMS) + "/../../tools/veltomix/examples/tour.vmx";
  const std::vector<std::vector<std::string>> invocations = {
      {"--script", tour},
      {"--json", "--script", tour},
      {"list", "open", "--default", "show", "set", "master", "40", "mute", "master", "close",
       "--restore"},
      // Chosen parts are told by identity, which the tracer answers for.
      {"open", "--default", "open", "--line", "d1f5", "topology"},
      {"open", "--default", "topology", "mic", "--format", "dot"},
      {"capture"},
      {"open", "--playback", "no-such-id", "get", "master"},  // fails, after a search
  };
  for (const std::vector<std::string>& args : invocations) {
    SCOPED_TRACE(args[0] + " " + args.back());
    ResetMixerAndCard();
    const Outcome plain = Run(args);
    ResetMixerAndCard();
    const Outcome traced = Run(Then({"--trace"}, args));

    EXPECT_EQ(traced.exit, plain.exit);
    EXPECT_EQ(traced.out, plain.out);
    std::size_t plainTraceLines = 0;
    std::size_t traceLines = 0;
    EXPECT_EQ(Untraced(traced.err, &traceLines), Untraced(plain.err, &plainTraceLines));
    EXPECT_EQ(plainTraceLines, 0u);
    EXPECT_GT(traceLines, 10u);
    EXPECT_NE(traced.err.find("trace: com CoInitialize() -> S_OK\n"), std::string::npos);
  }
}

}  // namespace
}  // namespace veltomix::testing
