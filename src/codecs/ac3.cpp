// SPDX-License-Identifier: GPL-2.0-or-later
// AC-3 and E-AC-3 parameters from the sync frame header (ATSC A/52 5.3, E.1.2).
#include "codecs/codec_readers.h"

namespace ardunex::codec {
namespace {

constexpr std::uint32_t AC3_SYNCWORD = 0x0B77;
constexpr int AC3_MAX_BSID = 10;
constexpr int EAC3_BSID = 16;
constexpr std::array<int, 8> ACMOD_CHANNELS = {2, 1, 2, 3, 3, 4, 4, 5};
constexpr std::array<int, 3> AC3_RATES = {48000, 44100, 32000};
constexpr std::array<int, 3> EAC3_HALF_RATES = {24000, 22050, 16000};
constexpr std::array<int, 19> AC3_KBPS = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                                          192, 224, 256, 320, 384, 448, 512, 576, 640};

bool ac3SyncAt(Bytes d, std::size_t q) { return be16(&d[q]) == AC3_SYNCWORD; }

}  // namespace

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

}  // namespace ardunex::codec
