// ardunex-cli against a full disk and output folders it cannot write into: exit status, message, and what
// is left on disk.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/ps_builder.h"

namespace ardunex::test {
namespace {

constexpr const char* VIDEO_NAME = "A.MPEG-2.stream.00.mpv";
constexpr const char* AUDIO_NAME = "A.DD.stream.00.mpa";

/// A program stream of MPEG-2 video and Dolby Digital audio 0, with each stream's payload and, for every
/// video byte, how many audio bytes come before the packet that holds it.
struct Feature {
  Bytes file, video, audio;
  std::vector<std::size_t> audioBeforeVideoPacket;  // one entry per video packet
  std::vector<std::size_t> videoPacketEnd;          // video bytes up to the end of each video packet
};

Feature makeFeature(std::size_t minSize) {
  Feature feature;
  PsBuilder ps;
  ps.pack(true);
  for (std::uint32_t seed = 1; ps.size() < minSize; seed += 2) {
    const Bytes v = payload(1500 + seed % 300, seed);
    const Bytes a = payload(400 + seed % 100, seed + 1);
    feature.audioBeforeVideoPacket.push_back(feature.audio.size());
    ps.pack().pes(0xE0, v, {.pts = true}).privateStream1(0x80, a);
    feature.video.insert(feature.video.end(), v.begin(), v.end());
    feature.videoPacketEnd.push_back(feature.video.size());
    feature.audio.insert(feature.audio.end(), a.begin(), a.end());
  }
  feature.file = ps.bytes();
  return feature;
}

/// The log lines of the demux: everything from its "Opening file" line (the second one, after the scan's).
std::vector<std::string> demuxLog(const std::string& out) {
  const std::vector<std::string> all = lines(out);
  std::vector<std::string> found;
  int openings = 0;
  for (const std::string& line : all) {
    if (line.rfind("Opening file ", 0) == 0)
      ++openings;
    if (openings >= 2)
      found.push_back(line);
  }
  return found;
}

bool contains(const std::vector<std::string>& texts, const std::string& text) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

/// Runs ardunex-cli with every file it writes limited to maxFileBytes, as on a full device: a write beyond
/// the limit writes the bytes up to it, then fails with EFBIG or raises SIGXFSZ unless that is ignored.
CliResult runCliWithFileLimit(const TempDir& dir, const std::vector<std::string>& args, rlim_t maxFileBytes,
                              bool ignoreSignal) {
  const std::string outPath = dir.file("stdout.txt");
  const std::string errPath = dir.file("stderr.txt");
  std::vector<std::string> argv{ARDUNEX_CLI_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> pointers;
  for (std::string& arg : argv)
    pointers.push_back(arg.data());
  pointers.push_back(nullptr);

  const pid_t child = ::fork();
  if (child == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0)
      ::_exit(126);
    const rlimit limit{maxFileBytes, maxFileBytes};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
      ::_exit(126);
    std::signal(SIGXFSZ, ignoreSignal ? SIG_IGN : SIG_DFL);  // kept across exec
    ::execv(pointers[0], pointers.data());
    ::_exit(127);
  }
  CliResult result;
  int raw = 0;
  if (child > 0 && ::waitpid(child, &raw, 0) == child && WIFEXITED(raw))
    result.status = WEXITSTATUS(raw);
  result.out = readText(outPath);
  result.err = readText(errPath);
  return result;
}

TEST(CliFaults, FullDiskStopsTheDemuxAndKeepsEveryByteWrittenBeforeIt) {
  TempDir dir;
  const Feature feature = makeFeature(3 * 1024 * 1024);
  writeFile(dir.file("A.EVO"), feature.file);
  const std::string out = dir.file("out");
  std::filesystem::create_directory(out);
  constexpr std::size_t LIMIT = 600'000;
  ASSERT_GT(feature.video.size(), LIMIT);

  // Started with the signal ignored or at its default action: the tool must not let the signal end it.
  for (const bool ignoreSignal : {true, false}) {
    SCOPED_TRACE(ignoreSignal ? "SIGXFSZ ignored" : "SIGXFSZ default");
    std::filesystem::remove_all(out);
    std::filesystem::create_directory(out);
    const CliResult result = runCliWithFileLimit(dir, {"-o", out, dir.file("A.EVO")}, LIMIT, ignoreSignal);

    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "Stream write error.\n");
    const std::vector<std::string> log = demuxLog(result.out);
    EXPECT_TRUE(contains(log, "Creating " + out + "/" + AUDIO_NAME)) << result.out;
    EXPECT_FALSE(contains(log, "Done.")) << result.out;
    // Nothing but the two outputs: no temporary or half-named files.
    EXPECT_EQ(test::folderEntries(out), (std::vector<std::string>{AUDIO_NAME, VIDEO_NAME}));

    // The video file filled the device up to the limit, with the stream's first bytes.
    const Bytes video = readFile(out + "/" + VIDEO_NAME);
    EXPECT_EQ(video.size(), LIMIT);
    EXPECT_TRUE(test::isPrefix(video, feature.video));

    // The video stream could not have failed before its byte LIMIT was routed, so at least the audio in front
    // of that byte's packet was routed and must have reached the disk, however it was buffered.
    const std::size_t packet =
        static_cast<std::size_t>(std::upper_bound(feature.videoPacketEnd.begin(), feature.videoPacketEnd.end(), LIMIT) -
                                 feature.videoPacketEnd.begin());
    const std::size_t audioRouted = feature.audioBeforeVideoPacket.at(packet);
    const Bytes audio = readFile(out + "/" + AUDIO_NAME);
    EXPECT_TRUE(test::isPrefix(audio, feature.audio));
    EXPECT_GE(audio.size(), std::min(audioRouted, LIMIT));
    EXPECT_LE(audio.size(), LIMIT);
    EXPECT_GT(audioRouted, 100'000u);
  }
}

TEST(CliFaults, OutputFolderThatCannotBeWritten) {
  TempDir dir;
  const Feature feature = makeFeature(50'000);
  writeFile(dir.file("A.EVO"), feature.file);

  const std::string notFolder = dir.file("plain-file");
  writeFile(notFolder, {'k', 'e', 'e', 'p'});
  const std::string second = dir.file("second");
  std::filesystem::create_directories(second + "/" + AUDIO_NAME);  // the audio output's name is taken by a folder

  // /sys refuses new files even to root; the reason depends on how it is mounted.
  std::string sysReason;
  const std::string sysProbe = "/sys/" + std::string(VIDEO_NAME);
  const int probe = ::open(sysProbe.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0666);
  if (probe >= 0) {
    ::close(probe);
    ::unlink(sysProbe.c_str());
  } else {
    sysReason = std::strerror(errno);
  }

  struct Case {
    std::string folder;
    std::string failingName;
    std::string reason;
    std::vector<std::string> createdBefore;
  };
  std::vector<Case> cases = {
      {notFolder, VIDEO_NAME, "Not a directory", {}},
      {"/proc", VIDEO_NAME, "No such file or directory", {}},
      {second, AUDIO_NAME, "Is a directory", {VIDEO_NAME}},
  };
  if (!sysReason.empty())
    cases.push_back({"/sys", VIDEO_NAME, sysReason, {}});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    const CliResult result = runCli(dir, {"-o", c.folder, dir.file("A.EVO")});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "Cannot create file \"" + c.folder + "/" + c.failingName + "\". " + c.reason + ".\n");
    const std::vector<std::string> log = demuxLog(result.out);
    EXPECT_FALSE(contains(log, "Done.")) << result.out;
    EXPECT_FALSE(contains(log, "Creating " + c.folder + "/" + c.failingName)) << result.out;
    for (const std::string& name : c.createdBefore) {
      EXPECT_TRUE(contains(log, "Creating " + c.folder + "/" + name)) << result.out;
      EXPECT_TRUE(fileExists(c.folder + "/" + name));
      EXPECT_TRUE(readFile(c.folder + "/" + name).empty()) << name;
    }
  }
  EXPECT_EQ(readFile(notFolder), (Bytes{'k', 'e', 'e', 'p'}));
  EXPECT_EQ(test::folderEntries(second), (std::vector<std::string>{AUDIO_NAME, VIDEO_NAME}));
  EXPECT_TRUE(test::folderEntries(second + "/" + AUDIO_NAME).empty());
  EXPECT_FALSE(fileExists("/proc/" + std::string(VIDEO_NAME)));
}

TEST(CliFaults, MissingPlaylistEndsTheRunBeforeTheDemux) {
  TempDir dir;
  writeFile(dir.file("A.EVO"), makeFeature(20'000).file);
  const std::string missing = dir.file("ADV_OBJ/VPLST000.XPL");
  const CliResult result = runCli(dir, {"--xpl", missing, "--print-xpl", dir.file("A.EVO")});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "Cannot open file \"" + missing + "\". No such file or directory.\n");
  EXPECT_TRUE(demuxLog(result.out).empty()) << result.out;
  EXPECT_EQ(test::folderEntries(dir.path()), (std::vector<std::string>{"A.EVO", "stderr.txt", "stdout.txt"}));
}

}  // namespace
}  // namespace ardunex::test
