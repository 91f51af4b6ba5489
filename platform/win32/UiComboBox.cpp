// Combo boxes of the Win32 backend: the system's COMBOBOX, editable (CBS_DROPDOWN) or a list only
// (CBS_DROPDOWNLIST). It mirrors the items, text and selected item of its ComboBox and reports what the
// user typed (CBN_EDITCHANGE) and picked (CBN_SELCHANGE).

#include <algorithm>
#include <string>
#include <vector>

#include "platform/win32/UiWin32.h"

namespace ui {
namespace win32 {

namespace {

// A list of up to this many items drops down whole; a longer one scrolls.
constexpr int kDroppedItems = 16;

class ComboBoxNative : public WindowNative {
 public:
  explicit ComboBoxNative(ComboBox& combo) : WindowNative(combo), combo_(combo) {}

  void Create() {
    DWORD style = WS_VSCROLL | (combo_.Style() == ComboStyle::DropDown ? CBS_DROPDOWN | CBS_AUTOHSCROLL
                                                                       : CBS_DROPDOWNLIST);
    if (combo_.TabOrder() >= 0) style |= WS_TABSTOP;
    CreateChild("COMBOBOX", style, 0, false);
    for (const std::string& item : combo_.Items()) {
      const LRESULT added = SendMessageA(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
      if (added == CB_ERR || added == CB_ERRSPACE) {
        throw std::runtime_error("The item \"" + item + "\" cannot be added to the combo box");
      }
    }
    MirrorText();
    Place();
  }

  void Update(native::Change what) override {
    if (hwnd_ == nullptr) return;
    switch (what) {
      case native::Change::Caption:
        MirrorText();
        break;
      case native::Change::Bounds:
        Place();
        break;
      case native::Change::Font:
        // Another font, other item heights: the dropped list is sized anew.
        WindowNative::Update(what);
        Place();
        break;
      default:
        WindowNative::Update(what);
    }
  }

  bool Command(int code) override {
    if (hwnd_ == nullptr) return false;
    switch (code) {
      case CBN_EDITCHANGE: {
        const int length = GetWindowTextLengthA(hwnd_);
        std::vector<char> text(static_cast<std::size_t>(length) + 1, '\0');
        const int got = GetWindowTextA(hwnd_, text.data(), length + 1);
        combo_.NativeTextChanged(std::string(text.data(), static_cast<std::size_t>(std::max(got, 0))));
        return true;
      }
      case CBN_SELCHANGE:
        combo_.NativeItemSelected(static_cast<int>(SendMessageA(hwnd_, CB_GETCURSEL, 0, 0)));
        return true;
      default:
        return false;
    }
  }

 private:
  // Shows the class's text and selected item: the item selected, or in an editable field with none
  // selected, the text itself.
  void MirrorText() {
    SendMessageA(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(combo_.ItemIndex()), 0);
    if (combo_.Style() == ComboStyle::DropDown && combo_.ItemIndex() < 0) {
      SetWindowTextA(hwnd_, combo_.Text().c_str());
    }
  }

  // Places the box; its window reaches down over the dropped list, which so shows every item of a short
  // list. The height of the box itself is the system's, and the class learns it.
  void Place() {
    const Rect b = combo_.Bounds();
    const int itemHeight = static_cast<int>(SendMessageA(hwnd_, CB_GETITEMHEIGHT, 0, 0));
    const int fieldHeight =
        static_cast<int>(SendMessageA(hwnd_, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
    const int items = std::clamp(static_cast<int>(combo_.Items().size()), 1, kDroppedItems);
    // The field with its border, the list's items and the list's border.
    const int dropped = fieldHeight + 2 * GetSystemMetrics(SM_CYFIXEDFRAME) +
                        items * std::max(itemHeight, 1) + 2 * GetSystemMetrics(SM_CYBORDER) + 2;
    const POINT at = WindowPosition();
    SetWindowPos(hwnd_, nullptr, at.x, at.y, b.width, dropped, SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageA(hwnd_, CB_SETMINVISIBLE, static_cast<WPARAM>(items), 0);
    RECT window;
    GetWindowRect(hwnd_, &window);
    combo_.NativeBoundsChanged({b.left, b.top, b.width, static_cast<int>(window.bottom - window.top)});
  }

  ComboBox& combo_;
};

}  // namespace

}  // namespace win32

namespace native {

void ComboBoxCreated(ComboBox& combo) {
  win32::EnsureBackend();
  auto native = std::make_unique<win32::ComboBoxNative>(combo);
  native->Create();
  combo.SetNative(std::move(native));
}

}  // namespace native
}  // namespace ui
