// SPDX-License-Identifier: GPL-2.0-or-later
// Attribute values of playlist tag lines, found by plain text search, and the number conversion used on them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ardunex {

/// The reach of an attribute search: the characters after the attribute name that are looked at.
inline constexpr std::size_t XPL_ATTR_WINDOW = 255;

/// The double-quoted value that follows the first occurrence of name in tag (ASCII letters matched
/// without regard to case), taken byte for byte; empty when the name or a closing quote is not found
/// within XPL_ATTR_WINDOW characters after it.
std::string XPLattr(std::string_view tag, std::string_view name);

/// Whether XPLattr gives the empty text for a value that is there but reaches beyond XPL_ATTR_WINDOW.
bool XPLattrCut(std::string_view tag, std::string_view name);

/// The values of one playlist read that XPLattr cut off, so that they are said rather than dropped.
struct XplCutValues {
  std::size_t count = 0;
  std::string first;  ///< "description in <Audio ...": the first one's name and tag

  /// Counts name's value in tag when it was cut off.
  void check(std::string_view tag, std::string_view name);
  /// One log line for all of them; empty when there were none.
  std::string line() const;
};

/// As XPLattr, but the name counts only where it stands as a whole attribute name: after a blank, outside
/// any double-quoted value and followed by "=" (so "id" is not found inside "hidden" or a value "Kids").
std::string XPLattrExact(std::string_view tag, std::string_view name);

/// Reads text as a signed 32-bit integer: optional leading spaces, an optional sign, then decimal digits
/// or hexadecimal digits after "$" or "0x". Throws ConvertError for anything else, out-of-range values included.
std::int32_t parseInt32(std::string_view text);

}  // namespace ardunex
