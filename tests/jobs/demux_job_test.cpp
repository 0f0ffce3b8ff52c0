// SPDX-License-Identifier: GPL-2.0-or-later
// The demux job: output names and contents, two-part features, Cancel, one job at a time, and failures.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "base/errors.h"
#include "jobs/session.h"
#include "support/failure_text.h"
#include "support/fake_window.h"
#include "support/feature_builder.h"
#include "support/memory_files.h"

namespace ardunex {
namespace {

using test::Bytes;

constexpr std::size_t MIB = 1024 * 1024;
constexpr const char* VIDEO = "AVC.stream.00";
constexpr const char* AUDIO = "DD+.stream.01";
constexpr const char* LPCM = "LPCM.stream.00";

/// A program stream with AVC video 0, Dolby Digital Plus audio 1 and LPCM audio 0, and the payload of each.
struct Feature {
  Bytes file;
  Bytes video;
  Bytes audio;
  Bytes lpcm;
};

void append(Bytes& to, const Bytes& from) { to.insert(to.end(), from.begin(), from.end()); }

Feature makeFeature(std::size_t minSize, std::uint32_t seed) {
  const test::Feature f = test::makeFeature(
      {test::video(0xE2, 1200, 700), test::audio(0xC1, 300, 200), test::audio(0xA0, 200, 100)}, minSize, seed);
  return {f.file, f.payloads[0], f.payloads[1], f.payloads[2]};
}

std::vector<std::string> linesStartingWith(const std::vector<std::string>& lines, const std::string& start) {
  std::vector<std::string> found;
  for (const std::string& line : lines)
    if (line.rfind(start, 0) == 0)
      found.push_back(line);
  return found;
}

class DemuxJob : public testing::Test {
 protected:
  DemuxJob() {
    fake.session = &session;
    std::filesystem::create_directory(out);
    fake.workdirText = out;
  }

  /// Writes the EVO file, chooses it, reads it, and unticks the LPCM box so two streams stay selected.
  std::string prepare(const std::string& name, const Feature& feature) {
    const std::string path = dir.file(name);
    test::writeFile(path, feature.file);
    session.chooseEvoFile(path);
    session.bCheckClick();
    fake.click(audioBox(0));
    fake.logLines.clear();
    fake.panelHistory.clear();
    return path;
  }

  std::string outFile(const std::string& base, const std::string& caption, const std::string& ext) const {
    return out + "/" + base + "." + caption + "." + ext;
  }

  std::size_t filesIn(const std::string& folder) const {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
  }

  std::string demuxFailure() {
    return test::failureText([this] { session.bDemuxClick(); });
  }

  FakeWindow fake;
  Session session{fake};
  test::TempDir dir;
  std::string out = dir.file("out");
};

TEST_F(DemuxJob, WritesTheTickedStreamsPayloads) {
  const Feature feature = makeFeature(200'000, 1);
  prepare("FEATURE.EVO", feature);
  fake.page = Page::Options;

  session.bDemuxClick();

  const std::string video = outFile("FEATURE", VIDEO, "mpv");
  const std::string audio = outFile("FEATURE", AUDIO, "mpa");
  EXPECT_EQ(fake.logLines, (std::vector<std::string>{"Opening file FEATURE.EVO", "File size: 0 Mbytes.",
                                                     "Creating " + video, "Creating " + audio, "Done."}));
  EXPECT_EQ(test::readFile(video), feature.video);
  EXPECT_EQ(test::readFile(audio), feature.audio);
  EXPECT_EQ(filesIn(out), 2u);  // nothing for the unticked LPCM box
  EXPECT_EQ(fake.page, Page::Status);
  ASSERT_EQ(fake.panelHistory.size(), 4u);
  fake.expectStatusOfFinishedJob(" Writing stream(s)");
  EXPECT_TRUE(fake.buttonEnabled(Button::Demux));
  EXPECT_TRUE(fake.buttonEnabled(Button::ReadEvo));
  EXPECT_FALSE(fake.buttonEnabled(Button::Cancel));
}

// The names themselves are the plan's (demux_plan_test): here a caption with a separator writes its file in
// the output folder, without making a folder of its own.
TEST_F(DemuxJob, OutputNames) {
  const Feature feature = makeFeature(20'000, 2);
  prepare("FEATURE_1.EVO", feature);
  fake.boxes[audioBox(1)].caption = "../English/Commentary";

  session.bDemuxClick();

  const std::string video = out + "/FEATURE_1.AVC.stream.00.mpv";
  const std::string audio = out + "/FEATURE_1..._English_Commentary.mpa";
  EXPECT_EQ(linesStartingWith(fake.logLines, "Creating "),
            (std::vector<std::string>{"Creating " + video, "Creating " + audio}));
  EXPECT_EQ(test::readFile(video), feature.video);
  EXPECT_EQ(test::readFile(audio), feature.audio);
  EXPECT_EQ(filesIn(out), 2u);
  EXPECT_EQ(fake.boxes[audioBox(1)].caption, "../English/Commentary");
}

TEST_F(DemuxJob, EmptyOutputFolderWritesBesideTheEvoFile) {
  const Feature feature = makeFeature(20'000, 3);
  prepare("FEATURE_1.EVO", feature);
  fake.workdirText.clear();
  // The process works elsewhere; nothing may land there.
  test::TempDir elsewhere;
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(elsewhere.path());
  session.bDemuxClick();
  std::filesystem::current_path(before);

  EXPECT_EQ(linesStartingWith(fake.logLines, "Creating "),
            (std::vector<std::string>{"Creating FEATURE_1.AVC.stream.00.mpv", "Creating FEATURE_1.DD+.stream.01.mpa"}));
  EXPECT_EQ(test::readFile(dir.file("FEATURE_1.AVC.stream.00.mpv")), feature.video);
  EXPECT_EQ(test::readFile(dir.file("FEATURE_1.DD+.stream.01.mpa")), feature.audio);
  EXPECT_EQ(filesIn(elsewhere.path()), 0u);
}

TEST_F(DemuxJob, TwoPartFeatures) {
  const Feature first = makeFeature(60'000, 10);
  const Feature second = makeFeature(40'000, 20);
  const struct {
    const char* firstName;
    const char* secondName;  // empty: no second file is written
    bool option;
    const char* continueLine;  // empty: no continuation
  } cases[] = {
      {"FEATURE_1.EVO", "FEATURE_2.EVO", true, "Continue on FEATURE_2.EVO"},
      {"MOVIE_1.EVO", "MOVIE_2.EVO", true, "Continue on MOVIE_2.EVO"},
      {"feature_1.evo", "feature_2.EVO", true, ""},  // only the exact ending "_1.EVO" counts
      {"FEATURE_2.EVO", "", true, ""},               // its own "second part" is itself
      {"FEATURE_1.EVO", "", true, ""},
      {"FEATURE_1.EVO", "FEATURE_2.EVO", false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.firstName) + " option " + (c.option ? "on" : "off"));
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
      std::filesystem::remove_all(entry.path());
    std::filesystem::create_directory(out);
    if (*c.secondName)
      test::writeFile(dir.file(c.secondName), second.file);
    prepare(c.firstName, first);
    fake.continueChecked = c.option;

    session.bDemuxClick();

    const std::string base = std::string(c.firstName).substr(0, std::string(c.firstName).size() - 4);
    Bytes video = first.video;
    Bytes audio = first.audio;
    if (*c.continueLine) {
      append(video, second.video);
      append(audio, second.audio);
      EXPECT_EQ(linesStartingWith(fake.logLines, "Continue on "), std::vector<std::string>{c.continueLine});
      ASSERT_GE(fake.logLines.size(), 2u);
      EXPECT_EQ(fake.logLines[fake.logLines.size() - 2], c.continueLine);
    } else {
      EXPECT_TRUE(linesStartingWith(fake.logLines, "Continue on ").empty());
    }
    EXPECT_EQ(test::readFile(outFile(base, VIDEO, "mpv")), video);
    EXPECT_EQ(test::readFile(outFile(base, AUDIO, "mpa")), audio);
    EXPECT_EQ(linesStartingWith(fake.logLines, "Opening file ").size(), 1u);
    EXPECT_EQ(fake.logLines.back(), "Done.");
  }
}

TEST_F(DemuxJob, RepeatedDemuxRewritesTheSameNames) {
  const Feature first = makeFeature(30'000, 30);
  const Feature second = makeFeature(30'000, 40);
  test::writeFile(dir.file("FEATURE_2.EVO"), second.file);
  prepare("FEATURE_1.EVO", first);

  session.bDemuxClick();
  const std::vector<std::string> created = linesStartingWith(fake.logLines, "Creating ");
  fake.logLines.clear();
  session.bDemuxClick();

  EXPECT_EQ(linesStartingWith(fake.logLines, "Creating "), created);
  EXPECT_EQ(session.paths().EVObase, "FEATURE_1");
  Bytes video = first.video;
  append(video, second.video);
  EXPECT_EQ(test::readFile(outFile("FEATURE_1", VIDEO, "mpv")), video);  // emptied, not appended to
  EXPECT_EQ(filesIn(out), 2u);
}

TEST_F(DemuxJob, OptionChangedDuringTheFirstPass) {
  const Feature first = makeFeature(4 * MIB + 100'000, 50);
  const Feature second = makeFeature(30'000, 60);
  test::writeFile(dir.file("FEATURE_2.EVO"), second.file);
  const struct {
    bool atStart;
    bool duringFirstPass;
    bool continues;
  } cases[] = {{true, true, true}, {true, false, true}, {false, true, false}};  // read once, at the start
  prepare("FEATURE_1.EVO", first);
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.atStart) + " then " + std::to_string(c.duringFirstPass));
    fake.continueChecked = c.atStart;
    fake.logLines.clear();
    int calls = 0;
    fake.onProcessEvents = [&] {
      ++calls;
      EXPECT_FALSE(fake.optionsEnabled);
      fake.continueChecked = c.duringFirstPass;
    };
    session.bDemuxClick();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(fake.optionsEnabled);
    EXPECT_EQ(linesStartingWith(fake.logLines, "Continue on ").size(), c.continues ? 1u : 0u);
    const std::size_t expected = first.video.size() + (c.continues ? second.video.size() : 0);
    EXPECT_EQ(test::readFile(outFile("FEATURE_1", VIDEO, "mpv")).size(), expected);
  }
}

TEST_F(DemuxJob, CancelDuringTheFirstPass) {
  const Feature first = makeFeature(6 * MIB, 70);
  const Feature second = makeFeature(30'000, 80);
  test::writeFile(dir.file("FEATURE_2.EVO"), second.file);
  prepare("FEATURE_1.EVO", first);
  for (const bool confirmed : {true, false}) {
    SCOPED_TRACE(confirmed ? "confirmed" : "declined");
    fake.logLines.clear();
    fake.confirmCalls = 0;
    fake.confirmAnswer = confirmed;
    fake.onProcessEvents = [&] { session.bCancelClick(); };

    session.bDemuxClick();

    EXPECT_EQ(fake.confirmCalls, 1);
    EXPECT_EQ(fake.logLines.back(), "Done.");
    EXPECT_TRUE(fake.buttonEnabled(Button::Demux));
    const Bytes video = test::readFile(outFile("FEATURE_1", VIDEO, "mpv"));
    EXPECT_EQ(linesStartingWith(fake.logLines, "Stopped by the user after 4 of 6 Mbytes.").size(), confirmed ? 1u : 0u);
    if (confirmed) {
      EXPECT_EQ(fake.logLines[fake.logLines.size() - 2], "Stopped by the user after 4 of 6 Mbytes.");
      EXPECT_TRUE(linesStartingWith(fake.logLines, "Continue on ").empty());
      EXPECT_TRUE(test::isPrefix(video, first.video));
      EXPECT_GT(video.size(), 2 * MIB);  // about two thirds of the first 4 MiB are video
      EXPECT_LT(video.size(), first.video.size());
    } else {
      EXPECT_EQ(linesStartingWith(fake.logLines, "Continue on ").size(), 1u);
      Bytes whole = first.video;
      append(whole, second.video);
      EXPECT_EQ(video, whole);
    }
  }
}

// A box unticked during the run stops its file from receiving data from then on.
TEST_F(DemuxJob, BoxUntickedDuringTheRunStopsItsFile) {
  const Feature feature = makeFeature(4 * MIB + 100'000, 140);
  prepare("FEATURE.EVO", feature);
  fake.onProcessEvents = [&] { fake.click(audioBox(1)); };  // at the report after 4 MiB

  session.bDemuxClick();

  const Bytes audio = test::readFile(outFile("FEATURE", AUDIO, "mpa"));
  EXPECT_TRUE(test::isPrefix(audio, feature.audio));
  EXPECT_GT(audio.size(), feature.audio.size() / 2);
  EXPECT_LT(audio.size(), feature.audio.size());
  EXPECT_EQ(test::readFile(outFile("FEATURE", VIDEO, "mpv")), feature.video);
}

TEST_F(DemuxJob, OnlyOneJobAtATime) {
  const Feature first = makeFeature(4 * MIB + 100'000, 90);
  const std::string path = prepare("FEATURE.EVO", first);
  fake.buttons[Button::ReadXpl] = true;
  fake.xplFile = "/disc/ADV_OBJ/VPLST000.XPL";

  int calls = 0;
  fake.onProcessEvents = [&] {
    ++calls;
    EXPECT_TRUE(session.jobRunning());
    for (Button button : {Button::ReadEvo, Button::ReadXpl, Button::Demux, Button::BrowseEvo, Button::BrowseXpl})
      EXPECT_FALSE(fake.buttonEnabled(button)) << static_cast<int>(button);
    const std::size_t lines = fake.logLines.size();
    session.bCheckClick();
    session.bDemuxClick();
    session.chooseEvoFile(dir.file("OTHER.EVO"));
    session.dropFile(dir.file("DROPPED.EVO"));
    session.dropFile("/disc/ADV_OBJ/OTHER.XPL");
    EXPECT_EQ(fake.logLines.size(), lines);
    EXPECT_EQ(fake.evoFile, path);
    EXPECT_EQ(fake.xplFile, "/disc/ADV_OBJ/VPLST000.XPL");
    EXPECT_EQ(session.paths().EVOname, "FEATURE.EVO");
    fake.click(audioBox(0));  // ticked during the run: no file, and "Demux" stays unavailable
    EXPECT_TRUE(fake.boxes[audioBox(0)].checked);
    EXPECT_FALSE(fake.buttonEnabled(Button::Demux));
  };
  session.bDemuxClick();

  EXPECT_EQ(calls, 1);
  EXPECT_EQ(fake.logLines.back(), "Done.");
  EXPECT_FALSE(test::fileExists(outFile("FEATURE", LPCM, "mpa")));
  EXPECT_EQ(filesIn(out), 2u);
  for (Button button : {Button::ReadEvo, Button::ReadXpl, Button::Demux, Button::BrowseEvo, Button::BrowseXpl})
    EXPECT_TRUE(fake.buttonEnabled(button)) << static_cast<int>(button);
}

TEST_F(DemuxJob, OnlySubpictureTickedCreatesNothing) {
  const Feature feature = makeFeature(20'000, 100);
  prepare("FEATURE.EVO", feature);
  fake.click(videoBox(0));
  fake.click(audioBox(1));
  ASSERT_FALSE(fake.buttonEnabled(Button::Demux));
  fake.boxes[subBox(3)].enabled = true;
  fake.click(subBox(3));
  ASSERT_TRUE(fake.buttonEnabled(Button::Demux));

  session.bDemuxClick();

  EXPECT_EQ(fake.logLines, (std::vector<std::string>{"Opening file FEATURE.EVO", "File size: 0 Mbytes.", "Done."}));
  EXPECT_EQ(filesIn(out), 0u);
  EXPECT_TRUE(fake.buttonEnabled(Button::Demux));
}

TEST_F(DemuxJob, EvoFileCannotBeOpened) {
  const std::string missing = dir.file("GONE_1.EVO");
  session.chooseEvoFile(missing);
  fake.boxes[videoBox(0)] = {true, true, VIDEO};
  fake.buttons[Button::Demux] = true;

  EXPECT_EQ(demuxFailure(), "Cannot open file \"" + missing + "\". No such file or directory");
  EXPECT_EQ(fake.logLines, std::vector<std::string>{"Opening file GONE_1.EVO"});
  EXPECT_EQ(filesIn(out), 0u);
  EXPECT_EQ(fake.panels[0], " Opening");
  EXPECT_FALSE(fake.buttonEnabled(Button::Demux));
  EXPECT_FALSE(session.jobRunning());
  EXPECT_TRUE(fake.buttonEnabled(Button::ReadEvo));
  fake.click(videoBox(0));
  fake.click(videoBox(0));
  EXPECT_TRUE(fake.buttonEnabled(Button::Demux));  // the next change of a box applies the rule again
}

TEST_F(DemuxJob, OutputFileCannotBeCreated) {
  const Feature feature = makeFeature(20'000, 110);
  prepare("FEATURE.EVO", feature);

  fake.workdirText = dir.file("FEATURE.EVO/folder");
  EXPECT_EQ(demuxFailure(), "Cannot create folder \"" + fake.workdirText + "\". Not a directory");
  EXPECT_TRUE(linesStartingWith(fake.logLines, "Creating ").empty());
  EXPECT_NE(fake.logLines.back(), "Done.");
  EXPECT_FALSE(fake.buttonEnabled(Button::Demux));

  fake.workdirText = out + "/new/deep";  // made, with its parents
  session.bDemuxClick();
  EXPECT_EQ(test::readFile(fake.workdirText + "/FEATURE." + AUDIO + ".mpa"), feature.audio);
  EXPECT_EQ(linesStartingWith(fake.logLines, "Creating folder "),
            std::vector<std::string>{"Creating folder " + fake.workdirText});

  // A later name that cannot be made fails before any file is created: the earlier run's files stay whole.
  fake.workdirText = out;
  session.bDemuxClick();
  std::filesystem::create_directory(outFile("FEATURE", "dir", "mpa"));
  for (const auto& [caption, reason] : std::vector<std::pair<std::string, std::string>>{
           {"dir", "Is a directory"}, {std::string(250, 'x'), "File name too long"}}) {
    fake.setBoxCaption(audioBox(1), caption);
    fake.logLines.clear();
    EXPECT_EQ(demuxFailure(), "Cannot create file \"" + outFile("FEATURE", caption, "mpa") + "\". " + reason);
    EXPECT_EQ(test::readFile(outFile("FEATURE", VIDEO, "mpv")), feature.video);
  }
}

TEST_F(DemuxJob, WriteFailureOnDiskKeepsWhatTheOtherFilesWere) {
  // The video output is the full device: its first write-out fails inside the engine while the audio
  // output still holds its bytes in memory; closing after the failure must still write them out.
  const Feature feature = makeFeature(2 * MIB, 130);
  prepare("FEATURE.EVO", feature);
  std::filesystem::create_symlink("/dev/full", outFile("FEATURE", VIDEO, "mpv"));

  EXPECT_EQ(demuxFailure(), "Cannot write file \"" + outFile("FEATURE", VIDEO, "mpv") + "\". No space left on device");
  const Bytes audio = test::readFile(outFile("FEATURE", AUDIO, "mpa"));
  EXPECT_TRUE(test::isPrefix(audio, feature.audio));
  EXPECT_GT(audio.size(), 100'000u);
  EXPECT_LT(audio.size(), feature.audio.size());
  EXPECT_NE(fake.logLines.back(), "Done.");
  EXPECT_FALSE(fake.buttonEnabled(Button::Demux));
}

/// Failures injected through an in-memory file system.
class DemuxJobInMemory : public testing::Test {
 protected:
  DemuxJobInMemory() {
    fake.session = &session;
    fake.workdirText = "/out";
    feature = makeFeature(4 * MIB + 100'000, 120);
    files.files[evo] = feature.file;
    session.chooseEvoFile(evo);
    session.bCheckClick();
    fake.click(audioBox(0));
    fake.logLines.clear();
  }

  std::string demuxFailure() {
    return test::failureText([this] { session.bDemuxClick(); });
  }

  FakeWindow fake;
  test::MemoryFileSystem files;
  Session session{fake, files};
  Feature feature;
  const std::string evo = "/disc/HVDVD_TS/FEATURE.EVO";
  const std::string video = "/out/FEATURE.AVC.stream.00.mpv";
  const std::string audio = "/out/FEATURE.DD+.stream.01.mpa";
};

TEST_F(DemuxJobInMemory, WriteFailureClosesEverythingAndKeepsWhatWasWritten) {
  files.failWriteAfter[audio] = 1000;
  EXPECT_EQ(demuxFailure(), "Cannot write file \"" + audio + "\". No space left on device");
  EXPECT_EQ(files.openOutputs, 0);
  EXPECT_EQ(files.files[audio].size(), 1000u);
  EXPECT_TRUE(test::isPrefix(files.files[audio], feature.audio));
  EXPECT_TRUE(test::isPrefix(files.files[video], feature.video));
  EXPECT_NE(fake.logLines.back(), "Done.");
  EXPECT_FALSE(fake.buttonEnabled(Button::Demux));
  EXPECT_FALSE(session.jobRunning());
}

TEST_F(DemuxJobInMemory, FailedCloseIsAWriteError) {
  files.failClose.insert(video);
  EXPECT_EQ(demuxFailure(), "Cannot write file \"" + video + "\". Input/output error");
  EXPECT_EQ(files.openOutputs, 0);
  EXPECT_EQ(files.files[audio], feature.audio);  // the other file is still closed and complete
  EXPECT_NE(fake.logLines.back(), "Done.");
}

TEST_F(DemuxJobInMemory, FailedCreateClosesTheFilesBefore) {
  files.failCreate[audio] = EACCES;
  EXPECT_EQ(demuxFailure(), "Cannot create file \"" + audio + "\". Permission denied");
  EXPECT_EQ(files.created, (std::vector<std::string>{video, audio}));
  EXPECT_EQ(files.openOutputs, 0);
  EXPECT_TRUE(files.files[video].empty());
}

TEST_F(DemuxJobInMemory, EmptyOutputFolderResolvesAgainstTheEvoFolder) {
  fake.workdirText.clear();
  session.bDemuxClick();
  EXPECT_EQ(files.created, (std::vector<std::string>{"/disc/HVDVD_TS/FEATURE.AVC.stream.00.mpv",
                                                     "/disc/HVDVD_TS/FEATURE.DD+.stream.01.mpa"}));
  EXPECT_EQ(linesStartingWith(fake.logLines, "Creating "),
            (std::vector<std::string>{"Creating FEATURE.AVC.stream.00.mpv", "Creating FEATURE.DD+.stream.01.mpa"}));
  EXPECT_EQ(files.files["/disc/HVDVD_TS/FEATURE.DD+.stream.01.mpa"], feature.audio);
}

}  // namespace
}  // namespace ardunex
