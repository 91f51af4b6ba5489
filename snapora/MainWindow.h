#pragma once
// The main window of Snapora: the list of capture targets (the whole screen, the desktop, all screens
// together, and every visible titled top-level window, front to back; on a desktop that hides its
// windows, the screen, a window or area picked in the desktop's dialog, and why no window is listed),
// the capture options, the preview of the last capture with its thumbnail, and the buttons that take a
// capture.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/FileNames.h"
#include "common/SettingsDocument.h"
#include "imaging/Graphics.h"
#include "platform/os/Os.h"
#include "platform/ui/Ui.h"
#include "platform/ui/WindowSystem.h"
#include "shell/ProgramShell.h"
#include "snapora/Capture.h"
#include "snapora/Texts.h"

class TFrmFullscreen;
class TFrmFileName;

// What started a capture: the Capture button, the automatic-capture timer or the hot-key poll.
enum class TCaptureTrigger { Button, CaptureTimer, KeyProcTimer };

// The exit codes of the command-line capture.
namespace capture_exit {
constexpr int Written = 0;     // the capture was written to the file
constexpr int NotGrabbed = 1;  // nothing could be grabbed
constexpr int NotWritten =
    2;  // the name's extension writes no file, or the file-name question or the region choice was cancelled
constexpr int Failed = 3;  // an error ended the capture, a failed write for one (the error box said why)
}  // namespace capture_exit

class TFrmSnapora : public ui::Form {
 public:
  TFrmSnapora(ui::Application& app, TProgramShell& shell);
  ~TFrmSnapora() override;

  // ---- Non-visual parts ----
  ui::Timer TimCapture, TimKeyProc;
  ui::SaveDialog SvdSave;
  ui::PopupMenu PopMain;
  ui::MenuItem PopSaveAs;

  // ---- Controls ----
  ui::Panel PnlButtons, PnlBottom, PnlMain;
  ui::Panel PnlThumb, PnlThumbTop, PnlThumbBottom, PnlThumbMain;
  ui::Label LblPreview;
  ui::Image ImgThumbNail, ImgCapture;
  ui::Panel PnlList, PnlListTop;
  ui::Label LblSelect;
  ui::Button BtnRefresh;
  ui::ListView LisWindows;
  ui::CheckBox ChbClient, ChbDefineRect;
  ui::Panel PnlRect;
  ui::Label LblLeft, LblTop, LblWidth, LblHeight;
  ui::Edit EdtLeft, EdtTop, EdtWidth, EdtHeight;
  ui::CheckBox ChbToFile;
  ui::Edit EdtFile;
  ui::Button BtnBrowse;
  ui::CheckBox ChbAskName, ChbAutoCapture;
  ui::ComboBox CbbSeconds;
  ui::CheckBox ChbKeyboard;
  ui::ComboBox CbbFKey;
  ui::CheckBox ChbShift, ChbAlt, ChbCtrl;
  ui::Image ImgBlank;
  ui::Button BtnStop, BtnOk, BtnCapture;

  // ---- The other windows of the program (created after this one, set by the program start) ----
  TFrmFullscreen* FrmFullscreen = nullptr;
  TFrmFileName* FrmFileName = nullptr;

  // ---- Window state ----
  std::string DesktopLabel, ScreenLabel, AllScreensLabel, RegionLabel, EnlargeHint, NoImageHint;
  // On a desktop that hides its windows (os::DesktopHidesWindows): the entry that has the desktop's
  // screenshot dialog pick a window or an area, and the one that says why no window is listed (which
  // captures nothing).
  std::string WindowOrAreaLabel, WindowsNotListedLabel;
  // The region chosen last on the frozen screen (screen coordinates), offered again at the next choice.
  std::optional<os::ScreenRect> LastRegion;
  os::WindowHandle TargetWindow = 0;
  std::string AutoBaseName;
  bool AskingName = false;
  bool AltLatched = false, ShiftLatched = false, CtrlLatched = false;
  bool PrepareTarget = true;
  bool AutoCaptureStarted = false;
  // The program's command-line arguments (without the program's name), set by the program start; the
  // command-line capture at the first show reads them. ExitCode is what the program ends with: a
  // command-line capture sets it (capture_exit), otherwise it stays 0.
  std::vector<std::string> CommandLine;
  int ExitCode = 0;
  // The file the last capture wrote (empty when it wrote none).
  std::string LastFileWritten;

  // The program's folders, its language in force and the interface-font switches of its settings.
  TProgramShell& Shell;
  std::string StoredLanguageName;
  bool SettingsLoaded = false;

  // ---- Window events ----
  void FormCreate();
  void FormShow();
  void FormClose();
  void FormResize();

  // ---- The window list ----
  void FillWindowList();
  void BtnRefreshClick();
  void LisWindowsKeyDown(int key);
  void LisWindowsDblClick();
  // The handle of the list entry (its identifier converted, 0 when empty or malformed).
  os::WindowHandle EntryTarget(int index) const;

  // ---- Options ----
  void ChbDefineRectClick();
  void ChbToFileClick();
  void ChbAskNameClick();
  void ChbAutoCaptureClick();
  void ChbKeyboardClick();
  // Shift, Alt or Ctrl ticked or unticked: the hot key with its new modifiers is grabbed in place of the
  // old one.
  void ChbModifierClick();
  void BtnBrowseClick();
  void BtnOkClick();

  // ---- Capturing ----
  // Whether a capture may start now: not while one runs, not while the file-name question is open and
  // not while an error box is open. Every trigger asks it; what it refuses is dropped, not kept for later
  // (but for an automatic-capture tick during a capture, see BtnCaptureClick).
  bool CaptureMayStart() const;
  // Takes one capture of the target (0: the whole screen; a caption equal to DesktopLabel minimises
  // every window first; 0 with a caption equal to AllScreensLabel: every monitor) and writes it to
  // fileName when that names a .bmp, .jpg or .png file (any other name writes nothing). True when an
  // image was grabbed.
  bool CaptureTarget(const std::string& caption, os::WindowHandle window, const std::string& fileName);
  // One capture of the selected entry, started by the trigger: hides the main window where the target
  // needs it, captures to EdtFile's name when ChbToFile is ticked, starts automatic capture when it is
  // ticked, shows the main window again and rebuilds the list. A capture started while another one runs
  // (a timer that fires while a capture processes messages) is not nested: an automatic-capture tick
  // is taken right after the running capture, a hot-key poll is skipped. Nothing starts while
  // CaptureMayStart says no.
  void BtnCaptureClick(TCaptureTrigger trigger);
  // Freezes the screen (a picture of every monitor) and lets the user choose a region of it on the
  // overlay; the region fills the user rectangle's fields (from the virtual screen's top-left corner),
  // ticks ChbDefineRect and becomes LastRegion, and the picture is kept for the capture that follows.
  // False when the user cancelled.
  bool ChooseRegion();
  // The caption of the first selected entry (empty when none); sets TargetWindow to its handle.
  std::string FindSelectedTarget();
  void StartAutoCaptureIfTicked();
  void StartAutoCapture();
  void StopAutoCapture();
  // Starts the screen stream of automatic capture on a desktop that hides its windows (once a run).
  void OpenScreenStream();
  void BtnStopClick();
  void TimCaptureTimer();
  void TimKeyProcTimer();
  // The last open error box closed: the modifiers latched so far and what the hot key and its
  // modifiers did while the box was open are dropped, and a hot key still held must be released and
  // pressed again before it captures.
  void BoxesClosed();
  // With exactly two arguments (file, mode): one capture of the screen, or of the desktop for the mode
  // "desktop", to the file (none when CaptureMayStart says no); then the main window closes and
  // ExitCode says how it went.
  void CommandLineCapture();
  // Double-click on the preview or the thumbnail: the viewer shows the last capture at full size.
  void ImgCaptureDblClick();
  // "Save as..." of the preview's menu: the preview's picture under a chosen name, as BMP for a .bmp
  // name, PNG for a .png name and JPEG for any other.
  void PopSaveAsClick();
  // The preview without a capture: the placeholder icon, centred, and the hint that says so.
  void ShowNoImage();

  // ---- Language ----
  // Sets the built-in texts, then applies the wanted language of the list (empty: its default).
  void SelectLanguage(const std::string& wanted);
  // Loads the language file (none when the path is empty or names no file) and sets every text.
  void ApplyLanguage(const std::string& path);
  // The language's text for the full key ("FrmSnap.LblSelect"), or the built-in text.
  std::string LookupText(const std::string& fullKey, const std::string& builtIn) const;

  // ---- Settings ----
  void LoadSettings();
  void SaveSettings();
  void ApplyInterfaceFont(const ui::Font& font);

  int ScaleForDpi(int n) const { return ui::ScaleForDpi(n, PixelsPerInch()); }

 private:
  // The trigger routine proper; BtnCaptureClick guards it against nesting.
  void CaptureSelected(TCaptureTrigger trigger);
  // Stamps EdtFile with the current time on AutoBaseName.
  void StampFileField();
  // Only presses from now on count for the hot key: the keys' remembered presses are cleared, the
  // modifier latches dropped, and a hot key still down must be released and pressed again.
  void ArmHotKey();
  // While the keyboard switch is ticked, the hot key (the function key with the ticked modifiers) is
  // grabbed, so that its presses come to Snapora alone and a quick one is not missed; unticked, it is
  // given back. When another program holds it, the error box says so once for that key; the switch
  // stays ticked and the poll still watches the key. Nothing is grabbed while the settings load (the
  // key and its modifiers are not all known yet: the load grabs at its end) nor for a command-line run.
  void GrabHotKey();
  // "Ctrl+Alt+Shift+F5": the hot key's name as the error box gives it.
  std::string HotKeyName() const;
  // LoadSettings proper, while no hot key is grabbed.
  void LoadSettingsFromFile();
  bool capturing_ = false;
  bool loadingSettings_ = false;
  os::HotKeyGrab hotKeyGrab_;
  // The hot key the error box last said was taken (empty when none): said once, not at every arming.
  std::string hotKeyTakenShown_;
  bool captureTickPending_ = false;
  // The frozen screen the region was just chosen on, for the capture of that region (then dropped).
  TBitmap frozenScreen_;
  bool hotKeyHeldThroughBox_ = false;
  // Automatic capture's screen stream on a desktop that hides its windows, while it runs; or that the
  // desktop has none (its ticks take screenshots).
  std::unique_ptr<os::ScreenStream> screenStream_;
  bool noScreenStream_ = false;
  // The keyboard switch was stored ticked but the desktop offers no global keys: kept off, saved ticked.
  bool keyboardKeptOff_ = false;
  // Widens the switches whose captions do not fit their designed width, where there is room.
  void FitCheckBoxes();
  void SetLanguageTarget(const std::string& target, const std::string& text);
  std::string SettingsPath() const;
};

// The program: sets the application title, creates the windows, hands them the command-line arguments
// (without the program's name) and runs the message loop until the main window closes. An error that
// escapes is shown in the error box titled "Snapora". The result, the exit code, is 0 but after a
// command-line capture, whose outcome it gives (capture_exit).
int RunSnapora(ui::Application& app, const TProgramFolders& folders,
               const std::vector<std::string>& arguments = {});
