// Line-by-line reading and writing of text files. The bytes are passed through exactly:
// NUL bytes, invalid UTF-8 and lone '\r' are neither checked nor converted. Both streams
// are buffered with a fixed 64 KiB buffer (read(2)/write(2)); a file is never held in
// memory as a whole, but one line is, and a line can be of any length.
//
// A stream belongs to one thread at a time. Every failure of the file system raises
// IOException with the path and the system's message; a nil file raises
// NilObjectException.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/base/exceptions.h"
#include "framework/base/folder_item.h"

namespace fw {

class TextInputStream {
 public:
  /// Opens an existing file for reading. Throws NilObjectException when `file` is nil and
  /// IOException when it cannot be opened (missing, a folder, no permission, ...).
  static std::shared_ptr<TextInputStream> Open(const FolderItemPtr& file);

  ~TextInputStream();  // closes the file
  TextInputStream(const TextInputStream&) = delete;
  TextInputStream& operator=(const TextInputStream&) = delete;

  /// The bytes up to the next '\n', without it. Line ends are not interpreted further: a
  /// "\r\n" file gives lines that end in '\r', and a lone '\r' is an ordinary byte. The
  /// last line is returned even when no '\n' ends it. At the end of the file the result
  /// is "". Throws IOException on a read error or when the stream is closed.
  std::string ReadLine();
  /// The same, into `line` (replacing what it held): a long copy reuses one string.
  void ReadLine(std::string& line);

  /// True once every byte of the file has been read: after the last line, at once for an
  /// empty file, and always after Close(). A file that ends in "\n" has no extra empty
  /// last line. It may read ahead, so it can throw IOException on a read error.
  ///
  /// Named AtEOF rather than EOF: EOF is an object-like macro of <cstdio> (it expands to
  /// (-1)), so a member called EOF does not compile wherever <cstdio> is included before
  /// the declaration or the call, and no trick short of #undef EOF avoids that.
  bool AtEOF();

  /// Closes the file. Does nothing when already closed.
  void Close() noexcept;

 private:
  TextInputStream(int fd, std::string path);
  // Refills the buffer; false at end of file. Throws IOException on a read error.
  bool Fill();

  int fd_;
  std::string path_;
  std::vector<char> buffer_;
  std::size_t pos_ = 0;  // next unread byte in buffer_
  std::size_t end_ = 0;  // end of the valid bytes in buffer_
  bool endOfFile_ = false;
};

class TextOutputStream {
 public:
  /// Creates a new, empty file (an existing file is emptied), mode 0666 less the umask.
  /// Throws NilObjectException when `file` is nil and IOException when it cannot be
  /// made (folder missing, no permission, a folder of that name, ...).
  static std::shared_ptr<TextOutputStream> Create(const FolderItemPtr& file);

  /// Flushes and closes; errors are ignored here: call Close() to learn of them.
  ~TextOutputStream();
  TextOutputStream(const TextOutputStream&) = delete;
  TextOutputStream& operator=(const TextOutputStream&) = delete;

  /// Writes the text and "\n". Throws IOException on a write error (which may show only
  /// at a later WriteLine, Flush or Close, as the stream is buffered) or when closed.
  void WriteLine(std::string_view text);
  /// Writes the text as it is, without a line end.
  void Write(std::string_view text);
  /// Hands everything buffered to the system. Throws IOException on failure.
  void Flush();
  /// Flushes and closes the file; throws IOException when either fails (the file is
  /// closed even then). Does nothing when already closed.
  void Close();

 private:
  TextOutputStream(int fd, std::string path);
  void WriteAll(const char* data, std::size_t size);  // straight to the file
  [[noreturn]] void Fail(const char* what, int error);

  int fd_;
  std::string path_;
  std::string buffer_;  // never grows past its capacity of 64 KiB
};

}  // namespace fw
