// SPDX-License-Identifier: GPL-2.0-or-later
// The settings store of systems without a registry: one registry export file per user.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "settings/reg_file.h"
#include "settings/settings_store.h"

namespace ardunex {

/// The current user's settings file: $XDG_CONFIG_HOME/ardunex/settings.reg, the folder defaulting to
/// ~/.config when XDG_CONFIG_HOME is unset or not an absolute path.
std::string defaultSettingsPath();

/// Keeps the keys of HKEY_CURRENT_USER in a registry export file, so the file can be read, edited and
/// imported on Windows. Opening a key reads the file afresh; closing it writes the whole file back, other
/// keys and values included, when something changed.
///
/// The file is replaced atomically: the new text goes to a temporary file in the same folder, which is
/// flushed to disk and then renamed over the old one, so a failed or interrupted save leaves the settings
/// stored before it intact. A file that cannot be parsed is copied to "<path>.bad" and the store starts
/// from no settings; when that copy cannot be made the file is left alone and no key opens.
class FileSettingsStore : public SettingsStore {
 public:
  explicit FileSettingsStore(std::string path);
  FileSettingsStore(const FileSettingsStore&) = delete;
  FileSettingsStore& operator=(const FileSettingsStore&) = delete;

  const std::string& path() const { return m_path; }
  /// Where an unparsable settings file is kept.
  std::string badCopyPath() const { return m_path + ".bad"; }

  bool openKey(std::string_view path, bool create) override;
  bool closeKey() override;
  bool valueExists(std::string_view name) const override;
  std::optional<RegValue> readValue(std::string_view name) const override;
  bool writeValue(std::string_view name, const RegValue& value) override;
  std::string saveFailure() const override { return m_saveFailure; }
  std::string takeNotice() override { return std::exchange(m_notice, {}); }

 protected:
  /// Writes all of text to an open file; false (errno set) on failure. Tests replace it to fail midway.
  virtual bool writeAll(int fd, std::string_view text);

 private:
  /// Writes text to path through a temporary file and a rename; false on any failure.
  bool replaceFile(const std::string& path, std::string_view text);
  RegFileKey* openKeyData();
  const RegFileKey* openKeyData() const;

  std::string m_path;
  RegFile m_file;
  std::string m_keyPath;  // full path of the open key
  bool m_open = false;
  bool m_dirty = false;
  std::string m_saveFailure;
  std::string m_notice;
};

}  // namespace ardunex
