#include "framework/file_type.h"

#include <algorithm>
#include <map>
#include <sstream>

#include "framework/base/text.h"

namespace fw {

namespace {

struct RegistryState {
  std::map<std::string, DocumentType> types;  // registered types by name
  int registrations = 0;
  std::function<void(const std::string&)> hook;
};

RegistryState& State() {
  static RegistryState state;
  return state;
}

}  // namespace

void FileType::Change(std::string& field, const std::string& value) {
  Withdraw();
  field = value;
}

void FileType::SetImported(bool v) {
  Withdraw();
  imported_ = v;
}

void FileType::Withdraw() {
  if (!registered_) return;
  DocumentTypeRegistry::Withdraw(name_);
  registered_ = false;
}

std::string FileType::Operator_Convert() {
  if (!registered_) {
    DocumentTypeRegistry::Register(name_, macCreator_, macType_, extensions_, uti_);
    registered_ = true;
  }
  return name_;
}

void DocumentTypeRegistry::Register(const std::string& name, const std::string& macCreator,
                                    const std::string& macType, const std::string& extensions,
                                    const std::string& uti) {
  if (State().hook) State().hook(name);
  State().types.insert_or_assign(name, DocumentType{name, macCreator, macType, extensions, uti});
  ++State().registrations;
}

void DocumentTypeRegistry::Withdraw(const std::string& name) { State().types.erase(name); }

const DocumentType* DocumentTypeRegistry::Find(const std::string& name) {
  auto it = State().types.find(name);
  return it == State().types.end() ? nullptr : &it->second;
}

int DocumentTypeRegistry::RegistrationCount() { return State().registrations; }

bool DocumentTypeRegistry::Matches(const DocumentType& type, const std::string& fileName) {
  std::stringstream parts(type.extensions);
  for (std::string extension; std::getline(parts, extension, ';');) {
    if (extension.empty()) continue;
    if (extension.front() != '.') extension = "." + extension;
    if (fileName.size() > extension.size() &&
        TextEquals(std::string_view(fileName).substr(fileName.size() - extension.size()), extension)) {
      return true;
    }
  }
  return false;
}

const DocumentType* DocumentTypeRegistry::ForFileName(const std::string& fileName) {
  for (const auto& [name, type] : State().types) {
    if (Matches(type, fileName)) return &type;
  }
  return nullptr;
}

void DocumentTypeRegistry::SetRegistrationHook(std::function<void(const std::string&)> hook) {
  State().hook = std::move(hook);
}

}  // namespace fw
