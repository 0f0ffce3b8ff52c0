// SPDX-License-Identifier: GPL-2.0-or-later
// AVC parameters from the sequence parameter set and the start of its VUI (ISO/IEC 14496-10 7.3.2.1.1, E.1.1).
#include <algorithm>

#include "codecs/codec_readers.h"

namespace ardunex::codec {
namespace {

constexpr int NAL_SPS = 7;

// profile_idc values whose sets carry chroma_format_idc, bit depths and scaling matrices.
constexpr std::array<std::uint32_t, 13> HIGH_PROFILES = {100, 110, 122, 244, 44, 83, 86, 118, 128, 138, 139, 134, 135};

void skipScalingList(BitReader& r, int size) {
  std::int64_t last = 8, next = 8;
  for (int j = 0; j < size && !r.overrun() && !r.invalid(); ++j) {
    if (next != 0)
      next = (last + r.se() + 256) % 256;
    last = next == 0 ? last : next;
  }
}

}  // namespace

Hit readAvc(Bytes d, std::size_t p, StreamParams& out) {
  const std::uint8_t nal = d[p + 3];
  if ((nal & 0x80) || (nal & 0x1F) != NAL_SPS)
    return Hit::No;
  Unescaped unit;
  unescape(d.data() + p + 4, d.data() + d.size(), unit);
  BitReader r(unit.bytes.data(), unit.size);
  const std::uint32_t profileIdc = r.bits(8);
  r.skip(16);       // constraint_set flags, level_idc
  if (r.ue() > 31)  // seq_parameter_set_id
    return fail(r, unit.cut);
  std::uint32_t chromaFormat = 1;
  bool separatePlanes = false;
  if (std::find(HIGH_PROFILES.begin(), HIGH_PROFILES.end(), profileIdc) != HIGH_PROFILES.end()) {
    chromaFormat = r.ue();
    if (chromaFormat > 3)
      return fail(r, unit.cut);
    if (chromaFormat == 3)
      separatePlanes = r.bit();
    if (r.ue() > 6 || r.ue() > 6)  // bit_depth_luma_minus8, bit_depth_chroma_minus8
      return fail(r, unit.cut);
    r.skip(1);      // qpprime_y_zero_transform_bypass_flag
    if (r.bit()) {  // seq_scaling_matrix_present_flag
      for (int i = 0; i < (chromaFormat == 3 ? 12 : 8); ++i)
        if (r.bit())
          skipScalingList(r, i < 6 ? 16 : 64);
    }
  }
  if (r.ue() > 12)  // log2_max_frame_num_minus4
    return fail(r, unit.cut);
  const std::uint32_t pocType = r.ue();
  if (pocType == 0) {
    if (r.ue() > 12)  // log2_max_pic_order_cnt_lsb_minus4
      return fail(r, unit.cut);
  } else if (pocType == 1) {
    r.skip(1);  // delta_pic_order_always_zero_flag
    r.se();     // offset_for_non_ref_pic
    r.se();     // offset_for_top_to_bottom_field
    const std::uint32_t cycle = r.ue();
    if (cycle > 255)
      return fail(r, unit.cut);
    for (std::uint32_t i = 0; i < cycle && !r.overrun(); ++i)
      r.se();  // offset_for_ref_frame
  } else if (pocType > 2) {
    return fail(r, unit.cut);
  }
  if (r.ue() > 16)  // max_num_ref_frames
    return fail(r, unit.cut);
  r.skip(1);  // gaps_in_frame_num_value_allowed_flag
  const std::uint32_t widthMbs = r.ue() + 1;
  const std::uint32_t heightMapUnits = r.ue() + 1;
  const bool frameMbsOnly = r.bit();
  if (!frameMbsOnly)
    r.skip(1);                           // mb_adaptive_frame_field_flag
  r.skip(1);                             // direct_8x8_inference_flag
  std::uint32_t crop[4] = {0, 0, 0, 0};  // left, right, top, bottom
  if (r.bit())
    for (std::uint32_t& c : crop)
      c = r.ue();
  // VUI: only the fields in front of the timing information are read.
  std::int64_t unitsInTick = 0, timeScale = 0;
  if (r.bit()) {
    if (r.bit() && r.bits(8) == 255)  // aspect_ratio_info_present_flag, aspect_ratio_idc == Extended_SAR
      r.skip(32);                     // sar_width, sar_height
    if (r.bit())                      // overscan_info_present_flag
      r.skip(1);
    if (r.bit()) {  // video_signal_type_present_flag
      r.skip(4);    // video_format, video_full_range_flag
      if (r.bit())  // colour_description_present_flag
        r.skip(24);
    }
    if (r.bit()) {  // chroma_loc_info_present_flag
      r.ue();
      r.ue();
    }
    if (r.bit()) {  // timing_info_present_flag
      unitsInTick = r.bits(32);
      timeScale = r.bits(32);
    }
  }
  const Hit hit = verdict(r, unit.cut);
  if (hit != Hit::Found)
    return hit;
  const std::int64_t width = std::int64_t{widthMbs} * 16;
  const std::int64_t height = std::int64_t{heightMapUnits} * 16 * (frameMbsOnly ? 1 : 2);
  constexpr std::int64_t MAX_SIZE = 16384;  // far beyond any level
  if (width > MAX_SIZE || height > MAX_SIZE)
    return Hit::No;
  const bool monochrome = chromaFormat == 0 || separatePlanes;
  const std::int64_t cropX = monochrome || chromaFormat == 3 ? 1 : 2;
  const std::int64_t cropY = (monochrome || chromaFormat != 1 ? 1 : 2) * (frameMbsOnly ? 1 : 2);
  const std::int64_t cropWidth = (std::int64_t{crop[0]} + crop[1]) * cropX;
  const std::int64_t cropHeight = (std::int64_t{crop[2]} + crop[3]) * cropY;
  // Cropping that leaves nothing is ignored, as decoders do.
  const bool cropValid = cropWidth < width && cropHeight < height;
  out.width = static_cast<int>(width - (cropValid ? cropWidth : 0));
  out.height = static_cast<int>(height - (cropValid ? cropHeight : 0));
  if (unitsInTick > 0 && timeScale > 0)
    out.frameRate = fraction(timeScale, 2 * unitsInTick);  // two ticks per frame
  return Hit::Found;
}

}  // namespace ardunex::codec
