// SPDX-License-Identifier: GPL-2.0-or-later
// "Read XPL" on real files that are missing, not files, empty, UTF-16, made of one huge tag or too large.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/errors.h"
#include "jobs/session.h"
#include "support/cli_runner.h"
#include "support/fake_window.h"
#include "support/ps_builder.h"

namespace ardunex {
namespace {

using Lines = std::vector<std::string>;

class PlaylistFaults : public testing::Test {
 protected:
  PlaylistFaults() {
    window.session = &session;
    session.chooseEvoFile("/disc/HVDVD_TS/FEATURE_1.EVO");
  }

  std::string read(const std::string& path) {
    session.chooseXplFile(path);
    window.logLines.clear();
    window.panelHistory.clear();
    try {
      session.bReadXPLClick();
    } catch (const Error& error) {
      return error.what();
    }
    return {};
  }

  void expectUsable() {
    EXPECT_FALSE(session.jobRunning());
    EXPECT_TRUE(window.buttonEnabled(Button::ReadXpl));
    EXPECT_TRUE(window.buttonEnabled(Button::BrowseXpl));
    EXPECT_TRUE(window.buttonEnabled(Button::BrowseEvo));
    EXPECT_TRUE(window.xplMemoVisible);
    EXPECT_EQ(session.run().InputFile, nullptr);
  }

  void expectNothingRecognised() {
    for (int box = 0; box < BOX_COUNT; ++box)
      EXPECT_FALSE(window.boxes[box].enabled) << window.boxes[box].caption;
    for (const TreeNode& root : window.xplTree)
      EXPECT_TRUE(root.children.empty()) << root.text;
    const CodecTables& codecs = session.codecTables();
    for (std::size_t i = 0; i < codecs.VideoCodecTable.size(); ++i)
      EXPECT_EQ(codecs.VideoCodecTable[i] + codecs.AudioCodecTable[i] + codecs.SubpictureCodecTable[i], "") << i;
  }

  std::vector<std::string> progress() const {
    // Every text panel 1 showed, each once however often panel 0 changed under it.
    std::vector<std::string> texts;
    for (const auto& panels : window.panelHistory)
      if (panels[1].find(" bytes") != std::string::npos && (texts.empty() || texts.back() != panels[1]))
        texts.push_back(panels[1]);
    return texts;
  }

  FakeWindow window;
  Session session{window};
  test::TempDir dir;
};

TEST_F(PlaylistFaults, FileThatCannotBeOpened) {
  std::filesystem::create_directory(dir.file("folder.xpl"));
  struct Case {
    std::string path;
    std::string reason;
  };
  for (const Case& c :
       {Case{dir.file("VPLST000.XPL"), "No such file or directory"}, Case{dir.file("folder.xpl"), "Is a directory"},
        Case{dir.file("plain/VPLST000.XPL"), "Not a directory"}}) {
    SCOPED_TRACE(c.path);
    test::writeFile(dir.file("plain"), {'x'});
    window.xplMemo = {"earlier line"};
    EXPECT_EQ(read(c.path), "Cannot open file \"" + c.path + "\". " + c.reason);
    EXPECT_TRUE(window.logLines.empty());
    EXPECT_EQ(window.page, Page::Xpl);
    expectUsable();
  }

  // The window reads the next playlist as if nothing had happened.
  test::writeFile(dir.file("VPLST000.XPL"), {'<', 'a', '/', '>'});
  EXPECT_EQ(read(dir.file("VPLST000.XPL")), "");
  EXPECT_EQ(window.xplMemo, Lines{"<a/>"});
  EXPECT_EQ(window.logLines.back(), "Done.");
}

TEST_F(PlaylistFaults, EmptyAndUtf16FilesRecogniseNothing) {
  const std::string empty = dir.file("empty.xpl");
  test::writeFile(empty, {});
  EXPECT_EQ(read(empty), "");
  const auto noTitle = [](const char* name) {
    return "No title for FEATURE_1 in " + std::string(name) + ": the stream boxes stay as they were.";
  };
  EXPECT_EQ(window.logLines, (Lines{"Open empty.xpl", "Filesize: 0 bytes", noTitle("empty.xpl"), "Done."}));
  EXPECT_TRUE(progress().empty());
  EXPECT_TRUE(window.xplMemo.empty());
  expectNothingRecognised();
  expectUsable();

  // The playlist that names FEATURE_1's title, saved as UTF-16 with a byte order mark.
  const std::string text = test::readText(ARDUNEX_FIXTURES_DIR "/xpl/two-titles.xpl");
  ASSERT_NE(text.find("FEATURE_1"), std::string::npos);
  test::Bytes wide{0xFF, 0xFE};
  for (char c : text) {
    wide.push_back(static_cast<std::uint8_t>(c));
    wide.push_back(0);
  }
  const std::string utf16 = dir.file("utf16.xpl");
  test::writeFile(utf16, wide);
  EXPECT_EQ(read(utf16), "");
  EXPECT_EQ(
      window.logLines,
      (Lines{"Open utf16.xpl", "Filesize: " + std::to_string(wide.size()) + " bytes",
             "Warning: utf16.xpl is UTF-16 text; it is read byte for byte, so no title or track of it is recognised",
             noTitle("utf16.xpl"), "Done."}));
  EXPECT_FALSE(window.xplMemo.empty());
  for (const std::string& line : window.xplMemo)
    EXPECT_EQ(line.find("FEATURE_1"), std::string::npos) << line;
  expectNothingRecognised();
  expectUsable();
}

TEST_F(PlaylistFaults, TagOfAHundredThousandBytesStaysOneLine) {
  constexpr std::size_t TAG_SIZE = 100'000;
  const std::string tag = "<Item note=\"" + std::string(TAG_SIZE - 15, 'n') + "\"/>";
  ASSERT_EQ(tag.size(), TAG_SIZE);
  const std::string text = "<Playlist>" + tag + "</Playlist>";
  const std::string path = dir.file("VPLST000.XPL");
  test::writeFile(path, test::Bytes(text.begin(), text.end()));

  EXPECT_EQ(read(path), "");
  EXPECT_EQ(window.xplMemo, (Lines{"<Playlist>", "  " + tag, "</Playlist>"}));
  const std::string size = std::to_string(text.size());
  EXPECT_EQ(progress(), (Lines{" 65536/" + size + " bytes", " " + size + "/" + size + " bytes"}));
  EXPECT_EQ(window.logLines.back(), "Done.");
  expectUsable();
}

TEST_F(PlaylistFaults, FilesAboveFourMebibytesAreRefusedAndTagLinesAreBounded) {
  // Nothing but "<>" up to the limit: accepted, but only the first 500,000 of its 2,097,152 tags get a line.
  const std::string path = dir.file("VPLST000.XPL");
  test::Bytes text;
  for (std::size_t i = 0; i < 2 * 1024 * 1024; ++i)
    text.insert(text.end(), {'<', '>'});
  test::writeFile(path, text);
  EXPECT_EQ(read(path), "");
  ASSERT_EQ(session.xplLines().size(), 500'000u);
  EXPECT_EQ(session.xplLines().back(), std::string(128, ' ') + "<>");
  EXPECT_EQ(window.logLines.end()[-3], "Tag lines after the first 500000 not shown: 1597152");

  text.push_back(' ');
  test::writeFile(path, text);
  const std::string refused = "Cannot open file \"" + path + "\". Larger than 4194304 bytes, too large for a playlist";
  EXPECT_EQ(read(path), refused);
  expectUsable();
  test::writeFile(dir.file("A.EVO"), {});
  const test::CliResult cli = test::runCli(dir, {"--scan", "--xpl", path, "--print-xpl", dir.file("A.EVO")});
  EXPECT_EQ(cli.status, 1);
  EXPECT_EQ(cli.err, refused + ".\n");
}

}  // namespace
}  // namespace ardunex
