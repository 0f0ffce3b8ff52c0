// Files held in memory for the playlist tests, with a read that can stall before the end.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "engine/errors.h"
#include "engine/file_io.h"

namespace ardunex::test {

class MemoryFileSystem : public FileSystem {
 public:
  std::map<std::string, std::string> files;
  /// Reads deliver nothing once the position reaches this offset (a failing medium).
  std::int64_t stallAt = -1;
  /// Files opened and not yet closed.
  int openFiles = 0;
  /// The sizes each read was asked for, in order.
  std::vector<std::size_t> readCounts;

  std::unique_ptr<InputFile> openRead(const std::string& path) override {
    const auto it = files.find(path);
    if (it == files.end())
      throw OpenError(path, "No such file or directory");
    return std::make_unique<File>(*this, path, it->second);
  }
  std::unique_ptr<OutputFile> create(const std::string& path) override {
    throw CreateError(path, "Read-only file system");
  }
  bool exists(const std::string& path) override { return files.count(path) != 0; }

 private:
  class File : public InputFile {
   public:
    File(MemoryFileSystem& fs, std::string path, const std::string& data) : m_fs(fs), m_path(std::move(path)), m_data(data) {
      ++m_fs.openFiles;
    }
    ~File() override { --m_fs.openFiles; }
    const std::string& path() const override { return m_path; }
    std::int64_t size() const override { return static_cast<std::int64_t>(m_data.size()); }
    std::int64_t position() const override { return m_position; }
    std::size_t read(std::uint8_t* buffer, std::size_t count) override {
      m_fs.readCounts.push_back(count);
      if (m_fs.stallAt >= 0 && m_position >= m_fs.stallAt)
        return 0;
      const std::size_t got = std::min(count, m_data.size() - static_cast<std::size_t>(m_position));
      std::memcpy(buffer, m_data.data() + m_position, got);
      m_position += static_cast<std::int64_t>(got);
      return got;
    }

   private:
    MemoryFileSystem& m_fs;
    std::string m_path;
    const std::string& m_data;
    std::int64_t m_position = 0;
  };
};

}  // namespace ardunex::test
