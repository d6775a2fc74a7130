// RecordSet on the SQLite C library.
#include "plugins/record_set.h"

#include <sqlite3.h>

#include <new>
#include <utility>

#include "framework/base/text.h"

namespace plugins {

RecordSet::RecordSet(std::shared_ptr<SQLiteConnection> connection, StatementHandle statement,
                     std::shared_ptr<StatementOutcome> outcome, bool onRow)
    : connection_(std::move(connection)), statement_(std::move(statement)), outcome_(std::move(outcome)) {
  if (!onRow) Close();
}

RecordSet::~RecordSet() { Close(); }

std::shared_ptr<DatabaseField> RecordSet::Field(const std::string& name) const {
  if (statement_ == nullptr) return nullptr;
  sqlite3_stmt* statement = statement_.get();
  const int count = sqlite3_column_count(statement);
  for (int i = 0; i < count; ++i) {
    const char* column = sqlite3_column_name(statement, i);
    if (column == nullptr || !fw::TextEquals(column, name)) continue;
    if (sqlite3_column_type(statement, i) == SQLITE_NULL) {
      return std::make_shared<DatabaseField>(column, std::string(), true);
    }
    // Text first, then its length in bytes: that order is what makes the length match
    // the text (a blob is given unchanged, a number in SQLite's text form).
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, i));
    const int bytes = sqlite3_column_bytes(statement, i);
    if (text == nullptr && sqlite3_errcode(sqlite3_db_handle(statement)) == SQLITE_NOMEM) throw std::bad_alloc();
    std::string value = text != nullptr ? std::string(text, static_cast<std::size_t>(bytes)) : std::string();
    return std::make_shared<DatabaseField>(column, std::move(value), false);
  }
  return nullptr;
}

int RecordSet::FieldCount() const noexcept {
  return statement_ != nullptr ? sqlite3_column_count(statement_.get()) : 0;
}

void RecordSet::MoveNext() {
  if (statement_ == nullptr) return;
  const int rc = sqlite3_step(statement_.get());
  if (rc == SQLITE_ROW) return;
  if (rc != SQLITE_DONE) {
    outcome_->error = true;
    outcome_->message = sqlite3_errmsg(connection_->Handle());
  }
  Close();
}

void RecordSet::Close() noexcept {
  statement_.reset();
  connection_.reset();
}

}  // namespace plugins
