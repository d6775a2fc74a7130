// TextInputStream and TextOutputStream: byte-exact round trips, long lines, end of file,
// and the exceptions for nil files, missing files and write errors.
#include "framework/base/text_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/base/temporary_folder.h"

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

std::vector<std::string> ReadAllLines(const fw::FolderItemPtr& file) {
  auto in = fw::TextInputStream::Open(file);
  std::vector<std::string> lines;
  while (!in->AtEOF()) lines.push_back(in->ReadLine());
  return lines;
}

}  // namespace

TEST(TextStreamTest, RoundTripIsByteExact) {
  fw::TemporaryFolder tmp;
  auto file = tmp.Child("junk.txt");
  const std::vector<std::string> lines = {
      "plain",
      "",
      "nul\0inside\0"s,
      "\xff\xfe invalid \xc0\x80 utf-8 \xe2\x82",
      "lone\rcarriage",
      "trailing cr\r",
      "\t tabs and blanks  ",
      "last line without newline",
  };
  {
    auto out = fw::TextOutputStream::Create(file);
    for (const auto& line : lines) out->WriteLine(line);
    out->Close();
    out->Close();  // a second Close does nothing
  }
  std::string expected;
  for (const auto& line : lines) expected += line + "\n";
  EXPECT_EQ(ReadBytes(file->NativePath()), expected);
  EXPECT_EQ(ReadAllLines(file), lines);
}

TEST(TextStreamTest, ReadingSplitsOnNewlineOnly) {
  fw::TemporaryFolder tmp;
  auto file = tmp.Child("in.txt");
  struct Case {
    std::string bytes;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"", {}},
      {"\n", {""}},
      {"\n\n", {"", ""}},
      {"a", {"a"}},
      {"a\n", {"a"}},
      {"a\nb", {"a", "b"}},
      {"a\nb\n", {"a", "b"}},
      {"a\r\nb\r\n", {"a\r", "b\r"}},
      {"a\rb", {"a\rb"}},
      {"\0\n\0"s, {"\0"s, "\0"s}},
  };
  for (const auto& c : cases) {
    WriteBytes(file->NativePath(), c.bytes);
    EXPECT_EQ(ReadAllLines(file), c.lines) << testing::PrintToString(c.bytes);
  }
}

TEST(TextStreamTest, EndOfFile) {
  fw::TemporaryFolder tmp;
  auto file = tmp.Child("f");
  WriteBytes(file->NativePath(), "");
  {
    auto in = fw::TextInputStream::Open(file);
    EXPECT_TRUE(in->AtEOF());
    EXPECT_EQ(in->ReadLine(), "");
    EXPECT_TRUE(in->AtEOF());
  }
  WriteBytes(file->NativePath(), "one\ntwo\n");
  auto in = fw::TextInputStream::Open(file);
  EXPECT_FALSE(in->AtEOF());
  EXPECT_EQ(in->ReadLine(), "one");
  EXPECT_FALSE(in->AtEOF());
  EXPECT_EQ(in->ReadLine(), "two");
  EXPECT_TRUE(in->AtEOF());
  EXPECT_EQ(in->ReadLine(), "");  // reading past the end gives ""
  in->Close();
  EXPECT_TRUE(in->AtEOF());
  EXPECT_THROW(in->ReadLine(), fw::IOException);
}

TEST(TextStreamTest, LinesAcrossTheBufferBoundary) {
  fw::TemporaryFolder tmp;
  auto file = tmp.Child("boundary");
  std::vector<std::string> lines;
  // Lengths around 64 KiB so that line ends fall on and next to buffer edges.
  for (std::size_t length : {65535u, 0u, 65534u, 1u, 65536u, 65537u, 131072u, 3u}) {
    lines.push_back(std::string(length, static_cast<char>('a' + lines.size())));
  }
  {
    auto out = fw::TextOutputStream::Create(file);
    for (const auto& line : lines) out->WriteLine(line);
  }  // the destructor flushes and closes
  EXPECT_EQ(ReadAllLines(file), lines);
}

TEST(TextStreamTest, TenMegabyteLine) {
  fw::TemporaryFolder tmp;
  auto file = tmp.Child("big");
  std::string big(10 * 1024 * 1024, 'x');
  for (std::size_t i = 0; i < big.size(); i += 4099) big[i] = static_cast<char>(i % 251);
  for (auto& c : big) {
    if (c == '\n') c = '!';
  }
  {
    auto out = fw::TextOutputStream::Create(file);
    out->WriteLine("first");
    out->WriteLine(big);
    out->WriteLine("last");
    out->Close();
  }
  EXPECT_EQ(fs::file_size(file->NativePath()), big.size() + 6 + 1 + 5);
  auto in = fw::TextInputStream::Open(file);
  EXPECT_EQ(in->ReadLine(), "first");
  const std::string read = in->ReadLine();
  EXPECT_EQ(read.size(), big.size());
  EXPECT_TRUE(read == big);
  EXPECT_EQ(in->ReadLine(), "last");
  EXPECT_TRUE(in->AtEOF());
}

TEST(TextStreamTest, CreateEmptiesAnExistingFileAndUsesTheUmask) {
  fw::TemporaryFolder tmp;
  auto file = tmp.Child("existing");
  WriteBytes(file->NativePath(), "old content that is longer\n");
  const mode_t old = ::umask(022);
  fw::TextOutputStream::Create(tmp.Child("new"))->Close();
  ::umask(old);
  fw::TextOutputStream::Create(file)->WriteLine("new");
  EXPECT_EQ(ReadBytes(file->NativePath()), "new\n");
  struct stat st {};
  ASSERT_EQ(::stat(tmp.Child("new")->NativePath().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  EXPECT_EQ(st.st_size, 0);
}

TEST(TextStreamTest, NilFileRaisesNilObjectException) {
  EXPECT_THROW(fw::TextInputStream::Open(nullptr), fw::NilObjectException);
  EXPECT_THROW(fw::TextOutputStream::Create(nullptr), fw::NilObjectException);
}

TEST(TextStreamTest, OpenFailuresRaiseIOException) {
  fw::TemporaryFolder tmp;
  auto missing = tmp.Child("missing.txt");
  try {
    fw::TextInputStream::Open(missing);
    ADD_FAILURE() << "no exception";
  } catch (const fw::IOException& e) {
    EXPECT_NE(e.Message().find(missing->NativePath().native()), std::string::npos) << e.Message();
    EXPECT_NE(e.Message().find("No such file"), std::string::npos) << e.Message();
  }
  EXPECT_THROW(fw::TextInputStream::Open(fw::FolderItem::Make(tmp.Path())), fw::IOException);
  EXPECT_THROW(fw::TextOutputStream::Create(fw::FolderItem::Make(tmp.Path())), fw::IOException);
  EXPECT_THROW(fw::TextOutputStream::Create(tmp.Child("no-such-folder")->Child("f")),
               fw::IOException);
  if (::geteuid() != 0) {  // root reads anything
    auto locked = tmp.Child("locked");
    WriteBytes(locked->NativePath(), "x\n");
    ASSERT_EQ(::chmod(locked->NativePath().c_str(), 0), 0);
    EXPECT_THROW(fw::TextInputStream::Open(locked), fw::IOException);
  }
}

TEST(TextStreamTest, WriteErrorsRaiseIOException) {
  auto full = fw::FolderItem::Make("/dev/full");
  if (!full->Exists()) GTEST_SKIP() << "no /dev/full";
  // Small lines are buffered: the error shows at a later WriteLine or at Close.
  {
    auto out = fw::TextOutputStream::Create(full);
    bool thrown = false;
    try {
      for (int i = 0; i < 100000 && !thrown; ++i) out->WriteLine("some text");
      out->Close();
    } catch (const fw::IOException& e) {
      thrown = true;
      EXPECT_NE(e.Message().find("/dev/full"), std::string::npos) << e.Message();
    }
    EXPECT_TRUE(thrown);
  }
  {
    auto out = fw::TextOutputStream::Create(full);
    out->WriteLine("short");
    EXPECT_THROW(out->Close(), fw::IOException);
    EXPECT_NO_THROW(out->Close());  // closed already
    EXPECT_THROW(out->WriteLine("after close"), fw::IOException);
  }
  {
    auto out = fw::TextOutputStream::Create(full);
    out->WriteLine("short");
    EXPECT_THROW(out->Flush(), fw::IOException);
  }
  {
    auto out = fw::TextOutputStream::Create(full);
    EXPECT_THROW(out->WriteLine(std::string(200000, 'y')), fw::IOException);  // written at once
  }
  {
    auto out = fw::TextOutputStream::Create(full);
    out->WriteLine("the destructor swallows the error");
  }
}
