// SPDX-License-Identifier: GPL-2.0-or-later
// In-memory files for tests: fault injection on read, append, close, open and create.
#include "support/memory_files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/errors.h"

namespace ardunex::test {

MemoryInputFile::MemoryInputFile(std::string path, Bytes data, std::int64_t size, int* openCount,
                                 std::vector<std::size_t>* readSizes)
    : m_path(std::move(path)), m_data(std::move(data)), m_openCount(openCount), m_readSizes(readSizes) {
  m_size = size >= 0 ? size : static_cast<std::int64_t>(m_data.size());
  if (m_data.empty())
    m_size = 0;
  if (m_openCount)
    ++*m_openCount;
}

MemoryInputFile::~MemoryInputFile() {
  if (m_openCount)
    --*m_openCount;
}

std::size_t MemoryInputFile::read(std::uint8_t* buffer, std::size_t count) {
  ++reads;
  if (m_readSizes)
    m_readSizes->push_back(count);
  if (m_position == throwReadAt)
    throw StreamReadError(m_path, systemReason(EIO));
  if (m_position == zeroReadAt || m_position >= m_size)
    return 0;
  const auto total =
      static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(count), m_size - m_position));
  std::size_t done = 0;
  while (done < total) {
    const auto at = static_cast<std::size_t>((m_position + static_cast<std::int64_t>(done)) %
                                             static_cast<std::int64_t>(m_data.size()));
    const std::size_t piece = std::min(total - done, m_data.size() - at);
    std::memcpy(buffer + done, m_data.data() + at, piece);
    done += piece;
  }
  m_position += static_cast<std::int64_t>(total);
  return total;
}

MemoryOutputFile::MemoryOutputFile(std::string path, Bytes& sink, int* openCount)
    : m_path(std::move(path)), m_sink(sink), m_openCount(openCount) {
  if (m_openCount)
    ++*m_openCount;
}

MemoryOutputFile::~MemoryOutputFile() {
  if (m_open && m_openCount)
    --*m_openCount;
}

void MemoryOutputFile::append(const std::uint8_t* data, std::size_t count) {
  ++appends;
  if (!m_open)
    throw StreamWriteError(m_path, systemReason(EBADF));
  if (failAfter >= 0 && static_cast<std::int64_t>(m_sink.size() + count) > failAfter) {
    const auto fits =
        static_cast<std::size_t>(std::max<std::int64_t>(0, failAfter - static_cast<std::int64_t>(m_sink.size())));
    m_sink.insert(m_sink.end(), data, data + fits);
    throw StreamWriteError(m_path, systemReason(ENOSPC));
  }
  m_sink.insert(m_sink.end(), data, data + count);
}

void MemoryOutputFile::truncate(std::int64_t size) {
  if (!m_open || size < 0 || static_cast<std::uint64_t>(size) > m_sink.size())
    throw StreamWriteError(m_path, systemReason(EINVAL));
  m_sink.resize(static_cast<std::size_t>(size));
}

void MemoryOutputFile::writeAt(std::int64_t offset, const std::uint8_t* data, std::size_t count) {
  if (!m_open || offset < 0 || static_cast<std::size_t>(offset) + count > m_sink.size())
    throw StreamWriteError(m_path, systemReason(EINVAL));
  std::memcpy(m_sink.data() + offset, data, count);
}

void MemoryOutputFile::close() {
  if (!m_open)
    return;
  m_open = false;
  if (m_openCount)
    --*m_openCount;
  if (failClose)
    throw StreamWriteError(m_path, systemReason(EIO));
}

std::unique_ptr<InputFile> MemoryFileSystem::openRead(const std::string& path) {
  opened.push_back(path);
  if (const auto fault = failOpen.find(path); fault != failOpen.end())
    throw OpenError(path, systemReason(fault->second));
  const auto file = files.find(path);
  if (file == files.end())
    throw OpenError(path, systemReason(ENOENT));
  const auto size = sizeOf.find(path);
  auto input = std::make_unique<MemoryInputFile>(path, file->second, size == sizeOf.end() ? -1 : size->second,
                                                 &openInputs, &readCounts);
  if (const auto fault = zeroReadAt.find(path); fault != zeroReadAt.end())
    input->zeroReadAt = fault->second;
  return input;
}

std::unique_ptr<OutputFile> MemoryFileSystem::create(const std::string& path) {
  created.push_back(path);
  if (const auto fault = failCreate.find(path); fault != failCreate.end())
    throw CreateError(path, systemReason(fault->second));
  Bytes& sink = files[path];
  sink.clear();
  auto output = std::make_unique<MemoryOutputFile>(path, sink, &openOutputs);
  if (const auto fault = failWriteAfter.find(path); fault != failWriteAfter.end())
    output->failAfter = fault->second;
  output->failClose = failClose.count(path) != 0;
  return output;
}

}  // namespace ardunex::test
