#pragma once
// What a test does as the user of the headless backend: answer dialogs, move the clock, set the
// screen's resolution, and read what the windows showed (error boxes, dialog openings, pop-ups).
// Only the headless backend implements these; tests that use them are native tests.

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/ScreenOverlay.h"
#include "platform/ui/Ui.h"

namespace ui::testing {

// Forgets every answer, record and timer, sets the clock to 0, the screen to 96 pixels per inch and
// 1280 x 1024 pixels, and takes the program icon away. The virtual screen of
// platform/ui/WindowSystemTesting.h is reset too; the forms that live on keep their windows. os::Now reads
// the system's clock again (platform/os/OsTesting.h).
void Reset();

// ---- The screen ---------------------------------------------------------------------------------
void SetScreenPixelsPerInch(int pixelsPerInch);
// The screen's size in pixels (1280 x 1024 after Reset).
void SetScreenSize(int width, int height);
// The program's icon (none after Reset): ProgramIconPicture draws it centred on its background.
void SetProgramIcon(const TBitmap& icon);

// ---- Dialogs ------------------------------------------------------------------------------------
// Each answer is used by the next Execute of that dialog, in the order given. A dialog opened with
// no answer waiting is cancelled and counted in UnansweredDialogs().
void AnswerSave(SaveDialog& dialog, const std::string& fileName, int filterIndex);
// Answers as a user who types typedName into the name box of the open dialog, then picks the entry
// filterIndex (1-based) of the file-type list, then presses OK (accept) or Cancel. Picking the entry runs
// OnTypeChange with FilterIndex() at the entry; meanwhile DialogFilePath() reports the name box's text
// as a full path, as the system does (a name without folder joined to the current directory, an empty
// box the current directory with a delimiter at its end), and SetDialogFileNameText changes the box (the
// texts are recorded in DialogOpening::nameBoxTexts). An error in OnTypeChange goes to the error box and
// the dialog stays open. OK takes the box's text as it then stands, made a full path the same way, as
// FileName, and filterIndex as FilterIndex; with an empty box OK cannot close the dialog, and the
// answer cancels it instead.
void AnswerSaveWithTypeChange(SaveDialog& dialog, const std::string& typedName, int filterIndex, bool accept);
// Answers an open dialog as a user who picks the file (under the entry filterIndex) and presses OK.
void AnswerOpen(OpenDialog& dialog, const std::string& fileName, int filterIndex = 1);
void AnswerFont(FontDialog& dialog, const Font& font);
void AnswerColor(ColorDialog& dialog, TColor color);
void CancelNext(Component& dialog);
int UnansweredDialogs();

struct DialogOpening {
  const Component* dialog = nullptr;
  std::string fileName;                   // save or open dialog: the name it opened with
  int filterIndex = 0;                    // save or open dialog: the filter index it opened with
  Font font;                              // font dialog: the font it opened with
  TColor color = 0;                       // colour dialog: the colour it opened on
  std::vector<std::string> nameBoxTexts;  // save dialog: the texts SetDialogFileNameText wrote, in order
};
// Every dialog opening so far, oldest first.
const std::vector<DialogOpening>& DialogOpenings();

// Runs when a form is shown modally; the form stays modal until the function (or anything it calls)
// hides it. Without one, a modal form is closed at once, as if the user pressed its default button.
void OnModal(std::function<void(Form&)> handler);

// Runs while a screen overlay runs (ScreenOverlay::Run); the test acts through its Native... members
// and closes it, or it closes when the function returns. Without one, an overlay closes at once.
void OnOverlay(std::function<void(ScreenOverlay&)> handler);
// The parts of overlays painted again, oldest first, and where the overlays moved the pointer (picture
// coordinates), since Reset.
const std::vector<os::ScreenRect>& OverlayInvalidations();
const std::vector<std::pair<int, int>>& OverlayPointerMoves();

// ---- The message loop and the clock -------------------------------------------------------------
// Milliseconds since Reset.
long long Now();
// Moves the clock on, firing every enabled timer as often as its interval passes, in time order.
void AdvanceTime(int milliseconds);
// Runs whenever the program processes pending messages (Application::ProcessMessages).
void OnProcessMessages(std::function<void()> handler);
int ProcessMessagesCount();

// ---- What was shown -----------------------------------------------------------------------------
struct ErrorBox {
  std::string caption;
  std::string text;
};
const std::vector<ErrorBox>& ErrorBoxes();
// Runs while an error box is open (after it is recorded); the box closes when the function returns.
// A box opened while the function runs is recorded and closes at once. Without one, every box closes
// at once, as if the user pressed OK.
void OnErrorBox(std::function<void()> handler);

struct PopupShown {
  const PopupMenu* menu = nullptr;
  int x = 0, y = 0;
};
const std::vector<PopupShown>& PopupsShown();

// The forms that are showing, front first.
std::vector<Form*> ShowingForms();
// How often the list view's repainting was suspended and is suspended now.
int ListUpdateSuspensions(const ListView& view);

// ---- Acting on controls -------------------------------------------------------------------------
// What the user types, picks, clicks and presses reaches the controls through their Native...
// members (ComboBox::NativeTextChanged, ListView::NativeKeyDown, Image::NativeDblClick, ...).

// Right-clicks the control at screen coordinates: the pop-up menu of the control, or of the nearest of
// its parents that has one, opens there (recorded in PopupsShown). Returns that menu, or null.
PopupMenu* RightClick(Control& control, int screenX, int screenY);

// The list view in report style as this backend measures it: a border of kListBorder pixels on each
// side, a header of kListHeaderHeight pixels while the column headers show, rows of kListRowHeight
// pixels, and a vertical scroll bar kScrollBarWidth pixels wide once the rows do not fit below the
// header. Header, rows and scroll bar are designed at 96 pixels per inch and scale with the form
// (ScaleForDpi); the border does not. An icon view is measured inside its border only.
inline constexpr int kListBorder = 2;
inline constexpr int kListHeaderHeight = 20;
inline constexpr int kListRowHeight = 17;
inline constexpr int kScrollBarWidth = 17;

}  // namespace ui::testing
