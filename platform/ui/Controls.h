#pragma once
// Windows and controls as the programs use them. The classes here hold the state and the behaviour the
// programs rely on (layout by alignment, selection events, dialogs remembering their last answer, the
// error box); the backend (win32/, or the test doubles of tests/doubles/) only mirrors that state in native
// objects and reports what the user did, through the hooks of platform/ui/UiNative.h.
//
// A window is a Form subclass whose controls are members, created in its constructor with Create(parent,
// {properties}) in the order they appear. Positions and sizes are given for 96 pixels per inch; a form
// created on a screen of another resolution scales itself and its controls once, at creation.
//
// Event handlers are std::function members named after the event (OnClick, OnTimer, ...). An exception
// that escapes a handler never crosses a native callback: the backend catches it and hands it to
// Application::HandleException, which shows the error box and carries on.
//
// This header: the base of every component and control, and the simple controls (panel, label,
// button, check box, image, edit field, combo box).

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "imaging/Geometry.h"
#include "imaging/Graphics.h"
#include "platform/text/Text.h"
#include "platform/ui/WindowSystem.h"

namespace ui {

class Application;
class Form;
class PopupMenu;

enum class Align { None, Top, Bottom, Left, Right, Client };
enum class TextAlign { Left, Center, Right };

// Virtual-key codes as Windows numbers them; letters and digits are their upper-case characters.
namespace key {
constexpr int F1 = 0x70;
constexpr int F5 = 0x74;
constexpr int F12 = 0x7B;
constexpr int LShift = 0xA0, RShift = 0xA1, LControl = 0xA2, RControl = 0xA3, LMenu = 0xA4, RMenu = 0xA5;
constexpr int Return = 0x0D;
constexpr int PageUp = 0x21, PageDown = 0x22;
constexpr int Escape = 0x1B;
constexpr int Delete = 0x2E;
}  // namespace key

struct ShortCut {
  int key = 0;  // 0: none
  bool ctrl = false, shift = false, alt = false;
  bool operator==(const ShortCut&) const = default;
  explicit operator bool() const { return key != 0; }
};

// The native counterpart of a component, defined by the backend.
class NativeData {
 public:
  virtual ~NativeData() = default;
  // The system's handle of the native window (an HWND on Windows), for services that name an owner
  // window (the shell, the special-folder query); null where the component has no window of its own.
  virtual void* WindowHandle() const { return nullptr; }
};

// Base of every window, control and non-visual part: not copyable, owned by its form as a member.
class Component {
 public:
  Component() = default;
  Component(const Component&) = delete;
  Component& operator=(const Component&) = delete;
  virtual ~Component();

  // Backend use only.
  NativeData* Native() const { return native_.get(); }
  void SetNative(std::unique_ptr<NativeData> native) { native_ = std::move(native); }

 private:
  std::unique_ptr<NativeData> native_;
};

// ---- Visual controls ---------------------------------------------------------------------------------

class Control : public Component {
 public:
  ~Control() override;

  Control* Parent() const { return parent_; }
  // The form this control belongs to (the form itself for a form).
  Form& OwnerForm() const;
  const std::vector<Control*>& Children() const { return children_; }

  Rect Bounds() const { return bounds_; }
  void SetBounds(Rect bounds);
  int Left() const { return bounds_.left; }
  int Top() const { return bounds_.top; }
  int Width() const { return bounds_.width; }
  int Height() const { return bounds_.height; }
  void SetLeft(int left) { SetBounds({left, bounds_.top, bounds_.width, bounds_.height}); }
  void SetTop(int top) { SetBounds({bounds_.left, top, bounds_.width, bounds_.height}); }
  void SetWidth(int width) { SetBounds({bounds_.left, bounds_.top, width, bounds_.height}); }
  void SetHeight(int height) { SetBounds({bounds_.left, bounds_.top, bounds_.width, height}); }
  // The area inside the control's border that its children are placed in.
  virtual int ClientWidth() const { return bounds_.width; }
  virtual int ClientHeight() const { return bounds_.height; }

  Align GetAlign() const { return align_; }
  void SetAlign(Align align);

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);

  // Background colour (may be a system colour).
  TColor Color() const { return color_; }
  void SetColor(TColor color);

  // The control's font: its own once SetFont was called, otherwise its parent's (and a change of the
  // parent's font reaches every child that takes it).
  const Font& GetFont() const;
  void SetFont(const Font& font);
  bool ParentFont() const { return !ownFont_; }

  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint);

  PopupMenu* GetPopupMenu() const { return popupMenu_; }
  void SetPopupMenu(PopupMenu* menu) { popupMenu_ = menu; }

  int TabOrder() const { return tabOrder_; }

  // Puts the keyboard focus into the control: at once when its form is the active window, otherwise
  // when the form becomes active next (shown or activated). Form::FocusedControl tells where it is.
  void SetFocus();

  // Lays the children out by their alignment (top, bottom, left, right, then client), in creation
  // order; children without alignment keep their bounds. Runs by itself after every size change.
  void Realign();

  // Backend use: the user (or the system) moved or sized the control.
  void NativeBoundsChanged(Rect bounds);

 protected:
  Control() = default;
  // Links the control to its parent and gives it its first properties; called by each Create.
  void Attach(Control* parent, Rect bounds, Align align, std::string caption, int tabOrder);
  // The control's pixels per inch (its form's).
  int PixelsPerInch() const;
  // The font this control draws with changed: NotifyFont tells the backend (and lets the control
  // follow, e.g. an auto-sized label); FontChanged does that here and in every child that takes this
  // control's font.
  virtual void NotifyFont();
  void FontChanged();
  virtual void CaptionChanged() {}
  // Initial values, set by Create before the native object exists (no notification).
  void SetColorDirect(TColor color) { color_ = color; }
  void SetFontDirect(const Font& font) { ownFont_ = font; }
  void SetVisibleDirect(bool visible) { visible_ = visible; }
  // A caption the native object already shows (no notification, no CaptionChanged).
  void SetCaptionDirect(const std::string& caption) { caption_ = caption; }
  // Scales what the control measures in pixels besides its bounds (a panel's inner border, a list's
  // column widths) when its form scales to the screen.
  virtual void ScaleContents(int /*multiplier*/, int /*divisor*/) {}

 private:
  friend class Form;
  void ScaleBy(int multiplier, int divisor);
  // The bounds or the visibility of this control changed: a form that scrolls its content measures it
  // anew when this is one of its children.
  void ContentChanged();

  Control* parent_ = nullptr;
  std::vector<Control*> children_;
  Rect bounds_;
  Align align_ = Align::None;
  bool visible_ = true;
  bool enabled_ = true;
  std::string caption_;
  TColor color_ = clBtnFace;
  std::optional<Font> ownFont_;
  std::string hint_;
  PopupMenu* popupMenu_ = nullptr;
  int tabOrder_ = -1;
};

struct PanelProps {
  Rect bounds;
  Align align = Align::None;
  int height = -1;  // convenience for top/bottom panels: overrides bounds.height when >= 0
  int width = -1;   // convenience for left/right panels: overrides bounds.width when >= 0
  TColor color = clBtnFace;
  bool bevelOuter = true;  // raised outer bevel
  int borderWidth = 0;     // inner border: aligned children keep this distance from the edges
  bool visible = true;
  int tabOrder = -1;
};
class Panel : public Control {
 public:
  void Create(Control& parent, const PanelProps& props);
  bool BevelOuter() const { return bevelOuter_; }
  int BorderWidth() const { return borderWidth_; }

 protected:
  void ScaleContents(int multiplier, int divisor) override;

 private:
  bool bevelOuter_ = true;
  int borderWidth_ = 0;
};

struct LabelProps {
  Rect bounds;  // width/height ignored while autoSize
  std::string caption;
  bool autoSize = true;
  bool wordWrap = false;
  TextAlign alignment = TextAlign::Left;
  std::optional<Font> font;     // a font of its own, else the parent's
  std::optional<TColor> color;  // a background of its own, else the parent's (transparent)
};
class Label : public Control {
 public:
  void Create(Control& parent, const LabelProps& props);
  bool AutoSize() const { return autoSize_; }
  TextAlign Alignment() const { return alignment_; }
  bool WordWrap() const { return wordWrap_; }
  // True when the label paints its own background colour instead of showing its parent's.
  bool HasOwnColor() const { return ownColor_; }
  void SetColor(TColor color);

 protected:
  void NotifyFont() override;
  void CaptionChanged() override { Resize(); }

 private:
  void Resize();
  bool autoSize_ = true;
  bool wordWrap_ = false;
  bool ownColor_ = false;
  TextAlign alignment_ = TextAlign::Left;
};

struct ButtonProps {
  Rect bounds;
  std::string caption;
  int tabOrder = -1;
  bool visible = true;
  bool isDefault = false;  // the button Enter presses: drawn with the default button's outline
};
class Button : public Control {
 public:
  void Create(Control& parent, const ButtonProps& props);
  bool IsDefault() const { return default_; }
  std::function<void()> OnClick;
  // Acts as a click by the user.
  void Click();

 private:
  bool default_ = false;
};

struct CheckBoxProps {
  Rect bounds;
  std::string caption;
  bool checked = false;
  int tabOrder = -1;
  bool visible = true;
};
class CheckBox : public Control {
 public:
  void Create(Control& parent, const CheckBoxProps& props);
  bool Checked() const { return checked_; }
  // A change of state, from code or by the user, runs OnClick.
  void SetChecked(bool checked);
  std::function<void()> OnClick;
  void Click() { SetChecked(!checked_); }
  // The width that shows the whole caption in the control's font beside the box.
  int FittingWidth() const;

 private:
  bool checked_ = false;
};

struct ImageProps {
  Rect bounds;
  Align align = Align::None;
  std::string hint;
  bool showHint = false;  // the hint shows as a tool tip while the mouse rests on the image
  bool center = false;    // the picture centred in the control instead of at its top-left corner
  bool autoSize = false;  // the control takes the picture's size whenever the picture changes
  bool visible = true;
  PopupMenu* popupMenu = nullptr;
};
// Shows a picture, not stretched: at its top-left corner (clipped by the control), or centred.
class Image : public Control {
 public:
  void Create(Control& parent, const ImageProps& props);
  const TBitmap& Picture() const { return picture_; }
  void SetPicture(const TBitmap& picture);
  bool Center() const { return center_; }
  void SetCenter(bool center);
  bool AutoSize() const { return autoSize_; }
  bool ShowHint() const { return showHint_; }
  std::function<void()> OnClick, OnDblClick;

  // Backend use: the user clicked or double-clicked the image.
  void NativeClick();
  void NativeDblClick();

 private:
  TBitmap picture_;
  bool center_ = false;
  bool autoSize_ = false;
  bool showHint_ = false;
};

struct EditProps {
  Rect bounds;
  std::string text;
  bool visible = true;
  bool readOnly = false;
  bool border = true;           // a sunken border; false: the text stands on the background alone
  std::optional<Font> font;     // a font of its own, else the parent's
  std::optional<TColor> color;  // a background of its own, else the window colour
  bool handCursor = false;      // the pointing hand over the field, as over a link
  int tabOrder = -1;
};
// A one-line text field; its text is its caption. A read-only field shows a text the user can select
// and copy but not change.
class Edit : public Control {
 public:
  void Create(Control& parent, const EditProps& props);
  const std::string& Text() const { return Caption(); }
  // A change of the text, from code or by the user, runs OnChange.
  void SetText(const std::string& text);
  bool ReadOnly() const { return readOnly_; }
  bool Border() const { return border_; }
  bool HandCursor() const { return handCursor_; }
  std::function<void()> OnChange, OnDblClick;

  // Backend use: the user changed the text, or double-clicked the field.
  void NativeTextChanged(const std::string& text);
  void NativeDblClick();

 protected:
  void CaptionChanged() override;

 private:
  bool readOnly_ = false;
  bool border_ = true;
  bool handCursor_ = false;
};

// ---- Combo box --------------------------------------------------------------------------------------

enum class ComboStyle {
  DropDown,     // an edit field with a list to pick from: any text may be typed
  DropDownList  // a list only: the text is always one of the items (or empty)
};
struct ComboBoxProps {
  Rect bounds;  // the height is the system's
  ComboStyle style = ComboStyle::DropDown;
  std::vector<std::string> items;
  std::string text;    // DropDown: the initial text
  int itemIndex = -1;  // the item selected at first (its text becomes the text), -1 none
  bool visible = true;
  int tabOrder = -1;
};
class ComboBox : public Control {
 public:
  void Create(Control& parent, const ComboBoxProps& props);
  ComboStyle Style() const { return style_; }
  const std::vector<std::string>& Items() const { return items_; }
  // The text shown: in a drop-down list the selected item's text, or empty.
  const std::string& Text() const { return Caption(); }
  // DropDown: any text (the item index becomes that of an item with exactly this text, or -1).
  // DropDownList: selects the first item with exactly this text; a text no item has selects none and
  // empties the text. A change runs OnChange.
  void SetText(const std::string& text);
  int ItemIndex() const { return itemIndex_; }
  // Selects the item (its text becomes the text); -1 selects none. Out of range: none. A change runs
  // OnChange.
  void SetItemIndex(int index);
  std::function<void()> OnChange;

  // Backend use: the user typed a text or picked an item.
  void NativeTextChanged(const std::string& text);
  void NativeItemSelected(int index);

 protected:
  void CaptionChanged() override;

 private:
  ComboStyle style_ = ComboStyle::DropDown;
  std::vector<std::string> items_;
  int itemIndex_ = -1;
};

}  // namespace ui
