// SPDX-License-Identifier: GPL-2.0-or-later
// The mode of an engine run, the classes of the packets the walker meets, and what it knows of the packet a
// payload run belongs to.
#pragma once

#include <array>
#include <cstdint>

#include "codecs/stream_ids.h"
#include "codecs/stream_inventory.h"

namespace ardunex {

/// Mode of an engine run: 0 scans for streams, 1 writes the ticked streams.
enum class Mode : std::uint8_t { Scan = 0, Demux = 1 };

enum class StreamClass : std::uint8_t { None, Video, PrivateAudio, MpegAudio, Discard, SkipWhole, Subpicture };

enum class AudioClass : std::uint8_t { DolbyDigital, DolbyDigitalPlus, DtsHd, Lpcm, Mlp };

/// What the walker knows of the packet it is in, as the packet's headers said: the part of its state that
/// goes to the router with each payload run.
struct PacketFacts {
  StreamClass streamClass = StreamClass::None;
  /// The current packet's own stream code (stream_id, stream_id_extension or sub-stream id); a payload
  /// reaches a file only when this equals the code its slot holds, so codecs sharing a number never mix.
  std::int32_t PacketCode = -1;
  int VideoNumber = -1;
  int AudioNumber = -1;
  /// Subpicture number of the current subpicture packet (-1 before any).
  int SubpictureNumber = -1;
  /// The current packet's PTS (33 bits, 90 kHz), -1 when it has none.
  std::int64_t Pts = -1;
  /// Whether the current packet's PES_scrambling_control is not '00'.
  bool Scrambled = false;
  /// The further LPCM header bytes of the current packet, as far as they were read.
  std::array<std::uint8_t, 3> LpcmHeader{};

  bool operator==(const PacketFacts&) const = default;
};

/// The inventory's key of the packet's stream; -1 for packets of no stream.
inline int inventoryCode(const PacketFacts& packet) {
  switch (packet.streamClass) {
    case StreamClass::Video:
    case StreamClass::MpegAudio:
      return packet.PacketCode;
    case StreamClass::PrivateAudio:
    case StreamClass::Subpicture:
      return StreamInventory::SUB_STREAM + packet.PacketCode;
    case StreamClass::Discard:
      // Subpicture sub-streams are passed over, but they are streams of the title all the same.
      if (packet.PacketCode >= mpeg::SUBPICTURE_FIRST && packet.PacketCode <= mpeg::SUBPICTURE_LAST)
        return StreamInventory::SUB_STREAM + packet.PacketCode;
      return -1;
    default:
      return -1;
  }
}

}  // namespace ardunex
