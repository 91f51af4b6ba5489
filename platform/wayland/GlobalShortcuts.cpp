// The hot key in a Wayland session, through the desktop's GlobalShortcuts portal: a session of the
// portal (CreateSession) holds one shortcut (BindShortcuts, with the key and modifiers as the preferred
// trigger); the desktop checks the combination itself and tells each press as the session's Activated
// signal, counted here as a press of the key. The program polls the key state from a timer, so the
// signals are read there, without waiting. Another key closes the session and opens a new one; the
// session is closed too when the key is given back or the program ends.

#include <array>
#include <chrono>
#include <optional>
#include <string>

#include "imaging/Errors.h"
#include "platform/ui/WindowSystem.h"
#include "platform/wayland/PortalBus.h"
#include "platform/wayland/Session.h"

namespace wayland {

namespace {

constexpr const char* kShortcutsInterface = "org.freedesktop.portal.GlobalShortcuts";
constexpr const char* kShortcutId = "capture";
constexpr int kF1Key = 0x70, kF24Key = 0x87;

// The key as the portal's triggers name it ("CTRL+ALT+SHIFT+F5") and as the program's texts do
// ("Ctrl+Alt+Shift+F5").
std::string TriggerOf(int virtualKey, unsigned modifiers) {
  std::string trigger;
  if ((modifiers & os::hot_key::Control) != 0) trigger += "CTRL+";
  if ((modifiers & os::hot_key::Alt) != 0) trigger += "ALT+";
  if ((modifiers & os::hot_key::Shift) != 0) trigger += "SHIFT+";
  return trigger + "F" + std::to_string(virtualKey - kF1Key + 1);
}
std::string NameOf(int virtualKey, unsigned modifiers) {
  std::string name;
  if ((modifiers & os::hot_key::Control) != 0) name += "Ctrl+";
  if ((modifiers & os::hot_key::Alt) != 0) name += "Alt+";
  if ((modifiers & os::hot_key::Shift) != 0) name += "Shift+";
  return name + "F" + std::to_string(virtualKey - kF1Key + 1);
}

// One bound key: its connection, the portal's session and the subscription to its Activated signal.
// Closes the session when it goes.
class ShortcutSession {
 public:
  ShortcutSession(int virtualKey, unsigned modifiers) : key_(virtualKey), bus_(OpenSessionBus()) {
    session_ = CreatePortalSession(bus_.get(), kShortcutsInterface);

    sd_bus_slot* slot = nullptr;
    const int result = sd_bus_match_signal(bus_.get(), &slot, nullptr, kPortalObject, kShortcutsInterface,
                                           "Activated", OnActivated, this);
    if (result < 0) {
      Close();
      ServiceMissing(ResultText(result));
    }
    activated_.reset(slot);

    const std::string trigger = TriggerOf(virtualKey, modifiers);
    try {
      // The desktop may ask the user to confirm the key: that may take a while.
      PortalRequest(
          bus_.get(), kShortcutsInterface, "BindShortcuts",
          [&](sd_bus_message* call) {
            return sd_bus_message_append(call, "oa(sa{sv})s", session_.c_str(), 1, kShortcutId, 2,
                                         "description", "s", "Capture the screen", "preferred_trigger", "s",
                                         trigger.c_str(), "");
          },
          0, [](sd_bus_message*) { return 0; }, std::chrono::seconds(600));
    } catch (const ELocalisedError& error) {
      Close();
      if (error.Kind() == TErrorKind::ScreenshotCancelled || error.Kind() == TErrorKind::ScreenshotRefused)
        throw ELocalisedError(TErrorKind::HotKeyRefused, {NameOf(virtualKey, modifiers)});
      throw;
    }
  }
  ~ShortcutSession() { Close(); }
  ShortcutSession(const ShortcutSession&) = delete;
  ShortcutSession& operator=(const ShortcutSession&) = delete;

  // Reads what the bus has brought, without waiting: true when the key was activated since the last
  // question.
  bool TakePress() {
    while (sd_bus_process(bus_.get(), nullptr) > 0) {
    }
    const int presses = presses_;
    presses_ = 0;
    return presses > 0;
  }
  int Key() const { return key_; }

 private:
  static int OnActivated(sd_bus_message* message, void* userdata, sd_bus_error*) {
    auto& self = *static_cast<ShortcutSession*>(userdata);
    const char* session = nullptr;
    const char* id = nullptr;
    if (sd_bus_message_read(message, "os", &session, &id) >= 0 && session != nullptr && id != nullptr &&
        self.session_ == session && std::string(id) == kShortcutId)
      ++self.presses_;
    return 0;
  }
  void Close() {
    if (session_.empty()) return;
    activated_.reset();
    ClosePortalSession(bus_.get(), session_);
    session_.clear();
  }

  int key_;
  Bus bus_;
  std::string session_;
  Slot activated_;
  int presses_ = 0;
};

std::optional<ShortcutSession> bound;

}  // namespace

bool PortalOffersGlobalShortcuts() {
  try {
    const Bus bus = OpenSessionBus();
    std::uint32_t version = 0;
    return sd_bus_get_property_trivial(bus.get(), kPortalService, kPortalObject, kShortcutsInterface,
                                       "version", nullptr, 'u', &version) >= 0 &&
           version > 0;
  } catch (const ELocalisedError&) {
    return false;
  }
}

void BindHotKey(int virtualKey, unsigned modifiers) {
  bound.reset();
  if (!IsWaylandSession() || virtualKey < kF1Key || virtualKey > kF24Key) return;
  bound.emplace(virtualKey, modifiers);
}

void UnbindHotKey() { bound.reset(); }

int HotKeyState(int virtualKey) {
  if (!bound || bound->Key() != virtualKey) return 0;
  return bound->TakePress() ? 0x0001 : 0;
}

}  // namespace wayland

namespace os {

bool DesktopOffersGlobalKeys() {
  return !wayland::IsWaylandSession() || wayland::PortalOffersGlobalShortcuts();
}

}  // namespace os
