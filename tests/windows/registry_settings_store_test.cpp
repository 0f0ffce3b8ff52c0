// SPDX-License-Identifier: GPL-2.0-or-later
// The registry behind the settings, through the real Win32 calls: values written, read back, others kept.
#include "settings/registry_settings_store.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "base/file_io.h"
#include "settings/settings_fakes.h"
#include "settings/settings_persistence.h"

namespace ardunex::test {
namespace {

constexpr const wchar_t* SCRATCH_KEY = L"Software\\Ardunex Tests";

bool underWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

/// A value as the registry itself holds it, read without the store.
struct RawValue {
  DWORD type = REG_NONE;
  std::vector<std::uint8_t> data;
  bool found = false;
};

RawValue rawValue(const std::wstring& key, const std::wstring& name) {
  RawValue value;
  DWORD size = 0;
  if (::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &value.type, nullptr,
                     &size) != ERROR_SUCCESS)
    return value;
  value.data.resize(size);
  value.found = ::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &value.type,
                               value.data.data(), &size) == ERROR_SUCCESS;
  value.data.resize(size);
  return value;
}

void setRawString(const std::wstring& key, const std::wstring& name, const std::wstring& text) {
  HKEY handle = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &handle, nullptr));
  ::RegSetValueExW(handle, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(handle);
}

TEST(RegistrySettingsStore, ValuesAreWrittenWhereTheRegistryKeepsThemAndReadBack) {
  ::RegDeleteTreeW(HKEY_CURRENT_USER, SCRATCH_KEY);
  const std::string keyPath = "\\Software\\Ardunex Tests\\Ünïcødé 日本";
  const std::wstring wideKey = std::wstring(SCRATCH_KEY) + L"\\" + widen("Ünïcødé 日本");

  RegistrySettingsStore store;
  EXPECT_FALSE(store.openKey(keyPath, false)) << "reading never creates the key";
  EXPECT_FALSE(rawValue(SCRATCH_KEY, L"").found);
  ASSERT_TRUE(store.openKey(keyPath, true));
  writeInteger(store, "Top", -8);
  writeString(store, "Workdir", "D:\\Ausgabe\\日本");
  writeString(store, "Empty", "");
  writeBinary(store, "Install", doubleBytes(45000.5));
  EXPECT_TRUE(store.closeKey());

  // What another program (or regedit) sees.
  const RawValue top = rawValue(wideKey, L"Top");
  ASSERT_TRUE(top.found);
  EXPECT_EQ(static_cast<DWORD>(REG_DWORD), top.type);
  EXPECT_EQ(top.data, (std::vector<std::uint8_t>{0xF8, 0xFF, 0xFF, 0xFF}));
  const RawValue workdir = rawValue(wideKey, L"Workdir");
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), workdir.type);
  const std::wstring expected = L"D:\\Ausgabe\\\u65E5\u672C";
  ASSERT_EQ(workdir.data.size(), (expected.size() + 1) * sizeof(wchar_t));
  EXPECT_EQ(0, std::memcmp(workdir.data.data(), expected.c_str(), workdir.data.size()));
  EXPECT_EQ(static_cast<DWORD>(REG_BINARY), rawValue(wideKey, L"Install").type);

  ASSERT_TRUE(store.openKey(keyPath, false));
  EXPECT_EQ(-8, readInteger(store, "top")) << "names are matched without regard to case";
  EXPECT_EQ("D:\\Ausgabe\\日本", readString(store, "Workdir"));
  EXPECT_EQ("", readString(store, "Empty"));
  EXPECT_EQ(doubleBytes(45000.5), store.readValue("Install")->data);
  EXPECT_FALSE(store.valueExists("Missing"));
  EXPECT_FALSE(store.readValue("Missing").has_value());
  EXPECT_THROW(readInteger(store, "Workdir"), SettingsError);
  store.closeKey();
  ::RegDeleteTreeW(HKEY_CURRENT_USER, SCRATCH_KEY);
}

TEST(RegistrySettingsStore, SavingAndReadingTheProgramsKeyKeepsForeignValues) {
  const std::wstring programKey = widen(std::string(SETTINGS_KEY.substr(1)));
  HKEY existing = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, programKey.c_str(), 0, KEY_READ, &existing) == ERROR_SUCCESS) {
    ::RegCloseKey(existing);
    if (!underWine())
      GTEST_SKIP() << "this user's own settings are not touched outside wine";
  }
  ::RegDeleteTreeW(HKEY_CURRENT_USER, programKey.c_str());
  setRawString(programKey, L"Foreign", L"kept");
  setRawString(programKey, L"Install", L"an earlier install");

  FakeSettingsTarget saved;
  saved.top = -8;
  saved.left = 20;
  saved.width = 800;
  saved.height = 600;
  saved.tree = 140;
  saved.audio = "ac3";
  saved.work = "C:\\Ausgabe\\Ünïcødé";
  saved.continueTicked = false;
  PathState paths;
  paths.EVOdir = "D:\\HVDVD_TS\\";
  paths.XPLdir = "D:\\ADV_OBJ\\";
  RegistrySettingsStore store;
  RegWrite(store, saved, paths, [] { return 45000.25; });

  for (const wchar_t* name :
       {L"WindowState", L"Top", L"Left", L"Width", L"Height", L"TreeWidth", L"Continue", L"FastCheck"})
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), rawValue(programKey, name).type) << narrow(name);
  for (const wchar_t* name : {L"AudioExt", L"VideoExt", L"Workdir", L"EVOdir", L"XPLdir"})
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), rawValue(programKey, name).type) << narrow(name);
  EXPECT_TRUE(rawValue(programKey, L"Foreign").found);
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), rawValue(programKey, L"Install").type) << "an existing Install stays";

  FakeSettingsTarget restored;
  PathState restoredPaths;
  RegRead(store, restored, restoredPaths);
  EXPECT_EQ(-8, restored.top);
  EXPECT_EQ(20, restored.left);
  EXPECT_EQ(800, restored.width);
  EXPECT_EQ(600, restored.height);
  EXPECT_EQ(140, restored.tree);
  EXPECT_EQ("ac3", restored.audio);
  EXPECT_EQ("C:\\Ausgabe\\Ünïcødé", restored.work);
  EXPECT_FALSE(restored.continueTicked);
  EXPECT_EQ("D:\\HVDVD_TS\\", restoredPaths.EVOdir);
  EXPECT_EQ("D:\\ADV_OBJ\\", restoredPaths.XPLdir);

  // A value of the wrong type stops the read with the registry's message.
  setRawString(programKey, L"TreeWidth", L"w");  // text data of 4 bytes where a number belongs
  FakeSettingsTarget stopped;
  try {
    RegRead(store, stopped, restoredPaths);
    ADD_FAILURE() << "no error";
  } catch (const SettingsError& error) {
    EXPECT_STREQ("Invalid data type for 'TreeWidth'", error.what());
  }
  EXPECT_TRUE(rawValue(programKey, L"Foreign").found);
  ::RegDeleteTreeW(HKEY_CURRENT_USER, programKey.c_str());
}

}  // namespace
}  // namespace ardunex::test
