// The Qt backend's list views, menus, dialogs, clipboard and shell, driven through their widgets under
// Qt's offscreen platform as a user drives them: the classes see the user's changes once each and never
// their own; the dialogs are answered from a timer that finds them open.

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFontDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <string>
#include <vector>

#include "platform/qt/UiQt.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/Shell.h"
#include "platform/ui/Ui.h"
#include "tests/support/TestSupport.h"

// The key path of the window system (as a key pressed on the keyboard: shortcuts first), exported by QtGui
// for tests.
Q_GUI_EXPORT bool qt_handleKeyEvent(QWindow* window, QEvent::Type type, int key,
                                    Qt::KeyboardModifiers modifiers, const QString& text = QString(),
                                    bool autorep = false, ushort count = 1);

namespace {

using Selection = std::pair<int, bool>;

struct TestForm : ui::Form {
  explicit TestForm(ui::Application& app) : Form(app, {.caption = "Lists", .bounds = {0, 0, 420, 300}}) {
    Images.Create(*this, {.width = 20, .height = 16});
    Popup.Create(*this);
    PopCopy.Create(Popup, "&Copy");
    Menu.Create(*this);
    MenFile.Create(Menu, "&File");
    MenSave.Create(MenFile, "&Save\tCtrl+S");
    MenLine.Create(MenFile, "-");
    MenExit.Create(MenFile, "E&xit");
    ActSave.Create(*this, {.key = 'S', .ctrl = true});
    Icons.Create(*this, {.bounds = {0, 0, 200, 200},
                         .multiSelect = true,
                         .hideSelection = false,
                         .largeImages = &Images,
                         .popupMenu = &Popup});
    Report.Create(*this, {.bounds = {210, 0, 200, 200},
                          .viewStyle = ui::ViewStyle::Report,
                          .columns = {{"Name", 80}, {"Size", 60, ui::TextAlign::Right}},
                          .readOnly = false});
    FodFont.Create(*this, {.name = "DejaVu Sans", .size = 10});
    CldColor.Create(*this);
    // (Labels that show their patterns in capitals, as the programs' export types do.)
    SvdSave.Create(*this, {.filter = "(*.BMP)|*.bmp|(*.JPG)|*.jpg;*.jpeg", .defaultExt = "bmp"});
    OpdOpen.Create(*this, {.filter = "All files|*"});
    Icons.OnSelectItem =
        Report.OnSelectItem = [this](int index, bool selected) { selections.emplace_back(index, selected); };
    Icons.OnClick = [this] { log.push_back("click"); };
    Icons.OnDblClick = [this] { log.push_back("double"); };
    Icons.OnKeyDown = [this](int key) { log.push_back("key " + std::to_string(key)); };
    PopCopy.OnClick = [this] { log.push_back("copy"); };
    MenSave.OnClick = [this] { log.push_back("save"); };
    ActSave.OnExecute = [this] { log.push_back("action save"); };
  }

  QWidget* Window() const { return static_cast<QWidget*>(Native()->WindowHandle()); }

  ui::ImageList Images;
  ui::PopupMenu Popup;
  ui::MenuItem PopCopy;
  ui::MainMenu Menu;
  ui::MenuItem MenFile, MenSave, MenLine, MenExit;
  ui::Action ActSave;
  ui::ListView Icons, Report;
  ui::FontDialog FodFont;
  ui::ColorDialog CldColor;
  ui::SaveDialog SvdSave;
  ui::OpenDialog OpdOpen;
  std::vector<Selection> selections;
  std::vector<std::string> log;
};

template <class T>
T* WidgetOf(const ui::Component& component) {
  return dynamic_cast<T*>(static_cast<QWidget*>(component.Native()->WindowHandle()));
}

// Runs the event loop until the condition holds (at most five seconds).
bool WaitFor(const std::function<bool()>& condition) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > 5000) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// Acts on the first shown top-level widget of type T once it is there (a modal dialog that the code
// under test runs); gives up after five seconds and closes every modal dialog, so that a test never hangs.
template <class T>
void WhenOpen(std::function<void(T&)> act) {
  auto* timer = new QTimer();
  auto* clock = new QElapsedTimer();
  clock->start();
  QObject::connect(timer, &QTimer::timeout, [timer, clock, act] {
    T* found = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (auto* typed = qobject_cast<T*>(widget); typed != nullptr && typed->isVisible()) found = typed;
    }
    if (found == nullptr && clock->elapsed() < 5000) return;
    timer->stop();
    timer->deleteLater();
    delete clock;
    if (found != nullptr) {
      act(*found);
    } else if (QWidget* modal = QApplication::activeModalWidget()) {
      modal->close();
    }
  });
  timer->start(10);
}

void Mouse(QAbstractItemView& view, QEvent::Type type, int row, Qt::KeyboardModifiers modifiers = {}) {
  const QPoint at = view.visualRect(view.model()->index(row, 0)).center();
  QMouseEvent event(type, at, view.viewport()->mapToGlobal(at), Qt::LeftButton,
                    type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, modifiers);
  QApplication::sendEvent(view.viewport(), &event);
}

void Click(QAbstractItemView& view, int row, Qt::KeyboardModifiers modifiers = {}) {
  Mouse(view, QEvent::MouseButtonPress, row, modifiers);
  Mouse(view, QEvent::MouseButtonRelease, row, modifiers);
}

TBitmap Filled(int width, int height, TColor color) {
  TBitmap picture;
  picture.SetSize(width, height);
  picture.Fill(color);
  return picture;
}

class QtBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::qt::EnsureApplication();
    form = std::make_unique<TestForm>(app);
    form->Show();
    form->Window()->activateWindow();
    ASSERT_TRUE(WaitFor([this] { return form->Window()->isVisible(); }));
  }

  ui::Application app;
  std::unique_ptr<TestForm> form;
};

TEST_F(QtBackendTest, ListViewsShowTheItemsAndReportOnlyTheUsersChanges) {
  TestForm& f = *form;
  const TColor colors[] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)};
  f.Icons.BeginUpdate();
  for (const TColor color : colors) f.Icons.AddItem(f.Images.Add(Filled(20, 16, color)));
  auto* icons = WidgetOf<QListWidget>(f.Icons);
  ASSERT_NE(icons, nullptr);
  EXPECT_FALSE(icons->updatesEnabled());
  f.Icons.EndUpdate();
  ASSERT_EQ(icons->count(), 3);
  EXPECT_TRUE(icons->updatesEnabled());
  EXPECT_EQ(icons->viewMode(), QListView::IconMode);
  EXPECT_EQ(icons->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_EQ(icons->iconSize(), QSize(20, 16));
  EXPECT_EQ(icons->gridSize(), QSize(26, 22));
  for (int index = 0; index < 3; ++index) {
    const QImage shown = icons->item(index)->data(Qt::DecorationRole).value<QPixmap>().toImage();
    EXPECT_EQ(shown.size(), QSize(20, 16));
    EXPECT_EQ(shown.pixelColor(5, 5), ui::qt::ToQColor(colors[index])) << index;
  }
  ASSERT_TRUE(WaitFor([&] { return icons->visualRect(icons->model()->index(2, 0)).isValid(); }));

  // Each step: what it does, then the selection events and the log entries it must cause (a change the
  // program made itself reaches the program only through the class, never a second time from the widget).
  struct Step {
    const char* what;
    std::function<void()> act;
    std::vector<Selection> selections;
    std::vector<std::string> log;
    std::vector<int> selectedRows;
  };
  const Step steps[] = {
      {"code selects", [&] { f.Icons.SetSelected(1, true); }, {{1, true}}, {}, {1}},
      {"user clicks", [&] { Click(*icons, 0); }, {{1, false}, {0, true}}, {"click"}, {0}},
      {"user adds with ctrl", [&] { Click(*icons, 2, Qt::ControlModifier); }, {{2, true}}, {"click"}, {0, 2}},
      {"code selects all",
       [&] {
         for (int index = 0; index < 3; ++index) f.Icons.SetSelected(index, true);
       },
       {{1, true}},
       {},
       {0, 1, 2}},
      {"user double-clicks",
       [&] {
         Click(*icons, 1);
         Mouse(*icons, QEvent::MouseButtonDblClick, 1);
         Mouse(*icons, QEvent::MouseButtonRelease, 1);
       },
       {{0, false}, {2, false}},
       {"click", "double"},
       {1}},
      {"user keys",
       [&] {
         for (const int key : {Qt::Key_A, Qt::Key_F5, Qt::Key_Delete}) {
           QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
           QApplication::sendEvent(icons, &press);
         }
       },
       {},
       {"key 65", "key 116", "key 46"},
       {1}},
      {"code clears", [&] { f.Icons.SetSelected(1, false); }, {{1, false}}, {}, {}},
  };
  for (const Step& step : steps) {
    f.selections.clear();
    f.log.clear();
    step.act();
    QApplication::processEvents();
    EXPECT_EQ(f.selections, step.selections) << step.what;
    EXPECT_EQ(f.log, step.log) << step.what;
    std::vector<int> rows;
    for (const QModelIndex& index : icons->selectionModel()->selectedIndexes()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, step.selectedRows) << step.what;
  }

  // Report style: columns, sub-items, widths; a row the user selects is told once, not once per column;
  // a caption edited in place becomes the item's.
  auto* report = WidgetOf<QTreeWidget>(f.Report);
  ASSERT_NE(report, nullptr);
  f.Report.AddItem("a.png", {"12 KB"});
  f.Report.AddItem("b.png", {"3 KB"});
  ASSERT_EQ(report->topLevelItemCount(), 2);
  EXPECT_EQ(report->headerItem()->text(1), "Size");
  EXPECT_EQ(report->topLevelItem(1)->text(1), "3 KB");
  EXPECT_TRUE(report->topLevelItem(1)->textAlignment(1) & Qt::AlignRight);
  EXPECT_EQ(report->header()->sectionSize(0), 80);
  f.Report.SetColumnWidth(1, 95);
  EXPECT_EQ(report->header()->sectionSize(1), 95);
  f.selections.clear();
  ASSERT_TRUE(WaitFor([&] { return report->visualRect(report->model()->index(1, 0)).isValid(); }));
  Click(*report, 1);
  EXPECT_EQ(f.selections, (std::vector<Selection>{{1, true}}));
  report->topLevelItem(0)->setText(0, "c.png");
  EXPECT_EQ(f.Report.ItemCaption(0), "c.png");

  // The client width: inside the frame, less the vertical scroll bar once the items need one.
  EXPECT_EQ(f.Icons.ClientWidth(), icons->viewport()->width());
  EXPECT_LE(f.Icons.ClientWidth(), 200 - 2 * icons->frameWidth());
  f.Icons.BeginUpdate();
  for (int index = 0; index < 400; ++index) f.Icons.AddItem(index % 3);
  f.Icons.EndUpdate();
  ASSERT_TRUE(WaitFor([&] { return icons->verticalScrollBar()->isVisible(); }));
  EXPECT_EQ(f.Icons.ClientWidth(), 200 - 2 * icons->frameWidth() - icons->verticalScrollBar()->width());

  // A right click shows the view's pop-up menu; the item picked there runs.
  f.log.clear();
  WhenOpen<QMenu>([](QMenu& menu) {
    menu.setActiveAction(menu.actions().first());
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&menu, &enter);
  });
  QContextMenuEvent context(QContextMenuEvent::Mouse, QPoint(5, 5), icons->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(icons->viewport(), &context);
  EXPECT_EQ(f.log, (std::vector<std::string>{"copy"}));

  // Letrana's largest page: 65536 cells built and all selected, in a few seconds at most.
  QElapsedTimer clock;
  clock.start();
  f.Icons.Clear();
  f.Icons.BeginUpdate();
  for (int index = 0; index < 65536; ++index) f.Icons.AddItem(index % 3);
  f.Icons.EndUpdate();
  for (int index = 0; index < 65536; ++index) f.Icons.SetSelected(index, true);
  QApplication::processEvents();
  EXPECT_EQ(icons->count(), 65536);
  EXPECT_TRUE(icons->selectionModel()->isSelected(icons->model()->index(65535, 0)));
  EXPECT_LT(clock.elapsed(), 8000);
}

TEST_F(QtBackendTest, MenusMirrorTheItemsAndRunTheirClicks) {
  TestForm& f = *form;
  auto* bar = f.Window()->findChild<QMenuBar*>();
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(bar->actions().size(), 1);
  EXPECT_EQ(bar->actions()[0]->text(), "&File");
  QMenu* file = bar->actions()[0]->menu();
  ASSERT_NE(file, nullptr);
  const QList<QAction*> entries = file->actions();
  ASSERT_EQ(entries.size(), 3);
  EXPECT_EQ(entries[0]->text(), "&Save\tCtrl+S");
  EXPECT_TRUE(entries[1]->isSeparator());
  EXPECT_EQ(entries[2]->text(), "E&xit");

  struct Change {
    std::function<void()> act;
    std::function<bool()> shown;
  };
  QAction* save = entries[0];
  const Change changes[] = {
      {[&] { f.MenSave.SetChecked(true); }, [&] { return save->isCheckable() && save->isChecked(); }},
      {[&] { f.MenSave.SetChecked(false); }, [&] { return !save->isChecked(); }},
      {[&] { f.MenSave.SetEnabled(false); }, [&] { return !save->isEnabled(); }},
      {[&] { f.MenSave.SetEnabled(true); }, [&] { return save->isEnabled(); }},
      {[&] { f.MenSave.SetVisible(false); }, [&] { return !save->isVisible(); }},
      {[&] { f.MenSave.SetVisible(true); }, [&] { return save->isVisible(); }},
      {[&] { f.MenSave.SetCaption("&Store"); }, [&] { return save->text() == "&Store"; }},
  };
  for (std::size_t index = 0; index < std::size(changes); ++index) {
    changes[index].act();
    EXPECT_TRUE(changes[index].shown()) << "change " << index;
  }

  // A pick of the entry clicks the item; the class's checked state stays the item's.
  f.log.clear();
  save->trigger();
  EXPECT_EQ(f.log, (std::vector<std::string>{"save"}));
  EXPECT_FALSE(save->isChecked());

  // The action's key, pressed on the active form, runs it.
  QApplication::setActiveWindow(f.Window());
  ASSERT_TRUE(WaitFor([&] { return f.Window()->isActiveWindow(); }));
  f.log.clear();
  qt_handleKeyEvent(f.Window()->windowHandle(), QEvent::KeyPress, Qt::Key_S, Qt::ControlModifier, "s");
  qt_handleKeyEvent(f.Window()->windowHandle(), QEvent::KeyRelease, Qt::Key_S, Qt::ControlModifier, "s");
  ASSERT_TRUE(WaitFor([&] { return !f.log.empty(); }));
  EXPECT_EQ(f.log, (std::vector<std::string>{"action save"}));

  // A pop-up menu shown from code: the item picked runs once.
  f.log.clear();
  WhenOpen<QMenu>([](QMenu& menu) {
    menu.setActiveAction(menu.actions().first());
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&menu, &enter);
  });
  f.Popup.Popup(20, 20);
  EXPECT_EQ(f.log, (std::vector<std::string>{"copy"}));
}

TEST_F(QtBackendTest, DialogsWriteTheAnswerIntoTheirClass) {
  TestForm& f = *form;
  testing_support::TempDir dir;
  const QString folder = QString::fromStdString(dir.Path().string());

  // Font: family, size in points and style come back; the colour stays.
  QFont picked;
  WhenOpen<QFontDialog>([&picked](QFontDialog& box) {
    box.setCurrentFont(QFont(box.currentFont().family(), 14, QFont::Bold));
    picked = box.currentFont();
    box.accept();
  });
  ui::Font initial = f.FodFont.GetFont();
  initial.color = RGB(255, 0, 0);
  f.FodFont.SetFont(initial);
  ASSERT_TRUE(f.FodFont.Execute());
  EXPECT_EQ(f.FodFont.GetFont().name, picked.family().toStdString());
  EXPECT_EQ(f.FodFont.GetFont().size, 14);
  EXPECT_TRUE(f.FodFont.GetFont().bold);
  EXPECT_EQ(f.FodFont.GetFont().italic, picked.italic());
  EXPECT_EQ(f.FodFont.GetFont().color, RGB(255, 0, 0));

  // Colour: the colour picked; the custom colours the user made are there again at the next opening.
  WhenOpen<QColorDialog>([](QColorDialog& box) {
    box.setCurrentColor(QColor(10, 20, 30));
    QColorDialog::setCustomColor(3, QColor(1, 2, 3));
    box.accept();
  });
  ASSERT_TRUE(f.CldColor.Execute());
  EXPECT_EQ(f.CldColor.Color(), RGB(10, 20, 30));
  QColorDialog::setCustomColor(3, Qt::white);
  QColor custom;
  WhenOpen<QColorDialog>([&custom](QColorDialog& box) {
    custom = QColorDialog::customColor(3);
    box.reject();
  });
  EXPECT_FALSE(f.CldColor.Execute());
  EXPECT_EQ(custom, QColor(1, 2, 3));
  EXPECT_EQ(f.CldColor.Color(), RGB(10, 20, 30));

  // Save: opens on the last name and type; the user picks the second type, the program's rule renames
  // the file in the name box, and that name and type are the answer.
  std::vector<std::string> seen;
  f.SvdSave.OnTypeChange = [&] {
    const std::string path = f.SvdSave.DialogFilePath();
    seen.push_back(std::to_string(f.SvdSave.FilterIndex()) + " " + path.substr(path.find_last_of('/') + 1));
    f.SvdSave.SetDialogFileNameText("renamed" + std::to_string(f.SvdSave.FilterIndex()) + ".jpg");
  };
  f.SvdSave.SetFileName(dir.File("shot.bmp"));
  testing_support::WriteFileBytes(dir.File("shot.bmp"), "BM");
  QString opened, filters;
  WhenOpen<QFileDialog>([&](QFileDialog& box) {
    opened = box.directory().absolutePath() + " " + box.findChild<QLineEdit*>("fileNameEdit")->text();
    filters = box.nameFilters().join('|') + " " + box.selectedNameFilter() +
              (box.testOption(QFileDialog::HideNameFilterDetails) ? " shown alone" : "");
    auto* types = box.findChild<QComboBox*>("fileTypeCombo");
    types->setFocus();
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(types, &down);
    static_cast<QDialog&>(box).accept();  // the OK button
  });
  ASSERT_TRUE(f.SvdSave.Execute());
  EXPECT_EQ(opened, folder + " shot.bmp");
  EXPECT_EQ(filters.toStdString(), "(*.BMP) (*.bmp)|(*.JPG) (*.jpg *.jpeg) (*.BMP) shown alone");
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].substr(0, 7), "2 shot.");
  EXPECT_EQ(f.SvdSave.FileName(), (folder + "/renamed2.jpg").toStdString());
  EXPECT_EQ(f.SvdSave.FilterIndex(), 2);
  EXPECT_EQ(f.SvdSave.DialogFilePath(), "");

  // Open: an existing file chosen; a cancelled dialog keeps the last answer.
  const std::string existing = dir.File("in.txt");
  testing_support::WriteFileBytes(existing, "x");
  WhenOpen<QFileDialog>([&](QFileDialog& box) {
    box.findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(existing));
    static_cast<QDialog&>(box).accept();
  });
  ASSERT_TRUE(f.OpdOpen.Execute());
  EXPECT_EQ(f.OpdOpen.FileName(), existing);
  WhenOpen<QFileDialog>([](QFileDialog& box) { box.reject(); });
  EXPECT_FALSE(f.OpdOpen.Execute());
  EXPECT_EQ(f.OpdOpen.FileName(), existing);
}

TEST(QtClipboard, TextsAndPicturesRoundTripThroughTheClipboard) {
  ui::qt::EnsureApplication();
  TBitmap picture;
  picture.SetSize(3, 2);
  picture.SetPixel(0, 0, RGB(255, 0, 0));
  picture.SetPixel(2, 1, RGB(0, 0, 255));
  picture.SetPixel(1, 0, RGB(12, 34, 56));
  const std::vector<std::uint8_t> ownPng = {0x89, 'P', 'N', 'G', 1, 2, 3};
  auto decoded = [](const QByteArray& bytes, const char* format) {
    return ui::qt::FromQImage(QImage::fromData(bytes, format));
  };
  auto samePixels = [&picture](const TBitmap& got) {
    if (got.Width() != picture.Width() || got.Height() != picture.Height()) return false;
    for (int y = 0; y < picture.Height(); ++y)
      for (int x = 0; x < picture.Width(); ++x)
        if (got.Pixel(x, y) != picture.Pixel(x, y)) return false;
    return true;
  };
  struct Case {
    const char* what;
    std::function<void()> put;
    std::function<bool(const QMimeData*)> holds;
  };
  const Case cases[] = {
      {"ANSI text up to its zero", [] { os::PutClipboardText(std::string_view("Gr\xFC\xDF\0rest", 9)); },
       [](const QMimeData* data) { return data != nullptr && data->text() == QString::fromUtf8("Grüß"); }},
      {"Unicode text", [] { os::PutClipboardUnicodeText(U"\u0416\U0001D11E"); },
       [](const QMimeData* data) { return data != nullptr && data->text() == QString::fromUtf8("Ж𝄞"); }},
      {"picture as PNG and BMP", [&] { os::PutClipboardPicture(picture); },
       [&](const QMimeData* data) {
         return data != nullptr && samePixels(decoded(data->data("image/png"), "PNG")) &&
                samePixels(decoded(data->data("image/bmp"), "BMP")) && data->hasImage();
       }},
      {"bitmap with the program's PNG", [&] { os::PutClipboardBitmap(picture, ownPng); },
       [&](const QMimeData* data) {
         const QByteArray png = data != nullptr ? data->data("image/png") : QByteArray();
         return std::vector<std::uint8_t>(png.begin(), png.end()) == ownPng &&
                samePixels(ui::qt::FromQImage(qvariant_cast<QImage>(data->imageData())));
       }},
      {"emptied", [] { os::EmptyClipboard(); },
       [](const QMimeData* data) { return data == nullptr || data->formats().isEmpty(); }},
  };
  for (const Case& c : cases) {
    c.put();
    EXPECT_TRUE(c.holds(QGuiApplication::clipboard()->mimeData())) << c.what;
  }
  // An empty picture leaves the clipboard as it was.
  os::PutClipboardText("kept");
  os::PutClipboardPicture(TBitmap());
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "kept");
}

TEST(QtShell, ATargetThatIsNotThereIsNotHandedOver) {
  EXPECT_FALSE(os::ShellOpen(nullptr, "/nonexistent/folder/file.txt"));
  EXPECT_FALSE(os::ShellOpen(nullptr, ""));
}

}  // namespace
