// File-name operations: see file_name.h for the rules.
#include "plugins/file_name.h"

#include <string_view>

namespace plugins {

namespace {

// The position of the dot that starts the extension, or npos when the name has none.
std::string::size_type ExtensionDot(std::string_view name) {
  const auto dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return std::string_view::npos;
  if (name.find_first_not_of('.') == std::string_view::npos) return std::string_view::npos;
  return dot;
}

}  // namespace

std::string NameExtensionMBS(const fw::FolderItem& item) {
  const std::string name = item.Name();
  const auto dot = ExtensionDot(name);
  return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string NameWithoutExtensionMBS(const fw::FolderItem& item) {
  const std::string name = item.Name();
  const auto dot = ExtensionDot(name);
  return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace plugins
