// One column's value in one row of a record set, copied out of SQLite when it was asked
// for, so it stays valid however long it is kept, after the record set has moved on or
// the connection has closed.
#pragma once

#include <string>

namespace plugins {

/// A column's name and value as text.
class DatabaseField {
 public:
  /// A field called `name` with the text `value`; `isNull` marks an SQL NULL, whose
  /// value must then be empty.
  DatabaseField(std::string name, std::string value, bool isNull);

  /// The column's name as SQLite gives it (the alias when the statement has one).
  const std::string& Name() const noexcept { return name_; }
  /// The value as text, byte for byte as SQLite gives it: a number in SQLite's own text
  /// form, a text or blob unchanged (newlines, NUL bytes and invalid UTF-8 kept). An
  /// SQL NULL gives the empty text.
  std::string StringValue() const { return value_; }
  /// True when the value is SQL NULL (which StringValue() cannot tell from '').
  bool IsNull() const noexcept { return is_null_; }

 private:
  std::string name_;
  std::string value_;  // empty when is_null_
  bool is_null_;
};

}  // namespace plugins
