// SPDX-License-Identifier: GPL-2.0-or-later
// Writes a disc folder for tests: a playlist with a first-play title, a trailer and a feature in three clips,
// and the program streams of its clips.
#pragma once

#include <string>
#include <vector>

#include "support/ps_builder.h"

namespace ardunex::test {

/// The disc makeDisc wrote. The playlist is the fixture three-clip-feature.xpl: title 1 plays TRAILER, title 2
/// plays FEATURE_1 to FEATURE_3; the first-play title's FIRSTPLAY.EVO is not written.
struct GeneratedDisc {
  std::string root;      // holds HVDVD_TS and ADV_OBJ
  std::string playlist;  // ADV_OBJ/VPLST000.XPL
  std::string trailer;   // HVDVD_TS/TRAILER.EVO
  /// The feature's EVO files in playlist order; the second is spelt feature_2.evo on disk, as copies of
  /// discs made on some systems spell names.
  std::vector<std::string> clips;
  /// The feature as one program stream: the three clips joined. VC-1 video, DD+ 0xC0 and DD 0x81 audio,
  /// subpictures 0 and 1, cut at pack boundaries.
  Bytes feature;
};

/// Writes the disc into the folder root, which must not exist yet.
GeneratedDisc makeDisc(const std::string& root);

}  // namespace ardunex::test
