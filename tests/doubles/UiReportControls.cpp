// The headless backend of the report-style list view and the combo box: both hold all their state in
// their classes, so what is left here is the list view's measure of its client width and the right-click
// that opens a control's pop-up menu.

#include <algorithm>

#include "platform/ui/UiNative.h"
#include "platform/ui/UiTesting.h"

namespace ui {

namespace native {

void ListColumnChanged(ListView&, int) {}

int ListClientWidth(const ListView& view) {
  const int inside = std::max(view.Width() - 2 * testing::kListBorder, 0);
  if (view.GetViewStyle() != ViewStyle::Report) return inside;
  const int pixelsPerInch = view.OwnerForm().PixelsPerInch();
  const int header = view.ShowColumnHeaders() ? ScaleForDpi(testing::kListHeaderHeight, pixelsPerInch) : 0;
  const int room = std::max(view.Height() - 2 * testing::kListBorder - header, 0);
  const long long rows =
      static_cast<long long>(view.Count()) * ScaleForDpi(testing::kListRowHeight, pixelsPerInch);
  if (rows <= room) return inside;
  return std::max(inside - ScaleForDpi(testing::kScrollBarWidth, pixelsPerInch), 0);
}

// A combo box holds its items, text and selection in its class; there is nothing more to keep.
void ComboBoxCreated(ComboBox&) {}

}  // namespace native

namespace testing {

PopupMenu* RightClick(Control& control, int screenX, int screenY) {
  // As the system passes the click up: the first control from the clicked one outwards with a menu.
  for (Control* target = &control; target != nullptr; target = target->Parent()) {
    if (PopupMenu* menu = target->GetPopupMenu()) {
      menu->Popup(screenX, screenY);
      return menu;
    }
  }
  return nullptr;
}

}  // namespace testing

}  // namespace ui
