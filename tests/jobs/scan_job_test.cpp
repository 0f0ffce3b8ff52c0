// SPDX-License-Identifier: GPL-2.0-or-later
// The scan job: labels of the boxes per codec and number, its log and status bar, and its failures.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/errors.h"
#include "jobs/session.h"
#include "support/fake_window.h"
#include "support/ps_builder.h"

namespace ardunex {
namespace {

using test::Bytes;
using test::payload;
using test::PsBuilder;

constexpr std::size_t MIB = 1024 * 1024;

/// A session on a fake window, with a temporary folder for the EVO files.
class ScanJob : public testing::Test {
 protected:
  ScanJob() { fake.session = &session; }

  /// Writes an EVO file into the temporary folder and chooses it.
  std::string choose(const std::string& name, const Bytes& bytes) {
    const std::string path = dir.file(name);
    test::writeFile(path, bytes);
    session.chooseEvoFile(path);
    return path;
  }

  /// Pads the builder with packs until it holds at least size bytes.
  static void padTo(PsBuilder& builder, std::size_t size) {
    while (builder.size() < size)
      builder.pack().padding(2028);
  }

  void expectScanBoxesEmptyExcept(int labelled) {
    for (int box = 0; box < 2 + AUDIO_BOX_COUNT; ++box) {
      const int flat = box < 2 ? videoBox(box) : audioBox(box - 2);
      if (flat == labelled)
        continue;
      EXPECT_FALSE(fake.boxes[flat].enabled) << flat;
      EXPECT_FALSE(fake.boxes[flat].checked) << flat;
      EXPECT_EQ(fake.boxes[flat].caption, box < 2 ? "No video stream" : "No audio stream") << flat;
    }
  }

  FakeWindow fake;
  Session session{fake};
  test::TempDir dir;
};

TEST_F(ScanJob, LabelsOneBoxPerCodecAndNumber) {
  const Bytes data = payload(100, 1);
  const struct {
    std::function<void(PsBuilder&)> add;
    int box;
    const char* caption;
    const char* found;
  } cases[] = {
      {[&](PsBuilder& b) { b.pes(0xE0, data); }, videoBox(0), "MPEG-2.stream.00", "MPEG-2 Video Stream found!"},
      {[&](PsBuilder& b) { b.pes(0xE1, data); }, videoBox(1), "MPEG-2.stream.01", "MPEG-2 Video Stream found!"},
      {[&](PsBuilder& b) { b.pes(0xE2, data); }, videoBox(0), "AVC.stream.00", "H.264 Video Stream found!"},
      {[&](PsBuilder& b) { b.pes(0xE3, data); }, videoBox(1), "AVC.stream.01", "H.264 Video Stream found!"},
      {[&](PsBuilder& b) { b.vc1(0x55, data); }, videoBox(0), "VC-1.stream.00", "VC-1 video stream number 0 found!"},
      {[&](PsBuilder& b) { b.vc1(0x56, data); }, videoBox(1), "VC-1.stream.01", "VC-1 video stream number 1 found!"},
      {[&](PsBuilder& b) { b.privateStream1(0x80, data); }, audioBox(0), "DD.stream.00",
       "Dolby Digital Audio Stream number 0 found!"},
      {[&](PsBuilder& b) { b.privateStream1(0x87, data); }, audioBox(7), "DD.stream.07",
       "Dolby Digital Audio Stream number 7 found!"},
      {[&](PsBuilder& b) { b.privateStream1(0x89, data); }, audioBox(1), "DTSHD.stream.01",
       "DTS HD Audio Stream number 1 found!"},
      {[&](PsBuilder& b) { b.privateStream1(0xA2, data); }, audioBox(2), "LPCM.stream.02",
       "LPCM Audio Stream number 2 found!"},
      {[&](PsBuilder& b) { b.privateStream1(0xB3, data); }, audioBox(3), "MLP.stream.03",
       "MLP Audio Stream number 3 found!"},
      {[&](PsBuilder& b) { b.privateStream1(0xC0, data); }, audioBox(0), "DD+.stream.00",
       "DDplus Audio Stream number 0 found!"},
      {[&](PsBuilder& b) { b.privateStream1(0xCA, data); }, audioBox(10), "DD+.stream.10",
       "DDplus Audio Stream number 10 found!"},
      {[&](PsBuilder& b) { b.privateStream1(0xCF, data); }, audioBox(15), "DD+.stream.15",
       "DDplus Audio Stream number 15 found!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.caption);
    PsBuilder builder;
    builder.pack(true);
    c.add(builder);
    builder.pack();
    c.add(builder);  // a second packet of the same stream logs nothing more
    const std::string path = choose("FEATURE_1.EVO", builder.bytes());
    fake.logLines.clear();

    session.bCheckClick();

    EXPECT_TRUE(fake.boxes[c.box].enabled);
    EXPECT_TRUE(fake.boxes[c.box].checked);
    EXPECT_EQ(fake.boxes[c.box].caption, c.caption);
    expectScanBoxesEmptyExcept(c.box);
    EXPECT_EQ(fake.logLines,
              (std::vector<std::string>{"Opening file FEATURE_1.EVO", "File size: 0 Mbytes.", c.found, "Done."}));
    EXPECT_TRUE(fake.buttonEnabled(Button::Demux));
    // Untick for the next file so that each case starts from nothing ticked.
    fake.boxes[c.box].checked = false;
  }
}

TEST_F(ScanJob, ManyStreamsLogStatusAndButtons) {
  PsBuilder builder;
  builder.pack(true).vc1(0x55, payload(500, 1)).privateStream1(0xC3, payload(300, 2));
  builder.pack().privateStream1(0x81, payload(300, 3)).pes(0xE3, payload(500, 4));
  builder.pack().privateStream1(0xC3, payload(300, 5)).privateStream1(0xA4, payload(300, 6));
  padTo(builder, 3 * MIB + 10);  // just over 3 Mbytes
  choose("MOVIE.EVO", builder.bytes());
  fake.buttons[Button::ReadXpl] = true;
  fake.page = Page::Options;

  session.bCheckClick();

  EXPECT_EQ(fake.logLines, (std::vector<std::string>{
                               "Opening file MOVIE.EVO",
                               "File size: 3 Mbytes.",
                               "VC-1 video stream number 0 found!",
                               "DDplus Audio Stream number 3 found!",
                               "Dolby Digital Audio Stream number 1 found!",
                               "H.264 Video Stream found!",
                               "LPCM Audio Stream number 4 found!",
                               "Done.",
                           }));
  const std::pair<int, const char*> labelled[] = {{videoBox(0), "VC-1.stream.00"},
                                                  {videoBox(1), "AVC.stream.01"},
                                                  {audioBox(1), "DD.stream.01"},
                                                  {audioBox(3), "DD+.stream.03"},
                                                  {audioBox(4), "LPCM.stream.04"}};
  for (const auto& [box, caption] : labelled) {
    EXPECT_TRUE(fake.boxes[box].checked && fake.boxes[box].enabled) << box;
    EXPECT_EQ(fake.boxes[box].caption, caption);
  }
  for (int k : {0, 2, 5, 15})
    EXPECT_FALSE(fake.boxes[audioBox(k)].enabled || fake.boxes[audioBox(k)].checked) << k;
  for (int k = 2; k < VIDEO_BOX_COUNT; ++k)
    EXPECT_EQ(fake.boxes[videoBox(k)].caption, "No video stream");
  for (int k = 0; k < SUB_BOX_COUNT; ++k)
    EXPECT_EQ(fake.boxes[subBox(k)].caption, "No subpicture");

  EXPECT_EQ(fake.page, Page::Status);
  ASSERT_GE(fake.panelHistory.size(), 3u);
  fake.expectStatusOfFinishedJob(" Reading");
  for (Button button : {Button::ReadEvo, Button::ReadXpl, Button::Demux, Button::BrowseEvo, Button::BrowseXpl})
    EXPECT_TRUE(fake.buttonEnabled(button)) << static_cast<int>(button);
  EXPECT_FALSE(fake.buttonEnabled(Button::Cancel));
}

TEST_F(ScanJob, NothingFoundDisablesDemuxAndUnticksEveryBox) {
  PsBuilder withStreams;
  withStreams.pack().pes(0xE2, payload(200, 1)).privateStream1(0xC0, payload(200, 2));
  PsBuilder empty;
  empty.pack(true).padding(500).pack().pes(0xC0, payload(200, 3));  // MPEG audio claims no box
  const std::string full = dir.file("A.EVO");
  const std::string none = dir.file("B.EVO");
  test::writeFile(full, withStreams.bytes());
  test::writeFile(none, empty.bytes());

  session.chooseEvoFile(full);
  session.bCheckClick();
  ASSERT_TRUE(fake.buttonEnabled(Button::Demux));
  session.chooseEvoFile(none);
  session.bCheckClick();
  expectScanBoxesEmptyExcept(-1);
  EXPECT_FALSE(fake.buttonEnabled(Button::Demux));
  EXPECT_EQ(fake.logLines.back(), "Done.");

  // A subpicture box ticked by a playlist read is greyed by the scan, and so unticked: "Demux" goes off.
  fake.boxes[subBox(4)] = {true, true, "Commentary"};
  session.chooseEvoFile(full);
  session.bCheckClick();
  session.chooseEvoFile(none);
  session.bCheckClick();
  EXPECT_FALSE(fake.boxes[subBox(4)].checked);
  EXPECT_FALSE(fake.boxes[subBox(4)].enabled);
  EXPECT_EQ(fake.boxes[subBox(4)].caption, "No subpicture");
  EXPECT_FALSE(fake.buttonEnabled(Button::Demux));
}

TEST_F(ScanJob, SecondFileWithFewerStreamsClearsTheOthers) {
  PsBuilder first;
  first.pack().vc1(0x55, payload(100, 1)).privateStream1(0x80, payload(100, 2)).privateStream1(0x89, payload(100, 3));
  PsBuilder second;
  second.pack().privateStream1(0x89, payload(100, 4));
  choose("ONE.EVO", first.bytes());
  session.bCheckClick();
  choose("TWO.EVO", second.bytes());
  session.bCheckClick();

  EXPECT_TRUE(fake.boxes[audioBox(1)].checked);
  EXPECT_EQ(fake.boxes[audioBox(1)].caption, "DTSHD.stream.01");
  expectScanBoxesEmptyExcept(audioBox(1));
}

TEST_F(ScanJob, FastCheckReadsOnlyTheFirstFourMebibytes) {
  PsBuilder builder;
  builder.pack().pes(0xE2, payload(100, 1));
  padTo(builder, 5 * MIB);
  builder.pack().privateStream1(0xC2, payload(100, 2));  // only past the fast check's reach
  padTo(builder, 6 * MIB);
  choose("LATE.EVO", builder.bytes());

  session.bCheckClick();
  EXPECT_FALSE(fake.boxes[audioBox(2)].checked);
  EXPECT_EQ(fake.processEventsCalls, 1);
  for (const std::string& line : fake.logLines)
    EXPECT_NE(line.rfind("Stopped by", 0), 0u) << line;  // the fast check's own stop

  fake.fastCheckChecked = false;
  fake.logLines.clear();
  session.bCheckClick();
  EXPECT_TRUE(fake.boxes[audioBox(2)].checked);
  EXPECT_EQ(fake.boxes[audioBox(2)].caption, "DD+.stream.02");
  EXPECT_EQ(fake.logLines[1], "File size: 6 Mbytes.");
}

TEST_F(ScanJob, OnlyOneJobAtATimeAndCancelNeedsNoQuestion) {
  PsBuilder builder;
  builder.pack().pes(0xE2, payload(100, 1));
  padTo(builder, 5 * MIB);
  builder.pack().privateStream1(0xC2, payload(100, 2));  // read only when the scan is not cancelled
  padTo(builder, 6 * MIB);
  const std::string path = choose("FEATURE_1.EVO", builder.bytes());
  fake.fastCheckChecked = false;
  fake.xplFile = "/somewhere/VPLST000.XPL";
  fake.boxes[subBox(0)] = {false, true, "Sub"};

  int nested = 0;
  fake.onProcessEvents = [&] {
    ++nested;
    EXPECT_TRUE(session.jobRunning());
    for (Button button : {Button::ReadEvo, Button::ReadXpl, Button::Demux, Button::BrowseEvo, Button::BrowseXpl})
      EXPECT_FALSE(fake.buttonEnabled(button)) << static_cast<int>(button);
    EXPECT_TRUE(fake.buttonEnabled(Button::Cancel));
    const std::size_t lines = fake.logLines.size();
    session.bCheckClick();
    session.bDemuxClick();
    session.chooseEvoFile(dir.file("OTHER.EVO"));
    session.dropFile(dir.file("DROPPED.EVO"));
    session.dropFile(dir.file("DROPPED.XPL"));
    EXPECT_EQ(fake.logLines.size(), lines);
    EXPECT_EQ(fake.evoFile, path);
    EXPECT_EQ(fake.xplFile, "/somewhere/VPLST000.XPL");
    fake.setBoxChecked(subBox(0), true);  // a tick during the scan does not enable "Demux" yet
    EXPECT_FALSE(fake.buttonEnabled(Button::Demux));
    session.bCancelClick();
  };
  session.bCheckClick();

  EXPECT_EQ(nested, 1);
  EXPECT_EQ(fake.confirmCalls, 0);
  EXPECT_FALSE(fake.boxes[audioBox(2)].checked);  // cancelled before the second half
  EXPECT_TRUE(fake.boxes[videoBox(0)].checked);
  EXPECT_EQ(fake.logLines.back(), "Done.");
  EXPECT_EQ(fake.logLines[fake.logLines.size() - 2], "Stopped by the user after 4 of 6 Mbytes.");
  EXPECT_FALSE(session.jobRunning());
  EXPECT_TRUE(fake.buttonEnabled(Button::Demux));
  EXPECT_TRUE(fake.buttonEnabled(Button::ReadEvo));
  EXPECT_TRUE(fake.buttonEnabled(Button::BrowseEvo));
}

TEST_F(ScanJob, FailedOpenLeavesReadEvoDisabled) {
  PsBuilder builder;
  builder.pack().privateStream1(0x80, payload(100, 1));
  choose("GOOD.EVO", builder.bytes());
  session.bCheckClick();
  ASSERT_TRUE(fake.boxes[audioBox(0)].checked);

  const std::string missing = dir.file("MISSING.EVO");
  session.chooseEvoFile(missing);
  fake.logLines.clear();
  try {
    session.bCheckClick();
    FAIL() << "no failure reported";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot open file \"" + missing + "\". No such file or directory");
  }
  EXPECT_EQ(fake.logLines, std::vector<std::string>{"Opening file MISSING.EVO"});
  EXPECT_EQ(fake.panels[0], " Opening");
  EXPECT_FALSE(fake.buttonEnabled(Button::ReadEvo));
  EXPECT_TRUE(fake.buttonEnabled(Button::BrowseEvo));
  EXPECT_FALSE(session.jobRunning());
  // The boxes stay as the reset left them: disabled, unticked, with their reset caption.
  EXPECT_FALSE(fake.boxes[audioBox(0)].enabled);
  EXPECT_FALSE(fake.boxes[audioBox(0)].checked);
  EXPECT_EQ(fake.boxes[audioBox(0)].caption, "No audio stream");
  EXPECT_FALSE(fake.buttonEnabled(Button::Demux));

  session.chooseEvoFile(dir.file("GOOD.EVO"));
  EXPECT_TRUE(fake.buttonEnabled(Button::ReadEvo));
}

}  // namespace
}  // namespace ardunex
