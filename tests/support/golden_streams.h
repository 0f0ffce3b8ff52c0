// Program streams for the golden table: an EVO file, or the two parts of a feature.
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

}  // namespace ardunex::test
