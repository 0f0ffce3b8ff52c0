// SPDX-License-Identifier: GPL-2.0-or-later
// "Read XPL" driven through a session and a fake window: log, status bar, memo, tree, boxes, failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "base/errors.h"
#include "jobs/session.h"
#include "support/fake_window.h"
#include "support/memory_files.h"
#include "support/ps_builder.h"

namespace ardunex {
namespace {

using Lines = std::vector<std::string>;
using test::Bytes;
using test::MemoryFileSystem;

const std::string PLAYLIST = "/disc/ADV_OBJ/VPLST000.XPL";
const std::string EVO = "/disc/HVDVD_TS/FEATURE_1.EVO";

/// A title with video track 1 and audio stream number, in a clip of the EVO file base.
std::string title(const std::string& base, int number, const std::string& description) {
  return "<Title id=\"T\"><Clip src=\"" + base + ".MAP\"/><Video track=\"1\" mediaAttr=\"1\"/><Audio streamNumber=\"" +
         std::to_string(number) + "\" mediaAttr=\"1\" description=\"" + description + "\"/></Title>";
}

/// Attribute items naming video and audio codec 1.
std::string items(const std::string& video, const std::string& audio) {
  return "<VideoAttributeItem index=\"1\" codec=\"" + video + "\"/><AudioAttributeItem index=\"1\" codec=\"" + audio +
         "\"/>";
}

/// Notes whether the session counted the read as a running job when the memo was hidden.
class WatchingWindow : public FakeWindow {
 public:
  bool runningWhileHidden = false;
  void setXplMemoVisible(bool visible) override {
    if (!visible && session)
      runningWhileHidden = session->jobRunning();
    FakeWindow::setXplMemoVisible(visible);
  }
};

struct ReadXplTest : ::testing::Test {
  WatchingWindow window;
  MemoryFileSystem files;
  Session session{window, files};

  /// Puts text at path in the in-memory file system.
  void put(const std::string& path, const std::string& text) { files.files[path] = Bytes(text.begin(), text.end()); }

  void SetUp() override {
    window.session = &session;
    session.chooseEvoFile("/disc/HVDVD_TS/FEATURE_1.EVO");  // also points the playlist path at ADV_OBJ
    ASSERT_EQ(window.xplFile, PLAYLIST);
  }

  /// Runs the command and returns the message of its failure, empty when it ends normally.
  std::string press() {
    try {
      session.bReadXPLClick();
    } catch (const Error& e) {
      return e.what();
    }
    return {};
  }

  std::vector<std::string> progress() const {
    std::vector<std::string> texts;
    for (const auto& panels : window.panelHistory)
      texts.push_back(panels[1]);
    return texts;
  }

  /// The window is usable again after any run.
  void expectIdle() {
    EXPECT_FALSE(session.jobRunning());
    EXPECT_TRUE(window.buttonEnabled(Button::ReadXpl));
    EXPECT_TRUE(window.buttonEnabled(Button::BrowseEvo));
    EXPECT_TRUE(window.xplMemoVisible);
    EXPECT_EQ(files.openInputs, 0);
    EXPECT_EQ(session.run().InputFile, nullptr);
  }
};

TEST_F(ReadXplTest, ReadsInBlocksOf64KiBAndKeepsTagsWhole) {
  struct Case {
    std::size_t size;
    std::vector<std::string> progress;
  };
  for (const Case& c :
       {Case{0, {}}, Case{65536, {" 65536/65536 bytes"}}, Case{65537, {" 65536/65537 bytes", " 65537/65537 bytes"}}}) {
    window.logLines.clear();
    window.panelHistory.clear();
    files.readCounts.clear();
    // A tag that starts before byte 65536 and ends after it, in files long enough for it.
    const std::string tag = "<AudioAttributeItem index=\"1\" codec=\"DD+\"/>";
    std::string text(c.size, ' ');
    if (c.size > 65536)
      text.replace(c.size - tag.size(), tag.size(), tag);  // its ">" is the file's last byte
    put(PLAYLIST, text);

    EXPECT_EQ(press(), "") << c.size;
    EXPECT_EQ(window.logLines,
              (Lines{"Open VPLST000.XPL", "Filesize: " + std::to_string(c.size) + " bytes",
                     "No title for FEATURE_1 in VPLST000.XPL: the stream boxes stay as they were.", "Done."}));
    // Progress texts, then "Ready" in panel 0 and panel 1 emptied.
    const std::vector<std::string> texts = progress();
    ASSERT_EQ(texts.size(), c.progress.size() + 2);
    EXPECT_EQ(std::vector<std::string>(texts.begin(), texts.end() - 2), c.progress) << c.size;
    EXPECT_EQ(window.panels[1], " ");
    EXPECT_EQ(window.panels[0], " Ready");
    EXPECT_EQ(files.readCounts, std::vector<std::size_t>(c.progress.size(), READ_BUFFER_SIZE));
    EXPECT_EQ(window.xplMemo, c.size > 65536 ? Lines{tag} : Lines{}) << c.size;
    EXPECT_EQ(window.page, Page::Xpl);
    expectIdle();
  }
  EXPECT_EQ(session.codecTables().AudioCodecTable[0], "DD+");
}

TEST_F(ReadXplTest, CodecTablesSurviveTheNextRead) {
  put(PLAYLIST, "<AudioAttributeItem index=\"1\" codec=\"DD\"/><AudioAttributeItem index=\"2\" codec=\"DTS\"/>");
  ASSERT_EQ(press(), "");
  put(PLAYLIST,
      "<AudioAttributeItem index=\"1\" codec=\"MLP\"/>"
      "<Title displayName=\"T\"><Clip src=\"FEATURE_1.MAP\"/><Audio streamNumber=\"2\" mediaAttr=\"2\" "
      "description=\"Kept\"/></Title>");
  ASSERT_EQ(press(), "");
  EXPECT_EQ(session.codecTables().AudioCodecTable[0], "MLP");
  EXPECT_EQ(window.boxes[audioBox(1)].caption, "DTS.stream.1.Kept");
  EXPECT_TRUE(window.buttonEnabled(Button::Demux));  // the tick ran the selection rule
}

TEST_F(ReadXplTest, FailuresLeaveTheWindowUsable) {
  struct Case {
    const char* name;
    std::string text;
    std::int64_t stallAt;
    std::string message;
    Lines memo;
  };
  const Case cases[] = {
      {"missing file", "", -1, "Cannot open file \"" + PLAYLIST + "\". No such file or directory", {"old line"}},
      {"item without index",
       "<a><AudioAttributeItem codec=\"DD\"/><b/></a>",
       -1,
       "'' is not a valid integer value",
       {"<a>", "  <AudioAttributeItem codec=\"DD\"/>"}},
      {"read gives nothing",
       "<a><b/>" + std::string(70000, ' ') + "</a>",
       65536,
       "Cannot read file \"" + PLAYLIST + "\". " + ENDS_BEFORE_ITS_SIZE,
       {"<a>", "  <b/>"}},
      {"bad track number",
       "<Title><Clip src=\"FEATURE_1.MAP\"/><Video track=\"one\"/></Title>",
       -1,
       "'one' is not a valid integer value",
       {"<Title>", "  <Clip src=\"FEATURE_1.MAP\"/>", "  <Video track=\"one\"/>", "</Title>"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    files.files.clear();
    if (!c.text.empty())
      put(PLAYLIST, c.text);
    files.zeroReadAt[PLAYLIST] = c.stallAt;
    window.xplMemo = {"old line"};
    window.logLines.clear();
    window.boxes[audioBox(4)] = {true, true, "DD.stream.4"};

    EXPECT_EQ(press(), c.message);
    EXPECT_EQ(window.xplMemo, c.memo);
    EXPECT_TRUE(window.logLines.empty() || window.logLines.back() != "Done.");
    // The boxes are reset only for a title found, before the failure in it; else they stay.
    const bool titleFound = c.message.starts_with("'one'");
    EXPECT_EQ(window.boxes[audioBox(4)].enabled, !titleFound);
    EXPECT_EQ(window.boxes[audioBox(4)].caption, titleFound ? "No audio stream" : "DD.stream.4");
    EXPECT_EQ(window.page, Page::Xpl);
    expectIdle();
  }
}

TEST_F(ReadXplTest, CountsAsAJobAndWaitsForOthers) {
  put(PLAYLIST, "<a/>");
  ASSERT_EQ(press(), "");
  EXPECT_TRUE(window.runningWhileHidden);

  // Pressed while a scan runs (at its progress report), the command does nothing.
  files.files["/disc/HVDVD_TS/FEATURE_1.EVO"] = Bytes(PROGRESS_STEP, 0);
  window.fastCheckChecked = true;
  window.logLines.clear();
  std::size_t logSizeDuringScan = 0;
  window.onProcessEvents = [&] {
    logSizeDuringScan = window.logLines.size();
    session.bReadXPLClick();
    EXPECT_EQ(window.logLines.size(), logSizeDuringScan);
    EXPECT_NE(session.run().InputFile, nullptr);
  };
  session.bCheckClick();
  EXPECT_GT(logSizeDuringScan, 0u);
  EXPECT_EQ(std::count(window.logLines.begin(), window.logLines.end(), "Open VPLST000.XPL"), 0);
}

TEST_F(ReadXplTest, ShowsTheFeatureOfATwoTitlePlaylist) {
  const std::string path = ARDUNEX_FIXTURES_DIR "/xpl/two-titles.xpl";
  PosixFileSystem& disk = PosixFileSystem::instance();
  Session onDisk(window, disk);
  window.session = &onDisk;
  onDisk.chooseEvoFile("/disc/HVDVD_TS/FEATURE_1.EVO");
  onDisk.chooseXplFile(path);
  const std::int64_t size = disk.openRead(path)->size();

  onDisk.bReadXPLClick();

  EXPECT_EQ(window.logLines,
            (Lines{"Open two-titles.xpl", "Filesize: " + std::to_string(size) + " bytes", "VC-1.stream.0",
                   "DD+.stream.0.English", "DTS-HD.stream.2.French", "Stream 0: English.8bitRLE",
                   "Stream 1: Spanish.2bitRLE", "DD.stream.3.Commentary", "Done."}));

  ASSERT_EQ(window.xplTree.size(), 5u);
  const std::vector<std::pair<std::string, Lines>> tree = {
      {"Info", {"Name: Main Feature", "Duration: 01:52:30:00"}},
      {"Video", {"VC-1.stream.0"}},
      {"Audio", {"Stream 0: English.DD+", "Stream 2: French.DTS-HD", "Stream 3: Commentary.DD"}},
      {"Subtitle", {"Stream 0: English.8bitRLE", "Stream 1: Spanish.2bitRLE"}},
      {"Chapter", {"00:00:00:00: Chapter 1", "00:05:12:00: Chapter 2", "01:10:00:00: Chapter 3"}},
  };
  for (std::size_t i = 0; i < tree.size(); ++i) {
    EXPECT_EQ(window.xplTree[i].text, tree[i].first);
    Lines children;
    for (const TreeNode& child : window.xplTree[i].children)
      children.push_back(child.text);
    EXPECT_EQ(children, tree[i].second) << tree[i].first;
  }

  std::map<int, std::string> enabled;
  for (int box = 0; box < BOX_COUNT; ++box)
    if (window.boxes[box].enabled) {
      enabled[box] = window.boxes[box].caption;
      EXPECT_TRUE(window.boxes[box].checked) << window.boxes[box].caption;
    }
  EXPECT_EQ(enabled, (std::map<int, std::string>{{videoBox(0), "VC-1.stream.0"},
                                                 {audioBox(0), "DD+.stream.0.English"},
                                                 {audioBox(2), "DTS-HD.stream.2.French"},
                                                 {audioBox(3), "DD.stream.3.Commentary"},
                                                 {subBox(0), "Stream 0: English.8bitRLE"},
                                                 {subBox(1), "Stream 1: Spanish.2bitRLE"}}));
  EXPECT_EQ(window.boxes[videoBox(1)].caption, "No video stream");
  EXPECT_TRUE(window.buttonEnabled(Button::Demux));

  // The memo holds the feature's title, its start tag joined from two physical lines.
  ASSERT_EQ(window.xplMemo.size(), 21u);
  EXPECT_EQ(
      window.xplMemo.front(),
      "    <Title id=\"Title2\" displayName=\"Main Feature\" titleNumber=\"2\"       titleDuration=\"01:52:30:00\" "
      "type=\"Original\" parentalLevel=\"us:4\">");
  EXPECT_EQ(window.xplMemo[2], "        <Video track=\"1\" mediaAttr=\"1\"/>");
  EXPECT_EQ(window.xplMemo.back(), "    </Title>");
  EXPECT_EQ(onDisk.codecTables().VideoCodecTable[1], "MPEG-2");
  EXPECT_TRUE(window.xplMemoVisible);
  EXPECT_EQ(onDisk.run().InputFile, nullptr);
}

// A greyed box is never ticked nor written. The playlist's labels replace the scan's; with every stream
// the scan's other boxes stay; a playlist without a title for the EVO file leaves every box as it was.
TEST_F(ReadXplTest, AGreyedBoxIsNeverTickedNorWritten) {
  test::PsBuilder b;
  b.pack(true).pes(0xE0, test::payload(100, 1)).privateStream1(0x80, test::payload(60, 2));
  b.privateStream1(0x81, test::payload(60, 3)).privateStream1(0x88, test::payload(60, 4));
  b.pes(0xC0, test::payload(60, 5));
  files.files[EVO] = b.bytes();
  const std::string feature = items("MPEG-2", "DD") + title("FEATURE_1", 1, "English");
  const struct {
    bool everyStream;
    std::string playlist;
    Lines enabled;  // captions of the enabled boxes; each file written has one of them
  } cases[] = {
      {false, feature, {"MPEG-2.stream.0", "DD.stream.0.English"}},
      {true, feature, {"MPEG-2.stream.0", "DD.stream.0.English", "DD.stream.01", "DTSHD.stream.00", "MPA.stream.00"}},
      {false,
       items("MPEG-2", "DD") + title("OTHER_1", 1, "English"),
       {"MPEG-2.stream.00", "DD.stream.00", "DD.stream.01"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.playlist.substr(c.playlist.find("src")) + (c.everyStream ? ", every stream" : ""));
    window.optionsOn[static_cast<std::size_t>(Option::EveryStream)] = c.everyStream;
    put(PLAYLIST, c.playlist);
    session.bCheckClick();
    ASSERT_EQ(press(), "");
    Lines enabled, written;
    for (int box = 0; box < BOX_COUNT; ++box) {
      EXPECT_TRUE(window.boxes[box].enabled || !window.boxes[box].checked) << box;
      if (window.boxes[box].enabled)
        enabled.push_back(window.boxes[box].caption);
    }
    EXPECT_EQ(enabled, c.enabled);
    files.created.clear();
    session.bDemuxClick();
    for (const std::string& path : files.created)
      written.push_back(path.substr(path.find("FEATURE_1.") + 10, path.rfind('.') - path.find("FEATURE_1.") - 10));
    EXPECT_EQ(written, c.enabled);
  }
}

// Said aloud: a scan that met no stream (also in the status bar), labels that contradict the stream
// found (also in the box's tooltip), files that stayed empty, and a playlist value too long to be read.
TEST_F(ReadXplTest, WarningLines) {
  test::PsBuilder b;  // MPEG-2 video and AC-3 audio 0
  b.pack(true).pes(0xE0, test::payload(100, 1)).privateStream1(0x80, test::payload(60, 2));
  const std::string readme = "A README renamed to .EVO holds no stream.\n";
  const struct {
    std::int64_t readmeSize;  // the EVO file: the README repeated to this size, else the stream above
    std::string playlist;     // read, and then a demux, when not empty
    Lines warnings;
  } cases[] = {
      {3'000'000, "", {"No stream found: FEATURE_1.EVO does not look like an EVO file."}},
      {5 * MBYTE, "", {"No stream found in the first 4 MiB of FEATURE_1.EVO; a full scan reads the whole file."}},
      {0,
       items("VC-1", "MLP") + title("FEATURE_1", 1, "English TrueHD"),
       {"Warning: the playlist labels cbVideo0 VC-1, but the stream found is MPEG-2",
        "Warning: the playlist labels cbAudio00 MLP, but the stream found is DD"}},
      {0,
       items("MPEG-2", "AC-3") + title("FEATURE_1", 2, "X"),
       {"Warning: FEATURE_1.AC-3.stream.1.X.mpa stayed empty"}},
      {0,
       items("MPEG-2", "DD") + title("FEATURE_1", 1, std::string(300, 'x')),
       {"Warning: a playlist value is longer than the reader takes (255 characters after its name) and is read as "
        "empty: description in <Audio streamNumber=\"1\" mediaAttr=\"1\" description=\"xxxxxxxxx..."}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.warnings.front());
    files.files[EVO] = c.readmeSize > 0 ? Bytes(readme.begin(), readme.end()) : b.bytes();
    files.sizeOf[EVO] = c.readmeSize > 0 ? c.readmeSize : static_cast<std::int64_t>(b.size());
    put(PLAYLIST, c.playlist);
    window.logLines.clear();
    session.bCheckClick();
    if (!c.playlist.empty()) {
      ASSERT_EQ(press(), "");
      session.bDemuxClick();
    }
    Lines warnings;
    for (const std::string& line : window.logLines)
      if (line.starts_with("Warning: ") || line.starts_with("No stream found"))
        warnings.push_back(line);
    EXPECT_EQ(warnings, c.warnings);
    EXPECT_EQ(session.noStreamFound(), c.playlist.empty() ? c.warnings.front() : "");
    EXPECT_EQ(window.panels[1], c.playlist.empty() ? " " + c.warnings.front() : " ");
    const bool contradicted = c.warnings.front().find("cbVideo0") != std::string::npos;
    EXPECT_EQ(window.boxDetails[videoBox(0)], contradicted ? c.warnings.front().substr(9) : "");
  }
}

}  // namespace
}  // namespace ardunex
