// SPDX-License-Identifier: GPL-2.0-or-later
// MPEG-2 video parameters from the sequence header and its extension (ISO/IEC 13818-2 6.2.2.1, 6.2.2.3).
#include "codecs/codec_readers.h"

namespace ardunex::codec {
namespace {

constexpr std::uint8_t SEQUENCE_HEADER_CODE = 0xB3;
constexpr std::uint8_t EXTENSION_START_CODE = 0xB5;
constexpr int SEQUENCE_EXTENSION_ID = 1;
constexpr std::array<std::array<int, 2>, 9> MPEG2_FRAME_RATES = {
    {{0, 0}, {24000, 1001}, {24, 1}, {25, 1}, {30000, 1001}, {30, 1}, {50, 1}, {60000, 1001}, {60, 1}}};

}  // namespace

Hit readMpeg2Video(Bytes d, std::size_t p, StreamParams& out) {
  constexpr std::size_t HEADER_BYTES = 12;  // start code, sizes, aspect/frame_rate_code, bit_rate ... flags
  if (d[p + 3] != SEQUENCE_HEADER_CODE)
    return Hit::No;
  if (p + HEADER_BYTES > d.size())
    return Hit::NeedMore;
  int width = static_cast<int>((be16(&d[p + 4]) >> 4));
  int height = static_cast<int>(be16(&d[p + 5]) & 0xFFF);
  const int rateCode = d[p + 7] & 0x0F;
  if (width == 0 || height == 0 || rateCode == 0 || rateCode > 8)
    return Hit::No;
  // The quantiser matrices hold no zero value, so the next 00 00 01 is the next start code: a sequence
  // extension there makes this MPEG-2 and carries the size and rate extensions.
  const std::size_t q = nextStartCode(d, p + HEADER_BYTES);
  if (q + 4 > d.size())
    return Hit::NeedMore;
  std::int64_t num = MPEG2_FRAME_RATES[rateCode][0];
  std::int64_t den = MPEG2_FRAME_RATES[rateCode][1];
  if (d[q + 3] == EXTENSION_START_CODE) {
    constexpr std::size_t EXTENSION_BYTES = 10;
    if (q + EXTENSION_BYTES > d.size())
      return Hit::NeedMore;
    BitReader r(&d[q + 4], EXTENSION_BYTES - 4);
    if (static_cast<int>(r.bits(4)) == SEQUENCE_EXTENSION_ID) {
      r.skip(8 + 1 + 2);                            // profile_and_level_indication, progressive_sequence, chroma_format
      width |= static_cast<int>(r.bits(2)) << 12;   // horizontal_size_extension
      height |= static_cast<int>(r.bits(2)) << 12;  // vertical_size_extension
      r.skip(12 + 1 + 8 + 1);  // bit_rate_extension, marker_bit, vbv_buffer_size_extension, low_delay
      num *= r.bits(2) + 1;    // frame_rate_extension_n
      den *= r.bits(5) + 1;    // frame_rate_extension_d
    }
  }
  out.width = width;
  out.height = height;
  out.frameRate = fraction(num, den);
  return Hit::Found;
}

}  // namespace ardunex::codec
