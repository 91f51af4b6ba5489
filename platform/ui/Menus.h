#pragma once
// Menus, pop-up menus, actions with their shortcuts, and timers of the window classes
// (platform/ui/Controls.h).

#include <functional>
#include <string>
#include <vector>

#include "platform/ui/Controls.h"

namespace ui {
// ---- Menus and actions ------------------------------------------------------------------------------

class MenuItem : public Component {
 public:
  // A separator is an item with the caption "-".
  void Create(MenuItem& parent, const std::string& caption);
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  // A mark beside the caption: a tick, or for a radio item (one choice among the items around it) a dot.
  bool Checked() const { return checked_; }
  void SetChecked(bool checked);
  bool RadioItem() const { return radioItem_; }
  void SetRadioItem(bool radioItem);
  bool IsSeparator() const { return caption_ == "-"; }
  MenuItem* Parent() const { return parent_; }
  const std::vector<MenuItem*>& Items() const { return items_; }

  std::function<void()> OnClick;
  // Acts as a choice of the item by the user.
  void Click();

 protected:
  MenuItem* parent_ = nullptr;
  std::vector<MenuItem*> items_;
  std::string caption_;
  bool visible_ = true;
  bool enabled_ = true;
  bool checked_ = false;
  bool radioItem_ = false;
};

// The menu bar of a form; its items are the top-level menus.
class MainMenu : public MenuItem {
 public:
  void Create(Form& owner);
  Form* Owner() const { return owner_; }

 private:
  Form* owner_ = nullptr;
};

class PopupMenu : public MenuItem {
 public:
  void Create(Form& owner);
  Form* Owner() const { return owner_; }
  // Backend use: shows the menu at screen coordinates (the user right-clicked its control).
  void Popup(int screenX, int screenY);

 private:
  Form* owner_ = nullptr;
};

// A command bound to a key for as long as its form is active; not attached to any menu item.
class Action : public Component {
 public:
  void Create(Form& owner, ShortCut shortCut);
  ShortCut GetShortCut() const { return shortCut_; }
  Form* Owner() const { return owner_; }
  std::function<void()> OnExecute;
  void Execute();

 private:
  Form* owner_ = nullptr;
  ShortCut shortCut_;
};

// A message timer: fires on the message loop every interval milliseconds while enabled.
struct TimerProps {
  int interval = 1000;
  bool enabled = true;
};
class Timer : public Component {
 public:
  void Create(Form& owner, const TimerProps& props);
  int Interval() const { return interval_; }
  void SetInterval(int milliseconds);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  std::function<void()> OnTimer;
  // Backend use: the interval has passed.
  void NativeFire();
  Form* Owner() const { return owner_; }

 private:
  Form* owner_ = nullptr;
  int interval_ = 1000;
  bool enabled_ = false;
};

}  // namespace ui
