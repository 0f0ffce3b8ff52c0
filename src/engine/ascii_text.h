// ASCII text helpers of the core: case folding, hexadecimal digits and two-digit numbers.
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

}  // namespace ardunex
