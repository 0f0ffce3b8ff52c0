// SPDX-License-Identifier: GPL-2.0-or-later
// Fuzz target: attribute extraction and the integer conversion, each against a plain reference.
//
// Input: one byte giving the length (0 to 31) of the attribute name, the name, then the tag text. The
// conversion is tried on the whole input, the tag text and the attribute value.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "replay_main.h"
#include "xpl/xpl_attr.h"

namespace {

using namespace ardunex;

constexpr std::size_t MAX_NAME_LENGTH = 32;

[[noreturn]] void crash(const char* what, std::string_view text) {
  std::fprintf(stderr, "xpl_attr_fuzz: %s: '%.*s'\n", what, static_cast<int>(text.size()), text.data());
  std::abort();
}

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The value after the first occurrence of name: a window of 255 characters after it, skipped to past its
// first "=" and then past the first double quote, cut at the next double quote.
std::string referenceAttr(std::string_view tag, std::string_view name) {
  std::size_t at = 0;
  for (;; ++at) {
    if (at + name.size() > tag.size())
      return {};
    std::size_t k = 0;
    while (k < name.size() && upper(tag[at + k]) == upper(name[k]))
      ++k;
    if (k == name.size())
      break;
  }
  const std::size_t begin = at + name.size();
  const std::string_view window = tag.substr(begin, std::min<std::size_t>(XPL_ATTR_WINDOW, tag.size() - begin));
  std::size_t from = 0;
  for (std::size_t i = 0; i < window.size(); ++i)
    if (window[i] == '=') {
      from = i + 1;
      break;
    }
  for (std::size_t i = from; i < window.size(); ++i)
    if (window[i] == '"') {
      from = i + 1;
      break;
    }
  for (std::size_t i = from; i < window.size(); ++i)
    if (window[i] == '"')
      return std::string(window.substr(from, i - from));
  return {};
}

// Leading spaces, a sign, then decimal digits or hex digits after "$" or "0x", within the signed 32-bit range.
std::optional<std::int32_t> referenceInt(std::string_view text) {
  while (!text.empty() && text.front() == ' ')
    text.remove_prefix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.starts_with("$")) {
    base = 16;
    text.remove_prefix(1);
  } else if (text.size() > 2 && (text.starts_with("0x") || text.starts_with("0X"))) {
    base = 16;
    text.remove_prefix(2);
  } else if (text == "0x" || text == "0X") {
    return std::nullopt;
  }
  // Leading zeros do not count against the range.
  while (text.size() > 1 && text.front() == '0')
    text.remove_prefix(1);
  if (text.empty() || text.size() > 10)
    return std::nullopt;
  std::uint64_t magnitude = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (error != std::errc() || end != text.data() + text.size())
    return std::nullopt;
  const std::int64_t value = negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
  if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
    return std::nullopt;
  return static_cast<std::int32_t>(value);
}

void checkInt(std::string_view text) {
  const std::optional<std::int32_t> expected = referenceInt(text);
  try {
    const std::int32_t value = parseInt32(text);
    if (!expected)
      crash("converted a text that is no integer", text);
    if (value != *expected)
      crash("converted to the wrong value", text);
  } catch (const ConvertError& error) {
    if (expected)
      crash("refused an integer", text);
    // what() is a C string: a zero byte in the text ends the message there.
    const std::string message = "'" + std::string(text) + "' is not a valid integer value";
    if (error.what() != message.substr(0, message.find('\0')))
      crash("wrong conversion message", text);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  checkInt(input);
  if (size < 1)
    return 0;
  const std::size_t nameLength = data[0] % MAX_NAME_LENGTH;
  if (size < 1 + nameLength)
    return 0;
  const std::string_view name = input.substr(1, nameLength);
  const std::string_view tag = input.substr(1 + nameLength);
  checkInt(tag);

  const std::string value = XPLattr(tag, name);
  if (value != referenceAttr(tag, name))
    crash("attribute differs from the reference", tag);
  if (value.size() >= XPL_ATTR_WINDOW || value.find('"') != std::string::npos ||
      tag.find(value) == std::string_view::npos)
    crash("attribute is not a quoted part of the tag", tag);
  checkInt(value);
  return 0;
}
