// Text helpers: ASCII case folding and UTF-8 code point counting; bytes are never changed.
#include "framework/base/text.h"

#include <utility>

namespace fw {

namespace {

constexpr unsigned char LowerAscii(unsigned char c) noexcept {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

constexpr bool IsContinuation(unsigned char c) noexcept { return (c & 0xC0) == 0x80; }

// Length in bytes of the valid UTF-8 sequence at the start of `s` (RFC 3629: no overlong
// forms, no surrogates, nothing above U+10FFFF), or 0 when it does not start with one.
std::size_t ValidSequenceLength(const unsigned char* s, std::size_t available) noexcept {
  const unsigned char c = s[0];
  if (c < 0x80) return 1;
  std::size_t length;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    length = 2;
  } else if (c == 0xE0) {
    length = 3, low = 0xA0;
  } else if ((c >= 0xE1 && c <= 0xEC) || c == 0xEE || c == 0xEF) {
    length = 3;
  } else if (c == 0xED) {
    length = 3, high = 0x9F;
  } else if (c == 0xF0) {
    length = 4, low = 0x90;
  } else if (c >= 0xF1 && c <= 0xF3) {
    length = 4;
  } else if (c == 0xF4) {
    length = 4, high = 0x8F;
  } else {
    return 0;  // 0x80-0xC1 and 0xF5-0xFF never start a valid sequence
  }
  if (available < length) return 0;
  if (s[1] < low || s[1] > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (!IsContinuation(s[i])) return 0;
  }
  return length;
}

}  // namespace

bool TextEquals(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(static_cast<unsigned char>(a[i])) != LowerAscii(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

std::string Lowercase(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(LowerAscii(static_cast<unsigned char>(c)));
  return result;
}

std::size_t Len(std::string_view text) noexcept {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t count = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t length = ValidSequenceLength(bytes + i, text.size() - i);
    i += length == 0 ? 1 : length;  // a stray byte is one character
    ++count;
  }
  return count;
}

std::string DefineEncoding(std::string text, Encoding /*encoding*/) { return text; }

}  // namespace fw
