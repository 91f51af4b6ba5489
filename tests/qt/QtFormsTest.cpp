// The Qt backend of the window classes under Qt's offscreen platform: forms, the simple controls, edit
// fields and combo boxes, timers and the error box. The user's actions are Qt's own (a click of a
// widget, key events, a resize or close of the window), so that they take the paths a user's take.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QThread>
#include <QTimer>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/qt/UiQt.h"
#include "platform/ui/Ui.h"

namespace ui {
// For gtest's messages.
inline void PrintTo(const Rect& r, std::ostream* out) {
  *out << "{" << r.left << ", " << r.top << ", " << r.width << ", " << r.height << "}";
}
}  // namespace ui

namespace {

using namespace ui;

QWidget* W(const Component& component) { return static_cast<QWidget*>(component.Native()->WindowHandle()); }
template <typename T>
T* W(const Component& component) {
  return dynamic_cast<T*>(W(component));
}
QWidget* Client(const Form& form) { return qt::ContainerWidget(form); }
Rect RectOf(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

// Runs the loop until the condition holds (true) or 5 seconds have passed (false).
bool ProcessUntil(Application& app, const std::function<bool()>& condition) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > 5000) return false;
    app.ProcessMessages();
    QThread::msleep(2);
  }
  return true;
}

void Key(QWidget* target, int key, const QString& text = {},
         Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
  QApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
  QApplication::sendEvent(target, &release);
}

// Answers the next modal box a moment after it opens with its OK button, noting its caption and text.
struct BoxAnswerer {
  std::vector<std::string> seen;
  void Arm() {
    QTimer::singleShot(20, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return Arm();
      seen.push_back(box->windowTitle().toStdString() + ": " + box->text().toStdString());
      box->button(QMessageBox::Ok)->click();
    });
  }
};

// What the user or the program does, and what the form's handlers note of it.
struct Step {
  const char* what;
  std::function<void()> act;
  std::vector<std::string> log;
};
template <std::size_t N>
void RunSteps(Application& app, std::vector<std::string>& log, const Step (&steps)[N]) {
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    log.clear();
    step.act();
    app.ProcessMessages();
    EXPECT_EQ(log, step.log);
  }
}

// A form that counts what the backend tells it.
struct CountingForm : Form {
  CountingForm(Application& app, const FormProps& props) : Form(app, props) {
    OnResize = [this] { ++resizes; };
    OnClose = [this] { ++closes; };
  }
  void Done() {
    ScaleForScreen();
    resizes = 0;
  }
  int resizes = 0, closes = 0;
};

// What the classes hold of a form is what the window shows: outer bounds (frame included) and client
// area.
void ExpectMirrored(const Form& form, const std::string& where) {
  SCOPED_TRACE(where);
  EXPECT_EQ(form.Bounds(), RectOf(W(form)->frameGeometry()));
  EXPECT_EQ(form.ClientWidth(), Client(form)->width());
  EXPECT_EQ(form.ClientHeight(), Client(form)->height());
}

TEST(QtForms, FormsMirrorBoundsStateModalityAndTheUsersSizingAndClosing) {
  Application app;
  app.SetTitle("Letrana");
  CountingForm main(app, {.caption = "Main", .bounds = {40, 30, 500, 400}});
  main.Done();
  main.Show();
  ASSERT_TRUE(ProcessUntil(app, [&] { return W(main)->isActiveWindow(); }));
  ExpectMirrored(main, "main form");
  EXPECT_NE(main.Handle(), 0);
  EXPECT_EQ(app.Handle(), 0) << "no application window";

  struct Case {
    const char* name;
    FormProps props;
  };
  const Case cases[] = {
      {"sizeable, designed place", {.caption = "Sizeable", .bounds = {60, 50, 330, 260}, .minWidth = 200}},
      {"dialog, screen centre",
       {.caption = "Dialog",
        .clientWidth = 320,
        .clientHeight = 200,
        .borderStyle = BorderStyle::Dialog,
        .position = FormPosition::ScreenCenter}},
      {"sizeable, over the main form",
       {.caption = "Over",
        .clientWidth = 300,
        .clientHeight = 150,
        .position = FormPosition::MainFormCenter}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CountingForm form(app, c.props);
    form.Done();
    const bool dialog = c.props.borderStyle == BorderStyle::Dialog;
    const Rect designed = form.Bounds();
    const int designedClientWidth = form.ClientWidth(), designedClientHeight = form.ClientHeight();
    EXPECT_FALSE(W(form)->isVisible()) << "made hidden";
    EXPECT_EQ(form.Handle(), 0) << "no X window before the first show";
    EXPECT_EQ(W(form)->minimumSize() == W(form)->maximumSize(), dialog) << "a dialog's size is fixed";
    EXPECT_EQ(W(form)->windowFlags().testFlag(Qt::WindowMaximizeButtonHint), !dialog);

    form.Show();
    ASSERT_TRUE(ProcessUntil(app, [&] { return W(form)->isActiveWindow(); }));
    EXPECT_EQ(W(form)->windowTitle(), QString::fromLatin1(c.props.caption));
    EXPECT_NE(form.Handle(), 0);
    ExpectMirrored(form, "shown");
    if (dialog) {
      EXPECT_EQ(form.ClientWidth(), designedClientWidth) << "a framed dialog keeps its client size";
      EXPECT_EQ(form.ClientHeight(), designedClientHeight);
    } else {
      EXPECT_EQ(form.Width(), designed.width) << "a framed sizeable form keeps its outer size";
      EXPECT_EQ(form.Height(), designed.height);
    }
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    switch (c.props.position) {
      case FormPosition::Designed:
        EXPECT_EQ(form.Left(), designed.left);
        EXPECT_EQ(form.Top(), designed.top);
        break;
      case FormPosition::ScreenCenter:
        EXPECT_EQ(form.Left(), work.left() + (work.width() - form.Width()) / 2);
        EXPECT_EQ(form.Top(), work.top() + (work.height() - form.Height()) / 2);
        break;
      case FormPosition::MainFormCenter:
        EXPECT_EQ(form.Left(), main.Left() + (main.Width() - form.Width()) / 2);
        EXPECT_EQ(form.Top(), main.Top() + (main.Height() - form.Height()) / 2);
        break;
    }

    // The program sizes the client area: the window follows, and the form hears of it once.
    form.resizes = 0;
    form.SetClientSize(form.ClientWidth() + 40, form.ClientHeight() + 30);
    EXPECT_EQ(form.resizes, 1);
    ExpectMirrored(form, "sized by the program");
    app.ProcessMessages();
    EXPECT_EQ(form.resizes, 1) << "Qt's own news of the same size is no second resize";

    // A menu bar takes its room from the client area; the window keeps its size.
    auto bar = std::make_unique<QMenuBar>();
    bar->addMenu("&File");
    const Rect before = form.Bounds();
    qt::SetFormMenuBar(form, bar.get());
    EXPECT_EQ(form.Bounds(), before);
    EXPECT_GT(Client(form)->y(), 0);
    EXPECT_EQ(form.resizes, 2);
    ExpectMirrored(form, "with a menu bar");
    qt::SetFormMenuBar(form, nullptr);
    EXPECT_EQ(form.resizes, 3);
    ExpectMirrored(form, "without the menu bar");

    if (!dialog) {
      // The user sizes the window (the window manager tells Qt), and maximises and minimises it.
      W(form)->resize(W(form)->size() + QSize(25, 15));
      EXPECT_EQ(form.resizes, 4);
      ExpectMirrored(form, "sized by the user");
      EXPECT_GE(W(form)->minimumWidth() + (form.Width() - W(form)->width()), c.props.minWidth);
      form.SetWindowState(WindowState::Maximized);
      ASSERT_TRUE(ProcessUntil(app, [&] { return W(form)->isMaximized() && form.resizes == 5; }));
      ExpectMirrored(form, "maximised");
      W(form)->showNormal();
      ASSERT_TRUE(ProcessUntil(app, [&] { return form.GetWindowState() == WindowState::Normal; }));
      W(form)->showMinimized();
      EXPECT_EQ(form.GetWindowState(), WindowState::Minimized) << "the user's minimising is reported";
      W(form)->showNormal();
      EXPECT_EQ(form.GetWindowState(), WindowState::Normal);
    }

    // The close box runs the form's Close, which hides it.
    W(form)->close();
    EXPECT_EQ(form.closes, 1);
    EXPECT_FALSE(form.Showing());
    EXPECT_FALSE(W(form)->isVisible());

    // Modal: the form takes the input until it hides (the user closes it while its loop runs).
    bool wasModal = false;
    QTimer::singleShot(30, [&] {
      wasModal = QApplication::activeModalWidget() == W(form);
      W(form)->close();
    });
    form.ShowModal();
    EXPECT_TRUE(wasModal);
    EXPECT_EQ(form.closes, 2);
    EXPECT_EQ(W(form)->windowModality(), Qt::NonModal) << "modal only while its loop runs";
  }

  // A form that scrolls its content shows a bar for it, which scrolls the controls.
  CountingForm scrolling(
      app, {.caption = "Scrolling", .clientWidth = 200, .clientHeight = 150, .autoScroll = true});
  Label far;
  far.Create(scrolling, {.bounds = {10, 500, 50, 20}, .caption = "far", .autoSize = false});
  scrolling.Done();
  scrolling.Show();
  EXPECT_GT(scrolling.VertScrollRange(), 0);
  EXPECT_EQ(scrolling.HorzScrollRange(), 0);
  ExpectMirrored(scrolling, "with a vertical bar");
  QScrollBar* vertical = nullptr;
  for (auto* bar : W(scrolling)->findChildren<QScrollBar*>()) {
    if (bar->orientation() == Qt::Vertical && bar->isVisible()) vertical = bar;
  }
  ASSERT_NE(vertical, nullptr);
  EXPECT_EQ(Client(scrolling)->width() + vertical->width(), W(scrolling)->width());
  vertical->setValue(100);  // as the user drags it
  EXPECT_EQ(scrolling.VertScrollPos(), 100);
  EXPECT_EQ(W(far)->y(), 400);
  scrolling.ScrollTo(0, 40);
  EXPECT_EQ(vertical->value(), 40);
  EXPECT_EQ(W(far)->y(), 460);

  // Closing the main form ends the message loop.
  QTimer::singleShot(20, [&] { W(main)->close(); });
  app.Run();
  EXPECT_TRUE(app.Terminated());
  EXPECT_FALSE(main.Showing());
}

TEST(QtForms, ButtonsCheckBoxesAndLabelsReportTheUsersClicksOnce) {
  Application app;
  struct ControlsForm : Form {
    explicit ControlsForm(Application& app)
        : Form(app, {.caption = "Controls", .clientWidth = 300, .clientHeight = 200}) {
      Box.Create(*this, {.bounds = {0, 0, 300, 120}, .align = Align::Top, .borderWidth = 4});
      Title.Create(Box, {.bounds = {8, 8, 100, 20},
                         .caption = "A & B",
                         .autoSize = false,
                         .alignment = TextAlign::Right,
                         .color = RGB(255, 255, 0)});
      Plain.Create(Box, {.bounds = {8, 40, 0, 0}, .caption = "plain"});
      Check.Create(Box, {.bounds = {8, 70, 120, 20}, .caption = "Check", .tabOrder = 2});
      Ok.Create(*this, {.bounds = {200, 160, 80, 25}, .caption = "OK", .tabOrder = 1, .isDefault = true});
      Cancel.Create(*this, {.bounds = {110, 160, 80, 25}, .caption = "Cancel", .tabOrder = 0});
      Ok.OnClick = [this] { log.push_back("ok"); };
      Cancel.OnClick = [this] { log.push_back("cancel"); };
      Check.OnClick = [this] { log.push_back(Check.Checked() ? "checked" : "unchecked"); };
      ScaleForScreen();
    }
    Panel Box;
    Label Title, Plain;
    CheckBox Check;
    Button Ok, Cancel;
    std::vector<std::string> log;
  } form(app);
  form.Show();
  ASSERT_TRUE(ProcessUntil(app, [&] { return form.Box.Width() == Client(form)->width(); }));

  // What the classes hold, the widgets show.
  EXPECT_EQ(W(form.Box)->parentWidget(), Client(form));
  EXPECT_EQ(W(form.Title)->parentWidget(), W(form.Box));
  EXPECT_EQ(RectOf(W(form.Box)->geometry()), form.Box.Bounds());
  EXPECT_EQ(W<QLabel>(form.Title)->text(), "A & B");
  EXPECT_TRUE(W<QLabel>(form.Title)->alignment().testFlag(Qt::AlignRight));
  EXPECT_TRUE(W(form.Title)->autoFillBackground()) << "a label with a colour of its own paints it";
  EXPECT_FALSE(W(form.Plain)->autoFillBackground()) << "else it shows its parent's";
  EXPECT_EQ(RectOf(W(form.Plain)->geometry()), form.Plain.Bounds()) << "the size the class measured";
  // A caption wider than its button shows whole, drawn narrower; one that fits keeps the font's width.
  EXPECT_EQ(W(form.Ok)->font().stretch(), QFont().stretch());
  form.Cancel.SetCaption("Schriftart exportieren...");
  const int narrowed = W(form.Cancel)->font().stretch();
  EXPECT_GT(narrowed, 0);
  EXPECT_LT(narrowed, 100);
  EXPECT_LE(QFontMetrics(W(form.Cancel)->font()).horizontalAdvance("Schriftart exportieren..."), 80);
  form.Cancel.SetCaption("Cancel");
  EXPECT_EQ(W(form.Cancel)->font().stretch(), QFont().stretch());
  EXPECT_TRUE(W<QPushButton>(form.Ok)->isDefault());
  // Tab goes by tab order, into the panel where the panel stands.
  EXPECT_EQ(W(form.Check)->nextInFocusChain(), W(form.Cancel));
  EXPECT_EQ(W(form.Cancel)->nextInFocusChain(), W(form.Ok));

  const Step steps[] = {
      {"the user clicks a button", [&] { W<QPushButton>(form.Cancel)->click(); }, {"cancel"}},
      {"the user ticks the box", [&] { W<QCheckBox>(form.Check)->click(); }, {"checked"}},
      {"the program unticks it", [&] { form.Check.SetChecked(false); }, {"unchecked"}},
      {"Enter where no control takes it presses the default button",
       [&] { Key(W(form.Check), Qt::Key_Return); },
       {"ok"}},
      {"the program changes captions and hints",
       [&] {
         form.Title.SetCaption("New");
         form.Ok.SetHint("Accept");
         form.Cancel.SetEnabled(false);
       },
       {}},
      {"a disabled button is not pressed", [&] { W<QPushButton>(form.Cancel)->click(); }, {}},
  };
  RunSteps(app, form.log, steps);
  EXPECT_FALSE(W<QCheckBox>(form.Check)->isChecked());
  EXPECT_EQ(W<QLabel>(form.Title)->text(), "New");
  const QPalette plain = W(form.Plain)->palette();
  EXPECT_NE(plain.color(QPalette::Disabled, QPalette::WindowText),
            plain.color(QPalette::Active, QPalette::WindowText))
      << "a disabled label greys its text, whatever colour its font has";

  // A right click shows the popup menu of the control, or of the nearest parent with one.
  PopupMenu menu;
  menu.Create(form);
  form.Box.SetPopupMenu(&menu);
  const auto rightClick = [](QWidget* widget) {
    // (Should the menu open with a loop of its own, it closes again.)
    QTimer::singleShot(20, [] {
      if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), widget->mapToGlobal(QPoint(2, 2)));
    event.ignore();
    QApplication::sendEvent(widget, &event);
    return event.isAccepted();
  };
  EXPECT_TRUE(rightClick(W(form.Title))) << "the panel's menu";
  EXPECT_FALSE(rightClick(W(form.Ok))) << "no menu on the form";
  EXPECT_EQ(W(form.Ok)->toolTip(), "Accept");
  EXPECT_FALSE(W(form.Cancel)->isEnabled());

  // A handler may destroy the form its button stands on.
  auto gone = std::make_unique<ControlsForm>(app);
  gone->Show();
  gone->Ok.OnClick = [&gone] { gone.reset(); };
  W<QPushButton>(gone->Ok)->click();
  EXPECT_EQ(gone, nullptr);
  app.ProcessMessages();
}

TEST(QtForms, EditsAndComboBoxesReportWhatTheUserTypedAndPickedOnceAndNotTheProgramsChanges) {
  Application app;
  struct InputForm : Form {
    explicit InputForm(Application& app)
        : Form(app, {.caption = "Input", .clientWidth = 300, .clientHeight = 200}) {
      Name.Create(*this, {.bounds = {8, 8, 150, 21}, .text = "ab", .tabOrder = 0});
      Link.Create(*this, {.bounds = {8, 40, 150, 21},
                          .text = "http://example.org",
                          .readOnly = true,
                          .border = false,
                          .handCursor = true});
      Size.Create(*this, {.bounds = {8, 70, 100, 0},
                          .style = ComboStyle::DropDown,
                          .items = {"8", "10", "12"},
                          .text = "9",
                          .tabOrder = 1});
      Kind.Create(*this, {.bounds = {8, 100, 100, 0},
                          .style = ComboStyle::DropDownList,
                          .items = {"Bitmap", "Text"},
                          .itemIndex = 0,
                          .tabOrder = 2});
      Help.Create(*this, {.key = key::F1});
      Name.OnChange = [this] { log.push_back("name " + Name.Text()); };
      Link.OnDblClick = [this] { log.push_back("link"); };
      Size.OnChange = [this] {
        log.push_back("size " + Size.Text() + " " + std::to_string(Size.ItemIndex()));
      };
      Kind.OnChange = [this] { log.push_back("kind " + Kind.Text()); };
      Help.OnExecute = [this] { log.push_back("help"); };
      ScaleForScreen();
    }
    Edit Name, Link;
    ComboBox Size, Kind;
    Action Help;
    std::vector<std::string> log;
  } form(app);
  form.Show();
  ASSERT_TRUE(ProcessUntil(app, [&] { return W(form)->isActiveWindow(); }));
  auto* name = W<QLineEdit>(form.Name);
  auto* size = W<QComboBox>(form.Size);
  auto* kind = W<QComboBox>(form.Kind);
  EXPECT_EQ(name->text(), "ab");
  EXPECT_TRUE(W<QLineEdit>(form.Link)->isReadOnly());
  EXPECT_FALSE(W<QLineEdit>(form.Link)->hasFrame());
  EXPECT_EQ(W(form.Link)->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_TRUE(size->isEditable());
  EXPECT_EQ(size->currentText(), "9");
  EXPECT_FALSE(kind->isEditable());
  EXPECT_EQ(kind->currentIndex(), 0);
  EXPECT_EQ(form.Size.Height(), size->height()) << "the box's height is the style's, and the class learns it";

  form.Name.SetFocus();
  EXPECT_EQ(form.FocusedControl(), &form.Name);
  EXPECT_TRUE(name->hasFocus());
  // A box shown and gone again (a progress box), which Qt may still send the keyboard to.
  Form gone(app, {.caption = "Progress", .clientWidth = 100, .clientHeight = 40});
  gone.Show();
  gone.Hide();

  const Step steps[] = {
      {"the user types into the field",
       [&] {
         Key(name, Qt::Key_End);
         Key(name, Qt::Key_C, "c");
       },
       {"name abc"}},
      {"the program sets the field's text", [&] { form.Name.SetText("\xE9t\xE9"); }, {"name \xE9t\xE9"}},
      {"the user double-clicks the link",
       [&] {
         QMouseEvent press(QEvent::MouseButtonDblClick, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                           Qt::LeftButton, Qt::NoModifier);
         QApplication::sendEvent(W(form.Link), &press);
       },
       {"link"}},
      {"a key bound to an action runs it, not the field", [&] { Key(name, Qt::Key_F1); }, {"help"}},
      {"a key for a window that went goes to the showing form", [&] { Key(W(gone), Qt::Key_F1); }, {"help"}},
      {"the user types a size", [&] { Key(size->lineEdit(), Qt::Key_1, "1"); }, {"size 91 -1"}},
      {"the user picks the next size", [&] { Key(size, Qt::Key_Down); }, {"size 8 0"}},
      {"the program picks a size", [&] { form.Size.SetItemIndex(2); }, {"size 12 2"}},
      {"the program types one", [&] { form.Size.SetText("10"); }, {"size 10 1"}},
      {"the user picks the next kind", [&] { Key(kind, Qt::Key_Down); }, {"kind Text"}},
      {"the program picks none", [&] { form.Kind.SetItemIndex(-1); }, {"kind "}},
  };
  RunSteps(app, form.log, steps);
  EXPECT_EQ(name->text(), QString::fromUtf8("\xC3\xA9t\xC3\xA9")) << "ANSI in the class, UTF-8 in Qt";
  EXPECT_EQ(size->currentText(), "10");
  EXPECT_EQ(size->currentIndex(), 1);
  EXPECT_EQ(kind->currentIndex(), -1);
  EXPECT_EQ(kind->currentText(), "");
}

TEST(QtForms, TimersFireOnTheLoopUntilStoppedAndTheScreenAndIconAreQts) {
  Application app;
  Form form(app, {.caption = "Timers", .bounds = {0, 0, 200, 100}});
  int fast = 0, slow = 0;
  Timer fastTimer, slowTimer;
  fastTimer.Create(form, {.interval = 10});
  slowTimer.Create(form, {.interval = 1000, .enabled = false});
  fastTimer.OnTimer = [&] {
    if (++fast == 3) {
      fastTimer.SetEnabled(false);
      slowTimer.SetInterval(15);
      slowTimer.SetEnabled(true);
    }
  };
  slowTimer.OnTimer = [&] {
    if (++slow == 2) app.Terminate();
  };
  form.Show();
  app.Run();
  EXPECT_EQ(fast, 3);
  EXPECT_EQ(slow, 2);
  app.ProcessMessages();

  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(ScreenWidth(), screen.width());
  EXPECT_EQ(ScreenHeight(), screen.height());
  EXPECT_EQ(app.ScreenPixelsPerInch(), 96);

  EXPECT_TRUE(ProgramIconPicture(32, 32, clWhite).Empty()) << "no icon in the test";
  QPixmap red(8, 8);
  red.fill(Qt::red);
  QApplication::setWindowIcon(QIcon(red));
  const TBitmap picture = ProgramIconPicture(16, 8, RGB(0, 0, 255));
  QApplication::setWindowIcon(QIcon());
  ASSERT_EQ(picture.Width(), 16);
  EXPECT_EQ(picture.Pixel(0, 4), RGB(0, 0, 255)) << "the background beside the centred icon";
  EXPECT_EQ(picture.Pixel(8, 4), RGB(255, 0, 0));
}

TEST(QtForms, AnErrorOfAHandlerGoesToTheModalErrorBoxAndTheLoopGoesOn) {
  Application app;
  app.SetTitle("Letrana");
  int closedBoxes = 0;
  app.OnBoxesClosed = [&] { ++closedBoxes; };
  Form form(app, {.caption = "Errors", .clientWidth = 200, .clientHeight = 100});
  Button broken;
  broken.Create(form, {.bounds = {8, 8, 80, 25}, .caption = "Broken"});
  broken.OnClick = [] { throw std::runtime_error("The file cannot be written"); };
  Timer failing;
  failing.Create(form, {.interval = 10, .enabled = false});
  int ticks = 0;
  failing.OnTimer = [&] {
    if (++ticks == 1) throw std::runtime_error("Out of paper");
    if (!app.BoxOpen()) app.Terminate();
  };
  form.Show();

  BoxAnswerer answerer;
  answerer.Arm();
  W<QPushButton>(broken)->click();  // returns once the box is answered
  EXPECT_EQ(answerer.seen, std::vector<std::string>{"Letrana: The file cannot be written."});
  EXPECT_EQ(closedBoxes, 1);
  EXPECT_FALSE(app.BoxOpen());

  answerer.Arm();
  failing.SetEnabled(true);
  app.Run();  // the timer's error, then the loop runs on until the timer ends it
  EXPECT_EQ(answerer.seen.back(), "Letrana: Out of paper.");
  EXPECT_GE(ticks, 2);
  EXPECT_EQ(closedBoxes, 2);
}

}  // namespace
