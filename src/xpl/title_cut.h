// SPDX-License-Identifier: GPL-2.0-or-later
// Where a title stands in the playlist's tag lines: the title that plays an EVO file, and where any title ends.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace ardunex {

/// What an upper-cased tag line holds when it is a Title start tag with attributes (not a TitleSet's), and
/// when it holds the end tag of a title (or of a TitleSet: there is no blank after it).
inline constexpr const char* TITLE_START_TAG = "<TITLE ";
inline constexpr const char* TITLE_END_TAG = "</TITLE";

/// Whether a tag line is a title's start tag; whether it holds an end tag.
bool isTitleStart(const std::string& line);
bool isTitleEnd(const std::string& line);

/// The lines of the title that plays an EVO file.
struct TitleCut {
  /// The first line that contains the EVO file's base name.
  std::size_t anchor = 0;
  /// The nearest title start tag above the anchor; none when no title starts above it.
  std::optional<std::size_t> start;
  /// The first end tag below the start tag (below line 0 without one), else the last line.
  std::size_t last = 0;
};

/// The cut for evoBase; empty when no line names it, when it is empty, or when only line 0 names it (there
/// is no title above that).
std::optional<TitleCut> cutTitle(const std::vector<std::string>& lines, const std::string& evoBase);

/// The last line of the title whose start tag is at begin: the first end tag below it, else the last line.
/// With beforeNextTitle, a title start tag met first ends it on the line above.
std::size_t titleLastLine(const std::vector<std::string>& lines, std::size_t begin, bool beforeNextTitle);

}  // namespace ardunex
