// SPDX-License-Identifier: GPL-2.0-or-later
// Which stream each stream box stands for after a scan.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "base/stream_boxes.h"
#include "codecs/stream_inventory.h"
#include "engine/stream_slot_table.h"

namespace ardunex {

/// The stream each box stands for, by the inventory's code (-1: none), and whether the box was given to a
/// stream of its own (every stream) rather than to the number it shows.
struct BoxAssignment {
  std::array<int, BOX_COUNT> code = noCodes();
  std::array<bool, BOX_COUNT> own{};

  static constexpr std::array<int, BOX_COUNT> noCodes() {
    std::array<int, BOX_COUNT> codes{};
    codes.fill(-1);
    return codes;
  }
};

/// The boxes of the slots a scan filled stand for the streams that claimed them (a subpicture box only when
/// its bit of scannedSubpictures is set); with everyStream, every other stream met, subpictures aside, gets the
/// next free box of its group, in order of discovery, while one is free.
BoxAssignment assignBoxes(const StreamSlotTable& slots, std::uint16_t scannedSubpictures,
                          const std::vector<StreamRecord>& inventory, bool everyStream);

/// The box a stream's number selects, where the first stream of that number is written; -1 for streams that
/// have none (video numbers above 1, MPEG audio, subpictures).
int numberBox(const StreamRecord& record);

}  // namespace ardunex
