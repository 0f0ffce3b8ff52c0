// The inventory of every elementary stream a walk met: its kind, codec, number, counts, first time stamp,
// protection and parameters, whether or not it got a box.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/stream_params.h"

namespace ardunex {

/// The kind of an elementary stream.
enum class StreamKind { Video, Audio, Subpicture };

/// One elementary stream, keyed by its own code.
struct StreamRecord {
  /// The stream's own code: stream_id 0xE0-0xE3 or 0xC0-0xDF (MPEG audio), stream_id_extension 0x55/0x56
  /// (VC-1), or 0x100 + private_stream_1 sub-stream id (audio 0x80-0xCF, subpicture 0x20-0x3F), so that
  /// the MPEG audio stream 0xC0 and the Dolby Digital Plus sub-stream 0xC0 stay apart.
  int code = -1;
  /// The stream_id of the packets carrying it (0xBD, 0xFD, 0xC0-0xDF, 0xE0-0xE3).
  int streamId = -1;
  StreamKind kind = StreamKind::Video;
  StreamCoding coding = StreamCoding::Mpeg2Video;
  /// The codec as the scan names it ("MPEG-2", "AVC", "VC-1", "DD", "DD+", "DTSHD", "LPCM", "MLP", "MPA",
  /// "Subpicture").
  std::string codec;
  /// The stream number within its codec (the low bits of its code).
  int number = 0;
  /// The flat box index the stream is written from, -1 when it has none.
  int box = -1;
  std::int64_t packets = 0;
  std::int64_t payloadBytes = 0;
  /// The first PTS met (33 bits, 90 kHz).
  std::optional<std::int64_t> firstPts;
  /// Packets whose PES_scrambling_control is not '00'.
  std::int64_t scrambledPackets = 0;
  StreamParams params;
  /// Delay against the reference video in milliseconds (audio and subpicture streams), when known.
  std::optional<int> delayMs;
};

}  // namespace ardunex
