// The window system's answers on a Wayland desktop, through the desktop's portals on the session bus
// (sd-bus): a Wayland client sees no other program's windows and no pixel but its own, so the screen
// comes through the Screenshot portal.
//
// A portal call answers at once with the path of a request object; the outcome arrives later as that
// object's Response signal. The path is known beforehand (the caller's unique name and a token of its
// own), so the signal is subscribed to before the call and cannot be missed. Every question opens a
// connection of its own and closes it again: captures are rare, and nothing then lingers on the bus.

#include "platform/wayland/Session.h"

#include <systemd/sd-bus.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "imaging/Errors.h"
#include "imaging/Png.h"

namespace wayland {

namespace {

constexpr const char* kPortalService = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalObject = "/org/freedesktop/portal/desktop";

// The size of the last picture, shared by the grab and the questions about the screen.
std::mutex sizeLock;
std::optional<os::ScreenRect> lastSize;

// ---- Ownership of what sd-bus hands out --------------------------------------------------------------

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

class BusError {
 public:
  BusError() = default;
  ~BusError() { sd_bus_error_free(&error_); }
  BusError(const BusError&) = delete;
  BusError& operator=(const BusError&) = delete;
  sd_bus_error* Get() { return &error_; }
  // The error's message, else its name, else the system's text for the code.
  std::string Text(int code) const {
    if (error_.message != nullptr) return error_.message;
    if (error_.name != nullptr) return error_.name;
    return std::strerror(code < 0 ? -code : code);
  }

 private:
  sd_bus_error error_ = SD_BUS_ERROR_NULL;
};

[[noreturn]] void ServiceMissing(const std::string& why) {
  throw ELocalisedError(TErrorKind::ScreenshotServiceMissing, {why});
}

// The session bus (DBUS_SESSION_BUS_ADDRESS, else the user's bus in XDG_RUNTIME_DIR).
Bus OpenSessionBus() {
  sd_bus* bus = nullptr;
  const int result = sd_bus_open_user(&bus);
  if (result < 0) ServiceMissing(std::string("session bus: ") + std::strerror(-result));
  return Bus(bus);
}

// The outcome of one request: its response code and, on success, the picture's address.
struct Response {
  bool arrived = false;
  std::uint32_t code = 2;
  std::string uri;
};

int OnResponse(sd_bus_message* message, void* userdata, sd_bus_error*) {
  auto& response = *static_cast<Response*>(userdata);
  response.arrived = true;
  if (sd_bus_message_read(message, "u", &response.code) < 0) return 0;
  if (sd_bus_message_enter_container(message, 'a', "{sv}") <= 0) return 0;
  while (sd_bus_message_enter_container(message, 'e', "sv") > 0) {
    const char* key = nullptr;
    if (sd_bus_message_read(message, "s", &key) < 0) return 0;
    const char* uri = nullptr;
    if (std::strcmp(key, "uri") == 0 && sd_bus_message_read(message, "v", "s", &uri) >= 0 && uri != nullptr)
      response.uri = uri;
    else if (sd_bus_message_skip(message, "v") < 0)
      return 0;
    if (sd_bus_message_exit_container(message) < 0) return 0;
  }
  return 0;
}

// The request object's path for a token: the caller's unique name without its colon and with its dots
// as underscores.
std::string RequestPath(sd_bus* bus, const std::string& token) {
  const char* unique = nullptr;
  const int result = sd_bus_get_unique_name(bus, &unique);
  if (result < 0 || unique == nullptr) ServiceMissing(std::strerror(result < 0 ? -result : EINVAL));
  std::string sender = unique[0] == ':' ? unique + 1 : unique;
  for (char& c : sender) {
    if (c == '.') c = '_';
  }
  return std::string(kPortalObject) + "/request/" + sender + "/" + token;
}

Slot SubscribeResponse(sd_bus* bus, const std::string& path, Response& response) {
  sd_bus_slot* slot = nullptr;
  const int result = sd_bus_match_signal(bus, &slot, nullptr, path.c_str(), "org.freedesktop.portal.Request",
                                         "Response", OnResponse, &response);
  if (result < 0) ServiceMissing(std::strerror(-result));
  return Slot(slot);
}

// Handles the bus's messages until the response arrives or the time is up.
bool AwaitResponse(sd_bus* bus, const Response& response, std::chrono::seconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!response.arrived) {
    const int handled = sd_bus_process(bus, nullptr);
    if (handled < 0) ServiceMissing(std::strerror(-handled));
    if (handled > 0) continue;
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) return false;
    const int waited = sd_bus_wait(
        bus, static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(left).count()));
    if (waited < 0 && waited != -EINTR) ServiceMissing(std::strerror(-waited));
  }
  return true;
}

// The local path of a file:// address, its escapes decoded; empty for any other address.
std::string LocalPathOf(const std::string& uri) {
  std::string rest;
  if (uri.rfind("file://localhost/", 0) == 0)
    rest = uri.substr(16);
  else if (uri.rfind("file:///", 0) == 0)
    rest = uri.substr(7);
  else
    return {};
  std::string path;
  for (std::size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '%' && i + 2 < rest.size() && std::isxdigit(static_cast<unsigned char>(rest[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(rest[i + 2]))) {
      path += static_cast<char>(std::strtol(rest.substr(i + 1, 2).c_str(), nullptr, 16));
      i += 2;
    } else {
      path += rest[i];
    }
  }
  return path;
}

std::string NextToken() {
  static std::atomic<unsigned> counter{0};
  return "snapora_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
}

}  // namespace

bool IsWaylandSession() {
  static const bool wayland = [] {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    const char* type = std::getenv("XDG_SESSION_TYPE");
    return (display != nullptr && display[0] != '\0') ||
           (type != nullptr && std::strcmp(type, "wayland") == 0);
  }();
  return wayland;
}

std::optional<os::ScreenRect> LastScreenSize() {
  const std::lock_guard<std::mutex> lock(sizeLock);
  return lastSize;
}

}  // namespace wayland

namespace os {

bool DesktopHidesWindows() { return wayland::IsWaylandSession(); }

TBitmap DesktopScreenshot(bool interactive) {
  using namespace wayland;
  const Bus bus = OpenSessionBus();
  const std::string token = NextToken();
  Response response;
  std::string path = RequestPath(bus.get(), token);
  Slot subscription = SubscribeResponse(bus.get(), path, response);

  sd_bus_message* made = nullptr;
  int result = sd_bus_message_new_method_call(bus.get(), &made, kPortalService, kPortalObject,
                                              "org.freedesktop.portal.Screenshot", "Screenshot");
  if (result < 0) ServiceMissing(std::strerror(-result));
  const Message call(made);
  result = sd_bus_message_append(call.get(), "s", "");
  if (result >= 0)
    result = sd_bus_message_append(call.get(), "a{sv}", 2, "handle_token", "s", token.c_str(), "interactive",
                                   "b", static_cast<int>(interactive));
  if (result < 0) ServiceMissing(std::strerror(-result));
  BusError error;
  sd_bus_message* answered = nullptr;
  result = sd_bus_call(bus.get(), call.get(), 0, error.Get(), &answered);
  const Message reply(answered);
  if (result < 0) ServiceMissing(error.Text(result));
  const char* handle = nullptr;
  if (sd_bus_message_read(reply.get(), "o", &handle) < 0 || handle == nullptr) ServiceMissing("no request");
  // A portal older than the handle token names the request itself: the response comes there.
  if (path != handle && !response.arrived) {
    path = handle;
    subscription = SubscribeResponse(bus.get(), path, response);
  }
  // The user may take a while in the desktop's dialog; without one the answer comes within seconds.
  if (!AwaitResponse(bus.get(), response, std::chrono::seconds(interactive ? 600 : 90)))
    ServiceMissing("no answer");
  if (response.code == 1) throw ELocalisedError(TErrorKind::ScreenshotCancelled, {});
  if (response.code != 0) throw ELocalisedError(TErrorKind::ScreenshotRefused, {});

  // The file stays where the portal put it: the portal's documentation does not hand it to the caller
  // (a desktop may keep its screenshots in the user's pictures).
  const std::string file = LocalPathOf(response.uri);
  std::optional<TBitmap> picture = file.empty() ? std::nullopt : ReadPngFile(file);
  if (!picture || picture->Empty()) throw ELocalisedError(TErrorKind::ScreenshotUnreadable, {response.uri});
  if (!interactive) {
    const std::lock_guard<std::mutex> lock(sizeLock);
    lastSize = ScreenRect{0, 0, picture->Width(), picture->Height()};
  }
  return std::move(*picture);
}

// The program takes no key through a global-shortcuts portal (sway's portals have none to test it
// with): on Wayland it has no global key.
bool DesktopOffersGlobalKeys() { return !wayland::IsWaylandSession(); }

}  // namespace os
