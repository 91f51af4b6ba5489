#pragma once
// The desktop's portals on the session bus, through sd-bus: owners for what sd-bus hands out, and one
// request to a portal carried through to its answer.
//
// A portal method answers at once with the path of a request object; the outcome arrives later as that
// object's Response signal. The path is known beforehand (the caller's unique name and a token of its
// own), so the signal is subscribed to before the call and cannot be missed.

#include <systemd/sd-bus.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace wayland {

inline constexpr const char* kPortalService = "org.freedesktop.portal.Desktop";
inline constexpr const char* kPortalObject = "/org/freedesktop/portal/desktop";

struct BusCloser {
  void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
struct MessageReleaser {
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
struct SlotReleaser {
  void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
};
using Bus = std::unique_ptr<sd_bus, BusCloser>;
using Message = std::unique_ptr<sd_bus_message, MessageReleaser>;
using Slot = std::unique_ptr<sd_bus_slot, SlotReleaser>;

// Raises ELocalisedError ScreenshotServiceMissing with the reason.
[[noreturn]] void ServiceMissing(const std::string& why);
// The reason for a negative sd-bus result.
std::string ResultText(int result);

// The session bus (DBUS_SESSION_BUS_ADDRESS, else the user's bus in XDG_RUNTIME_DIR); raises
// ScreenshotServiceMissing when it cannot be reached.
Bus OpenSessionBus();

// A fresh token for a request or session object's path: unique in this process.
std::string NewToken();

// Calls the portal's method on its desktop object and waits up to limit for the request's response.
// arguments appends the method's arguments up to, not including, the options; options appends the
// entries of the options (each "{sv}") after the handle token; the count of those entries is
// optionCount. The response's results, positioned at its vardict (after the response code), when the
// code is 0; raises ScreenshotCancelled for 1, ScreenshotRefused for any other code, and
// ScreenshotServiceMissing when the call fails or no response comes in time.
Message PortalRequest(sd_bus* bus, const char* interface, const char* method,
                      const std::function<int(sd_bus_message*)>& arguments, unsigned optionCount,
                      const std::function<int(sd_bus_message*)>& options, std::chrono::seconds limit);

// Calls visit with each key of the vardict the message stands at, the message positioned at the value
// (a variant): visit reads it and answers true, or leaves it and answers false (it is skipped then).
// Raises ScreenshotServiceMissing for a malformed message.
void ForEachResult(sd_bus_message* message, const std::function<bool(const std::string& key)>& visit);

// Opens a session of the portal's interface (its CreateSession request) and gives the session object's
// path; raises as PortalRequest does, and ScreenshotServiceMissing when the answer names no session.
std::string CreatePortalSession(sd_bus* bus, const char* interface);
// Closes the session (nothing for an empty path); a failure is ignored: the portal closes the session
// anyway when the connection goes.
void ClosePortalSession(sd_bus* bus, const std::string& session);

}  // namespace wayland
