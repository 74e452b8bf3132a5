#include "platform/description/reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace velto::description {
namespace {

// One endpoint joined to a connector part, and a part with a volume: each
// case below spoils one place of it.
std::string Card(const std::string& endpointId, const std::string& partId, const std::string& min) {
  return R"({"endpoints": [
      {"id": "ep-0", "name": "Zero", "flow": "capture"},
      {"id": )" +
         endpointId + R"(, "name": "Out", "flow": "render",
       "connector": {"adapter": "Card", "part": "out"}}],
    "adapters": [{"name": "Card", "parts": [
      {"id": "out", "name": "Out", "kind": "connector"},
      {"id": )" +
         partId + R"(, "name": "Vol", "kind": "subunit",
       "controls": {"volume": {"min": )" +
         min + R"(, "max": 0, "step": 1, "channels": [0]}}}],
     "links": [["vol", "out"]]}]})";
}

const std::string kId = R"("ep-1")";
const std::string kPart = R"("vol")";

struct BadText {
  const char* name;
  std::string text;
  const char* message;  // all of it after "cards/bad.json: "
};

void PrintTo(const BadText& c, std::ostream* os) { *os << c.name; }

class BadTextTest : public ::testing::TestWithParam<BadText> {};

TEST_P(BadTextTest, NamesSourcePlaceAndProblem) {
  try {
    ReadDescription(GetParam().text, "cards/bad.json");
    FAIL() << "read a bad description";
  } catch (const DescriptionError& error) {
    EXPECT_EQ(std::string(error.what()), std::string("cards/bad.json: ") + GetParam().message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    All, BadTextTest,
    ::testing::Values(
        BadText{"NulInEndpointId", Card(R"("ep\u00001")", kPart, "-10"),
                "/endpoints/1: endpoint id must not contain a NUL character"},
        BadText{"NulInPartId", Card(kId, R"("v\u0000ol")", "-10"),
                "/adapters/0/parts/1: part id must not contain a NUL character"},
        BadText{"NulInNameThatIsTheId",
                R"({"endpoints": [{"name": "A\u0000B", "flow": "render"}]})",
                "/endpoints/0: endpoint id must not contain a NUL character"},
        BadText{"NumberOutOfRangeInObject", Card(kId, kPart, "-1e999"),
                "/adapters/0/parts/1/controls/volume/min: number -1e999 is out of range"},
        BadText{"NumberOutOfRangeInArray",
                R"({"endpoints": [{"name": "A", "flow": "render",
                    "volume": {"min": -1, "max": 0, "step": 1, "channels": [0, 1E400]}}]})",
                "/endpoints/0/volume/channels/1: number 1E400 is out of range"},
        BadText{"NumberOutOfRangeAtRoot", "1e999", "(document root): number 1e999 is out of range"},
        BadText{"DuplicateKeyBelowArrays",
                R"({"adapters": [{"name": "A", "parts": []},
                    {"name": "B", "parts": [{"name": "x", "kind": "subunit"},
                      {"name": "y", "kind": "subunit", "kind": "connector"}]}]})",
                "/adapters/1/parts/1/kind: duplicate key \"kind\""},
        // Read before the adapters, the connector is resolved at the end.
        BadText{"UnknownAdapterBeforeTheAdapters",
                R"({"endpoints": [{"name": "A", "flow": "render",
                    "connector": {"adapter": "Nope", "part": "out"}}],
                    "adapters": [{"name": "Card", "parts": []}]})",
                "/endpoints/0/connector/adapter: unknown adapter \"Nope\""},
        BadText{"LinksBeforePartsStillChecked",
                R"({"adapters": [{"links": [["a", "b"]], "name": "Card",
                    "parts": [{"name": "a", "kind": "subunit"}]}]})",
                "/adapters/0/links/0/1: unknown part \"b\""},
        BadText{"DuplicateKeyAfterAnObjectMember",
                R"({"faults": [], "endpoints": [], "faults": []})",
                "/faults: duplicate key \"faults\""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadDescription, TextAndFileGiveTheSameModel) {
  const std::string text = Card(kId, kPart, "-10");
  const Description read = ReadDescription(text, "text");
  const auto path = std::filesystem::temp_directory_path() / "velto_reader_test.json";
  std::ofstream(path) << text;
  const Description fromFile = ReadDescriptionFile(path.string());
  std::filesystem::remove(path);
  for (const Description* model : {&read, &fromFile}) {
    ASSERT_EQ(model->endpoints.size(), 2u);
    ASSERT_EQ(model->adapters.size(), 1u);
    EXPECT_EQ(model->endpoints[1].connector, (PartPlace{0, 0}));
    EXPECT_EQ(model->adapters[0].parts[1].levels[0]->min, -10.0f);
    EXPECT_EQ(model->adapters[0].links, (std::vector<std::pair<std::size_t, std::size_t>>{{1, 0}}));
  }
}

// Elements are read as the text comes: members in any order give one model.
TEST(ReadDescription, MemberOrderDoesNotMatter) {
  const Description usual = ReadDescription(Card(kId, kPart, "-10"), "usual");
  const Description reordered = ReadDescription(R"({"faults": [], "adapters": [{
      "links": [["vol", "out"]], "parts": [
        {"id": "out", "name": "Out", "kind": "connector"},
        {"id": "vol", "name": "Vol", "kind": "subunit",
         "controls": {"volume": {"min": -10, "max": 0, "step": 1, "channels": [0]}}}],
      "name": "Card"}],
    "endpoints": [{"id": "ep-0", "name": "Zero", "flow": "capture"},
      {"connector": {"part": "out", "adapter": "Card"}, "flow": "render", "name": "Out",
       "id": "ep-1"}]})",
                                                "reordered");
  for (const Description* model : {&usual, &reordered}) {
    ASSERT_EQ(model->endpoints.size(), 2u);
    EXPECT_EQ(model->endpoints[1].connector, (PartPlace{0, 0}));
    ASSERT_EQ(model->adapters.size(), 1u);
    EXPECT_EQ(model->adapters[0].name, "Card");
    EXPECT_EQ(model->adapters[0].parts.size(), 2u);
    EXPECT_EQ(model->adapters[0].links, (std::vector<std::pair<std::size_t, std::size_t>>{{1, 0}}));
  }
}

}  // namespace
}  // namespace velto::description
