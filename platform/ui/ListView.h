#pragma once
// The image list and the list view (icon and report styles) of the window classes (platform/ui/Controls.h).

#include <functional>
#include <string>
#include <vector>

#include "platform/ui/Controls.h"

namespace ui {
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
  // The column (1 or later) as wide as its widest text in the view's font with the margins the view
  // keeps beside a text, and not narrower than minimumWidth.
  void FitColumnToTexts(int column, int minimumWidth);
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

}  // namespace ui
