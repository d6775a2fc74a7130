#include "repair_window/new_album.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <set>

namespace {

/// The places that the running repairs of this process have claimed. Repairs run on the
/// main thread only (each waits for sqlite3 inside the event loop), so no lock is needed.
std::multiset<std::filesystem::path>& Claims() {
  static std::multiset<std::filesystem::path> claims;
  return claims;
}

/// The place's path with the links of its folders resolved, so that two paths to one
/// place compare equal; the path as given when that cannot be worked out.
std::filesystem::path ClaimOf(const fw::FolderItem& place) {
  std::error_code error;
  std::filesystem::path resolved = std::filesystem::weakly_canonical(place.NativePath(), error);
  return error ? place.NativePath() : resolved;
}

}  // namespace

NewAlbum::NewAlbum(fw::FolderItemPtr place) : place_(std::move(place)), claim_(ClaimOf(*place_)) {
  Claims().insert(claim_);
}

NewAlbum::~NewAlbum() {
  RemoveHalfBuilt();
  Claims().erase(Claims().find(claim_));
}

void NewAlbum::RemoveHalfBuilt() noexcept {
  if (!making_) return;
  place_->Delete();
  fw::FolderItem(place_->NativePath().native() + "-journal").Delete();
}

bool NewAlbum::Claimed(const fw::FolderItem& place) { return Claims().contains(ClaimOf(place)); }

std::error_code NewAlbum::Begin(const fw::FolderItem& album) {
  struct stat st {};
  const mode_t mode = ::stat(album.NativePath().c_str(), &st) == 0 ? ((st.st_mode & 0666) | 0600) : 0600;
  const int fd = ::open(place_->NativePath().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) return {errno, std::generic_category()};
  making_ = true;
  ::close(fd);
  return {};
}
