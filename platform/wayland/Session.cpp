// The window system's answers on a Wayland desktop, through the desktop's portals on the session bus
// (PortalBus.h): a Wayland client sees no other program's windows and no pixel but its own, so the
// screen comes through the Screenshot portal. Every question opens a connection of its own and closes
// it again: captures are rare, and nothing then lingers on the bus.

#include "platform/wayland/Session.h"

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "imaging/Errors.h"
#include "imaging/Png.h"
#include "platform/wayland/PortalBus.h"

namespace wayland {

namespace {

// The size of the last picture, shared by the grab and the questions about the screen.
std::mutex sizeLock;
std::optional<os::ScreenRect> lastSize;

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

void NoteScreenSize(const os::ScreenRect& size) {
  const std::lock_guard<std::mutex> lock(sizeLock);
  lastSize = size;
}

}  // namespace wayland

namespace os {

bool DesktopHidesWindows() { return wayland::IsWaylandSession(); }

TBitmap DesktopScreenshot(bool interactive) {
  const wayland::Bus bus = wayland::OpenSessionBus();
  // The user may take a while in the desktop's dialog; without one the answer comes within seconds.
  const wayland::Message response = wayland::PortalRequest(
      bus.get(), "org.freedesktop.portal.Screenshot", "Screenshot",
      [](sd_bus_message* call) { return sd_bus_message_append(call, "s", ""); }, 1,
      [interactive](sd_bus_message* call) {
        return sd_bus_message_append(call, "{sv}", "interactive", "b", static_cast<int>(interactive));
      },
      std::chrono::seconds(interactive ? 600 : 90));
  std::string uri;
  wayland::ForEachResult(response.get(), [&](const std::string& key) {
    const char* value = nullptr;
    if (key != "uri" || sd_bus_message_read(response.get(), "v", "s", &value) < 0) return false;
    uri = value != nullptr ? value : "";
    return true;
  });

  // The file stays where the portal put it: the portal's documentation does not hand it to the caller
  // (a desktop may keep its screenshots in the user's pictures).
  const std::string file = wayland::LocalPathOf(uri);
  std::optional<TBitmap> picture = file.empty() ? std::nullopt : ReadPngFile(file);
  if (!picture || picture->Empty()) throw ELocalisedError(TErrorKind::ScreenshotUnreadable, {uri});
  if (!interactive) wayland::NoteScreenSize(ScreenRect{0, 0, picture->Width(), picture->Height()});
  return std::move(*picture);
}

}  // namespace os
