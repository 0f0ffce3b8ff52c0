// SPDX-License-Identifier: GPL-2.0-or-later
// Attribute extraction from playlist tag lines and the integer conversion of attribute values.
#include "xpl/xpl_attr.h"

#include <cstdint>
#include <limits>

#include "base/ascii_text.h"
#include "base/errors.h"

namespace ardunex {
namespace {

/// The double-quoted value that follows a name ending at position end of tag: the first "=" and the first
/// quote after it are skipped, and the value runs to the next quote within window characters.
std::string valueAfter(std::string_view tag, std::size_t end, std::size_t window) {
  std::string_view rest = tag.substr(end, window);
  if (const auto equals = rest.find('='); equals != std::string_view::npos)
    rest.remove_prefix(equals + 1);
  if (const auto open = rest.find('"'); open != std::string_view::npos)
    rest.remove_prefix(open + 1);
  const auto close = rest.find('"');
  if (close == std::string_view::npos)
    return {};
  return std::string(rest.substr(0, close));
}

// XPLattr's steps over the given number of characters after the name.
std::string attrWithin(std::string_view tag, std::string_view name, std::size_t window) {
  const std::string foldedTag = asciiUpper(tag);
  const std::string foldedName = asciiUpper(name);
  const auto at = foldedTag.find(foldedName);
  if (at == std::string::npos)
    return {};
  return valueAfter(tag, at + name.size(), window);
}

// Characters of a tag a log line shows.
constexpr std::size_t SHOWN_TAG = 60;

}  // namespace

std::string XPLattr(std::string_view tag, std::string_view name) { return attrWithin(tag, name, XPL_ATTR_WINDOW); }

bool XPLattrCut(std::string_view tag, std::string_view name) {
  return XPLattr(tag, name).empty() && !attrWithin(tag, name, std::string_view::npos).empty();
}

void XplCutValues::check(std::string_view tag, std::string_view name) {
  if (!XPLattrCut(tag, name))
    return;
  if (count++ == 0) {
    const std::size_t start = tag.find_first_not_of(' ');  // no indentation
    tag.remove_prefix(start == std::string_view::npos ? tag.size() : start);
    first = std::string(name) + " in " + std::string(tag.substr(0, SHOWN_TAG)) + (tag.size() > SHOWN_TAG ? "..." : "");
  }
}

std::string XplCutValues::line() const {
  if (count == 0)
    return {};
  const std::string limit =
      " than the reader takes (" + std::to_string(XPL_ATTR_WINDOW) + " characters after its name)";
  if (count == 1)
    return "Warning: a playlist value is longer" + limit + " and is read as empty: " + first;
  return "Warning: " + std::to_string(count) + " playlist values are longer" + limit +
         " and are read as empty; the first: " + first;
}

std::string XPLattrExact(std::string_view tag, std::string_view name) {
  const std::string foldedTag = asciiUpper(tag);
  const std::string foldedName = asciiUpper(name);
  bool inValue = false;
  for (std::size_t at = 0; at < foldedTag.size(); ++at) {
    if (foldedTag[at] == '"') {
      inValue = !inValue;
      continue;
    }
    // An attribute name stands after a blank, outside any value, and is followed by blanks and "=".
    if (inValue || at == 0 || foldedTag[at - 1] != ' ' || foldedTag.compare(at, foldedName.size(), foldedName) != 0)
      continue;
    std::size_t after = at + foldedName.size();
    while (after < foldedTag.size() && foldedTag[after] == ' ')
      ++after;
    if (after < foldedTag.size() && foldedTag[after] == '=')
      return valueAfter(tag, at + name.size(), XPL_ATTR_WINDOW);
  }
  return {};
}

std::int32_t parseInt32(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ')
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i == text.size())
    throw ConvertError(text);

  // The magnitude may reach one more than the largest positive value, for the most negative one.
  constexpr std::int64_t LIMIT = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const int digit = hexDigitValue(text[i]);
    if (digit < 0 || digit >= base)
      throw ConvertError(text);
    magnitude = magnitude * base + digit;
    if (magnitude > LIMIT)
      throw ConvertError(text);
  }
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<std::int32_t>::max())
    throw ConvertError(text);
  return static_cast<std::int32_t>(value);
}

}  // namespace ardunex
