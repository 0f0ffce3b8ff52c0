// SPDX-License-Identifier: GPL-2.0-or-later
// Reading and writing the text of registry export files.
#include "settings/reg_file.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <unordered_map>

#include "base/ascii_text.h"

namespace ardunex {

namespace {

constexpr std::string_view UTF8_BOM = "\xEF\xBB\xBF";
constexpr std::string_view UTF16LE_BOM = "\xFF\xFE";
constexpr std::string_view LINE_END = "\r\n";
/// Hex data lines are wrapped before they pass this column, as export files do.
constexpr std::size_t HEX_LINE_LIMIT = 76;
constexpr std::size_t DWORD_HEX_DIGITS = 8;

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && sameRegName(s.substr(0, prefix.size()), prefix);
}

/// Parses 1 to maxDigits hex digits, the whole of s.
std::optional<std::uint32_t> parseHexNumber(std::string_view s, std::size_t maxDigits) {
  if (s.empty() || s.size() > maxDigits)
    return std::nullopt;
  std::uint32_t n = 0;
  for (char c : s) {
    const int d = hexDigitValue(c);
    if (d < 0)
      return std::nullopt;
    n = (n << 4) | static_cast<std::uint32_t>(d);
  }
  return n;
}

/// Parses a quoted text at the start of s (escapes \\ and \"; any other backslash is kept as it is).
/// On success s is left after the closing quote.
std::optional<std::string> parseQuoted(std::string_view& s) {
  if (s.empty() || s.front() != '"')
    return std::nullopt;
  std::string out;
  std::size_t i = 1;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '"')
      break;
    if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
      out += s[++i];
    } else {
      out += c;
    }
  }
  if (i >= s.size())
    return std::nullopt;
  s.remove_prefix(i + 1);
  return out;
}

/// Parses comma-separated hex bytes ("01,02,ff"), possibly empty; line continuations already joined.
std::optional<std::vector<std::uint8_t>> parseHexBytes(std::string_view s) {
  std::vector<std::uint8_t> bytes;
  s = trim(s);
  if (s.empty())
    return bytes;
  while (true) {
    const std::size_t comma = s.find(',');
    const std::string_view item = trim(s.substr(0, comma));
    const auto byte = parseHexNumber(item, 2);
    if (!byte)
      return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(*byte));
    if (comma == std::string_view::npos)
      return bytes;
    s.remove_prefix(comma + 1);
  }
}

/// The data after "=": a value, or the deletion mark "-".
struct ParsedData {
  bool deletion = false;
  RegValue value;
};

std::optional<ParsedData> parseData(std::string_view data) {
  ParsedData parsed;
  if (data == "-") {
    parsed.deletion = true;
    return parsed;
  }
  if (!data.empty() && data.front() == '"') {
    const auto text = parseQuoted(data);
    if (!text || !trim(data).empty())
      return std::nullopt;
    parsed.value = RegValue{REG_SZ_TYPE, utf8ToUtf16(*text)};
    return parsed;
  }
  if (startsWithNoCase(data, "dword:")) {
    const auto number = parseHexNumber(trim(data.substr(6)), DWORD_HEX_DIGITS);
    if (!number)
      return std::nullopt;
    parsed.value.type = REG_DWORD_TYPE;
    for (std::size_t i = 0; i < DWORD_SIZE; ++i)
      parsed.value.data.push_back(static_cast<std::uint8_t>(*number >> (8 * i)));
    return parsed;
  }
  if (startsWithNoCase(data, "hex:")) {
    data.remove_prefix(4);
    parsed.value.type = REG_BINARY_TYPE;
  } else if (startsWithNoCase(data, "hex(")) {
    data.remove_prefix(4);
    const std::size_t close = data.find("):");
    if (close == std::string_view::npos)
      return std::nullopt;
    const auto type = parseHexNumber(data.substr(0, close), DWORD_HEX_DIGITS);
    if (!type)
      return std::nullopt;
    parsed.value.type = *type;
    data.remove_prefix(close + 2);
  } else {
    return std::nullopt;
  }
  auto bytes = parseHexBytes(data);
  if (!bytes)
    return std::nullopt;
  parsed.value.data = std::move(*bytes);
  return parsed;
}

/// The file's text as UTF-8 without byte order mark.
std::string decodeFileText(std::string_view bytes) {
  if (bytes.substr(0, UTF16LE_BOM.size()) == UTF16LE_BOM) {
    bytes.remove_prefix(UTF16LE_BOM.size());
    return utf16ToUtf8(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  }
  if (bytes.substr(0, UTF8_BOM.size()) == UTF8_BOM)
    bytes.remove_prefix(UTF8_BOM.size());
  return std::string(bytes);
}

std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    lines.push_back(text.substr(0, end));
    if (end == std::string_view::npos)
      break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

std::string quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"')
      out += '\\';
    out += c;
  }
  return out + '"';
}

/// Whether a REG_SZ value can be written as a quoted text and read back to the same data.
bool fitsQuotedLine(const RegValue& value) {
  if (value.type != REG_SZ_TYPE || !isPlainUtf16Text(value.data))
    return false;
  const std::string text = utf16ToUtf8(value.data);
  return text.find_first_of("\r\n") == std::string::npos;
}

void appendHexData(std::string& out, std::size_t lineStart, const std::vector<std::uint8_t>& data) {
  for (std::size_t i = 0; i < data.size(); ++i) {
    out += HEX_DIGITS[data[i] >> 4];
    out += HEX_DIGITS[data[i] & 0xF];
    if (i + 1 == data.size())
      break;
    out += ',';
    if (out.size() - lineStart > HEX_LINE_LIMIT) {
      out += '\\';
      out += LINE_END;
      lineStart = out.size();
      out += "  ";
    }
  }
}

void appendValue(std::string& out, const RegFileValue& entry) {
  const std::size_t lineStart = out.size();
  out += entry.name.empty() ? std::string("@") : quote(entry.name);
  out += '=';
  const RegValue& value = entry.value;
  if (value.type == REG_DWORD_TYPE && value.data.size() == DWORD_SIZE) {
    out += "dword:";
    for (std::size_t i = DWORD_SIZE; i-- > 0;) {
      out += HEX_DIGITS[value.data[i] >> 4];
      out += HEX_DIGITS[value.data[i] & 0xF];
    }
  } else if (fitsQuotedLine(value)) {
    out += quote(utf16ToUtf8(value.data));
  } else {
    if (value.type == REG_BINARY_TYPE) {
      out += "hex:";
    } else {
      std::string type;
      for (std::uint32_t t = value.type; t != 0; t >>= 4)
        type.insert(type.begin(), HEX_DIGITS[t & 0xF]);
      out += "hex(" + (type.empty() ? std::string("0") : type) + "):";
    }
    appendHexData(out, lineStart, value.data);
  }
  out += LINE_END;
}

/// A name as sameRegName compares it: ASCII letters in lower case.
std::string foldName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return folded;
}

/// Lookups for the parser, so that a file of many keys or values is read in time proportional to its size.
/// Deleted keys and values are only marked while reading and taken out once at the end.
class ParseIndex {
 public:
  explicit ParseIndex(RegFile& file) : m_file(file) {}

  /// The index of the key with this path, added at the end when missing.
  std::size_t addKey(std::string_view path) {
    const auto [at, added] = m_keys.try_emplace(foldName(path), m_file.keys.size());
    if (added) {
      m_file.keys.push_back(RegFileKey{std::string(path), {}});
      m_values.emplace_back();
    }
    return at->second;
  }

  /// Deletes the key with this path and every key below it.
  void deleteKey(std::string_view path) {
    const std::string folded = foldName(path);
    if (const auto at = m_keys.find(folded); at != m_keys.end()) {
      m_deletedKeys.push_back(at->second);
      m_keys.erase(at);
    }
    const std::string below = folded + '\\';
    for (auto at = m_keys.lower_bound(below); at != m_keys.end() && at->first.starts_with(below);) {
      m_deletedKeys.push_back(at->second);
      at = m_keys.erase(at);
    }
  }

  /// Sets, adds or (with deletion) removes a value of a key.
  void setValue(std::size_t key, std::string name, const ParsedData& data) {
    std::vector<RegFileValue>& values = m_file.keys[key].values;
    std::unordered_map<std::string, std::size_t>& names = m_values[key];
    const auto existing = names.find(foldName(name));
    if (data.deletion) {
      if (existing != names.end()) {
        m_deletedValues.emplace_back(key, existing->second);
        names.erase(existing);
      }
    } else if (existing != names.end()) {
      values[existing->second].value = data.value;
    } else {
      names.emplace(foldName(name), values.size());
      values.push_back(RegFileValue{std::move(name), data.value});
    }
  }

  /// Takes the deleted keys and values out, keeping the order of the rest.
  void finish() {
    std::vector<std::vector<bool>> valueGone(m_file.keys.size());
    for (const auto& [key, value] : m_deletedValues) {
      valueGone[key].resize(m_file.keys[key].values.size());
      valueGone[key][value] = true;
    }
    std::vector<bool> keyGone(m_file.keys.size());
    for (std::size_t key : m_deletedKeys)
      keyGone[key] = true;

    std::vector<RegFileKey> kept;
    kept.reserve(m_file.keys.size() - m_deletedKeys.size());
    for (std::size_t key = 0; key < m_file.keys.size(); ++key) {
      if (keyGone[key])
        continue;
      RegFileKey& entry = m_file.keys[key];
      if (!valueGone[key].empty()) {
        std::size_t index = 0;
        std::erase_if(entry.values, [&](const RegFileValue&) { return valueGone[key][index++]; });
      }
      kept.push_back(std::move(entry));
    }
    m_file.keys = std::move(kept);
  }

 private:
  RegFile& m_file;
  std::map<std::string, std::size_t> m_keys;  // ordered, so the keys below a path stand together
  std::vector<std::unordered_map<std::string, std::size_t>> m_values;  // per key: folded name to index
  std::vector<std::size_t> m_deletedKeys;
  std::vector<std::pair<std::size_t, std::size_t>> m_deletedValues;
};

}  // namespace

std::optional<RegFile> RegFile::parse(std::string_view bytes) {
  const std::string text = decodeFileText(bytes);
  const std::vector<std::string_view> lines = splitLines(text);
  if (lines.empty())
    return std::nullopt;
  const std::string_view header = trim(lines.front());
  if (header != HEADER && header != OLD_HEADER)
    return std::nullopt;

  RegFile file;
  ParseIndex index(file);
  constexpr std::size_t NO_KEY = static_cast<std::size_t>(-1);
  std::size_t keyIndex = NO_KEY;  // an index, since adding keys moves them
  bool inDeletedKey = false;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    std::string_view line = trim(lines[i]);
    if (line.empty() || line.front() == ';')
      continue;
    if (line.front() == '[') {
      if (line.back() != ']' || line.size() < 3)
        return std::nullopt;
      std::string_view path = line.substr(1, line.size() - 2);
      inDeletedKey = path.front() == '-';
      if (inDeletedKey) {
        path.remove_prefix(1);
        if (path.empty())
          return std::nullopt;
        index.deleteKey(path);
        keyIndex = NO_KEY;
      } else {
        keyIndex = index.addKey(path);
      }
      continue;
    }

    std::string name;
    if (line.front() == '@') {
      line.remove_prefix(1);
    } else {
      auto quoted = parseQuoted(line);
      if (!quoted)
        return std::nullopt;
      name = std::move(*quoted);
    }
    line = trim(line);
    if (line.empty() || line.front() != '=')
      return std::nullopt;
    line = trim(line.substr(1));

    // Hex data continues over the following lines while a line ends in a backslash.
    std::string joined(line);
    if (startsWithNoCase(line, "hex")) {
      while (!joined.empty() && joined.back() == '\\') {
        joined.pop_back();
        if (++i >= lines.size())
          return std::nullopt;
        joined += trim(lines[i]);
      }
    }
    const auto data = parseData(joined);
    if (!data)
      return std::nullopt;
    if (inDeletedKey)
      continue;
    if (keyIndex == NO_KEY)
      return std::nullopt;

    index.setValue(keyIndex, std::move(name), *data);
  }
  index.finish();
  return file;
}

std::string RegFile::format() const {
  std::string out(HEADER);
  out += LINE_END;
  out += LINE_END;
  for (const RegFileKey& key : keys) {
    out += "[" + key.path + "]";
    out += LINE_END;
    for (const RegFileValue& value : key.values)
      appendValue(out, value);
    out += LINE_END;
  }
  return out;
}

RegFileKey* RegFile::findKey(std::string_view path) {
  const auto found =
      std::find_if(keys.begin(), keys.end(), [&](const RegFileKey& k) { return sameRegName(k.path, path); });
  return found == keys.end() ? nullptr : &*found;
}

const RegFileKey* RegFile::findKey(std::string_view path) const { return const_cast<RegFile*>(this)->findKey(path); }

RegFileKey& RegFile::addKey(std::string_view path) {
  if (RegFileKey* key = findKey(path))
    return *key;
  keys.push_back(RegFileKey{std::string(path), {}});
  return keys.back();
}

}  // namespace ardunex
