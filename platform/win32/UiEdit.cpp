// Edit fields of the Win32 backend: the system's EDIT control, subclassed for the double click and the
// hand cursor. Its parent is subclassed too, so that an editable field gets its colours there (a
// read-only field asks its parent through WM_CTLCOLORSTATIC, which the parent's own procedure passes to
// the field's object already).

#include <string>
#include <vector>

#include "platform/win32/UiWin32.h"

namespace ui {
namespace win32 {

namespace {

constexpr UINT_PTR kEditSubclass = 0x4C45;    // the field's own subclass
constexpr UINT_PTR kParentSubclass = 0x4C46;  // the parent's, for WM_CTLCOLOREDIT

class EditNative : public WindowNative {
 public:
  explicit EditNative(Edit& edit) : WindowNative(edit), edit_(edit) {}

  ~EditNative() override {
    if (hwnd_ != nullptr) RemoveWindowSubclass(hwnd_, &EditProc, kEditSubclass);
  }

  void Create() {
    DWORD style = ES_LEFT | ES_AUTOHSCROLL;
    if (edit_.ReadOnly()) style |= ES_READONLY;
    if (edit_.TabOrder() >= 0) style |= WS_TABSTOP;
    CreateChild("EDIT", style, edit_.Border() ? WS_EX_CLIENTEDGE : 0, false);
    if (!SetWindowSubclass(hwnd_, &EditProc, kEditSubclass, reinterpret_cast<DWORD_PTR>(this))) {
      throw std::runtime_error("An edit field cannot be created");
    }
    const HWND parent = GetParent(hwnd_);
    if (parent != nullptr) SetWindowSubclass(parent, &ParentProc, kParentSubclass, 0);
  }

  bool Command(int code) override {
    if (code != EN_CHANGE || hwnd_ == nullptr) return false;
    // Also sent for SetWindowTextA from the class itself: the class ignores a text it holds already.
    const int length = GetWindowTextLengthA(hwnd_);
    std::vector<char> text(static_cast<std::size_t>(length) + 1, '\0');
    const int got = GetWindowTextA(hwnd_, text.data(), length + 1);
    edit_.NativeTextChanged(std::string(text.data(), static_cast<std::size_t>(got > 0 ? got : 0)));
    return true;
  }

  HBRUSH ControlColors(HDC dc) override {
    SetTextColor(dc, ToColorRef(edit_.GetFont().color));
    SetBkColor(dc, ToColorRef(edit_.Color()));
    return ColorBrush();
  }

 private:
  static LRESULT CALLBACK EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                   DWORD_PTR data) {
    auto* self = reinterpret_cast<EditNative*>(data);
    switch (message) {
      case WM_LBUTTONDBLCLK: {
        // The field selects the word first, as it always does; then the handler runs.
        const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
        Guard(self->App(), [self] { self->edit_.NativeDblClick(); });
        return result;
      }
      case WM_SETCURSOR:
        if (self->edit_.HandCursor() && LOWORD(lParam) == HTCLIENT) {
          SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32649) /* IDC_HAND */));
          return TRUE;
        }
        break;
      case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, &EditProc, kEditSubclass);
        break;
      default:
        break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
  }

  static LRESULT CALLBACK ParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR) {
    if (message == WM_CTLCOLOREDIT) {
      if (auto* field = dynamic_cast<EditNative*>(FindWindowNative(reinterpret_cast<HWND>(lParam)))) {
        HBRUSH brush = nullptr;
        Guard(field->App(), [&] { brush = field->ControlColors(reinterpret_cast<HDC>(wParam)); });
        if (brush != nullptr) return reinterpret_cast<LRESULT>(brush);
      }
    } else if (message == WM_NCDESTROY) {
      RemoveWindowSubclass(hwnd, &ParentProc, kParentSubclass);
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
  }

  Edit& edit_;
};

}  // namespace

}  // namespace win32

namespace native {

void EditCreated(Edit& edit) {
  win32::EnsureBackend();
  auto native = std::make_unique<win32::EditNative>(edit);
  native->Create();
  edit.SetNative(std::move(native));
}

}  // namespace native
}  // namespace ui
