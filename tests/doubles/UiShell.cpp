// The headless backend's shell: nothing is opened; every request is recorded for the tests.

#include <vector>

#include "platform/ui/Shell.h"
#include "platform/ui/ShellTesting.h"

namespace {

std::vector<os::testing::ShellCall>& Calls() {
  static std::vector<os::testing::ShellCall> calls;
  return calls;
}

}  // namespace

namespace os {

bool ShellOpen(const ui::Control* owner, const std::string& target,
               const std::optional<std::string>& parameters) {
  Calls().push_back({owner, "open", target, parameters});
  return true;
}

namespace testing {

const std::vector<ShellCall>& ShellCalls() { return Calls(); }
void ClearShellCalls() { Calls().clear(); }

}  // namespace testing
}  // namespace os
