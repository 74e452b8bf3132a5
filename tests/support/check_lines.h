// One line per check, "ok   what" or "FAIL what: detail", for the test
// programs that run without a test framework (under Wine); the counts decide
// the exit status.
#pragma once

#include <cstdio>
#include <string>

namespace velto::testing {

class CheckLines {
 public:
  void Expect(bool ok, const std::string& what, const std::string& detail = "") {
    if (ok) {
      ++passed_;
      std::printf("ok   %s\n", what.c_str());
    } else {
      ++failed_;
      std::printf("FAIL %s%s%s\n", what.c_str(), detail.empty() ? "" : ": ", detail.c_str());
    }
    std::fflush(stdout);
  }

  int passed() const { return passed_; }
  int failed() const { return failed_; }

 private:
  int passed_ = 0;
  int failed_ = 0;
};

}  // namespace velto::testing
