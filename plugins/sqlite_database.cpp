// Database and SQLiteDatabase on the SQLite C library. Every prepared statement is held
// by a StatementHandle from the moment SQLite hands it out, so it is finalized on every
// way out; SQLite's messages are copied at once, before anything else can change them.
#include "plugins/sqlite_database.h"

#include <sqlite3.h>

#include <utility>

#include "framework/base/exceptions.h"

namespace plugins {

namespace {

// Prepares the first statement of `sql` from `*tail` on, advancing `*tail` past it.
// Returns SQLite's result code; `out` is null for a text that holds only blanks or
// comments.
int Prepare(sqlite3* db, const std::string& sql, const char** tail, StatementHandle& out) {
  const char* const end = sql.data() + sql.size();
  sqlite3_stmt* prepared = nullptr;
  const int rc = sqlite3_prepare_v2(db, *tail, static_cast<int>(end - *tail), &prepared, tail);
  out.reset(prepared);
  return rc;
}

}  // namespace

Database::Database() : outcome_(std::make_shared<StatementOutcome>()) {}

Database::~Database() = default;

void Database::SetOutcome(bool error, std::string message) {
  outcome_->error = error;
  outcome_->message = std::move(message);
}

SQLiteDatabase::SQLiteDatabase() = default;

SQLiteDatabase::~SQLiteDatabase() { Close(); }

bool SQLiteDatabase::Connect() {
  Close();
  if (file_ == nullptr) {
    SetOutcome(true, "No database file has been set.");
    return false;
  }
  try {
    connection_ = std::make_shared<SQLiteConnection>(*file_);
  } catch (const fw::IOException& e) {
    SetOutcome(true, e.Message());
    return false;
  }
  SetOutcome(false, sqlite3_errmsg(connection_->Handle()));
  return true;
}

bool SQLiteDatabase::RequireConnection() {
  if (connection_ != nullptr) return true;
  SetOutcome(true, "The database is not connected.");
  return false;
}

std::shared_ptr<RecordSet> SQLiteDatabase::SQLSelect(const std::string& statement) {
  if (!RequireConnection()) return nullptr;
  sqlite3* db = connection_->Handle();
  const char* tail = statement.data();
  StatementHandle prepared;
  if (Prepare(db, statement, &tail, prepared) != SQLITE_OK) {
    SetOutcome(true, sqlite3_errmsg(db));
    return nullptr;
  }
  if (prepared == nullptr) {
    SetOutcome(true, "The text holds no SQL statement.");
    return nullptr;
  }
  const int rc = sqlite3_step(prepared.get());
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    SetOutcome(true, sqlite3_errmsg(db));
    return nullptr;
  }
  // While a statement stands on a row, sqlite3_errmsg says "another row available";
  // success is reported the way SQLExecute reports it.
  SetOutcome(false, sqlite3_errstr(SQLITE_OK));
  return std::make_shared<RecordSet>(connection_, std::move(prepared), Outcome(), rc == SQLITE_ROW);
}

void SQLiteDatabase::SQLExecute(const std::string& statement) {
  if (!RequireConnection()) return;
  sqlite3* db = connection_->Handle();
  const char* tail = statement.data();
  const char* const end = statement.data() + statement.size();
  bool ran = false;
  while (tail < end) {
    StatementHandle prepared;
    if (Prepare(db, statement, &tail, prepared) != SQLITE_OK) {
      SetOutcome(true, sqlite3_errmsg(db));
      return;
    }
    if (prepared == nullptr) break;  // only blanks or comments were left
    int rc;
    do {
      rc = sqlite3_step(prepared.get());
    } while (rc == SQLITE_ROW);
    if (rc != SQLITE_DONE) {
      SetOutcome(true, sqlite3_errmsg(db));
      return;
    }
    ran = true;
  }
  // Every statement is finalized by now, so sqlite3_errmsg gives SQLite's word for
  // success; when there was nothing to run it could still hold an older failure.
  SetOutcome(false, ran ? sqlite3_errmsg(db) : sqlite3_errstr(SQLITE_OK));
}

void SQLiteDatabase::Close() noexcept { connection_.reset(); }

}  // namespace plugins
