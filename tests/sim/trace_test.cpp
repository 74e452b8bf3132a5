#include <string>
#include <vector>

#include "sim_fixture.h"

namespace velto::sim::testing {
namespace {

class TraceTest : public SimTest {};

TEST_F(TraceTest, OffByDefault) {
  Ref<EndpointVolume> volume = Volume(kSpeakers);
  EXPECT_TRUE(sys_->Trace().empty());
}

TEST_F(TraceTest, RecordsObjectOperationArgumentsAndResult) {
  std::vector<TraceEntry> seen;  // outlives every call that reports to it
  auto volume = Activated<LevelControl>("Master Volume", LevelInterface::AudioVolumeLevel);
  sys_->SetTraceSink([&](const TraceEntry& entry) { seen.push_back(entry); });
  sys_->SetTracing(true);
  sys_->AddFault({"*", "SetLevel", kE_FAIL, 0u, 0, 1});
  float level = 0;
  volume->SetLevel(1, -6.0206f);
  volume->SetLevel(0, -3.0f);
  volume->GetLevel(1, &level);
  const auto& trace = sys_->Trace();
  ASSERT_EQ(trace.size(), 3u);
  const std::string path = "part:Velto HD Audio/master/volume";
  EXPECT_EQ(trace[0].object, path);
  EXPECT_EQ(trace[0].op, "SetLevel");
  EXPECT_EQ(trace[0].args, "channel=1 level=-6.0206 -> -6.0206");
  EXPECT_EQ(trace[0].result, kS_OK);
  EXPECT_TRUE(trace[0].hasResult);
  EXPECT_EQ(trace[1].args, "channel=0 level=-3 (injected)");
  EXPECT_EQ(trace[1].result, kE_FAIL);
  EXPECT_EQ(trace[2].args, "channel=1 -> -6.0206");
  EXPECT_LT(trace[0].seq, trace[1].seq);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[2].args, trace[2].args);
  sys_->ClearTrace();
  EXPECT_TRUE(sys_->Trace().empty());
}

TEST_F(TraceTest, RecordsReferenceCounting) {
  Ref<EndpointVolume> volume = Volume(kSpeakers);
  sys_->SetTracing(true);
  { Ref<EndpointVolume> copy = volume; }
  const auto& trace = sys_->Trace();
  ASSERT_EQ(trace.size(), 2u);
  EXPECT_EQ(trace[0].op, "AddRef");
  EXPECT_EQ(trace[0].args, "-> 2");
  EXPECT_EQ(trace[1].op, "Release");
  EXPECT_EQ(trace[1].args, "-> 1");
  EXPECT_FALSE(trace[1].hasResult);
}

}  // namespace
}  // namespace velto::sim::testing
