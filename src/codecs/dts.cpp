// SPDX-License-Identifier: GPL-2.0-or-later
// DTS parameters from the core frame header (ETSI TS 102 114 5.3.1).
#include "codecs/codec_readers.h"

namespace ardunex::codec {
namespace {

constexpr std::uint32_t DTS_SYNCWORD = 0x7FFE8001;
constexpr std::uint32_t DTS_HD_SUBSTREAM_SYNCWORD = 0x64582025;
constexpr std::array<int, 16> DTS_RATES = {0,     8000, 16000, 32000, 0,     0,     11025, 22050,
                                           44100, 0,    0,     12000, 24000, 48000, 0,     0};
constexpr std::array<int, 16> DTS_AMODE_CHANNELS = {1, 2, 2, 2, 2, 3, 3, 4, 4, 5, 6, 6, 6, 7, 8, 8};

bool dtsSyncAt(Bytes d, std::size_t q) {
  const std::uint32_t sync = be32(&d[q]);
  return sync == DTS_SYNCWORD || sync == DTS_HD_SUBSTREAM_SYNCWORD;
}

}  // namespace

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

}  // namespace ardunex::codec
