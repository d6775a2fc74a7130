// SQLite's own judgement of whether SQL text ends a statement (sqlite3_complete()), for
// code that must gather statements the way the sqlite3 shell gathers them: the shell runs
// the text that it has gathered once this says the text is complete.
#pragma once

#include <string>

namespace plugins {

/// True when `sql` ends with a semicolon that ends a statement: not one inside a string,
/// a quoted name, a comment or the body of a CREATE TRIGGER. White space and comments may
/// follow that semicolon. Text after a NUL byte is not looked at. Never throws.
bool IsCompleteSql(const std::string& sql) noexcept;

}  // namespace plugins
