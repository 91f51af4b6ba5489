#pragma once
// The operating-system services of platform/os/Os.h as tests control them natively (posix/): the
// local time that os::Now reads. Only the POSIX backend implements these; ui::testing::Reset()
// returns them to the system's own.

#include <optional>

#include "platform/os/Os.h"

namespace os::testing {

// Makes os::Now return this time, the same at every call until it is set again (nothing: the system's
// clock again). No field is checked: os::Now returns exactly what was set.
void SetLocalTime(std::optional<LocalTime> time);

}  // namespace os::testing
