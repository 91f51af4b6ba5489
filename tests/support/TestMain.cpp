// The main of every test executable: GoogleTest's, plus a listener that records each skipped test with
// its reason in the file TEST_SKIP_LOG names (one line a skip, appended), so that scripts/test.sh can
// name every skip in its summary instead of letting it pass unseen.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/TestSupport.h"

namespace {

class SkipRecorder : public testing::EmptyTestEventListener {
 public:
  explicit SkipRecorder(std::string log) : log_(std::move(log)) {}

  void OnTestPartResult(const testing::TestPartResult& result) override {
    if (result.skipped()) reason_ = result.message();
  }

  void OnTestEnd(const testing::TestInfo& info) override {
    if (info.result() != nullptr && info.result()->Skipped()) {
      std::string line = std::string(info.test_suite_name()) + "." + info.name();
      if (!reason_.empty()) line += ": " + reason_;
      for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
      if (std::FILE* out = std::fopen(log_.c_str(), "ab")) {
        std::fprintf(out, "%s\n", line.c_str());
        std::fclose(out);
      }
    }
    reason_.clear();
  }

 private:
  std::string log_;
  std::string reason_;
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (const char* log = std::getenv("TEST_SKIP_LOG"); log != nullptr && *log != '\0')
    testing::UnitTest::GetInstance()->listeners().Append(new SkipRecorder(testing_support::NativePath(log)));
  return RUN_ALL_TESTS();
}
