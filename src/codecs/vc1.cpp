// SPDX-License-Identifier: GPL-2.0-or-later
// VC-1 advanced profile parameters from the sequence header (SMPTE 421M 6.1).
#include <algorithm>

#include "codecs/codec_readers.h"

namespace ardunex::codec {
namespace {

constexpr std::uint8_t VC1_SEQUENCE_HEADER = 0x0F;
constexpr int VC1_ADVANCED_PROFILE = 3;
constexpr std::array<int, 7> VC1_FRAME_RATE_NR = {24, 25, 30, 50, 60, 48, 72};
constexpr std::array<int, 2> VC1_FRAME_RATE_DR = {1000, 1001};

}  // namespace

Hit readVc1(Bytes d, std::size_t p, StreamParams& out) {
  if (d[p + 3] != VC1_SEQUENCE_HEADER)
    return Hit::No;
  Unescaped unit;
  unescape(d.data() + p + 4, d.data() + std::min(d.size(), p + 4 + 64), unit);
  unit.cut = unit.cut && p + 4 + 64 > d.size();
  BitReader r(unit.bytes.data(), unit.size);
  if (static_cast<int>(r.bits(2)) != VC1_ADVANCED_PROFILE)
    return fail(r, unit.cut);
  if (r.bits(3) > 4)  // level
    return fail(r, unit.cut);
  r.skip(2 + 3 + 5 + 1);  // colordiff_format, frmrtq_postproc, bitrtq_postproc, postprocflag
  const int width = static_cast<int>(r.bits(12)) * 2 + 2;   // max_coded_width
  const int height = static_cast<int>(r.bits(12)) * 2 + 2;  // max_coded_height
  r.skip(6);  // pulldown, interlace, tfcntrflag, finterpflag, reserved, psf
  std::int64_t num = 0, den = 0;
  if (r.bit()) {                     // display_ext
    r.skip(14 + 14);                 // disp_horiz_size, disp_vert_size
    if (r.bit() && r.bits(4) == 15)  // aspect_ratio_flag, aspect_ratio == custom
      r.skip(16);                    // aspect_horiz_size, aspect_vert_size
    if (r.bit()) {                   // framerate_flag
      if (r.bit()) {                 // framerateind: the rate in 1/32 Hz
        num = r.bits(16) + 1;
        den = 32;
      } else {
        const std::uint32_t nr = r.bits(8), dr = r.bits(4);
        if (nr >= 1 && nr <= VC1_FRAME_RATE_NR.size() && dr >= 1 && dr <= VC1_FRAME_RATE_DR.size()) {
          num = std::int64_t{VC1_FRAME_RATE_NR[nr - 1]} * 1000;
          den = VC1_FRAME_RATE_DR[dr - 1];
        }
      }
    }
  }
  const Hit hit = verdict(r, unit.cut);
  if (hit != Hit::Found)
    return hit;
  out.width = width;
  out.height = height;
  if (den > 0)
    out.frameRate = fraction(num, den);
  return Hit::Found;
}

}  // namespace ardunex::codec
