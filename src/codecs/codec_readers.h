// SPDX-License-Identifier: GPL-2.0-or-later
// The header readers of the codec families, and what they share: each reader looks at one position of a
// stream's first bytes and says whether the header it knows stands there, with the parameters it holds.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "codecs/bit_reader.h"
#include "codecs/stream_params.h"

namespace ardunex::codec {

using Bytes = std::span<const std::uint8_t>;

/// What a reader makes of the bytes at one position.
enum class Hit { No, Found, NeedMore };

inline std::uint32_t be16(const std::uint8_t* p) { return (std::uint32_t{p[0]} << 8) | p[1]; }
inline std::uint32_t be32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

/// num/den as a reduced fraction ("24000/1001").
std::string fraction(std::int64_t num, std::int64_t den);

/// The payload of a NAL unit or VC-1 unit with its emulation-prevention bytes (00 00 03) removed, up to
/// the next start code, the end of the data or the capacity.
struct Unescaped {
  std::array<std::uint8_t, 1024> bytes;
  std::size_t size = 0;
  /// True when the unit ran to the end of the data: more bytes may belong to it.
  bool cut = false;
};

/// Copies the unit that begins at from into out, without its emulation-prevention bytes.
void unescape(const std::uint8_t* from, const std::uint8_t* end, Unescaped& out);

/// A reader's verdict once its fields are read: more bytes may complete a unit the data cut short.
inline Hit verdict(const BitReader& r, bool cut) {
  if (r.invalid())
    return Hit::No;
  if (r.overrun())
    return cut ? Hit::NeedMore : Hit::No;
  return Hit::Found;
}

/// A field that rules the position out, unless the reader ran off data that more bytes may extend.
inline Hit fail(const BitReader& r, bool cut) { return r.overrun() && cut ? Hit::NeedMore : Hit::No; }

/// Position of the next 00 00 01 at or after from, or size.
std::size_t nextStartCode(Bytes d, std::size_t from);

/// A frame found away from the start of the data counts only when the next frame's sync word follows it.
Hit confirm(Bytes d, std::size_t p, std::size_t frameBytes, bool (*syncAt)(Bytes, std::size_t));

/// MPEG-2 video: sequence header and sequence extension (mpeg2_video.cpp).
Hit readMpeg2Video(Bytes d, std::size_t p, StreamParams& out);
/// AVC: sequence parameter set (avc.cpp).
Hit readAvc(Bytes d, std::size_t p, StreamParams& out);
/// VC-1 advanced profile: sequence header (vc1.cpp).
Hit readVc1(Bytes d, std::size_t p, StreamParams& out);
/// AC-3 and E-AC-3: sync frame header (ac3.cpp).
Hit readAc3Family(Bytes d, std::size_t p, StreamParams& out);
/// DTS: core frame header (dts.cpp).
Hit readDts(Bytes d, std::size_t p, StreamParams& out);
/// MLP and TrueHD: major sync (mlp.cpp).
Hit readMlp(Bytes d, std::size_t p, StreamParams& out);
/// MPEG audio: frame header (mpeg_audio.cpp).
Hit readMpegAudio(Bytes d, std::size_t p, StreamParams& out);

}  // namespace ardunex::codec
