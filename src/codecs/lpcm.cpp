// SPDX-License-Identifier: GPL-2.0-or-later
// LPCM parameters from the three further header bytes of an LPCM packet.
#include <array>

#include "codecs/stream_params.h"

namespace ardunex {

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

}  // namespace ardunex
