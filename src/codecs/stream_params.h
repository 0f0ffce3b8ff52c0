// SPDX-License-Identifier: GPL-2.0-or-later
// Stream parameters read from the first bytes of an elementary stream: picture size and rate, channels,
// sample rate and sample size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ardunex {

/// The coding of an elementary stream, as far as its parameters are concerned.
enum class StreamCoding { Mpeg2Video, Avc, Vc1, Ac3, Eac3, Dts, Lpcm, Mlp, MpegAudio, Subpicture };

/// What is known of a stream's parameters; a field stays empty until it is read from the stream.
struct StreamParams {
  std::optional<int> width;
  std::optional<int> height;
  /// Frames per second as a reduced fraction ("24000/1001", "25/1"), as ffprobe's r_frame_rate gives it.
  std::optional<std::string> frameRate;
  std::optional<int> channels;
  /// Whether one of the channels is a low-frequency effects channel; unknown for LPCM.
  std::optional<bool> lfe;
  std::optional<int> sampleRate;
  /// Bits per sample; known for LPCM only.
  std::optional<int> bits;

  bool operator==(const StreamParams&) const = default;
};

/// Collects the first payload bytes of one stream until its parameters can be read from them. It keeps
/// at most PROBE_LIMIT bytes and gives up after that, so a stream without a readable header costs a
/// bounded amount of memory and time. The header may stand anywhere in those bytes; an AC-3, E-AC-3, DTS
/// or MPEG audio frame that does not begin the stream counts only once the frame after it is seen.
class StreamParamProbe {
 public:
  static constexpr std::size_t PROBE_LIMIT = 64 * 1024;

  explicit StreamParamProbe(StreamCoding coding);

  /// Takes the next payload bytes of the stream; returns true once nothing more is needed (found or given up).
  bool feed(std::span<const std::uint8_t> payload);
  /// Takes the further header bytes of an LPCM packet (the three after the sub-stream header), which
  /// carry its sample size, rate and channels.
  void feedLpcmHeader(std::span<const std::uint8_t, 3> header);
  /// Whether more bytes are still wanted.
  bool wantsMore() const { return !m_done; }
  const StreamParams& params() const { return m_params; }

 private:
  /// Looks for a readable header in the collected bytes; final: no more bytes will come.
  void search(bool final);

  StreamCoding m_coding;
  bool m_done = false;
  std::vector<std::uint8_t> m_buffer;
  /// Payload bytes taken so far (LPCM samples are counted, not kept).
  std::size_t m_taken = 0;
  /// Where the search resumes: everything before it has been looked at.
  std::size_t m_searchFrom = 0;
  StreamParams m_params;
};

/// Parameters of an LPCM stream from the three further header bytes of one of its packets; empty when
/// the bytes hold a value no LPCM stream uses.
std::optional<StreamParams> lpcmParams(std::span<const std::uint8_t, 3> header);

/// A short description for a tooltip: "AC-3 5.1, 48 kHz", "1920x1080, 23.976 fps", "LPCM 2.0, 96 kHz, 24 bit";
/// empty when nothing is known.
std::string describeParams(StreamCoding coding, const StreamParams& params);

}  // namespace ardunex
