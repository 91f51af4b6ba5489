// The portable half of menus, actions, timers and dialogs.

#include "platform/ui/Menus.h"

#include <algorithm>
#include <functional>
#include <stdexcept>
#include "platform/ui/Dialogs.h"

#include "platform/ui/Shared.h"
#include "platform/ui/UiNative.h"

namespace ui {

using namespace detail;

// ---- Menus, actions, timers -------------------------------------------------------------------------

void MenuItem::Create(MenuItem& parent, const std::string& caption) {
  parent_ = &parent;
  caption_ = caption;
  parent.items_.push_back(this);
  native::Created(*this);
}

void MenuItem::SetCaption(const std::string& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  native::MenuChanged(*this);
}

void MenuItem::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  native::MenuChanged(*this);
}

void MenuItem::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  native::MenuChanged(*this);
}

void MenuItem::SetChecked(bool checked) {
  if (checked == checked_) return;
  checked_ = checked;
  native::MenuChanged(*this);
}

void MenuItem::SetRadioItem(bool radioItem) {
  if (radioItem == radioItem_) return;
  radioItem_ = radioItem;
  native::MenuChanged(*this);
}

void MenuItem::Click() {
  if (enabled_ && OnClick) OnClick();
}

void MainMenu::Create(Form& owner) {
  owner_ = &owner;
  owner.menu_ = this;
  native::Created(*this);
}

void PopupMenu::Create(Form& owner) {
  owner_ = &owner;
  native::Created(*this);
}

void PopupMenu::Popup(int screenX, int screenY) { native::ShowPopup(*this, screenX, screenY); }

void Action::Create(Form& owner, ShortCut shortCut) {
  owner_ = &owner;
  shortCut_ = shortCut;
  owner.actions_.push_back(this);
  native::Created(*this);
}

void Action::Execute() {
  if (OnExecute) OnExecute();
}

void Timer::Create(Form& owner, const TimerProps& props) {
  owner_ = &owner;
  interval_ = props.interval;
  enabled_ = props.enabled;
  owner.timers_.push_back(this);
  native::Created(*this);
}

void Timer::SetInterval(int milliseconds) {
  if (milliseconds == interval_) return;
  interval_ = milliseconds;
  native::Changed(*this, native::Change::State);
}

void Timer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  native::Changed(*this, native::Change::State);
}

void Timer::NativeFire() {
  if (enabled_ && interval_ > 0 && OnTimer) OnTimer();
}

// ---- Dialogs ----------------------------------------------------------------------------------------

void FontDialog::Create(Form& owner, const Font& initial) {
  owner_ = &owner;
  font_ = initial;
  native::Created(*this);
}

bool FontDialog::Execute() { return native::ExecuteFontDialog(*this); }

void ColorDialog::Create(Form& owner) {
  owner_ = &owner;
  native::Created(*this);
}

bool ColorDialog::Execute() { return native::ExecuteColorDialog(*this); }

void FileDialog::Attach(Form& owner, const std::string& filter, int filterIndex) {
  owner_ = &owner;
  filter_ = filter;
  filterIndex_ = filterIndex;
}

bool FileDialog::Run(const std::function<bool()>& show) {
  const int filterIndex = filterIndex_;
  const bool chosen = show();
  // A type picked in a dialog that was cancelled is no choice.
  if (!chosen) filterIndex_ = filterIndex;
  return chosen;
}

void SaveDialog::Create(Form& owner, const SaveDialogProps& props) {
  Attach(owner, props.filter, props.filterIndex);
  defaultExt_ = props.defaultExt;
  overwritePrompt_ = props.overwritePrompt;
  native::Created(*this);
}

bool SaveDialog::Execute() {
  typeChanging_ = false;
  return Run([this] {
    const bool chosen = native::ExecuteSaveDialog(*this);
    typeChanging_ = false;
    return chosen;
  });
}

void OpenDialog::Create(Form& owner, const OpenDialogProps& props) {
  Attach(owner, props.filter, props.filterIndex);
  native::Created(*this);
}

bool OpenDialog::Execute() {
  return Run([this] { return native::ExecuteOpenDialog(*this); });
}

void SaveDialog::NativeTypeChanged(int filterIndex) {
  SetFilterIndex(filterIndex);
  if (!OnTypeChange) return;
  // DialogFilePath and SetDialogFileNameText reach the dialog while the handler runs.
  const FlagScope changing(typeChanging_);
  OnTypeChange();
}

std::string SaveDialog::DialogFilePath() const {
  return typeChanging_ ? native::SaveDialogFilePath(*this) : std::string();
}

void SaveDialog::SetDialogFileNameText(const std::string& text) {
  if (typeChanging_) native::SetSaveDialogFileNameText(*this, text);
}

}  // namespace ui
