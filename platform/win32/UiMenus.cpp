// Menus of the Win32 backend: a main menu is the menu bar of its form, a pop-up menu an HMENU shown with
// TrackPopupMenuEx; each item is an entry of its parent's menu, and an item with items gets a sub-menu.
// An invisible item is taken out of its parent's menu and put back at its place when it shows again.
//
// Each menu node owns the one HMENU it shows its items in. Before that menu is destroyed, the sub-menus
// of its items are taken out of it, so that each HMENU is destroyed exactly once, by its own node, in
// whatever order the menu items go.

#include <algorithm>
#include <utility>

#include "platform/win32/UiWin32.h"

namespace ui {
namespace win32 {

namespace {

class MenuNode;

std::unordered_map<UINT, MenuNode*>& Commands() {
  static std::unordered_map<UINT, MenuNode*> commands;
  return commands;
}

// Command ids of menu items: above the ids the dialog manager sends (IDOK, IDCANCEL, ...) and below
// the system commands.
constexpr UINT kFirstCommand = 0x100;
constexpr UINT kLastCommand = 0xEFFF;

UINT NextCommand() {
  static UINT next = kFirstCommand;
  for (UINT tries = 0; tries <= kLastCommand - kFirstCommand; ++tries) {
    const UINT id = next;
    next = next >= kLastCommand ? kFirstCommand : next + 1;
    if (Commands().count(id) == 0) return id;
  }
  throw std::runtime_error("Too many menu items");
}

class MenuNode : public NativeData {
 public:
  // A menu bar (a form's main menu), a pop-up menu, or an item of another node.
  MenuNode(MenuItem& item, MenuNode* parent, MenuHandle own, HWND bar)
      : item_(&item), parent_(parent), own_(std::move(own)), bar_(bar) {
    if (parent_ != nullptr) {
      id_ = NextCommand();
      Commands()[id_] = this;
      parent_->children_.push_back(this);
    }
  }

  ~MenuNode() override {
    if (id_ != 0) Commands().erase(id_);
    if (parent_ != nullptr) {
      if (attached_) parent_->RemoveEntry(this);
      std::erase(parent_->children_, this);
      parent_->RedrawBar();
    }
    // The sub-menus of the items stay with their own nodes.
    for (MenuNode* child : children_) {
      if (child->attached_ && child->own_) RemoveEntry(child);
      child->parent_ = nullptr;
      child->attached_ = false;
    }
    if (own_ && bar_ != nullptr && IsWindow(bar_) && GetMenu(bar_) == own_.get()) SetMenu(bar_, nullptr);
  }
  MenuNode(const MenuNode&) = delete;
  MenuNode& operator=(const MenuNode&) = delete;

  MenuItem& Item() const { return *item_; }
  HMENU Own() const { return own_.get(); }
  UINT Id() const { return id_; }

  // Puts the item into its parent's menu, or takes it out, as it is visible; refreshes its entry.
  void Sync() {
    if (parent_ == nullptr) return;
    if (!item_->Visible()) {
      if (attached_) parent_->RemoveEntry(this);
    } else if (!attached_) {
      parent_->InsertEntry(this);
    } else {
      MENUITEMINFOA info = EntryInfo();
      SetMenuItemInfoA(parent_->own_.get(), parent_->PositionOf(this), TRUE, &info);
    }
    parent_->RedrawBar();
  }

 private:
  // The menu this node shows its items in; an item gets its sub-menu with its first item.
  HMENU EnsureOwn() {
    if (!own_) {
      own_.reset(CreatePopupMenu());
      if (!own_) throw std::runtime_error("A menu cannot be created");
      if (attached_) {
        MENUITEMINFOA info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_SUBMENU;
        info.hSubMenu = own_.get();
        SetMenuItemInfoA(parent_->own_.get(), parent_->PositionOf(this), TRUE, &info);
      }
    }
    return own_.get();
  }

  // The type, state and text of the item's entry (a separator has no text).
  MENUITEMINFOA EntryInfo() {
    MENUITEMINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STATE | (item_->IsSeparator() ? 0 : MIIM_STRING);
    info.fType = item_->IsSeparator() ? MFT_SEPARATOR : MFT_STRING;
    if (item_->RadioItem()) info.fType |= MFT_RADIOCHECK;
    info.fState = (item_->Enabled() ? MFS_ENABLED : MFS_DISABLED) | (item_->Checked() ? MFS_CHECKED : 0);
    caption_ = item_->Caption();
    info.dwTypeData = caption_.data();
    info.cch = static_cast<UINT>(caption_.size());
    return info;
  }

  // The position of a child's entry: the number of shown children before it.
  UINT PositionOf(const MenuNode* child) const {
    UINT position = 0;
    for (const MenuNode* other : children_) {
      if (other == child) break;
      if (other->attached_) ++position;
    }
    return position;
  }

  void InsertEntry(MenuNode* child) {
    MENUITEMINFOA info = child->EntryInfo();
    info.fMask |= MIIM_ID;
    info.wID = child->id_;
    if (child->own_) {
      info.fMask |= MIIM_SUBMENU;
      info.hSubMenu = child->own_.get();
    }
    if (!InsertMenuItemA(EnsureOwn(), PositionOf(child), TRUE, &info)) {
      throw std::runtime_error("A menu item cannot be added");
    }
    child->attached_ = true;
  }

  void RemoveEntry(MenuNode* child) {
    // RemoveMenu keeps a sub-menu alive (its node owns it).
    RemoveMenu(own_.get(), PositionOf(child), MF_BYPOSITION);
    child->attached_ = false;
  }

  void RedrawBar() const {
    const MenuNode* root = this;
    while (root->parent_ != nullptr) root = root->parent_;
    if (root->bar_ != nullptr && IsWindow(root->bar_)) DrawMenuBar(root->bar_);
  }

  MenuItem* item_;  // valid while the node lives (the item releases the node when it goes)
  MenuNode* parent_;
  std::vector<MenuNode*> children_;  // in the order of the items
  MenuHandle own_;
  HWND bar_;  // the form whose menu bar this root node is
  UINT id_ = 0;
  bool attached_ = false;
  std::string caption_;  // the text handed to the menu, kept while the call uses it
};

HWND OwnerWindow(const Form* form) {
  if (form != nullptr && form->Native() != nullptr) {
    if (const auto hwnd = static_cast<HWND>(form->Native()->WindowHandle())) return hwnd;
  }
  return ApplicationWindow();
}

}  // namespace

void CreateMenuNative(MenuItem& item) {
  if (auto* main = dynamic_cast<MainMenu*>(&item)) {
    MenuHandle bar(CreateMenu());
    if (!bar) throw std::runtime_error("A menu bar cannot be created");
    const HWND form = main->Owner() != nullptr && main->Owner()->Native() != nullptr
                          ? static_cast<HWND>(main->Owner()->Native()->WindowHandle())
                          : nullptr;
    const HMENU handle = bar.get();
    auto node = std::make_unique<MenuNode>(item, nullptr, std::move(bar), form);
    if (form != nullptr && !SetMenu(form, handle)) throw std::runtime_error("The menu bar cannot be shown");
    item.SetNative(std::move(node));
    return;
  }
  if (dynamic_cast<PopupMenu*>(&item) != nullptr) {
    MenuHandle menu(CreatePopupMenu());
    if (!menu) throw std::runtime_error("A pop-up menu cannot be created");
    item.SetNative(std::make_unique<MenuNode>(item, nullptr, std::move(menu), nullptr));
    return;
  }
  MenuNode* parent = item.Parent() != nullptr ? dynamic_cast<MenuNode*>(item.Parent()->Native()) : nullptr;
  auto node = std::make_unique<MenuNode>(item, parent, MenuHandle(), nullptr);
  MenuNode& created = *node;
  item.SetNative(std::move(node));
  created.Sync();
}

bool DispatchMenuCommand(UINT id) {
  const auto it = Commands().find(id);
  if (it == Commands().end()) return false;
  it->second->Item().Click();
  return true;
}

HMENU MenuHandleOf(const MenuItem& item) {
  const auto* node = dynamic_cast<const MenuNode*>(item.Native());
  return node != nullptr ? node->Own() : nullptr;
}

UINT MenuCommandOf(const MenuItem& item) {
  const auto* node = dynamic_cast<const MenuNode*>(item.Native());
  return node != nullptr ? node->Id() : 0;
}

}  // namespace win32

namespace native {

using namespace win32;

void MenuChanged(MenuItem& item) {
  if (auto* node = dynamic_cast<MenuNode*>(item.Native())) node->Sync();
}

void ShowPopup(PopupMenu& menu, int screenX, int screenY) {
  auto* node = dynamic_cast<MenuNode*>(menu.Native());
  if (node == nullptr || GetMenuItemCount(node->Own()) <= 0) return;
  const HWND owner = OwnerWindow(menu.Owner());
  // The owner must be in front for the menu to close when the user clicks elsewhere.
  SetForegroundWindow(owner);
  const UINT id = static_cast<UINT>(TrackPopupMenuEx(
      node->Own(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, screenX, screenY, owner, nullptr));
  PostMessageA(owner, WM_NULL, 0, 0);
  if (id == 0) return;
  const auto it = Commands().find(id);
  if (it == Commands().end()) return;
  MenuItem& chosen = it->second->Item();
  Guard(menu.Owner()->App(), [&chosen] { chosen.Click(); });
}

}  // namespace native
}  // namespace ui
