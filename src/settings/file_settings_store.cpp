// SPDX-License-Identifier: GPL-2.0-or-later
// The settings file: loading, copying aside when unparsable, and atomic replacement.
#ifndef _WIN32

#include "settings/file_settings_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "base/errors.h"

namespace ardunex {

namespace {

constexpr std::string_view SETTINGS_FOLDER = "ardunex";
constexpr std::string_view SETTINGS_FILE = "settings.reg";
constexpr mode_t PRIVATE_FOLDER_MODE = 0700;
constexpr std::size_t READ_CHUNK = 64 * 1024;
/// Far beyond any settings file; a larger one (or a link to a device) is treated as unreadable.
constexpr std::size_t MAX_FILE_SIZE = 16 * 1024 * 1024;

std::string parentFolder(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos)
    return ".";
  if (slash == 0)
    return "/";
  return path.substr(0, slash);
}

/// Creates a folder and the folders above it that are missing.
bool makeFolders(const std::string& folder) {
  struct stat info {};
  if (::stat(folder.c_str(), &info) == 0) {
    if (!S_ISDIR(info.st_mode))
      errno = ENOTDIR;
    return S_ISDIR(info.st_mode);
  }
  const std::string parent = parentFolder(folder);
  if (parent != folder && !makeFolders(parent))
    return false;
  return ::mkdir(folder.c_str(), PRIVATE_FOLDER_MODE) == 0 || errno == EEXIST;
}

enum class ReadResult { Read, Missing, Failed };

ReadResult readWholeFile(const std::string& path, std::string& text) {
  // Opened without waiting: a pipe in the file's place must not hold the window up at start-up.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0)
    return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Failed;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return ReadResult::Failed;
  }
  std::vector<char> chunk(READ_CHUNK);
  text.clear();
  while (true) {
    const ssize_t got = ::read(fd, chunk.data(), chunk.size());
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0) {
      ::close(fd);
      return ReadResult::Failed;
    }
    if (got == 0)
      break;
    if (text.size() + static_cast<std::size_t>(got) > MAX_FILE_SIZE) {
      ::close(fd);
      return ReadResult::Failed;
    }
    text.append(chunk.data(), static_cast<std::size_t>(got));
  }
  ::close(fd);
  return ReadResult::Read;
}

/// The file a save must replace: the file a symbolic link points to (even one not there yet) rather
/// than the link itself.
std::string resolveLink(const std::string& path) {
  constexpr int MAX_LINKS = 40;
  std::filesystem::path resolved(path);
  std::error_code error;
  for (int i = 0; i < MAX_LINKS && std::filesystem::is_symlink(resolved, error); ++i) {
    const std::filesystem::path target = std::filesystem::read_symlink(resolved, error);
    if (error)
      break;
    resolved = target.is_absolute() ? target : resolved.parent_path() / target;
  }
  return resolved.string();
}

}  // namespace

std::string defaultSettingsPath() {
  std::string base;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
      const passwd* user = ::getpwuid(::getuid());
      home = user != nullptr ? user->pw_dir : "";
    }
    base = std::string(home) + "/.config";
  }
  return base + "/" + std::string(SETTINGS_FOLDER) + "/" + std::string(SETTINGS_FILE);
}

FileSettingsStore::FileSettingsStore(std::string path) : m_path(std::move(path)) {}

bool FileSettingsStore::openKey(std::string_view path, bool create) {
  m_open = false;
  m_dirty = false;
  std::string text;
  switch (readWholeFile(m_path, text)) {
    case ReadResult::Failed:
      return false;
    case ReadResult::Missing:
      m_file = RegFile{};
      break;
    case ReadResult::Read:
      if (auto parsed = RegFile::parse(text)) {
        m_file = std::move(*parsed);
      } else {
        // Keep what the user had before anything can overwrite it.
        if (!replaceFile(badCopyPath(), text)) {
          m_notice = "The settings file " + m_path + " cannot be read, nor kept as " + badCopyPath() + ": " +
                     systemReason(errno) + ". The default settings apply, and they are not saved.";
          return false;
        }
        m_notice = "The settings file " + m_path + " cannot be read: it is kept as " + badCopyPath() +
                   ", and the default settings apply.";
        m_file = RegFile{};
      }
      break;
  }

  m_keyPath = std::string(CURRENT_USER_ROOT);
  if (path.empty() || path.front() != '\\')
    m_keyPath += '\\';
  m_keyPath += path;
  if (m_file.findKey(m_keyPath) == nullptr) {
    if (!create)
      return false;
    m_file.addKey(m_keyPath);
    m_dirty = true;
  }
  m_open = true;
  return true;
}

bool FileSettingsStore::closeKey() {
  if (!m_open)
    return true;
  m_open = false;
  if (!m_dirty)
    return true;
  m_dirty = false;
  const std::string target = resolveLink(m_path);
  if (replaceFile(target, m_file.format()))
    return true;
  m_saveFailure = "Cannot save the settings to " + target + ": " + systemReason(errno);
  return false;
}

RegFileKey* FileSettingsStore::openKeyData() { return m_open ? m_file.findKey(m_keyPath) : nullptr; }

const RegFileKey* FileSettingsStore::openKeyData() const { return m_open ? m_file.findKey(m_keyPath) : nullptr; }

bool FileSettingsStore::valueExists(std::string_view name) const { return readValue(name).has_value(); }

std::optional<RegValue> FileSettingsStore::readValue(std::string_view name) const {
  const RegFileKey* key = openKeyData();
  if (key == nullptr)
    return std::nullopt;
  for (const RegFileValue& entry : key->values) {
    if (sameRegName(entry.name, name))
      return entry.value;
  }
  return std::nullopt;
}

bool FileSettingsStore::writeValue(std::string_view name, const RegValue& value) {
  RegFileKey* key = openKeyData();
  if (key == nullptr)
    return false;
  const auto existing = std::find_if(key->values.begin(), key->values.end(),
                                     [&](const RegFileValue& entry) { return sameRegName(entry.name, name); });
  if (existing == key->values.end()) {
    key->values.push_back(RegFileValue{std::string(name), value});
  } else if (existing->value != value) {
    existing->value = value;
  } else {
    return true;
  }
  m_dirty = true;
  return true;
}

bool FileSettingsStore::writeAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t put = ::write(fd, text.data(), text.size());
    if (put < 0 && errno == EINTR)
      continue;
    if (put <= 0)
      return false;
    text.remove_prefix(static_cast<std::size_t>(put));
  }
  return true;
}

bool FileSettingsStore::replaceFile(const std::string& path, std::string_view text) {
  const std::string folder = parentFolder(path);
  if (!makeFolders(folder))
    return false;
  std::string temporary = path + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0)
    return false;
  bool ok = writeAll(fd, text) && ::fsync(fd) == 0;
  int failure = ok ? 0 : errno;
  if (::close(fd) != 0 && ok) {
    failure = errno;
    ok = false;
  }
  if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
    failure = errno;
    ok = false;
  }
  if (!ok) {
    ::unlink(temporary.c_str());
    errno = failure;  // the reason of the step that failed, not of the clean-up
    return false;
  }
  // Make the rename itself durable; a folder that cannot be synced still holds the new file.
  const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd >= 0) {
    ::fsync(folderFd);
    ::close(folderFd);
  }
  return true;
}

}  // namespace ardunex

#endif  // _WIN32
