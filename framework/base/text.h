// Text operations of the framework. Text is UTF-8 in std::string; these helpers never
// change the bytes they are given, and they accept bytes that are not valid UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace fw {

/// True when the two texts are equal without regard to letter case. Letters A-Z and a-z
/// match their other case; every other byte must match exactly, so invalid UTF-8 is
/// compared byte for byte.
bool TextEquals(std::string_view a, std::string_view b) noexcept;

/// The text in lower case (ASCII letters; other bytes unchanged).
std::string Lowercase(std::string_view text);

/// The length of a text in characters (code points), not bytes. A byte that does not
/// belong to a valid UTF-8 sequence counts as one character: validity is strict (RFC 3629),
/// so each byte of an overlong form, an encoded surrogate, a code point above U+10FFFF or
/// a truncated sequence counts on its own.
std::size_t Len(std::string_view text) noexcept;

enum class Encoding { UTF8 };
struct Encodings {
  static constexpr Encoding UTF8 = Encoding::UTF8;
};

/// Labels a text with an encoding. The bytes are returned unchanged: nothing is converted.
std::string DefineEncoding(std::string text, Encoding encoding);

}  // namespace fw
