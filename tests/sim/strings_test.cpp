#include <cstring>
#include <string>

#include "sim_fixture.h"

namespace velto::sim::testing {
namespace {

class StringsTest : public SimTest {
 protected:
  std::u16string Widen(const std::string& bytes, int length) {
    WChar out[300] = {};
    const int written = sys_->MultiByteToWideChar(kCpAcp, 0, bytes.data(), length, out, 300);
    return std::u16string(out, written > 0 ? written : 0);
  }
};

TEST_F(StringsTest, SysAllocStringLenCopiesOrZeroFills) {
  Bstr copied(sys_.get(), sys_->SysAllocStringLen(u"hello world", 5));
  ASSERT_TRUE(copied);
  EXPECT_EQ(std::u16string(copied.Get()), u"hello");
  EXPECT_EQ(sys_->SysStringLen(copied.Get()), 5u);
  std::uint32_t prefix;
  std::memcpy(&prefix, reinterpret_cast<const char*>(copied.Get()) - 4, 4);
  EXPECT_EQ(prefix, 10u) << "a BSTR carries its byte length before the text";

  Bstr blank(sys_.get(), sys_->SysAllocStringLen(nullptr, 4));
  ASSERT_TRUE(blank);
  EXPECT_EQ(sys_->SysStringLen(blank.Get()), 4u);
  for (int i = 0; i <= 4; ++i) EXPECT_EQ(blank.Get()[i], 0) << i;
  EXPECT_EQ(sys_->SysStringLen(nullptr), 0u);
  EXPECT_EQ(sys_->SysAllocStringLen(nullptr, UINT32_MAX), nullptr);
}

TEST_F(StringsTest, LstrlenA) {
  EXPECT_EQ(sys_->LstrlenA(nullptr), 0);
  EXPECT_EQ(sys_->LstrlenA(""), 0);
  EXPECT_EQ(sys_->LstrlenA("line"), 4);
}

TEST_F(StringsTest, AnsiIsWindows1252AndEveryByteRoundTrips) {
  EXPECT_EQ(Widen("\x80\x81\x8d\x9f\xe9\x41", 6), u"\u20ac\u0081\u008d\u0178\u00e9A");
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  const std::u16string wide = Widen(all, -1);
  ASSERT_EQ(wide.size(), 256u) << "255 bytes and the terminator";
  char back[300] = {};
  ASSERT_EQ(sys_->WideCharToMultiByte(kCpAcp, 0, wide.data(), -1, back, 300), 256);
  EXPECT_EQ(std::string(back), all);
}

// Windows' best fit: the nearest letter where bestfit1252 names one, '?' else
// (each half of a surrogate pair, as Windows converts a single-byte page).
TEST_F(StringsTest, CharactersOutsideTheCodePageTakeTheirBestFit) {
  const std::u16string wide = u"\u0141\u0142\u00e9\u20ac\u0100\uff21\u221e\u2190\U0001F50A";
  char out[16] = {};
  const int written =
      sys_->WideCharToMultiByte(kCpAcp, 0, wide.data(), static_cast<int>(wide.size()), out, 16);
  EXPECT_EQ(std::string(out, written),
            "Ll\xe9\x80"
            "AA8???");
}

TEST_F(StringsTest, WindowsLengthContracts) {
  const char* text = "mic";
  WChar dest[8];
  std::fill(std::begin(dest), std::end(dest), u'#');
  EXPECT_EQ(sys_->MultiByteToWideChar(kCpAcp, 0, text, -1, nullptr, 0), 4) << "size query";
  EXPECT_EQ(sys_->MultiByteToWideChar(kCpAcp, 0, text, -1, dest, 3), 0) << "too small";
  EXPECT_EQ(dest[0], u'#') << "nothing written when too small";
  EXPECT_EQ(sys_->MultiByteToWideChar(kCpAcp, 0, text, 0, dest, 8), 0) << "empty source";
  EXPECT_EQ(sys_->MultiByteToWideChar(65001, 0, text, -1, dest, 8), 0) << "other code page";
  EXPECT_EQ(sys_->MultiByteToWideChar(kCpAcp, 0, text, 2, dest, 8), 2) << "no terminator added";
  EXPECT_EQ(dest[2], u'#');
  EXPECT_EQ(sys_->MultiByteToWideChar(kCpAcp, 0, text, 4, dest, 4), 4);
  EXPECT_EQ(std::u16string(dest), u"mic");

  char narrow[8];
  std::fill(std::begin(narrow), std::end(narrow), '#');
  EXPECT_EQ(sys_->WideCharToMultiByte(kCpAcp, 0, u"line", -1, nullptr, 0), 5);
  EXPECT_EQ(sys_->WideCharToMultiByte(kCpAcp, 0, u"line", -1, narrow, 4), 0);
  EXPECT_EQ(narrow[0], '#');
  EXPECT_EQ(sys_->WideCharToMultiByte(kCpAcp, 0, u"line", -1, narrow, 5), 5);
  EXPECT_STREQ(narrow, "line");
}

TEST_F(StringsTest, StringCallsAreTracedButNeverFail) {
  sys_->AddFault({"*", "*", kE_FAIL, std::nullopt, 0, UINT64_MAX});
  sys_->SetTracing(true);
  WChar dest[8];
  EXPECT_EQ(sys_->LstrlenA("abc"), 3);
  EXPECT_EQ(sys_->MultiByteToWideChar(kCpAcp, 0, "abc", -1, dest, 8), 4);
  const auto& trace = sys_->Trace();
  ASSERT_EQ(trace.size(), 2u);
  EXPECT_EQ(trace[0].object, "com");
  EXPECT_EQ(trace[0].op, "LstrlenA");
  EXPECT_FALSE(trace[0].hasResult);
  EXPECT_EQ(trace[1].op, "MultiByteToWideChar");
  EXPECT_NE(trace[1].args.find("-> 4"), std::string::npos) << trace[1].args;
  EXPECT_EQ(sys_->CallCount(), 0u);
}

}  // namespace
}  // namespace velto::sim::testing
