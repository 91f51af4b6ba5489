// Image lists and list views of the Win32 backend: an HIMAGELIST of 32-bit opaque images beside each
// image list, and a COMCTL32 list view (icon or report style, with its columns and sub-items) that
// mirrors the items and selection of its ListView and reports only what the user did: selection
// changes, clicks, keys and captions edited in place.

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/UiWin32.h"

namespace ui {
namespace win32 {

namespace {

// Pixels between neighbouring cells of an icon view, so that the cells sit close with the selection
// frame still visible between them.
constexpr int kIconGap = 6;

class ImageListNative;
class ListViewNative;

std::unordered_map<const ImageList*, ImageListNative*>& ImageLists() {
  static std::unordered_map<const ImageList*, ImageListNative*> lists;
  return lists;
}

ImageListNative* FindImageList(const ImageList* list) {
  const auto it = ImageLists().find(list);
  return it == ImageLists().end() ? nullptr : it->second;
}

void ShowImagesInViews(const ImageList* list);

// The native image list of an ImageList; every list view that shows the list follows it when it is made
// anew (at a new size) and lets go of it when it goes.
class ImageListNative : public NativeData {
 public:
  explicit ImageListNative(const ImageList& list) : list_(&list) { ImageLists()[list_] = this; }
  ~ImageListNative() override {
    ImageLists().erase(list_);
    ShowImagesInViews(list_);
  }
  ImageListNative(const ImageListNative&) = delete;
  ImageListNative& operator=(const ImageListNative&) = delete;

  HIMAGELIST Handle() const { return handle_.get(); }
  int Width() const { return width_; }
  int Height() const { return height_; }

  // Holds the list's images at its size: made anew when the size changed, else emptied and refilled.
  void Rebuild(const ImageList& list) {
    if (!handle_ || list.Width() != width_ || list.Height() != height_) {
      // The native list needs at least one pixel each way; an empty size keeps the indexes in step.
      ImageListHandle created(ImageList_Create(std::max(list.Width(), 1), std::max(list.Height(), 1),
                                               ILC_COLOR32, std::max(list.Count(), 1), 16));
      if (!created) throw std::runtime_error("An image list cannot be created");
      ImageListHandle old = std::exchange(handle_, std::move(created));
      width_ = list.Width();
      height_ = list.Height();
      ShowImagesInViews(list_);
    } else {
      ImageList_RemoveAll(handle_.get());
    }
    for (int index = 0; index < list.Count(); ++index) Append(list.Picture(index));
  }

  void Add(const ImageList& list, int index) {
    if (ImageList_GetImageCount(handle_.get()) != index) {
      Rebuild(list);
      return;
    }
    Append(list.Picture(index));
  }

 private:
  void Append(const TBitmap& picture) {
    const BitmapHandle bitmap = CreateBitmapHandle(picture, width_, height_, clWhite);
    // Without a mask: the image is drawn opaque.
    if (ImageList_Add(handle_.get(), bitmap.get(), nullptr) < 0) {
      throw std::runtime_error("An image cannot be added to the image list");
    }
  }

  const ImageList* list_;
  ImageListHandle handle_;
  int width_ = 0, height_ = 0;
};

// Counts the changes this backend makes to a list view itself, whose notifications are not the user's.
class Changing {
 public:
  explicit Changing(int& depth) : depth_(depth) { ++depth_; }
  ~Changing() { --depth_; }
  Changing(const Changing&) = delete;
  Changing& operator=(const Changing&) = delete;

 private:
  int& depth_;
};

class ListViewNative : public WindowNative {
 public:
  explicit ListViewNative(ListView& view) : WindowNative(view), view_(view), images_(view.LargeImages()) {}

  const ImageList* Images() const { return images_; }

  void Create() {
    DWORD style = LVS_SHAREIMAGELISTS | WS_TABSTOP;
    const bool report = view_.GetViewStyle() == ViewStyle::Report;
    style |= report ? LVS_REPORT : LVS_ICON;
    if (view_.AutoArrange()) style |= LVS_AUTOARRANGE;
    if (!view_.HideSelection()) style |= LVS_SHOWSELALWAYS;
    if (!view_.MultiSelect()) style |= LVS_SINGLESEL;
    if (report && !view_.ShowColumnHeaders()) style |= LVS_NOCOLUMNHEADER;
    if (!view_.ReadOnly()) style |= LVS_EDITLABELS;
    CreateChild(WC_LISTVIEWA, style, WS_EX_CLIENTEDGE, false);
    InsertColumns();
    ApplyColor();
    UpdateBuffering();
    ShowImages();
    if (view_.Count() > 0) InsertItems(0);
  }

  void ShowImages() {
    if (hwnd_ == nullptr) return;
    const ImageListNative* list = FindImageList(images_);
    SendMessageA(hwnd_, LVM_SETIMAGELIST, LVSIL_NORMAL,
                 reinterpret_cast<LPARAM>(list ? list->Handle() : nullptr));
    if (list == nullptr) return;
    const int width = std::max(list->Width(), 1) + kIconGap, height = std::max(list->Height(), 1) + kIconGap;
    SendMessageA(hwnd_, LVM_SETICONSPACING, 0, MAKELPARAM(width, height));
    if (view_.AutoArrange()) SendMessageA(hwnd_, LVM_ARRANGE, LVA_DEFAULT, 0);
  }

  void UpdateBuffering() {
    if (hwnd_ == nullptr) return;
    SendMessageA(hwnd_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_DOUBLEBUFFER,
                 FormDoubleBuffered() ? LVS_EX_DOUBLEBUFFER : 0);
  }

  void InsertItems(int first) {
    if (hwnd_ == nullptr) return;
    const Changing changing(changing_);
    // Out of step (an item the list refused earlier): the list is filled anew.
    if (SendMessageA(hwnd_, LVM_GETITEMCOUNT, 0, 0) != first) {
      SendMessageA(hwnd_, LVM_DELETEALLITEMS, 0, 0);
      first = 0;
    }
    for (int index = first; index < view_.Count(); ++index) {
      LVITEMA item{};
      item.mask = LVIF_TEXT | LVIF_IMAGE;
      item.iItem = index;
      item.iImage = view_.ItemImageIndex(index);
      item.pszText = const_cast<char*>(view_.ItemCaption(index).c_str());
      if (SendMessageA(hwnd_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)) < 0) {
        throw std::runtime_error("An item cannot be added to the list");
      }
      // The further columns show the sub-items.
      for (int column = 1; column < static_cast<int>(view_.Columns().size()); ++column) {
        const std::string text = view_.SubItem(index, column);
        if (text.empty()) continue;
        LVITEMA subItem{};
        subItem.iSubItem = column;
        subItem.pszText = const_cast<char*>(text.c_str());
        SendMessageA(hwnd_, LVM_SETITEMTEXTA, index, reinterpret_cast<LPARAM>(&subItem));
      }
      if (view_.Selected(index)) MirrorSelected(index);
    }
  }

  void MirrorColumnWidth(int column) {
    if (hwnd_ == nullptr || column < 0 || column >= static_cast<int>(view_.Columns().size())) return;
    SendMessageA(hwnd_, LVM_SETCOLUMNWIDTH, column, MAKELPARAM(view_.Columns()[column].width, 0));
  }

  int ClientWidth() const {
    if (hwnd_ == nullptr) return std::max(view_.Width() - 2 * GetSystemMetrics(SM_CXEDGE), 0);
    // The client area lies inside the border and leaves out the scroll bars the view shows.
    RECT client;
    GetClientRect(hwnd_, &client);
    return client.right;
  }

  void DeleteAll() {
    if (hwnd_ == nullptr) return;
    const Changing changing(changing_);
    SendMessageA(hwnd_, LVM_DELETEALLITEMS, 0, 0);
  }

  void MirrorSelected(int index) {
    if (hwnd_ == nullptr || index < 0 || index >= view_.Count()) return;
    const Changing changing(changing_);
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED;
    item.state = view_.Selected(index) ? LVIS_SELECTED : 0;
    SendMessageA(hwnd_, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item));
  }

  void SetRedraw(bool on) {
    if (hwnd_ == nullptr) return;
    SendMessageA(hwnd_, WM_SETREDRAW, on ? TRUE : FALSE, 0);
    if (on) RedrawWindow(hwnd_, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
  }

  void Update(native::Change what) override {
    if (what == native::Change::Color) {
      ApplyColor();
      return;
    }
    WindowNative::Update(what);
  }

  bool Notify(const NMHDR& header, LRESULT& result) override {
    result = 0;
    switch (header.code) {
      case LVN_ITEMCHANGED: {
        if (changing_ > 0) return true;
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        if ((change.uChanged & LVIF_STATE) == 0) return true;
        if (change.iItem < 0) {
          // All items at once: each one that differs from the class is reported.
          ReportAll();
        } else if (((change.uOldState ^ change.uNewState) & LVIS_SELECTED) != 0) {
          Report(change.iItem, (change.uNewState & LVIS_SELECTED) != 0);
        }
        return true;
      }
      case NM_CLICK:
        view_.NativeClick();
        return true;
      case NM_DBLCLK:
        view_.NativeDblClick();
        return true;
      case LVN_KEYDOWN:
        view_.NativeKeyDown(reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey);
        return true;
      case LVN_BEGINLABELEDITA:
        // TRUE refuses the edit.
        result = view_.ReadOnly() || !view_.Enabled() ? TRUE : FALSE;
        return true;
      case LVN_ENDLABELEDITA: {
        const LVITEMA& item = reinterpret_cast<const NMLVDISPINFOA&>(header).item;
        // No text: the edit was cancelled. The view takes the new caption only when the class did.
        if (item.pszText == nullptr || item.iItem < 0 || item.iItem >= view_.Count()) return true;
        const std::string caption = item.pszText;
        view_.NativeCaptionEdited(item.iItem, caption);
        result = view_.ItemCaption(item.iItem) == caption ? TRUE : FALSE;
        return true;
      }
      default:
        return false;
    }
  }

 private:
  void ApplyColor() {
    if (hwnd_ == nullptr) return;
    const COLORREF color = ToColorRef(view_.Color());
    SendMessageA(hwnd_, LVM_SETBKCOLOR, 0, color);
    SendMessageA(hwnd_, LVM_SETTEXTBKCOLOR, 0, color);
    InvalidateRect(hwnd_, nullptr, TRUE);
  }

  void ReportAll() {
    for (int index = 0; index < view_.Count(); ++index) {
      const bool selected =
          (SendMessageA(hwnd_, LVM_GETITEMSTATE, index, LVIS_SELECTED) & LVIS_SELECTED) != 0;
      Guard(app_, [&] { Report(index, selected); });
    }
  }

  // Tells the class of the user's change of an item's state; a change it refused (a disabled view
  // takes no input) is undone in the view.
  void Report(int index, bool selected) {
    if (index < 0 || index >= view_.Count()) return;
    view_.NativeSelectionChanged(index, selected);
    if (view_.Selected(index) != selected) MirrorSelected(index);
  }

  void InsertColumns() {
    const std::vector<ListColumn>& columns = view_.Columns();
    for (int index = 0; index < static_cast<int>(columns.size()); ++index) {
      const ListColumn& column = columns[index];
      LVCOLUMNA info{};
      info.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
      info.fmt = column.alignment == TextAlign::Right    ? LVCFMT_RIGHT
                 : column.alignment == TextAlign::Center ? LVCFMT_CENTER
                                                         : LVCFMT_LEFT;
      info.cx = column.width;
      info.pszText = const_cast<char*>(column.caption.c_str());
      info.iSubItem = index;
      if (SendMessageA(hwnd_, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&info)) != index) {
        throw std::runtime_error("The column \"" + column.caption + "\" cannot be added to the list");
      }
    }
  }

  ListView& view_;
  const ImageList* images_;
  int changing_ = 0;
};

void ShowImagesInViews(const ImageList* list) {
  for (WindowNative* native : AllWindowNatives()) {
    if (auto* view = dynamic_cast<ListViewNative*>(native); view != nullptr && view->Images() == list) {
      view->ShowImages();
    }
  }
}

ListViewNative* ViewNative(ListView& view) { return dynamic_cast<ListViewNative*>(view.Native()); }
ImageListNative* ListNative(const ImageList& list) { return dynamic_cast<ImageListNative*>(list.Native()); }

}  // namespace

void CreateImageListNative(ImageList& list) {
  auto native = std::make_unique<ImageListNative>(list);
  native->Rebuild(list);
  list.SetNative(std::move(native));
}

void CreateListViewNative(ListView& view) {
  auto native = std::make_unique<ListViewNative>(view);
  native->Create();
  view.SetNative(std::move(native));
}

void UpdateListViewBuffering(Form& form) {
  for (WindowNative* native : AllWindowNatives()) {
    if (auto* view = dynamic_cast<ListViewNative*>(native);
        view != nullptr && &view->GetControl().OwnerForm() == &form) {
      view->UpdateBuffering();
    }
  }
}

HIMAGELIST ImageListHandleOf(const ImageList& list) {
  const ImageListNative* native = ListNative(list);
  return native != nullptr ? native->Handle() : nullptr;
}

}  // namespace win32

namespace native {

using namespace win32;

void ImageListChanged(ImageList& list) {
  if (ImageListNative* native = ListNative(list)) native->Rebuild(list);
}

void ImageAdded(ImageList& list, int index) {
  if (ImageListNative* native = ListNative(list)) native->Add(list, index);
}

void ListItemsAdded(ListView& view, int firstIndex) {
  if (ListViewNative* native = ViewNative(view)) native->InsertItems(firstIndex);
}

void ListCleared(ListView& view) {
  if (ListViewNative* native = ViewNative(view)) native->DeleteAll();
}

void ListItemSelected(ListView& view, int index) {
  if (ListViewNative* native = ViewNative(view)) native->MirrorSelected(index);
}

void ListUpdating(ListView& view, bool suspended) {
  if (ListViewNative* native = ViewNative(view)) native->SetRedraw(!suspended);
}

void ListColumnChanged(ListView& view, int column) {
  if (ListViewNative* native = ViewNative(view)) native->MirrorColumnWidth(column);
}

int ListClientWidth(const ListView& view) {
  if (const auto* native = dynamic_cast<const ListViewNative*>(view.Native())) return native->ClientWidth();
  return std::max(view.Width() - 2 * GetSystemMetrics(SM_CXEDGE), 0);
}

}  // namespace native
}  // namespace ui
