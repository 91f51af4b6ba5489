#pragma once
// Handing documents, help files and web or mail addresses to the system shell, which opens them with
// the program registered for them. The programs never learn whether that worked: a file or address
// that cannot be opened is the shell's matter. Implemented by each backend: ShellExecuteA on Windows,
// a recorder in the headless backend (see platform/ui/ShellTesting.h).

#include <optional>
#include <string>

#include "platform/ui/Ui.h"

namespace os {

// Opens target with the verb "open" and the show state "show", no working directory, and parameters
// (none when nothing is given; the empty text is passed as such). owner is the window on whose behalf
// the shell acts (null, or a control without a window of its own: none). Returns whether the shell
// took the target on; callers that leave failures to the shell ignore it. Never throws for a target
// that cannot be opened.
bool ShellOpen(const ui::Control* owner, const std::string& target,
               const std::optional<std::string>& parameters = std::nullopt);

}  // namespace os
