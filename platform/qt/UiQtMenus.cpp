// Menus of the Qt backend. A main menu is a QMenuBar that its form puts above its client area,
// a pop-up menu a QMenu; every item is a QAction in its parent's menu, and an item with items of its own
// gets a QMenu of its own. Captions keep their meaning: '&' marks the mnemonic ("&&" is an ampersand),
// text after a tab shows as the item's key, "-" is a separator. (The forms' actions, the shortcuts, run
// from the backend's key filter in UiQt.cpp, before the focused control sees the key.)

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <algorithm>
#include <memory>

#include "platform/qt/UiQt.h"

namespace ui::qt {

namespace {

// The application a menu item's handlers run for: its menu's form's.
Application* AppOf(const MenuItem& item) {
  const MenuItem* root = &item;
  while (root->Parent() != nullptr) root = root->Parent();
  if (const auto* main = dynamic_cast<const MainMenu*>(root); main != nullptr && main->Owner() != nullptr) {
    return &main->Owner()->App();
  }
  if (const auto* popup = dynamic_cast<const PopupMenu*>(root);
      popup != nullptr && popup->Owner() != nullptr) {
    return &popup->Owner()->App();
  }
  return nullptr;
}

// The native side of a menu item: the menu bar of a main menu, the menu of a pop-up menu; for an item its
// entry (an action) in its parent's menu and, once it has items, the menu it shows them in.
class MenuNative : public NativeData {
 public:
  explicit MenuNative(MenuItem& item) : item_(item) {}
  ~MenuNative() override {
    if (auto* main = dynamic_cast<MainMenu*>(&item_); main != nullptr && bar_ && main->Owner() != nullptr) {
      SetFormMenuBar(*main->Owner(), nullptr);
    }
    delete action_.data();
    delete menu_.data();
    delete bar_.data();
  }
  MenuNative(const MenuNative&) = delete;
  MenuNative& operator=(const MenuNative&) = delete;

  void MakeBar(Form& form) {
    bar_ = new QMenuBar();
    // The bar stays in the window, also where the desktop would take menus to a global bar of its own.
    bar_->setNativeMenuBar(false);
    SetFormMenuBar(form, bar_);
  }

  void MakePopup() { menu_ = new QMenu(); }

  // The entry of an item in its parent's menu.
  void MakeEntry(MenuNative& parent) {
    QWidget* container = parent.Container();
    action_ = new QAction(container);
    container->addAction(action_);
    QObject::connect(action_, &QAction::triggered, action_, [this] { Triggered(); });
    Sync();
  }

  QMenu* Menu() const { return menu_.data(); }
  QAction* Entry() const { return action_.data(); }

  // The widget the items' entries go into; an item gets its menu with its first item.
  QWidget* Container() {
    if (bar_) return bar_;
    if (!menu_) {
      menu_ = new QMenu(action_ ? qobject_cast<QWidget*>(action_->parent()) : nullptr);
      if (action_) action_->setMenu(menu_.data());
    }
    return menu_;
  }

  // Mirrors the item's caption and state in its entry.
  void Sync() {
    if (!action_) return;
    action_->setSeparator(item_.IsSeparator());
    if (!item_.IsSeparator()) action_->setText(ToQString(item_.Caption()));
    action_->setEnabled(item_.Enabled());
    action_->setVisible(item_.Visible());
    // Only a ticked item is checkable: an unticked one shows no empty box, as in the system's menus.
    action_->setCheckable(item_.Checked());
    action_->setChecked(item_.Checked());
    if (item_.RadioItem() && !group_) {
      // An exclusive group of its own makes the mark a dot; which item is ticked is the class's matter.
      group_ = std::make_unique<QActionGroup>(nullptr);
      group_->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
      group_->addAction(action_);
    } else if (!item_.RadioItem() && group_) {
      group_->removeAction(action_);
      group_.reset();
    }
  }

 private:
  void Triggered() {
    Application* app = AppOf(item_);
    if (app == nullptr) return;
    // The entry may be gone after the handler (the menus rebuilt); what is left shows the class's state.
    const QPointer<QAction> action = action_;
    Guard(*app, [this] { item_.Click(); });
    if (action) Sync();
  }

  MenuItem& item_;
  QPointer<QMenuBar> bar_;
  QPointer<QMenu> menu_;
  QPointer<QAction> action_;
  std::unique_ptr<QActionGroup> group_;
};

MenuNative* NativeOf(const MenuItem& item) { return dynamic_cast<MenuNative*>(item.Native()); }

}  // namespace

void CreateMenuNative(MenuItem& item) {
  EnsureApplication();
  auto native = std::make_unique<MenuNative>(item);
  MenuNative& created = *native;
  if (auto* main = dynamic_cast<MainMenu*>(&item)) {
    item.SetNative(std::move(native));
    if (main->Owner() != nullptr) created.MakeBar(*main->Owner());
    return;
  }
  if (dynamic_cast<PopupMenu*>(&item) != nullptr) {
    created.MakePopup();
    item.SetNative(std::move(native));
    return;
  }
  item.SetNative(std::move(native));
  if (MenuNative* parent = item.Parent() != nullptr ? NativeOf(*item.Parent()) : nullptr)
    created.MakeEntry(*parent);
}

}  // namespace ui::qt

namespace ui::native {

using namespace ui::qt;

void MenuChanged(MenuItem& item) {
  if (MenuNative* native = NativeOf(item)) native->Sync();
}

void ShowPopup(PopupMenu& menu, int screenX, int screenY) {
  MenuNative* native = NativeOf(menu);
  QMenu* shown = native != nullptr ? native->Menu() : nullptr;
  if (shown == nullptr) return;
  const QList<QAction*> actions = shown->actions();
  if (std::none_of(actions.begin(), actions.end(), [](const QAction* a) { return a->isVisible(); })) return;
  // The chosen item's click runs from its entry's signal, guarded there.
  shown->exec(QPoint(screenX, screenY));
}

}  // namespace ui::native
