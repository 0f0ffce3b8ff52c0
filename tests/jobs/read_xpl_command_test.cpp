// "Read XPL" driven through a session and a fake window: log, status bar, memo, tree, boxes, failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "engine/errors.h"
#include "jobs/session.h"
#include "support/fake_window.h"
#include "support/memory_files.h"

namespace ardunex {
namespace {

using Lines = std::vector<std::string>;
using test::Bytes;
using test::MemoryFileSystem;

const std::string PLAYLIST = "/disc/ADV_OBJ/VPLST000.XPL";

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
    EXPECT_EQ(window.logLines, (Lines{"Open VPLST000.XPL", "Filesize: " + std::to_string(c.size) + " bytes", "Done."}));
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
    EXPECT_FALSE(window.boxes[audioBox(4)].enabled);  // the boxes were reset before the failure
    EXPECT_EQ(window.boxes[audioBox(4)].caption, "No audio stream");
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

}  // namespace
}  // namespace ardunex
