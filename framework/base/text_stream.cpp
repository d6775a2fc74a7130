// TextInputStream and TextOutputStream on open/read/write/close.
#include "framework/base/text_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

namespace fw {

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

std::string Describe(const char* what, const std::string& path, int error) {
  return std::string(what) + " \"" + path + "\": " + std::strerror(error);
}

// The failure of a file operation, with the system's error number.
[[noreturn]] void FailWith(const char* what, const std::string& path, int error) {
  throw IOException(Describe(what, path, error), error);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// TextInputStream

std::shared_ptr<TextInputStream> TextInputStream::Open(const FolderItemPtr& file) {
  if (!file) throw NilObjectException("TextInputStream.Open: the file is nil.");
  const std::string& path = file->NativePath().native();
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) FailWith("The file could not be opened for reading:", path, errno);
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    const int error = errno;
    ::close(fd);
    FailWith("The file could not be opened for reading:", path, error);
  }
  if (S_ISDIR(st.st_mode)) {
    ::close(fd);
    FailWith("The file could not be opened for reading:", path, EISDIR);
  }
  return std::shared_ptr<TextInputStream>(new TextInputStream(fd, path));
}

TextInputStream::TextInputStream(int fd, std::string path)
    : fd_(fd), path_(std::move(path)), buffer_(kBufferSize) {}

TextInputStream::~TextInputStream() { Close(); }

void TextInputStream::Close() noexcept {
  if (fd_ >= 0) {
    ::close(fd_);  // nothing was written: an error of close() changes nothing for a reader
    fd_ = -1;
  }
  pos_ = end_ = 0;
  endOfFile_ = true;
}

bool TextInputStream::Fill() {
  if (endOfFile_) return false;
  ssize_t n;
  do {
    n = ::read(fd_, buffer_.data(), buffer_.size());
  } while (n < 0 && errno == EINTR);
  if (n < 0) FailWith("The file could not be read:", path_, errno);
  pos_ = 0;
  end_ = static_cast<std::size_t>(n);
  if (n == 0) endOfFile_ = true;
  return n > 0;
}

std::string TextInputStream::ReadLine() {
  std::string line;
  ReadLine(line);
  return line;
}

void TextInputStream::ReadLine(std::string& line) {
  if (fd_ < 0) throw IOException("The file \"" + path_ + "\" is closed: no line can be read.");
  line.clear();
  for (;;) {
    if (pos_ == end_ && !Fill()) return;  // end of file: the last line, or ""
    const char* start = buffer_.data() + pos_;
    const std::size_t available = end_ - pos_;
    const void* newline = std::memchr(start, '\n', available);
    if (newline != nullptr) {
      const std::size_t length = static_cast<std::size_t>(static_cast<const char*>(newline) - start);
      line.append(start, length);
      pos_ += length + 1;
      return;
    }
    line.append(start, available);
    pos_ = end_;
  }
}

bool TextInputStream::AtEOF() {
  if (fd_ < 0) return true;
  if (pos_ < end_) return false;
  return !Fill();
}

// ---------------------------------------------------------------------------------------
// TextOutputStream

std::shared_ptr<TextOutputStream> TextOutputStream::Create(const FolderItemPtr& file) {
  if (!file) throw NilObjectException("TextOutputStream.Create: the file is nil.");
  const std::string& path = file->NativePath().native();
  int fd;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) FailWith("The file could not be created:", path, errno);
  return std::shared_ptr<TextOutputStream>(new TextOutputStream(fd, path));
}

TextOutputStream::TextOutputStream(int fd, std::string path) : fd_(fd), path_(std::move(path)) {
  buffer_.reserve(kBufferSize);
}

TextOutputStream::~TextOutputStream() {
  try {
    Close();
  } catch (...) {
    // A destructor never throws; Close() has closed the file in any case.
  }
}

void TextOutputStream::Fail(const char* what, int error) {
  buffer_.clear();  // what could not be written is dropped: it is not tried again
  FailWith(what, path_, error);
}

void TextOutputStream::WriteAll(const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd_, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("The file could not be written:", errno);
    }
    if (n == 0) Fail("The file could not be written:", EIO);
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

void TextOutputStream::Write(std::string_view text) {
  if (fd_ < 0) throw IOException("The file \"" + path_ + "\" is closed: nothing can be written.");
  if (buffer_.size() + text.size() <= kBufferSize) {
    buffer_.append(text);
    if (buffer_.size() == kBufferSize) Flush();
    return;
  }
  Flush();
  if (text.size() >= kBufferSize) {
    WriteAll(text.data(), text.size());  // a long text goes straight to the file
  } else {
    buffer_.append(text);
  }
}

void TextOutputStream::WriteLine(std::string_view text) {
  Write(text);
  Write("\n");
}

void TextOutputStream::Flush() {
  if (fd_ < 0) throw IOException("The file \"" + path_ + "\" is closed: nothing can be written.");
  if (buffer_.empty()) return;
  WriteAll(buffer_.data(), buffer_.size());
  buffer_.clear();
}

void TextOutputStream::Close() {
  if (fd_ < 0) return;
  std::optional<IOException> failure;
  try {
    Flush();
  } catch (const IOException& e) {
    failure = e;
  }
  // close() is not retried on EINTR: on Linux the descriptor is gone in any case.
  if (::close(fd_) != 0 && !failure) {
    failure = IOException(Describe("The file could not be closed:", path_, errno), errno);
  }
  fd_ = -1;
  buffer_.clear();
  if (failure) throw *failure;
}

}  // namespace fw
