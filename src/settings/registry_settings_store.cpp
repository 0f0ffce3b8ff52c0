// SPDX-License-Identifier: GPL-2.0-or-later
// The Windows registry behind the settings store interface.
#ifdef _WIN32

#include "settings/registry_settings_store.h"

#include <windows.h>

#include <string>
#include <vector>

namespace ardunex {

namespace {

/// A UTF-8 name as the zero-terminated wide string the registry functions take.
std::wstring wide(std::string_view text) {
  const std::vector<std::uint8_t> bytes = utf8ToUtf16(text);
  std::wstring out;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto unit = static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8));
    if (unit == 0)
      break;
    out += unit;
  }
  return out;
}

HKEY handle(void* key) { return static_cast<HKEY>(key); }

}  // namespace

RegistrySettingsStore::~RegistrySettingsStore() { closeKey(); }

bool RegistrySettingsStore::openKey(std::string_view path, bool create) {
  closeKey();
  // The registry functions take the path relative to the root key.
  while (!path.empty() && path.front() == '\\')
    path.remove_prefix(1);
  const std::wstring subKey = wide(path);
  HKEY key = nullptr;
  LSTATUS status = create ? RegCreateKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                            KEY_ALL_ACCESS, nullptr, &key, nullptr)
                          : RegOpenKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_ALL_ACCESS, &key);
  if (status != ERROR_SUCCESS)
    return false;
  m_key = key;
  return true;
}

bool RegistrySettingsStore::closeKey() {
  if (m_key != nullptr)
    RegCloseKey(handle(m_key));
  m_key = nullptr;
  return true;
}

bool RegistrySettingsStore::valueExists(std::string_view name) const {
  return m_key != nullptr &&
         RegQueryValueExW(handle(m_key), wide(name).c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::optional<RegValue> RegistrySettingsStore::readValue(std::string_view name) const {
  if (m_key == nullptr)
    return std::nullopt;
  const std::wstring valueName = wide(name);
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(handle(m_key), valueName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  RegValue value{type, std::vector<std::uint8_t>(size)};
  if (RegQueryValueExW(handle(m_key), valueName.c_str(), nullptr, &type, value.data.data(), &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  value.type = type;
  value.data.resize(size);
  return value;
}

bool RegistrySettingsStore::writeValue(std::string_view name, const RegValue& value) {
  return m_key != nullptr && RegSetValueExW(handle(m_key), wide(name).c_str(), 0, value.type, value.data.data(),
                                            static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS;
}

}  // namespace ardunex

#endif  // _WIN32
