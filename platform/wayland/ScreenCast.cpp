// The screen as a stream in a Wayland session, for automatic capture: a session of the desktop's
// ScreenCast portal (CreateSession, SelectSources for one monitor, Start, which may ask the user), whose
// stream of pictures comes through PipeWire on the connection the portal opens for it
// (OpenPipeWireRemote). Where the portal can remember the user's permission (version 4 and later), it is
// asked to keep it (persist mode 2, "until revoked") and its restore token is written to the token file;
// the next stream hands it back and starts without asking.
//
// PipeWire delivers the pictures on a thread of its own: the newest one is kept in its buffer and
// converted to the program's pixels only when the program asks for it. The portal's session lives as long as
// the bus connection that opened it, which the stream keeps.

#include <fcntl.h>
#include <pipewire/pipewire.h>
#include <spa/param/video/format-utils.h>
#include <spa/utils/result.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "imaging/Errors.h"
#include "platform/os/Os.h"
#include "platform/ui/WindowSystem.h"
#include "platform/wayland/PortalBus.h"
#include "platform/wayland/Session.h"

namespace {

constexpr const char* kScreenCastInterface = "org.freedesktop.portal.ScreenCast";
constexpr std::uint32_t kMonitorSource = 1, kPersistUntilRevoked = 2;
constexpr int kFirstPictureSeconds = 10;

std::string ReadToken(const std::string& file) {
  const std::optional<std::vector<std::uint8_t>> bytes = os::ReadWholeFile(file);
  if (!bytes) return {};
  std::string token(bytes->begin(), bytes->end());
  return token.substr(0, token.find('\n'));
}

// The token file is replaced whole (a token that cannot be written only means the next start asks
// again), its folder made when missing.
void WriteToken(const std::string& file, const std::string& token) {
  std::error_code ignored;
  const std::filesystem::path path(file);
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ignored);
  os::WriteFileReplacing(file, token + '\n');
}

// One PipeWire video format the stream accepts, as the program's 0x00RRGGBB pixels.
enum class Layout { Bgrx, Rgbx };

}  // namespace

namespace os {

struct ScreenStream::Parts {
  wayland::Bus bus;
  std::string session;
  std::uint32_t node = 0;

  // PipeWire: its loop thread, the connection the portal opened and the stream of the portal's node.
  pw_thread_loop* loop = nullptr;
  pw_context* context = nullptr;
  pw_core* core = nullptr;
  pw_stream* stream = nullptr;
  spa_hook listener{};

  // Written on the loop's thread, read with its lock held. The newest picture stays in its buffer, not
  // handed back to PipeWire until a newer one comes: it is read only when the program asks for it.
  int width = 0, height = 0;
  Layout layout = Layout::Bgrx;
  pw_buffer* newest = nullptr;
  bool ended = false;

  ~Parts() {
    if (loop != nullptr) pw_thread_loop_stop(loop);
    if (stream != nullptr) pw_stream_destroy(stream);
    if (core != nullptr) pw_core_disconnect(core);
    if (context != nullptr) pw_context_destroy(context);
    if (loop != nullptr) pw_thread_loop_destroy(loop);
    if (bus) wayland::ClosePortalSession(bus.get(), session);
  }

  static void OnStateChanged(void* data, pw_stream_state, pw_stream_state state, const char*) {
    auto& self = *static_cast<Parts*>(data);
    if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED) {
      self.ended = true;
      pw_thread_loop_signal(self.loop, false);
    }
  }

  static void OnParamChanged(void* data, std::uint32_t id, const spa_pod* param) {
    auto& self = *static_cast<Parts*>(data);
    if (param == nullptr || id != SPA_PARAM_Format) return;
    std::uint32_t mediaType = 0, mediaSubtype = 0;
    spa_video_info_raw info{};
    if (spa_format_parse(param, &mediaType, &mediaSubtype) < 0 || mediaType != SPA_MEDIA_TYPE_video ||
        mediaSubtype != SPA_MEDIA_SUBTYPE_raw || spa_format_video_raw_parse(param, &info) < 0)
      return;
    self.width = static_cast<int>(info.size.width);
    self.height = static_cast<int>(info.size.height);
    self.layout = info.format == SPA_VIDEO_FORMAT_RGBx || info.format == SPA_VIDEO_FORMAT_RGBA ? Layout::Rgbx
                                                                                               : Layout::Bgrx;
    // The pictures in memory the program can read (not in a graphics card's buffers).
    std::uint8_t buffer[256];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
    const spa_pod* params[1] = {static_cast<const spa_pod*>(spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_dataType,
        SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemPtr) | (1 << SPA_DATA_MemFd))))};
    pw_stream_update_params(self.stream, params, 1);
  }

  static void OnProcess(void* data) {
    auto& self = *static_cast<Parts*>(data);
    // Only the newest picture counts: older ones are handed back unread.
    while (pw_buffer* next = pw_stream_dequeue_buffer(self.stream)) {
      if (self.StrideOf(*next) == 0) {
        pw_stream_queue_buffer(self.stream, next);
        continue;
      }
      if (self.newest != nullptr) pw_stream_queue_buffer(self.stream, self.newest);
      self.newest = next;
      pw_thread_loop_signal(self.loop, false);
    }
  }

  static void OnRemoveBuffer(void* data, pw_buffer* buffer) {
    auto& self = *static_cast<Parts*>(data);
    if (self.newest == buffer) self.newest = nullptr;
  }

  // The picture's row stride in the buffer; 0 for a buffer that does not hold a whole picture of the
  // negotiated size (nothing is ever read beyond it) or holds a corrupted one.
  std::size_t StrideOf(const pw_buffer& buffer) const {
    const spa_buffer& b = *buffer.buffer;
    if (b.n_datas == 0 || b.datas[0].data == nullptr || b.datas[0].chunk == nullptr || width <= 0 ||
        height <= 0)
      return 0;
    const spa_data& plane = b.datas[0];
    const spa_chunk& chunk = *plane.chunk;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    const std::size_t stride = chunk.stride > 0 ? static_cast<std::size_t>(chunk.stride) : rowBytes;
    const std::size_t offset = chunk.offset % plane.maxsize;
    if ((chunk.flags & SPA_CHUNK_FLAG_CORRUPTED) != 0 || stride < rowBytes ||
        offset + stride * static_cast<std::size_t>(height - 1) + rowBytes > plane.maxsize)
      return 0;
    return stride;
  }

  // The newest picture in the program's pixels (the loop's lock held).
  TBitmap PictureOfNewest() const {
    const spa_data& plane = newest->buffer->datas[0];
    const std::size_t stride = StrideOf(*newest);
    const auto* bytes = static_cast<const std::uint8_t*>(plane.data) + plane.chunk->offset % plane.maxsize;
    TBitmap picture;
    picture.SetSizeForOverwrite(width, height);
    for (int y = 0; y < height; ++y) {
      const std::uint8_t* row = bytes + stride * static_cast<std::size_t>(y);
      TBitmap::Pixel32* to = picture.ScanLine(y);
      for (int x = 0; x < width; ++x, row += 4) {
        const std::uint32_t red = layout == Layout::Bgrx ? row[2] : row[0],
                            blue = layout == Layout::Bgrx ? row[0] : row[2];
        to[x] = (red << 16) | (static_cast<std::uint32_t>(row[1]) << 8) | blue;
      }
    }
    return picture;
  }

  // Connects to the portal's PipeWire connection (fd, taken over) and asks for the node's pictures.
  void Connect(int fd) {
    static const pw_stream_events events = [] {
      pw_stream_events e{};
      e.version = PW_VERSION_STREAM_EVENTS;
      e.state_changed = OnStateChanged;
      e.param_changed = OnParamChanged;
      e.process = OnProcess;
      e.remove_buffer = OnRemoveBuffer;
      return e;
    }();
    pw_init(nullptr, nullptr);
    loop = pw_thread_loop_new("snapora-screen", nullptr);
    context = loop != nullptr ? pw_context_new(pw_thread_loop_get_loop(loop), nullptr, 0) : nullptr;
    if (context == nullptr) {
      close(fd);
      wayland::ServiceMissing("PipeWire");
    }
    if (pw_thread_loop_start(loop) < 0) {
      close(fd);
      wayland::ServiceMissing("PipeWire");
    }
    pw_thread_loop_lock(loop);
    core = pw_context_connect_fd(context, fd, nullptr, 0);
    if (core != nullptr) {
      stream = pw_stream_new(core, "Snapora",
                             pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY, "Capture",
                                               PW_KEY_MEDIA_ROLE, "Screen", nullptr));
    }
    int result = stream != nullptr ? 0 : -errno;
    if (stream != nullptr) {
      pw_stream_add_listener(stream, &listener, &events, this);
      std::uint8_t buffer[512];
      spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
      spa_rectangle defaultSize{1920, 1080}, minSize{1, 1}, maxSize{16384, 16384};
      spa_fraction defaultRate{30, 1}, minRate{0, 1}, maxRate{1000, 1};
      const spa_pod* params[1] = {static_cast<const spa_pod*>(spa_pod_builder_add_object(
          &builder, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType,
          SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw),
          SPA_FORMAT_VIDEO_format,
          SPA_POD_CHOICE_ENUM_Id(5, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRA,
                                 SPA_VIDEO_FORMAT_RGBx, SPA_VIDEO_FORMAT_RGBA),
          SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&defaultSize, &minSize, &maxSize),
          SPA_FORMAT_VIDEO_framerate, SPA_POD_CHOICE_RANGE_Fraction(&defaultRate, &minRate, &maxRate)))};
      result = pw_stream_connect(
          stream, PW_DIRECTION_INPUT, node,
          static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS), params, 1);
    }
    pw_thread_loop_unlock(loop);
    if (result < 0) wayland::ServiceMissing(std::string("PipeWire: ") + spa_strerror(result));
  }
};

ScreenStream::ScreenStream(const std::string& tokenFile) : parts_(std::make_unique<Parts>()) {
  Parts& parts = *parts_;
  parts.bus = wayland::OpenSessionBus();
  sd_bus* bus = parts.bus.get();
  std::uint32_t version = 0;
  if (sd_bus_get_property_trivial(bus, wayland::kPortalService, wayland::kPortalObject, kScreenCastInterface,
                                  "version", nullptr, 'u', &version) < 0 ||
      version == 0)
    wayland::ServiceMissing("no screen cast");
  parts.session = wayland::CreatePortalSession(bus, kScreenCastInterface);

  const bool persists = version >= 4;
  const std::string token = persists ? ReadToken(tokenFile) : std::string();
  wayland::PortalRequest(
      bus, kScreenCastInterface, "SelectSources",
      [&](sd_bus_message* call) { return sd_bus_message_append(call, "o", parts.session.c_str()); }, 1,
      [&](sd_bus_message* call) {
        int result =
            sd_bus_message_append(call, "{sv}{sv}", "types", "u", kMonitorSource, "multiple", "b", 0);
        if (result >= 0 && persists)
          result = sd_bus_message_append(call, "{sv}", "persist_mode", "u", kPersistUntilRevoked);
        if (result >= 0 && !token.empty())
          result = sd_bus_message_append(call, "{sv}", "restore_token", "s", token.c_str());
        return result;
      },
      std::chrono::seconds(90));

  // The desktop may ask the user which monitor to share, and whether: that may take a while.
  const wayland::Message started = wayland::PortalRequest(
      bus, kScreenCastInterface, "Start",
      [&](sd_bus_message* call) { return sd_bus_message_append(call, "os", parts.session.c_str(), ""); }, 0,
      [](sd_bus_message*) { return 0; }, std::chrono::seconds(600));
  bool haveNode = false;
  std::string newToken;
  wayland::ForEachResult(started.get(), [&](const std::string& key) {
    sd_bus_message* m = started.get();
    if (key == "restore_token") {
      const char* value = nullptr;
      if (sd_bus_message_read(m, "v", "s", &value) < 0 || value == nullptr) return false;
      newToken = value;
      return true;
    }
    // The first stream's node; its properties are not needed (the format comes through PipeWire).
    if (key != "streams" || sd_bus_message_enter_container(m, 'v', "a(ua{sv})") <= 0) return false;
    if (sd_bus_message_enter_container(m, 'a', "(ua{sv})") > 0) {
      if (sd_bus_message_enter_container(m, 'r', "ua{sv}") > 0) {
        haveNode = sd_bus_message_read(m, "u", &parts.node) >= 0;
        sd_bus_message_skip(m, "a{sv}");
        sd_bus_message_exit_container(m);
      }
      while (sd_bus_message_skip(m, "(ua{sv})") > 0) {
      }
      sd_bus_message_exit_container(m);
    }
    if (sd_bus_message_exit_container(m) < 0) wayland::ServiceMissing("a malformed answer");
    return true;
  });
  if (!haveNode) throw ELocalisedError(TErrorKind::ScreenshotRefused, {});
  if (persists && !newToken.empty() && newToken != token) WriteToken(tokenFile, newToken);

  sd_bus_message* reply = nullptr;
  sd_bus_error error = SD_BUS_ERROR_NULL;
  int result = sd_bus_call_method(bus, wayland::kPortalService, wayland::kPortalObject, kScreenCastInterface,
                                  "OpenPipeWireRemote", &error, &reply, "oa{sv}", parts.session.c_str(), 0);
  const wayland::Message opened(reply);
  const std::string why = error.message != nullptr ? error.message : wayland::ResultText(result);
  sd_bus_error_free(&error);
  int fd = -1;
  if (result >= 0) result = sd_bus_message_read(opened.get(), "h", &fd);
  // The reply owns its descriptor: PipeWire gets a copy of its own.
  if (result >= 0) fd = fcntl(fd, F_DUPFD_CLOEXEC, 3);
  if (result < 0 || fd < 0)
    wayland::ServiceMissing("PipeWire: " + (result < 0 ? why : wayland::ResultText(errno)));
  parts.Connect(fd);
}

ScreenStream::~ScreenStream() = default;

TBitmap ScreenStream::Picture() {
  Parts& parts = *parts_;
  pw_thread_loop_lock(parts.loop);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kFirstPictureSeconds);
  while (parts.newest == nullptr && !parts.ended && std::chrono::steady_clock::now() < deadline)
    pw_thread_loop_timed_wait(parts.loop, 1);
  const bool have = parts.newest != nullptr && !parts.ended;
  TBitmap picture = have ? parts.PictureOfNewest() : TBitmap();
  pw_thread_loop_unlock(parts.loop);
  if (!have)
    throw ELocalisedError(TErrorKind::ScreenshotUnreadable, {"pipewire:" + std::to_string(parts.node)});
  wayland::NoteScreenSize(ScreenRect{0, 0, picture.Width(), picture.Height()});
  return picture;
}

}  // namespace os
