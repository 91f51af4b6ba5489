#include "platform/wayland/PortalBus.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "imaging/Errors.h"

namespace wayland {

namespace {

class BusError {
 public:
  BusError() = default;
  ~BusError() { sd_bus_error_free(&error_); }
  BusError(const BusError&) = delete;
  BusError& operator=(const BusError&) = delete;
  sd_bus_error* Get() { return &error_; }
  // The error's message, else its name, else the text for the result.
  std::string Text(int result) const {
    if (error_.message != nullptr) return error_.message;
    if (error_.name != nullptr) return error_.name;
    return ResultText(result);
  }

 private:
  sd_bus_error error_ = SD_BUS_ERROR_NULL;
};

// The request's response, kept (with a reference of its own) until it is read.
struct Response {
  Message message;
};

int OnResponse(sd_bus_message* message, void* userdata, sd_bus_error*) {
  auto& response = *static_cast<Response*>(userdata);
  if (!response.message) response.message.reset(sd_bus_message_ref(message));
  return 0;
}

// The request object's path for a token: the caller's unique name without its colon and with its dots
// as underscores.
std::string RequestPath(sd_bus* bus, const std::string& token) {
  const char* unique = nullptr;
  const int result = sd_bus_get_unique_name(bus, &unique);
  if (result < 0 || unique == nullptr) ServiceMissing(ResultText(result < 0 ? result : -EINVAL));
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
  if (result < 0) ServiceMissing(ResultText(result));
  return Slot(slot);
}

// Handles the bus's messages until the response arrives or the time is up.
bool AwaitResponse(sd_bus* bus, const Response& response, std::chrono::seconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!response.message) {
    const int handled = sd_bus_process(bus, nullptr);
    if (handled < 0) ServiceMissing(ResultText(handled));
    if (handled > 0) continue;
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) return false;
    const int waited = sd_bus_wait(
        bus, static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(left).count()));
    if (waited < 0 && waited != -EINTR) ServiceMissing(ResultText(waited));
  }
  return true;
}

}  // namespace

void ServiceMissing(const std::string& why) {
  throw ELocalisedError(TErrorKind::ScreenshotServiceMissing, {why});
}

std::string ResultText(int result) { return std::strerror(result < 0 ? -result : result); }

Bus OpenSessionBus() {
  sd_bus* bus = nullptr;
  const int result = sd_bus_open_user(&bus);
  if (result < 0) ServiceMissing("session bus: " + ResultText(result));
  return Bus(bus);
}

std::string NewToken() {
  static std::atomic<unsigned> counter{0};
  return "snapora_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
}

Message PortalRequest(sd_bus* bus, const char* interface, const char* method,
                      const std::function<int(sd_bus_message*)>& arguments, unsigned optionCount,
                      const std::function<int(sd_bus_message*)>& options, std::chrono::seconds limit) {
  const std::string token = NewToken();
  Response response;
  std::string path = RequestPath(bus, token);
  Slot subscription = SubscribeResponse(bus, path, response);

  sd_bus_message* made = nullptr;
  int result = sd_bus_message_new_method_call(bus, &made, kPortalService, kPortalObject, interface, method);
  if (result < 0) ServiceMissing(ResultText(result));
  const Message call(made);
  result = arguments(call.get());
  if (result >= 0) result = sd_bus_message_open_container(call.get(), 'a', "{sv}");
  if (result >= 0) result = sd_bus_message_append(call.get(), "{sv}", "handle_token", "s", token.c_str());
  if (result >= 0 && optionCount > 0) result = options(call.get());
  if (result >= 0) result = sd_bus_message_close_container(call.get());
  if (result < 0) ServiceMissing(ResultText(result));

  BusError error;
  sd_bus_message* answered = nullptr;
  result = sd_bus_call(bus, call.get(), 0, error.Get(), &answered);
  const Message reply(answered);
  if (result < 0) ServiceMissing(error.Text(result));
  const char* handle = nullptr;
  if (sd_bus_message_read(reply.get(), "o", &handle) < 0 || handle == nullptr) ServiceMissing("no request");
  // A portal older than the handle token names the request itself: the response comes there.
  if (path != handle && !response.message) {
    path = handle;
    subscription = SubscribeResponse(bus, path, response);
  }
  if (!AwaitResponse(bus, response, limit)) ServiceMissing("no answer");
  std::uint32_t code = 2;
  if (sd_bus_message_read(response.message.get(), "u", &code) < 0) ServiceMissing("a malformed answer");
  if (code == 1) throw ELocalisedError(TErrorKind::ScreenshotCancelled, {});
  if (code != 0) throw ELocalisedError(TErrorKind::ScreenshotRefused, {});
  return std::move(response.message);
}

void ForEachResult(sd_bus_message* message, const std::function<bool(const std::string& key)>& visit) {
  if (sd_bus_message_enter_container(message, 'a', "{sv}") <= 0) ServiceMissing("a malformed answer");
  int entered = 0;
  while ((entered = sd_bus_message_enter_container(message, 'e', "sv")) > 0) {
    const char* key = nullptr;
    if (sd_bus_message_read(message, "s", &key) < 0 || key == nullptr) ServiceMissing("a malformed answer");
    if (!visit(key) && sd_bus_message_skip(message, "v") < 0) ServiceMissing("a malformed answer");
    if (sd_bus_message_exit_container(message) < 0) ServiceMissing("a malformed answer");
  }
  if (entered < 0 || sd_bus_message_exit_container(message) < 0) ServiceMissing("a malformed answer");
}

std::string CreatePortalSession(sd_bus* bus, const char* interface) {
  const std::string sessionToken = NewToken();
  const Message created = PortalRequest(
      bus, interface, "CreateSession", [](sd_bus_message*) { return 0; }, 1,
      [&](sd_bus_message* call) {
        return sd_bus_message_append(call, "{sv}", "session_handle_token", "s", sessionToken.c_str());
      },
      std::chrono::seconds(90));
  std::string session;
  ForEachResult(created.get(), [&](const std::string& key) {
    // Documented as a string; an object path is taken as well.
    char type = 0;
    const char* contents = nullptr;
    if (key != "session_handle" || sd_bus_message_peek_type(created.get(), &type, &contents) < 0 ||
        contents == nullptr || (std::string(contents) != "s" && std::string(contents) != "o"))
      return false;
    const char* value = nullptr;
    if (sd_bus_message_read(created.get(), "v", contents, &value) < 0 || value == nullptr) return false;
    session = value;
    return true;
  });
  if (session.empty()) ServiceMissing("no session");
  return session;
}

void ClosePortalSession(sd_bus* bus, const std::string& session) {
  if (session.empty()) return;
  sd_bus_message* reply = nullptr;
  sd_bus_call_method(bus, kPortalService, session.c_str(), "org.freedesktop.portal.Session", "Close", nullptr,
                     &reply, "");
  const Message owned(reply);
}

}  // namespace wayland
