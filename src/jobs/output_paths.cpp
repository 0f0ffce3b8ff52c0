// SPDX-License-Identifier: GPL-2.0-or-later
// Output names and the second part of a feature.
#include "jobs/output_paths.h"

#include <algorithm>

#include "base/file_io.h"
#include "xpl/playlist_title.h"

namespace ardunex {
namespace {

constexpr const char* FIRST_PART_ENDING = "_1.EVO";
constexpr const char* SECOND_PART_ENDING = "2.EVO";
constexpr std::size_t FIRST_PART_CUT = 5;  // "1.EVO"

}  // namespace

std::string outputBase(const std::string& workdir, const std::string& evoBase) {
  std::string base = workdir;
  if (!workdir.empty() && !isPathSeparator(workdir.back()))
    base += PATH_SEPARATOR;
  return base + evoBase;
}

std::string createBase(const std::string& workdir, const std::string& evoPath) {
  return workdir.empty() ? folderPart(evoPath) : std::string();
}

std::string outputName(const std::string& base, const std::string& caption, const std::string& ext) {
  std::string safeCaption = validUtf8(caption);
  std::replace_if(safeCaption.begin(), safeCaption.end(), isPathSeparator, '_');
  return base + "." + safeCaption + "." + ext;
}

bool isFirstPart(const std::string& evoName) { return evoName.ends_with(FIRST_PART_ENDING); }

std::string secondPart(const std::string& evoPath) {
  return evoPath.substr(0, evoPath.size() >= FIRST_PART_CUT ? evoPath.size() - FIRST_PART_CUT : 0) + SECOND_PART_ENDING;
}

}  // namespace ardunex
