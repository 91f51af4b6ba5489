#pragma once
// What the headless backend's shell was asked to open. Only the headless backend implements these;
// tests that use them are native tests.

#include <optional>
#include <string>
#include <vector>

#include "platform/ui/Ui.h"

namespace os::testing {

struct ShellCall {
  const ui::Control* owner = nullptr;
  std::string verb;
  std::string target;
  std::optional<std::string> parameters;
  bool operator==(const ShellCall&) const = default;
};

// Every ShellOpen so far, oldest first.
const std::vector<ShellCall>& ShellCalls();
void ClearShellCalls();

}  // namespace os::testing
