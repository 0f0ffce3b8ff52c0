// Reads picture size and rate, channels and sample rate from the first bytes of an elementary stream.
//
// Every reader looks for its sync word or start code anywhere in the bytes collected so far (a stream may
// begin in the middle of a frame), checks the fields it reads against the values the format allows, and
// reads through bounds-checked views only, so that any input yields an answer, "not here" or "need more".
#include "engine/stream_params.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>

namespace ardunex {
namespace {

using Bytes = std::span<const std::uint8_t>;

/// What a reader makes of the bytes at one position.
enum class Hit { No, Found, NeedMore };

/// Reads bits most significant first; reading beyond the end yields zeros and marks the reader overrun.
class BitReader {
 public:
  BitReader(const std::uint8_t* data, std::size_t size) : m_data(data), m_bits(size * 8) {}

  std::uint32_t bit() {
    if (m_pos >= m_bits) {
      m_overrun = true;
      return 0;
    }
    const std::uint32_t b = (m_data[m_pos >> 3] >> (7 - (m_pos & 7))) & 1;
    ++m_pos;
    return b;
  }
  std::uint32_t bits(int n) {
    std::uint32_t value = 0;
    for (int i = 0; i < n; ++i)
      value = (value << 1) | bit();
    return value;
  }
  void skip(std::size_t n) {
    m_pos += n;
    if (m_pos > m_bits) {
      m_pos = m_bits;
      m_overrun = true;
    }
  }
  /// ue(v): unsigned exp-Golomb code; more than 31 leading zeros is no valid code.
  std::uint32_t ue() {
    int zeros = 0;
    while (!bit()) {
      if (m_overrun || ++zeros > 31) {
        m_invalid = !m_overrun;
        return 0;
      }
    }
    return static_cast<std::uint32_t>((std::uint64_t{1} << zeros) - 1 + bits(zeros));
  }
  /// se(v): signed exp-Golomb code.
  std::int64_t se() {
    const std::uint32_t k = ue();
    return (k & 1) ? std::int64_t{(k + 1) / 2} : -std::int64_t{k / 2};
  }
  bool overrun() const { return m_overrun; }
  bool invalid() const { return m_invalid; }

 private:
  const std::uint8_t* m_data;
  std::size_t m_bits;
  std::size_t m_pos = 0;
  bool m_overrun = false;
  bool m_invalid = false;
};

std::uint32_t be16(const std::uint8_t* p) { return (std::uint32_t{p[0]} << 8) | p[1]; }
std::uint32_t be32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

std::string fraction(std::int64_t num, std::int64_t den) {
  const std::int64_t g = std::gcd(num, den);
  return std::to_string(num / g) + "/" + std::to_string(den / g);
}

/// The payload of a NAL unit or VC-1 unit with its emulation-prevention bytes (00 00 03) removed, up to
/// the next start code, the end of the data or the capacity.
struct Unescaped {
  std::array<std::uint8_t, 1024> bytes;
  std::size_t size = 0;
  /// True when the unit ran to the end of the data: more bytes may belong to it.
  bool cut = false;
};

void unescape(const std::uint8_t* from, const std::uint8_t* end, Unescaped& out) {
  int zeros = 0;
  out.size = 0;
  out.cut = false;
  for (const std::uint8_t* p = from; p < end; ++p) {
    const std::uint8_t b = *p;
    if (zeros >= 2) {
      if (b == 3) {  // emulation_prevention_three_byte
        zeros = 0;
        continue;
      }
      if (b <= 2)  // the next start code (or bytes no unit holds)
        return;
    }
    if (out.size == out.bytes.size())
      return;
    out.bytes[out.size++] = b;
    zeros = b == 0 ? zeros + 1 : 0;
  }
  out.cut = true;
}

/// A reader's verdict once its fields are read: more bytes may complete a unit the data cut short.
Hit verdict(const BitReader& r, bool cut) {
  if (r.invalid())
    return Hit::No;
  if (r.overrun())
    return cut ? Hit::NeedMore : Hit::No;
  return Hit::Found;
}

/// A field that rules the position out, unless the reader ran off data that more bytes may extend.
Hit fail(const BitReader& r, bool cut) { return r.overrun() && cut ? Hit::NeedMore : Hit::No; }

// --- MPEG-2 video (ISO/IEC 13818-2 6.2.2.1, 6.2.2.3) ---

constexpr std::uint8_t SEQUENCE_HEADER_CODE = 0xB3;
constexpr std::uint8_t EXTENSION_START_CODE = 0xB5;
constexpr int SEQUENCE_EXTENSION_ID = 1;
constexpr std::array<std::array<int, 2>, 9> MPEG2_FRAME_RATES = {
    {{0, 0}, {24000, 1001}, {24, 1}, {25, 1}, {30000, 1001}, {30, 1}, {50, 1}, {60000, 1001}, {60, 1}}};

/// Position of the next 00 00 01 at or after from, or size.
std::size_t nextStartCode(Bytes d, std::size_t from) {
  for (std::size_t i = from; i + 3 <= d.size();) {
    if (d[i + 2] > 1)
      i += 3;
    else if (d[i + 2] == 1 && d[i + 1] == 0 && d[i] == 0)
      return i;
    else
      ++i;
  }
  return d.size();
}

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

// --- AVC (ISO/IEC 14496-10 7.3.2.1.1, E.1.1) ---

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

// --- VC-1 advanced profile (SMPTE 421M 6.1) ---

constexpr std::uint8_t VC1_SEQUENCE_HEADER = 0x0F;
constexpr int VC1_ADVANCED_PROFILE = 3;
constexpr std::array<int, 7> VC1_FRAME_RATE_NR = {24, 25, 30, 50, 60, 48, 72};
constexpr std::array<int, 2> VC1_FRAME_RATE_DR = {1000, 1001};

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

// --- AC-3 and E-AC-3 (ATSC A/52 5.3, E.1.2) ---

constexpr std::uint32_t AC3_SYNCWORD = 0x0B77;
constexpr int AC3_MAX_BSID = 10;
constexpr int EAC3_BSID = 16;
constexpr std::array<int, 8> ACMOD_CHANNELS = {2, 1, 2, 3, 3, 4, 4, 5};
constexpr std::array<int, 3> AC3_RATES = {48000, 44100, 32000};
constexpr std::array<int, 3> EAC3_HALF_RATES = {24000, 22050, 16000};
constexpr std::array<int, 19> AC3_KBPS = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                                          192, 224, 256, 320, 384, 448, 512, 576, 640};

/// A frame found away from the start of the data counts only when the next frame's sync word follows it.
Hit confirm(Bytes d, std::size_t p, std::size_t frameBytes, bool (*syncAt)(Bytes, std::size_t)) {
  if (p == 0)
    return Hit::Found;
  if (p + frameBytes + 4 > d.size())
    return Hit::NeedMore;
  return syncAt(d, p + frameBytes) ? Hit::Found : Hit::No;
}

bool ac3SyncAt(Bytes d, std::size_t q) { return be16(&d[q]) == AC3_SYNCWORD; }

Hit readAc3Family(Bytes d, std::size_t p, StreamParams& out) {
  if (!ac3SyncAt(d, p))
    return Hit::No;
  if (p + 8 > d.size())
    return Hit::NeedMore;
  const int bsid = d[p + 5] >> 3;
  int rate = 0, acmod = 0, lfeon = 0;
  std::size_t frameBytes = 0;
  if (bsid <= AC3_MAX_BSID) {
    const int fscod = d[p + 4] >> 6, frmsizecod = d[p + 4] & 0x3F;
    if (fscod == 3 || frmsizecod >= 2 * static_cast<int>(AC3_KBPS.size()))
      return Hit::No;
    rate = AC3_RATES[fscod];
    // Frame size in 16-bit words: 1536 samples at the bit rate, plus one word in odd codes at 44.1 kHz.
    frameBytes =
        2 * (static_cast<std::size_t>(AC3_KBPS[frmsizecod / 2]) * 96000 / rate + (fscod == 1 ? (frmsizecod & 1) : 0));
    BitReader r(&d[p + 6], 2);
    acmod = static_cast<int>(r.bits(3));
    if ((acmod & 1) && acmod != 1)
      r.skip(2);  // cmixlev
    if (acmod & 4)
      r.skip(2);  // surmixlev
    if (acmod == 2)
      r.skip(2);  // dsurmod
    lfeon = static_cast<int>(r.bit());
  } else if (bsid <= EAC3_BSID) {
    const int strmtyp = d[p + 2] >> 6, substreamid = (d[p + 2] >> 3) & 7;
    // Only independent substream 0 describes the programme; dependent and further ones are passed over.
    if (strmtyp == 1 || strmtyp == 3 || substreamid != 0)
      return Hit::No;
    frameBytes = 2 * ((std::size_t{d[p + 2] & 7u} << 8 | d[p + 3]) + 1);  // frmsiz
    const int fscod = d[p + 4] >> 6, fscod2 = (d[p + 4] >> 4) & 3;
    if (fscod == 3 && fscod2 == 3)
      return Hit::No;
    rate = fscod == 3 ? EAC3_HALF_RATES[fscod2] : AC3_RATES[fscod];
    acmod = (d[p + 4] >> 1) & 7;
    lfeon = d[p + 4] & 1;
  } else {
    return Hit::No;
  }
  const Hit hit = confirm(d, p, frameBytes, ac3SyncAt);
  if (hit == Hit::Found) {
    out.channels = ACMOD_CHANNELS[acmod] + lfeon;
    out.lfe = lfeon != 0;
    out.sampleRate = rate;
  }
  return hit;
}

// --- DTS core (ETSI TS 102 114 5.3.1) ---

constexpr std::uint32_t DTS_SYNCWORD = 0x7FFE8001;
constexpr std::uint32_t DTS_HD_SUBSTREAM_SYNCWORD = 0x64582025;
constexpr std::array<int, 16> DTS_RATES = {0,     8000, 16000, 32000, 0,     0,     11025, 22050,
                                           44100, 0,    0,     12000, 24000, 48000, 0,     0};
constexpr std::array<int, 16> DTS_AMODE_CHANNELS = {1, 2, 2, 2, 2, 3, 3, 4, 4, 5, 6, 6, 6, 7, 8, 8};

bool dtsSyncAt(Bytes d, std::size_t q) {
  const std::uint32_t sync = be32(&d[q]);
  return sync == DTS_SYNCWORD || sync == DTS_HD_SUBSTREAM_SYNCWORD;
}

Hit readDts(Bytes d, std::size_t p, StreamParams& out) {
  constexpr std::size_t HEADER_BYTES = 11;  // up to LFF
  if (be32(&d[p]) != DTS_SYNCWORD)
    return Hit::No;
  if (p + HEADER_BYTES > d.size())
    return Hit::NeedMore;
  BitReader r(&d[p + 4], HEADER_BYTES - 4);
  r.skip(1 + 5 + 1);                                // FTYPE, SHORT, CPF
  const std::uint32_t blocks = r.bits(7) + 1;       // NBLKS
  const std::uint32_t frameBytes = r.bits(14) + 1;  // FSIZE
  const std::uint32_t amode = r.bits(6);
  const int rate = DTS_RATES[r.bits(4)];      // SFREQ
  r.skip(5 + 1 + 1 + 1 + 1 + 1 + 3 + 1 + 1);  // RATE, MIX, DYNF, TIMEF, AUXF, HDCD, EXT_AUDIO_ID, EXT_AUDIO, ASPF
  const std::uint32_t lff = r.bits(2);
  if (blocks < 6 || frameBytes < 96 || amode >= DTS_AMODE_CHANNELS.size() || rate == 0 || lff == 3)
    return Hit::No;
  const Hit hit = confirm(d, p, frameBytes, dtsSyncAt);
  if (hit == Hit::Found) {
    out.channels = DTS_AMODE_CHANNELS[amode] + (lff ? 1 : 0);
    out.lfe = lff != 0;
    out.sampleRate = rate;
  }
  return hit;
}

// --- MLP and TrueHD major sync ---

constexpr std::uint32_t MLP_MAJOR_SYNC = 0xF8726FBB;
constexpr std::uint32_t TRUEHD_MAJOR_SYNC = 0xF8726FBA;
constexpr std::size_t MAJOR_SYNC_BYTES = 28;  // up to and including major_sync_info_CRC
constexpr std::array<int, 21> MLP_CHANNELS = {1, 2, 3, 4, 3, 4, 5, 3, 4, 5, 4, 5, 6, 4, 5, 4, 5, 6, 5, 5, 6};
constexpr std::array<bool, 21> MLP_LFE = {false, false, false, false, true, true, true, false, false, false, true,
                                          true,  true,  false, false, true, true, true, true,  false, true};
// Channels per bit of a TrueHD channel assignment, least significant bit first; bits 2 and 12 are LFE.
constexpr std::array<int, 13> TRUEHD_ASSIGNMENT_CHANNELS = {2, 1, 1, 2, 2, 2, 2, 1, 1, 2, 2, 1, 1};
constexpr std::uint32_t TRUEHD_LFE_BITS = (1u << 2) | (1u << 12);

int mlpRate(std::uint32_t code) {
  if (code == 0xF || (code & 7) > 2)
    return 0;
  return ((code & 8) ? 44100 : 48000) << (code & 7);
}

int truehdChannels(std::uint32_t assignment) {
  int channels = 0;
  for (std::size_t i = 0; i < TRUEHD_ASSIGNMENT_CHANNELS.size(); ++i)
    if (assignment & (1u << i))
      channels += TRUEHD_ASSIGNMENT_CHANNELS[i];
  return channels;
}

/// The major sync's CRC-16 (polynomial 0x2D) over its first 24 bytes, folded with the next two, against the last two.
bool majorSyncCrcOk(const std::uint8_t* s) {
  std::uint32_t crc = 0;
  for (int i = 0; i < 24; ++i) {
    crc ^= std::uint32_t{s[i]} << 8;
    for (int k = 0; k < 8; ++k)
      crc = (crc & 0x8000) ? ((crc << 1) ^ 0x2D) & 0xFFFF : (crc << 1) & 0xFFFF;
  }
  return (crc ^ be16(s + 24)) == be16(s + 26);
}

Hit readMlp(Bytes d, std::size_t p, StreamParams& out) {
  const std::uint32_t sync = be32(&d[p]);
  if (sync != MLP_MAJOR_SYNC && sync != TRUEHD_MAJOR_SYNC)
    return Hit::No;
  if (p + MAJOR_SYNC_BYTES > d.size())
    return Hit::NeedMore;
  if (!majorSyncCrcOk(&d[p]))
    return Hit::No;
  BitReader r(&d[p + 4], MAJOR_SYNC_BYTES - 4);
  int rate = 0, channels = 0;
  bool lfe = false;
  if (sync == MLP_MAJOR_SYNC) {
    r.skip(8);  // quantization_word_length 1 and 2
    rate = mlpRate(r.bits(4));
    r.skip(4 + 11);  // audio_sampling_frequency 2, reserved
    const std::uint32_t arrangement = r.bits(5);
    if (arrangement >= MLP_CHANNELS.size())
      return Hit::No;
    channels = MLP_CHANNELS[arrangement];
    lfe = MLP_LFE[arrangement];
  } else {
    rate = mlpRate(r.bits(4));
    r.skip(4 + 2 + 2);  // reserved, 2ch and 6ch presentation channel modifiers
    const std::uint32_t assignment6 = r.bits(5);
    r.skip(2);  // 8ch presentation channel modifier
    const std::uint32_t assignment8 = r.bits(13);
    // The richest presentation describes the stream.
    const std::uint32_t assignment = truehdChannels(assignment8) ? assignment8 : assignment6;
    channels = truehdChannels(assignment);
    lfe = (assignment & TRUEHD_LFE_BITS) != 0;
  }
  if (rate == 0 || channels == 0)
    return Hit::No;
  out.channels = channels;
  out.lfe = lfe;
  out.sampleRate = rate;
  return Hit::Found;
}

// --- MPEG audio (ISO/IEC 11172-3 2.4.2.3, ISO/IEC 13818-3) ---

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

// --- Where each reader looks ---

/// A reader, how the search finds the positions it looks at, and the name descriptions give the coding.
struct Reader {
  Hit (*read)(Bytes, std::size_t, StreamParams&);
  std::uint8_t firstByte;  // the first byte of the sync word; 0: the reader looks at start codes 00 00 01
  std::size_t syncBytes;   // bytes of the sync word or start code the search makes sure of
  const char* name;
};

// In the order of StreamCoding.
constexpr std::array<Reader, 10> READERS = {{
    {readMpeg2Video, 0, 4, ""},
    {readAvc, 0, 4, ""},
    {readVc1, 0, 4, ""},
    {readAc3Family, 0x0B, 2, "AC-3"},
    {readAc3Family, 0x0B, 2, "E-AC-3"},
    {readDts, 0x7F, 4, "DTS"},
    {nullptr, 0, 4, "LPCM"},  // read from the packet headers
    {readMlp, 0xF8, 4, "MLP"},
    {readMpegAudio, 0xFF, 4, "MPEG audio"},
    {nullptr, 0, 4, ""},
}};
static_assert(static_cast<std::size_t>(StreamCoding::Subpicture) + 1 == READERS.size());

const Reader& readerOf(StreamCoding coding) { return READERS[static_cast<std::size_t>(coding)]; }

/// Position of the next place at or after from where the reader may find something, or the data's size.
std::size_t nextCandidate(const Reader& reader, Bytes d, std::size_t from) {
  if (reader.firstByte == 0)
    return nextStartCode(d, from);
  if (from >= d.size())
    return d.size();
  const void* hit = std::memchr(d.data() + from, reader.firstByte, d.size() - from);
  return hit ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - d.data()) : d.size();
}

std::string trimmedDecimal(double value, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  std::string s = text;
  if (s.find('.') != std::string::npos) {
    s.erase(s.find_last_not_of('0') + 1);
    if (s.back() == '.')
      s.pop_back();
  }
  return s;
}

}  // namespace

StreamParamProbe::StreamParamProbe(StreamCoding coding) : m_coding(coding) {
  // Subpictures carry no parameters this probe reads.
  m_done = coding == StreamCoding::Subpicture;
}

bool StreamParamProbe::feed(std::span<const std::uint8_t> payload) {
  if (m_done)
    return true;
  const std::size_t take = std::min(payload.size(), PROBE_LIMIT - m_taken);
  m_taken += take;
  const bool full = m_taken >= PROBE_LIMIT;
  // LPCM parameters come from the packet headers (feedLpcmHeader); its samples are only counted.
  if (readerOf(m_coding).read) {
    m_buffer.insert(m_buffer.end(), payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(take));
    search(full);
  }
  if (full)
    m_done = true;
  if (m_done) {
    m_buffer.clear();
    m_buffer.shrink_to_fit();
  }
  return m_done;
}

void StreamParamProbe::search(bool final) {
  const Reader& reader = readerOf(m_coding);
  const Bytes d(m_buffer);
  const std::size_t need = reader.syncBytes;
  std::size_t p = m_searchFrom;
  while (true) {
    p = nextCandidate(reader, d, p);
    if (p + need > d.size()) {
      // Resume where a sync word may still begin once more bytes arrive.
      m_searchFrom = std::min(p, d.size() - std::min(d.size(), need - 1));
      return;
    }
    StreamParams found;
    const Hit hit = reader.read(d, p, found);
    if (hit == Hit::Found) {
      m_params = found;
      m_done = true;
      return;
    }
    if (hit == Hit::NeedMore && !final) {
      m_searchFrom = p;
      return;
    }
    ++p;
  }
}

void StreamParamProbe::feedLpcmHeader(std::span<const std::uint8_t, 3> header) {
  if (m_done || m_coding != StreamCoding::Lpcm)
    return;
  if (const auto params = lpcmParams(header)) {
    m_params = *params;
    m_done = true;
  }
}

std::optional<StreamParams> lpcmParams(std::span<const std::uint8_t, 3> header) {
  // The second byte: quantization_word_length (2 bits), audio_sampling_frequency (2), reserved (1),
  // number_of_audio_channels - 1 (3).
  constexpr std::array<int, 4> RATES = {48000, 96000, 44100, 32000};
  const int quantization = header[1] >> 6;
  if (quantization == 3)
    return std::nullopt;
  StreamParams params;
  params.bits = 16 + 4 * quantization;
  params.sampleRate = RATES[(header[1] >> 4) & 3];
  params.channels = (header[1] & 7) + 1;
  return params;
}

std::string describeParams(StreamCoding coding, const StreamParams& params) {
  std::vector<std::string> parts;
  if (params.width && params.height)
    parts.push_back(std::to_string(*params.width) + "x" + std::to_string(*params.height));
  if (params.frameRate) {
    const std::string& rate = *params.frameRate;
    const std::size_t slash = rate.find('/');
    const double den = slash == std::string::npos ? 1.0 : std::atof(rate.c_str() + slash + 1);
    if (den > 0)
      parts.push_back(trimmedDecimal(std::atof(rate.c_str()) / den, 3) + " fps");
  }
  if (params.channels) {
    // "5.1" where the LFE channel is known, else "2.0" for one or two channels and "6 ch" for more.
    const int channels = *params.channels;
    if (params.lfe)
      parts.push_back(std::to_string(channels - *params.lfe) + (*params.lfe ? ".1" : ".0"));
    else
      parts.push_back(std::to_string(channels) + (channels <= 2 ? ".0" : " ch"));
  }
  if (params.sampleRate)
    parts.push_back(trimmedDecimal(*params.sampleRate / 1000.0, 3) + " kHz");
  if (params.bits)
    parts.push_back(std::to_string(*params.bits) + " bit");
  std::string text;
  for (const std::string& part : parts)
    text += (text.empty() ? "" : ", ") + part;
  const std::string name = readerOf(coding).name;
  return text.empty() || name.empty() ? text : name + " " + text;
}

}  // namespace ardunex
