// Image lists and list views of the Qt backend. An image list keeps its pictures as pixmaps; a list view
// is a QListWidget in icon mode (the pictures at their size in a grid, captions below) or a QTreeWidget
// with columns (report style). The widget mirrors the items and the selection of its ListView and reports
// only what the user did: selection changes, clicks, keys, captions edited in place, the pop-up menu.
//
// Large lists stay fast. While the class suspends repainting, new items wait and go into the widget in one
// batch when it resumes. A selection the class changed goes into the widget as runs of neighbouring items
// once the calls of the moment are over (or at once when the user acts on the widget): selecting all of
// 65536 items one by one makes one selection of one run, not 65536 selections.

#include <QAbstractItemView>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QItemSelection>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QPalette>
#include <QPixmap>
#include <QScrollBar>
#include <QTreeWidget>
#include <algorithm>
#include <memory>
#include <set>
#include <vector>

#include "platform/qt/UiQt.h"

namespace ui::qt {

namespace {

// Pixels between neighbouring cells of an icon view, so that the cells sit close with the selection
// still visible between them.
constexpr int kIconGap = 6;
// Items laid out at a time by an icon view, between which it handles other events.
constexpr int kLayoutBatch = 4096;

class ImageListNative;
class ListViewNative;

std::vector<ImageListNative*>& ImageLists() {
  static std::vector<ImageListNative*> lists;
  return lists;
}

std::vector<ListViewNative*>& ListViews() {
  static std::vector<ListViewNative*> views;
  return views;
}

// The native image list of an image list that still exists (looked up by address only, so that a view
// never touches an image list that went before it).
ImageListNative* FindImageList(const ImageList* list);
void ImagesChanged(const ImageList* list, bool added);

// The pictures of an image list as pixmaps, at the list's size.
class ImageListNative : public NativeData {
 public:
  explicit ImageListNative(const ImageList& list) : list_(&list) { ImageLists().push_back(this); }
  ~ImageListNative() override {
    std::erase(ImageLists(), this);
    ImagesChanged(list_, false);
  }
  ImageListNative(const ImageListNative&) = delete;
  ImageListNative& operator=(const ImageListNative&) = delete;

  const ImageList* List() const { return list_; }
  QSize Size() const { return size_; }
  const QPixmap* Pixmap(int index) const {
    return index >= 0 && index < static_cast<int>(pixmaps_.size()) ? &pixmaps_[index] : nullptr;
  }

  void Rebuild(const ImageList& list) {
    pixmaps_.clear();
    size_ = QSize(list.Width(), list.Height());
    for (int index = 0; index < list.Count(); ++index) Append(list.Picture(index));
    ImagesChanged(list_, false);
  }

  void Add(const ImageList& list, int index) {
    if (index != static_cast<int>(pixmaps_.size())) {
      Rebuild(list);
      return;
    }
    Append(list.Picture(index));
    ImagesChanged(list_, true);
  }

 private:
  void Append(const TBitmap& picture) { pixmaps_.push_back(QPixmap::fromImage(ToQImage(picture))); }

  const ImageList* list_;
  QSize size_;
  std::vector<QPixmap> pixmaps_;
};

ImageListNative* FindImageList(const ImageList* list) {
  for (ImageListNative* native : ImageLists()) {
    if (native->List() == list) return native;
  }
  return nullptr;
}

// Counts the changes this backend makes to a widget itself, whose signals are not the user's.
class Changing {
 public:
  explicit Changing(int& depth) : depth_(depth) { ++depth_; }
  ~Changing() { --depth_; }
  Changing(const Changing&) = delete;
  Changing& operator=(const Changing&) = delete;

 private:
  int& depth_;
};

// A list widget (icon or report) that hands the user's mouse, keys and edits to its native object; the
// object is null once it has gone.
template <class Base>
class ReportingView : public Base {
 public:
  explicit ReportingView(QWidget* parent) : Base(parent) {}
  ListViewNative* owner = nullptr;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  bool edit(const QModelIndex& index, QAbstractItemView::EditTrigger trigger, QEvent* event) override;

 private:
  bool afterDoubleClick_ = false;
};

using IconView = ReportingView<QListWidget>;
using ReportView = ReportingView<QTreeWidget>;

// An item of an icon view: its picture is the image of its index in the view's image list, as that list
// holds it now (a picture added after the item shows as soon as it is there).
class CellItem : public QListWidgetItem {
 public:
  explicit CellItem(int imageIndex)
      : QListWidgetItem(nullptr, QListWidgetItem::UserType), image_(imageIndex) {}
  QVariant data(int role) const override;

 private:
  int image_;
};

class ListViewNative : public WidgetNative {
 public:
  ListViewNative(ListView& view, QAbstractItemView* widget) : WidgetNative(view, widget), view_(view) {
    ListViews().push_back(this);
  }
  ~ListViewNative() override {
    std::erase(ListViews(), this);
    if (auto* icons = Icons()) icons->owner = nullptr;
    if (auto* report = Report()) report->owner = nullptr;
  }
  ListViewNative(const ListViewNative&) = delete;
  ListViewNative& operator=(const ListViewNative&) = delete;

  IconView* Icons() const { return dynamic_cast<IconView*>(widget_.data()); }
  ReportView* Report() const { return dynamic_cast<ReportView*>(widget_.data()); }
  QAbstractItemView* View() const { return static_cast<QAbstractItemView*>(widget_.data()); }
  const ImageList* Images() const { return view_.LargeImages(); }
  ListView& GetView() const { return view_; }

  void Start() {
    QAbstractItemView* widget = View();
    const bool editable = !view_.ReadOnly();
    widget->setSelectionMode(view_.MultiSelect() ? QAbstractItemView::ExtendedSelection
                                                 : QAbstractItemView::SingleSelection);
    widget->setEditTriggers(editable ? QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed
                                     : QAbstractItemView::NoEditTriggers);
    widget->setFocusPolicy(Qt::StrongFocus);
    if (IconView* icons = Icons()) {
      icons->owner = this;
      icons->setViewMode(QListView::IconMode);
      icons->setMovement(QListView::Static);
      icons->setFlow(QListView::LeftToRight);
      icons->setWrapping(true);
      icons->setResizeMode(view_.AutoArrange() ? QListView::Adjust : QListView::Fixed);
      icons->setUniformItemSizes(true);
      icons->setLayoutMode(QListView::Batched);
      icons->setBatchSize(kLayoutBatch);
      icons->setSpacing(0);
      icons->setWordWrap(true);
      icons->setSelectionRectVisible(view_.MultiSelect());
    } else if (ReportView* report = Report()) {
      report->owner = this;
      const std::vector<ListColumn>& columns = view_.Columns();
      report->setColumnCount(std::max<int>(static_cast<int>(columns.size()), 1));
      report->setRootIsDecorated(false);
      report->setItemsExpandable(false);
      report->setUniformRowHeights(true);
      report->setAllColumnsShowFocus(true);
      report->setSelectionBehavior(QAbstractItemView::SelectRows);
      report->setHeaderHidden(!view_.ShowColumnHeaders());
      report->header()->setStretchLastSection(false);
      report->header()->setSectionsMovable(false);
      QTreeWidgetItem* header = report->headerItem();
      for (int column = 0; column < static_cast<int>(columns.size()); ++column) {
        header->setText(column, ToQString(columns[column].caption));
        header->setTextAlignment(column, Alignment(column));
        report->header()->resizeSection(column, columns[column].width);
      }
    }
    QObject::connect(widget->selectionModel(), &QItemSelectionModel::selectionChanged, widget,
                     [this](const QItemSelection& selected, const QItemSelection& deselected) {
                       SelectionChanged(selected, deselected);
                     });
    QObject::connect(widget->model(), &QAbstractItemModel::dataChanged, widget,
                     [this](const QModelIndex& topLeft, const QModelIndex& bottomRight,
                            const QList<int>& roles) { DataChanged(topLeft, bottomRight, roles); });
    for (const native::Change what : {native::Change::Bounds, native::Change::Visible,
                                      native::Change::Enabled, native::Change::Font, native::Change::Hint}) {
      WidgetNative::Update(what);
    }
    ApplyColor();
    ShowImages();
    AddItems(0);
  }

  // ---- What the class changed ----

  void AddItems(int first) {
    // Out of step (the class has fewer items than the widget): the widget is filled anew.
    if (first < shown_) ClearWidget();
    if (!updating_) Flush();
  }

  void ClearWidget() {
    const Changing changing(changing_);
    if (IconView* icons = Icons()) icons->clear();
    if (ReportView* report = Report()) report->clear();
    shown_ = 0;
    selectionDirty_ = false;
  }

  void MarkSelection() {
    selectionDirty_ = true;
    if (flushPosted_ || View() == nullptr) return;
    flushPosted_ = true;
    // After the calls of the moment (a loop over every item): the widget's selection in one go.
    QMetaObject::invokeMethod(
        View(),
        [this] {
          flushPosted_ = false;
          if (!updating_) Flush();
        },
        Qt::QueuedConnection);
  }

  void SetUpdating(bool suspended) {
    updating_ = suspended;
    if (View() == nullptr) return;
    View()->setUpdatesEnabled(!suspended);
    if (!suspended) Flush();
  }

  void ShowColumnWidth(int column) {
    ReportView* report = Report();
    if (report == nullptr || column < 0 || column >= static_cast<int>(view_.Columns().size())) return;
    const Changing changing(changing_);
    report->header()->resizeSection(column, view_.Columns()[column].width);
  }

  int ClientWidth() const {
    const QAbstractItemView* widget = View();
    if (widget == nullptr) return std::max(view_.Width() - 4, 0);
    if (widget->isVisible()) return widget->viewport()->width();
    // A hidden widget has not laid out its viewport yet: the width inside the frame, less the scroll bar.
    const QScrollBar* bar = widget->verticalScrollBar();
    const int barWidth = bar->isVisibleTo(widget) ? bar->sizeHint().width() : 0;
    return std::max(view_.Width() - 2 * widget->frameWidth() - barWidth, 0);
  }

  // The images, their size or the image list itself changed.
  void ShowImages() {
    IconView* icons = Icons();
    if (icons == nullptr) return;
    const ImageListNative* list = FindImageList(Images());
    const QSize size = list != nullptr ? list->Size() : QSize(0, 0);
    icons->setIconSize(size);
    // The cell: the picture and the gap, with a line for the caption below when items have captions.
    const int captionHeight = hasCaptions_ ? icons->fontMetrics().lineSpacing() + 2 : 0;
    icons->setGridSize(
        QSize(std::max(size.width(), 1) + kIconGap, std::max(size.height(), 1) + kIconGap + captionHeight));
    icons->viewport()->update();
  }

  void ImageAdded() {
    if (IconView* icons = Icons(); icons != nullptr && icons->updatesEnabled()) icons->viewport()->update();
  }

  void Update(native::Change what) override {
    if (what == native::Change::Color) {
      ApplyColor();
      return;
    }
    WidgetNative::Update(what);
    if (what == native::Change::Font) ShowImages();
  }

  // ---- What the user did ----

  // Before the user's input reaches the widget, the widget shows what the class holds.
  void BeforeInput() { Flush(); }

  void Clicked() {
    Guard(app_, [this] { view_.NativeClick(); });
  }
  void DoubleClicked() {
    Guard(app_, [this] { view_.NativeDblClick(); });
  }
  void KeyDown(const QKeyEvent& event) {
    const int key = VirtualKeyOf(event);
    if (key != 0) Guard(app_, [this, key] { view_.NativeKeyDown(key); });
  }
  void ContextMenu(const QPoint& screen) {
    PopupMenu* menu = view_.GetPopupMenu();
    if (menu != nullptr) Guard(app_, [&] { menu->Popup(screen.x(), screen.y()); });
  }
  bool MayEdit(const QModelIndex& index) const {
    return !view_.ReadOnly() && view_.Enabled() && index.column() == 0 && index.row() < view_.Count();
  }

  const QPixmap* Pixmap(int imageIndex) const {
    const ImageListNative* list = FindImageList(Images());
    return list != nullptr ? list->Pixmap(imageIndex) : nullptr;
  }

 private:
  Qt::Alignment Alignment(int column) const {
    const TextAlign align = view_.Columns()[column].alignment;
    const Qt::Alignment horizontal = align == TextAlign::Right    ? Qt::AlignRight
                                     : align == TextAlign::Center ? Qt::AlignHCenter
                                                                  : Qt::AlignLeft;
    return horizontal | Qt::AlignVCenter;
  }

  // Puts the waiting items into the widget, then the class's selection when it changed.
  void Flush() {
    if (View() == nullptr) return;
    if (shown_ < view_.Count()) InsertItems();
    if (selectionDirty_) ShowSelection();
  }

  void InsertItems() {
    const Changing changing(changing_);
    const int count = view_.Count();
    const Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren |
                                (view_.ReadOnly() ? Qt::ItemFlags() : Qt::ItemIsEditable);
    bool captions = hasCaptions_;
    if (IconView* icons = Icons()) {
      for (int index = shown_; index < count; ++index) {
        auto* item = new CellItem(view_.ItemImageIndex(index));
        item->setFlags(flags);
        // An item without caption has no text at all, so that its cell is the picture alone.
        if (const std::string& caption = view_.ItemCaption(index); !caption.empty()) {
          item->setText(ToQString(caption));
          item->setTextAlignment(Qt::AlignHCenter | Qt::AlignTop);
          captions = true;
        }
        icons->addItem(item);
      }
    } else if (ReportView* report = Report()) {
      const int columns = std::max<int>(static_cast<int>(view_.Columns().size()), 1);
      QList<QTreeWidgetItem*> items;
      items.reserve(count - shown_);
      for (int index = shown_; index < count; ++index) {
        auto* item = new QTreeWidgetItem();
        item->setFlags(flags);
        for (int column = 0; column < columns; ++column) {
          item->setText(column, ToQString(view_.SubItem(index, column)));
          if (column < static_cast<int>(view_.Columns().size())) {
            item->setTextAlignment(column, Alignment(column));
          }
        }
        items.append(item);
      }
      report->addTopLevelItems(items);
    }
    for (int index = shown_; index < count && !selectionDirty_; ++index)
      selectionDirty_ = view_.Selected(index);
    shown_ = count;
    if (captions != hasCaptions_) {
      hasCaptions_ = captions;
      ShowImages();
    }
  }

  // The widget's selection made the class's, as runs of neighbouring items.
  void ShowSelection() {
    selectionDirty_ = false;
    QAbstractItemView* widget = View();
    QAbstractItemModel* model = widget->model();
    QItemSelection selection;
    const int rows = std::min(shown_, model->rowCount());
    for (int index = 0; index < rows;) {
      if (!view_.Selected(index)) {
        ++index;
        continue;
      }
      const int first = index;
      while (index < rows && view_.Selected(index)) ++index;
      selection.select(model->index(first, 0), model->index(index - 1, 0));
    }
    const Changing changing(changing_);
    widget->selectionModel()->select(selection,
                                     QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  }

  void SelectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    if (changing_ > 0) return;
    // Each row once (a report row comes once per column), those that lost the selection first.
    auto rowsOf = [](const QItemSelection& selection) {
      std::set<int> rows;
      for (const QItemSelectionRange& range : selection) {
        for (int row = range.top(); row <= range.bottom(); ++row) rows.insert(row);
      }
      return rows;
    };
    QItemSelectionModel* model = View()->selectionModel();
    for (const bool nowSelected : {false, true}) {
      for (const int row : rowsOf(nowSelected ? selected : deselected)) {
        if (row >= view_.Count() || model->isRowSelected(row, QModelIndex()) != nowSelected) continue;
        Guard(app_, [&] { view_.NativeSelectionChanged(row, nowSelected); });
        // A change the class refused (a disabled view takes no input) is undone in the widget.
        if (row < view_.Count() && view_.Selected(row) != nowSelected) MarkSelection();
      }
    }
  }

  void DataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) {
    if (changing_ > 0 || topLeft.column() != 0) return;
    if (!roles.isEmpty() && !roles.contains(Qt::DisplayRole) && !roles.contains(Qt::EditRole)) return;
    QAbstractItemModel* model = View()->model();
    for (int row = topLeft.row(); row <= bottomRight.row() && row < view_.Count(); ++row) {
      const std::string caption = FromQString(model->data(model->index(row, 0), Qt::DisplayRole).toString());
      if (caption == view_.ItemCaption(row)) continue;
      Guard(app_, [&] { view_.NativeCaptionEdited(row, caption); });
      // The widget keeps the new caption only when the class took it.
      if (row < view_.Count() && view_.ItemCaption(row) != caption) {
        const Changing changing(changing_);
        model->setData(model->index(row, 0), ToQString(view_.ItemCaption(row)), Qt::DisplayRole);
      }
    }
  }

  void ApplyColor() {
    QAbstractItemView* widget = View();
    if (widget == nullptr) return;
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, ToQColor(view_.Color()));
    if (view_.HideSelection()) {
      // Without the focus the selection does not show.
      palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Base));
      palette.setColor(QPalette::Inactive, QPalette::HighlightedText, palette.color(QPalette::Text));
    }
    widget->setPalette(palette);
  }

  ListView& view_;
  int shown_ = 0;  // the items the widget holds: the class's first ones
  int changing_ = 0;
  bool updating_ = false;
  bool selectionDirty_ = false;
  bool flushPosted_ = false;
  bool hasCaptions_ = false;
};

QVariant CellItem::data(int role) const {
  if (role == Qt::DecorationRole) {
    const auto* view = static_cast<const IconView*>(listWidget());
    const QPixmap* pixmap = view != nullptr && view->owner != nullptr ? view->owner->Pixmap(image_) : nullptr;
    return pixmap != nullptr ? QVariant(*pixmap) : QVariant();
  }
  return QListWidgetItem::data(role);
}

template <class Base>
void ReportingView<Base>::mousePressEvent(QMouseEvent* event) {
  if (owner != nullptr) owner->BeforeInput();
  afterDoubleClick_ = false;
  Base::mousePressEvent(event);
}

template <class Base>
void ReportingView<Base>::mouseReleaseEvent(QMouseEvent* event) {
  // After the widget's own handling: a click that selects on release has selected when the click is told.
  Base::mouseReleaseEvent(event);
  const bool click = event->button() == Qt::LeftButton && !afterDoubleClick_;
  afterDoubleClick_ = false;
  if (click && owner != nullptr) owner->Clicked();
}

template <class Base>
void ReportingView<Base>::mouseDoubleClickEvent(QMouseEvent* event) {
  if (owner != nullptr) owner->BeforeInput();
  Base::mouseDoubleClickEvent(event);
  if (event->button() != Qt::LeftButton) return;
  // The release that ends a double click is no click of its own.
  afterDoubleClick_ = true;
  if (owner != nullptr) owner->DoubleClicked();
}

template <class Base>
void ReportingView<Base>::keyPressEvent(QKeyEvent* event) {
  if (owner != nullptr) {
    owner->BeforeInput();
    // The key is told before the view moves or selects by it.
    owner->KeyDown(*event);
  }
  Base::keyPressEvent(event);
}

template <class Base>
void ReportingView<Base>::contextMenuEvent(QContextMenuEvent* event) {
  if (owner != nullptr) owner->ContextMenu(event->globalPos());
  event->accept();
}

template <class Base>
bool ReportingView<Base>::edit(const QModelIndex& index, QAbstractItemView::EditTrigger trigger,
                               QEvent* event) {
  if (owner == nullptr || !owner->MayEdit(index)) return false;
  return Base::edit(index, trigger, event);
}

void ImagesChanged(const ImageList* list, bool added) {
  for (ListViewNative* view : ListViews()) {
    if (view->Images() != list) continue;
    if (added) {
      view->ImageAdded();
    } else {
      view->ShowImages();
    }
  }
}

ListViewNative* ViewNative(const ListView& view) { return dynamic_cast<ListViewNative*>(view.Native()); }
ImageListNative* ListNative(const ImageList& list) { return dynamic_cast<ImageListNative*>(list.Native()); }

}  // namespace

void CreateImageListNative(ImageList& list) {
  EnsureApplication();
  auto native = std::make_unique<ImageListNative>(list);
  native->Rebuild(list);
  list.SetNative(std::move(native));
}

void CreateListViewNative(ListView& view) {
  EnsureApplication();
  QWidget* parent = view.Parent() != nullptr ? ContainerWidget(*view.Parent()) : nullptr;
  QAbstractItemView* widget = nullptr;
  if (view.GetViewStyle() == ViewStyle::Report) {
    widget = new ReportView(parent);
  } else {
    widget = new IconView(parent);
  }
  auto native = std::make_unique<ListViewNative>(view, widget);
  ListViewNative& created = *native;
  view.SetNative(std::move(native));
  created.Start();
}

}  // namespace ui::qt

namespace ui::native {

using namespace ui::qt;

void ImageListChanged(ImageList& list) {
  if (ImageListNative* native = ListNative(list)) native->Rebuild(list);
}

void ImageAdded(ImageList& list, int index) {
  if (ImageListNative* native = ListNative(list)) native->Add(list, index);
}

void ListItemsAdded(ListView& view, int firstIndex) {
  if (ListViewNative* native = ViewNative(view)) native->AddItems(firstIndex);
}

void ListCleared(ListView& view) {
  if (ListViewNative* native = ViewNative(view)) native->ClearWidget();
}

void ListItemSelected(ListView& view, int /*index*/) {
  if (ListViewNative* native = ViewNative(view)) native->MarkSelection();
}

void ListUpdating(ListView& view, bool suspended) {
  if (ListViewNative* native = ViewNative(view)) native->SetUpdating(suspended);
}

void ListColumnChanged(ListView& view, int column) {
  if (ListViewNative* native = ViewNative(view)) native->ShowColumnWidth(column);
}

int ListClientWidth(const ListView& view) {
  if (const ListViewNative* native = ViewNative(view)) return native->ClientWidth();
  return std::max(view.Width() - 4, 0);
}

}  // namespace ui::native
