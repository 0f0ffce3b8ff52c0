// SPDX-License-Identifier: GPL-2.0-or-later
// ardunex-cli.exe on Windows: a two-part feature and playlist labels under names beyond ASCII, given on the
// command line as UTF-16 and opened and created through the wide calls.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/errors.h"
#include "base/file_io.h"
#include "jobs/session.h"
#include "support/cli_runner.h"
#include "support/failure_text.h"
#include "support/fake_window.h"
#include "support/feature_builder.h"
#include "support/ps_builder.h"

namespace ardunex::test {
namespace {

const std::string UNICODE_NAME = "Ünïcødé_日本";

// A feature: MPEG-2 video and Dolby Digital audio 0, in packs.
const std::vector<FeatureStream> STREAMS = {video(0xE0, 1400, 0, PesHeader{.ptsDts = true}), audio(0x80, 600)};

/// What the tool printed, its lines ended by "\n" alone (Windows ends them with "\r\n" on standard output).
std::string printed(const CliResult& result) {
  std::string text = result.out;
  std::erase(text, '\r');
  return text;
}

TEST(WindowsFiles, NamesBeyondAsciiOpenCreateAndExist) {
  TempDir dir;
  for (const std::string& name : {UNICODE_NAME + ".EVO", std::string("Ελληνικά.mpa"), std::string("emoji_🎬.mpv")}) {
    const std::string path = dir.file(name);
    EXPECT_FALSE(PosixFileSystem::instance().exists(path)) << name;
    auto output = PosixFileSystem::instance().create(path);
    const Bytes data = payload(3000, 9);
    output->append(data.data(), data.size());
    output->close();
    EXPECT_TRUE(PosixFileSystem::instance().exists(path)) << name;
    EXPECT_EQ(data, readFile(path)) << name;
    auto input = PosixFileSystem::instance().openRead(path);
    EXPECT_EQ(3000, input->size());
  }
  EXPECT_EQ(folderEntries(dir.path()),
            (std::vector<std::string>{"emoji_🎬.mpv", UNICODE_NAME + ".EVO", "Ελληνικά.mpa"}));
  EXPECT_THROW(PosixFileSystem::instance().openRead(dir.file("Ünïcødé_missing.EVO")), OpenError);
}

TEST(WindowsFiles, OneFileUnderAnotherSpellingHasTheSameIdentity) {
  TempDir dir;
  writeFile(dir.file("Feature_1.EVO"), payload(100, 1));
  writeFile(dir.file("Other.EVO"), payload(100, 2));
  FileSystem& files = PosixFileSystem::instance();
  const auto identity = files.identity(dir.file("Feature_1.EVO"));
  ASSERT_TRUE(identity.has_value());
  EXPECT_EQ(identity, files.identity(dir.path() + "\\FEATURE_1.evo"));
  EXPECT_EQ(identity, files.identity(dir.path() + "/sub/../feature_1.EVO"));
  EXPECT_NE(identity, files.identity(dir.file("Other.EVO")));
  EXPECT_FALSE(files.identity(dir.file("Missing.EVO")).has_value());
}

TEST(WindowsFiles, AnOutputNamingTheEvoFileInAnotherSpellingIsRefused) {
  TempDir dir;
  const Feature part = makeFeature(STREAMS, 10'000, 3);
  writeFile(dir.file("F_1.EVO"), part.file);
  FakeWindow window;
  Session session(window);
  window.session = &session;
  window.continueChecked = false;
  window.videoExtText = "\\..\\f_1.evo";  // ...\F_1.MPEG-2.stream.00.\..\f_1.evo is the EVO file itself
  session.Resetcbs();
  session.chooseEvoFile(dir.file("F_1.EVO"));
  session.bCheckClick();
  const std::string failure = failureText([&] { session.bDemuxClick(); });
  EXPECT_NE(failure.find("It is the EVO file being demuxed"), std::string::npos) << failure;
  EXPECT_EQ(part.file, readFile(dir.file("F_1.EVO")));
}

TEST(WindowsCli, DemuxesATwoPartFeatureUnderUnicodeNames) {
  TempDir dir;
  const std::string disc = dir.file(UNICODE_NAME);
  std::filesystem::create_directory(fsPath(disc));
  const TwoPartFeature feature = makeTwoPartFeature(STREAMS, 10'000, 10'000, 1);
  feature.write(disc, UNICODE_NAME);
  const std::string out = dir.file("出力");
  std::filesystem::create_directory(fsPath(out));

  const CliResult result = runCli(dir, {"-o", out, disc + "\\" + UNICODE_NAME + "_1.EVO"});
  ASSERT_EQ(0, result.status) << result.err;
  EXPECT_NE(printed(result).find("Opening file " + UNICODE_NAME + "_1.EVO\n"), std::string::npos) << printed(result);
  EXPECT_NE(printed(result).find("Creating " + out + "\\" + UNICODE_NAME + "_1.MPEG-2.stream.00.mpv\n"),
            std::string::npos)
      << printed(result);
  EXPECT_NE(printed(result).find("Continue on " + UNICODE_NAME + "_2.EVO\n"), std::string::npos) << printed(result);
  EXPECT_EQ(folderEntries(out),
            (std::vector<std::string>{UNICODE_NAME + "_1.DD.stream.00.mpa", UNICODE_NAME + "_1.MPEG-2.stream.00.mpv"}));
  EXPECT_EQ(feature.joined(0), readFile(out + "\\" + UNICODE_NAME + "_1.MPEG-2.stream.00.mpv"));
  EXPECT_EQ(feature.joined(1), readFile(out + "/" + UNICODE_NAME + "_1.DD.stream.00.mpa"));
}

TEST(WindowsCli, PlaylistDescriptionsInUtf8BecomeOutputNames) {
  TempDir dir;
  std::filesystem::create_directory(fsPath(dir.file("HVDVD_TS")));
  std::filesystem::create_directory(fsPath(dir.file("ADV_OBJ")));
  PsBuilder ps;
  Bytes english, french;
  for (int i = 0; i < 3; ++i) {
    const Bytes v = payload(900, 10 + i), e = payload(300, 20 + i), f = payload(250, 30 + i);
    ps.pack().vc1(0x55, v).pack().privateStream1(0xC0, e).pack().privateStream1(0x8A, f);
    english.insert(english.end(), e.begin(), e.end());
    french.insert(french.end(), f.begin(), f.end());
  }
  writeFile(dir.file("HVDVD_TS/FEATURE_1.EVO"), ps.bytes());
  // The playlist's descriptions, in UTF-8 as the disc stores them, name the audio files.
  std::string playlist = readText(std::string(ARDUNEX_FIXTURES_DIR) + "/xpl/two-titles.xpl");
  for (const auto& [from, to] : {std::pair<std::string, std::string>{"\"English\"", "\"日本語\""},
                                 std::pair<std::string, std::string>{"\"French\"", "\"Français\""}})
    for (std::size_t at = playlist.find(from); at != std::string::npos; at = playlist.find(from, at + to.size()))
      playlist.replace(at, from.size(), to);
  writeFile(dir.file("ADV_OBJ\\VPLST000.XPL"), Bytes(playlist.begin(), playlist.end()));

  const CliResult result =
      runCli(dir, {"--xpl", dir.file("ADV_OBJ\\VPLST000.XPL"), "--no-continue", dir.file("HVDVD_TS\\FEATURE_1.EVO")});
  ASSERT_EQ(0, result.status) << result.err;
  EXPECT_NE(printed(result).find("Creating FEATURE_1.DD+.stream.0.日本語.mpa\n"), std::string::npos) << printed(result);
  EXPECT_EQ(english, readFile(dir.file("HVDVD_TS/FEATURE_1.DD+.stream.0.日本語.mpa")));
  EXPECT_EQ(french, readFile(dir.file("HVDVD_TS/FEATURE_1.DTS-HD.stream.2.Français.mpa")));
}

}  // namespace
}  // namespace ardunex::test
