// SPDX-License-Identifier: GPL-2.0-or-later
// Bitstream constants of MPEG-2 program streams (ISO/IEC 13818-1): start codes, pack and PES header fields
// and time stamps; the stream identifiers are in codecs/stream_ids.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codecs/stream_ids.h"

namespace ardunex::mpeg {

// Start codes as they stand in the 32-bit window, most significant byte first (Table 2-18).
inline constexpr std::uint32_t START_CODE_PREFIX = 0x000001;
inline constexpr std::uint8_t PACK_START_CODE = 0xBA;
inline constexpr std::uint8_t SYSTEM_HEADER_CODE = 0xBB;
inline constexpr std::size_t START_CODE_BYTES = 4;  // packet_start_code_prefix and stream_id
inline constexpr std::size_t LENGTH_BYTES = 2;      // PES_packet_length, header_length of a system header
inline constexpr std::size_t PACK_SIZE = 2048;      // the pack size of HD DVD video objects

// Pack header after its start code: SCR, program_mux_rate and pack_stuffing_length (Table 2-33).
inline constexpr std::size_t PACK_HEADER_BYTES = 10;
inline constexpr std::uint8_t PACK_STUFFING_LENGTH_MASK = 0x07;
inline constexpr std::uint8_t PROGRAM_STREAM_MAP = 0xBC;
inline constexpr std::uint8_t PADDING_STREAM = 0xBE;
inline constexpr std::uint8_t PRIVATE_STREAM_2 = 0xBF;

// PES header fields (Table 2-21). The fixed header is the '10' marker byte (with PES_scrambling_control),
// the flags byte and PES_header_data_length, at these offsets from its first byte.
inline constexpr std::size_t MARKER_BYTE_OFFSET = 0;
inline constexpr std::size_t FLAGS_OFFSET = 1;
inline constexpr std::size_t HEADER_DATA_LENGTH_OFFSET = 2;
inline constexpr std::uint8_t PES_SCRAMBLING_CONTROL_MASK = 0x30;
inline constexpr std::uint8_t PTS_DTS_FLAGS_MASK = 0xC0;
inline constexpr std::uint8_t PTS_ONLY = 0x80;
inline constexpr std::uint8_t PTS_AND_DTS = 0xC0;
inline constexpr std::uint8_t PES_EXTENSION_FLAG = 0x01;
inline constexpr std::uint8_t P_STD_BUFFER_FLAG = 0x10;
inline constexpr std::uint8_t PES_EXTENSION_FLAG_2 = 0x01;
inline constexpr std::uint8_t STREAM_ID_EXTENSION_MASK = 0x7F;
inline constexpr int PTS_BYTES = 5;
inline constexpr int PTS_DTS_BYTES = 10;
inline constexpr int FIXED_HEADER_BYTES = 3;
// From a PES packet's start code to its header data: start code, PES_packet_length, fixed header.
inline constexpr std::size_t FIXED_PES_BYTES = START_CODE_BYTES + LENGTH_BYTES + FIXED_HEADER_BYTES;
inline constexpr int P_STD_BYTES = 2;
inline constexpr int EXTENSION_2_BYTES = 2;  // PES_extension_field_length, stream_id_extension

/// The 32-bit field of four bytes, most significant first.
constexpr std::uint32_t loadBigEndian32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// The 33-bit value of a PTS or DTS field from its five bytes, most significant first: bits 32-30 in
// the first byte, then 15 bits and 15 bits, each group followed by a marker bit.
constexpr std::int64_t timeStampValue(std::uint64_t field) {
  return static_cast<std::int64_t>(((field >> 33) & 0x7) << 30 | ((field >> 17) & 0x7FFF) << 15 |
                                   ((field >> 1) & 0x7FFF));
}
inline constexpr std::uint64_t TIME_STAMP_FIELD_MASK = 0xFF'FFFF'FFFF;  // the five bytes of one field

}  // namespace ardunex::mpeg
