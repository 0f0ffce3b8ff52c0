// SPDX-License-Identifier: GPL-2.0-or-later
// A view of a PES header whose bytes are all in one block: its fields at their places (ISO/IEC 13818-1
// Table 2-21).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/mpeg_ps.h"

namespace ardunex {

// Bytes of PTS and DTS by PTS_DTS_flags (the top two bits of the flags byte); '01' is forbidden and reads
// as none.
inline constexpr std::array<std::uint8_t, 4> TIME_STAMP_BYTES{0, 0, mpeg::PTS_BYTES, mpeg::PTS_DTS_BYTES};

// The fields of a PES header at their places from its PES_packet_length field (Table 2-21), for a header
// whose bytes are all in the block. The header shortcuts read a header through this alone; the
// single-byte steps read the same fields one by one with the same offsets.
class PesHeaderBytes {
 public:
  explicit PesHeaderBytes(const std::uint8_t* lengthField) : m_p(lengthField) {}

  std::int32_t packetLength() const { return (m_p[0] << 8) | m_p[1]; }  // PES_packet_length
  bool scrambled() const { return (fixed(mpeg::MARKER_BYTE_OFFSET) & mpeg::PES_SCRAMBLING_CONTROL_MASK) != 0; }
  std::uint8_t flags() const { return fixed(mpeg::FLAGS_OFFSET); }  // PTS_DTS_flags ... PES_extension_flag
  std::uint8_t headerDataLength() const { return fixed(mpeg::HEADER_DATA_LENGTH_OFFSET); }  // PES_header_data_length
  int timeStampBytes() const { return TIME_STAMP_BYTES[flags() >> 6]; }
  /// The header data: time stamps first, then the fields the flags announce.
  const std::uint8_t* headerData() const { return m_p + mpeg::LENGTH_BYTES + mpeg::FIXED_HEADER_BYTES; }
  /// The five bytes of the PTS field, when timeStampBytes() is not 0.
  std::uint64_t ptsField() const {
    return (std::uint64_t{headerData()[0]} << 32) | mpeg::loadBigEndian32(headerData() + 1);
  }
  /// Bytes from the PES_packet_length field to the end of the header data, and of the sub-stream header
  /// of a private_stream_1 packet.
  std::size_t size(bool audio) const {
    return mpeg::LENGTH_BYTES + mpeg::FIXED_HEADER_BYTES + headerDataLength() +
           (audio ? mpeg::SUB_STREAM_HEADER_BYTES : 0);
  }
  /// A private_stream_1 packet without header data too short for a sub-stream header and payload.
  bool shortAudio() const {
    return headerDataLength() == 0 && packetLength() - mpeg::FIXED_HEADER_BYTES <= mpeg::SUB_STREAM_HEADER_BYTES;
  }

 private:
  std::uint8_t fixed(std::size_t offset) const { return m_p[mpeg::LENGTH_BYTES + offset]; }

  const std::uint8_t* m_p;
};

}  // namespace ardunex
