// MenuItem: an entry of a menu bar or menu, with its children. A QuitMenuItem's action
// is the framework's quit of the application.
#pragma once

#include <memory>
#include <string>
#include <vector>

class QMenu;

namespace fw {

class MenuItem;
using MenuItemPtr = std::shared_ptr<MenuItem>;

class MenuItem {
 public:
  MenuItem() = default;
  virtual ~MenuItem() = default;

  const std::string& Name() const noexcept { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  bool AutoEnabled() const noexcept { return autoEnabled_; }
  void SetAutoEnabled(bool on) { autoEnabled_ = on; }
  /// The text, with "&" before the access letter.
  const std::string& Text() const noexcept { return text_; }
  void SetText(const std::string& text) { text_ = text; }
  bool Visible() const noexcept { return visible_; }
  void SetVisible(bool on) { visible_ = on; }
  /// The shortcut in text form, e.g. "Cmd+Q" (Cmd stands for this platform's Ctrl).
  const std::string& Shortcut() const noexcept { return shortcut_; }
  void SetShortcut(const std::string& shortcut) { shortcut_ = shortcut; }

  /// Appends `item` as the last child and keeps it.
  void AddMenu(MenuItemPtr item);
  /// The child whose Name equals `name`, or nullptr.
  MenuItemPtr Child(const std::string& name) const;
  std::size_t Count() const noexcept { return children_.size(); }
  MenuItemPtr Item(std::size_t index) const { return children_.at(index); }

  /// What choosing the item does; a plain item does nothing.
  virtual void Chosen() {}

 private:
  std::string name_, text_, shortcut_;
  bool autoEnabled_ = false;
  bool visible_ = true;
  std::vector<MenuItemPtr> children_;  // in the order added
};

/// The item that quits the application.
class QuitMenuItem : public MenuItem {
 public:
  void Chosen() override;
};

}  // namespace fw
