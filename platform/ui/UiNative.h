#pragma once
// The hooks between the portable window classes of platform/ui/Ui.h and a backend. The classes call these
// functions whenever their state changes; each backend (win32/, tests/doubles/) implements all of them.
// The backend reports what the user did through the Native... members of the classes (for example
// ListView::NativeSelectionChanged), and only what the user did: a change the classes made themselves
// (a SetSelected from code) is already known to them and must not be reported back, or its event
// would run twice.
//
// Every hook may assume that the component's Create has run. Exceptions: a hook never lets an
// exception from a handler cross a native callback; it catches it and calls
// Application::HandleException.

#include <string>

#include "platform/ui/ScreenOverlay.h"
#include "platform/ui/Ui.h"

namespace ui::native {

enum class Change {
  Bounds,
  Visible,
  Enabled,
  Caption,  // ComboBox: the text and the selected item
  Color,
  Font,
  Hint,
  Picture,      // Image: the picture, or whether it is centred
  Checked,      // CheckBox: the state
  State,        // Form: window state; Timer: interval or enabled
  DoubleBuffer  // Form
};

// ---- Components -------------------------------------------------------------------------------------

// Makes the native object of a component right after its Create (its parent's exists already) and
// stores it with Component::SetNative. The native object's destructor releases what it holds; members
// of a form go before the form, so child windows are destroyed before their parents.
void Created(Component& component);
// A property of a control, form or timer changed.
void Changed(Component& component, Change what);

// ---- Forms ------------------------------------------------------------------------------------------

void ShowForm(Form& form);  // shows and brings it to the front; placed by its Position at first show
// (After a Changed(form, Bounds) or a window-state change that alters the client size, the backend
// calls Form::NativeClientResized, as it does when the user sizes the window.)
void HideForm(Form& form);
// Runs a nested message loop until the form is no longer showing.
void RunModal(Form& form);
// The outer size minus the client size (caption bar, borders, menu bar, and the scroll bars the form
// shows), at the form's current state.
void NonClientSize(const Form& form, int& extraWidth, int& extraHeight);
// The room a scroll bar of the form takes: the width of the vertical bar and the height of the
// horizontal one.
void ScrollBarSize(const Form& form, int& verticalWidth, int& horizontalHeight);
// A form with autoScroll: its scroll ranges or positions changed. The backend shows the bars the ranges
// ask for, at their positions, and shows every child of the form moved by the positions. (Showing or
// hiding a bar changes the client size: the backend calls Form::NativeClientResized as usual.)
void ScrollChanged(Form& form);
// Keyboard focus: Control::SetFocus asks for it (at once when the form is active, else at its next
// activation); FocusedControl answers Form::FocusedControl.
void FocusControl(Control& control);
Control* FocusedControl(const Form& form);

// ---- Menus ------------------------------------------------------------------------------------------

// An item was added to a menu, or an item's caption, visibility, enabled or checked state changed.
void MenuChanged(MenuItem& item);
void ShowPopup(PopupMenu& menu, int screenX, int screenY);

// ---- Image list and list view -----------------------------------------------------------------------

void ImageListChanged(ImageList& list);               // size changed or cleared
void ImageAdded(ImageList& list, int index);          // an image was appended
void ListItemsAdded(ListView& view, int firstIndex);  // items from firstIndex to the end are new
void ListCleared(ListView& view);
void ListItemSelected(ListView& view, int index);    // the class changed this item's selected state
void ListUpdating(ListView& view, bool suspended);   // repainting suspended (true) or resumed (false)
void ListColumnChanged(ListView& view, int column);  // report style: the width of a column changed
// The width inside the view's border, less the vertical scroll bar when the view shows one.
int ListClientWidth(const ListView& view);

// ---- Combo boxes ------------------------------------------------------------------------------------

// Makes the native object of a combo box (its items, text and selected item as the class holds them);
// called by ComboBox::Create right after Created, which leaves combo boxes to this hook.
void ComboBoxCreated(ComboBox& combo);

// ---- Edit fields ------------------------------------------------------------------------------------

// Makes the native object of an edit field; called by Edit::Create right after Created, which leaves
// edit fields to this hook.
void EditCreated(Edit& edit);

// ---- Dialogs ----------------------------------------------------------------------------------------
// Each shows its dialog modally and, on OK, writes the answer into the dialog object and returns true.

bool ExecuteFontDialog(FontDialog& dialog);
bool ExecuteColorDialog(ColorDialog& dialog);
bool ExecuteSaveDialog(SaveDialog& dialog);
bool ExecuteOpenDialog(OpenDialog& dialog);
// Only while the save dialog is open and runs SaveDialog::OnTypeChange (SaveDialog::TypeChanging):
// the name in its name box as a full path (empty when the dialog cannot tell), and a new text for it.
std::string SaveDialogFilePath(const SaveDialog& dialog);
void SetSaveDialogFileNameText(SaveDialog& dialog, const std::string& text);

// ---- Screen overlay ---------------------------------------------------------------------------------

// Shows the overlay over its area with its picture, in front of every window, with the cross-hair
// pointer, the keyboard focus and the mouse captured, and runs the messages until OverlayClosed; then
// hides it. The user's actions reach ScreenOverlay::Native... in picture coordinates.
void RunOverlay(ScreenOverlay& overlay);
// The part of the overlay's picture (picture coordinates) changed: it is painted again.
void OverlayInvalidated(ScreenOverlay& overlay, const os::ScreenRect& part);
// Ends the loop of RunOverlay.
void OverlayClosed(ScreenOverlay& overlay);
// Moves the mouse pointer onto the pixel of the overlay's picture.
void OverlayMovePointer(ScreenOverlay& overlay, int x, int y);

// The error box: caption, text, stop icon, OK button; returns when it is closed.
void ShowErrorBox(const std::string& caption, const std::string& text);

// ---- Application ------------------------------------------------------------------------------------

void SetApplicationTitle(Application& app, const std::string& title);
// The window-system handles of a form's window and of the program's application window (0 where there
// is none). In the headless backend, every form is a window of the virtual screen
// (platform/ui/WindowSystemTesting.h): shown forms are visible there, with their caption as title and
// their bounds as rectangle, and a form that is shown comes to the front.
os::WindowHandle FormHandle(const Form& form);
os::WindowHandle ApplicationHandle(const Application& app);
// Runs the message loop until Application::Terminated().
void RunMessageLoop(Application& app);
void ProcessMessages(Application& app);
void Terminate(Application& app);
int ScreenPixelsPerInch();
// The size of the primary screen in pixels.
int ScreenWidth();
int ScreenHeight();
// The program's icon at width x height on the background; an empty picture when it has none.
TBitmap ProgramIconPicture(int width, int height, TColor background);

}  // namespace ui::native
