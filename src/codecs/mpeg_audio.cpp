// SPDX-License-Identifier: GPL-2.0-or-later
// MPEG audio parameters from the frame header (ISO/IEC 11172-3 2.4.2.3, ISO/IEC 13818-3).
#include "codecs/codec_readers.h"

namespace ardunex::codec {
namespace {

// Bit rates in kbit/s by bitrate_index: MPEG-1 layers I, II, III, then MPEG-2/2.5 layer I, layers II and III.
constexpr std::array<std::array<int, 15>, 5> MPA_KBPS = {{
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
}};
constexpr std::array<int, 3> MPA_RATES = {44100, 48000, 32000};

/// The header's version, layer and sampling frequency bits, which stay the same from frame to frame.
std::uint32_t mpaFixedBits(const std::uint8_t* h) { return (std::uint32_t{h[1]} << 8 | h[2]) & 0xFE0C; }

}  // namespace

Hit readMpegAudio(Bytes d, std::size_t p, StreamParams& out) {
  if (p + 4 > d.size())
    return Hit::NeedMore;
  const std::uint8_t* h = &d[p];
  const int version = (h[1] >> 3) & 3;  // 0: MPEG-2.5, 2: MPEG-2, 3: MPEG-1
  const int layer = 4 - ((h[1] >> 1) & 3);
  const int bitrateIndex = h[2] >> 4, rateIndex = (h[2] >> 2) & 3;
  if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0 || version == 1 || layer == 4 || bitrateIndex == 15 || rateIndex == 3)
    return Hit::No;
  const int rate = MPA_RATES[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
  const int padding = (h[2] >> 1) & 1;
  const int kbps = MPA_KBPS[version == 3 ? layer - 1 : (layer == 1 ? 3 : 4)][bitrateIndex];
  // At most 144000 * 448 kbit/s: the sizes fit an int.
  const int slotBytes = layer == 1 ? (12000 * kbps / rate + padding) * 4
                                   : (layer == 3 && version != 3 ? 72000 : 144000) * kbps / rate + padding;
  const auto frameBytes = static_cast<std::size_t>(slotBytes);
  // A free-format frame (bitrate_index 0) has no size the header tells: it counts only at the start.
  if (p != 0) {
    if (frameBytes == 0)
      return Hit::No;
    if (p + frameBytes + 4 > d.size())
      return Hit::NeedMore;
    if (mpaFixedBits(&d[p + frameBytes]) != mpaFixedBits(h) || d[p + frameBytes] != 0xFF)
      return Hit::No;
  }
  out.channels = (h[3] >> 6) == 3 ? 1 : 2;  // mode: single_channel
  out.lfe = false;
  out.sampleRate = rate;
  return Hit::Found;
}

}  // namespace ardunex::codec
