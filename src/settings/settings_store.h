// SPDX-License-Identifier: GPL-2.0-or-later
// The settings store: a registry-shaped key of named, typed values, and the typed reads and writes on it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"

namespace ardunex {

/// The key that holds the program's settings, absolute from the current user's root key.
inline constexpr std::string_view SETTINGS_KEY = "\\Software\\Corvell Software\\Ardunex";
/// The name of the current user's root key, as registry export files spell it.
inline constexpr std::string_view CURRENT_USER_ROOT = "HKEY_CURRENT_USER";

/// Registry value types (winnt.h numbering, which the export format also uses in hex(N)).
inline constexpr std::uint32_t REG_NONE_TYPE = 0;
inline constexpr std::uint32_t REG_SZ_TYPE = 1;
inline constexpr std::uint32_t REG_EXPAND_SZ_TYPE = 2;
inline constexpr std::uint32_t REG_BINARY_TYPE = 3;
inline constexpr std::uint32_t REG_DWORD_TYPE = 4;

/// Size of the data of a number value.
inline constexpr std::size_t DWORD_SIZE = 4;

/// One value as the registry keeps it: a type and raw data (texts are UTF-16LE with a terminating zero).
struct RegValue {
  std::uint32_t type = REG_NONE_TYPE;
  std::vector<std::uint8_t> data;

  bool operator==(const RegValue&) const = default;
};

/// A settings value that cannot be read or written; what() names the value.
class SettingsError : public Error {
 public:
  using Error::Error;
};

/// One key of the current user's settings. Value names are matched without regard to ASCII case, as
/// the registry does. A store has at most one key open at a time.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  /// Opens the key at an absolute path ("\Software\..."), creating it (and the keys above it) when
  /// create is set. False when the key does not exist or cannot be opened.
  virtual bool openKey(std::string_view path, bool create) = 0;
  /// Closes the open key. False when values written since the key was opened could not be kept.
  virtual bool closeKey() = 0;

  virtual bool valueExists(std::string_view name) const = 0;
  /// The value's type and data; nothing when it does not exist.
  virtual std::optional<RegValue> readValue(std::string_view name) const = 0;
  /// Sets a value, replacing any earlier one; false when the store refuses it.
  virtual bool writeValue(std::string_view name, const RegValue& value) = 0;

  /// Why the last closeKey could not keep the values, naming the place and the system's reason ("Cannot save
  /// the settings to PATH: reason"); empty when the store cannot tell.
  virtual std::string saveFailure() const { return {}; }
  /// What the last openKey did that the user should know of (a damaged file kept aside), as one log line;
  /// empty when nothing. Taken once.
  virtual std::string takeNotice() { return {}; }
};

/// Reads a 32-bit number value (signed, as two's complement). Throws SettingsError: "Failed to get data
/// for 'name'" when the data is longer than 4 bytes, "Invalid data type for 'name'" when it is no number.
std::int32_t readInteger(const SettingsStore& store, std::string_view name);
/// Reads a text value (REG_SZ, or REG_EXPAND_SZ taken unexpanded) up to its first zero character.
/// Throws SettingsError "Invalid data type for 'name'" for any other type.
std::string readString(const SettingsStore& store, std::string_view name);

/// Writes a number, a text or raw data; throw SettingsError "Failed to set data for 'name'" on failure.
void writeInteger(SettingsStore& store, std::string_view name, std::int32_t value);
void writeString(SettingsStore& store, std::string_view name, std::string_view text);
void writeBinary(SettingsStore& store, std::string_view name, const std::vector<std::uint8_t>& data);

/// "Failed to set data for 'name'"
SettingsError setDataError(std::string_view name);

/// UTF-8 to UTF-16LE bytes with a terminating zero, as the registry stores a text. Bytes that are not
/// valid UTF-8 (a path in a legacy encoding) become the lone surrogates U+DC80 to U+DCFF, which
/// utf16ToUtf8 turns back into the same bytes, so no text is ever altered by a round trip.
std::vector<std::uint8_t> utf8ToUtf16(std::string_view text);
/// UTF-16LE bytes up to the first zero character (or the end) to UTF-8. Unpaired surrogates other than
/// those utf8ToUtf16 makes become U+FFFD; an odd last byte is ignored.
std::string utf16ToUtf8(const std::vector<std::uint8_t>& data);
/// Whether utf16ToUtf8 gives back the text exactly: well-formed UTF-16, one terminating zero at the end.
bool isPlainUtf16Text(const std::vector<std::uint8_t>& data);

/// Compares two names the way the registry does (ASCII letters without regard to case).
bool sameRegName(std::string_view a, std::string_view b);

/// The current user's store: the registry on Windows, the file of FileSettingsStore elsewhere.
std::unique_ptr<SettingsStore> makeUserSettingsStore();

}  // namespace ardunex
