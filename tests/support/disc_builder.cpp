// SPDX-License-Identifier: GPL-2.0-or-later
// The generated test disc: program streams from PsBuilder, cut into clips, and the fixture playlist.
#include "support/disc_builder.h"

#include <filesystem>

#include "support/cli_runner.h"

namespace ardunex::test {
namespace {

constexpr int PACKS_PER_CLIP = 4;

/// Packs of VC-1 video, two audio streams and two subpicture streams; each group opens with a system header.
void addPacks(PsBuilder& ps, int groups, std::uint32_t seed) {
  for (int i = 0; i < groups; ++i) {
    const auto s = seed + static_cast<std::uint32_t>(i) * 10;
    ps.pack(true).vc1(0x55, payload(1800, s));
    ps.pack().privateStream1(0xC0, payload(600, s + 1));
    ps.pack().privateStream1(0x81, payload(400, s + 2));
    ps.pack().subpicture(0, payload(200, s + 3), {.pts = true}).subpicture(1, payload(150, s + 4), {.pts = true});
  }
}

}  // namespace

GeneratedDisc makeDisc(const std::string& root) {
  GeneratedDisc disc;
  disc.root = root;
  std::filesystem::create_directories(fsPath(root + "/HVDVD_TS"));
  std::filesystem::create_directories(fsPath(root + "/ADV_OBJ"));
  disc.playlist = root + "/ADV_OBJ/VPLST000.XPL";
  const std::string text = readText(ARDUNEX_FIXTURES_DIR "/xpl/three-clip-feature.xpl");
  writeFile(disc.playlist, Bytes(text.begin(), text.end()));

  PsBuilder trailer;
  addPacks(trailer, 2, 900);
  disc.trailer = root + "/HVDVD_TS/TRAILER.EVO";
  writeFile(disc.trailer, trailer.bytes());

  PsBuilder feature;
  std::vector<std::size_t> cuts{0};
  for (std::uint32_t clip = 0; clip < 3; ++clip) {
    addPacks(feature, PACKS_PER_CLIP, 100 * clip);
    cuts.push_back(feature.size());
  }
  disc.feature = feature.bytes();
  for (const char* name : {"FEATURE_1", "feature_2", "FEATURE_3"}) {
    const std::size_t k = disc.clips.size();
    disc.clips.push_back(root + "/HVDVD_TS/" + name + (k == 1 ? ".evo" : ".EVO"));
    writeFile(disc.clips.back(), Bytes(disc.feature.begin() + static_cast<std::ptrdiff_t>(cuts[k]),
                                       disc.feature.begin() + static_cast<std::ptrdiff_t>(cuts[k + 1])));
    writeFile(root + "/HVDVD_TS/" + name + (k == 1 ? ".map" : ".MAP"), {});
  }
  writeFile(root + "/HVDVD_TS/TRAILER.MAP", {});
  return disc;
}

}  // namespace ardunex::test
