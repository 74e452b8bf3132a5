// Numbers given to export calls: each must fit the parameter it is for, so
// a number out of range is refused instead of wrapping into another value.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "calls/call_script.h"

namespace veltomix {
namespace {

TEST(CallArgumentsTest, DecimalNumbersFitTheirParameterAndHexGivesAnyPattern) {
  struct Case {
    const char* text;
    DecimalRange decimal;
    std::optional<std::int32_t> value;  // nothing: refused
  };
  const Case cases[] = {
      {"2147483647", DecimalRange::Signed, 2147483647},
      {"2147483648", DecimalRange::Signed, std::nullopt},
      {"-2147483648", DecimalRange::Signed, INT32_MIN},
      {"-2147483649", DecimalRange::Signed, std::nullopt},
      {"4294967295", DecimalRange::Unsigned, -1},
      {"4294967296", DecimalRange::Unsigned, std::nullopt},
      {"0xFFFFFFFF", DecimalRange::Signed, -1},
      {"0x80000000", DecimalRange::Signed, INT32_MIN},
      {"0x100000000", DecimalRange::Signed, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    if (c.value) {
      EXPECT_EQ(ParseInt32(c.text, c.decimal), *c.value);
    } else {
      EXPECT_THROW(ParseInt32(c.text, c.decimal), UsageError);
    }
  }
}

}  // namespace
}  // namespace veltomix
