#pragma once
// Windows and controls as the programs use them. The classes here hold the state and the behaviour the
// programs rely on (layout by alignment, selection events, dialogs remembering their last answer, the
// error box); the backend (win32/ or headless/) only mirrors that state in native objects and reports
// what the user did, through the hooks of platform/UiNative.h.
//
// A window is a Form subclass whose controls are members, created in its constructor with Create(parent,
// {properties}) in the order they appear. Positions and sizes are given for 96 pixels per inch; a form
// created on a screen of another resolution scales itself and its controls once, at creation.
//
// Event handlers are std::function members named after the event (OnClick, OnTimer, ...). An exception
// that escapes a handler never crosses a native callback: the backend catches it and hands it to
// Application::HandleException, which shows the error box and carries on.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "imaging/Geometry.h"
#include "imaging/Graphics.h"
#include "platform/text/Text.h"
#include "platform/WindowSystem.h"

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
};
class Button : public Control {
 public:
  void Create(Control& parent, const ButtonProps& props);
  std::function<void()> OnClick;
  // Acts as a click by the user.
  void Click();
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

// ---- Image list and list view -----------------------------------------------------------------------

struct ImageListProps {
  int width = 16, height = 16;
};
class ImageList : public Component {
 public:
  void Create(Form& owner, const ImageListProps& props);
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Changing the size removes every image.
  void SetSize(int width, int height);
  // Adds a copy of the picture, drawn opaque (no mask); returns its index.
  int Add(const TBitmap& picture);
  void Clear();
  int Count() const { return static_cast<int>(images_.size()); }
  const TBitmap& Picture(int index) const { return images_.at(index); }
  Form* Owner() const { return owner_; }

 private:
  Form* owner_ = nullptr;
  int width_ = 16, height_ = 16;
  std::vector<TBitmap> images_;
};

enum class ViewStyle { Icon, Report };

// A column of a list view in report style.
struct ListColumn {
  std::string caption;
  int width = 50;
  TextAlign alignment = TextAlign::Left;
};

struct ListViewProps {
  Rect bounds;
  Align align = Align::None;
  ViewStyle viewStyle = ViewStyle::Icon;
  bool multiSelect = false;
  bool hideSelection = true;  // false: the selection stays visible without focus
  bool autoArrange = true;
  ImageList* largeImages = nullptr;
  PopupMenu* popupMenu = nullptr;
  int tabOrder = -1;
  // Report style: the columns (the first holds the item's caption, the others its sub-items), whether
  // their headers show, and whether the user may edit captions in place (never, when read-only).
  std::vector<ListColumn> columns;
  bool showColumnHeaders = true;
  bool readOnly = true;
};
class ListView : public Control {
 public:
  void Create(Control& parent, const ListViewProps& props);

  ViewStyle GetViewStyle() const { return viewStyle_; }
  bool MultiSelect() const { return multiSelect_; }
  bool HideSelection() const { return hideSelection_; }
  bool AutoArrange() const { return autoArrange_; }
  ImageList* LargeImages() const { return largeImages_; }

  int Count() const { return static_cast<int>(items_.size()); }
  // Appends an item without caption showing the image of that index; returns its position.
  int AddItem(int imageIndex, const std::string& caption = {});
  // Report style: appends an item with its caption and the texts of the further columns, in order;
  // returns its position.
  int AddItem(const std::string& caption, const std::vector<std::string>& subItems);
  int ItemImageIndex(int index) const { return items_.at(index).imageIndex; }
  const std::string& ItemCaption(int index) const { return items_.at(index).caption; }
  // The text of column `column` (1 for the first column after the caption); empty when the item has
  // none there.
  std::string SubItem(int index, int column) const;
  void Clear();

  // Report style: the columns and their widths in pixels.
  const std::vector<ListColumn>& Columns() const { return columns_; }
  bool ShowColumnHeaders() const { return showColumnHeaders_; }
  bool ReadOnly() const { return readOnly_; }
  void SetColumnWidth(int column, int width);
  // The width inside the border, less a vertical scroll bar when the view shows one.
  int ClientWidth() const override;

  bool Selected(int index) const { return items_.at(index).selected; }
  // Each change of an item's selected state raises OnSelectItem once, whoever made it. Without
  // multi-select, selecting an item deselects the others first.
  void SetSelected(int index, bool selected);
  int SelCount() const;
  // The first selected item in item order, or -1.
  int FirstSelected() const;

  // Suspends and resumes the repainting of the items (nestable).
  void BeginUpdate();
  void EndUpdate();
  bool Updating() const { return updateCount_ > 0; }

  std::function<void()> OnClick, OnDblClick;
  std::function<void(int index, bool selected)> OnSelectItem;
  // A key went down while the view has the focus: its virtual-key code.
  std::function<void(int key)> OnKeyDown;

  // Backend use: the user changed an item's selected state, clicked, double-clicked or pressed a key.
  void NativeSelectionChanged(int index, bool selected);
  void NativeClick();
  void NativeDblClick();
  void NativeKeyDown(int key);
  // Backend use: the user edited an item's caption in place (ignored while the view is read-only).
  void NativeCaptionEdited(int index, const std::string& caption);

 protected:
  void ScaleContents(int multiplier, int divisor) override;

 private:
  struct Item {
    int imageIndex = -1;
    std::string caption;
    std::vector<std::string> subItems;
    bool selected = false;
  };
  std::vector<ListColumn> columns_;
  bool showColumnHeaders_ = true;
  bool readOnly_ = true;
  std::vector<Item> items_;
  ViewStyle viewStyle_ = ViewStyle::Icon;
  bool multiSelect_ = false;
  bool hideSelection_ = true;
  bool autoArrange_ = true;
  ImageList* largeImages_ = nullptr;
  int updateCount_ = 0;
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

// ---- Menus and actions ------------------------------------------------------------------------------

class MenuItem : public Component {
 public:
  // A separator is an item with the caption "-".
  void Create(MenuItem& parent, const std::string& caption);
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool IsSeparator() const { return caption_ == "-"; }
  MenuItem* Parent() const { return parent_; }
  const std::vector<MenuItem*>& Items() const { return items_; }

  std::function<void()> OnClick;
  // Acts as a choice of the item by the user.
  void Click();

 protected:
  MenuItem* parent_ = nullptr;
  std::vector<MenuItem*> items_;
  std::string caption_;
  bool visible_ = true;
  bool enabled_ = true;
};

// The menu bar of a form; its items are the top-level menus.
class MainMenu : public MenuItem {
 public:
  void Create(Form& owner);
  Form* Owner() const { return owner_; }

 private:
  Form* owner_ = nullptr;
};

class PopupMenu : public MenuItem {
 public:
  void Create(Form& owner);
  Form* Owner() const { return owner_; }
  // Backend use: shows the menu at screen coordinates (the user right-clicked its control).
  void Popup(int screenX, int screenY);

 private:
  Form* owner_ = nullptr;
};

// A command bound to a key for as long as its form is active; not attached to any menu item.
class Action : public Component {
 public:
  void Create(Form& owner, ShortCut shortCut);
  ShortCut GetShortCut() const { return shortCut_; }
  std::function<void()> OnExecute;
  void Execute();

 private:
  ShortCut shortCut_;
};

// A message timer: fires on the message loop every interval milliseconds while enabled.
struct TimerProps {
  int interval = 1000;
  bool enabled = true;
};
class Timer : public Component {
 public:
  void Create(Form& owner, const TimerProps& props);
  int Interval() const { return interval_; }
  void SetInterval(int milliseconds);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  std::function<void()> OnTimer;
  // Backend use: the interval has passed.
  void NativeFire();
  Form* Owner() const { return owner_; }

 private:
  Form* owner_ = nullptr;
  int interval_ = 1000;
  bool enabled_ = false;
};

// ---- Dialogs ----------------------------------------------------------------------------------------

class FontDialog : public Component {
 public:
  void Create(Form& owner, const Font& initial);
  // The font shown when the dialog opens, and the one chosen when it closes with OK.
  const ui::Font& GetFont() const { return font_; }
  void SetFont(const ui::Font& font) { font_ = font; }
  // Shows the dialog (effects: underline, strike-out, colour); true when the user chose OK.
  bool Execute();
  Form* Owner() const { return owner_; }

 private:
  Form* owner_ = nullptr;
  Font font_;
};

class ColorDialog : public Component {
 public:
  void Create(Form& owner);
  // The colour the dialog opens on; after OK the colour picked, which the next Execute opens on.
  TColor Color() const { return color_; }
  void SetColor(TColor color) { color_ = color; }
  bool Execute();
  Form* Owner() const { return owner_; }

 private:
  Form* owner_ = nullptr;
  TColor color_ = clBlack;
};

struct SaveDialogProps {
  std::string filter;  // "Text|pattern|Text|pattern"
  std::string defaultExt;
  int filterIndex = 1;  // 1-based
  bool overwritePrompt = false;
};
class SaveDialog : public Component {
 public:
  void Create(Form& owner, const SaveDialogProps& props);
  const std::string& Filter() const { return props_.filter; }
  // Takes effect at the next Execute (a language change renames the file types).
  void SetFilter(const std::string& filter) { props_.filter = filter; }
  const std::string& DefaultExt() const { return props_.defaultExt; }
  bool OverwritePrompt() const { return props_.overwritePrompt; }
  // The file name and filter index: shown when the dialog opens, chosen when it closes with OK;
  // the next Execute opens with the last ones chosen.
  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& fileName) { fileName_ = fileName; }
  int FilterIndex() const { return props_.filterIndex; }
  void SetFilterIndex(int index) { props_.filterIndex = index; }
  // Shows the dialog; true when the user chose a name with OK. A cancelled dialog leaves the file name
  // and the filter index as they were before it opened.
  bool Execute();
  Form* Owner() const { return owner_; }

  // Runs while the dialog is open, whenever the user picks another entry of the file-type list;
  // meanwhile FilterIndex() is the entry picked (1-based).
  std::function<void()> OnTypeChange;
  // Only while OnTypeChange runs, with the dialog open: the name in the dialog's name box as the dialog
  // reports it (CDM_GETFILEPATH): a full path, the dialog's folder joined to a name typed without one,
  // for an empty box the folder with a delimiter at its end; empty when the dialog cannot tell, and
  // always empty outside OnTypeChange.
  std::string DialogFilePath() const;
  // Only while OnTypeChange runs: writes the text into the dialog's name box (CDM_SETCONTROLTEXT to the
  // box, edt1 or, in dialogs without that field, cmb13); outside OnTypeChange there is no open dialog,
  // and nothing happens.
  void SetDialogFileNameText(const std::string& text);
  // True while OnTypeChange runs.
  bool TypeChanging() const { return typeChanging_; }

  // Backend use: the user picked the entry filterIndex (1-based) of the file-type list of the open
  // dialog; runs OnTypeChange (an error in it goes to the error box).
  void NativeTypeChanged(int filterIndex);

 private:
  Form* owner_ = nullptr;
  SaveDialogProps props_;
  std::string fileName_;
  bool typeChanging_ = false;
};

// ---- Forms and the application ----------------------------------------------------------------------

enum class BorderStyle { Sizeable, Dialog };
enum class FormPosition { Designed, MainFormCenter, ScreenCenter };

struct FormProps {
  std::string caption;
  Rect bounds;  // outer bounds; with clientWidth/clientHeight only left and top count
  int clientWidth = -1, clientHeight = -1;
  int minWidth = 0, minHeight = 0;  // outer size constraints
  BorderStyle borderStyle = BorderStyle::Sizeable;
  // The buttons of the caption bar: captionButtons gives the system menu and, with a sizeable border,
  // the minimise and maximise buttons that minimizeButton and maximizeButton leave switched on (a dialog
  // border has the system menu only). Without captionButtons the caption bar has none of them.
  bool captionButtons = true;
  bool minimizeButton = true;
  bool maximizeButton = true;
  FormPosition position = FormPosition::Designed;
  Font font;
  TColor color = clBtnFace;
  bool showIcon = true;  // the program's icon in the caption bar
  // Scroll bars appear when the form's children reach beyond its client area, and scroll them.
  bool autoScroll = false;
};

enum class WindowState { Normal, Minimized, Maximized };

class Form : public Control {
 public:
  // Creates the window hidden, with its designed properties; controls follow in the subclass.
  Form(Application& app, const FormProps& props);
  ~Form() override;

  Application& App() const { return app_; }
  int ClientWidth() const override;
  int ClientHeight() const override;
  void SetClientSize(int width, int height);
  int MinWidth() const { return minWidth_; }
  int MinHeight() const { return minHeight_; }
  BorderStyle GetBorderStyle() const { return borderStyle_; }
  bool CaptionButtons() const { return captionButtons_; }
  // The minimise and maximise buttons the caption bar shows (see FormProps).
  bool MinimizeButton() const {
    return captionButtons_ && minimizeButton_ && borderStyle_ == BorderStyle::Sizeable;
  }
  bool MaximizeButton() const {
    return captionButtons_ && maximizeButton_ && borderStyle_ == BorderStyle::Sizeable;
  }
  FormPosition Position() const { return position_; }
  WindowState GetWindowState() const { return windowState_; }
  void SetWindowState(WindowState state);
  // Where a minimised window returns to when it is restored: the state it had before it was minimised
  // (normal or maximised) and, for the normal state, the bounds it had then (the system parks a
  // minimised window's bounds out of sight). For a window that is not minimised: its state and bounds.
  WindowState RestoreState() const;
  Rect RestoreBounds() const;
  // The form's pixels per inch: the screen's, once the form scaled itself at creation.
  int PixelsPerInch() const { return pixelsPerInch_; }
  bool DoubleBuffered() const { return doubleBuffered_; }
  void SetDoubleBuffered(bool on);
  MainMenu* Menu() const { return menu_; }
  // The form's window in the window system (0 before the native window exists).
  os::WindowHandle Handle() const;

  // The control that has the keyboard focus while the form is active, or that gets it when the form
  // becomes active; null when there is none (or the backend cannot tell).
  Control* FocusedControl() const;

  // Scrolling (forms with autoScroll). The content is what the visible children cover, from the
  // client area's top-left corner to the farthest right and bottom edge of a child. A scroll bar shows
  // while the content is wider (higher) than the client area, which then loses the bar's room; the
  // range of a bar is the content's width (height), 0 while the bar is hidden. The position is the
  // content's pixel shown at the client area's left (top) edge, from 0 to the range less the client
  // area's width (height). The children keep their bounds; the backend shows each one moved by the
  // position. ClientWidth and ClientHeight are the client area without the scroll bars.
  bool AutoScroll() const { return autoScroll_; }
  int HorzScrollRange() const { return horzRange_; }
  int VertScrollRange() const { return vertRange_; }
  int HorzScrollPos() const { return horzPos_; }
  int VertScrollPos() const { return vertPos_; }
  // Scrolls to the position (as the user does with the bars and the mouse wheel), kept within the
  // ranges; does nothing without autoScroll.
  void ScrollTo(int horzPos, int vertPos);

  // Scales the form and every control created so far from 96 pixels per inch to the screen's, once,
  // and gives the client area its designed size at that resolution (the outer size follows the
  // system's frame); the subclass calls it at the end of its constructor.
  void ScaleForScreen();

  // Shows the form (its OnShow runs at every show; a shown form comes to the front).
  void Show();
  void Hide();
  // Shows the form modally; returns when it is hidden or closed (by the program, or by the user with
  // the close box, which runs Close like any other close). The form tells OK from Cancel itself: a
  // button that accepts sets the form's own result before it closes the form.
  void ShowModal();
  bool Showing() const { return showing_; }
  // Closes the form: OnClose runs, the form hides; closing the main form ends the message loop.
  void Close();

  std::function<void()> OnCreate, OnShow, OnResize, OnClose;

  // Backend use.
  void NativeClientResized();  // the client area changed size: realign and OnResize
  void NativeCloseRequested() { Close(); }
  void NativeWindowStateChanged(WindowState state) { TakeWindowState(state); }
  // Registered parts, for the backend to mirror.
  const std::vector<Action*>& Actions() const { return actions_; }
  const std::vector<Timer*>& Timers() const { return timers_; }
  // Runs the action bound to this key, if any; true when one ran.
  bool ExecuteShortCut(ShortCut shortCut);
  // The control that SetFocus chose last (null after it went), which the backend reports where it does
  // not follow the focus itself.
  Control* RequestedFocus() const { return focusRequest_; }

 private:
  friend class Control;
  friend class MainMenu;
  friend class Action;
  friend class Timer;
  void TakeWindowState(WindowState state);
  // Measures the content anew and shows or hides the scroll bars (autoScroll).
  void UpdateScrollBars();
  Application& app_;
  int minWidth_ = 0, minHeight_ = 0;
  BorderStyle borderStyle_ = BorderStyle::Sizeable;
  bool captionButtons_ = true;
  bool minimizeButton_ = true, maximizeButton_ = true;
  bool autoScroll_ = false;
  int horzRange_ = 0, vertRange_ = 0, horzPos_ = 0, vertPos_ = 0;
  int scrollPageWidth_ = -1, scrollPageHeight_ = -1;  // the client area the ranges were measured for
  bool updatingScroll_ = false;
  Control* focusRequest_ = nullptr;
  FormPosition position_ = FormPosition::Designed;
  WindowState windowState_ = WindowState::Normal;
  WindowState restoreState_ = WindowState::Normal;  // while minimised: the state before
  Rect restoreBounds_;                              // while minimised: the bounds before
  int pixelsPerInch_ = 96;
  int designClientWidth_ = -1, designClientHeight_ = -1;  // client size given at creation, if any
  bool scaled_ = false;
  bool doubleBuffered_ = false;
  bool showing_ = false;
  MainMenu* menu_ = nullptr;
  std::vector<Action*> actions_;
  std::vector<Timer*> timers_;
};

class Application {
 public:
  Application();
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // The task-bar text and the caption of every error box.
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title);

  // The first form created is the main form; closing it ends Run.
  Form* MainForm() const { return mainForm_; }
  // Runs the message loop until the main form closes.
  void Run();
  // Handles the window messages waiting now, then returns.
  void ProcessMessages();
  // Ends the message loop.
  void Terminate();
  bool Terminated() const { return terminated_; }
  // The program's application window: the hidden top-level window that stands for the program and owns
  // its windows (0 where the backend has none). It owns the main form, which owns the other forms and
  // has the task-bar button; it carries the timers and the program's title. It never shows by itself and
  // never takes the activation; shown by the program (os::ShowWindowAs, os::SetWindowZOrder with show)
  // it is still nothing to see: no size, no task-bar button. While it is topmost (os::SetWindowZOrder
  // with os::ZOrder::Topmost) all of the program's forms are topmost too, also those shown meanwhile,
  // so that they stay in front of other programs' windows; os::ZOrder::NoTopmost ends that for all of
  // them. os::GetPlacement and os::SetPlacement work on it as on any window.
  os::WindowHandle Handle() const;

  // Shows an error in the error box: the title as caption, the message (with a full stop appended
  // when its last character sorts after ".") as text, a stop icon and an OK button.
  void ShowError(const std::string& message);
  // What the message loop does with an exception that escaped a handler.
  void HandleException(const std::exception& error);
  // The text the error box shows for a message.
  static std::string ErrorBoxText(const std::string& message);

  // The screen's pixels per inch.
  int ScreenPixelsPerInch() const;

  // Backend use.
  void RegisterForm(Form& form);
  void UnregisterForm(Form& form);
  const std::vector<Form*>& Forms() const { return forms_; }

 private:
  std::string title_;
  Form* mainForm_ = nullptr;
  std::vector<Form*> forms_;
  bool terminated_ = false;
};

// A program's whole run: sets the application's title, then runs body (which creates the windows and
// runs the message loop). An error that escapes is shown in the error box; the result, the exit code,
// is 0.
int RunProgram(Application& app, const std::string& title, const std::function<void()>& body);

// The size of the primary screen in pixels.
int ScreenWidth();
int ScreenHeight();

// The program's icon drawn at width x height pixels on the background colour; an empty picture when
// the program has no icon.
TBitmap ProgramIconPicture(int width, int height, TColor background);

// The frame of a window (outer size minus client size) on the standard Windows theme at 96 pixels per
// inch: the frame the window layouts are designed against.
void StandardFrameSize(BorderStyle borderStyle, bool hasMenu, int& extraWidth, int& extraHeight);

}  // namespace ui
