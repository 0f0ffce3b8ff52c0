// SPDX-License-Identifier: GPL-2.0-or-later
// Writes one subpicture stream as a SUP file: a sequence of units, each behind a ten-byte header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "outputs/stream_writer.h"

namespace ardunex {

class RunObserver;

/// A unit's header: "SP", the low 32 bits of the unit's PTS (little-endian), four zero bytes.
inline constexpr std::size_t SUP_HEADER_BYTES = 10;
/// Units up to this size are gathered in memory; a larger one is written out as its bytes come.
inline constexpr std::size_t SUP_UNIT_BUFFER_LIMIT = std::size_t{1} << 20;
/// A unit beyond this size (a long stretch without a time stamp) is logged.
inline constexpr std::uint64_t SUP_LARGE_UNIT = std::uint64_t{16} << 20;

/// The units of one subpicture stream. A unit begins at a packet with a PTS and holds the payloads of
/// that packet and of the stream's following packets up to the next packet with a PTS. A unit is
/// written when the next one begins; one too large to hold is written as it comes and cut off the file
/// again if it ends up dropped, so Cancel never leaves a partial unit behind.
class SupWriter : public StreamWriter {
 public:
  /// number is the subpicture number (0-15) used in log lines; bufferLimit is the most a unit may hold
  /// in memory before it is written out as it comes.
  SupWriter(std::unique_ptr<OutputFile> file, RunObserver& observer, int number,
            std::size_t bufferLimit = SUP_UNIT_BUFFER_LIMIT);

  /// A packet of the stream begins; pts is its PTS, or -1 when it has none. A PTS ends the unit so far
  /// and begins the next one.
  void packetStart(std::int64_t pts) override;
  /// Payload bytes of the current packet.
  void append(const std::uint8_t* data, std::size_t count);
  void write(LpcmHeader, const std::uint8_t* data, std::size_t count) override { append(data, count); }
  /// The stream's box was unticked: the unit so far is dropped, and payload is ignored up to the next PTS.
  void cutBack() override;
  /// The input is over: the last unit is written, or dropped when the run was cut short by Cancel.
  void finish(bool cutShort) override;
  /// Closes the file. Throws StreamWriteError.
  void close() override;

  const std::string& path() const override { return m_file->path(); }

 private:
  void writeHeader();
  void endUnit();
  void dropUnit();
  void log(const std::string& text);

  std::unique_ptr<OutputFile> m_file;
  RunObserver& m_observer;
  int m_number;
  std::size_t m_bufferLimit;
  std::vector<std::uint8_t> m_buffer;  // the current unit's bytes while it fits in memory
  bool m_inUnit = false;
  bool m_streaming = false;  // the current unit's header and bytes so far are in the file
  bool m_metPts = false;
  std::uint32_t m_pts = 0;
  std::uint64_t m_unitBytes = 0;
  std::int64_t m_written = 0;   // bytes of whole units in the file
  std::uint64_t m_dropped = 0;  // payload bytes before the stream's first PTS
};

}  // namespace ardunex
