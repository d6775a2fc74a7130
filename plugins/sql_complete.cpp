#include "plugins/sql_complete.h"

#include <sqlite3.h>

namespace plugins {

bool IsCompleteSql(const std::string& sql) noexcept { return sqlite3_complete(sql.c_str()) != 0; }

}  // namespace plugins
