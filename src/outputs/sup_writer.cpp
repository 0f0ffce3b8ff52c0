// SPDX-License-Identifier: GPL-2.0-or-later
// The units of a subpicture stream, gathered from its packets and written behind their headers.
#include "outputs/sup_writer.h"

#include <array>

#include "base/run_observer.h"

namespace ardunex {
namespace {

constexpr std::uint8_t SUP_MAGIC[] = {'S', 'P'};

}  // namespace

SupWriter::SupWriter(std::unique_ptr<OutputFile> file, RunObserver& observer, int number, std::size_t bufferLimit)
    : m_file(std::move(file)), m_observer(observer), m_number(number), m_bufferLimit(bufferLimit) {}

void SupWriter::packetStart(std::int64_t pts) {
  if (pts < 0)
    return;  // the packet continues the current unit
  if (m_inUnit)
    endUnit();
  if (!m_metPts && m_dropped > 0)
    log(": " + std::to_string(m_dropped) + " bytes before the first time stamp dropped.");
  m_metPts = true;
  m_inUnit = true;
  m_streaming = false;
  m_pts = static_cast<std::uint32_t>(pts);  // the low 32 bits
  m_unitBytes = 0;
}

void SupWriter::append(const std::uint8_t* data, std::size_t count) {
  if (!m_inUnit) {
    if (!m_metPts)
      m_dropped += count;
    return;
  }
  m_unitBytes += count;
  if (m_streaming) {
    m_file->append(data, count);
    return;
  }
  if (m_buffer.size() + count <= m_bufferLimit) {
    m_buffer.insert(m_buffer.end(), data, data + count);
    return;
  }
  // Too large to hold: the unit so far goes to the file and the rest follows as it comes.
  writeHeader();
  if (!m_buffer.empty())
    m_file->append(m_buffer.data(), m_buffer.size());
  m_buffer.clear();
  m_file->append(data, count);
  m_streaming = true;
}

void SupWriter::cutBack() {
  if (m_inUnit)
    dropUnit();
}

void SupWriter::finish(bool cutShort) {
  if (m_inUnit) {
    if (cutShort) {
      dropUnit();
      log(": the unit cut short by Cancel is not written.");
    } else {
      endUnit();
    }
  }
  if (!m_metPts)
    log(": no time stamp met, the file is empty.");
}

void SupWriter::close() { m_file->close(); }

void SupWriter::writeHeader() {
  std::array<std::uint8_t, SUP_HEADER_BYTES> header{SUP_MAGIC[0], SUP_MAGIC[1]};
  for (int k = 0; k < 4; ++k)
    header[2 + k] = static_cast<std::uint8_t>(m_pts >> (8 * k));
  m_file->append(header.data(), header.size());
}

void SupWriter::endUnit() {
  if (!m_streaming) {
    writeHeader();
    if (!m_buffer.empty())
      m_file->append(m_buffer.data(), m_buffer.size());
    m_buffer.clear();
  }
  m_written += static_cast<std::int64_t>(SUP_HEADER_BYTES + m_unitBytes);
  if (m_unitBytes > SUP_LARGE_UNIT)
    log(": the unit at PTS " + std::to_string(m_pts) + " holds " + std::to_string(m_unitBytes) +
        " bytes, more than 16 Mbytes.");
  m_inUnit = false;
  m_streaming = false;
}

void SupWriter::dropUnit() {
  if (m_streaming)
    m_file->truncate(m_written);
  m_buffer.clear();
  m_inUnit = false;
  m_streaming = false;
}

void SupWriter::log(const std::string& text) {
  m_observer.log("Subpicture stream number " + std::to_string(m_number) + text);
}

}  // namespace ardunex
