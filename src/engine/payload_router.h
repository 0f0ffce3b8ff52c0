// SPDX-License-Identifier: GPL-2.0-or-later
// Payload routing: which output of a demux receives each payload run the walker marks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/stream_boxes.h"
#include "codecs/stream_inventory.h"
#include "engine/always_inline.h"
#include "engine/packet_facts.h"
#include "engine/stream_slot_table.h"

namespace ardunex {

class StreamWriter;

/// Which packets an output takes: those of one video, audio or subpicture number (the box of that number), or
/// those of one stream code as the inventory keys it (a stream in a box of its own).
struct Route {
  enum class By : std::uint8_t { VideoNumber, AudioNumber, SubpictureNumber, Code };
  By by = By::Code;
  int value = -1;

  bool operator==(const Route&) const = default;
};

/// Counts every payload run in the inventory and, in a demux, hands it to the output its packet belongs to.
/// The outputs are handed over before the demux runs, each with the box it is written from; an output whose
/// box is unticked takes nothing until it is ticked again. The outputs stay across the runs of one demux (the
/// parts of a feature) until they are closed.
class PayloadRouter {
 public:
  explicit PayloadRouter(const StreamSlotTable& slots);
  ~PayloadRouter();
  PayloadRouter(const PayloadRouter&) = delete;
  PayloadRouter& operator=(const PayloadRouter&) = delete;

  /// Takes an output: the packets of route go to writer while box is ticked.
  void add(Route route, int box, std::unique_ptr<StreamWriter> writer);
  /// Whether a box is ticked now.
  void setTicked(int box, bool ticked) { m_ticked[static_cast<std::size_t>(box)] = ticked; }
  /// Where the payload runs of every stream are counted (none: nothing is counted).
  void setInventory(StreamInventory* inventory) { m_inventory = inventory; }
  /// Begins an engine run: a scan only counts the payload runs, a demux also writes them.
  void begin(Mode mode) { m_demux = mode == Mode::Demux; }

  /// A subpicture packet with this number begins, with its PTS (-1: none).
  void subpictureStart(int number, std::int64_t pts);
  /// A payload run of a packet, the first of its packet or not: counted, and in a demux written.
  ALWAYS_INLINE void payload(const PacketFacts& packet, bool first, const std::uint8_t* data, std::size_t count) {
    const int code = inventoryCode(packet);
    if (m_inventory && code >= 0)
      m_inventory->payload(code, first, packet.Pts, packet.Scrambled, packet.LpcmHeader.data(), data, count);
    if (m_demux)
      write(packet, code, data, count);
  }

  /// The input of the demux is over; cutShort: Cancel stopped it.
  void finish(bool cutShort);
  /// Closes every output; after closing all, throws the first close's StreamWriteError, if any failed.
  void closeAll();
  /// Drops every output without reporting (used when a failure is already on its way).
  void abandonAll();

 private:
  struct Output {
    int box = -1;
    std::unique_ptr<StreamWriter> writer;
    /// An output of a number: the stream code it takes, set at its first write (-1: none yet), so that a
    /// second part that meets another codec of the same number first does not switch the file over to it.
    /// An output of a code: that code.
    int code = -1;
  };

  void write(const PacketFacts& packet, int code, const std::uint8_t* data, std::size_t count);
  bool ticked(const Output& output) const { return m_ticked[static_cast<std::size_t>(output.box)]; }
  /// Calls f on every output, in the order they are closed.
  template <typename F>
  void forEach(F&& f);

  const StreamSlotTable& m_slots;
  std::array<Output, 2> m_video;
  std::array<Output, 16> m_audio;
  std::array<Output, 16> m_subpicture;
  std::vector<Output> m_byCode;
  std::array<bool, BOX_COUNT> m_ticked{};
  StreamInventory* m_inventory = nullptr;
  bool m_demux = false;
};

}  // namespace ardunex
