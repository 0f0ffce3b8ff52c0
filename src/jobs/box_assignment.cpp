// SPDX-License-Identifier: GPL-2.0-or-later
// The boxes of the slots first, each standing for the stream that claimed it; then, with every stream, the
// others in free boxes of their own.
#include "jobs/box_assignment.h"

#include <algorithm>

namespace ardunex {

BoxAssignment assignBoxes(const StreamSlotTable& slots, std::uint16_t scannedSubpictures,
                          const std::vector<StreamRecord>& inventory, bool everyStream) {
  BoxAssignment boxes;
  for (int k = 0; k < 2; ++k)
    if (slots.present(StreamSlotTable::FIRST_VIDEO_SLOT + k))
      boxes.code[static_cast<std::size_t>(videoBox(k))] = slots.Get(StreamSlotTable::FIRST_VIDEO_SLOT + k);
  for (int k = 0; k < AUDIO_BOX_COUNT; ++k)
    if (slots.present(StreamSlotTable::FIRST_AUDIO_SLOT + k))
      boxes.code[static_cast<std::size_t>(audioBox(k))] =
          StreamInventory::SUB_STREAM + slots.Get(StreamSlotTable::FIRST_AUDIO_SLOT + k);
  for (int k = 0; k < SUB_BOX_COUNT; ++k)
    if (scannedSubpictures & (1u << k))
      boxes.code[static_cast<std::size_t>(subBox(k))] =
          StreamInventory::SUB_STREAM + slots.Get(StreamSlotTable::FIRST_SUB_SLOT + k);
  if (!everyStream)
    return boxes;
  for (const StreamRecord& record : inventory) {
    if (record.kind == StreamKind::Subpicture ||
        std::find(boxes.code.begin(), boxes.code.end(), record.code) != boxes.code.end())
      continue;
    const int first = record.kind == StreamKind::Video ? videoBox(0) : audioBox(0);
    const int count = record.kind == StreamKind::Video ? VIDEO_BOX_COUNT : AUDIO_BOX_COUNT;
    for (int box = first; box < first + count; ++box) {
      if (boxes.code[static_cast<std::size_t>(box)] >= 0)
        continue;
      boxes.code[static_cast<std::size_t>(box)] = record.code;
      boxes.own[static_cast<std::size_t>(box)] = true;
      break;
    }
  }
  return boxes;
}

int numberBox(const StreamRecord& record) {
  if (record.kind == StreamKind::Video)
    return record.number < 2 ? videoBox(record.number) : -1;
  if (record.kind == StreamKind::Audio && record.coding != StreamCoding::MpegAudio)
    return audioBox(record.number);
  return -1;
}

}  // namespace ardunex
