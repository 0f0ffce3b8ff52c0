// SPDX-License-Identifier: GPL-2.0-or-later
// Which elementary stream each stream check box stands for: 48 slots, video, audio and subpicture.
#pragma once

#include <array>
#include <cstdint>

namespace ardunex {

class StreamSlotTable {
 public:
  static constexpr int SLOT_COUNT = 48;
  static constexpr int EMPTY = -1;
  /// The mark that the playlist's title view stores for a track it lists.
  static constexpr std::int32_t PRESENT = 1;
  static constexpr int FIRST_VIDEO_SLOT = 1;
  static constexpr int FIRST_AUDIO_SLOT = 17;
  static constexpr int FIRST_SUB_SLOT = 33;

  StreamSlotTable() { Reset(); }

  /// Empties all 48 slots.
  void Reset() { m_slots.fill(EMPTY); }

  /// Stores code in an empty slot; true when the slot was newly claimed. Slots outside 1-48 are never touched.
  bool Claim(int slot, std::int32_t code) {
    if (slot < 1 || slot > SLOT_COUNT || m_slots[slot - 1] != EMPTY)
      return false;
    m_slots[slot - 1] = code;
    return true;
  }

  /// The stored value (EMPTY outside 1-48).
  std::int32_t Get(int slot) const { return slot < 1 || slot > SLOT_COUNT ? EMPTY : m_slots[slot - 1]; }

  /// Whether the slot holds a stream code or a presence mark.
  bool present(int slot) const { return Get(slot) >= 0; }

 private:
  std::array<std::int32_t, SLOT_COUNT> m_slots{};
};

}  // namespace ardunex
