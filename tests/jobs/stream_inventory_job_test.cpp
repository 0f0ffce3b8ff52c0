// SPDX-License-Identifier: GPL-2.0-or-later
// What the jobs make of the stream inventory: skipped and encrypted streams in the log, boxes of their own
// for every stream, the delay in names and tooltips.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "jobs/session.h"
#include "support/fake_window.h"
#include "support/ps_builder.h"

namespace ardunex {
namespace {

using test::Bytes;
using test::payload;
using test::PsBuilder;

constexpr std::int64_t VIDEO_PTS = 900000;
constexpr std::int64_t WRAP = std::int64_t{1} << 33;

void append(Bytes& to, const Bytes& from) { to.insert(to.end(), from.begin(), from.end()); }

class StreamInventoryJob : public testing::Test {
 protected:
  StreamInventoryJob() {
    fake.session = &session;
    std::filesystem::create_directory(out);
    fake.workdirText = out;
  }

  std::string choose(const Bytes& bytes) {
    const std::string path = dir.file("FEATURE_1.EVO");
    test::writeFile(path, bytes);
    session.chooseEvoFile(path);
    return path;
  }

  void option(Option option, bool on) { fake.optionsOn[static_cast<std::size_t>(option)] = on; }

  std::vector<std::string> logAfter(const std::string& line) const {
    std::vector<std::string> after;
    bool found = false;
    for (const std::string& logged : fake.logLines) {
      if (found)
        after.push_back(logged);
      found = found || logged == line;
    }
    return after;
  }

  FakeWindow fake;
  Session session{fake};
  test::TempDir dir;
  std::string out = dir.file("out");
};

/// Video 0xE0, AC-3 0x80 10 ms late, DTS 0x88 on the taken number 0, MPEG audio 0xC0 4 ms early, a
/// subpicture 0x21, and AC-3 0x81 with two scrambled packets out of three; the payload of each stream.
struct Mix {
  Bytes file;
  std::map<int, Bytes> payloads;  // by inventory code
};

Mix makeMix() {
  Mix mix;
  PsBuilder b;
  b.pack(true);
  for (int i = 0; i < 3; ++i) {
    const auto add = [&](int code, const Bytes& data) { append(mix.payloads[code], data); };
    const Bytes video = payload(500, i), ac3 = payload(100, 10 + i), dts = payload(120, 20 + i),
                mpa = payload(90, 30 + i), sub = payload(40, 40 + i), ac3b = payload(80, 50 + i);
    const std::int64_t step = 3600 * i;
    b.pack().pes(0xE0, video, {.pts = true, .ptsValue = VIDEO_PTS + step});
    add(0xE0, video);
    b.pack().privateStream1(0x80, ac3, {.pts = true, .ptsValue = VIDEO_PTS + 900 + step});
    add(0x180, ac3);
    b.pack().privateStream1(0x88, dts, {.pts = true, .ptsValue = VIDEO_PTS + step});
    add(0x188, dts);
    b.pack().pes(0xC0, mpa, {.pts = true, .ptsValue = VIDEO_PTS - 360 + step});
    add(0xC0, mpa);
    b.pack().privateStream1(0x21, sub, {.pts = true, .ptsValue = VIDEO_PTS + 45 + step});
    b.pack().privateStream1(0x81, ac3b, {.pts = true, .scrambling = i == 0 ? 0 : 1, .ptsValue = VIDEO_PTS + step});
    add(0x181, ac3b);
  }
  mix.file = b.bytes();
  return mix;
}

TEST_F(StreamInventoryJob, ScanSaysWhatIsSkippedAndEncryptedAndKeepsEveryStream) {
  const Mix mix = makeMix();
  choose(mix.file);
  session.bCheckClick();

  EXPECT_EQ(logAfter("Dolby Digital Audio Stream number 1 found!"),
            (std::vector<std::string>{"DTS HD stream 0x88 skipped: number 0 is taken by Dolby Digital 0x80",
                                      "MPEG audio stream 0xC0 skipped: MPEG audio is not demuxed",
                                      "Subpicture stream 0x21 skipped: subpictures are not demuxed",
                                      "Warning: Dolby Digital stream 0x81: 2 packets encrypted: decrypt the disc first",
                                      "Done."}));
  // Every stream is kept, in order of discovery, with its counts, time stamp, delay and box.
  struct Expected {
    int code;
    const char* codec;
    int box;
    std::optional<int> delay;
    int scrambled;
  };
  const Expected expected[] = {
      {0xE0, "MPEG-2", videoBox(0), std::nullopt, 0},
      {0x180, "DD", audioBox(0), 10, 0},
      {0x188, "DTSHD", -1, 0, 0},
      {0xC0, "MPA", -1, -4, 0},
      {0x121, "Subpicture", -1, 1, 0},
      {0x181, "DD", audioBox(1), 0, 2},
  };
  ASSERT_EQ(session.inventory().size(), std::size(expected));
  for (std::size_t k = 0; k < std::size(expected); ++k) {
    const StreamRecord& record = session.inventory()[k];
    SCOPED_TRACE(record.codec);
    EXPECT_EQ(record.code, expected[k].code);
    EXPECT_EQ(record.codec, expected[k].codec);
    EXPECT_EQ(record.box, expected[k].box);
    EXPECT_EQ(record.delayMs, expected[k].delay);
    EXPECT_EQ(record.scrambledPackets, expected[k].scrambled);
    EXPECT_EQ(record.packets, 3);
    if (expected[k].code != 0x121) {
      EXPECT_EQ(record.payloadBytes, static_cast<std::int64_t>(mix.payloads.at(expected[k].code).size()));
    }
  }
  EXPECT_EQ(session.boxStream(audioBox(1)), &session.inventory()[5]);
  EXPECT_EQ(fake.boxDetails[audioBox(0)], "delay 10 ms");
  EXPECT_EQ(fake.boxDetails[audioBox(1)], "delay 0 ms");
  EXPECT_EQ(fake.boxDetails[videoBox(0)], "");
}

TEST_F(StreamInventoryJob, EveryStreamWritesEachStreamToABoxOfItsOwnWithTheDelayInItsName) {
  const Mix mix = makeMix();
  choose(mix.file);
  option(Option::EveryStream, true);
  option(Option::DelayNames, true);
  session.bCheckClick();
  EXPECT_EQ(logAfter("Dolby Digital Audio Stream number 1 found!"),
            (std::vector<std::string>{"Subpicture stream 0x21 skipped: subpictures are not demuxed",
                                      "Warning: Dolby Digital stream 0x81: 2 packets encrypted: decrypt the disc first",
                                      "Done."}));
  // Free boxes in order of discovery, named by the stream's own codec and number.
  EXPECT_EQ(fake.boxes[audioBox(2)].caption, "DTSHD.stream.00");
  EXPECT_EQ(fake.boxes[audioBox(3)].caption, "MPA.stream.00");
  EXPECT_TRUE(fake.boxes[audioBox(3)].checked);

  fake.logLines.clear();
  session.bDemuxClick();
  EXPECT_TRUE(session.wroteEncrypted());
  const struct {
    const char* name;
    int code;
  } files[] = {
      {"FEATURE_1.MPEG-2.stream.00.mpv", 0xE0},         {"FEATURE_1.DD.stream.00 DELAY 10ms.mpa", 0x180},
      {"FEATURE_1.DD.stream.01 DELAY 0ms.mpa", 0x181},  {"FEATURE_1.DTSHD.stream.00 DELAY 0ms.mpa", 0x188},
      {"FEATURE_1.MPA.stream.00 DELAY -4ms.mpa", 0xC0},
  };
  std::vector<std::string> created;
  for (const auto& file : files) {
    EXPECT_EQ(test::readFile(out + "/" + file.name), mix.payloads.at(file.code)) << file.name;
    created.push_back("Creating " + out + "/" + file.name);
  }
  EXPECT_EQ(test::folderEntries(out).size(), std::size(files));
  // The demux names only what the scan did not; the encrypted stream again.
  EXPECT_EQ(logAfter("Creating " + out + "/FEATURE_1.MPA.stream.00 DELAY -4ms.mpa"),
            (std::vector<std::string>{"Warning: Dolby Digital stream 0x81: 2 packets encrypted: decrypt the disc first",
                                      "Done."}));

  // Unticked, the encrypted stream is not written, and nothing encrypted was.
  fake.click(audioBox(1));
  session.bDemuxClick();
  EXPECT_FALSE(session.wroteEncrypted());
}

TEST_F(StreamInventoryJob, DemuxNamesTheStreamsTheFastScanDidNotSee) {
  // AC-3 0x81 and MPEG audio 0xC1 begin after the first 4 MiB, which is all a fast scan reads.
  PsBuilder b;
  b.pack(true).pes(0xE0, payload(100, 1), {.pts = true}).privateStream1(0x80, payload(100, 2));
  while (b.size() < 4 * 1024 * 1024 + 4096)
    b.pack().padding(2028);
  b.pack().privateStream1(0x81, payload(100, 3)).pes(0xC1, payload(100, 4), {.pts = true});
  b.privateStream1(0x80, payload(100, 5));
  choose(b.bytes());
  session.bCheckClick();
  EXPECT_EQ(logAfter("Dolby Digital Audio Stream number 0 found!"), std::vector<std::string>{"Done."});

  fake.logLines.clear();
  session.bDemuxClick();
  const std::vector<std::string>& log = fake.logLines;
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(log.end() - 3, log.end()),
            (std::vector<std::string>{"Dolby Digital stream 0x81 skipped: the scan did not find it",
                                      "MPEG audio stream 0xC1 skipped: the scan did not find it", "Done."}));
  EXPECT_FALSE(session.wroteEncrypted());
}

TEST_F(StreamInventoryJob, DelaysAcrossTheClockWrapAndAgainstTheRightVideo) {
  // Video number 1 comes first, but number 0 is the reference; the audio starts after the clock wrapped.
  PsBuilder b;
  b.pack(true)
      .pes(0xE1, payload(50, 1), {.pts = true, .ptsValue = 1000})
      .pes(0xE0, payload(50, 2), {.pts = true, .ptsValue = WRAP - 900})
      .privateStream1(0x80, payload(50, 3), {.pts = true, .ptsValue = 900})
      .privateStream1(0x81, payload(50, 4), {.pts = true, .ptsValue = WRAP - 900 - 45})
      .privateStream1(0x82, payload(50, 5), {});
  choose(b.bytes());
  session.bCheckClick();
  ASSERT_EQ(session.inventory().size(), 5u);
  EXPECT_EQ(session.inventory()[2].delayMs, 20);
  EXPECT_EQ(session.inventory()[3].delayMs, -1);  // -0.5 ms rounds away from zero
  EXPECT_EQ(session.inventory()[4].delayMs, std::nullopt);
  EXPECT_EQ(session.inventory()[0].delayMs, std::nullopt);  // video has no delay

  // Delay names leave a box without a known delay and video boxes as they are.
  option(Option::DelayNames, true);
  session.bDemuxClick();
  EXPECT_EQ(test::folderEntries(out),
            (std::vector<std::string>{"FEATURE_1.DD.stream.00 DELAY 20ms.mpa", "FEATURE_1.DD.stream.01 DELAY -1ms.mpa",
                                      "FEATURE_1.DD.stream.02.mpa", "FEATURE_1.MPEG-2.stream.00.mpv",
                                      "FEATURE_1.MPEG-2.stream.01.mpv"}));
}

TEST_F(StreamInventoryJob, PlaylistLabelsGoToTheBoxOfTheStreamWithTheirNumber) {
  // DD 0x80 shares number 0 with DD+ 0xC0 and, with every stream, takes the free box 2; the playlist's
  // stream 2 has no stream of its number, so its label must not land on the box of DD 0x80.
  PsBuilder b;
  b.pack(true).vc1(0x55, payload(50, 1)).privateStream1(0xC0, payload(50, 2)).privateStream1(0x81, payload(50, 3));
  b.privateStream1(0x80, payload(50, 4));
  choose(b.bytes());
  fake.xplFile = ARDUNEX_FIXTURES_DIR "/xpl/two-titles.xpl";
  session.XPLadj();
  for (bool everyStream : {false, true}) {
    SCOPED_TRACE(everyStream);
    option(Option::EveryStream, everyStream);
    session.bCheckClick();
    EXPECT_EQ(fake.boxes[audioBox(2)].caption, everyStream ? "DD.stream.00" : "No audio stream");
    session.bReadXPLClick();
    std::map<int, std::string> audio;
    for (int k = 0; k < AUDIO_BOX_COUNT; ++k)
      if (fake.boxes[audioBox(k)].enabled)
        audio[k] = fake.boxes[audioBox(k)].caption;
    std::map<int, std::string> expected{{0, "DD+.stream.0.English"}, {3, "DD.stream.3.Commentary"}};
    if (!everyStream)
      expected[2] = "DTS-HD.stream.2.French";
    else  // the boxes of the streams it does not label keep the scan's
      expected.insert({{1, "DD.stream.01"}, {2, "DD.stream.00"}});
    EXPECT_EQ(audio, expected);
  }
}

}  // namespace
}  // namespace ardunex
