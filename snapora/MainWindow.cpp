#include "snapora/MainWindow.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>
#include <string>
#include <unordered_set>
#include <utility>

#include "common/FileNames.h"
#include "common/PersistedSettings.h"
#include "common/ProgramVersion.h"
#include "common/StorageLocation.h"
#include "imaging/Errors.h"
#include "imaging/ImageFormats.h"
#include "platform/os/Os.h"
#include "platform/text/SystemFont.h"
#include "platform/ui/Clipboard.h"
#include "snapora/RegionSelector.h"
#include "snapora/SnaporaWindows.h"

namespace {

constexpr const char* kSettingsFileName = "Snapora.ini";
constexpr const char* kCaption = "Snapora Version " SNAPORA_VERSION " (" SNAPORA_VERSION_DATE ")";
// The walk through the top-level windows stops after this many: a z-order that keeps changing while it
// is walked can never make the list grow without end.
constexpr int kMaxListedWindows = 100000;
constexpr int kEscapeKey = 0x1B;  // VK_ESCAPE
constexpr int kF1Key = 0x70;      // VK_F1; the hot key is the function key the list selects
// The left and right Shift, Control and Alt keys (VK_LSHIFT to VK_RMENU), which the hot key may require.
constexpr int kLeftShift = 0xA0, kRightShift = 0xA1, kLeftControl = 0xA2, kRightControl = 0xA3,
              kLeftAlt = 0xA4, kRightAlt = 0xA5;
constexpr int kKeyIsDown = 0x8000;  // of os::AsyncKeyState

// Sets a flag for as long as it lives, also when what runs meanwhile throws.
class FlagWhile {
 public:
  explicit FlagWhile(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagWhile() { flag_ = false; }
  FlagWhile(const FlagWhile&) = delete;
  FlagWhile& operator=(const FlagWhile&) = delete;

 private:
  bool& flag_;
};

// "MS Sans Serif" 12 pixels high at 96 pixels per inch.
ui::Font WindowFont() { return {.name = "MS Sans Serif", .size = 9}; }

// "%d x %d px".
std::string SizeText(int width, int height) {
  char text[64];
  std::snprintf(text, sizeof text, "%d x %d px", width, height);
  return text;
}

// The placeholder the preview shows while it holds no capture: a 48 x 48 picture in a few colours, a
// grey frame with the corner marks of a viewfinder around a dimmed landscape.
TBitmap PlaceholderPicture() {
  constexpr int kSize = 48;
  TBitmap picture;
  picture.SetSize(kSize, kSize);
  const TColor background = RGB(0xFF, 0xFF, 0xFF);
  const TColor frame = RGB(0x80, 0x80, 0x80);
  const TColor mark = RGB(0x40, 0x40, 0x40);
  const TColor sky = RGB(0xC0, 0xC0, 0xC0);
  const TColor hill = RGB(0x80, 0x80, 0x80);
  const TColor sun = RGB(0xFF, 0xFF, 0x00);
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) picture.SetPixel(x, y, background);
  }
  // The picture area with its sky, a sun and a hill.
  for (int y = 10; y < 38; ++y) {
    for (int x = 8; x < 40; ++x) {
      TColor colour = sky;
      const int dx = x - 31, dy = y - 17;
      if (dx * dx + dy * dy <= 16) colour = sun;
      const int ridge = 30 - (8 - std::abs(x - 20)) / 2;
      if (y >= ridge) colour = hill;
      picture.SetPixel(x, y, colour);
    }
  }
  for (int x = 8; x < 40; ++x) {
    picture.SetPixel(x, 10, frame);
    picture.SetPixel(x, 37, frame);
  }
  for (int y = 10; y < 38; ++y) {
    picture.SetPixel(8, y, frame);
    picture.SetPixel(39, y, frame);
  }
  // The viewfinder's corner marks, two pixels thick.
  const int corners[4][2] = {{3, 3}, {44, 3}, {3, 44}, {44, 44}};
  for (const auto& corner : corners) {
    const int sx = corner[0] < 24 ? 1 : -1, sy = corner[1] < 24 ? 1 : -1;
    for (int i = 0; i < 8; ++i) {
      for (int t = 0; t < 2; ++t) {
        picture.SetPixel(corner[0] + sx * i, corner[1] + sy * t, mark);
        picture.SetPixel(corner[0] + sx * t, corner[1] + sy * i, mark);
      }
    }
  }
  return picture;
}

// The main window's save dialog lists the capture formats in parentheses (JPEG as "(*:JPG)", as the
// window always named it).
std::string CaptureFilter() {
  std::vector<TDialogType> types;
  for (const TImageFormat format : CaptureFormats())
    types.push_back(
        {format, format == TImageFormat::Jpeg ? std::string("(*:JPG)") : ParenthesisedLabel(format)});
  return DialogFilter(types);
}

}  // namespace

// ---- Helpers ------------------------------------------------------------------------------------------

// ---- The window -----------------------------------------------------------------------------------------

TFrmSnapora::TFrmSnapora(ui::Application& app, TProgramShell& shell)
    : Form(app, {.caption = "Snapora",
                 .bounds = {352, 156, 708, 426},
                 .minWidth = 600,
                 .minHeight = 425,
                 .font = WindowFont(),
                 .color = clWhite}),
      Shell(shell) {
  Shell.WordErrorsIn(app);
  app.OnBoxesClosed = [this] { BoxesClosed(); };
  // Non-visual parts.
  TimCapture.Create(*this, {.interval = 5000, .enabled = false});
  TimKeyProc.Create(*this, {.interval = 100, .enabled = true});
  SvdSave.Create(*this, {.filter = CaptureFilter(), .defaultExt = "bmp", .overwritePrompt = false});
  PopMain.Create(*this);
  PopSaveAs.Create(PopMain, "Save as...");

  // The panels: the buttons at the very bottom, the options above them, the list and the preview in
  // the rest.
  PnlButtons.Create(*this, {.align = ui::Align::Bottom, .height = 34, .color = clBtnFace});
  PnlBottom.Create(*this, {.align = ui::Align::Bottom, .height = 195, .color = clWhite, .bevelOuter = false});
  PnlMain.Create(*this, {.align = ui::Align::Client, .color = clWhite, .bevelOuter = false});

  PnlThumb.Create(PnlMain, {.align = ui::Align::Right, .width = 186, .color = clWhite, .bevelOuter = false});
  PnlThumbTop.Create(PnlThumb,
                     {.align = ui::Align::Top, .height = 33, .color = clWhite, .bevelOuter = false});
  LblPreview.Create(PnlThumbTop, {.bounds = {8, 8, 0, 0}, .caption = "Preview:"});
  PnlThumbBottom.Create(
      PnlThumb,
      {.align = ui::Align::Bottom, .height = 72, .color = clWhite, .bevelOuter = false, .borderWidth = 2});
  ImgThumbNail.Create(PnlThumbBottom, {.bounds = {6, 8, 100, 80}, .autoSize = true});
  PnlThumbMain.Create(PnlThumb,
                      {.align = ui::Align::Client, .color = clWhite, .bevelOuter = false, .borderWidth = 4});
  ImgCapture.Create(PnlThumbMain,
                    {.align = ui::Align::Client, .showHint = true, .center = true, .popupMenu = &PopMain});

  PnlList.Create(PnlMain, {.align = ui::Align::Client, .color = clWhite, .bevelOuter = false});
  PnlListTop.Create(PnlList, {.align = ui::Align::Top, .height = 33, .color = clWhite, .bevelOuter = false});
  LblSelect.Create(PnlListTop, {.bounds = {8, 8, 0, 0}, .caption = "Select window to be captured:"});
  BtnRefresh.Create(PnlListTop, {.bounds = {406, 4, 100, 25}, .caption = "Refresh", .tabOrder = 0});
  LisWindows.Create(PnlList, {.align = ui::Align::Client,
                              .viewStyle = ui::ViewStyle::Report,
                              .multiSelect = false,
                              .hideSelection = false,
                              .tabOrder = 1,
                              .columns = {{"Name", 338, ui::TextAlign::Left},
                                          {"Size", 80, ui::TextAlign::Right},
                                          {"ID", 0, ui::TextAlign::Left}},
                              .showColumnHeaders = false,
                              .readOnly = true});

  // The options.
  ChbClient.Create(PnlBottom,
                   {.bounds = {8, 4, 297, 17}, .caption = "Capture client area only", .tabOrder = 0});
  ChbDefineRect.Create(
      PnlBottom, {.bounds = {8, 27, 297, 17}, .caption = "Define rect to capture [pixel]", .tabOrder = 1});
  PnlRect.Create(
      PnlBottom,
      {.bounds = {25, 48, 560, 30}, .color = clWhite, .bevelOuter = false, .visible = false, .tabOrder = 13});
  LblLeft.Create(PnlRect, {.bounds = {2, 6, 0, 0}, .caption = "Left:"});
  EdtLeft.Create(PnlRect, {.bounds = {82, 3, 38, 21}, .text = "0", .tabOrder = 0});
  LblTop.Create(PnlRect, {.bounds = {122, 6, 0, 0}, .caption = "Top:"});
  EdtTop.Create(PnlRect, {.bounds = {202, 3, 38, 21}, .text = "0", .tabOrder = 1});
  LblWidth.Create(PnlRect, {.bounds = {246, 6, 0, 0}, .caption = "Width:"});
  EdtWidth.Create(PnlRect, {.bounds = {328, 3, 38, 21}, .text = "300", .tabOrder = 2});
  LblHeight.Create(PnlRect, {.bounds = {374, 6, 0, 0}, .caption = "Height:"});
  EdtHeight.Create(PnlRect, {.bounds = {456, 3, 38, 21}, .text = "200", .tabOrder = 3});
  ChbToFile.Create(PnlBottom, {.bounds = {8, 87, 169, 17}, .caption = "Capture to file", .tabOrder = 2});
  EdtFile.Create(PnlBottom, {.bounds = {200, 86, 281, 21}, .visible = false, .tabOrder = 3});
  BtnBrowse.Create(PnlBottom,
                   {.bounds = {486, 86, 26, 25}, .caption = "...", .tabOrder = 4, .visible = false});
  ChbAskName.Create(PnlBottom, {.bounds = {8, 114, 329, 17},
                                .caption = "Ask for filename before saving",
                                .tabOrder = 5,
                                .visible = false});
  ChbAutoCapture.Create(PnlBottom,
                        {.bounds = {8, 144, 249, 17}, .caption = "Auto capture each [sec]", .tabOrder = 6});
  CbbSeconds.Create(PnlBottom, {.bounds = {265, 143, 57, 21},
                                .style = ui::ComboStyle::DropDown,
                                .items = {"100", "250", "500", "750", "1000", "3000", "5000", "10000",
                                          "15000", "30000", "60000"},
                                .text = "5000",
                                .tabOrder = 7});
  ChbKeyboard.Create(PnlBottom,
                     {.bounds = {8, 168, 249, 17}, .caption = "Use keyboard to capture", .tabOrder = 8});
  CbbFKey.Create(PnlBottom,
                 {.bounds = {265, 167, 57, 21},
                  .style = ui::ComboStyle::DropDownList,
                  .items = {"F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10", "F11", "F12"},
                  .visible = false,
                  .tabOrder = 9});
  ChbShift.Create(PnlBottom,
                  {.bounds = {329, 168, 49, 17}, .caption = "Shift", .tabOrder = 10, .visible = false});
  ChbAlt.Create(PnlBottom,
                {.bounds = {393, 168, 49, 17}, .caption = "Alt", .tabOrder = 11, .visible = false});
  ChbCtrl.Create(PnlBottom,
                 {.bounds = {457, 168, 49, 17}, .caption = "Ctrl", .tabOrder = 12, .visible = false});
  ImgBlank.Create(PnlBottom, {.bounds = {528, 136, 49, 49}, .visible = false});

  // The buttons.
  BtnStop.Create(PnlButtons, {.bounds = {9, 4, 102, 25}, .caption = "Stop", .tabOrder = 0, .visible = false});
  BtnOk.Create(PnlButtons, {.bounds = {184, 4, 99, 25}, .caption = "OK", .tabOrder = 1});
  BtnCapture.Create(PnlButtons, {.bounds = {292, 4, 102, 25}, .caption = "Capture", .tabOrder = 2});

  // Events.
  BtnRefresh.OnClick = [this] { BtnRefreshClick(); };
  LisWindows.OnDblClick = [this] { LisWindowsDblClick(); };
  LisWindows.OnKeyDown = [this](int key) { LisWindowsKeyDown(key); };
  ChbDefineRect.OnClick = [this] { ChbDefineRectClick(); };
  ChbToFile.OnClick = [this] { ChbToFileClick(); };
  ChbAskName.OnClick = [this] { ChbAskNameClick(); };
  ChbAutoCapture.OnClick = [this] { ChbAutoCaptureClick(); };
  ChbKeyboard.OnClick = [this] { ChbKeyboardClick(); };
  ChbShift.OnClick = ChbAlt.OnClick = ChbCtrl.OnClick = [this] { ChbModifierClick(); };
  BtnBrowse.OnClick = [this] { BtnBrowseClick(); };
  BtnOk.OnClick = [this] { BtnOkClick(); };
  BtnCapture.OnClick = [this] { BtnCaptureClick(TCaptureTrigger::Button); };
  TimCapture.OnTimer = [this] { TimCaptureTimer(); };
  TimKeyProc.OnTimer = [this] { TimKeyProcTimer(); };
  // Another function key is armed afresh: its own earlier presses do not count either.
  CbbFKey.OnChange = [this] {
    if (ChbKeyboard.Checked()) ArmHotKey();
  };
  BtnStop.OnClick = [this] { BtnStopClick(); };
  ImgCapture.OnDblClick = ImgThumbNail.OnDblClick = [this] { ImgCaptureDblClick(); };
  PopSaveAs.OnClick = [this] { PopSaveAsClick(); };
  OnShow = [this] { FormShow(); };
  OnClose = [this] { FormClose(); };
  OnResize = [this] { FormResize(); };

  ScaleForScreen();
  FormCreate();
  FormResize();
}

TFrmSnapora::~TFrmSnapora() { App().OnBoxesClosed = nullptr; }

// ---- Window events ------------------------------------------------------------------------------------

void TFrmSnapora::FormCreate() {
  CbbFKey.SetItemIndex(0);
  SetDoubleBuffered(true);
  SetCaption(kCaption);

  SelectLanguage("");

  ImgBlank.SetPicture(PlaceholderPicture());
  ShowNoImage();
}

void TFrmSnapora::FormShow() {
  LoadSettings();
  FillWindowList();
  CommandLineCapture();
  // The arguments are used once: a later show (after a capture hid the window) takes no capture.
  CommandLine.clear();
}

void TFrmSnapora::FormClose() {
  TimCapture.SetEnabled(false);
  SaveSettings();
}

void TFrmSnapora::FormResize() {
  auto half = [](int width) { return width / 2; };
  BtnCapture.SetLeft(half(PnlBottom.Width()) - (ScaleForDpi(3) + BtnCapture.Width()));
  BtnOk.SetLeft(half(PnlBottom.Width()) + ScaleForDpi(3));
  BtnRefresh.SetLeft(PnlListTop.Width() - (ScaleForDpi(3) + BtnRefresh.Width()));
  BtnBrowse.SetLeft(PnlBottom.Width() - (ScaleForDpi(6) + BtnBrowse.Width()));
  EdtFile.SetWidth(PnlBottom.Width() - (ScaleForDpi(12) + EdtFile.Left() + BtnBrowse.Width()));
  FitCheckBoxes();
  // The size column keeps its designed width unless the system's font makes a size wider; the name
  // column takes what is left.
  LisWindows.FitColumnToTexts(1, ScaleForDpi(80));
  LisWindows.SetColumnWidth(0,
                            LisWindows.ClientWidth() - (LisWindows.Columns().at(1).width + ScaleForDpi(12)));
}

void TFrmSnapora::FitCheckBoxes() {
  // Each switch keeps its designed width unless its caption in the chosen language and the system's
  // font is wider: then it grows as far as the control beside it (or the panel's edge) allows.
  struct Switch {
    ui::CheckBox& box;
    int designedWidth;
    const ui::Control* beside;
  };
  const Switch switches[] = {{ChbClient, 297, nullptr},
                             {ChbDefineRect, 297, nullptr},
                             {ChbToFile, 169, &EdtFile},
                             {ChbAskName, 329, nullptr},
                             {ChbAutoCapture, 249, &CbbSeconds},
                             {ChbKeyboard, 249, &CbbFKey},
                             {ChbShift, 49, &ChbAlt},
                             {ChbAlt, 49, &ChbCtrl},
                             {ChbCtrl, 49, &ImgBlank}};
  for (const Switch& s : switches) {
    const int limit =
        (s.beside != nullptr ? s.beside->Left() : PnlBottom.Width()) - ScaleForDpi(4) - s.box.Left();
    s.box.SetWidth(std::max(ScaleForDpi(s.designedWidth), std::min(s.box.FittingWidth(), limit)));
  }
}

// ---- The window list ------------------------------------------------------------------------------------

os::WindowHandle TFrmSnapora::EntryTarget(int index) const {
  return TextToIntDef(LisWindows.SubItem(index, 2), 0);
}

void TFrmSnapora::FillWindowList() {
  const int selected = LisWindows.FirstSelected();
  std::string rememberedCaption = selected >= 0 ? LisWindows.ItemCaption(selected) : std::string();
  const std::string rememberedId = selected >= 0 ? LisWindows.SubItem(selected, 2) : std::string();
  if (rememberedCaption.empty()) rememberedCaption = ScreenLabel;

  LisWindows.BeginUpdate();
  try {
    LisWindows.Clear();
    if (os::DesktopHidesWindows()) {
      // The screen (its size known once the desktop has given a picture of it), a window or area picked
      // in the desktop's dialog, and why no window is listed. No Desktop: the desktop's service cannot
      // take the screen with every window out of sight.
      const os::ScreenRect screen = os::VirtualScreen();
      for (const std::string* label : {&ScreenLabel, &WindowOrAreaLabel, &WindowsNotListedLabel}) {
        const std::string size =
            label == &ScreenLabel && !screen.Empty() ? SizeText(screen.Width(), screen.Height()) : "";
        const int index = LisWindows.AddItem(*label, {size, ""});
        if (*label == rememberedCaption && label != &WindowsNotListedLabel)
          LisWindows.SetSelected(index, true);
      }
      if (LisWindows.FirstSelected() < 0) LisWindows.SetSelected(0, true);
      LisWindows.EndUpdate();
      FormResize();
      return;
    }
    const std::string screenSize = SizeText(ui::ScreenWidth(), ui::ScreenHeight());
    for (const std::string* label : {&ScreenLabel, &DesktopLabel}) {
      const int index = LisWindows.AddItem(*label, {screenSize, ""});
      if (*label == rememberedCaption) LisWindows.SetSelected(index, true);
    }
    // Every monitor together, after the two entries above, which keep their places; listed only where
    // it is more than the screen (with one monitor the list is what it always was).
    const os::ScreenRect screens = os::VirtualScreen();
    if (screens.left != 0 || screens.top != 0 || screens.Width() != ui::ScreenWidth() ||
        screens.Height() != ui::ScreenHeight()) {
      const int allScreens =
          LisWindows.AddItem(AllScreensLabel, {SizeText(screens.Width(), screens.Height()), ""});
      if (AllScreensLabel == rememberedCaption) LisWindows.SetSelected(allScreens, true);
    }
    // A region chosen on the frozen screen, after the entries above, which keep their places.
    const int region = LisWindows.AddItem(RegionLabel, {"", ""});
    if (RegionLabel == rememberedCaption) LisWindows.SetSelected(region, true);

    std::unordered_set<os::WindowHandle> seen;
    int walked = 0;
    for (os::WindowHandle window = os::TopWindow(); window != 0 && walked < kMaxListedWindows;
         window = os::NextWindow(window), ++walked) {
      // A z-order that changes under the walk may lead back to a window already seen.
      if (!seen.insert(window).second) break;
      const std::string title = os::WindowTitle(window);
      // The size a capture of the window has: its frame as the system draws it.
      const os::ScreenRect rect = os::WindowFrameRect(window).value_or(os::ScreenRect{});
      int width = rect.right - rect.left, height = rect.bottom - rect.top;
      if (!os::WindowVisible(window) || title.empty() || !os::WindowExists(window) || width <= 0 ||
          height <= 0)
        continue;
      // A minimised window stands far off, left of and above every monitor: its size says nothing.
      if (rect.right < screens.left && rect.left < screens.left) width = 0;
      if (rect.bottom < screens.top && rect.top < screens.top) height = 0;
      const std::string id = std::to_string(window);
      const int index =
          LisWindows.AddItem(title, {width > 0 && height > 0 ? SizeText(width, height) : "", id});
      if (title == rememberedCaption && id == rememberedId) LisWindows.SetSelected(index, true);
    }
  } catch (...) {
    LisWindows.EndUpdate();
    throw;
  }
  LisWindows.EndUpdate();
  FormResize();
}

void TFrmSnapora::BtnRefreshClick() { FillWindowList(); }

void TFrmSnapora::LisWindowsKeyDown(int key) {
  if (key == ui::key::F5) FillWindowList();
}

void TFrmSnapora::LisWindowsDblClick() {
  for (int index = 0; index < LisWindows.Count(); ++index) {
    if (!LisWindows.Selected(index)) continue;
    const os::WindowHandle window = EntryTarget(index);
    if (window == 0) continue;
    os::BringToTop(window);
    os::ShowWindowAs(window, os::show::Restore);
    os::ShowWindowAs(window, os::show::Show);
    FillWindowList();
    return;
  }
}

// ---- Options ----------------------------------------------------------------------------------------------

void TFrmSnapora::ChbDefineRectClick() { PnlRect.SetVisible(ChbDefineRect.Checked()); }

void TFrmSnapora::ChbToFileClick() {
  const bool on = ChbToFile.Checked();
  EdtFile.SetVisible(on);
  BtnBrowse.SetVisible(on);
  ChbAskName.SetVisible(on);
}

void TFrmSnapora::ChbAskNameClick() {
  if (ChbAskName.Checked()) BtnStopClick();
}

void TFrmSnapora::ChbAutoCaptureClick() {
  if (!ChbAutoCapture.Checked()) {
    BtnStopClick();
  } else {
    ChbKeyboard.SetChecked(false);
    ChbAskName.SetChecked(false);
  }
}

void TFrmSnapora::ChbKeyboardClick() {
  if (ChbKeyboard.Checked() && !os::DesktopOffersGlobalKeys()) {
    ChbKeyboard.SetChecked(false);
    throw ELocalisedError(TErrorKind::NoGlobalKeys, {});
  }
  const bool on = ChbKeyboard.Checked();
  CbbFKey.SetVisible(on);
  ChbShift.SetVisible(on);
  ChbCtrl.SetVisible(on);
  ChbAlt.SetVisible(on);
  if (on) {
    BtnStopClick();
    ArmHotKey();
  } else {
    hotKeyGrab_.Release();
    hotKeyTakenShown_.clear();
  }
}

void TFrmSnapora::ChbModifierClick() { GrabHotKey(); }

void TFrmSnapora::BtnBrowseClick() {
  if (SvdSave.Execute()) EdtFile.SetText(SvdSave.FileName());
}

void TFrmSnapora::BtnOkClick() { Close(); }

// ---- Capturing
// ----------------------------------------------------------------------------------------------

void TFrmSnapora::ShowNoImage() {
  ImgCapture.SetCenter(true);
  ImgCapture.SetPicture(ImgBlank.Picture());
  ImgThumbNail.SetPicture(TBitmap());
  ImgCapture.SetHint(NoImageHint);
}

bool TFrmSnapora::CaptureTarget(const std::string& caption, os::WindowHandle window,
                                const std::string& fileName) {
  TCapture picture;
  LastFileWritten.clear();

  // The target is put back whatever way the capture ends, also when an error ends it.
  TTargetPreparation target(window, PrepareTarget);
  auto restoreTarget = [&] { target.Restore(); };

  if (caption == DesktopLabel) os::MinimizeAllWindows();  // the capture goes on when that fails
  // Where minimising all is a mode of the desktop (X11's showing-desktop), the mode ends right after the
  // grab, also when an error ends it: the other programs' windows come back.
  struct MinimizedAll {
    bool active;
    void End() {
      if (active) os::EndMinimizeAll();
      active = false;
    }
    ~MinimizedAll() { End(); }
  } minimizedAll{caption == DesktopLabel};

  if (PrepareTarget) {
    // A Wayland compositor hears that the main window is hidden only when the messages are handled; the
    // wait is then for its next frame, which the desktop's screenshot shows.
    if (os::DesktopHidesWindows()) App().ProcessMessages();
    os::SleepMilliseconds(350);
    PrepareTarget = !TimCapture.Enabled();
  }

  const os::ScreenRect userRect =
      UserRectangle(EdtLeft.Text(), EdtTop.Text(), EdtWidth.Text(), EdtHeight.Text());

  // A region: the pixels of the frozen screen it was chosen on, or (automatic capture's later ticks) of
  // the screen now, inside the user rectangle measured from the virtual screen's top-left corner.
  const bool region = window == 0 && !caption.empty() && caption == RegionLabel;
  const TBitmap frozen = std::exchange(frozenScreen_, TBitmap());
  // A desktop that hides its windows gives its pixels only through its screenshot service: the screen,
  // or a window or an area picked in its dialog. An error of the service ends the capture.
  bool grabbed = true;
  if (os::DesktopHidesWindows()) {
    const bool interactive = caption == WindowOrAreaLabel || region;
    if (!interactive && TimCapture.Enabled()) OpenScreenStream();
    try {
      picture.TakeDesktopScreenshot(interactive, userRect, ChbDefineRect.Checked(),
                                    interactive ? nullptr : screenStream_.get());
    } catch (const ELocalisedError&) {
      // The stream ended (the user or the desktop stopped the sharing): so does the automatic capture.
      if (screenStream_) BtnStopClick();
      throw;
    }
  } else {
    grabbed = region && !frozen.Empty() ? picture.TakeFromScreenPicture(frozen, userRect)
              : window == 0 && !caption.empty() && (caption == AllScreensLabel || region)
                  ? picture.GrabAllScreens(userRect, ChbDefineRect.Checked() || region)
                  : picture.GrabTarget(window, ChbClient.Checked(), userRect, ChbDefineRect.Checked());
  }
  minimizedAll.End();
  if (!grabbed) {
    restoreTarget();
    return false;
  }

  picture.CopyToClipboard();
  ImgCapture.SetPicture(picture.Image());
  TBitmap thumbnail;
  picture.DrawThumbnail(thumbnail);
  ImgThumbNail.SetPicture(thumbnail);
  ImgCapture.SetCenter(false);
  char hint[64];
  std::snprintf(hint, sizeof hint, " [%d x %d px]", ImgCapture.Picture().Width(),
                ImgCapture.Picture().Height());
  ImgCapture.SetHint(EnlargeHint + hint);

  std::string name = fileName;
  // Automatic capture writes under the name stamped at its tick, unless the user is asked for one.
  bool stamped = TimCapture.Enabled() && name == EdtFile.Text();
  if (ChbToFile.Checked() && ChbAskName.Checked() && FrmFileName != nullptr) {
    stamped = false;
    AskingName = true;
    FrmFileName->EdtFileName.SetText(EdtFile.Text());
    // The question is over however the dialog ends.
    struct AskingDone {
      bool& asking;
      ~AskingDone() { asking = false; }
    } askingDone{AskingName};
    const bool accepted = FrmFileName->Ask();
    if (!accepted || FrmFileName->EdtFileName.Text().empty()) {
      restoreTarget();
      return true;
    }
    name = FrmFileName->EdtFileName.Text();
  }

  if (!name.empty()) {
    // The stamped name is taken now, when the file is written: a file that appeared under it since the
    // tick is kept, and the capture takes the next free number (shown in the file field).
    TClaimedName claimed;
    if (stamped) {
      claimed = ClaimStampedFileName(name);
      name = claimed.Name;
      EdtFile.SetText(name);
    }
    bool written = false;
    try {
      written = SavePictureByName(ImgCapture.Picture(), name, false);
    } catch (...) {
      if (claimed.Created) os::RemoveFile(name);
      throw;
    }
    if (written)
      LastFileWritten = name;
    else if (claimed.Created)
      os::RemoveFile(name);
  }
  restoreTarget();
  return true;
}

bool TFrmSnapora::ChooseRegion() {
  const os::ScreenRect screens = os::VirtualScreen();
  App().ProcessMessages();  // the main window hidden for the capture is off the screen first
  TBitmap frozen = os::GrabDisplay(screens.left, screens.top, screens.Width(), screens.Height());
  if (frozen.Empty()) return false;
  const std::optional<os::ScreenRect> region = SelectRegion(App(), screens, frozen, LastRegion, {});
  if (!region) return false;
  LastRegion = *region;
  EdtLeft.SetText(std::to_string(region->left - screens.left));
  EdtTop.SetText(std::to_string(region->top - screens.top));
  EdtWidth.SetText(std::to_string(region->Width()));
  EdtHeight.SetText(std::to_string(region->Height()));
  ChbDefineRect.SetChecked(true);
  frozenScreen_ = std::move(frozen);
  return true;
}

// ---- Triggers ------------------------------------------------------------------------------------------

std::string TFrmSnapora::FindSelectedTarget() {
  TargetWindow = 0;
  const int selected = LisWindows.FirstSelected();
  if (selected < 0) return std::string();
  TargetWindow = EntryTarget(selected);
  return LisWindows.ItemCaption(selected);
}

bool TFrmSnapora::CaptureMayStart() const { return !capturing_ && !AskingName && !App().BoxOpen(); }

void TFrmSnapora::BtnCaptureClick(TCaptureTrigger trigger) {
  // A timer that fires while a capture processes its messages must not start a second capture inside
  // the first: with captures slower than the interval that would nest without end. A hot-key poll is
  // simply skipped (the key is polled again 100 ms later); an automatic-capture tick is kept
  // (TimCaptureTimer) and taken as soon as the running capture has finished, as one late tick. Behind
  // an error box nothing starts: the box's message loop runs the timers, and every capture that failed
  // as the first did would stack another box on it.
  if (!CaptureMayStart()) return;
  {
    const FlagWhile capturing(capturing_);
    CaptureSelected(trigger);
  }
  if (trigger != TCaptureTrigger::CaptureTimer && captureTickPending_ && TimCapture.Enabled())
    TimCaptureTimer();
}

void TFrmSnapora::CaptureSelected(TCaptureTrigger trigger) {
  const std::string caption = FindSelectedTarget();
  // The entry that says why no window is listed is no target.
  if (caption.empty() || (TargetWindow == 0 && caption == WindowsNotListedLabel)) return;
  if (!AutoCaptureStarted) StartAutoCaptureIfTicked();

  const os::WindowHandle application = App().Handle();
  const std::optional<os::WindowPlacement> applicationPlacement =
      application != 0 ? os::GetPlacement(application) : std::nullopt;
  const os::WindowHandle previouslyActive = os::ActiveWindow();
  auto restoreApplication = [&] {
    App().ProcessMessages();
    if (applicationPlacement) os::SetPlacement(application, *applicationPlacement);
    App().ProcessMessages();
  };

  const std::string fileName = ChbToFile.Checked() ? EdtFile.Text() : std::string();
  // The Screen and All screens entries taken by the hot key or by automatic capture show the main window
  // in the picture; every other entry without a window of its own (those two by the button, the
  // Desktop) is taken with the main window out of sight.
  const bool screenKeepsWindow =
      (caption == ScreenLabel || caption == AllScreensLabel || caption == RegionLabel) &&
      (TimCapture.Enabled() || trigger == TCaptureTrigger::KeyProcTimer);
  if (TargetWindow == 0 && !screenKeepsWindow) {
    Hide();
    // A window shown again behind the form's back (by the Desktop capture's restore) is hidden too.
    if (Handle() != 0 && os::WindowVisible(Handle())) os::ShowWindowAs(Handle(), os::show::Hide);
  }
  auto showAgain = [&] {
    if (screenKeepsWindow) return;
    if (caption == DesktopLabel && Handle() != 0) os::ShowWindowAs(Handle(), os::show::Restore);
    if (PrepareTarget) Show();
    if (TargetWindow == 0) {
      if (previouslyActive != 0) os::ActivateWindow(previouslyActive);
      if (trigger == TCaptureTrigger::KeyProcTimer && Handle() != 0)
        os::SetWindowZOrder(Handle(), os::ZOrder::Bottom);
    }
  };

  bool ok = false;
  try {
    // A region is chosen on the frozen screen each time but at automatic capture's ticks, which take
    // the region chosen when the run began.
    if (caption == RegionLabel && TargetWindow == 0 && trigger != TCaptureTrigger::CaptureTimer &&
        !os::DesktopHidesWindows() && !ChooseRegion()) {
      // Cancelled: nothing is captured, and an automatic capture that was to begin does not.
      if (TimCapture.Enabled()) BtnStopClick();
      showAgain();
      FillWindowList();
      restoreApplication();
      return;
    }
    ok = CaptureTarget(caption, TargetWindow, fileName);
  } catch (...) {
    // A failed write: automatic capture stops first, so that its timer cannot stack one error box on
    // the other while the first is open; the main window comes back, the application window gets its
    // placement back and the list shows the windows as they are now; then the error is shown.
    if (TimCapture.Enabled()) BtnStopClick();  // which also makes showAgain show the window
    showAgain();
    FillWindowList();
    restoreApplication();
    throw;
  }
  if (!ok) ShowNoImage();
  showAgain();
  FillWindowList();
  restoreApplication();
}

void TFrmSnapora::StartAutoCaptureIfTicked() {
  AutoCaptureStarted = false;
  if (ChbAutoCapture.Checked()) {
    StartAutoCapture();
    AutoCaptureStarted = true;
  }
}

void TFrmSnapora::StartAutoCapture() {
  constexpr int kDefaultInterval = 5000, kMinInterval = 10, kMaxInterval = 1440000;
  int interval = TextToIntDef(CbbSeconds.Text(), kDefaultInterval);
  if (interval < kMinInterval || interval > kMaxInterval) interval = kDefaultInterval;
  TimCapture.SetInterval(interval);
  PrepareTarget = true;
  // The key state remembers a press of Escape since it was last asked, which may be long before this
  // run (a dialog closed with Escape): asked once now, only a press during the run stops it.
  os::AsyncKeyState(kEscapeKey);
  TimCapture.SetEnabled(true);
  BtnStop.SetVisible(true);
  LisWindows.SetEnabled(false);
  AutoBaseName = EdtFile.Text();
  StampFileField();
}

void TFrmSnapora::OpenScreenStream() {
  if (screenStream_ || noScreenStream_) return;
  try {
    // The desktop's token for the user's permission is kept beside the settings.
    screenStream_ = std::make_unique<os::ScreenStream>(Shell.StorageDirectory() + "Snapora.screencast");
  } catch (const ELocalisedError& error) {
    // The user said no: the automatic capture stops. A desktop that has no stream or cannot start one
    // still takes screenshots: each tick asks for one of its own.
    if (error.Kind() == TErrorKind::ScreenshotCancelled) {
      BtnStopClick();
      throw;
    }
    noScreenStream_ = true;
  }
}

void TFrmSnapora::StampFileField() { EdtFile.SetText(UnusedStampedFileName(AutoBaseName, os::Now())); }

void TFrmSnapora::StopAutoCapture() {
  const bool running = TimCapture.Enabled();
  TimCapture.SetEnabled(false);
  BtnStop.SetVisible(false);
  LisWindows.SetEnabled(true);
  PrepareTarget = true;
  // Without a running automatic capture the file field keeps what it holds: loading the settings
  // ticks the keyboard switch, which stops automatic capture, and must not empty the field.
  if (running) EdtFile.SetText(AutoBaseName);
  AutoCaptureStarted = false;
  captureTickPending_ = false;
  screenStream_.reset();
  noScreenStream_ = false;
}

void TFrmSnapora::BtnStopClick() {
  ChbAutoCapture.SetChecked(false);
  StopAutoCapture();
}

void TFrmSnapora::TimCaptureTimer() {
  if (capturing_) {
    captureTickPending_ = true;
    return;
  }
  // A tick while the file-name question or an error box is open is dropped: not even stamped.
  while (CaptureMayStart()) {
    captureTickPending_ = false;
    if (os::AsyncKeyState(kEscapeKey) != 0) BtnStopClick();
    StampFileField();
    BtnCaptureClick(TCaptureTrigger::CaptureTimer);
    // A tick that fell due during that capture is taken now, once, while automatic capture still runs.
    if (!captureTickPending_ || !TimCapture.Enabled()) break;
  }
  captureTickPending_ = false;
}

void TFrmSnapora::TimKeyProcTimer() {
  if (!ChbKeyboard.Checked() || !CaptureMayStart()) return;
  if (os::AsyncKeyState(kLeftAlt) != 0 || os::AsyncKeyState(kRightAlt) != 0) AltLatched = true;
  if (os::AsyncKeyState(kLeftControl) != 0 || os::AsyncKeyState(kRightControl) != 0) CtrlLatched = true;
  if (os::AsyncKeyState(kLeftShift) != 0 || os::AsyncKeyState(kRightShift) != 0) ShiftLatched = true;
  const int state = os::AsyncKeyState(kF1Key + CbbFKey.ItemIndex());
  if (hotKeyHeldThroughBox_) {
    if ((state & kKeyIsDown) != 0) return;
    // Released now. The "pressed since" bit may come from the key's auto-repeat while it was held, so
    // this poll takes nothing; the next press captures.
    hotKeyHeldThroughBox_ = false;
    return;
  }
  if (state == 0) return;
  // On a desktop that hides its windows the key comes only through the desktop's shortcut service,
  // which has checked the modifiers itself (and the modifiers' state is not to be read there).
  const bool modifiersChecked = os::DesktopHidesWindows();
  if (ChbAlt.Checked() && !AltLatched && !modifiersChecked) return;
  if (ChbCtrl.Checked() && !CtrlLatched && !modifiersChecked) return;
  if (ChbShift.Checked() && !ShiftLatched && !modifiersChecked) return;
  BtnCaptureClick(TCaptureTrigger::KeyProcTimer);
  AltLatched = CtrlLatched = ShiftLatched = false;
}

void TFrmSnapora::BoxesClosed() { ArmHotKey(); }

void TFrmSnapora::ArmHotKey() {
  // Every key the poll reads is asked once, which clears what the key state remembers of presses before
  // now (during a box, or in another program long before the hot key was switched on); only the hot key
  // still down is waited for.
  for (const int modifier : {kLeftShift, kRightShift, kLeftControl, kRightControl, kLeftAlt, kRightAlt})
    os::AsyncKeyState(modifier);
  hotKeyHeldThroughBox_ = (os::AsyncKeyState(kF1Key + CbbFKey.ItemIndex()) & kKeyIsDown) != 0;
  AltLatched = CtrlLatched = ShiftLatched = false;
  GrabHotKey();
}

void TFrmSnapora::GrabHotKey() {
  if (loadingSettings_ || CommandLine.size() == 2) return;
  if (!ChbKeyboard.Checked() || CbbFKey.ItemIndex() < 0) {
    hotKeyGrab_.Release();
    return;
  }
  const unsigned modifiers = (ChbShift.Checked() ? os::hot_key::Shift : 0u) |
                             (ChbCtrl.Checked() ? os::hot_key::Control : 0u) |
                             (ChbAlt.Checked() ? os::hot_key::Alt : 0u);
  bool held = false;
  try {
    held = hotKeyGrab_.Grab(kF1Key + CbbFKey.ItemIndex(), modifiers);
  } catch (const ELocalisedError& error) {
    // The desktop refused the key (or the user did in its dialog): the switch goes off, and the box
    // is shown, not thrown, as below.
    ChbKeyboard.SetChecked(false);
    ChbKeyboardClick();
    App().HandleException(error);
    return;
  }
  if (held) {
    hotKeyTakenShown_.clear();
    return;
  }
  const std::string name = HotKeyName();
  if (name == hotKeyTakenShown_) return;
  hotKeyTakenShown_ = name;
  // Shown here, not thrown: what armed the key (a click, the settings' load) goes on after the box.
  App().HandleException(ELocalisedError(TErrorKind::HotKeyTaken, {name}));
}

std::string TFrmSnapora::HotKeyName() const {
  std::string name;
  if (ChbCtrl.Checked()) name += "Ctrl+";
  if (ChbAlt.Checked()) name += "Alt+";
  if (ChbShift.Checked()) name += "Shift+";
  return name + CbbFKey.Text();
}

void TFrmSnapora::CommandLineCapture() {
  if (CommandLine.size() != 2) return;
  if (!CaptureMayStart()) {
    ExitCode = capture_exit::NotGrabbed;
    Close();
    return;
  }
  const std::string file = CommandLine[0];
  std::string mode = CommandLine[1];
  for (char& c : mode) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::string caption;
  if (mode == "desktop") {
    DesktopLabel = "desktop";
    caption = DesktopLabel;
  }
  // A region chosen on the frozen screen; cancelled, nothing is written.
  // Where the desktop hides its windows, its own dialog picks the window or area.
  if (mode == "region" && os::DesktopHidesWindows()) {
    caption = WindowOrAreaLabel;
  } else if (mode == "region") {
    caption = RegionLabel;
    bool chosen = false;
    {
      const FlagWhile capturing(capturing_);
      chosen = ChooseRegion();
    }
    if (!chosen) {
      ExitCode = capture_exit::NotWritten;
      Close();
      return;
    }
  }
  // The program ends after this capture however it goes; the exit code tells a calling script whether
  // the file was written. An error (a failed write) still reaches the error box, after the close.
  bool grabbed = false;
  try {
    const FlagWhile capturing(capturing_);
    grabbed = CaptureTarget(caption, 0, file);
  } catch (...) {
    ExitCode = capture_exit::Failed;
    Close();
    throw;
  }
  ExitCode = !grabbed                  ? capture_exit::NotGrabbed
             : LastFileWritten.empty() ? capture_exit::NotWritten
                                       : capture_exit::Written;
  Close();
}

void TFrmSnapora::ImgCaptureDblClick() {
  // A centred preview shows the placeholder, not a capture.
  if (ImgCapture.Center() || FrmFullscreen == nullptr) return;
  FrmFullscreen->ImgFullscreen.SetPicture(ImgCapture.Picture());
  FrmFullscreen->ImgFullscreen.SetHint(SizeText(ImgCapture.Picture().Width(), ImgCapture.Picture().Height()));
  FrmFullscreen->ShowModal();
}

void TFrmSnapora::PopSaveAsClick() {
  if (FrmFullscreen == nullptr || !FrmFullscreen->SvdSave.Execute()) return;
  // Before any capture the preview holds the placeholder; saving then empties it and writes an
  // empty picture.
  if (ImgCapture.Center()) ImgCapture.SetPicture(TBitmap());
  SavePictureByName(ImgCapture.Picture(), FrmFullscreen->SvdSave.FileName(), true);
}

// ---- Language ---------------------------------------------------------------------------------------------

std::string TFrmSnapora::LookupText(const std::string& fullKey, const std::string& builtIn) const {
  return Shell.Language.LookupFullKey(fullKey, builtIn);
}

void TFrmSnapora::ApplyLanguage(const std::string& path) {
  Shell.Language.Apply(path, "", kSnaporaMainSection);
  for (const TLanguageText& text : kSnaporaMainTexts) {
    for (const char* target : text.Targets) {
      if (target != nullptr) SetLanguageTarget(target, LookupText(FullKey(text), text.BuiltIn));
    }
  }
  FitCheckBoxes();
}

void TFrmSnapora::SelectLanguage(const std::string& wanted) {
  ApplyLanguage("");
  if (const auto found = Shell.FindLanguage(wanted)) ApplyLanguage(found->File);
}

void TFrmSnapora::SetLanguageTarget(const std::string& target, const std::string& text) {
  if (target == "DesktopLabel") {
    DesktopLabel = text;
  } else if (target == "ScreenLabel") {
    ScreenLabel = text;
  } else if (target == "AllScreensLabel") {
    AllScreensLabel = text;
  } else if (target == "RegionLabel") {
    RegionLabel = text;
  } else if (target == "WindowOrAreaLabel") {
    WindowOrAreaLabel = text;
  } else if (target == "WindowsNotListedLabel") {
    WindowsNotListedLabel = text;
  } else if (target == "EnlargeHint") {
    EnlargeHint = text;
  } else if (target == "NoImageHint") {
    NoImageHint = text;
  } else if (target == "PopSaveAs") {
    PopSaveAs.SetCaption(text);
  } else {
    ui::Control* const controls[] = {&LblSelect, &LblPreview,     &BtnRefresh,  &BtnCapture, &ChbDefineRect,
                                     &LblLeft,   &LblTop,         &LblWidth,    &LblHeight,  &ChbClient,
                                     &ChbToFile, &ChbAutoCapture, &ChbKeyboard, &ChbAskName, &BtnOk};
    const char* const names[] = {"LblSelect", "LblPreview",     "BtnRefresh",  "BtnCapture", "ChbDefineRect",
                                 "LblLeft",   "LblTop",         "LblWidth",    "LblHeight",  "ChbClient",
                                 "ChbToFile", "ChbAutoCapture", "ChbKeyboard", "ChbAskName", "BtnOk"};
    for (std::size_t i = 0; i < std::size(names); ++i) {
      if (target == names[i]) {
        controls[i]->SetCaption(text);
        return;
      }
    }
    throw std::logic_error("no language target " + target);
  }
}

// ---- Settings ---------------------------------------------------------------------------------------------

std::string TFrmSnapora::SettingsPath() const { return Shell.SettingsPath(); }

void TFrmSnapora::LoadSettings() {
  if (SettingsLoaded) return;
  {
    const FlagWhile loading(loadingSettings_);
    LoadSettingsFromFile();
  }
  // The hot key as loaded, its error box (if another program holds it) in the loaded language.
  GrabHotKey();
}

void TFrmSnapora::LoadSettingsFromFile() {
  TSettingsDocument settings(kXmlSettingsForm);
  settings.Load(SettingsPath());  // a missing or unreadable file leaves every key at its default

  TProgramShell::LoadPlacement(*this, settings);

  ChbClient.SetChecked(settings.GetBool("ChbClient", false));
  EdtFile.SetText(settings.GetString("EdtFile", ""));
  CbbSeconds.SetText(settings.GetString("CbbSeconds", "5"));
  ChbAskName.SetChecked(settings.GetBool("ChbAskName", false));
  ChbToFile.SetChecked(settings.GetBool("ChbToFile", false));
  if (ChbToFile.Checked()) ChbToFileClick();
  // (Stored ticked on a desktop that offers no global keys, it stays off here without a word, and is
  // written back ticked for the desktop that offers them.)
  const bool keyboardStored = settings.GetBool("ChbKeyboard", false);
  keyboardKeptOff_ = keyboardStored && !os::DesktopOffersGlobalKeys();
  ChbKeyboard.SetChecked(keyboardStored && !keyboardKeptOff_);
  if (ChbKeyboard.Checked()) ChbKeyboardClick();
  // A stored index outside the twelve keys selects none (the hot key then reads as F1).
  CbbFKey.SetItemIndex(settings.GetInt("CbbFKey", 0));
  ChbAlt.SetChecked(settings.GetBool("ChbAlt", false));
  ChbShift.SetChecked(settings.GetBool("ChbShift", false));
  ChbCtrl.SetChecked(settings.GetBool("ChbCtrl", false));

  ApplyInterfaceFont(Shell.LoadInterfaceFont(*this, settings));

  StoredLanguageName = settings.GetString("LanguageName", "");
  if (!StoredLanguageName.empty()) SelectLanguage(StoredLanguageName);
  LastRegion = RegionFromText(settings.GetString("LastRegion", ""));
  SettingsLoaded = true;
}

void TFrmSnapora::SaveSettings() {
  // A window that never loaded its settings has nothing of the user's to keep.
  if (!SettingsLoaded) return;
  TSettingsDocument settings(kXmlSettingsForm);
  TProgramShell::SavePlacement(*this, settings);
  settings.SetBool("ChbClient", ChbClient.Checked());
  settings.SetString("CbbSeconds", CbbSeconds.Text());
  settings.SetString("EdtFile", EdtFile.Text());
  settings.SetBool("ChbToFile", ChbToFile.Checked());
  settings.SetBool("ChbAskName", ChbAskName.Checked());
  settings.SetBool("ChbKeyboard", ChbKeyboard.Checked() || keyboardKeptOff_);
  settings.SetInt("CbbFKey", CbbFKey.ItemIndex());
  settings.SetBool("ChbAlt", ChbAlt.Checked());
  settings.SetBool("ChbShift", ChbShift.Checked());
  settings.SetBool("ChbCtrl", ChbCtrl.Checked());
  Shell.SaveInterfaceFont(*this, settings);
  settings.SetString("LanguageName", StoredLanguageName);
  if (LastRegion) settings.SetString("LastRegion", RegionText(*LastRegion));
  settings.Save(SettingsPath());  // a file that cannot be written is skipped
}

void TFrmSnapora::ApplyInterfaceFont(const ui::Font& font) {
  ui::Font windowFont = GetFont();
  windowFont.name = font.name;
  windowFont.pitch = font.pitch;
  windowFont.charset = font.charset;
  windowFont.size = font.size;
  SetFont(windowFont);
}

// ---- The program ------------------------------------------------------------------------------------------

TSnaporaWindows::TSnaporaWindows(ui::Application& app, TProgramShell& shell)
    : FrmSnapora(app, shell), FrmFullscreen(app), FrmFileName(app) {
  FrmSnapora.FrmFullscreen = &FrmFullscreen;
  FrmSnapora.FrmFileName = &FrmFileName;
  FrmFullscreen.FrmSnapora = &FrmSnapora;
  FrmFileName.FrmSnapora = &FrmSnapora;
}

int RunSnapora(ui::Application& app, const TProgramFolders& folders,
               const std::vector<std::string>& arguments) {
  int exitCode = 0;
  const int result = ui::RunProgram(app, "Snapora", [&] {
    TProgramShell shell(SnaporaStorage, kSnaporaLanguageList, folders);
    TSnaporaWindows windows(app, shell);
    windows.FrmSnapora.CommandLine = arguments;
    // Read before the windows go, also when an error ends the run.
    struct KeepExitCode {
      const TFrmSnapora& form;
      int& code;
      ~KeepExitCode() { code = form.ExitCode; }
    } keepExitCode{windows.FrmSnapora, exitCode};
    app.Run();
  });
  return result != 0 ? result : exitCode;
}
