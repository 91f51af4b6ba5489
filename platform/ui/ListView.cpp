// The portable half of the image list and the list view.

#include "platform/ui/ListView.h"

#include <algorithm>
#include <functional>
#include <stdexcept>

#include "platform/text/Text.h"
#include "platform/ui/Shared.h"
#include "platform/ui/UiNative.h"

namespace ui {

using namespace detail;

namespace {

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

void ListView::FitColumnToTexts(int column, int minimumWidth) {
  // The report view keeps about six pixels (at 96 pixels per inch) beside a text on either side.
  const int pixelsPerInch = PixelsPerInch();
  int widest = 0;
  if (!items_.empty()) {
    const TextRenderer renderer(GetFont(), pixelsPerInch);
    for (int index = 0; index < Count(); ++index) {
      const std::string text = SubItem(index, column);
      if (!text.empty()) widest = std::max(widest, renderer.Measure(text).width);
    }
  }
  SetColumnWidth(column, std::max(minimumWidth, widest > 0 ? widest + ScaleForDpi(12, pixelsPerInch) : 0));
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

}  // namespace ui
