// SPDX-License-Identifier: GPL-2.0-or-later
// The settings store of Windows: the current user's part of the registry.
#pragma once

#ifdef _WIN32

#include "settings/settings_store.h"

namespace ardunex {

/// Opens keys under HKEY_CURRENT_USER with full access; every write goes to the registry at once.
class RegistrySettingsStore : public SettingsStore {
 public:
  RegistrySettingsStore() = default;
  ~RegistrySettingsStore() override;
  RegistrySettingsStore(const RegistrySettingsStore&) = delete;
  RegistrySettingsStore& operator=(const RegistrySettingsStore&) = delete;

  bool openKey(std::string_view path, bool create) override;
  bool closeKey() override;
  bool valueExists(std::string_view name) const override;
  std::optional<RegValue> readValue(std::string_view name) const override;
  bool writeValue(std::string_view name, const RegValue& value) override;

 private:
  void* m_key = nullptr;  // HKEY
};

}  // namespace ardunex

#endif  // _WIN32
