// The portable half of the window classes: state, layout, events. The backend mirrors the state.

#include "platform/Ui.h"

#include <algorithm>
#include <functional>
#include <stdexcept>

#include "platform/UiNative.h"

namespace ui {

namespace {

// Scales n by multiplier / divisor, rounding to the nearest integer (halves away from zero).
int MulDiv(int n, int multiplier, int divisor) {
  const long long product = static_cast<long long>(n) * multiplier;
  const long long half = divisor / 2;
  return static_cast<int>(product >= 0 ? (product + half) / divisor : (product - half) / divisor);
}

// The position of the first item with exactly this text, or -1.
int FindItem(const std::vector<std::string>& items, const std::string& text) {
  const auto it = std::find(items.begin(), items.end(), text);
  return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

// Sets a flag for as long as it lives, also when what runs meanwhile throws.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagScope() { flag_ = false; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& flag_;
};

// Suspends a list view's repainting for as long as it lives.
class ListUpdate {
 public:
  explicit ListUpdate(ListView& view) : view_(view) { view_.BeginUpdate(); }
  ~ListUpdate() { view_.EndUpdate(); }
  ListUpdate(const ListUpdate&) = delete;
  ListUpdate& operator=(const ListUpdate&) = delete;

 private:
  ListView& view_;
};

}  // namespace

Component::~Component() = default;

// ---- Control ----------------------------------------------------------------------------------------

Control::~Control() {
  // The form forgets a focus request for this control or one inside it.
  Control* root = this;
  while (root->parent_ != nullptr) root = root->parent_;
  if (auto* form = root != this ? dynamic_cast<Form*>(root) : nullptr) {
    for (const Control* control = form->focusRequest_; control != nullptr; control = control->parent_) {
      if (control == this) {
        form->focusRequest_ = nullptr;
        break;
      }
    }
  }
  if (parent_ != nullptr) std::erase(parent_->children_, this);
  for (Control* child : children_) child->parent_ = nullptr;
}

Form& Control::OwnerForm() const {
  const Control* control = this;
  while (control->parent_ != nullptr) control = control->parent_;
  // Every control tree has a form at its root.
  return *static_cast<Form*>(const_cast<Control*>(control));
}

int Control::PixelsPerInch() const { return OwnerForm().PixelsPerInch(); }

void Control::Attach(Control* parent, Rect bounds, Align align, std::string caption, int tabOrder) {
  parent_ = parent;
  if (parent_ != nullptr) parent_->children_.push_back(this);
  bounds_ = bounds;
  align_ = align;
  caption_ = std::move(caption);
  tabOrder_ = tabOrder;
  native::Created(*this);
  if (parent_ != nullptr && align_ != Align::None) parent_->Realign();
  ContentChanged();
}

void Control::ContentChanged() {
  if (auto* form = dynamic_cast<Form*>(parent_)) form->UpdateScrollBars();
}

void Control::SetFocus() {
  OwnerForm().focusRequest_ = this;
  native::FocusControl(*this);
}

void Control::SetBounds(Rect bounds) {
  if (const Form* form = dynamic_cast<const Form*>(this)) {
    bounds.width = std::max(bounds.width, form->MinWidth());
    bounds.height = std::max(bounds.height, form->MinHeight());
  }
  bounds.width = std::max(bounds.width, 0);
  bounds.height = std::max(bounds.height, 0);
  if (bounds == bounds_) return;
  const bool resized = bounds.width != bounds_.width || bounds.height != bounds_.height;
  bounds_ = bounds;
  native::Changed(*this, native::Change::Bounds);
  if (parent_ != nullptr && align_ != Align::None) {
    parent_->Realign();
  } else if (resized && dynamic_cast<Form*>(this) == nullptr) {
    Realign();
  }
  ContentChanged();
}

void Control::NativeBoundsChanged(Rect bounds) {
  if (bounds == bounds_) return;
  bounds_ = bounds;
}

void Control::SetAlign(Align align) {
  if (align == align_) return;
  align_ = align;
  if (parent_ != nullptr) parent_->Realign();
}

void Control::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  native::Changed(*this, native::Change::Visible);
  if (parent_ != nullptr && align_ != Align::None) parent_->Realign();
  ContentChanged();
}

void Control::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  native::Changed(*this, native::Change::Enabled);
}

void Control::SetCaption(const std::string& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  native::Changed(*this, native::Change::Caption);
  CaptionChanged();
}

void Control::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  native::Changed(*this, native::Change::Color);
}

const Font& Control::GetFont() const {
  if (ownFont_) return *ownFont_;
  if (parent_ != nullptr) return parent_->GetFont();
  static const Font fallback{};
  return fallback;
}

void Control::SetFont(const Font& font) {
  ownFont_ = font;
  FontChanged();
}

void Control::NotifyFont() { native::Changed(*this, native::Change::Font); }

void Control::FontChanged() {
  NotifyFont();
  for (Control* child : children_) {
    if (child->ParentFont()) child->FontChanged();
  }
}

void Control::SetHint(const std::string& hint) {
  if (hint == hint_) return;
  hint_ = hint;
  native::Changed(*this, native::Change::Hint);
}

void Control::Realign() {
  // A panel's inner border keeps its aligned children that far from every edge.
  const auto* panel = dynamic_cast<const Panel*>(this);
  const int border = panel != nullptr ? panel->BorderWidth() : 0;
  int left = border, top = border, right = ClientWidth() - border, bottom = ClientHeight() - border;
  const auto place = [](Control* child, Rect bounds) {
    bounds.width = std::max(bounds.width, 0);
    bounds.height = std::max(bounds.height, 0);
    if (bounds == child->bounds_) return;
    const bool resized = bounds.width != child->bounds_.width || bounds.height != child->bounds_.height;
    child->bounds_ = bounds;
    native::Changed(*child, native::Change::Bounds);
    if (resized) child->Realign();
  };
  for (Align pass : {Align::Top, Align::Bottom, Align::Left, Align::Right, Align::Client}) {
    for (Control* child : children_) {
      if (child->align_ != pass || !child->visible_) continue;
      const Rect b = child->bounds_;
      switch (pass) {
        case Align::Top:
          place(child, {left, top, right - left, b.height});
          top += b.height;
          break;
        case Align::Bottom:
          place(child, {left, bottom - b.height, right - left, b.height});
          bottom -= b.height;
          break;
        case Align::Left:
          place(child, {left, top, b.width, bottom - top});
          left += b.width;
          break;
        case Align::Right:
          place(child, {right - b.width, top, b.width, bottom - top});
          right -= b.width;
          break;
        case Align::Client:
          place(child, {left, top, right - left, bottom - top});
          break;
        case Align::None:
          break;
      }
    }
  }
  // A form's children may now reach beyond its client area, or no longer.
  if (auto* form = dynamic_cast<Form*>(this)) form->UpdateScrollBars();
}

void Control::ScaleBy(int multiplier, int divisor) {
  if (dynamic_cast<Form*>(this) == nullptr) {
    const Rect b = bounds_;
    bounds_ = {MulDiv(b.left, multiplier, divisor), MulDiv(b.top, multiplier, divisor),
               MulDiv(b.width, multiplier, divisor), MulDiv(b.height, multiplier, divisor)};
    native::Changed(*this, native::Change::Bounds);
    ScaleContents(multiplier, divisor);
  }
  for (Control* child : children_) child->ScaleBy(multiplier, divisor);
  // The aligned children take their places from the scaled sizes and border, not from their own
  // rounded bounds (the form lays its own children out once it has its scaled client size).
  if (dynamic_cast<Form*>(this) == nullptr && !children_.empty()) Realign();
}

// ---- Simple controls --------------------------------------------------------------------------------

void Panel::Create(Control& parent, const PanelProps& props) {
  Rect bounds = props.bounds;
  if (props.height >= 0) bounds.height = props.height;
  if (props.width >= 0) bounds.width = props.width;
  bevelOuter_ = props.bevelOuter;
  borderWidth_ = std::max(props.borderWidth, 0);
  SetColorDirect(props.color);
  SetVisibleDirect(props.visible);
  Attach(&parent, bounds, props.align, {}, props.tabOrder);
}

void Panel::ScaleContents(int multiplier, int divisor) {
  borderWidth_ = MulDiv(borderWidth_, multiplier, divisor);
}

void Label::Create(Control& parent, const LabelProps& props) {
  autoSize_ = props.autoSize;
  wordWrap_ = props.wordWrap;
  alignment_ = props.alignment;
  if (props.font) SetFontDirect(*props.font);
  ownColor_ = props.color.has_value();
  SetColorDirect(props.color ? *props.color : parent.Color());
  Attach(&parent, props.bounds, Align::None, props.caption, -1);
  Resize();
}

void Label::SetColor(TColor color) {
  ownColor_ = true;
  Control::SetColor(color);
}

void Label::NotifyFont() {
  Control::NotifyFont();
  Resize();
}

void Label::Resize() {
  if (!autoSize_ || wordWrap_) return;
  const TextRenderer renderer(GetFont(), PixelsPerInch());
  const TextExtent extent = renderer.Measure(Caption().empty() ? std::string(" ") : Caption());
  SetBounds({Left(), Top(), Caption().empty() ? 0 : extent.width, extent.height});
}

void Button::Create(Control& parent, const ButtonProps& props) {
  SetVisibleDirect(props.visible);
  Attach(&parent, props.bounds, Align::None, props.caption, props.tabOrder);
}

void Button::Click() {
  if (Enabled() && OnClick) OnClick();
}

void CheckBox::Create(Control& parent, const CheckBoxProps& props) {
  checked_ = props.checked;
  SetVisibleDirect(props.visible);
  Attach(&parent, props.bounds, Align::None, props.caption, props.tabOrder);
}

void CheckBox::SetChecked(bool checked) {
  if (checked == checked_) return;
  checked_ = checked;
  native::Changed(*this, native::Change::Checked);
  if (OnClick) OnClick();
}

void Image::Create(Control& parent, const ImageProps& props) {
  center_ = props.center;
  autoSize_ = props.autoSize;
  showHint_ = props.showHint;
  SetPopupMenu(props.popupMenu);
  SetVisibleDirect(props.visible);
  Attach(&parent, props.bounds, props.align, {}, -1);
  SetHint(props.hint);
}

void Image::SetPicture(const TBitmap& picture) {
  picture_ = picture;
  if (autoSize_) SetBounds({Left(), Top(), picture_.Width(), picture_.Height()});
  native::Changed(*this, native::Change::Picture);
}

void Image::SetCenter(bool center) {
  if (center == center_) return;
  center_ = center;
  native::Changed(*this, native::Change::Picture);
}

void Image::NativeClick() {
  if (OnClick) OnClick();
}

void Image::NativeDblClick() {
  if (OnDblClick) OnDblClick();
}

void Edit::Create(Control& parent, const EditProps& props) {
  readOnly_ = props.readOnly;
  border_ = props.border;
  handCursor_ = props.handCursor;
  if (props.font) SetFontDirect(*props.font);
  SetColorDirect(props.color ? *props.color : clWindow);
  SetVisibleDirect(props.visible);
  Attach(&parent, props.bounds, Align::None, props.text, props.tabOrder);
  native::EditCreated(*this);
}

void Edit::SetText(const std::string& text) { SetCaption(text); }

void Edit::CaptionChanged() {
  if (OnChange) OnChange();
}

void Edit::NativeTextChanged(const std::string& text) {
  if (text == Caption()) return;
  SetCaptionDirect(text);
  if (OnChange) OnChange();
}

void Edit::NativeDblClick() {
  if (OnDblClick) OnDblClick();
}

// ---- Image list and list view -----------------------------------------------------------------------

void ImageList::Create(Form& owner, const ImageListProps& props) {
  owner_ = &owner;
  width_ = props.width;
  height_ = props.height;
  native::Created(*this);
}

void ImageList::SetSize(int width, int height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  images_.clear();
  native::ImageListChanged(*this);
}

int ImageList::Add(const TBitmap& picture) {
  TBitmap image = picture;
  image.SetSize(width_, height_);
  images_.push_back(std::move(image));
  const int index = Count() - 1;
  native::ImageAdded(*this, index);
  return index;
}

void ImageList::Clear() {
  images_.clear();
  native::ImageListChanged(*this);
}

void ListView::Create(Control& parent, const ListViewProps& props) {
  viewStyle_ = props.viewStyle;
  multiSelect_ = props.multiSelect;
  hideSelection_ = props.hideSelection;
  autoArrange_ = props.autoArrange;
  largeImages_ = props.largeImages;
  columns_ = props.columns;
  for (ListColumn& column : columns_) column.width = std::max(column.width, 0);
  showColumnHeaders_ = props.showColumnHeaders;
  readOnly_ = props.readOnly;
  SetPopupMenu(props.popupMenu);
  SetColorDirect(clWindow);
  Attach(&parent, props.bounds, props.align, {}, props.tabOrder);
}

int ListView::AddItem(int imageIndex, const std::string& caption) {
  items_.push_back({imageIndex, caption, {}, false});
  const int index = Count() - 1;
  native::ListItemsAdded(*this, index);
  return index;
}

int ListView::AddItem(const std::string& caption, const std::vector<std::string>& subItems) {
  items_.push_back({-1, caption, subItems, false});
  const int index = Count() - 1;
  native::ListItemsAdded(*this, index);
  return index;
}

std::string ListView::SubItem(int index, int column) const {
  const Item& item = items_.at(index);
  if (column == 0) return item.caption;
  if (column < 1 || column > static_cast<int>(item.subItems.size())) return {};
  return item.subItems[column - 1];
}

void ListView::SetColumnWidth(int column, int width) {
  if (column < 0 || column >= static_cast<int>(columns_.size())) {
    throw std::out_of_range("The list has no column " + std::to_string(column));
  }
  // A negative width would ask the native view to size the column by itself.
  width = std::max(width, 0);
  if (columns_[column].width == width) return;
  columns_[column].width = width;
  native::ListColumnChanged(*this, column);
}

void ListView::ScaleContents(int multiplier, int divisor) {
  for (int column = 0; column < static_cast<int>(columns_.size()); ++column) {
    columns_[column].width = MulDiv(columns_[column].width, multiplier, divisor);
    native::ListColumnChanged(*this, column);
  }
}

int ListView::ClientWidth() const { return native::ListClientWidth(*this); }

void ListView::Clear() {
  // One update: the view repaints once the items are gone, not as each one goes.
  const ListUpdate update(*this);
  items_.clear();
  native::ListCleared(*this);
}

void ListView::SetSelected(int index, bool selected) {
  if (index < 0 || index >= Count() || items_[index].selected == selected) return;
  if (selected && !multiSelect_) {
    for (int i = 0; i < Count(); ++i) {
      if (i != index) SetSelected(i, false);
    }
  }
  items_[index].selected = selected;
  native::ListItemSelected(*this, index);
  if (OnSelectItem) OnSelectItem(index, selected);
}

int ListView::SelCount() const {
  return static_cast<int>(
      std::count_if(items_.begin(), items_.end(), [](const Item& i) { return i.selected; }));
}

int ListView::FirstSelected() const {
  for (int i = 0; i < Count(); ++i) {
    if (items_[i].selected) return i;
  }
  return -1;
}

void ListView::BeginUpdate() {
  if (updateCount_++ == 0) native::ListUpdating(*this, true);
}

void ListView::EndUpdate() {
  if (updateCount_ == 0) return;
  if (--updateCount_ == 0) native::ListUpdating(*this, false);
}

// A disabled view refuses what the user does: the Native... members below ignore it.

void ListView::NativeSelectionChanged(int index, bool selected) {
  if (!Enabled() || index < 0 || index >= Count() || items_[index].selected == selected) return;
  items_[index].selected = selected;
  if (OnSelectItem) OnSelectItem(index, selected);
}

void ListView::NativeClick() {
  if (Enabled() && OnClick) OnClick();
}

void ListView::NativeDblClick() {
  if (Enabled() && OnDblClick) OnDblClick();
}

void ListView::NativeKeyDown(int key) {
  if (Enabled() && OnKeyDown) OnKeyDown(key);
}

void ListView::NativeCaptionEdited(int index, const std::string& caption) {
  if (readOnly_ || !Enabled() || index < 0 || index >= Count()) return;
  items_[index].caption = caption;
}

// ---- Combo box --------------------------------------------------------------------------------------

void ComboBox::Create(Control& parent, const ComboBoxProps& props) {
  style_ = props.style;
  items_ = props.items;
  std::string text;
  if (props.itemIndex >= 0 && props.itemIndex < static_cast<int>(items_.size())) {
    itemIndex_ = props.itemIndex;
    text = items_[itemIndex_];
  } else {
    // As SetText would take the initial text: a drop-down list shows only one of its items.
    itemIndex_ = FindItem(items_, props.text);
    if (style_ == ComboStyle::DropDown || itemIndex_ >= 0) text = props.text;
  }
  SetColorDirect(clWindow);
  SetVisibleDirect(props.visible);
  Attach(&parent, props.bounds, Align::None, text, props.tabOrder);
  native::ComboBoxCreated(*this);
}

void ComboBox::SetText(const std::string& text) {
  const int index = FindItem(items_, text);
  if (style_ == ComboStyle::DropDownList) {
    SetItemIndex(index);
    return;
  }
  if (text == Caption() && index == itemIndex_) return;
  itemIndex_ = index;
  SetCaptionDirect(text);
  native::Changed(*this, native::Change::Caption);
  if (OnChange) OnChange();
}

void ComboBox::SetItemIndex(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) index = -1;
  const std::string text = index >= 0 ? items_[index] : std::string();
  if (index == itemIndex_ && text == Caption()) return;
  itemIndex_ = index;
  SetCaptionDirect(text);
  native::Changed(*this, native::Change::Caption);
  if (OnChange) OnChange();
}

void ComboBox::CaptionChanged() {
  // Control::SetCaption has set the text: the selected item follows it, as after SetText.
  itemIndex_ = FindItem(items_, Caption());
  if (style_ == ComboStyle::DropDownList && itemIndex_ < 0) SetCaptionDirect({});
  native::Changed(*this, native::Change::Caption);
  if (OnChange) OnChange();
}

void ComboBox::NativeTextChanged(const std::string& text) {
  const int index = FindItem(items_, text);
  if (style_ == ComboStyle::DropDownList) {
    // Nothing but an item can stand in a drop-down list.
    if (index >= 0) NativeItemSelected(index);
    return;
  }
  if (text == Caption()) return;
  // The field keeps what the user typed; the item index follows it without touching the field.
  itemIndex_ = index;
  SetCaptionDirect(text);
  if (OnChange) OnChange();
}

void ComboBox::NativeItemSelected(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) index = -1;
  // No item picked: an editable field keeps its text, a drop-down list shows none.
  const std::string text =
      index >= 0 ? items_[index] : (style_ == ComboStyle::DropDown ? Caption() : std::string());
  if (index == itemIndex_ && text == Caption()) return;
  itemIndex_ = index;
  SetCaptionDirect(text);
  if (OnChange) OnChange();
}

// ---- Menus, actions, timers -------------------------------------------------------------------------

void MenuItem::Create(MenuItem& parent, const std::string& caption) {
  parent_ = &parent;
  caption_ = caption;
  parent.items_.push_back(this);
  native::Created(*this);
}

void MenuItem::SetCaption(const std::string& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  native::MenuChanged(*this);
}

void MenuItem::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  native::MenuChanged(*this);
}

void MenuItem::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  native::MenuChanged(*this);
}

void MenuItem::Click() {
  if (enabled_ && OnClick) OnClick();
}

void MainMenu::Create(Form& owner) {
  owner_ = &owner;
  owner.menu_ = this;
  native::Created(*this);
}

void PopupMenu::Create(Form& owner) {
  owner_ = &owner;
  native::Created(*this);
}

void PopupMenu::Popup(int screenX, int screenY) { native::ShowPopup(*this, screenX, screenY); }

void Action::Create(Form& owner, ShortCut shortCut) {
  shortCut_ = shortCut;
  owner.actions_.push_back(this);
  native::Created(*this);
}

void Action::Execute() {
  if (OnExecute) OnExecute();
}

void Timer::Create(Form& owner, const TimerProps& props) {
  owner_ = &owner;
  interval_ = props.interval;
  enabled_ = props.enabled;
  owner.timers_.push_back(this);
  native::Created(*this);
}

void Timer::SetInterval(int milliseconds) {
  if (milliseconds == interval_) return;
  interval_ = milliseconds;
  native::Changed(*this, native::Change::State);
}

void Timer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  native::Changed(*this, native::Change::State);
}

void Timer::NativeFire() {
  if (enabled_ && interval_ > 0 && OnTimer) OnTimer();
}

// ---- Dialogs ----------------------------------------------------------------------------------------

void FontDialog::Create(Form& owner, const Font& initial) {
  owner_ = &owner;
  font_ = initial;
  native::Created(*this);
}

bool FontDialog::Execute() { return native::ExecuteFontDialog(*this); }

void ColorDialog::Create(Form& owner) {
  owner_ = &owner;
  native::Created(*this);
}

bool ColorDialog::Execute() { return native::ExecuteColorDialog(*this); }

void SaveDialog::Create(Form& owner, const SaveDialogProps& props) {
  owner_ = &owner;
  props_ = props;
  native::Created(*this);
}

bool SaveDialog::Execute() {
  const int filterIndex = props_.filterIndex;
  typeChanging_ = false;
  const bool chosen = native::ExecuteSaveDialog(*this);
  typeChanging_ = false;
  // A type picked in a dialog that was cancelled is no choice.
  if (!chosen) props_.filterIndex = filterIndex;
  return chosen;
}

void SaveDialog::NativeTypeChanged(int filterIndex) {
  props_.filterIndex = filterIndex;
  if (!OnTypeChange) return;
  // DialogFilePath and SetDialogFileNameText reach the dialog while the handler runs.
  const FlagScope changing(typeChanging_);
  OnTypeChange();
}

std::string SaveDialog::DialogFilePath() const {
  return typeChanging_ ? native::SaveDialogFilePath(*this) : std::string();
}

void SaveDialog::SetDialogFileNameText(const std::string& text) {
  if (typeChanging_) native::SetSaveDialogFileNameText(*this, text);
}

// ---- Form -------------------------------------------------------------------------------------------

Form::Form(Application& app, const FormProps& props) : app_(app) {
  minWidth_ = props.minWidth;
  minHeight_ = props.minHeight;
  borderStyle_ = props.borderStyle;
  captionButtons_ = props.captionButtons;
  minimizeButton_ = props.minimizeButton;
  maximizeButton_ = props.maximizeButton;
  autoScroll_ = props.autoScroll;
  position_ = props.position;
  SetFontDirect(props.font);
  SetColorDirect(props.color);
  SetVisibleDirect(false);
  app_.RegisterForm(*this);
  Attach(nullptr, props.bounds, Align::None, props.caption, -1);
  designClientWidth_ = props.clientWidth;
  designClientHeight_ = props.clientHeight;
  if (props.clientWidth >= 0 || props.clientHeight >= 0) {
    SetClientSize(props.clientWidth >= 0 ? props.clientWidth : ClientWidth(),
                  props.clientHeight >= 0 ? props.clientHeight : ClientHeight());
  }
}

Form::~Form() { app_.UnregisterForm(*this); }

int Form::ClientWidth() const {
  int extraWidth = 0, extraHeight = 0;
  native::NonClientSize(*this, extraWidth, extraHeight);
  return std::max(Width() - extraWidth, 0);
}

int Form::ClientHeight() const {
  int extraWidth = 0, extraHeight = 0;
  native::NonClientSize(*this, extraWidth, extraHeight);
  return std::max(Height() - extraHeight, 0);
}

void Form::SetClientSize(int width, int height) {
  int extraWidth = 0, extraHeight = 0;
  native::NonClientSize(*this, extraWidth, extraHeight);
  SetBounds({Left(), Top(), width + extraWidth, height + extraHeight});
}

void Form::SetWindowState(WindowState state) {
  if (state == windowState_) return;
  TakeWindowState(state);
  native::Changed(*this, native::Change::State);
}

void Form::TakeWindowState(WindowState state) {
  if (state == windowState_) return;
  if (state == WindowState::Minimized) {
    restoreState_ = windowState_;
    restoreBounds_ = Bounds();
  }
  windowState_ = state;
}

WindowState Form::RestoreState() const {
  return windowState_ == WindowState::Minimized ? restoreState_ : windowState_;
}

Rect Form::RestoreBounds() const {
  return windowState_ == WindowState::Minimized ? restoreBounds_ : Bounds();
}

void Form::SetDoubleBuffered(bool on) {
  doubleBuffered_ = on;
  native::Changed(*this, native::Change::DoubleBuffer);
}

void Form::ScaleForScreen() {
  if (scaled_) return;
  scaled_ = true;
  // The client size as designed: given at creation, or the designed outer size less the standard
  // frame it was designed with. The layout belongs to the client area, so the client area is what
  // keeps its designed size (scaled to the screen); a frame of another size (another theme, another
  // resolution, where it does not grow in proportion) changes only the outer size.
  int frameWidth = 0, frameHeight = 0;
  StandardFrameSize(GetBorderStyle(), menu_ != nullptr, frameWidth, frameHeight);
  const int clientWidth = designClientWidth_ >= 0 ? designClientWidth_ : Width() - frameWidth;
  const int clientHeight = designClientHeight_ >= 0 ? designClientHeight_ : Height() - frameHeight;
  const int designed = pixelsPerInch_;
  const int screen = app_.ScreenPixelsPerInch();
  if (screen != designed) {
    pixelsPerInch_ = screen;
    minWidth_ = MulDiv(minWidth_, screen, designed);
    minHeight_ = MulDiv(minHeight_, screen, designed);
    ScaleBy(screen, designed);
    // Every font is realised anew at the new resolution, own fonts as well as inherited ones.
    const std::function<void(Control&)> notify = [&notify](Control& control) {
      control.NotifyFont();
      for (Control* child : control.Children()) notify(*child);
    };
    notify(*this);
  }
  SetClientSize(MulDiv(clientWidth, screen, designed), MulDiv(clientHeight, screen, designed));
  Realign();
}

void Form::Show() {
  if (!Showing()) {
    showing_ = true;
    SetVisibleDirect(true);
    if (OnShow) OnShow();
  }
  native::ShowForm(*this);
}

void Form::Hide() {
  if (!showing_) return;
  showing_ = false;
  SetVisibleDirect(false);
  native::HideForm(*this);
}

void Form::ShowModal() {
  Show();
  native::RunModal(*this);
}

void Form::Close() {
  if (OnClose) OnClose();
  Hide();
  if (app_.MainForm() == this) app_.Terminate();
}

void Form::NativeClientResized() {
  Realign();
  if (OnResize) OnResize();
}

os::WindowHandle Form::Handle() const { return native::FormHandle(*this); }

Control* Form::FocusedControl() const { return native::FocusedControl(*this); }

void Form::UpdateScrollBars() {
  if (!autoScroll_ || updatingScroll_) return;
  // Showing a bar resizes the client area, which realigns and comes back here: that round is skipped.
  const FlagScope updating(updatingScroll_);
  int barWidth = 0, barHeight = 0;
  native::ScrollBarSize(*this, barWidth, barHeight);
  // The client area as it is without the bars that show now.
  const int fullWidth = ClientWidth() + (vertRange_ > 0 ? barWidth : 0);
  const int fullHeight = ClientHeight() + (horzRange_ > 0 ? barHeight : 0);
  int contentWidth = 0, contentHeight = 0;
  for (const Control* child : Children()) {
    if (!child->Visible()) continue;
    contentWidth = std::max(contentWidth, child->Left() + child->Width());
    contentHeight = std::max(contentHeight, child->Top() + child->Height());
  }
  bool horz = contentWidth > fullWidth, vert = contentHeight > fullHeight;
  // One bar takes room from the other direction, which may then need its bar too.
  if (horz && !vert) vert = contentHeight > fullHeight - barHeight;
  if (vert && !horz) horz = contentWidth > fullWidth - barWidth;
  const int visibleWidth = fullWidth - (vert ? barWidth : 0);
  const int visibleHeight = fullHeight - (horz ? barHeight : 0);
  const int horzRange = horz ? contentWidth : 0, vertRange = vert ? contentHeight : 0;
  const int horzPos = horz ? std::clamp(horzPos_, 0, std::max(contentWidth - visibleWidth, 0)) : 0;
  const int vertPos = vert ? std::clamp(vertPos_, 0, std::max(contentHeight - visibleHeight, 0)) : 0;
  // (The visible part is a bar's page: a new client size with the same ranges is a change too.)
  const bool pageChanged =
      (horz && visibleWidth != scrollPageWidth_) || (vert && visibleHeight != scrollPageHeight_);
  if (horzRange == horzRange_ && vertRange == vertRange_ && horzPos == horzPos_ && vertPos == vertPos_ &&
      !pageChanged) {
    return;
  }
  horzRange_ = horzRange;
  vertRange_ = vertRange;
  horzPos_ = horzPos;
  vertPos_ = vertPos;
  scrollPageWidth_ = visibleWidth;
  scrollPageHeight_ = visibleHeight;
  native::ScrollChanged(*this);
}

void Form::ScrollTo(int horzPos, int vertPos) {
  if (!autoScroll_) return;
  horzPos = horzRange_ > 0 ? std::clamp(horzPos, 0, std::max(horzRange_ - ClientWidth(), 0)) : 0;
  vertPos = vertRange_ > 0 ? std::clamp(vertPos, 0, std::max(vertRange_ - ClientHeight(), 0)) : 0;
  if (horzPos == horzPos_ && vertPos == vertPos_) return;
  horzPos_ = horzPos;
  vertPos_ = vertPos;
  native::ScrollChanged(*this);
}

bool Form::ExecuteShortCut(ShortCut shortCut) {
  if (!shortCut) return false;
  for (Action* action : actions_) {
    if (action->GetShortCut() == shortCut) {
      action->Execute();
      return true;
    }
  }
  return false;
}

// ---- Application ------------------------------------------------------------------------------------

Application::Application() = default;
Application::~Application() = default;

void Application::SetTitle(const std::string& title) {
  title_ = title;
  native::SetApplicationTitle(*this, title);
}

void Application::RegisterForm(Form& form) {
  if (mainForm_ == nullptr) {
    // A new main form: the program that a closed one had ended starts again.
    mainForm_ = &form;
    terminated_ = false;
  }
  forms_.push_back(&form);
}

void Application::UnregisterForm(Form& form) {
  std::erase(forms_, &form);
  if (mainForm_ == &form) mainForm_ = nullptr;
}

void Application::Run() {
  if (mainForm_ == nullptr) return;
  terminated_ = false;
  mainForm_->Show();
  native::RunMessageLoop(*this);
}

void Application::ProcessMessages() { native::ProcessMessages(*this); }

os::WindowHandle Application::Handle() const { return native::ApplicationHandle(*this); }

void Application::Terminate() {
  terminated_ = true;
  native::Terminate(*this);
}

std::string Application::ErrorBoxText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.')) {
    return message + ".";
  }
  return message;
}

void Application::ShowError(const std::string& message) {
  native::ShowErrorBox(title_, ErrorBoxText(message));
}

void Application::HandleException(const std::exception& error) { ShowError(error.what()); }

void StandardFrameSize(BorderStyle borderStyle, bool hasMenu, int& extraWidth, int& extraHeight) {
  if (borderStyle == BorderStyle::Dialog) {
    extraWidth = 6;
    extraHeight = 29;
  } else {
    extraWidth = 16;
    extraHeight = 39;
  }
  if (hasMenu) extraHeight += 20;
}

int Application::ScreenPixelsPerInch() const { return native::ScreenPixelsPerInch(); }

int ScreenWidth() { return native::ScreenWidth(); }
int ScreenHeight() { return native::ScreenHeight(); }

TBitmap ProgramIconPicture(int width, int height, TColor background) {
  return native::ProgramIconPicture(width, height, background);
}

int RunProgram(Application& app, const std::string& title, const std::function<void()>& body) {
  try {
    app.SetTitle(title);
    body();
  } catch (const std::exception& error) {
    app.HandleException(error);
  } catch (...) {
    app.HandleException(std::runtime_error("Unexpected error"));
  }
  return 0;
}

}  // namespace ui
