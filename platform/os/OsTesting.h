#pragma once
// The operating-system services of platform/Os.h as tests control them in the headless backend: the
// local time that os::Now reads. Only the headless backend implements these; ui::testing::Reset()
// returns them to the system's own.

#include <optional>

#include "platform/os/Os.h"

namespace os::testing {

// Makes os::Now return this time, the same at every call until it is set again (nothing: the system's
// clock again). No field is checked: os::Now returns exactly what was set.
void SetLocalTime(std::optional<LocalTime> time);

}  // namespace os::testing
