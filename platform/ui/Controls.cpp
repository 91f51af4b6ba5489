// The portable half of the window classes: state, layout, events (the backend mirrors the state).
// Components, controls, the simple controls and the combo box.

#include "platform/ui/Controls.h"

#include <algorithm>
#include <functional>
#include <stdexcept>

#include "platform/ui/Shared.h"
#include "platform/ui/UiNative.h"

namespace ui {

using namespace detail;

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
  default_ = props.isDefault;
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

int CheckBox::FittingWidth() const {
  // The box (13 pixels at 96 pixels per inch), the gap before the caption and the focus outline's
  // margin after it.
  const TextRenderer renderer(GetFont(), PixelsPerInch());
  return renderer.Measure(Caption()).width + ScaleForDpi(20, PixelsPerInch());
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

}  // namespace ui
