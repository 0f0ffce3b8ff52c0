// SPDX-License-Identifier: GPL-2.0-or-later
// Fuzz target: arbitrary bytes through the parameter probe of one coding, in one piece and in many.
//
// The first input byte chooses the coding, the second the piece size (1 to 1786 bytes). Fed whole or in
// pieces, the probe must come to the same parameters, stop at its byte limit, and give only values the
// formats can carry.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "codecs/stream_params.h"
#include "replay_main.h"

namespace {

using namespace ardunex;

constexpr int CODING_COUNT = 10;

[[noreturn]] void crash(const char* what) {
  std::fprintf(stderr, "stream_params_fuzz: %s\n", what);
  std::abort();
}

bool within(const std::optional<int>& value, int low, int high) { return !value || (*value >= low && *value <= high); }

void checkValues(const StreamParams& p) {
  if (!within(p.width, 1, 16384) || !within(p.height, 1, 16384) || !within(p.channels, 1, 20) ||
      !within(p.sampleRate, 8000, 192000) || !within(p.bits, 16, 24))
    crash("a value no format carries");
  if (p.frameRate && p.frameRate->find('/') == std::string::npos)
    crash("a frame rate that is no fraction");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2)
    return 0;
  const auto coding = static_cast<StreamCoding>(data[0] % CODING_COUNT);
  const std::size_t piece = 1 + std::size_t{data[1]} * 7;
  const std::span<const std::uint8_t> bytes(data + 2, size - 2);

  StreamParamProbe whole(coding);
  whole.feed(bytes);
  StreamParamProbe pieces(coding);
  for (std::size_t at = 0; at < bytes.size() && pieces.wantsMore(); at += piece) {
    // A copy of each piece, so that a read beyond it is caught by the address sanitizer.
    const std::vector<std::uint8_t> copy(
        bytes.begin() + static_cast<std::ptrdiff_t>(at),
        bytes.begin() + static_cast<std::ptrdiff_t>(std::min(at + piece, bytes.size())));
    pieces.feed(copy);
  }
  if (whole.params() != pieces.params() || whole.wantsMore() != pieces.wantsMore())
    crash("whole and in pieces the probe read differently");
  if (bytes.size() >= StreamParamProbe::PROBE_LIMIT && whole.wantsMore())
    crash("the probe did not give up at its limit");
  checkValues(whole.params());
  (void)describeParams(coding, whole.params());

  if (bytes.size() >= 3) {
    const std::span<const std::uint8_t, 3> header(bytes.data(), 3);
    StreamParamProbe lpcm(StreamCoding::Lpcm);
    lpcm.feedLpcmHeader(header);
    if (lpcmParams(header).has_value() == lpcm.wantsMore())
      crash("an LPCM header read but not taken, or taken but not read");
    checkValues(lpcm.params());
  }
  return 0;
}
