// SPDX-License-Identifier: GPL-2.0-or-later
// Subpicture streams through "Read EVO", "Read XPL" and "Demux": boxes, names, SUP files across the two
// parts of a feature, Cancel in the middle of a unit; with the option off, nothing differs from before.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "jobs/session.h"
#include "support/fake_window.h"
#include "support/ps_builder.h"

namespace ardunex {
namespace {

using test::Bytes;
using test::ExpectedSup;
using test::payload;
using test::PsBuilder;
using test::supUnit;
using Lines = std::vector<std::string>;

constexpr std::size_t MIB = 1024 * 1024;

// A feature part: AVC video 0, Dolby Digital Plus audio 1, subtitle streams 0 and 2 (0x20, 0x22).
// Adds rounds of packs to b (about 2.2 KB each). Stream 0 begins a unit every fourth round, stream 2
// every fifth, so units run over several packets and a part may begin in the middle of a unit.
// Subpictures::None leaves the subpicture packets out and gives the same video and audio.
enum class Subpictures { None, Plain, WithShortPackets };
Bytes makePart(PsBuilder& b, int rounds, std::uint32_t seed, std::array<ExpectedSup, 3>& sup,
               Subpictures subpictures = Subpictures::WithShortPackets, int firstRound = 0) {
  b.pack(true);
  for (int round = firstRound; round < firstRound + rounds; ++round, seed += 4) {
    const Bytes video = payload(1500, seed), audio = payload(280, seed + 1);
    b.pack().pes(0xE2, video, {.pts = true});
    if (subpictures != Subpictures::None) {
      const Bytes s0 = payload(180 + round % 7, seed + 2), s2 = payload(90, seed + 3);
      const std::int64_t pts0 = round % 4 == 0 ? 90'000 + round * 1'000 : -1;
      const std::int64_t pts2 = round % 5 == 0 ? 0x1'0000'0000LL + round : -1;  // beyond 32 bits
      b.pack().subpicture(0, s0, {.pts = pts0 >= 0, .ptsValue = pts0});
      sup[0].packet(pts0, s0);
      b.subpicture(2, s2, {.pts = pts2 >= 0, .ptsValue = pts2});
      sup[2].packet(pts2, s2);
    }
    if (subpictures == Subpictures::WithShortPackets) {
      // Without header data and too short for an audio sub-stream header: 0 to 3 bytes after the id.
      const Bytes tiny = payload(round % 4, seed);
      b.raw({0x00, 0x00, 0x01, 0xBD, 0x00, static_cast<std::uint8_t>(4 + tiny.size()), 0x81, 0x00, 0x00, 0x20});
      b.raw(tiny).subpicture(0x10 + round % 16, payload(40, seed), {.pts = true});  // 0x30-0x3F: passed over
      sup[0].packet(-1, tiny);
    }
    b.pack().privateStream1(0xC1, audio);
  }
  return b.bytes();
}

// Every file of a folder with its contents.
std::map<std::string, Bytes> folderContents(const std::string& folder) {
  std::map<std::string, Bytes> files;
  for (const std::string& name : test::folderEntries(folder))
    files[name] = test::readFile(folder + "/" + name);
  return files;
}

class SubpictureJob : public testing::Test {
 protected:
  SubpictureJob() {
    fake.session = &session;
    fake.optionsOn[static_cast<std::size_t>(Option::Subpictures)] = true;
    std::filesystem::create_directories(disc + "/HVDVD_TS");
    std::filesystem::create_directories(disc + "/ADV_OBJ");
    std::filesystem::create_directory(out);
    fake.workdirText = out;
  }

  std::string evo(const std::string& name) const { return disc + "/HVDVD_TS/" + name; }
  std::string outFile(const std::string& name) const { return out + "/" + name; }

  void scan(const std::string& name) {
    session.chooseEvoFile(evo(name));
    session.bCheckClick();
  }

  FakeWindow fake;
  Session session{fake};
  test::TempDir dir;
  std::string disc = dir.file("disc");
  std::string out = dir.file("out");
};

TEST_F(SubpictureJob, ScanTicksBoxesAndDemuxWritesUnitsAcrossBothParts) {
  std::array<ExpectedSup, 3> sup;
  PsBuilder first, second;
  test::writeFile(evo("FEATURE_1.EVO"), makePart(first, 131, 1, sup));
  // Stream 2 is mid-unit at the cut: its unit goes on in the second part.
  ASSERT_FALSE(sup[2].unit.empty());
  test::writeFile(evo("FEATURE_2.EVO"), makePart(second, 90, 5000, sup, Subpictures::WithShortPackets, 1));

  scan("FEATURE_1.EVO");
  Lines scanLog{"Opening file FEATURE_1.EVO",        "File size: 0 Mbytes.",
                "H.264 Video Stream found!",         "Subpicture stream number 0 found!",
                "Subpicture stream number 2 found!", "DDplus Audio Stream number 1 found!"};
  for (const char* id :
       {"30", "31", "32", "33", "34", "35", "36", "37", "38", "39", "3A", "3B", "3C", "3D", "3E", "3F"})
    scanLog.push_back(std::string("Subpicture stream 0x") + id +
                      " skipped: only subpicture streams 0x20 to 0x2F are demuxed");
  scanLog.push_back("Done.");
  EXPECT_EQ(fake.logLines, scanLog);
  for (int k = 0; k < SUB_BOX_COUNT; ++k) {
    const bool found = k == 0 || k == 2;
    EXPECT_EQ(fake.boxes[subBox(k)].enabled, found) << k;
    EXPECT_EQ(fake.boxes[subBox(k)].checked, found) << k;
    EXPECT_EQ(fake.boxes[subBox(k)].caption, found ? "Subpicture.stream.0" + std::to_string(k) : "No subpicture");
  }

  fake.logLines.clear();
  session.bDemuxClick();
  EXPECT_EQ(
      fake.logLines,
      (Lines{"Opening file FEATURE_1.EVO", "File size: 0 Mbytes.", "Creating " + outFile("FEATURE_1.AVC.stream.00.mpv"),
             "Creating " + outFile("FEATURE_1.DD+.stream.01.mpa"),
             "Creating " + outFile("FEATURE_1.Subpicture.stream.00.sup"),
             "Creating " + outFile("FEATURE_1.Subpicture.stream.02.sup"), "Continue on FEATURE_2.EVO", "Done."}));
  EXPECT_EQ(test::readFile(outFile("FEATURE_1.Subpicture.stream.00.sup")), sup[0].whole());
  EXPECT_EQ(test::readFile(outFile("FEATURE_1.Subpicture.stream.02.sup")), sup[2].whole());
}

// Off, the subpicture packets change nothing: log, boxes and files are those of the same disc without them.
TEST_F(SubpictureJob, OptionOffBehavesAsIfThereWereNoSubpictures) {
  fake.optionsOn[static_cast<std::size_t>(Option::Subpictures)] = false;
  std::array<ExpectedSup, 3> unused;
  std::vector<Lines> logs;
  std::vector<std::map<std::string, Bytes>> files;
  // Packets without header data too short for an audio sub-stream header are logged as before.
  for (const Subpictures subpictures : {Subpictures::Plain, Subpictures::None}) {
    std::filesystem::remove_all(out);
    std::filesystem::create_directory(out);
    PsBuilder b;
    test::writeFile(evo("FEATURE.EVO"), makePart(b, 90, 1, unused, subpictures));
    fake.logLines.clear();
    scan("FEATURE.EVO");
    fake.boxes[subBox(0)].checked = true;  // a ticked subpicture box never gets a file with the option off
    session.bDemuxClick();
    logs.push_back(fake.logLines);
    files.push_back(folderContents(out));
  }
  // Apart from the inventory's lines about the passed-over streams 0x20 and 0x22, the logs are the same.
  const auto skipped = [](const std::string& line) { return line.find(" skipped: subpictures are not") != line.npos; };
  EXPECT_EQ(std::erase_if(logs[0], skipped), 2u);
  EXPECT_EQ(logs[0], logs[1]);
  EXPECT_EQ(files[0].size(), 2u);  // video and audio
  EXPECT_TRUE(files[0] == files[1]);
}

// The unit running when Cancel stops the demux is cut off the file, even once it has outgrown memory.
TEST_F(SubpictureJob, CancelDropsTheUnitInTheMiddle) {
  std::array<ExpectedSup, 3> sup;
  PsBuilder b;
  makePart(b, 1000, 1, sup);
  ASSERT_GT(b.size(), 2 * MIB);
  const Bytes before = sup[0].whole();  // the unit running at 2 MiB ends at the large one's PTS
  // From 2 MiB to 5 MiB a single unit of stream 0 (larger than a unit may take in memory), then another.
  b.pack().subpicture(0, payload(2000, 7), {.pts = true, .ptsValue = 5'000'000});
  while (b.size() < 5 * MIB)
    b.pack().pes(0xE2, payload(500, 8)).subpicture(0, payload(3000, 9));
  b.pack().subpicture(0, payload(100, 10), {.pts = true, .ptsValue = 6'000'000});
  test::writeFile(evo("FEATURE.EVO"), b.bytes());
  scan("FEATURE.EVO");

  fake.confirmAnswer = true;
  fake.onProcessEvents = [this] { session.bCancelClick(); };  // at the first report, after 4 MiB
  fake.logLines.clear();
  fake.processEventsCalls = 0;
  session.bDemuxClick();
  EXPECT_EQ(fake.processEventsCalls, 1);
  EXPECT_EQ(test::readFile(outFile("FEATURE.Subpicture.stream.00.sup")), before);
  EXPECT_EQ(test::readFile(outFile("FEATURE.Subpicture.stream.02.sup")), sup[2].file);
  EXPECT_EQ(fake.logLines[fake.logLines.size() - 3],
            "Subpicture stream number 0: the unit cut short by Cancel is not written.");
  EXPECT_EQ(fake.logLines[fake.logLines.size() - 2],
            "Subpicture stream number 2: the unit cut short by Cancel is not written.");
  EXPECT_EQ(fake.logLines.back(), "Done.");
}

// The playlist's captions name the files (a separator in one becomes "_"); a box the playlist ticks
// for a stream the scan did not find gets no file; a stream without any PTS gives an empty file.
TEST_F(SubpictureJob, PlaylistCaptionsAndStreamsWithoutTimeStamps) {
  PsBuilder b;
  b.pack(true).pes(0xE2, payload(500, 1), {.pts = true});
  const Bytes s0 = payload(300, 2);
  b.subpicture(0, s0, {.pts = true, .ptsValue = 4242}).subpicture(2, payload(50, 3));
  test::writeFile(evo("FEATURE_1.EVO"), b.bytes());
  const std::string playlist =
      R"(<Playlist><MediaAttributeList><VideoAttributeItem index="1" codec="AVC"/>
<SubpictureAttributeItem index="1" codec="8bitRLE"/></MediaAttributeList>
<Title id="T" displayName="Feature" titleDuration="00:01:00:00">
<PrimaryAudioVideoClip src="file:///dvddisc/HVDVD_TS/FEATURE_1.MAP">
<Video track="1" mediaAttr="1"/>
<Subtitle track="1" streamNumber="1" mediaAttr="1" description="English/SDH"/>
<Subtitle track="2" streamNumber="2" mediaAttr="1" description="Spanish"/>
<Subtitle track="3" streamNumber="3" mediaAttr="1" description="French"/>
</PrimaryAudioVideoClip></Title></Playlist>
)";
  test::writeFile(disc + "/ADV_OBJ/VPLST000.XPL", Bytes(playlist.begin(), playlist.end()));

  scan("FEATURE_1.EVO");
  session.bReadXPLClick();
  EXPECT_EQ(fake.boxes[subBox(0)].caption, "Stream 0: English/SDH.8bitRLE");
  EXPECT_TRUE(fake.boxes[subBox(1)].checked);
  fake.logLines.clear();
  session.bDemuxClick();

  EXPECT_EQ(test::folderEntries(out),
            (std::vector<std::string>{"FEATURE_1.AVC.stream.0.mpv", "FEATURE_1.Stream 0: English_SDH.8bitRLE.sup",
                                      "FEATURE_1.Stream 2: French.8bitRLE.sup"}));
  EXPECT_EQ(test::readFile(outFile("FEATURE_1.Stream 0: English_SDH.8bitRLE.sup")), supUnit(4242, s0));
  EXPECT_EQ(test::readFile(outFile("FEATURE_1.Stream 2: French.8bitRLE.sup")), Bytes());
  EXPECT_EQ(fake.logLines[fake.logLines.size() - 3],
            "Subpicture stream number 2: no time stamp met, the file is empty.");
  EXPECT_EQ(fake.logLines[fake.logLines.size() - 2],
            "Warning: " + outFile("FEATURE_1.Stream 2: French.8bitRLE.sup") + " stayed empty");
}

}  // namespace
}  // namespace ardunex
