// SPDX-License-Identifier: GPL-2.0-or-later
// ardunex-cli --disc DIR over a generated disc: the title list, the marks of clips that cannot be demuxed, and
// a title demuxed clip after clip or refused before anything is written.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "support/cli_runner.h"
#include "support/disc_builder.h"

namespace ardunex::test {
namespace {

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  for (auto at = text.find(from); !from.empty() && at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// The playlist's names are found case-insensitively on disk (feature_2.evo), "id" is the attribute itself
// though the name "Kids" holds "id", the FirstPlayTitle is no title, and the longest title is the default.
const std::string EXPECTED = R"({"disc": "ROOT", "playlist": "ROOT/ADV_OBJ/VPLST000.XPL", "default_title": 2,
  "titles_not_read": 0, "titles": [
    {"number": 1, "id": "Trailer", "name": "Theatrical Trailer", "duration_ms": 130500,
     "clips": [{"evo": "ROOT/HVDVD_TS/TRAILER.EVO", "present": true, "begin_ms": 0, "end_ms": 130500,
                "src": "file:///dvddisc/HVDVD_TS/TRAILER.MAP", "data_source": "Disc", "refused": null}],
     "audio": [{"track": 1, "stream_number": 1, "description": "English", "language": "en", "codec": "DD+"}],
     "subtitles": [], "chapters": []},
    {"number": 2, "id": "Feature", "name": "Kids & Castles", "duration_ms": 6300000,
     "clips": [{"evo": "ROOT/HVDVD_TS/FEATURE_1.EVO", "present": true, "begin_ms": 0, "end_ms": 2400000,
                "src": "file:///dvddisc/HVDVD_TS/FEATURE_1.MAP", "data_source": "Disc", "refused": null},
               {"evo": "ROOT/HVDVD_TS/feature_2.evo", "present": true, "begin_ms": 2400000, "end_ms": 4800000,
                "src": "file:///dvddisc/HVDVD_TS/FEATURE_2.MAP", "data_source": "Disc", "refused": null},
               {"evo": "ROOT/HVDVD_TS/FEATURE_3.EVO", "present": true, "begin_ms": 4800000, "end_ms": 6300000,
                "src": "file:///dvddisc/HVDVD_TS/FEATURE_3.MAP", "data_source": "Disc", "refused": null}],
     "audio": [{"track": 1, "stream_number": 1, "description": "English", "language": "en", "codec": "DD+"},
               {"track": 2, "stream_number": 2, "description": "Fran\u00e7ais", "language": "fr", "codec": "DD"}],
     "subtitles": [{"track": 1, "stream_number": 1, "description": "English", "language": "en", "codec": "8bitRLE"},
                   {"track": 2, "stream_number": 2, "description": "Commentary", "language": "en",
                    "codec": "8bitRLE"}],
     "chapters": [{"start_ms": 0, "name": "Opening"}, {"start_ms": 2400000, "name": "Castles & Kings"},
                  {"start_ms": 5400500, "name": "Finale"}]}]})";

TEST(DiscTitles, ListsTheTitlesOfAGeneratedDiscAsJson) {
  TempDir dir;
  const GeneratedDisc disc = makeDisc(dir.file("disc"));
  // The disc is found from its root, from HVDVD_TS and from a file inside it.
  for (const std::string& path : {disc.root, disc.root + "/HVDVD_TS/", disc.clips[1]}) {
    const CliResult listed = runCli(dir, {"--disc", path, "--titles", "--json"});
    ASSERT_EQ(0, listed.status) << listed.err;
    EXPECT_EQ(nlohmann::json::parse(replaced(EXPECTED, "ROOT", disc.root)), nlohmann::json::parse(listed.out)) << path;
  }
  const CliResult none = runCli(dir, {"--disc", dir.path(), "--titles"});
  EXPECT_EQ(1, none.status);
  EXPECT_EQ("No HD DVD disc at \"" + dir.path() + "\": no ADV_OBJ/VPLST000.XPL in it or in a folder above it.\n",
            none.err);
}

TEST(DiscTitles, MarksClipsThatCannotBeDemuxedAndReadsOddValuesWithoutFailing) {
  const std::string third = "file:///dvddisc/HVDVD_TS/FEATURE_3.MAP";
  const struct {
    std::string from, to;
    std::string line;  // a line of the listing
  } cases[] = {
      {"", "", "  Clip 3: HVDVD_TS/FEATURE_3.EVO, 01:20:00.000 to 01:45:00.000, missing"},
      {third, "file:///dvddisc/../FEATURE_3.MAP",
       "  Clip 3: refused: src \"file:///dvddisc/../FEATURE_3.MAP\" leaves the disc folder"},
      {third, "HVDVD_TS/../../FEATURE_3.MAP",
       "  Clip 3: refused: src \"HVDVD_TS/../../FEATURE_3.MAP\" leaves the disc folder"},
      {third, "/FEATURE_3.MAP", "  Clip 3: refused: src \"/FEATURE_3.MAP\" is an absolute path"},
      {third, "file:///dvddisc//FEATURE_3.MAP",
       "  Clip 3: refused: src \"file:///dvddisc//FEATURE_3.MAP\" is an absolute path"},
      {third, "C:FEATURE_3.MAP", "  Clip 3: refused: src \"C:FEATURE_3.MAP\" has a drive letter"},
      {third, "HVDVD_TS\\FEATURE_3.MAP", "  Clip 3: refused: src \"HVDVD_TS\\FEATURE_3.MAP\" is a backslash path"},
      {third, "http://example.com/FEATURE_3.MAP",
       "  Clip 3: refused: src \"http://example.com/FEATURE_3.MAP\" is not a file on the disc"},
      {third + "\" titleTimeEnd=\"01:45:00:00\" dataSource=\"Disc\"",
       third + "\" titleTimeEnd=\"01:45:00:00\" dataSource=\"Network\"",
       "  Clip 3: skipped, data source \"Network\": " + third + ", 01:20:00.000 to 01:45:00.000"},
      {"FEATURE_3.MAP", "feature_3.map", "  Clip 3: HVDVD_TS/FEATURE_3.EVO, 01:20:00.000 to 01:45:00.000"},
      // Odd values are left out, never a failure; equal lengths give the lower number.
      {"index=\"2\" codec=\"DD\"", "index=\"two\" codec=\"DD\"",
       "  Audio stream 2, track 2: Fran\xC3\xA7"
       "ais (fr)"},
      {"<Audio track=\"2\" streamNumber=\"2\"", "<Audio track=\"x\" streamNumber=\"2\"",
       "  Audio stream 2, track ?: Fran\xC3\xA7"
       "ais (en) DD"},
      {"titleDuration=\"01:45:00:00\"", "titleDuration=\"00:02:10:30\"",
       "Title 1: Theatrical Trailer, 00:02:10.500, 1 clip, 0 chapters, default"},
      {"timeBase=\"60fps\"", "timeBase=\"fast\"", "  Clip 1: HVDVD_TS/TRAILER.EVO, unknown to unknown"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const GeneratedDisc disc = makeDisc(dir.file("disc"));
    writeFile(dir.file("FEATURE_3.EVO"), {});  // outside the disc: never found
    if (c.from.empty())
      std::filesystem::remove(fsPath(disc.clips[2]));
    const std::string playlist = replaced(readText(disc.playlist), c.from, c.to);
    writeFile(disc.playlist, Bytes(playlist.begin(), playlist.end()));
    const CliResult listed = runCli(dir, {"--disc", disc.root, "--titles"});
    ASSERT_EQ(0, listed.status) << c.to << listed.err;
    EXPECT_NE(listed.out.find("\n" + c.line + "\n"), std::string::npos) << c.to << "\n" << listed.out;
  }
}

TEST(DiscTitles, DemuxesATitleAsOneFileOrRefusesItBeforeWritingAnything) {
  // The feature's three clips give the files the joined stream gives, under the names the playlist gives.
  TempDir ref;
  const GeneratedDisc source = makeDisc(ref.file("disc"));
  writeFile(ref.file("FEATURE_1.EVO"), source.feature);
  const std::vector<std::string> options{"--subpictures", "--chapters"};
  std::vector<std::string> joined{"-o", ref.file("out"), "--xpl", source.playlist, ref.file("FEATURE_1.EVO")};
  joined.insert(joined.begin(), options.begin(), options.end());
  ASSERT_EQ(0, runCli(ref, joined).status);
  const std::vector<std::string> names = folderEntries(ref.file("out"));
  ASSERT_EQ(names, (std::vector<std::string>{
                       "FEATURE_1.DD+.stream.0.English.mpa", "FEATURE_1.DD.stream.1.Fran&#231;ais.mpa",
                       "FEATURE_1.Stream 0: English.8bitRLE.sup", "FEATURE_1.Stream 1: Commentary.8bitRLE.sup",
                       "FEATURE_1.VC-1.stream.0.mpv", "FEATURE_1.chapters.txt", "FEATURE_1.chapters.xml"}));
  const std::string third = "file:///dvddisc/HVDVD_TS/FEATURE_3.MAP";
  enum Clip { KEEP, REMOVE, FOLDER };  // what becomes of the third clip's EVO file
  const struct {
    Clip clip;
    std::string from, to;  // a change of the playlist
    std::vector<std::string> args;
    int status;
    std::string err;
  } cases[] = {
      {KEEP, "", "", {"--full-scan"}, 0, ""},
      {REMOVE, "", "", {}, 1, "Cannot open file \"ROOT/HVDVD_TS/FEATURE_3.EVO\". No such file or directory.\n"},
      {FOLDER, "", "", {}, 1, "Cannot open file \"ROOT/HVDVD_TS/FEATURE_3.EVO\". Is a directory.\n"},
      {KEEP,
       third,
       "file:///dvddisc/../FEATURE_3.MAP",
       {},
       1,
       "Cannot demux clip 3 of title 2: src \"file:///dvddisc/../FEATURE_3.MAP\" leaves the disc folder.\n"},
      {KEEP,
       third,
       "/FEATURE_3.MAP",
       {},
       1,
       "Cannot demux clip 3 of title 2: src \"/FEATURE_3.MAP\" is an absolute path.\n"},
      {KEEP, "", "", {"--title", "7"}, 2, "ardunex-cli: no title 7 on the disc ROOT; its titles are 1, 2\n"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const GeneratedDisc disc = makeDisc(dir.file("disc"));
    if (c.clip != KEEP)
      std::filesystem::remove(fsPath(disc.clips[2]));
    if (c.clip == FOLDER)
      std::filesystem::create_directory(fsPath(disc.clips[2]));
    const std::string playlist = replaced(readText(disc.playlist), c.from, c.to);
    writeFile(disc.playlist, Bytes(playlist.begin(), playlist.end()));
    std::vector<std::string> args{"--disc", disc.root, "-o", dir.file("out")};
    args.insert(args.end(), options.begin(), options.end());
    args.insert(args.end(), c.args.begin(), c.args.end());
    const CliResult demuxed = runCli(dir, args);
    EXPECT_EQ(c.status, demuxed.status) << c.to << demuxed.err;
    EXPECT_EQ(replaced(c.err, "ROOT", disc.root), demuxed.err.substr(0, demuxed.err.find("Usage:"))) << c.to;
    if (c.status != 0) {
      EXPECT_FALSE(std::filesystem::exists(fsPath(dir.file("out")))) << c.to;  // nothing made, not even the folder
      continue;
    }
    // The full scan, then the demux, go on to every clip.
    const std::vector<std::string> logged = lines(demuxed.out);
    for (const char* line : {"Continue on feature_2.evo", "Continue on FEATURE_3.EVO"})
      EXPECT_EQ(2, std::count(logged.begin(), logged.end(), line)) << demuxed.out;
    ASSERT_EQ(names, folderEntries(dir.file("out")));
    for (const std::string& name : names)
      EXPECT_EQ(readFile(ref.file("out/" + name)), readFile(dir.file("out/" + name))) << name;
  }
}

}  // namespace
}  // namespace ardunex::test
