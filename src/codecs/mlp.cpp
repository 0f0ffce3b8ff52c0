// SPDX-License-Identifier: GPL-2.0-or-later
// MLP and TrueHD parameters from the major sync.
#include "codecs/codec_readers.h"

namespace ardunex::codec {
namespace {

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

}  // namespace

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

}  // namespace ardunex::codec
