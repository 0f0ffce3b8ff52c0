// SPDX-License-Identifier: GPL-2.0-or-later
// The text of a registry export file: keys in brackets, each followed by its "Name"=data lines.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings_store.h"

namespace ardunex {

struct RegFileValue {
  std::string name;  // empty for the key's default value, written @
  RegValue value;
};

struct RegFileKey {
  std::string path;  // full path from the root key, e.g. HKEY_CURRENT_USER\Software\...
  std::vector<RegFileValue> values;
};

/// A whole export file, kept in the order read so that a rewrite changes as little as possible.
class RegFile {
 public:
  /// First line of the files this program writes.
  static constexpr std::string_view HEADER = "Windows Registry Editor Version 5.00";
  /// First line of the older export format, whose syntax is the same.
  static constexpr std::string_view OLD_HEADER = "REGEDIT4";

  /// Parses an export file: UTF-8 (with or without byte order mark) or UTF-16LE with its byte order
  /// mark, LF or CRLF line ends. Nothing when the text is not an export file or a line is malformed.
  /// Deletion entries ("Name"=- and [-Key]) delete, as they would on import.
  static std::optional<RegFile> parse(std::string_view bytes);

  /// The file's text: UTF-8, CRLF line ends, every key followed by a blank line. Numbers are written
  /// dword:, texts in quotes, everything else (and texts a quoted line cannot hold) as hex bytes.
  std::string format() const;

  /// The key with this path (compared without regard to ASCII case), or null.
  RegFileKey* findKey(std::string_view path);
  const RegFileKey* findKey(std::string_view path) const;
  /// The key with this path, added at the end when missing.
  RegFileKey& addKey(std::string_view path);

  std::vector<RegFileKey> keys;
};

}  // namespace ardunex
