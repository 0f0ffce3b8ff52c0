// SPDX-License-Identifier: GPL-2.0-or-later
// The identifiers of the elementary streams of an HD DVD program stream: which stream_id, stream_id_extension
// or private_stream_1 sub-stream id stands for which codec (ISO/IEC 13818-1 Table 2-22 and the HD DVD ids),
// and the sub-stream header bytes before a private_stream_1 payload.
#pragma once

#include <cstdint>

namespace ardunex::mpeg {

inline constexpr std::uint8_t PRIVATE_STREAM_1 = 0xBD;
// MPEG audio 0xC0-0xCF. The ids 0xD0-0xDF are not recognised: their packets are not passed over by their
// length, so that a false start code in damaged bytes cannot hide the packets behind it.
inline constexpr std::uint8_t MPEG_AUDIO_FIRST = 0xC0;
inline constexpr std::uint8_t MPEG_AUDIO_LAST = 0xCF;
inline constexpr std::uint8_t MPEG2_VIDEO_0 = 0xE0;
inline constexpr std::uint8_t MPEG2_VIDEO_1 = 0xE1;
inline constexpr std::uint8_t AVC_VIDEO_0 = 0xE2;
inline constexpr std::uint8_t AVC_VIDEO_1 = 0xE3;
inline constexpr std::uint8_t EXTENDED_STREAM_ID = 0xFD;

// VC-1 elementary streams carried in extended stream 0xFD.
inline constexpr std::uint8_t VC1_STREAM_0 = 0x55;
inline constexpr std::uint8_t VC1_STREAM_1 = 0x56;

// private_stream_1 sub-stream ids of HD DVD audio.
inline constexpr std::uint8_t AC3_FIRST = 0x80;         // Dolby Digital 0x80-0x87
inline constexpr std::uint8_t DTSHD_FIRST = 0x88;       // DTS-HD 0x88-0x8F
inline constexpr std::uint8_t LPCM_FIRST = 0xA0;        // LPCM 0xA0-0xA7
inline constexpr std::uint8_t MLP_FIRST = 0xB0;         // MLP 0xB0-0xB7
inline constexpr std::uint8_t DDPLUS_FIRST = 0xC0;      // Dolby Digital Plus 0xC0-0xCF
inline constexpr std::uint8_t SUBPICTURE_FIRST = 0x20;  // subpictures 0x20-0x3F
inline constexpr std::uint8_t SUBPICTURE_LAST = 0x3F;
// Subpictures 0-15 are the sub-stream ids 0x20-0x2F (the ids up to 0x3F are passed over).
inline constexpr std::uint8_t SUBPICTURE_NUMBERED_LAST = 0x2F;

// Header bytes of private_stream_1 sub-streams before their payload.
inline constexpr int SUB_STREAM_HEADER_BYTES = 4;  // sub-stream id and three more bytes
inline constexpr int LPCM_EXTRA_HEADER_BYTES = 3;
inline constexpr int MLP_EXTRA_HEADER_BYTES = 1;
inline constexpr int SUBPICTURE_HEADER_BYTES = 1;  // the sub-stream id: a subpicture's payload follows it at once

}  // namespace ardunex::mpeg
