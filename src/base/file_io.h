// SPDX-License-Identifier: GPL-2.0-or-later
// Files as the core sees them: an input with a 64-bit size and position, appendable outputs, and the
// file system that opens them (replaceable, so that tests can make any step fail).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ardunex {

/// A file open for reading from its current position.
class InputFile {
 public:
  virtual ~InputFile() = default;
  /// The path the file was opened with.
  virtual const std::string& path() const = 0;
  /// The file's size in bytes, asked afresh.
  virtual std::int64_t size() const = 0;
  /// The current read position.
  virtual std::int64_t position() const = 0;
  /// Reads up to count bytes; returns the count read (0 only at the end). Throws StreamReadError.
  virtual std::size_t read(std::uint8_t* buffer, std::size_t count) = 0;
};

/// A file open for appending. close() must be called to learn whether everything reached the file.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual const std::string& path() const = 0;
  /// Appends count bytes. Throws StreamWriteError.
  virtual void append(const std::uint8_t* data, std::size_t count) = 0;
  /// Cuts the file back to its first size bytes, so that the next append follows them. Throws
  /// StreamWriteError, as files that cannot do it do.
  virtual void truncate(std::int64_t size);
  /// Writes out what is buffered. Throws StreamWriteError; what reached the file before the failure stays.
  virtual void flush() {}
  /// The file's length: the bytes that reached it, without those still buffered or lost with a failed write.
  /// Throws StreamWriteError, as files that cannot tell do.
  virtual std::int64_t size() const;
  /// Writes out what is buffered and closes the file. Throws StreamWriteError.
  virtual void close() = 0;
  /// Overwrites count bytes at offset, inside what was appended so far (a header whose sizes are known
  /// only at the end). Throws StreamWriteError; files that cannot do it always throw.
  virtual void writeAt(std::int64_t offset, const std::uint8_t* data, std::size_t count);
};

/// What tells two names of one file apart from two files: the device and the file's number on it.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

/// The reason an input is refused when it is not a regular file (a pipe, a device, a socket).
inline constexpr const char* NOT_REGULAR_FILE = "Not a regular file";

/// Opens and creates files.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  /// Opens an existing regular file for reading, without waiting on a pipe or device. Throws OpenError.
  virtual std::unique_ptr<InputFile> openRead(const std::string& path) = 0;
  /// Creates a file, or empties an existing one. Throws CreateError.
  virtual std::unique_ptr<OutputFile> create(const std::string& path) = 0;
  /// Whether a file exists at the path.
  virtual bool exists(const std::string& path) = 0;
  /// Throws CreateError when a create of path is bound to fail: its name is too long for the file system,
  /// its folder is missing or not writable, or it names a folder. Creates nothing.
  virtual void checkCreate(const std::string& path) { (void)path; }
  /// Makes a folder and its missing parents; returns whether anything was made. Throws FolderError.
  virtual bool makeFolders(const std::string& path) {
    (void)path;
    return false;
  }
  /// The identity of the file a path names once links are followed; nothing when there is no such file
  /// or the system cannot tell (then only equal paths count as the same file).
  virtual std::optional<FileIdentity> identity(const std::string& path) {
    (void)path;
    return std::nullopt;
  }
};

/// The operating system's files.
class PosixFileSystem : public FileSystem {
 public:
  std::unique_ptr<InputFile> openRead(const std::string& path) override;
  std::unique_ptr<OutputFile> create(const std::string& path) override;
  bool exists(const std::string& path) override;
  void checkCreate(const std::string& path) override;
  bool makeFolders(const std::string& path) override;
  std::optional<FileIdentity> identity(const std::string& path) override;

  /// The process-wide instance.
  static PosixFileSystem& instance();
};

/// The platform's path separator, and every character that ends a folder part of a path.
#ifdef _WIN32
inline constexpr char PATH_SEPARATOR = '\\';
inline constexpr const char* PATH_SEPARATORS = "\\/:";
#else
inline constexpr char PATH_SEPARATOR = '/';
inline constexpr const char* PATH_SEPARATORS = "/";
#endif

#ifdef _WIN32
/// UTF-8 as the UTF-16 that the wide Win32 calls take; bytes that are not UTF-8 become U+FFFD.
std::wstring widen(std::string_view utf8);
/// UTF-16 from a wide Win32 call as UTF-8; unpaired surrogates become U+FFFD.
std::string narrow(std::wstring_view utf16);
#endif

/// Whether c ends a folder part of a path.
bool isPathSeparator(char c);
/// The name part of a path: everything after the last separator.
std::string fileNamePart(const std::string& path);
/// The folder part of a path: everything up to and including the last separator (empty if none).
std::string folderPart(const std::string& path);

}  // namespace ardunex
