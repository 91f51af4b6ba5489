// The window system on the X11 desktop, over xcb and the window manager's hints (EWMH): the managed
// top-level windows in stacking order, their titles and rectangles as the user sees them (the manager's
// frame included), their states changed through the client messages the manager acts on, the display's
// pixels through MIT-SHM where the server offers it (else a plain GetImage), the keyboard's state
// through QueryKeymap, and the hot key through a grab of the key on the root window, whose presses come
// to this connection as events.
//
// The module keeps one connection of its own, opened on first use and kept until the program ends:
// the Qt windows of the programs live on Qt's connection, this one only reads and asks. A window is
// numbered by its X window id, the client window the manager lists (the one the program made, not the
// manager's frame around it). Where no display can be reached, every question answers as for a window
// that does not exist.

#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>
#include <xcb/randr.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>
#include <xcb/xcb_icccm.h>
#include <xcb/xcb_keysyms.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/text/Text.h"
#include "platform/ui/WindowSystem.h"
#include "platform/wayland/Session.h"

namespace os {

namespace {

// ---- Ownership of what xcb hands out ----------------------------------------------------------------

struct FreeDeleter {
  void operator()(void* memory) const { std::free(memory); }
};
// A reply (or error, or keycode list) of xcb: malloc'ed memory the caller frees.
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

// A window in the coordinates of the root window: its client area and the manager's frame around it.
struct Geometry {
  ScreenRect client;
  ScreenRect frame;
};

// What a window's _NET_WM_STATE holds of the states read here.
struct States {
  bool hidden = false, maximizedVert = false, maximizedHorz = false;
};

// The connection, the first screen's root, the hints' atoms and the keyboard's symbols; all released when
// the program ends.
class Display {
 public:
  // Nothing when the display cannot be reached.
  // Nothing in a Wayland session either: its XWayland display shows none of the native windows.
  static Display* Get() {
    static std::unique_ptr<Display> display = wayland::IsWaylandSession() ? nullptr : Open();
    return display.get();
  }

  ~Display() {
    if (keySymbols_ != nullptr) xcb_key_symbols_free(keySymbols_);
    xcb_ewmh_connection_wipe(&ewmh_);
    xcb_disconnect(connection_);
  }
  Display(const Display&) = delete;
  Display& operator=(const Display&) = delete;

  xcb_connection_t* C() const { return connection_; }
  xcb_ewmh_connection_t* Ewmh() { return &ewmh_; }
  const xcb_screen_t& Screen() const { return *screen_; }
  xcb_window_t Root() const { return screen_->root; }
  xcb_atom_t WmChangeState() const { return wmChangeState_; }
  xcb_key_symbols_t* KeySymbols() {
    if (keySymbols_ == nullptr) keySymbols_ = xcb_key_symbols_alloc(connection_);
    return keySymbols_;
  }

  // A property of a window as its raw reply; nothing when the window has none of that type.
  Reply<xcb_get_property_reply_t> Property(xcb_window_t window, xcb_atom_t property, xcb_atom_t type) const {
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection_, xcb_get_property(connection_, 0, window, property, type, 0, 1 << 20), nullptr));
    if (!reply || reply->type == XCB_NONE || (type != XCB_GET_PROPERTY_TYPE_ANY && reply->type != type))
      return {};
    return reply;
  }

  // A property of 32-bit items (windows, atoms, cardinals).
  std::vector<std::uint32_t> Items(xcb_window_t window, xcb_atom_t property, xcb_atom_t type) const {
    const Reply<xcb_get_property_reply_t> reply = Property(window, property, type);
    if (!reply || reply->format != 32) return {};
    const auto* items = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    return std::vector<std::uint32_t>(items, items + xcb_get_property_value_length(reply.get()) / 4);
  }

  // The managed windows, topmost first.
  std::vector<std::uint32_t> Stacking() const {
    std::vector<std::uint32_t> windows = Items(Root(), ewmh_._NET_CLIENT_LIST_STACKING, XCB_ATOM_WINDOW);
    std::reverse(windows.begin(), windows.end());
    return windows;
  }

  bool Supported(xcb_atom_t hint) const {
    const std::vector<std::uint32_t> supported = Items(Root(), ewmh_._NET_SUPPORTED, XCB_ATOM_ATOM);
    return std::find(supported.begin(), supported.end(), hint) != supported.end();
  }

  States StatesOf(xcb_window_t window) const {
    States states;
    for (const std::uint32_t state : Items(window, ewmh_._NET_WM_STATE, XCB_ATOM_ATOM)) {
      states.hidden |= state == ewmh_._NET_WM_STATE_HIDDEN;
      states.maximizedVert |= state == ewmh_._NET_WM_STATE_MAXIMIZED_VERT;
      states.maximizedHorz |= state == ewmh_._NET_WM_STATE_MAXIMIZED_HORZ;
    }
    return states;
  }

  Reply<xcb_get_window_attributes_reply_t> Attributes(xcb_window_t window) const {
    return Reply<xcb_get_window_attributes_reply_t>(xcb_get_window_attributes_reply(
        connection_, xcb_get_window_attributes(connection_, window), nullptr));
  }

  // The client area translated to the root and the frame the manager reports around it; nothing when the
  // window does not exist.
  std::optional<Geometry> GeometryOf(xcb_window_t window) const {
    const Reply<xcb_get_geometry_reply_t> size(
        xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr));
    const Reply<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(
        connection_, xcb_translate_coordinates(connection_, window, Root(), 0, 0), nullptr));
    if (!size || !origin) return std::nullopt;
    Geometry geometry;
    geometry.client = {origin->dst_x, origin->dst_y, origin->dst_x + size->width,
                       origin->dst_y + size->height};
    geometry.frame = geometry.client;
    // left, right, top, bottom
    const std::vector<std::uint32_t> extents = Items(window, ewmh_._NET_FRAME_EXTENTS, XCB_ATOM_CARDINAL);
    if (extents.size() == 4) {
      geometry.frame.left -= static_cast<int>(extents[0]);
      geometry.frame.right += static_cast<int>(extents[1]);
      geometry.frame.top -= static_cast<int>(extents[2]);
      geometry.frame.bottom += static_cast<int>(extents[3]);
    }
    return geometry;
  }

  // The active window as the manager reports it (0 for none).
  xcb_window_t Active() const {
    const std::vector<std::uint32_t> active = Items(Root(), ewmh_._NET_ACTIVE_WINDOW, XCB_ATOM_WINDOW);
    return active.empty() ? 0 : active[0];
  }

  void ChangeStates(xcb_window_t window, xcb_ewmh_wm_state_action_t action, xcb_atom_t first,
                    xcb_atom_t second) {
    xcb_ewmh_request_change_wm_state(&ewmh_, 0, window, action, first, second,
                                     XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
  }

  // Asks the manager to activate the window (which also maps an iconic one and raises it), as a pager
  // would: source indication 2, so that no focus-stealing rule holds it back.
  void Activate(xcb_window_t window) {
    xcb_ewmh_request_change_active_window(&ewmh_, 0, window, XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER,
                                          XCB_CURRENT_TIME, Active());
  }

  // A client message about the window to the manager (through the root window, as the hints ask).
  void SendToManager(xcb_window_t window, xcb_atom_t type, std::uint32_t data0) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = type;
    message.data.data32[0] = data0;
    xcb_send_event(connection_, 0, Root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
  }

  void Iconify(xcb_window_t window) { SendToManager(window, wmChangeState_, XCB_ICCCM_WM_STATE_ICONIC); }

  void Restack(xcb_window_t window, xcb_stack_mode_t mode) {
    if (Supported(ewmh_._NET_RESTACK_WINDOW)) {
      xcb_ewmh_request_restack_window(&ewmh_, 0, window, XCB_NONE, mode);
    } else {
      const std::uint32_t value = mode;
      xcb_configure_window(connection_, window, XCB_CONFIG_WINDOW_STACK_MODE, &value);
    }
  }

 private:
  Display(xcb_connection_t* connection, const xcb_screen_t* screen)
      : connection_(connection), screen_(screen) {}

  static std::unique_ptr<Display> Open() {
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) {
      xcb_disconnect(connection);
      return nullptr;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem > 1; ++i) xcb_screen_next(&screens);
    std::unique_ptr<Display> display(new Display(connection, screens.data));
    xcb_intern_atom_cookie_t* cookies = xcb_ewmh_init_atoms(connection, &display->ewmh_);
    if (!xcb_ewmh_init_atoms_replies(&display->ewmh_, cookies, nullptr)) {
      // A failed set has freed what it held already: nothing left for the destructor's wipe.
      display->ewmh_.screens = nullptr;
      display->ewmh_._NET_WM_CM_Sn = nullptr;
      return nullptr;
    }
    const Reply<xcb_intern_atom_reply_t> changeState(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, std::strlen("WM_CHANGE_STATE"), "WM_CHANGE_STATE"),
        nullptr));
    display->wmChangeState_ = changeState ? changeState->atom : XCB_NONE;
    return display;
  }

  xcb_connection_t* connection_;
  const xcb_screen_t* screen_;
  xcb_ewmh_connection_t ewmh_{};
  xcb_atom_t wmChangeState_ = XCB_NONE;
  xcb_key_symbols_t* keySymbols_ = nullptr;
};

xcb_window_t ToWindow(WindowHandle window) { return static_cast<xcb_window_t>(window); }
WindowHandle FromWindow(xcb_window_t window) { return static_cast<WindowHandle>(window); }

// Latin-1 (WM_NAME of type STRING) as UTF-8.
std::string Latin1ToUtf8(std::string_view text) {
  std::string utf8;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      utf8 += c;
    } else {
      utf8 += static_cast<char>(0xC0 | (byte >> 6));
      utf8 += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return utf8;
}

// ---- The monitors -----------------------------------------------------------------------------------

struct Monitors {
  ScreenRect all;      // around every monitor
  ScreenRect primary;  // the primary one (the first where none is marked)
};

Monitors MonitorsOf(Display& display) {
  const xcb_screen_t& screen = display.Screen();
  const ScreenRect root{0, 0, screen.width_in_pixels, screen.height_in_pixels};
  Monitors monitors{root, root};
  const Reply<xcb_randr_get_monitors_reply_t> reply(xcb_randr_get_monitors_reply(
      display.C(), xcb_randr_get_monitors(display.C(), display.Root(), 1), nullptr));
  if (!reply || reply->nMonitors == 0) return monitors;
  bool first = true, primaryFound = false;
  for (xcb_randr_monitor_info_iterator_t it = xcb_randr_get_monitors_monitors_iterator(reply.get());
       it.rem > 0; xcb_randr_monitor_info_next(&it)) {
    const xcb_randr_monitor_info_t& info = *it.data;
    const ScreenRect rect{info.x, info.y, info.x + info.width, info.y + info.height};
    if (first) {
      monitors.all = monitors.primary = rect;
      first = false;
    } else {
      monitors.all = {std::min(monitors.all.left, rect.left), std::min(monitors.all.top, rect.top),
                      std::max(monitors.all.right, rect.right), std::max(monitors.all.bottom, rect.bottom)};
    }
    if (info.primary && !primaryFound) {
      monitors.primary = rect;
      primaryFound = true;
    }
  }
  return monitors;
}

// ---- The display's pixels ---------------------------------------------------------------------------

// A shared-memory segment attached here and to the server; detached from both and removed when it goes.
class SharedImage {
 public:
  SharedImage(xcb_connection_t* connection, std::size_t size) : connection_(connection) {
    id_ = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
    if (id_ < 0) return;
    void* address = shmat(id_, nullptr, 0);
    // Removed at once: the segment lives on until the last detach, also when the program dies.
    shmctl(id_, IPC_RMID, nullptr);
    if (address == reinterpret_cast<void*>(-1)) return;
    address_ = static_cast<const std::uint8_t*>(address);
    segment_ = xcb_generate_id(connection);
    const Reply<xcb_generic_error_t> error(xcb_request_check(
        connection, xcb_shm_attach_checked(connection, segment_, static_cast<std::uint32_t>(id_), 0)));
    attached_ = !error;
  }
  ~SharedImage() {
    if (attached_) xcb_shm_detach(connection_, segment_);
    if (address_ != nullptr) shmdt(address_);
  }
  SharedImage(const SharedImage&) = delete;
  SharedImage& operator=(const SharedImage&) = delete;

  bool Ready() const { return attached_; }
  xcb_shm_seg_t Segment() const { return segment_; }
  const std::uint8_t* Data() const { return address_; }

 private:
  xcb_connection_t* connection_;
  int id_ = -1;
  const std::uint8_t* address_ = nullptr;
  xcb_shm_seg_t segment_ = 0;
  bool attached_ = false;
};

bool ServerHasShm(xcb_connection_t* connection) {
  const xcb_query_extension_reply_t* extension = xcb_get_extension_data(connection, &xcb_shm_id);
  return extension != nullptr && extension->present;
}

// How the root window's pixels lie in a ZPixmap image: bits per pixel, bytes per row, the channels' masks.
struct PixelLayout {
  int bitsPerPixel = 0;
  int pad = 32;
  bool msbFirst = false;
  std::uint32_t red = 0, green = 0, blue = 0;

  std::size_t RowBytes(int width) const {
    const std::size_t bits = static_cast<std::size_t>(width) * static_cast<std::size_t>(bitsPerPixel);
    const auto padBits = static_cast<std::size_t>(pad);
    return (bits + padBits - 1) / padBits * padBits / 8;
  }
};

std::optional<PixelLayout> LayoutOf(Display& display) {
  const xcb_setup_t* setup = xcb_get_setup(display.C());
  const xcb_screen_t& screen = display.Screen();
  PixelLayout layout;
  layout.msbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
  for (xcb_format_iterator_t it = xcb_setup_pixmap_formats_iterator(setup); it.rem > 0;
       xcb_format_next(&it)) {
    if (it.data->depth == screen.root_depth) {
      layout.bitsPerPixel = it.data->bits_per_pixel;
      layout.pad = it.data->scanline_pad;
    }
  }
  for (xcb_depth_iterator_t depth = xcb_screen_allowed_depths_iterator(&screen); depth.rem > 0;
       xcb_depth_next(&depth)) {
    for (xcb_visualtype_iterator_t visual = xcb_depth_visuals_iterator(depth.data); visual.rem > 0;
         xcb_visualtype_next(&visual)) {
      if (visual.data->visual_id == screen.root_visual) {
        layout.red = visual.data->red_mask;
        layout.green = visual.data->green_mask;
        layout.blue = visual.data->blue_mask;
      }
    }
  }
  // True colour of 16, 24 or 32 bits a pixel is what is read; a palette display is not.
  if ((layout.bitsPerPixel != 16 && layout.bitsPerPixel != 24 && layout.bitsPerPixel != 32) ||
      layout.red == 0 || layout.green == 0 || layout.blue == 0 || layout.pad <= 0) {
    return std::nullopt;
  }
  return layout;
}

// A channel of a pixel value widened to 8 bits.
unsigned Channel(std::uint32_t value, std::uint32_t mask) {
  const int shift = __builtin_ctz(mask);
  const int bits = __builtin_popcount(mask);
  const std::uint32_t channel = (value & mask) >> shift;
  if (bits >= 8) return channel >> (bits - 8);
  return (channel << (8 - bits)) | (channel >> (2 * bits - 8 > 0 ? 2 * bits - 8 : 0));
}

// Copies a ZPixmap image of width x height into a TBitmap's memory (Pixel32, the bottom row first, of
// the whole grab's width) at (x, y) of the grab. The words are what the bitmap itself holds at its
// depth: the top byte 0, at 16 bits the channels cut to their top 5 bits.
void ConvertRows(const PixelLayout& layout, const std::uint8_t* data, int width, int height, int x, int y,
                 int grabWidth, int grabHeight, TBitmap::Pixel32* pixels) {
  const std::size_t rowBytes = layout.RowBytes(width);
  const int bytes = layout.bitsPerPixel / 8;
  const bool common = layout.red == 0xFF0000 && layout.green == 0xFF00 && layout.blue == 0xFF;
  const std::uint32_t keep = layout.bitsPerPixel == 16 ? 0xF8F8F8u : 0xFFFFFFu;
  for (int row = 0; row < height; ++row) {
    const std::uint8_t* source = data + static_cast<std::size_t>(row) * rowBytes;
    TBitmap::Pixel32* target =
        pixels + static_cast<std::size_t>(grabHeight - 1 - (y + row)) * static_cast<std::size_t>(grabWidth) +
        x;
    if (common && bytes == 4 && !layout.msbFirst) {
      // The server's usual layout (32 bits, blue in the lowest byte, as this machine keeps words): the
      // words as they are, less their top byte. (A loop the compiler turns into vector code.)
      for (int column = 0; column < width; ++column) {
        std::uint32_t value;
        std::memcpy(&value, source + static_cast<std::size_t>(column) * 4, 4);
        target[column] = value & 0xFFFFFFu;
      }
      continue;
    }
    for (int column = 0; column < width; ++column, source += bytes) {
      std::uint32_t value = 0;
      for (int i = 0; i < bytes; ++i) {
        const int shift = layout.msbFirst ? 8 * (bytes - 1 - i) : 8 * i;
        value |= static_cast<std::uint32_t>(source[i]) << shift;
      }
      target[column] = (common ? (value & 0xFFFFFF)
                               : (Channel(value, layout.red) << 16) | (Channel(value, layout.green) << 8) |
                                     Channel(value, layout.blue)) &
                       keep;
    }
  }
}

// ---- The keyboard -----------------------------------------------------------------------------------

// The key symbols of a virtual key (either of them down counts); none for a key not known here.
std::vector<xcb_keysym_t> KeySymsOf(int virtualKey) {
  if (virtualKey >= 'A' && virtualKey <= 'Z') return {static_cast<xcb_keysym_t>(virtualKey - 'A' + 'a')};
  if (virtualKey >= '0' && virtualKey <= '9') return {static_cast<xcb_keysym_t>(virtualKey)};
  if (virtualKey >= 0x70 && virtualKey <= 0x87)
    return {static_cast<xcb_keysym_t>(0xFFBE + virtualKey - 0x70)};
  if (virtualKey >= 0x60 && virtualKey <= 0x69) {  // the keypad's digits, as with Num Lock on or off
    static constexpr std::array<xcb_keysym_t, 10> kKeypadOff = {0xFF9E, 0xFF9C, 0xFF99, 0xFF9B, 0xFF96,
                                                                0xFF9D, 0xFF98, 0xFF95, 0xFF97, 0xFF9A};
    return {static_cast<xcb_keysym_t>(0xFFB0 + virtualKey - 0x60), kKeypadOff[virtualKey - 0x60]};
  }
  switch (virtualKey) {
    case 0x08:
      return {0xFF08};  // Back
    case 0x09:
      return {0xFF09, 0xFE20};  // Tab (and Shift+Tab)
    case 0x0D:
      return {0xFF0D, 0xFF8D};  // Return, keypad Enter
    case 0x10:
      return {0xFFE1, 0xFFE2};  // Shift
    case 0x11:
      return {0xFFE3, 0xFFE4};  // Control
    case 0x12:
      return {0xFFE9, 0xFFEA, 0xFE03};  // Alt (AltGr too)
    case 0x13:
      return {0xFF13};  // Pause
    case 0x14:
      return {0xFFE5};  // Caps Lock
    case 0x1B:
      return {0xFF1B};  // Escape
    case 0x20:
      return {0x0020};  // Space
    case 0x21:
      return {0xFF55};  // Page Up
    case 0x22:
      return {0xFF56};  // Page Down
    case 0x23:
      return {0xFF57};  // End
    case 0x24:
      return {0xFF50};  // Home
    case 0x25:
      return {0xFF51};  // Left
    case 0x26:
      return {0xFF52};  // Up
    case 0x27:
      return {0xFF53};  // Right
    case 0x28:
      return {0xFF54};  // Down
    case 0x2C:
      return {0xFF61};  // Print (Snapshot)
    case 0x2D:
      return {0xFF63};  // Insert
    case 0x2E:
      return {0xFFFF};  // Delete
    case 0x5B:
      return {0xFFEB};  // left Windows key: Super
    case 0x5C:
      return {0xFFEC};  // right Windows key
    case 0x6A:
      return {0xFFAA};  // keypad *
    case 0x6B:
      return {0xFFAB};  // keypad +
    case 0x6D:
      return {0xFFAD};  // keypad -
    case 0x6F:
      return {0xFFAF};  // keypad /
    case 0xA0:
      return {0xFFE1};  // left Shift
    case 0xA1:
      return {0xFFE2};  // right Shift
    case 0xA2:
      return {0xFFE3};  // left Control
    case 0xA3:
      return {0xFFE4};  // right Control
    case 0xA4:
      return {0xFFE9};  // left Alt
    case 0xA5:
      return {0xFFEA, 0xFE03};  // right Alt, or AltGr where it is that
    default:
      return {};
  }
}

// The pointer's buttons as virtual keys (left 1, right 2, middle 4): their masks in a pointer state.
std::uint16_t ButtonMaskOf(int virtualKey) {
  switch (virtualKey) {
    case 0x01:
      return XCB_BUTTON_MASK_1;
    case 0x02:
      return XCB_BUTTON_MASK_3;
    case 0x04:
      return XCB_BUTTON_MASK_2;
    default:
      return 0;
  }
}

bool KeyDown(Display& display, int virtualKey) {
  if (const std::uint16_t button = ButtonMaskOf(virtualKey)) {
    const Reply<xcb_query_pointer_reply_t> pointer(
        xcb_query_pointer_reply(display.C(), xcb_query_pointer(display.C(), display.Root()), nullptr));
    return pointer && (pointer->mask & button) != 0;
  }
  const std::vector<xcb_keysym_t> symbols = KeySymsOf(virtualKey);
  if (symbols.empty() || display.KeySymbols() == nullptr) return false;
  const Reply<xcb_query_keymap_reply_t> keymap(
      xcb_query_keymap_reply(display.C(), xcb_query_keymap(display.C()), nullptr));
  if (!keymap) return false;
  for (const xcb_keysym_t symbol : symbols) {
    const Reply<xcb_keycode_t> codes(xcb_key_symbols_get_keycode(display.KeySymbols(), symbol));
    for (const xcb_keycode_t* code = codes.get(); code != nullptr && *code != XCB_NO_SYMBOL; ++code) {
      if ((keymap->keys[*code / 8] & (1 << (*code % 8))) != 0) return true;
    }
  }
  return false;
}

// ---- The hot keys ------------------------------------------------------------------------------------

constexpr xcb_keysym_t kNumLockSymbol = 0xFF7F;
constexpr std::array<xcb_keysym_t, 2> kAltSymbols = {0xFFE9, 0xFFEA};  // Alt_L, Alt_R
constexpr std::uint16_t kLockMask = XCB_MOD_MASK_LOCK;                 // Caps Lock, by the protocol

// The modifier bits (of Mod1 to Mod5, Lock, Shift, Control) that the keys of any of the symbols are mapped
// to, as the server's modifier mapping says; 0 when none is.
std::uint16_t ModifierMaskOf(Display& display, const xcb_keysym_t* symbols, std::size_t count) {
  xcb_key_symbols_t* keySymbols = display.KeySymbols();
  const Reply<xcb_get_modifier_mapping_reply_t> mapping(
      xcb_get_modifier_mapping_reply(display.C(), xcb_get_modifier_mapping(display.C()), nullptr));
  if (!mapping || keySymbols == nullptr) return 0;
  const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(mapping.get());
  const int perModifier = mapping->keycodes_per_modifier;
  std::uint16_t mask = 0;
  for (int modifier = 0; modifier < 8; ++modifier) {
    for (int i = 0; i < perModifier; ++i) {
      const xcb_keycode_t code = codes[modifier * perModifier + i];
      for (int column = 0; code != 0 && column < 4; ++column) {
        const xcb_keysym_t symbol = xcb_key_symbols_get_keysym(keySymbols, code, column);
        if (std::find(symbols, symbols + count, symbol) != symbols + count)
          mask |= static_cast<std::uint16_t>(1u << modifier);
      }
    }
  }
  return mask;
}

// The key codes of a virtual key's symbols, each once.
std::vector<xcb_keycode_t> KeyCodesOf(Display& display, int virtualKey) {
  std::vector<xcb_keycode_t> codes;
  if (display.KeySymbols() == nullptr) return codes;
  for (const xcb_keysym_t symbol : KeySymsOf(virtualKey)) {
    const Reply<xcb_keycode_t> found(xcb_key_symbols_get_keycode(display.KeySymbols(), symbol));
    for (const xcb_keycode_t* code = found.get(); code != nullptr && *code != XCB_NO_SYMBOL; ++code) {
      if (std::find(codes.begin(), codes.end(), *code) == codes.end()) codes.push_back(*code);
    }
  }
  return codes;
}

// The hot keys this connection has grabbed, and the presses of them (and of the modifiers held at those
// presses) not yet asked about.
struct HotKeys {
  // One grab: the key and modifiers as asked, the key codes grabbed and the modifier bits grabbed with
  // each (the required ones in every combination with Caps Lock and Num Lock).
  struct Grabbed {
    int virtualKey = 0;
    unsigned modifiers = 0;
    std::vector<xcb_keycode_t> codes;
    std::vector<std::uint16_t> masks;
    std::uint16_t altMask = 0;
  };
  std::vector<Grabbed> grabbed;
  std::array<bool, 256> pressed{};

  bool Grab(Display& display, int virtualKey, unsigned modifiers) {
    Grabbed grab{virtualKey, modifiers, KeyCodesOf(display, virtualKey), {}, 0};
    if (grab.codes.empty()) return true;  // a key this keyboard does not have: nothing to take
    grab.altMask = ModifierMaskOf(display, kAltSymbols.data(), kAltSymbols.size());
    if (grab.altMask == 0) grab.altMask = XCB_MOD_MASK_1;  // where no Alt key is mapped, the usual bit
    std::uint16_t required = 0;
    if ((modifiers & hot_key::Shift) != 0) required |= XCB_MOD_MASK_SHIFT;
    if ((modifiers & hot_key::Control) != 0) required |= XCB_MOD_MASK_CONTROL;
    if ((modifiers & hot_key::Alt) != 0) required |= grab.altMask;
    // Num Lock is whichever bit the modifier mapping gives it (none when it is not mapped).
    const std::uint16_t numLock = ModifierMaskOf(display, &kNumLockSymbol, 1);
    for (const std::uint16_t locks :
         {std::uint16_t{0}, kLockMask, numLock, static_cast<std::uint16_t>(kLockMask | numLock)}) {
      const auto mask = static_cast<std::uint16_t>(required | locks);
      if (std::find(grab.masks.begin(), grab.masks.end(), mask) == grab.masks.end())
        grab.masks.push_back(mask);
    }
    xcb_connection_t* c = display.C();
    std::vector<xcb_void_cookie_t> cookies;
    for (const xcb_keycode_t code : grab.codes) {
      for (const std::uint16_t mask : grab.masks) {
        cookies.push_back(
            xcb_grab_key_checked(c, 0, display.Root(), mask, code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
      }
    }
    // Every answer is taken, also after the first refusal (BadAccess: another client holds that
    // combination); then the combinations that were granted are given back.
    bool refused = false;
    for (const xcb_void_cookie_t cookie : cookies) {
      const Reply<xcb_generic_error_t> error(xcb_request_check(c, cookie));
      refused |= error != nullptr;
    }
    if (refused) {
      Ungrab(display, grab);
      return false;
    }
    grabbed.push_back(std::move(grab));
    return true;
  }

  void Release(Display& display, int virtualKey, unsigned modifiers) {
    const auto it = std::find_if(grabbed.begin(), grabbed.end(), [&](const Grabbed& grab) {
      return grab.virtualKey == virtualKey && grab.modifiers == modifiers;
    });
    if (it == grabbed.end()) return;
    Ungrab(display, *it);
    grabbed.erase(it);
  }

  // Gives back every combination of the grab (one another client holds stays its own: an ungrab only
  // ends this client's grabs), and waits until the server has done so.
  static void Ungrab(Display& display, const Grabbed& grab) {
    for (const xcb_keycode_t code : grab.codes) {
      for (const std::uint16_t mask : grab.masks) xcb_ungrab_key(display.C(), code, display.Root(), mask);
    }
    const Reply<xcb_get_input_focus_reply_t> sync(
        xcb_get_input_focus_reply(display.C(), xcb_get_input_focus(display.C()), nullptr));
  }

  // Records the presses that came through the grabs; other events are dropped (this connection selects
  // none, but an error of an unchecked request comes as one).
  void TakeEvents(xcb_connection_t* c) {
    while (xcb_generic_event_t* next = xcb_poll_for_event(c)) {
      const Reply<xcb_generic_event_t> event(next);
      if ((event->response_type & 0x7F) != XCB_KEY_PRESS) continue;
      const auto* press = reinterpret_cast<const xcb_key_press_event_t*>(event.get());
      for (const Grabbed& grab : grabbed) {
        if (std::find(grab.codes.begin(), grab.codes.end(), press->detail) == grab.codes.end()) continue;
        pressed[static_cast<std::size_t>(grab.virtualKey)] = true;
        // The modifiers held at the press were pressed too, even when they are up again by the next
        // question: the generic key and the left one (the event does not say which side).
        if ((press->state & XCB_MOD_MASK_SHIFT) != 0) pressed[0x10] = pressed[0xA0] = true;
        if ((press->state & XCB_MOD_MASK_CONTROL) != 0) pressed[0x11] = pressed[0xA2] = true;
        if ((press->state & grab.altMask) != 0) pressed[0x12] = pressed[0xA4] = true;
      }
    }
  }
};

HotKeys& HotKeysOf(Display&) {
  static HotKeys hotKeys;
  return hotKeys;
}

}  // namespace

// ---- Enumeration and reading ------------------------------------------------------------------------

WindowHandle TopWindow() {
  Display* display = Display::Get();
  if (display == nullptr) return 0;
  const std::vector<std::uint32_t> windows = display->Stacking();
  return windows.empty() ? 0 : FromWindow(windows.front());
}

WindowHandle NextWindow(WindowHandle window) {
  Display* display = Display::Get();
  if (display == nullptr) return 0;
  const std::vector<std::uint32_t> windows = display->Stacking();
  const auto it = std::find(windows.begin(), windows.end(), ToWindow(window));
  return it == windows.end() || it + 1 == windows.end() ? 0 : FromWindow(*(it + 1));
}

std::string WindowTitle(WindowHandle window) {
  Display* display = Display::Get();
  if (display == nullptr || window == 0) return {};
  std::string utf8;
  if (const auto name =
          display->Property(ToWindow(window), display->Ewmh()->_NET_WM_NAME, display->Ewmh()->UTF8_STRING)) {
    utf8.assign(static_cast<const char*>(xcb_get_property_value(name.get())),
                static_cast<std::size_t>(xcb_get_property_value_length(name.get())));
  } else if (const auto legacy =
                 display->Property(ToWindow(window), XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY)) {
    const std::string_view text(static_cast<const char*>(xcb_get_property_value(legacy.get())),
                                static_cast<std::size_t>(xcb_get_property_value_length(legacy.get())));
    utf8 = legacy->type == display->Ewmh()->UTF8_STRING ? std::string(text) : Latin1ToUtf8(text);
  }
  std::string title = ui::Utf8ToAnsi(utf8);
  // GetWindowTextA's buffer of 4096 bytes holds at most 4095 of them.
  if (title.size() > 4095) title.resize(4095);
  return title;
}

bool WindowVisible(WindowHandle window) {
  Display* display = Display::Get();
  if (display == nullptr || window == 0) return false;
  const auto attributes = display->Attributes(ToWindow(window));
  return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
         !display->StatesOf(ToWindow(window)).hidden;
}

bool WindowExists(WindowHandle window) {
  Display* display = Display::Get();
  return display != nullptr && window != 0 && display->Attributes(ToWindow(window)) != nullptr;
}

std::optional<ScreenRect> WindowRect(WindowHandle window) {
  Display* display = Display::Get();
  if (display == nullptr || window == 0) return std::nullopt;
  const std::optional<Geometry> geometry = display->GeometryOf(ToWindow(window));
  if (!geometry) return std::nullopt;
  return geometry->frame;
}

std::optional<ScreenRect> ClientRectOnScreen(WindowHandle window) {
  Display* display = Display::Get();
  if (display == nullptr || window == 0) return std::nullopt;
  const std::optional<Geometry> geometry = display->GeometryOf(ToWindow(window));
  if (!geometry) return std::nullopt;
  return geometry->client;
}

// The frame the user sees: the manager's frame reported through _NET_FRAME_EXTENTS has no invisible
// borders to leave out.
std::optional<ScreenRect> WindowFrameRect(WindowHandle window) { return WindowRect(window); }

WindowHandle DesktopWindow() {
  Display* display = Display::Get();
  return display != nullptr ? FromWindow(display->Root()) : 0;
}

ScreenRect VirtualScreen() {
  Display* display = Display::Get();
  return display != nullptr ? MonitorsOf(*display).all : wayland::LastScreenSize().value_or(ScreenRect{});
}

// ---- Placement, order, activation -------------------------------------------------------------------

std::optional<WindowPlacement> GetPlacement(WindowHandle window) {
  Display* display = Display::Get();
  if (display == nullptr || window == 0) return std::nullopt;
  const std::optional<Geometry> geometry = display->GeometryOf(ToWindow(window));
  if (!geometry) return std::nullopt;
  const States states = display->StatesOf(ToWindow(window));
  const bool maximized = states.maximizedVert && states.maximizedHorz;
  WindowPlacement placement;
  // WPF_RESTORETOMAXIMIZED: an iconic window that keeps its maximised states returns to them.
  placement.flags = states.hidden && maximized ? 2 : 0;
  placement.showCmd = states.hidden ? show::ShowMinimized
                      : maximized   ? show::ShowMaximized
                                    : show::ShowNormal;
  // (X keeps no positions for the iconic and the maximised window: "none", as the system writes it.)
  placement.minX = placement.minY = placement.maxX = placement.maxY = -1;
  // The manager keeps the normal rectangle to itself: the window's own frame stands for it.
  placement.normal = geometry->frame;
  return placement;
}

bool SetPlacement(WindowHandle window, const WindowPlacement& placement) {
  Display* display = Display::Get();
  if (display == nullptr || window == 0) return false;
  const xcb_window_t target = ToWindow(window);
  const std::optional<Geometry> geometry = display->GeometryOf(target);
  if (!geometry) return false;
  xcb_ewmh_connection_t& ewmh = *display->Ewmh();
  // The normal rectangle is the frame's: the client goes inside the frame the manager draws around it,
  // placed where it lies (static gravity), once the window is no longer maximised.
  display->ChangeStates(target, XCB_EWMH_WM_STATE_REMOVE, ewmh._NET_WM_STATE_MAXIMIZED_VERT,
                        ewmh._NET_WM_STATE_MAXIMIZED_HORZ);
  const ScreenRect& normal = placement.normal;
  const int left = geometry->client.left - geometry->frame.left,
            top = geometry->client.top - geometry->frame.top;
  const int width = normal.Width() - (geometry->frame.Width() - geometry->client.Width());
  const int height = normal.Height() - (geometry->frame.Height() - geometry->client.Height());
  if (width > 0 && height > 0) {
    xcb_ewmh_request_moveresize_window(
        &ewmh, 0, target, XCB_GRAVITY_STATIC, XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER,
        static_cast<xcb_ewmh_moveresize_window_opt_flags_t>(
            XCB_EWMH_MOVERESIZE_WINDOW_X | XCB_EWMH_MOVERESIZE_WINDOW_Y | XCB_EWMH_MOVERESIZE_WINDOW_WIDTH |
            XCB_EWMH_MOVERESIZE_WINDOW_HEIGHT),
        static_cast<std::uint32_t>(normal.left + left), static_cast<std::uint32_t>(normal.top + top),
        static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
  }
  ShowWindowAs(window, placement.showCmd);
  return true;
}

void BringToTop(WindowHandle window) {
  Display* display = Display::Get();
  if (display == nullptr || window == 0) return;
  display->Restack(ToWindow(window), XCB_STACK_MODE_ABOVE);
  display->Activate(ToWindow(window));
  xcb_flush(display->C());
}

void ShowWindowAs(WindowHandle window, int command) {
  Display* display = Display::Get();
  if (display == nullptr || window == 0) return;
  const xcb_window_t target = ToWindow(window);
  xcb_ewmh_connection_t& ewmh = *display->Ewmh();
  switch (command) {
    case show::Hide:
      xcb_unmap_window(display->C(), target);
      break;
    case show::ShowMinimized:
    case show::Minimize:
      display->Iconify(target);
      break;
    case show::ShowMaximized:
      xcb_map_window(display->C(), target);
      display->ChangeStates(target, XCB_EWMH_WM_STATE_ADD, ewmh._NET_WM_STATE_MAXIMIZED_VERT,
                            ewmh._NET_WM_STATE_MAXIMIZED_HORZ);
      display->Activate(target);
      break;
    case show::Restore:
    case show::ShowNormal:
      display->ChangeStates(target, XCB_EWMH_WM_STATE_REMOVE, ewmh._NET_WM_STATE_MAXIMIZED_VERT,
                            ewmh._NET_WM_STATE_MAXIMIZED_HORZ);
      [[fallthrough]];
    case show::Show:
      // Shown in its current size (a maximised window stays so, as with the system's SW_SHOW); an
      // iconic window comes back: mapped again and activated.
      display->ChangeStates(target, XCB_EWMH_WM_STATE_REMOVE, ewmh._NET_WM_STATE_HIDDEN, XCB_NONE);
      xcb_map_window(display->C(), target);
      display->Activate(target);
      break;
    default:
      return;
  }
  xcb_flush(display->C());
}

void RedrawNow(WindowHandle) {
  // What was asked on this connection goes out now; the window's own painting is its program's.
  if (Display* display = Display::Get()) xcb_flush(display->C());
}

void SetWindowZOrder(WindowHandle window, ZOrder where, bool show) {
  Display* display = Display::Get();
  if (display == nullptr || window == 0) return;
  const xcb_window_t target = ToWindow(window);
  xcb_ewmh_connection_t& ewmh = *display->Ewmh();
  if (show) xcb_map_window(display->C(), target);
  switch (where) {
    case ZOrder::Topmost:
    case ZOrder::NoTopmost:
      display->ChangeStates(target,
                            where == ZOrder::Topmost ? XCB_EWMH_WM_STATE_ADD : XCB_EWMH_WM_STATE_REMOVE,
                            ewmh._NET_WM_STATE_ABOVE, XCB_NONE);
      display->Activate(target);
      break;
    case ZOrder::Top:
      display->Restack(target, XCB_STACK_MODE_ABOVE);
      display->Activate(target);
      break;
    case ZOrder::Bottom:
      // (Not activated: the manager would raise the window again.)
      display->Restack(target, XCB_STACK_MODE_BELOW);
      break;
  }
  xcb_flush(display->C());
}

WindowHandle ActiveWindow() {
  Display* display = Display::Get();
  if (display == nullptr) return 0;
  const xcb_window_t active = display->Active();
  if (active == 0) return 0;
  // Only a window of this program counts, as the system answers for its own threads' windows.
  const std::vector<std::uint32_t> pid =
      display->Items(active, display->Ewmh()->_NET_WM_PID, XCB_ATOM_CARDINAL);
  return !pid.empty() && pid[0] == static_cast<std::uint32_t>(getpid()) ? FromWindow(active) : 0;
}

void ActivateWindow(WindowHandle window) {
  Display* display = Display::Get();
  if (display == nullptr || window == 0) return;
  display->Activate(ToWindow(window));
  xcb_flush(display->C());
}

bool MinimizeAllWindows() {
  Display* display = Display::Get();
  if (display == nullptr) return false;
  xcb_ewmh_connection_t& ewmh = *display->Ewmh();
  if (display->Supported(ewmh._NET_SHOWING_DESKTOP)) {
    // (About the root window itself: a manager may ignore the message about no window.)
    display->SendToManager(display->Root(), ewmh._NET_SHOWING_DESKTOP, 1);
    xcb_flush(display->C());
    // The manager announces the mode once it has hidden the windows: a grab right after this sees the
    // desktop also when the manager is slow (a loaded machine). A manager that never announces it is
    // waited for two seconds at most.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    auto showing = [&] {
      const std::vector<std::uint32_t> mode =
          display->Items(display->Root(), ewmh._NET_SHOWING_DESKTOP, XCB_ATOM_CARDINAL);
      return !mode.empty() && mode[0] == 1;
    };
    while (!showing() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return true;
  }
  for (const std::uint32_t window : display->Stacking()) display->Iconify(window);
  xcb_flush(display->C());
  return true;
}

void EndMinimizeAll() {
  Display* display = Display::Get();
  if (display == nullptr) return;
  xcb_ewmh_connection_t& ewmh = *display->Ewmh();
  // (The windows the fallback above iconified one by one stay so, as the system's minimised windows do.)
  if (!display->Supported(ewmh._NET_SHOWING_DESKTOP)) return;
  display->SendToManager(display->Root(), ewmh._NET_SHOWING_DESKTOP, 0);
  xcb_flush(display->C());
}

// ---- Pixels and keys --------------------------------------------------------------------------------

int DisplayWidth() {
  Display* display = Display::Get();
  return display != nullptr ? MonitorsOf(*display).primary.Width() : VirtualScreen().Width();
}

int DisplayHeight() {
  Display* display = Display::Get();
  return display != nullptr ? MonitorsOf(*display).primary.Height() : VirtualScreen().Height();
}

TBitmap GrabDisplay(int left, int top, int width, int height) {
  TBitmap grab;
  if (width <= 0 || height <= 0) return grab;
  Display* display = Display::Get();
  if (display == nullptr) return grab;
  const std::optional<PixelLayout> layout = LayoutOf(*display);
  if (!layout) return grab;
  // What lies outside the root window reads as black: only the part on it is read.
  const xcb_screen_t& screen = display->Screen();
  const long long right = static_cast<long long>(left) + width, bottom = static_cast<long long>(top) + height;
  const int partLeft = std::max(left, 0), partTop = std::max(top, 0);
  const int partRight = static_cast<int>(std::min<long long>(right, screen.width_in_pixels));
  const int partBottom = static_cast<int>(std::min<long long>(bottom, screen.height_in_pixels));
  // The rows go straight into the bitmap's memory; only a grab that reaches beyond the root window
  // is filled (black) first.
  grab.SetBitsPerPixel(layout->bitsPerPixel);
  try {
    grab.SetSizeForOverwrite(width, height);
  } catch (const std::exception&) {
    return TBitmap();
  }
  TBitmap::Pixel32* const pixels = grab.Bits();
  if (left < 0 || top < 0 || right > screen.width_in_pixels || bottom > screen.height_in_pixels)
    std::fill(pixels, pixels + static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
  if (partRight > partLeft && partBottom > partTop) {
    const int partWidth = partRight - partLeft, partHeight = partBottom - partTop;
    xcb_connection_t* c = display->C();
    bool done = false;
    if (ServerHasShm(c)) {
      const SharedImage shared(c, layout->RowBytes(partWidth) * static_cast<std::size_t>(partHeight));
      if (shared.Ready()) {
        const Reply<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(
            c,
            xcb_shm_get_image(c, display->Root(), static_cast<std::int16_t>(partLeft),
                              static_cast<std::int16_t>(partTop), static_cast<std::uint16_t>(partWidth),
                              static_cast<std::uint16_t>(partHeight), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP,
                              shared.Segment(), 0),
            nullptr));
        if (reply) {
          ConvertRows(*layout, shared.Data(), partWidth, partHeight, partLeft - left, partTop - top, width,
                      height, pixels);
          done = true;
        }
      }
    }
    if (!done) {
      const Reply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
          c,
          xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, display->Root(), static_cast<std::int16_t>(partLeft),
                        static_cast<std::int16_t>(partTop), static_cast<std::uint16_t>(partWidth),
                        static_cast<std::uint16_t>(partHeight), ~0u),
          nullptr));
      if (!reply) return TBitmap();
      ConvertRows(*layout, xcb_get_image_data(reply.get()), partWidth, partHeight, partLeft - left,
                  partTop - top, width, height, pixels);
    }
  }
  return grab;
}

int AsyncKeyState(int virtualKey) {
  if (virtualKey < 0 || virtualKey > 255) return 0;
  Display* display = Display::Get();
  if (display == nullptr) return wayland::HotKeyState(virtualKey);  // (a Wayland session's portal)
  // X tells only whether a key is down now, not whether it went down and up between two questions: the
  // "pressed since the last question" bit is set when the key is down now and was not at the last
  // answer for it, or when a press of a grabbed hot key (or a modifier held at it) came as an event
  // since; of other keys a press that came and went between two questions is not seen.
  static std::array<bool, 256> downBefore{};
  const bool down = KeyDown(*display, virtualKey);
  // (After KeyDown's round trip every event the server sent before its answer is here.)
  HotKeys& hotKeys = HotKeysOf(*display);
  hotKeys.TakeEvents(display->C());
  const auto index = static_cast<std::size_t>(virtualKey);
  const bool pressed = (down && !downBefore[index]) || hotKeys.pressed[index];
  downBefore[index] = down;
  hotKeys.pressed[index] = false;
  return (down ? 0x8000 : 0) | (pressed ? 0x0001 : 0);
}

bool GrabHotKey(int virtualKey, unsigned modifiers) {
  if (virtualKey < 0 || virtualKey > 255) return true;
  Display* display = Display::Get();
  if (display == nullptr) {
    wayland::BindHotKey(virtualKey, modifiers);  // (a Wayland session's portal: refusals are errors)
    return true;
  }
  return HotKeysOf(*display).Grab(*display, virtualKey, modifiers);
}

void ReleaseHotKey(int virtualKey, unsigned modifiers) {
  if (Display* display = Display::Get())
    HotKeysOf(*display).Release(*display, virtualKey, modifiers);
  else
    wayland::UnbindHotKey();
}

void SleepMilliseconds(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(std::max(milliseconds, 0)));
}

}  // namespace os
