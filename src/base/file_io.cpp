// SPDX-License-Identifier: GPL-2.0-or-later
// POSIX files: unbuffered 64 KiB reads for the input, buffered appends for the outputs.
#include "base/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#endif

#include "base/errors.h"

#ifdef _WIN32
#include <windows.h>
#endif

#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif
#ifndef O_BINARY
#define O_BINARY 0
#endif
#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif

namespace ardunex {
namespace {

// Paths are UTF-8 everywhere in the program. Windows opens files by UTF-16 names through the wide calls;
// the narrow ones would take the path in the system's legacy code page and miss names beyond it.
#ifdef _WIN32
int openPath(const std::string& path, int flags, int mode = 0) { return ::_wopen(widen(path).c_str(), flags, mode); }
int statPath(const std::string& path, struct stat* st) { return ::_wstat64(widen(path).c_str(), st); }
int writablePath(const std::string& path) { return ::_waccess(widen(path).c_str(), 2); }
#else
int openPath(const std::string& path, int flags, int mode = 0) { return ::open(path.c_str(), flags, mode); }
int statPath(const std::string& path, struct stat* st) { return ::stat(path.c_str(), st); }
int writablePath(const std::string& path) { return ::access(path.c_str(), W_OK); }
#endif

/// Whether a new file of this name is beyond what the folder's file system takes.
bool nameTooLong(const std::string& folder, const std::string& name) {
#ifdef _WIN32
  (void)folder;
  constexpr std::size_t MAX_NAME_UNITS = 255;  // UTF-16 code units of one path component
  return widen(name).size() > MAX_NAME_UNITS;
#else
  const long most = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  return most > 0 && name.size() > static_cast<std::size_t>(most);
#endif
}

class PosixInputFile : public InputFile {
 public:
  PosixInputFile(std::string path, int fd) : m_path(std::move(path)), m_fd(fd) {}
  ~PosixInputFile() override { ::close(m_fd); }
  PosixInputFile(const PosixInputFile&) = delete;
  PosixInputFile& operator=(const PosixInputFile&) = delete;

  const std::string& path() const override { return m_path; }

  std::int64_t size() const override {
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
      throw StreamReadError(m_path, systemReason(errno));
    return static_cast<std::int64_t>(st.st_size);
  }

  std::int64_t position() const override { return m_position; }

  std::size_t read(std::uint8_t* buffer, std::size_t count) override {
    for (;;) {
      const ssize_t got = ::read(m_fd, buffer, count);
      if (got >= 0) {
        m_position += got;
        return static_cast<std::size_t>(got);
      }
      if (errno != EINTR)
        throw StreamReadError(m_path, systemReason(errno));
    }
  }

 private:
  std::string m_path;
  int m_fd;
  std::int64_t m_position = 0;
};

// Payload runs are short (a pack holds about 2 KiB), so appends are gathered and written in large pieces.
constexpr std::size_t OUTPUT_BUFFER_SIZE = 1 << 20;

class PosixOutputFile : public OutputFile {
 public:
  PosixOutputFile(std::string path, int fd) : m_path(std::move(path)), m_fd(fd) {}
  ~PosixOutputFile() override {
    if (m_fd >= 0)
      ::close(m_fd);  // an unclosed file is abandoned after a failure that is already being reported
  }
  PosixOutputFile(const PosixOutputFile&) = delete;
  PosixOutputFile& operator=(const PosixOutputFile&) = delete;

  const std::string& path() const override { return m_path; }

  void append(const std::uint8_t* data, std::size_t count) override {
    if (m_fd < 0)
      throw StreamWriteError(m_path, systemReason(EBADF));
    if (m_used + count > OUTPUT_BUFFER_SIZE) {
      flush();
      if (count >= OUTPUT_BUFFER_SIZE) {
        writeAll(data, count);
        return;
      }
    }
    if (m_buffer.empty())
      m_buffer.resize(OUTPUT_BUFFER_SIZE);
    std::memcpy(m_buffer.data() + m_used, data, count);
    m_used += count;
  }

  void truncate(std::int64_t size) override {
    if (m_fd < 0)
      throw StreamWriteError(m_path, systemReason(EBADF));
    flush();
#ifdef _WIN32
    const bool cut = ::_chsize_s(m_fd, size) == 0 && ::_lseeki64(m_fd, size, SEEK_SET) == size;
#else
    const bool cut = ::ftruncate(m_fd, static_cast<off_t>(size)) == 0 &&
                     ::lseek(m_fd, static_cast<off_t>(size), SEEK_SET) == static_cast<off_t>(size);
#endif
    if (!cut)
      throw StreamWriteError(m_path, systemReason(errno));
  }

  void writeAt(std::int64_t offset, const std::uint8_t* data, std::size_t count) override {
    if (m_fd < 0)
      throw StreamWriteError(m_path, systemReason(EBADF));
    flush();
    // A seek and a write rather than pwrite, which not every platform has; appends go on at the end.
    if (::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET) < 0)
      throw StreamWriteError(m_path, systemReason(errno));
    writeAll(data, count);
    if (::lseek(m_fd, 0, SEEK_END) < 0)
      throw StreamWriteError(m_path, systemReason(errno));
  }

  std::int64_t size() const override {
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0)
      throw StreamWriteError(m_path, systemReason(m_fd < 0 ? EBADF : errno));
    return static_cast<std::int64_t>(st.st_size);
  }

  void close() override {
    if (m_fd < 0)
      return;
    std::optional<StreamWriteError> failure;
    try {
      flush();
    } catch (const StreamWriteError& error) {
      failure = error;
    }
    if (::close(m_fd) != 0 && !failure)
      failure = StreamWriteError(m_path, systemReason(errno));
    m_fd = -1;
    if (failure)
      throw *failure;
  }

  void flush() override {
    if (m_used == 0)
      return;
    const std::size_t used = m_used;
    m_used = 0;
    writeAll(m_buffer.data(), used);
  }

 private:
  void writeAll(const std::uint8_t* data, std::size_t count) {
    while (count > 0) {
      const ssize_t put = ::write(m_fd, data, count);
      if (put < 0) {
        if (errno == EINTR)
          continue;
        throw StreamWriteError(m_path, systemReason(errno));
      }
      if (put == 0)
        throw StreamWriteError(m_path, systemReason(EIO));
      data += put;
      count -= static_cast<std::size_t>(put);
    }
  }

  std::string m_path;
  int m_fd;
  std::vector<std::uint8_t> m_buffer;
  std::size_t m_used = 0;
};

}  // namespace

// Files that are written only forwards (a pipe, a stream) can neither cut, rewrite nor tell their length.
void OutputFile::truncate(std::int64_t) { throw StreamWriteError(path(), systemReason(ESPIPE)); }
void OutputFile::writeAt(std::int64_t, const std::uint8_t*, std::size_t) {
  throw StreamWriteError(path(), systemReason(ESPIPE));
}
std::int64_t OutputFile::size() const { throw StreamWriteError(path(), systemReason(ESPIPE)); }

std::unique_ptr<InputFile> PosixFileSystem::openRead(const std::string& path) {
  // Without O_NONBLOCK the open of a pipe waits for a writer, where nothing (not even Cancel) reaches it.
  const int fd = openPath(path, O_RDONLY | O_CLOEXEC | O_BINARY | O_NONBLOCK);
  if (fd < 0)
    throw OpenError(path, systemReason(errno));
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int error = errno;
    ::close(fd);
    throw OpenError(path, systemReason(error));
  }
  if (S_ISDIR(st.st_mode)) {
    ::close(fd);
    throw OpenError(path, systemReason(EISDIR));
  }
  // A pipe, socket or device has no size to read up to and may block or never end: only regular files.
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    throw OpenError(path, NOT_REGULAR_FILE);
  }
#ifndef _WIN32
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0)
    ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
#endif
  return std::make_unique<PosixInputFile>(path, fd);
}

std::unique_ptr<OutputFile> PosixFileSystem::create(const std::string& path) {
  const int fd = openPath(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC | O_BINARY, 0666);
  if (fd < 0)
    throw CreateError(path, systemReason(errno));
  return std::make_unique<PosixOutputFile>(path, fd);
}

bool PosixFileSystem::exists(const std::string& path) {
  struct stat st {};
  return statPath(path, &st) == 0 && !S_ISDIR(st.st_mode);
}

void PosixFileSystem::checkCreate(const std::string& path) {
  struct stat st {};
  if (statPath(path, &st) == 0) {
    if (S_ISDIR(st.st_mode))
      throw CreateError(path, systemReason(EISDIR));
    if (writablePath(path) != 0)
      throw CreateError(path, systemReason(errno));
    return;
  }
  // A name too long, a folder part that is a file, a loop of links: the create would fail the same way.
  if (errno != ENOENT)
    throw CreateError(path, systemReason(errno));
  // The folder without its last separator (Windows' stat refuses "D:\\out\\"), but a root keeps it.
  std::string folder = folderPart(path);
  if (folder.size() > 1 && folder[folder.size() - 2] != ':')
    folder.pop_back();
  if (folder.empty())
    folder.push_back('.');
  if (statPath(folder, &st) != 0)
    throw CreateError(path, systemReason(errno));
  if (!S_ISDIR(st.st_mode))
    throw CreateError(path, systemReason(ENOTDIR));
#ifndef _WIN32
  // Windows keeps a read-only mark on folders that it does not enforce (Documents has one), so there only the
  // create itself can tell.
  if (writablePath(folder) != 0)
    throw CreateError(path, systemReason(errno));
#endif
  if (nameTooLong(folder, fileNamePart(path)))
    throw CreateError(path, systemReason(ENAMETOOLONG));
}

bool PosixFileSystem::makeFolders(const std::string& path) {
#ifdef _WIN32
  const std::filesystem::path folder(widen(path));
#else
  const std::filesystem::path folder(path);
#endif
  std::error_code error;
  const bool made = std::filesystem::create_directories(folder, error);
  if (error)
    throw FolderError(path,
                      error.category() == std::generic_category() ? systemReason(error.value()) : error.message());
  return made;
}

std::optional<FileIdentity> PosixFileSystem::identity(const std::string& path) {
#ifdef _WIN32
  // The volume's serial number and the file's index on it. Windows names one file in many ways (letter case,
  // "\" or "/", short names), so equal identities catch what a comparison of paths misses.
  const HANDLE file = ::CreateFileW(widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = ::GetFileInformationByHandle(file, &info) != 0;
  ::CloseHandle(file);
  if (!known)
    return std::nullopt;
  return FileIdentity{info.dwVolumeSerialNumber,
                      (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
#else
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return std::nullopt;
  return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
#endif
}

PosixFileSystem& PosixFileSystem::instance() {
  static PosixFileSystem fileSystem;
  return fileSystem;
}

#ifdef _WIN32
std::wstring widen(std::string_view utf8) {
  if (utf8.empty())
    return {};
  const int size = static_cast<int>(utf8.size());
  const int count = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(count), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), count);
  return wide;
}

std::string narrow(std::wstring_view utf16) {
  if (utf16.empty())
    return {};
  const int size = static_cast<int>(utf16.size());
  const int count = ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(count), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, text.data(), count, nullptr, nullptr);
  return text;
}
#endif

bool isPathSeparator(char c) { return c != '\0' && std::strchr(PATH_SEPARATORS, c) != nullptr; }

std::string fileNamePart(const std::string& path) {
  const auto at = path.find_last_of(PATH_SEPARATORS);
  return at == std::string::npos ? path : path.substr(at + 1);
}

std::string folderPart(const std::string& path) {
  const auto at = path.find_last_of(PATH_SEPARATORS);
  return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

}  // namespace ardunex
