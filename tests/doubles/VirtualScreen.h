#pragma once
// Internals of the headless backend shared by the window classes (UiHeadless.cpp) and the virtual
// screen (WindowSystem.cpp): each form is a window of the virtual screen, and the screen's Sleep moves
// the clock that the window classes keep for their timers.

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Ui.h"

namespace os::headless {

// The native object of a form: makes the form's window of the virtual screen (hidden, in front of
// the other windows) and closes it when it goes. The window reads its title, rectangle and state from
// the form.
std::unique_ptr<ui::NativeData> MakeFormWindow(ui::Form& form);
// The form was shown: its window becomes visible, comes to the front and becomes the active window.
void FormShown(const ui::Form& form);
// The form was hidden: its window becomes invisible; when it was active, the frontmost other showing
// form's window becomes active (0 when there is none).
void FormHidden(const ui::Form& form);
// The forms whose window stands in the screen's z-order and that are showing, front first.
std::vector<ui::Form*> ShowingFormsFrontFirst();
void ApplicationTitleChanged(const std::string& title);
// Part of ui::testing::Reset: every window but the forms' and the application window goes; the
// pixels, the keyboard, the record and the slept time are reset.
void ResetScreen();

}  // namespace os::headless

namespace ui::headless {

// Moves the clock of ui::testing on by the milliseconds without running a timer (the thread sleeps);
// the timers that fall due meanwhile run at the next AdvanceTime or ProcessMessages, once each.
void PassTime(int milliseconds);

}  // namespace ui::headless
