// --library: export calls through a VeltoSound library loaded at run time.
#include <gtest/gtest.h>

#include <fstream>

#include "veltomix_fixture.h"

namespace veltomix::testing {
namespace {

class LibraryTest : public VeltomixTest {};

const std::vector<std::string> kCalls = {"--json",
                                         "GetNumberPlayDevices",
                                         "GetPlayBackDevice",
                                         "0",
                                         "OpenVirtual_1",
                                         "",
                                         "SetVirtualVolume",
                                         "50",
                                         "GetVirtualVolume",
                                         "CloseVirtual_1"};

TEST_F(LibraryTest, CallsGoThroughTheLibraryAndAnswerAsTheLinkedCore) {
  const Outcome linked = Run(kCalls);
  const std::uint64_t linkedCalls = system().CallCount();
  ASSERT_GT(linkedCalls, 0u);

  const Outcome loaded = Run(Then({"--library", VELTO_TEST_LIBRARY}, kCalls));
  EXPECT_EQ(loaded.exit, kExitOk) << loaded.err;
  EXPECT_EQ(loaded.out, linked.out);
  // The library has a simulated system of its own: the linked one saw nothing.
  EXPECT_EQ(system().CallCount(), linkedCalls);

  // Once the run is over, calls reach the linked core again.
  Run(kCalls);
  EXPECT_GT(system().CallCount(), linkedCalls);
}

// The friendly commands take the same road: what they bind and set lives in
// the loaded library, and the linked core binds nothing.
TEST_F(LibraryTest, FriendlyCommandsGoThroughTheLibraryToo) {
  const Outcome loaded = Run({"--library", VELTO_TEST_LIBRARY, "open", "--virtual", "0", "set",
                              "virtual", "50", "get", "virtual"});
  EXPECT_EQ(loaded.exit, kExitOk) << loaded.err;
  EXPECT_EQ(loaded.out, "virtual: 50%  unmuted\nvirtual: 50%  unmuted\n");
  EXPECT_FALSE(velto::Mixer().virtualEndpoint);
}

TEST_F(LibraryTest, ALibraryThatCannotServeIsAUsageErrorAndNothingRuns) {
  struct Case {
    std::string library;
    std::string message;
  };
  const std::string elf32 = ::testing::TempDir() + "elf32.so";
  std::ofstream(elf32) << std::string(
                              "\x7f"
                              "ELF\x01\x01\x01",
                              7)
                       << std::string(57, '\0');
  const Case cases[] = {
      {.library = "/nonexistent/libveltosound.so", .message = "cannot load library"},
      {.library = elf32, .message = "wrong ELF class: ELFCLASS32"},
      {.library = "libc.so.6", .message = "has no export GetMasterVolume"},
  };
  for (const Case& c : cases) {
    const Outcome outcome = Run({"--library", c.library, "GetNumberPlayDevices"});
    EXPECT_EQ(outcome.exit, kExitUsage) << c.library;
    EXPECT_NE(outcome.err.find(c.message), std::string::npos) << outcome.err;
    EXPECT_EQ(outcome.out, "") << c.library;
    EXPECT_EQ(system().CallCount(), 0u) << c.library;
  }
}

TEST_F(LibraryTest, HostComOtherThanNoneNeedsWindows) {
  const Outcome outcome = Run({"--host-com", "sta", "GetNumberPlayDevices"});
  EXPECT_EQ(outcome.exit, kExitUsage);
  EXPECT_NE(outcome.err.find("need Windows"), std::string::npos) << outcome.err;
}

}  // namespace
}  // namespace veltomix::testing
