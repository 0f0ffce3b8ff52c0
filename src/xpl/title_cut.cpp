// SPDX-License-Identifier: GPL-2.0-or-later
// The title cut: anchor, start tag above it, end tag below that.
#include "xpl/title_cut.h"

#include "base/ascii_text.h"

namespace ardunex {

bool isTitleStart(const std::string& line) { return contains(asciiUpper(line), TITLE_START_TAG); }

bool isTitleEnd(const std::string& line) { return contains(asciiUpper(line), TITLE_END_TAG); }

std::optional<TitleCut> cutTitle(const std::vector<std::string>& lines, const std::string& evoBase) {
  if (evoBase.empty())
    return std::nullopt;
  TitleCut cut;
  while (cut.anchor < lines.size() && !contains(lines[cut.anchor], evoBase))
    ++cut.anchor;
  if (cut.anchor == lines.size() || cut.anchor == 0)
    return std::nullopt;
  for (std::size_t k = cut.anchor; k-- > 0;) {
    if (isTitleStart(lines[k])) {
      cut.start = k;
      break;
    }
  }
  cut.last = titleLastLine(lines, cut.start.value_or(0), false);
  return cut;
}

std::size_t titleLastLine(const std::vector<std::string>& lines, std::size_t begin, bool beforeNextTitle) {
  for (std::size_t m = begin + 1; m < lines.size(); ++m) {
    const std::string upper = asciiUpper(lines[m]);
    if (contains(upper, TITLE_END_TAG))
      return m;
    if (beforeNextTitle && contains(upper, TITLE_START_TAG))
      return m - 1;
  }
  return lines.size() - 1;
}

}  // namespace ardunex
