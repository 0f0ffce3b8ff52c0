// SPDX-License-Identifier: GPL-2.0-or-later
// Files held in memory, with injectable failures, read and written through the core's file interface.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "support/ps_builder.h"

namespace ardunex::test {

/// An input file over bytes in memory. When size is larger than the data, the data repeats up to size, so a
/// short pattern can stand for a file of many gigabytes.
class MemoryInputFile : public InputFile {
 public:
  /// openCount, when given, counts the file while it exists; readSizes, when given, receives the size each
  /// read asks for.
  MemoryInputFile(std::string path, Bytes data, std::int64_t size = -1, int* openCount = nullptr,
                  std::vector<std::size_t>* readSizes = nullptr);
  ~MemoryInputFile() override;
  MemoryInputFile(const MemoryInputFile&) = delete;
  MemoryInputFile& operator=(const MemoryInputFile&) = delete;

  /// A read that begins at this position returns 0 bytes (a failing medium); -1 for never.
  std::int64_t zeroReadAt = -1;
  /// A read that begins at this position throws StreamReadError; -1 for never.
  std::int64_t throwReadAt = -1;
  /// Count of read calls.
  int reads = 0;

  const std::string& path() const override { return m_path; }
  std::int64_t size() const override { return m_size; }
  std::int64_t position() const override { return m_position; }
  std::size_t read(std::uint8_t* buffer, std::size_t count) override;

 private:
  std::string m_path;
  Bytes m_data;
  std::int64_t m_size;
  std::int64_t m_position = 0;
  int* m_openCount;
  std::vector<std::size_t>* m_readSizes;
};

/// An output file appending to a byte vector owned elsewhere.
class MemoryOutputFile : public OutputFile {
 public:
  MemoryOutputFile(std::string path, Bytes& sink, int* openCount = nullptr);
  ~MemoryOutputFile() override;

  /// Appends fail (StreamWriteError) once the file would grow beyond this many bytes; the bytes that fit
  /// are kept. -1 for never.
  std::int64_t failAfter = -1;
  /// close() throws StreamWriteError.
  bool failClose = false;
  /// Count of append calls.
  int appends = 0;

  const std::string& path() const override { return m_path; }
  void append(const std::uint8_t* data, std::size_t count) override;
  void truncate(std::int64_t size) override;
  void close() override;
  void writeAt(std::int64_t offset, const std::uint8_t* data, std::size_t count) override;
  std::int64_t size() const override { return static_cast<std::int64_t>(m_sink.size()); }

 private:
  std::string m_path;
  Bytes& m_sink;
  int* m_openCount;
  bool m_open = true;
};

/// A file system of paths mapped to bytes, recording what was created and able to fail on purpose.
class MemoryFileSystem : public FileSystem {
 public:
  /// Contents by path: the inputs a test puts here and the outputs created through create().
  std::map<std::string, Bytes> files;
  /// Every path passed to create(), in order, failed ones included.
  std::vector<std::string> created;
  /// Every path passed to openRead(), in order.
  std::vector<std::string> opened;
  /// Paths whose create() or openRead() fails with this errno.
  std::map<std::string, int> failCreate;
  std::map<std::string, int> failOpen;
  /// Faults handed to the files opened or created at a path (see MemoryInputFile, MemoryOutputFile).
  std::map<std::string, std::int64_t> zeroReadAt;
  std::map<std::string, std::int64_t> failWriteAfter;
  std::set<std::string> failClose;
  /// Paths whose input reports this size (the bytes repeat up to it).
  std::map<std::string, std::int64_t> sizeOf;
  /// Output files created and not yet closed or destroyed.
  int openOutputs = 0;
  /// Input files opened and not yet destroyed.
  int openInputs = 0;
  /// The size each read of an input file asked for, in order.
  std::vector<std::size_t> readCounts;

  std::unique_ptr<InputFile> openRead(const std::string& path) override;
  std::unique_ptr<OutputFile> create(const std::string& path) override;
  bool exists(const std::string& path) override { return files.count(path) != 0; }
};

}  // namespace ardunex::test
