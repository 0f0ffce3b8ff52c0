// SPDX-License-Identifier: GPL-2.0-or-later
// ardunex-cli run as a user runs it: arguments in, log and files out, exit status checked.
#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/feature_builder.h"
#include "support/ps_builder.h"

namespace ardunex::test {
namespace {

// A feature: MPEG-2 video, Dolby Digital 0x80, DTS-HD 0x88 (sharing audio number 0 with it) and Dolby Digital
// Plus 0xC9, in packs.
const std::vector<FeatureStream> STREAMS = {video(0xE0, 1500, 0, PesHeader{.ptsDts = true}), audio(0x80, 700),
                                            audio(0x88, 600), audio(0xC9, 500)};
enum { VIDEO, DOLBY, DTS, DDPLUS };

Feature makePart(std::uint32_t seed) { return makeFeature(STREAMS, 20'000, seed); }

TEST(Cli, DemuxesATwoPartFeatureIntoOneSetOfFiles) {
  TempDir dir;
  const TwoPartFeature feature = makeTwoPartFeature(STREAMS, 20'000, 20'000, 1);
  feature.write(dir.path(), "FEATURE");
  const std::string out = dir.file("out");
  ASSERT_EQ(0, std::system(("mkdir " + quoted(out)).c_str()));

  const CliResult result = runCli(dir, {"-o", out, dir.file("FEATURE_1.EVO")});
  ASSERT_EQ(0, result.status) << result.err;
  EXPECT_EQ("", result.err);  // no progress when stderr is not a terminal

  const std::vector<std::string> expectedLog = {
      "Opening file FEATURE_1.EVO",
      "File size: 0 Mbytes.",
      "MPEG-2 Video Stream found!",
      "Dolby Digital Audio Stream number 0 found!",
      "DDplus Audio Stream number 9 found!",
      "DTS HD stream 0x88 skipped: number 0 is taken by Dolby Digital 0x80",
      "Done.",
  };
  const std::vector<std::string> printed = lines(result.out);
  ASSERT_GE(printed.size(), expectedLog.size());
  EXPECT_EQ(expectedLog, std::vector<std::string>(printed.begin(), printed.begin() + expectedLog.size()));
  EXPECT_NE(result.out.find("cbVideo0   enabled  ticked    MPEG-2.stream.00\n"), std::string::npos);
  EXPECT_NE(result.out.find("cbAudio09  enabled  ticked    DD+.stream.09\n"), std::string::npos);
  EXPECT_NE(result.out.find("cbAudio01  disabled unticked  No audio stream\n"), std::string::npos);
  const std::string tail =
      "Opening file FEATURE_1.EVO\n"
      "File size: 0 Mbytes.\n"
      "Creating " +
      out +
      "/FEATURE_1.MPEG-2.stream.00.mpv\n"
      "Creating " +
      out +
      "/FEATURE_1.DD.stream.00.mpa\n"
      "Creating " +
      out +
      "/FEATURE_1.DD+.stream.09.mpa\n"
      "Continue on FEATURE_2.EVO\n"
      "Done.\n";
  ASSERT_GE(result.out.size(), tail.size());
  EXPECT_EQ(tail, result.out.substr(result.out.size() - tail.size()));

  EXPECT_EQ(feature.joined(VIDEO), readFile(out + "/FEATURE_1.MPEG-2.stream.00.mpv"));
  // The DTS-HD sub-stream shares audio number 0 but not the codec: it must not leak into the file.
  EXPECT_EQ(feature.joined(DOLBY), readFile(out + "/FEATURE_1.DD.stream.00.mpa"));
  EXPECT_EQ(feature.joined(DDPLUS), readFile(out + "/FEATURE_1.DD+.stream.09.mpa"));
}

TEST(Cli, ScanOnlyWritesNothingAndSelectionPicksBoxes) {
  TempDir dir;
  const Feature part = makePart(7);
  writeFile(dir.file("MOVIE.EVO"), part.file);

  const CliResult scan = runCli(dir, {"--scan", dir.file("MOVIE.EVO")});
  ASSERT_EQ(0, scan.status) << scan.err;
  EXPECT_EQ(std::string::npos, scan.out.find("Creating"));
  EXPECT_FALSE(fileExists(dir.file("MOVIE.MPEG-2.stream.00.mpv")));

  // No output folder: the files land beside the EVO file, under the names the log shows.
  const CliResult chosen = runCli(dir, {"--audio", "9", "--audio-ext", "eac3", dir.file("MOVIE.EVO")});
  ASSERT_EQ(0, chosen.status) << chosen.err;
  EXPECT_NE(chosen.out.find("Creating MOVIE.DD+.stream.09.eac3\n"), std::string::npos);
  EXPECT_EQ(part.payloads[DDPLUS], readFile(dir.file("MOVIE.DD+.stream.09.eac3")));
  EXPECT_FALSE(fileExists(dir.file("MOVIE.MPEG-2.stream.00.mpv")));
  EXPECT_FALSE(fileExists(dir.file("MOVIE.DD.stream.00.mpa")));

  const CliResult absent = runCli(dir, {"--audio", "3", dir.file("MOVIE.EVO")});
  EXPECT_EQ(1, absent.status);
  EXPECT_EQ("No stream for cbAudio03.\n", absent.err);
}

TEST(Cli, SubpicturesSelectedWithSub) {
  TempDir dir;
  const Bytes unit0 = payload(400, 1), unit3 = payload(300, 2);
  writeFile(dir.file("SUBS.EVO"), PsBuilder()
                                      .pack(true)
                                      .pes(0xE0, payload(900, 3), {.pts = true})
                                      .subpicture(0, unit0, {.pts = true, .ptsValue = 0x12345})
                                      .subpicture(3, unit3, {.pts = true, .ptsValue = 77})
                                      .bytes());
  const CliResult on = runCli(dir, {"--subpictures", "--sub", "3", dir.file("SUBS.EVO")});
  ASSERT_EQ(0, on.status) << on.err;
  EXPECT_NE(on.out.find("Subpicture stream number 0 found!\nSubpicture stream number 3 found!\n"), std::string::npos);
  EXPECT_NE(on.out.find("cbSub03    enabled  ticked    Subpicture.stream.03\n"), std::string::npos);
  EXPECT_NE(on.out.find("Creating SUBS.Subpicture.stream.03.sup\n"), std::string::npos);
  EXPECT_EQ(supUnit(77, unit3), readFile(dir.file("SUBS.Subpicture.stream.03.sup")));
  EXPECT_FALSE(fileExists(dir.file("SUBS.Subpicture.stream.00.sup")));
  EXPECT_FALSE(fileExists(dir.file("SUBS.MPEG-2.stream.00.mpv")));

  const CliResult absent = runCli(dir, {"--subpictures", "--sub", "1", dir.file("SUBS.EVO")});
  EXPECT_EQ(1, absent.status);
  EXPECT_EQ("No stream for cbSub01.\n", absent.err);
}

TEST(Cli, FailuresAndUsageErrorsHaveTheirExitStatus) {
  TempDir dir;
  const std::string missing = dir.file("NOPE_1.EVO");
  const CliResult open = runCli(dir, {missing});
  EXPECT_EQ(1, open.status);
  EXPECT_EQ("Cannot open file \"" + missing + "\". No such file or directory.\n", open.err);

  writeFile(dir.file("A.EVO"), makePart(3).file);
  const CliResult create = runCli(dir, {"-o", dir.file("A.EVO/folder"), dir.file("A.EVO")});
  EXPECT_EQ(1, create.status);
  EXPECT_EQ("Cannot create folder \"" + dir.file("A.EVO/folder") + "\". Not a directory.\n", create.err);
  EXPECT_EQ(std::string::npos, create.out.find("Creating"));

  // A file without any stream is no success: nothing is demuxed from it.
  const std::string readme = "A README renamed to .EVO.\n";
  writeFile(dir.file("README.EVO"), Bytes(readme.begin(), readme.end()));
  const CliResult none = runCli(dir, {"-o", dir.file("none"), dir.file("README.EVO")});
  EXPECT_EQ(1, none.status);
  EXPECT_NE(none.out.find("No stream found: README.EVO does not look like an EVO file.\nDone.\n"), std::string::npos);
  EXPECT_EQ(std::string::npos, none.out.find("Creating"));

  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{{},
                                                                                    {"--audio", "16", "A.EVO"},
                                                                                    {"--video", "2", "A.EVO"},
                                                                                    {"--audio", "1,,2", "A.EVO"},
                                                                                    {"--bogus", "A.EVO"},
                                                                                    {"A.EVO", "B.EVO"},
                                                                                    {"--audio-ext", "toolong", "A.EVO"},
                                                                                    {"-o"},
                                                                                    {"--chapters", "A.EVO"}}) {
    const CliResult usage = runCli(dir, args);
    EXPECT_EQ(2, usage.status) << (args.empty() ? "" : args.front());
    EXPECT_NE(usage.err.find("Usage: ardunex-cli"), std::string::npos);
  }

  EXPECT_NE(runCli(dir, {"--chapters", "A.EVO"}).err.find("--chapters needs --xpl FILE"), std::string::npos);

  const CliResult help = runCli(dir, {"--help"});
  EXPECT_EQ(0, help.status);
  EXPECT_NE(help.out.find("--video LIST"), std::string::npos);
}

TEST(Cli, JsonReportAndEncryptedPacketsExitStatus) {
  TempDir dir;
  PsBuilder ps;
  ps.pack(true).pes(0xE0, payload(400, 1), {.pts = true, .ptsValue = 90000});
  ps.privateStream1(0x80, payload(300, 2), {.pts = true, .scrambling = 2, .ptsValue = 90000 + 1800});
  ps.privateStream1(0x88, payload(200, 3), {.pts = true, .ptsValue = 90000});
  writeFile(dir.file("MOVIE.EVO"), ps.bytes());

  // Only the report on standard output, with every stream and every box.
  const CliResult json = runCli(dir, {"--json", dir.file("MOVIE.EVO")});
  ASSERT_EQ(0, json.status) << json.err;
  const nlohmann::json report = nlohmann::json::parse(json.out);
  EXPECT_EQ(report["file"], dir.file("MOVIE.EVO"));
  EXPECT_EQ(report["size"], ps.size());
  EXPECT_EQ(report["scanned_bytes"], ps.size());
  EXPECT_EQ(report["fast_check"], true);
  EXPECT_EQ(report["boxes"].size(), 40u);
  EXPECT_EQ(report["boxes"][8],
            (nlohmann::json{{"name", "cbAudio00"}, {"enabled", true}, {"checked", true}, {"caption", "DD.stream.00"}}));
  ASSERT_EQ(report["streams"].size(), 3u);
  EXPECT_EQ(report["streams"][1], (nlohmann::json{{"id", 0x80},
                                                  {"stream_id", 0xBD},
                                                  {"kind", "audio"},
                                                  {"codec", "DD"},
                                                  {"number", 0},
                                                  {"box", "cbAudio00"},
                                                  {"packets", 1},
                                                  {"payload_bytes", 300},
                                                  {"first_pts", 91800},
                                                  {"delay_ms", 20},
                                                  {"scrambled_packets", 1}}));
  EXPECT_EQ(report["streams"][2]["box"], nullptr);
  EXPECT_EQ(report["streams"][0]["delay_ms"], nullptr);
  EXPECT_EQ(2, runCli(dir, {"--json", "--xpl", "X.XPL", "--print-xpl", dir.file("MOVIE.EVO")}).status);

  // A demux that writes encrypted packets says so and ends with status 3; one that leaves them out, 0.
  const CliResult encrypted = runCli(dir, {dir.file("MOVIE.EVO")});
  EXPECT_EQ(3, encrypted.status) << encrypted.err;
  EXPECT_NE(
      std::string::npos,
      encrypted.out.find("Warning: Dolby Digital stream 0x80: 1 packet encrypted: decrypt the disc first\nDone.\n"))
      << encrypted.out;
  EXPECT_EQ(0, runCli(dir, {"--video", "0", dir.file("MOVIE.EVO")}).status);
}

TEST(Cli, PlaylistLabelsNameTheBoxesAndTheFiles) {
  TempDir dir;
  ASSERT_EQ(0, std::system(("mkdir -p " + quoted(dir.file("HVDVD_TS")) + " " + quoted(dir.file("ADV_OBJ"))).c_str()));
  PsBuilder ps;
  Bytes video, english, french;
  for (int i = 0; i < 4; ++i) {
    const Bytes v = payload(900, 10 + i), e = payload(300, 20 + i), f = payload(250, 30 + i);
    ps.pack().vc1(0x55, v).pack().privateStream1(0xC0, e).pack().privateStream1(0x8A, f);
    video.insert(video.end(), v.begin(), v.end());
    english.insert(english.end(), e.begin(), e.end());
    french.insert(french.end(), f.begin(), f.end());
  }
  writeFile(dir.file("HVDVD_TS/FEATURE_1.EVO"), ps.bytes());
  writeFile(dir.file("ADV_OBJ/VPLST000.XPL"), readFile(std::string(ARDUNEX_FIXTURES_DIR) + "/xpl/two-titles.xpl"));

  const CliResult result = runCli(dir, {"--xpl", dir.file("ADV_OBJ/VPLST000.XPL"), "--print-xpl", "--no-continue",
                                        dir.file("HVDVD_TS/FEATURE_1.EVO")});
  ASSERT_EQ(0, result.status) << result.err;
  for (const char* expected :
       {"Open VPLST000.XPL\n", "VC-1.stream.0\n", "DD+.stream.0.English\n", "DTS-HD.stream.2.French\n",
        "Stream 0: English.8bitRLE\n",
        "Info\n  Name: Main Feature\n  Duration: 01:52:30:00\nVideo\n  VC-1.stream.0\nAudio\n"
        "  Stream 0: English.DD+\n  Stream 2: French.DTS-HD\n",
        "cbVideo0   enabled  ticked    VC-1.stream.0\n", "cbAudio02  enabled  ticked    DTS-HD.stream.2.French\n",
        "cbSub01    enabled  ticked    Stream 1: Spanish.2bitRLE\n", "Creating FEATURE_1.DD+.stream.0.English.mpa\n"}) {
    EXPECT_NE(result.out.find(expected), std::string::npos) << expected;
  }
  // The narrowed tag lines start at the feature's title.
  EXPECT_NE(result.out.find("\n    <Title id=\"Title2\""), std::string::npos);
  EXPECT_EQ(std::string::npos, result.out.find("Studio Logo"));

  EXPECT_EQ(video, readFile(dir.file("HVDVD_TS/FEATURE_1.VC-1.stream.0.mpv")));
  EXPECT_EQ(english, readFile(dir.file("HVDVD_TS/FEATURE_1.DD+.stream.0.English.mpa")));
  EXPECT_EQ(french, readFile(dir.file("HVDVD_TS/FEATURE_1.DTS-HD.stream.2.French.mpa")));
}

}  // namespace
}  // namespace ardunex::test
