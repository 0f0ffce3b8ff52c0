// SPDX-License-Identifier: GPL-2.0-or-later
// Outputs that are the input or each other, and inputs that are not regular files: through the core and
// through ardunex-cli alike, nothing read is overwritten and nothing hangs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/errors.h"
#include "jobs/session.h"
#include "support/cli_runner.h"
#include "support/failure_text.h"
#include "support/fake_window.h"
#include "support/feature_builder.h"

namespace ardunex {
namespace {

using test::Bytes;

/// Video 0xE0 and Dolby Digital audio 0 and 1, with the payload of each stream.
struct Part {
  Bytes file, video, audio0, audio1;
};

Part makePart(std::size_t minSize, std::uint32_t seed) {
  const test::Feature f =
      test::makeFeature({test::video(0xE0, 1500), test::audio(0x80, 300), test::audio(0x81, 200)}, minSize, seed);
  return {f.file, f.payloads[0], f.payloads[1], f.payloads[2]};
}

/// A feature F_1.EVO + F_2.EVO in a folder, demuxed or scanned by the core or by ardunex-cli.
struct Desk {
  test::TempDir dir;
  std::string folder = dir.file("d/");
  Part first = makePart(100'000, 1), second = makePart(50'000, 7);

  Desk() {
    std::filesystem::create_directory(folder);
    test::writeFile(folder + "F_1.EVO", first.file);
    test::writeFile(folder + "F_2.EVO", second.file);
  }

  /// The failure reported (empty for none). The core runs "Read EVO", optionally "Read XPL" and the captions
  /// given, then "Demux"; ardunex-cli gets the matching arguments.
  std::string run(bool cli, const std::string& xpl = {}, bool scanOnly = false, const std::string& videoExt = "mpv",
                  const std::vector<std::pair<int, std::string>>& captions = {}) {
    if (cli) {
      std::vector<std::string> args{"--video-ext", videoExt, folder + "F_1.EVO"};
      if (!xpl.empty())
        args.insert(args.begin(), {"--xpl", xpl});
      if (scanOnly)
        args.insert(args.begin(), "--scan");
      const test::CliResult result = test::runCli(dir, args);
      return result.status == 0 ? std::string() : result.err;
    }
    FakeWindow window;
    Session session(window);
    window.session = &session;
    window.videoExtText = videoExt;
    session.chooseEvoFile(folder + "F_1.EVO");
    const std::string failure = test::failureText([&] {
      session.bCheckClick();
      if (!xpl.empty()) {
        session.chooseXplFile(xpl);
        session.bReadXPLClick();
      }
      for (const auto& [box, caption] : captions)
        window.setBoxCaption(box, caption);
      if (!scanOnly)
        session.bDemuxClick();
    });
    return failure == "no failure" ? std::string() : reportText(failure) + "\n";
  }

  std::vector<std::string> entries() const { return test::folderEntries(folder); }
};

TEST(DataSafety, OutputThatIsTheEvoFileOrItsSecondPartIsRefusedBeforeAnythingIsCreated) {
  struct Case {
    const char* name;
    std::function<void(const std::string& folder)> prepare;
    std::string videoExt, output, reason;
  };
  const std::vector<Case> cases = {
      {"link to the EVO file",
       [](const std::string& d) { ::symlink("F_1.EVO", (d + "F_1.MPEG-2.stream.00.mpv").c_str()); }, "mpv",
       "F_1.MPEG-2.stream.00.mpv", "It is the EVO file being demuxed"},
      {"extension leading back to it",
       [](const std::string& d) { std::filesystem::create_directory(d + "F_1.MPEG-2.stream.00."); }, "/../F_1.EVO",
       "F_1.MPEG-2.stream.00./../F_1.EVO", "It is the EVO file being demuxed"},
      {"hard link to the second part",
       [](const std::string& d) { ::link((d + "F_2.EVO").c_str(), (d + "F_1.DD.stream.01.mpa").c_str()); }, "mpv",
       "F_1.DD.stream.01.mpa", "It is the second part of the EVO file"},
  };
  for (const bool cli : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (cli ? " (ardunex-cli)" : " (core)"));
      Desk desk;
      c.prepare(desk.folder);
      const std::vector<std::string> before = desk.entries();
      EXPECT_EQ(desk.run(cli, {}, false, c.videoExt),
                "Cannot create file \"" + desk.folder + c.output + "\". " + c.reason + ".\n");
      EXPECT_EQ(test::readFile(desk.folder + "F_1.EVO"), desk.first.file);
      EXPECT_EQ(test::readFile(desk.folder + "F_2.EVO"), desk.second.file);
      EXPECT_EQ(desk.entries(), before);
    }
  }
}

TEST(DataSafety, ThePlaylistIsAnInputToo) {
  Desk desk;
  const std::string playlist = desk.folder + "F_1.chapters.xml";
  const std::string text = "<Title id=\"T\"><Clip src=\"F_1.MAP\"><Video track=\"1\" mediaAttr=\"1\"/></Clip></Title>";
  test::writeFile(playlist, Bytes(text.begin(), text.end()));
  const auto result =
      test::runCli(desk.dir, {"--xpl", playlist, "--chapters", "--video", "0", desk.folder + "F_1.EVO"});
  EXPECT_EQ(result.err, "Cannot create file \"" + playlist + "\". It is the playlist.\n");
  EXPECT_EQ(test::readText(playlist), text);
  EXPECT_EQ(desk.entries(), (std::vector<std::string>{"F_1.EVO", "F_1.chapters.xml", "F_2.EVO"}));
}

TEST(DataSafety, SecondOutputOfTheSameFileFailsBeforeAnyPayloadIsWritten) {
  // The playlist's labels and a video extension that make the video and the first audio file one name.
  const std::string playlist =
      "<Playlist><VideoAttributeItem index=\"1\" codec=\"MPEG-2\"/><AudioAttributeItem index=\"1\" "
      "codec=\"MPEG-2\"/><Title id=\"T\"><PrimaryAudioVideoClip src=\"F_1.MAP\"><Video track=\"1\" "
      "mediaAttr=\"1\"/><Audio streamNumber=\"1\" mediaAttr=\"1\" description=\"x\"/></PrimaryAudioVideoClip>"
      "</Title></Playlist>";
  for (const bool cli : {false, true}) {
    for (const bool linked : {false, true}) {
      SCOPED_TRACE(std::string(cli ? "ardunex-cli" : "core") + (linked ? ", linked names" : ", one caption"));
      if (cli && linked)
        continue;  // the command line cannot give captions
      Desk desk;
      test::writeFile(desk.dir.file("VPLST000.XPL"), Bytes(playlist.begin(), playlist.end()));
      std::vector<std::pair<int, std::string>> captions;
      std::string second = "MPEG-2.stream.0.x";
      if (linked) {
        ::symlink("F_1.one.mpa", (desk.folder + "F_1.two.mpa").c_str());
        captions = {{audioBox(0), "one"}, {audioBox(1), "two"}};
        second = "two";
      }
      EXPECT_EQ(desk.run(cli, linked ? std::string() : desk.dir.file("VPLST000.XPL"), false, linked ? "mpv" : "x.mpa",
                         captions),
                "Cannot create file \"" + desk.folder + "F_1." + second +
                    ".mpa\". It is already an output file of "
                    "this demux.\n");
      for (const std::string& name : desk.entries()) {
        if (name.find(".EVO") == std::string::npos) {
          EXPECT_EQ(std::filesystem::file_size(desk.folder + name), 0u) << name;  // created before: kept, empty
        }
      }
      EXPECT_EQ(desk.entries().size(), linked ? 5u : 2u);  // a name given twice is refused before any create
    }
  }
}

TEST(DataSafety, InputsThatAreNotRegularFilesFailAtOnce) {
  for (const bool cli : {false, true}) {
    for (const std::string input : {"EVO", "XPL", "second part"}) {
      SCOPED_TRACE(input + (cli ? " (ardunex-cli)" : " (core)"));
      Desk desk;
      const std::string fifo = input == "XPL"   ? desk.dir.file("VPLST000.XPL")
                               : input == "EVO" ? desk.folder + "F_1.EVO"
                                                : desk.folder + "F_2.EVO";
      std::filesystem::remove(fifo);
      ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
      // A writer stays attached, so that opening the pipe cannot hang the test however it is opened.
      const int writer = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
      EXPECT_EQ(desk.run(cli, input == "XPL" ? fifo : std::string(), input != "second part"),
                "Cannot open file \"" + fifo + "\". Not a regular file.\n");
      ::close(writer);
      if (input == "second part") {  // the first part's streams are all in the files
        EXPECT_EQ(test::readFile(desk.folder + "F_1.MPEG-2.stream.00.mpv"), desk.first.video);
        EXPECT_EQ(test::readFile(desk.folder + "F_1.DD.stream.01.mpa"), desk.first.audio1);
      }
    }
  }
  EXPECT_EQ(test::failureText([] { PosixFileSystem().openRead("/dev/null"); }),
            "Cannot open file \"/dev/null\". Not a regular file");
}

}  // namespace
}  // namespace ardunex
