// SPDX-License-Identifier: GPL-2.0-or-later
// The inventory of every elementary stream a walk met: its kind, codec, number, counts, first time stamp,
// protection and parameters, whether or not it got a box.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "codecs/stream_params.h"

namespace ardunex {

/// The kind of an elementary stream.
enum class StreamKind { Video, Audio, Subpicture };

/// One elementary stream, keyed by its own code.
struct StreamRecord {
  /// The stream's own code: stream_id 0xE0-0xE3 or 0xC0-0xCF (MPEG audio), stream_id_extension 0x55/0x56
  /// (VC-1), or 0x100 + private_stream_1 sub-stream id (audio 0x80-0xCF, subpicture 0x20-0x3F), so that
  /// the MPEG audio stream 0xC0 and the Dolby Digital Plus sub-stream 0xC0 stay apart.
  int code = -1;
  /// The stream_id of the packets carrying it (0xBD, 0xFD, 0xC0-0xCF, 0xE0-0xE3).
  int streamId = -1;
  StreamKind kind = StreamKind::Video;
  StreamCoding coding = StreamCoding::Mpeg2Video;
  /// The codec as the scan names it ("MPEG-2", "AVC", "VC-1", "DD", "DD+", "DTSHD", "LPCM", "MLP", "MPA",
  /// "Subpicture").
  std::string codec;
  /// The codec as the log names it ("MPEG-2", "H.264", "VC-1", "Dolby Digital", "DDplus", "DTS HD",
  /// "LPCM", "MLP", "MPEG audio", "Subpicture").
  std::string logName;
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

  /// The code as the file holds it: the sub-stream id of a private_stream_1 stream, else the stream's code.
  int fileCode() const { return code & 0xFF; }

  bool operator==(const StreamRecord&) const = default;
};

/// Every stream met by the engine runs of one job, in order of discovery. The walker reports each payload
/// run; the work per run is a table look-up and a few sums, and a stream's first bytes go to its parameter
/// probe only until the probe has what it needs.
class StreamInventory {
 public:
  /// Codes run from 0 to 0x1FF: stream ids, and 0x100 + sub-stream id.
  static constexpr int CODE_COUNT = 0x200;
  static constexpr int SUB_STREAM = 0x100;

  StreamInventory() { reset(); }

  /// Forgets every stream.
  void reset();

  /// A payload run of a packet of the stream with this code; first: the run begins the packet's payload,
  /// whose PTS (-1: none), scrambling and further LPCM header bytes (LPCM only) are given.
  void payload(int code, bool first, std::int64_t pts, bool scrambled, const std::uint8_t* lpcmHeader,
               const std::uint8_t* data, std::size_t count) {
    int index = m_index[static_cast<std::size_t>(code)];
    if (index < 0) {
      if (index == UNKNOWN)
        return;
      index = add(code);
      if (index < 0)
        return;
    }
    StreamRecord& record = m_records[static_cast<std::size_t>(index)];
    if (first) {
      ++record.packets;
      record.scrambledPackets += scrambled;
      if (pts >= 0 && !record.firstPts)
        record.firstPts = pts;
    }
    record.payloadBytes += static_cast<std::int64_t>(count);
    if (m_probes[static_cast<std::size_t>(index)])
      probe(static_cast<std::size_t>(index), first ? lpcmHeader : nullptr, data, count);
  }

  /// Takes what the probes found so far and computes the delays; call after the last engine run of a job.
  void finish();

  const std::vector<StreamRecord>& records() const { return m_records; }
  std::vector<StreamRecord>& records() { return m_records; }
  /// The record of a code, null when the stream was not met.
  const StreamRecord* find(int code) const;
  StreamRecord* find(int code);

 private:
  static constexpr std::int16_t NOT_MET = -1;
  static constexpr std::int16_t UNKNOWN = -2;

  int add(int code);
  void probe(std::size_t index, const std::uint8_t* lpcmHeader, const std::uint8_t* data, std::size_t count);

  std::array<std::int16_t, CODE_COUNT> m_index{};
  std::vector<StreamRecord> m_records;
  std::vector<std::unique_ptr<StreamParamProbe>> m_probes;
};

/// The record a code stands for, without counts: kind, codec, names and number; empty for codes of no
/// stream the program knows.
std::optional<StreamRecord> describeStream(int code);

/// Delay of a time stamp against a reference in milliseconds, across the 33-bit wrap of both.
int delayMs(std::int64_t pts, std::int64_t referencePts);

}  // namespace ardunex
