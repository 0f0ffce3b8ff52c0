// SPDX-License-Identifier: GPL-2.0-or-later
// The title of the playlist that plays the current EVO file: narrowed tag lines, a tree and labelled boxes.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "base/window.h"
#include "engine/stream_slot_table.h"
#include "xpl/codec_tables.h"
#include "xpl/xpl_attr.h"

namespace ardunex {

/// Roots of the title tree, in their order.
inline constexpr const char* XPL_TREE_ROOTS[] = {"Info", "Video", "Audio", "Subtitle", "Chapter"};

/// A box the title view labelled, with the codec the playlist names for its track.
struct PlaylistBoxLabel {
  int box = -1;
  std::string codec;
};

/// Whether showXplTitle finds a line that names the EVO file (below line 0), and so shows a title.
bool xplTitleFound(const std::vector<std::string>& lines, const std::string& evoBase);

/// Finds the title whose start tag stands nearest above the first line containing evoBase, cuts lines to
/// that title, shows it in the window's tree and enables, ticks and labels the boxes of its tracks; slots
/// end up marked for the listed tracks only. Without such a line only slots is emptied. Throws ConvertError
/// for a track number or media attribute that is not an integer; what was done until then stays.
/// audioBoxes, when given, names the box that shows the audio stream of each number (-1: none) instead of
/// the box of that number. Returns the boxes labelled, in the order of their tracks; the values of the
/// title's lines that are too long to be read are counted in cut, when given.
std::vector<PlaylistBoxLabel> showXplTitle(std::vector<std::string>& lines, const CodecTables& codecs,
                                           const std::string& evoBase, StreamSlotTable& slots, Window& window,
                                           const std::array<int, AUDIO_BOX_COUNT>* audioBoxes = nullptr,
                                           XplCutValues* cut = nullptr);

/// Shows a title already found, as showXplTitle does once it has found one: lines is cut to the title's
/// lines [first, last], which the tree and the boxes then show. Throws ConvertError as showXplTitle does.
std::vector<PlaylistBoxLabel> showXplTitleLines(std::vector<std::string>& lines, std::size_t first, std::size_t last,
                                                const CodecTables& codecs, StreamSlotTable& slots, Window& window,
                                                const std::array<int, AUDIO_BOX_COUNT>* audioBoxes = nullptr,
                                                XplCutValues* cut = nullptr);

}  // namespace ardunex
