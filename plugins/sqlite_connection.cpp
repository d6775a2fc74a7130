// SQLiteConnection on the SQLite C library.
#include "plugins/sqlite_connection.h"

#include <sqlite3.h>

#include "framework/base/exceptions.h"

namespace plugins {

namespace {

// How long a statement waits for a writer that holds the album locked before it fails
// with "database is locked".
constexpr int kBusyTimeoutMs = 2000;

}  // namespace

void StatementFinalizer::operator()(sqlite3_stmt* statement) const noexcept { sqlite3_finalize(statement); }

// sqlite3_close_v2 never fails for want of finalized statements: should one still be
// open, the connection is closed when it is finalized.
void ConnectionCloser::operator()(sqlite3* connection) const noexcept { sqlite3_close_v2(connection); }

SQLiteConnection::SQLiteConnection(const fw::FolderItem& album)
    : snapshot_(std::make_unique<AlbumSnapshot>(album)) {
  // SQLITE_OPEN_CREATE is never given: a file that vanished since the snapshot looked
  // fails to open instead of becoming a new empty database. No SQLITE_OPEN_URI: the path
  // is absolute, so it cannot be read as a "file:" URI either.
  const int flags = snapshot_->IsPrivateCopy() ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY;
  sqlite3* opened = nullptr;
  const int rc = sqlite3_open_v2(snapshot_->DatabasePath().c_str(), &opened, flags, nullptr);
  handle_.reset(opened);  // owned before the result is looked at: SQLite allocates it even on failure
  if (rc != SQLITE_OK) {
    throw fw::IOException("The album cannot be opened: " +
                          std::string(opened != nullptr ? sqlite3_errmsg(opened) : sqlite3_errstr(rc)));
  }
  sqlite3_busy_timeout(opened, kBusyTimeoutMs);
  // A flag pragma: it reads nothing from the file, so it succeeds even for a file that
  // is not a database.
  if (sqlite3_exec(opened, "PRAGMA query_only = ON", nullptr, nullptr, nullptr) != SQLITE_OK) {
    throw fw::IOException("The album cannot be opened for reading only: " + std::string(sqlite3_errmsg(opened)));
  }
}

SQLiteConnection::~SQLiteConnection() = default;

}  // namespace plugins
