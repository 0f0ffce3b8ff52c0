// SPDX-License-Identifier: GPL-2.0-or-later
// Text helpers of the core: ASCII case folding, finding a part, hexadecimal digits, two-digit numbers and UTF-8
// encoding.
#pragma once

#include <string>
#include <string_view>

namespace ardunex {

/// The lower-case hexadecimal digits, indexed by their value.
inline constexpr char HEX_DIGITS[] = "0123456789abcdef";

/// text with the 26 ASCII letters a to z in upper case; every other byte, 128 and above included, stays
/// as it is whatever the locale.
inline std::string asciiUpper(std::string_view text) {
  std::string folded(text);
  for (char& c : folded)
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  return folded;
}

/// Whether part stands anywhere in text, byte for byte.
inline bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

/// The value of a hexadecimal digit of either case, or -1 for any other character.
inline int hexDigitValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

/// n from 0 to 99 as two decimal digits, "00" to "99".
inline std::string twoDigits(int n) { return {static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)}; }

/// Appends the UTF-8 encoding of the code point cp (at most U+10FFFF) to out.
inline void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace ardunex
