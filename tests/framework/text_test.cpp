// Text helpers: case-insensitive equality, Lowercase, Len in code points, DefineEncoding.
#include "framework/base/text.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace std::string_literals;

TEST(TextTest, TextEqualsIgnoresAsciiCaseOnly) {
  struct Case {
    std::string a, b;
    bool equal;
  };
  const std::vector<Case> cases = {
      {"", "", true},
      {"qva", "QVA", true},
      {"Album.QvA", "album.qva", true},
      {"abc", "abd", false},
      {"abc", "abcd", false},
      {"abc", "ab", false},
      {"a\0b"s, "A\0B"s, true},
      {"a\0b"s, "a\0c"s, false},
      {"a"s, "a\0"s, false},
      // Only ASCII letters fold: "É" and "é" differ, and so do bytes 0xC9 / 0xE9.
      {"\xc3\x89", "\xc3\xa9", false},
      {"\xc9", "\xe9", false},
      {"\xff\xfe", "\xff\xfe", true},
      // '@' (0x40) / '`' (0x60) and '[' (0x5B) / '{' (0x7B) are no letters.
      {"@", "`", false},
      {"[", "{", false},
      {"Z", "z", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fw::TextEquals(c.a, c.b), c.equal) << '"' << c.a << "\" vs \"" << c.b << '"';
    EXPECT_EQ(fw::TextEquals(c.b, c.a), c.equal) << "symmetric";
  }
}

TEST(TextTest, Lowercase) {
  struct Case {
    std::string in, out;
  };
  const std::vector<Case> cases = {
      {"", ""},
      {"ABC xyz 123", "abc xyz 123"},
      {"\xc3\x89T\xc3\x89", "\xc3\x89t\xc3\x89"},
      {"A\0B\xff"s, "a\0b\xff"s},
      {"@[`{", "@[`{"},
  };
  for (const auto& c : cases) EXPECT_EQ(fw::Lowercase(c.in), c.out) << c.in;
}

TEST(TextTest, LenCountsCodePoints) {
  struct Case {
    std::string text;
    std::size_t len;
  };
  const std::vector<Case> cases = {
      {"", 0},
      {"abc", 3},
      {"a\0b"s, 3},
      {"\xc3\xa9", 1},                      // é
      {"\xe2\x82\xac", 1},                  // €
      {"\xf0\x9f\x98\x80", 1},              // 😀
      {"a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80z", 5},
      {"\xef\xbb\xbf", 1},                  // BOM is one character
      {"\xf4\x8f\xbf\xbf", 1},              // U+10FFFF
      {"\xee\x80\x80", 1},                  // U+E000 (private use, valid)
      // Invalid bytes count one each.
      {"\xff", 1},
      {"\x80", 1},
      {"\xff\xfe\xfd", 3},
      {"a\x80z", 3},
      // Truncated sequences: each stray byte counts.
      {"\xe2\x82", 2},
      {"\xe2\x82z", 3},
      {"\xf0\x9f\x98", 3},
      {"\xc3", 1},
      {"\xc3z", 2},
      // Overlong forms: each byte counts.
      {"\xc0\x80", 2},
      {"\xc1\xbf", 2},
      {"\xe0\x80\x80", 3},
      {"\xf0\x80\x80\x80", 4},
      // Surrogates and code points above U+10FFFF are not valid UTF-8.
      {"\xed\xa0\x80", 3},
      {"\xf4\x90\x80\x80", 4},
      {"\xf5\x80\x80\x80", 4},
      // A valid sequence right after a stray byte is still one character.
      {"\x80\xc3\xa9", 2},
      {"\xe2\xc3\xa9", 2},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(fw::Len(cases[i].text), cases[i].len) << "case " << i;
  }
}

TEST(TextTest, DefineEncodingKeepsBytes) {
  const std::string bytes = "a\0\xff\xc3\xa9\r\n"s;
  EXPECT_EQ(fw::DefineEncoding(bytes, fw::Encodings::UTF8), bytes);
  EXPECT_EQ(fw::DefineEncoding("", fw::Encoding::UTF8), "");
}
