// SPDX-License-Identifier: GPL-2.0-or-later
// Chapter files and the mkvmerge option file written by a demux: contents, names, languages, what is left
// out and the log lines for what cannot be written.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "jobs/session.h"
#include "support/cli_runner.h"
#include "support/failure_text.h"
#include "support/fake_window.h"
#include "support/ps_builder.h"

namespace ardunex {
namespace {

using test::Bytes;
using test::payload;
using test::PsBuilder;

const std::string PLAYLIST_HEAD = R"(<?xml version="1.0" encoding="UTF-8"?>
<Playlist>
  <MediaAttributeList>
    <VideoAttributeItem index="1" codec="AVC"/>
    <AudioAttributeItem index="1" codec="DD+"/>
    <AudioAttributeItem index="2" codec="LPCM"/>
  </MediaAttributeList>
  <TitleSet timeBase="50fps" defaultLanguage="de">
    <Title id="Feature" displayName="Caf&#233; &amp; &quot;Bar&quot;" titleDuration="00:20:00:00">
      <PrimaryAudioVideoClip src="file:///dvddisc/HVDVD_TS/FEATURE_1.MAP">
        <Video track="1" mediaAttr="1"/>
        <Audio track="1" streamNumber="1" mediaAttr="1" description="English &amp; Co"/>
        <Audio track="2" streamNumber="2" mediaAttr="2" description="Stereo"/>
        <Audio track="3" streamNumber="3" mediaAttr="1" description="Commentary"/>
      </PrimaryAudioVideoClip>
)";

const std::string NAVIGATION = R"(      <TrackNavigationList>
        <AudioTrack track="1" langcode="en:00"/>
        <AudioTrack track="3" langcode="de:01"/>
      </TrackNavigationList>
)";

const std::string CHAPTERS = R"(      <ChapterList>
        <Chapter displayName="Opening" titleTimeBegin="00:00:00:00"/>
        <Chapter displayName="&lt;Noir&gt; &#x263A;" titleTimeBegin="00:05:12:25"/>
        <Chapter displayName="Broken" titleTimeBegin="1:2"/>
        <Chapter titleTimeBegin="00:10:00:49"/>
      </ChapterList>
)";

const std::string PLAYLIST_TAIL = R"(    </Title>
  </TitleSet>
</Playlist>
)";

class RemuxFilesTest : public testing::Test {
 protected:
  RemuxFilesTest() {
    fake.session = &session;
    std::filesystem::create_directories(dir.file("HVDVD_TS"));
    std::filesystem::create_directories(dir.file("ADV_OBJ"));
    std::filesystem::create_directories(out);
    fake.workdirText = out;
    // AVC video 0, Dolby Digital Plus 0 and 2, LPCM 1.
    PsBuilder builder;
    builder.pack(true);
    for (std::uint32_t seed = 0; seed < 20; ++seed)
      builder.pack()
          .pes(0xE2, payload(900, seed))
          .privateStream1(0xC0, payload(300, seed + 100))
          .privateStream1(0xA1, payload(240, seed + 200))
          .privateStream1(0xC2, payload(200, seed + 300));
    test::writeFile(evo, builder.bytes());
    session.chooseEvoFile(evo);
  }

  void demux(const std::string& playlist, bool chapters, bool mkvmerge) {
    session.bCheckClick();
    if (!playlist.empty()) {
      test::writeFile(dir.file("ADV_OBJ/VPLST000.XPL"), Bytes(playlist.begin(), playlist.end()));
      session.bReadXPLClick();
    }
    fake.optionsOn[static_cast<std::size_t>(Option::Chapters)] = chapters;
    fake.optionsOn[static_cast<std::size_t>(Option::MkvmergeFile)] = mkvmerge;
    fake.logLines.clear();
    session.bDemuxClick();
  }

  std::string text(const std::string& name) const { return test::readText(out + "/" + name); }

  std::vector<std::string> logFrom(const std::string& first) const {
    auto at = std::find_if(fake.logLines.begin(), fake.logLines.end(),
                           [&](const std::string& line) { return line.rfind(first, 0) == 0; });
    return {at, fake.logLines.end()};
  }

  FakeWindow fake;
  Session session{fake};
  test::TempDir dir;
  std::string out = dir.file("out");
  std::string evo = dir.file("HVDVD_TS/FEATURE_1.EVO");
};

TEST_F(RemuxFilesTest, ChaptersFromTheTitleAtItsTimeBase) {
  demux(PLAYLIST_HEAD + NAVIGATION + CHAPTERS + PLAYLIST_TAIL, true, false);

  EXPECT_EQ(text("FEATURE_1.chapters.xml"), R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE Chapters SYSTEM "matroskachapters.dtd">
<Chapters>
  <EditionEntry>
    <ChapterAtom>
      <ChapterTimeStart>00:00:00.000000000</ChapterTimeStart>
      <ChapterDisplay>
        <ChapterString>Opening</ChapterString>
        <ChapterLanguage>ger</ChapterLanguage>
      </ChapterDisplay>
    </ChapterAtom>
    <ChapterAtom>
      <ChapterTimeStart>00:05:12.500000000</ChapterTimeStart>
      <ChapterDisplay>
        <ChapterString>&lt;Noir&gt; )"
                                            "\xE2\x98\xBA"
                                            R"(</ChapterString>
        <ChapterLanguage>ger</ChapterLanguage>
      </ChapterDisplay>
    </ChapterAtom>
    <ChapterAtom>
      <ChapterTimeStart>00:10:00.980000000</ChapterTimeStart>
      <ChapterDisplay>
        <ChapterString></ChapterString>
        <ChapterLanguage>ger</ChapterLanguage>
      </ChapterDisplay>
    </ChapterAtom>
  </EditionEntry>
</Chapters>
)");
  EXPECT_EQ(text("FEATURE_1.chapters.txt"),
            "CHAPTER01=00:00:00.000\nCHAPTER01NAME=Opening\n"
            "CHAPTER02=00:05:12.500\nCHAPTER02NAME=<Noir> \xE2\x98\xBA\n"
            "CHAPTER03=00:10:00.980\nCHAPTER03NAME=\n");
  EXPECT_EQ(logFrom("Chapter "),
            (std::vector<std::string>{"Chapter \"Broken\" skipped: its time \"1:2\" is not HH:MM:SS:FF at 50fps",
                                      "Creating " + out + "/FEATURE_1.chapters.xml",
                                      "Creating " + out + "/FEATURE_1.chapters.txt", "Done."}));
  EXPECT_FALSE(test::fileExists(out + "/FEATURE_1.mkvmerge.json"));
}

TEST_F(RemuxFilesTest, NoChapterFileWithoutATitleOrItsChapters) {
  const struct {
    std::string playlist;
    std::string logLine;
  } cases[] = {
      {"", "No chapters written: no playlist title was read"},
      {PLAYLIST_HEAD + PLAYLIST_TAIL, "No chapters written: the playlist title has no chapter list"},
      {PLAYLIST_HEAD + "<ChapterList><Chapter titleTimeBegin=\"text\"/></ChapterList>" + PLAYLIST_TAIL,
       "No chapters written: the playlist title has no chapter with a readable time"},
  };
  for (const auto& c : cases) {
    demux(c.playlist, true, false);
    EXPECT_EQ(logFrom("No chapters"), (std::vector<std::string>{c.logLine, "Done."}));
    EXPECT_FALSE(test::fileExists(out + "/FEATURE_1.chapters.xml"));
    EXPECT_FALSE(test::fileExists(out + "/FEATURE_1.chapters.txt"));
  }
}

TEST_F(RemuxFilesTest, MkvmergeOptionFileWithNamesLanguagesAndChapters) {
  demux(PLAYLIST_HEAD + NAVIGATION + CHAPTERS + PLAYLIST_TAIL, true, true);
  // The first audio box keeps the playlist's label, the third gets a scan-like caption of its own.
  fake.setBoxCaption(audioBox(2), "DD+.stream.02");
  fake.logLines.clear();
  session.bDemuxClick();

  const std::string lpcm = out + "/FEATURE_1.LPCM.stream.1.Stereo.mpa";
  EXPECT_EQ(text("FEATURE_1.mkvmerge.json"), R"([
  "--output",
  ")" + out +
                                                 R"(/FEATURE_1.mkv",
  "--title",
  "Caf)"
                                                 "\xC3\xA9"
                                                 R"( & \"Bar\"",
  "--chapters",
  ")" + out + R"(/FEATURE_1.chapters.xml",
  ")" + out + R"(/FEATURE_1.AVC.stream.0.mpv",
  "--language",
  "0:en",
  "--track-name",
  "0:English & Co",
  ")" + out + R"(/FEATURE_1.DD+.stream.0.English &amp; Co.mpa",
  "--language",
  "0:de",
  ")" + out + R"(/FEATURE_1.DD+.stream.02.mpa"
]
)");
  EXPECT_EQ(
      logFrom("Left out"),
      (std::vector<std::string>{"Left out of the mkvmerge option file, mkvmerge cannot read headerless LPCM: " + lpcm,
                                "Creating " + out + "/FEATURE_1.mkvmerge.json", "Done."}));
}

TEST_F(RemuxFilesTest, OptionFileWithoutPlaylistUsesAbsolutePathsBesideTheEvoFile) {
  fake.workdirText.clear();  // relative names: the files land beside the EVO file
  fake.optionsOn[static_cast<std::size_t>(Option::MkvmergeFile)] = true;
  session.bCheckClick();
  fake.click(audioBox(1));  // no LPCM
  session.bDemuxClick();

  const std::string folder = dir.file("HVDVD_TS");
  EXPECT_EQ(test::readText(folder + "/FEATURE_1.mkvmerge.json"), R"([
  "--output",
  ")" + folder + R"(/FEATURE_1.mkv",
  ")" + folder + R"(/FEATURE_1.AVC.stream.00.mpv",
  ")" + folder + R"(/FEATURE_1.DD+.stream.00.mpa",
  ")" + folder + R"(/FEATURE_1.DD+.stream.02.mpa"
]
)");
  EXPECT_EQ(fake.logLines.back(), "Done.");
  EXPECT_EQ(fake.logLines[fake.logLines.size() - 2], "Creating FEATURE_1.mkvmerge.json");
}

TEST_F(RemuxFilesTest, ARemuxFileNeverReplacesAStreamFile) {
  session.bCheckClick();
  fake.audioExtText = "xml";
  fake.optionsOn[static_cast<std::size_t>(Option::Chapters)] = true;
  const std::string xpl = PLAYLIST_HEAD + CHAPTERS + PLAYLIST_TAIL;
  test::writeFile(dir.file("ADV_OBJ/VPLST000.XPL"), Bytes(xpl.begin(), xpl.end()));
  session.bReadXPLClick();
  fake.setBoxCaption(audioBox(0), "chapters");
  const std::string stream = out + "/FEATURE_1.chapters.xml";
  EXPECT_EQ(test::failureText([&] { session.bDemuxClick(); }),
            "Cannot create file \"" + stream + "\". It is already an output file of this demux");
  EXPECT_FALSE(test::fileExists(stream));  // refused before any file was created
}

}  // namespace
}  // namespace ardunex
