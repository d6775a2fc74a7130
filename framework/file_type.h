// FileType: a kind of document the application knows, and the framework's registry of
// the kinds it has been told about. A window accepts drops of a registered kind by its
// name; the registry is what its drop filter consults.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/picture.h"

namespace fw {

class FileType {
 public:
  FileType() = default;
  FileType(const FileType&) = delete;
  FileType& operator=(const FileType&) = delete;

  const std::string& Name() const noexcept { return name_; }
  void SetName(const std::string& v) { Change(name_, v); }
  /// Extensions with their leading dots, several joined by ";".
  const std::string& Extensions() const noexcept { return extensions_; }
  void SetExtensions(const std::string& v) { Change(extensions_, v); }
  const std::string& MacType() const noexcept { return macType_; }
  void SetMacType(const std::string& v) { Change(macType_, v); }
  const std::string& MacCreator() const noexcept { return macCreator_; }
  void SetMacCreator(const std::string& v) { Change(macCreator_, v); }
  const std::string& MimeType() const noexcept { return mimeType_; }
  void SetMimeType(const std::string& v) { Change(mimeType_, v); }
  const std::string& UTI() const noexcept { return uti_; }
  void SetUTI(const std::string& v) { Change(uti_, v); }
  const std::string& ConformsTo() const noexcept { return conformsTo_; }
  void SetConformsTo(const std::string& v) { Change(conformsTo_, v); }
  bool Imported() const noexcept { return imported_; }
  void SetImported(bool v);
  const PicturePtr& Icon() const noexcept { return icon_; }
  bool Registered() const noexcept { return registered_; }

  /// The type's string form, its Name. The first time (and after a change), this
  /// registers the type with the document-type registry.
  std::string Operator_Convert();

 private:
  void Change(std::string& field, const std::string& value);
  void Withdraw();

  std::string name_, extensions_, macType_, macCreator_, mimeType_, uti_, conformsTo_;
  bool imported_ = false;
  PicturePtr icon_;          // never set by this program
  bool registered_ = false;  // true while the registry holds this type's entry
};
using FileTypePtr = std::shared_ptr<FileType>;

/// One registered kind of document, as the registry keeps it.
struct DocumentType {
  std::string name, macCreator, macType, extensions, uti;
};

/// The framework's registry of document types.
class DocumentTypeRegistry {
 public:
  /// Registers a type, in the order name, creator, Mac type, extensions, UTI. Throws
  /// whatever a test's fault hook throws.
  static void Register(const std::string& name, const std::string& macCreator, const std::string& macType,
                       const std::string& extensions, const std::string& uti);
  static void Withdraw(const std::string& name);
  /// The registered type called `name`, or nullptr.
  static const DocumentType* Find(const std::string& name);
  /// How many registrations were made since the process started (withdrawals do not count down).
  static int RegistrationCount();
  /// True when the file name's extension is one of the type's extensions, in any letter case.
  static bool Matches(const DocumentType& type, const std::string& fileName);
  /// A registered type that `fileName` matches, or nullptr.
  static const DocumentType* ForFileName(const std::string& fileName);

  /// Test seam: a hook run at the start of each registration; it may throw to inject a fault.
  static void SetRegistrationHook(std::function<void(const std::string& name)> hook);
};

}  // namespace fw
