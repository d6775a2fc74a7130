// Exceptions that the framework raises. Each carries its class name, which the
// report of unhandled exceptions shows, and a message for the user.
#pragma once

#include <stdexcept>
#include <string>

namespace fw {

/// Base of every exception that the framework raises.
class RuntimeException : public std::runtime_error {
 public:
  explicit RuntimeException(const std::string& message, int errorNumber = 0)
      : std::runtime_error(message), errorNumber_(errorNumber) {}
  /// The exception's class name, as the unhandled-exception report shows it.
  virtual const char* ClassName() const noexcept { return "RuntimeException"; }
  std::string Message() const { return what(); }
  /// The system's error number (errno) behind the failure, or 0 when none is known.
  int ErrorNumber() const noexcept { return errorNumber_; }

 private:
  int errorNumber_;
};

#define FW_DECLARE_EXCEPTION(Name, DefaultMessage)                                  \
  class Name : public RuntimeException {                                            \
   public:                                                                          \
    explicit Name(const std::string& message = DefaultMessage, int errorNumber = 0)     \
        : RuntimeException(message, errorNumber) {}                                     \
    const char* ClassName() const noexcept override { return #Name; }              \
  };

/// A nil reference was used where an object is needed.
FW_DECLARE_EXCEPTION(NilObjectException, "An object was expected, but none was given.")
/// A file could not be opened, read, created or written.
FW_DECLARE_EXCEPTION(IOException, "A file operation failed.")
/// An object was cast to a class that it is not.
FW_DECLARE_EXCEPTION(IllegalCastException, "An object is not of the class it was cast to.")
/// A window or control was used from a thread other than the main thread.
FW_DECLARE_EXCEPTION(ThreadAccessingUIException,
                     "A window or control was used from a thread other than the main thread.")

#undef FW_DECLARE_EXCEPTION

}  // namespace fw
