// SPDX-License-Identifier: GPL-2.0-or-later
// Typed reads and writes of settings values, and the UTF-8/UTF-16 conversion of their texts.
#include "settings/settings_store.h"

#include <cstddef>

#include "base/ascii_text.h"
#include "settings/file_settings_store.h"
#include "settings/registry_settings_store.h"

namespace ardunex {

namespace {

constexpr char32_t REPLACEMENT_CHARACTER = 0xFFFD;
constexpr char32_t HIGH_SURROGATE_FIRST = 0xD800;
constexpr char32_t LOW_SURROGATE_FIRST = 0xDC00;
constexpr char32_t SURROGATE_LAST = 0xDFFF;
/// Lone low surrogates that carry one byte of invalid UTF-8 each (0x80 to 0xFF).
constexpr char32_t ESCAPED_BYTE_FIRST = 0xDC80;
constexpr char32_t ESCAPED_BYTE_LAST = 0xDCFF;
constexpr char32_t MAX_CODE_POINT = 0x10FFFF;

SettingsError invalidTypeError(std::string_view name) {
  return SettingsError("Invalid data type for '" + std::string(name) + "'");
}

void putUnit(std::vector<std::uint8_t>& out, char32_t unit) {
  out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
  out.push_back(static_cast<std::uint8_t>(unit >> 8));
}

/// Decodes one UTF-8 sequence at text[i]; returns its length, or 0 when it is not valid UTF-8
/// (overlong forms, surrogates and values above U+10FFFF included).
std::size_t decodeUtf8(std::string_view text, std::size_t i, char32_t& cp) {
  const auto lead = static_cast<unsigned char>(text[i]);
  std::size_t length = 0;
  char32_t min = 0;
  if (lead < 0x80) {
    cp = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, cp = lead & 0x1F, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, cp = lead & 0x0F, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, cp = lead & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + length > text.size())
    return 0;
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80)
      return 0;
    cp = (cp << 6) | (next & 0x3F);
  }
  if (cp < min || cp > MAX_CODE_POINT || (cp >= HIGH_SURROGATE_FIRST && cp <= SURROGATE_LAST))
    return 0;
  return length;
}

struct Utf16Scan {
  std::string text;
  bool wellFormed = true;
  bool terminatedAtEnd = false;
};

Utf16Scan scanUtf16(const std::vector<std::uint8_t>& data) {
  Utf16Scan scan;
  const std::size_t units = data.size() / 2;
  if (data.size() % 2 != 0)
    scan.wellFormed = false;
  auto unitAt = [&](std::size_t k) { return static_cast<char32_t>(data[2 * k] | (data[2 * k + 1] << 8)); };
  for (std::size_t k = 0; k < units; ++k) {
    const char32_t unit = unitAt(k);
    if (unit == 0) {
      scan.terminatedAtEnd = k + 1 == units;
      return scan;
    }
    if (unit >= HIGH_SURROGATE_FIRST && unit < LOW_SURROGATE_FIRST && k + 1 < units) {
      const char32_t low = unitAt(k + 1);
      if (low >= LOW_SURROGATE_FIRST && low <= SURROGATE_LAST) {
        appendUtf8(scan.text, 0x10000 + ((unit - HIGH_SURROGATE_FIRST) << 10) + (low - LOW_SURROGATE_FIRST));
        ++k;
        continue;
      }
    }
    if (unit >= ESCAPED_BYTE_FIRST && unit <= ESCAPED_BYTE_LAST) {
      scan.text += static_cast<char>(unit - LOW_SURROGATE_FIRST);
      scan.wellFormed = false;
    } else if (unit >= HIGH_SURROGATE_FIRST && unit <= SURROGATE_LAST) {
      appendUtf8(scan.text, REPLACEMENT_CHARACTER);
      scan.wellFormed = false;
    } else {
      appendUtf8(scan.text, unit);
    }
  }
  return scan;
}

}  // namespace

std::vector<std::uint8_t> utf8ToUtf16(std::string_view text) {
  std::vector<std::uint8_t> out;
  out.reserve(2 * text.size() + 2);
  std::size_t i = 0;
  while (i < text.size()) {
    char32_t cp = 0;
    const std::size_t length = decodeUtf8(text, i, cp);
    if (length == 0) {
      putUnit(out, LOW_SURROGATE_FIRST + static_cast<unsigned char>(text[i]));
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      putUnit(out, HIGH_SURROGATE_FIRST + (cp >> 10));
      putUnit(out, LOW_SURROGATE_FIRST + (cp & 0x3FF));
    } else {
      putUnit(out, cp);
    }
    i += length;
  }
  putUnit(out, 0);
  return out;
}

std::string utf16ToUtf8(const std::vector<std::uint8_t>& data) { return scanUtf16(data).text; }

bool isPlainUtf16Text(const std::vector<std::uint8_t>& data) {
  const Utf16Scan scan = scanUtf16(data);
  return scan.wellFormed && scan.terminatedAtEnd;
}

bool sameRegName(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i]))
      return false;
  }
  return true;
}

SettingsError setDataError(std::string_view name) {
  return SettingsError("Failed to set data for '" + std::string(name) + "'");
}

std::int32_t readInteger(const SettingsStore& store, std::string_view name) {
  const std::optional<RegValue> value = store.readValue(name);
  if (!value)
    throw SettingsError("Failed to get data for '" + std::string(name) + "'");
  if (value->data.size() > DWORD_SIZE)
    throw SettingsError("Failed to get data for '" + std::string(name) + "'");
  if (value->type != REG_DWORD_TYPE)
    throw invalidTypeError(name);
  // A short number value is taken as its bytes present, the missing high bytes zero.
  std::uint32_t number = 0;
  for (std::size_t i = 0; i < value->data.size(); ++i)
    number |= static_cast<std::uint32_t>(value->data[i]) << (8 * i);
  return static_cast<std::int32_t>(number);
}

std::string readString(const SettingsStore& store, std::string_view name) {
  const std::optional<RegValue> value = store.readValue(name);
  if (!value || (value->type != REG_SZ_TYPE && value->type != REG_EXPAND_SZ_TYPE))
    throw invalidTypeError(name);
  return utf16ToUtf8(value->data);
}

void writeInteger(SettingsStore& store, std::string_view name, std::int32_t value) {
  const auto number = static_cast<std::uint32_t>(value);
  RegValue reg{REG_DWORD_TYPE, {}};
  for (std::size_t i = 0; i < DWORD_SIZE; ++i)
    reg.data.push_back(static_cast<std::uint8_t>(number >> (8 * i)));
  if (!store.writeValue(name, reg))
    throw setDataError(name);
}

void writeString(SettingsStore& store, std::string_view name, std::string_view text) {
  if (!store.writeValue(name, RegValue{REG_SZ_TYPE, utf8ToUtf16(text)}))
    throw setDataError(name);
}

void writeBinary(SettingsStore& store, std::string_view name, const std::vector<std::uint8_t>& data) {
  if (!store.writeValue(name, RegValue{REG_BINARY_TYPE, data}))
    throw setDataError(name);
}

std::unique_ptr<SettingsStore> makeUserSettingsStore() {
#ifdef _WIN32
  return std::make_unique<RegistrySettingsStore>();
#else
  return std::make_unique<FileSettingsStore>(defaultSettingsPath());
#endif
}

}  // namespace ardunex
