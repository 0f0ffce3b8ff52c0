// SPDX-License-Identifier: GPL-2.0-or-later
// Program streams of the kinds that break walkers, made from fixed seeds: the inputs of the golden table.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "support/ps_builder.h"

namespace ardunex::test {

/// One input of the golden table: an EVO file, or the two parts of a feature (NAME_1.EVO, NAME_2.EVO).
struct GoldenCase {
  std::string name;
  std::vector<std::pair<std::string, Bytes>> files;  ///< file name and bytes, the EVO file first
};

/// How many cases there are.
int goldenCaseCount();
/// Case number index, 0 to goldenCaseCount() - 1: the same bytes on every run and every system.
GoldenCase goldenCase(int index);

}  // namespace ardunex::test
