// SPDX-License-Identifier: GPL-2.0-or-later
// The codec names that playlist reads collect from media attribute items, kept for the program's life.
#pragma once

#include <array>
#include <string>

namespace ardunex {

/// Entries 1 to 8 of each table are at [0] to [7]; an entry no read has filled is empty.
struct CodecTables {
  std::array<std::string, 8> VideoCodecTable;
  std::array<std::string, 8> AudioCodecTable;
  std::array<std::string, 8> SubpictureCodecTable;
};

}  // namespace ardunex
