#include "framework/menu_item.h"

#include "framework/application.h"

namespace fw {

void MenuItem::AddMenu(MenuItemPtr item) { children_.push_back(std::move(item)); }

MenuItemPtr MenuItem::Child(const std::string& name) const {
  for (const auto& child : children_) {
    if (child->Name() == name) return child;
  }
  return nullptr;
}

void QuitMenuItem::Chosen() { QuitApplication(0); }

}  // namespace fw
