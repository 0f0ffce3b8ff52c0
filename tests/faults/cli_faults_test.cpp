// SPDX-License-Identifier: GPL-2.0-or-later
// ardunex-cli against a full disk, output folders it cannot write into, signals and a lost standard output:
// exit status, message, and what is left on disk.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
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
    EXPECT_EQ(result.err, "Cannot write file \"" + out + "/" + VIDEO_NAME + "\". File too large.\n");
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
      {notFolder, "", "Not a directory", {}},  // the folder cannot be made
      {"/proc", VIDEO_NAME, "No such file or directory", {}},
      {second, AUDIO_NAME, "Is a directory", {}},  // found before any file is created
  };
  if (!sysReason.empty())
    cases.push_back({"/sys", VIDEO_NAME, sysReason, {}});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    const CliResult result = runCli(dir, {"-o", c.folder, dir.file("A.EVO")});
    EXPECT_EQ(result.status, 1);
    const std::string what =
        c.failingName.empty() ? "folder \"" + c.folder : "file \"" + c.folder + "/" + c.failingName;
    EXPECT_EQ(result.err, "Cannot create " + what + "\". " + c.reason + ".\n");
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
  EXPECT_EQ(test::folderEntries(second), (std::vector<std::string>{AUDIO_NAME}));
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

/// Starts program with args, standard output on outFd, standard error in dir's stderr.txt, and the
/// environment given added; returns its process id.
pid_t spawn(const TempDir& dir, const std::vector<std::string>& command, int outFd,
            const std::vector<std::pair<std::string, std::string>>& environment = {}) {
  std::vector<std::string> argv = command;
  std::vector<char*> pointers;
  for (std::string& arg : argv)
    pointers.push_back(arg.data());
  pointers.push_back(nullptr);
  const std::string errPath = dir.file("stderr.txt");
  const pid_t child = ::fork();
  if (child == 0) {
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (err < 0 || ::dup2(outFd, 1) < 0 || ::dup2(err, 2) < 0)
      ::_exit(126);
    for (const auto& [name, value] : environment)
      ::setenv(name.c_str(), value.c_str(), 1);
    ::execv(pointers[0], pointers.data());
    ::_exit(127);
  }
  return child;
}

/// The exit status of a child, or -1 when a signal ended it.
int exitStatus(pid_t child) {
  int raw = 0;
  return ::waitpid(child, &raw, 0) == child && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

TEST(CliFaults, TermAndHangupStopTheDemuxAndCloseTheFilesWithWhatTheyHold) {
  const Feature feature = makeFeature(8 * 1024 * 1024);
  for (const int signal : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    TempDir dir;
    writeFile(dir.file("A.EVO"), feature.file);
    // The video output is a pipe the test drains: the tool blocks in its first write until the test reads.
    const std::string video = dir.file(VIDEO_NAME);
    ASSERT_EQ(::mkfifo(video.c_str(), 0644), 0);
    const int reader = ::open(video.c_str(), O_RDONLY | O_NONBLOCK);
    const int out = ::open(dir.file("stdout.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const pid_t child = spawn(dir, {ARDUNEX_CLI_PATH, dir.file("A.EVO")}, out);
    Bytes got;
    std::uint8_t buffer[65536];
    bool signalled = false;
    for (int waited = 0; waited < 30'000; ++waited) {
      const ssize_t n = ::read(reader, buffer, sizeof buffer);
      if (n > 0) {
        got.insert(got.end(), buffer, buffer + n);
        if (!signalled)
          signalled = ::kill(child, signal) == 0;
      } else if (n == 0 && signalled) {
        break;  // every writer has closed the pipe
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
    ::close(reader);
    ::close(out);
    EXPECT_EQ(exitStatus(child), 128 + signal);
    EXPECT_TRUE(contains(demuxLog(readText(dir.file("stdout.txt"))), "Done."));
    // Stopped early, with the video up to the stop and every audio byte in front of it.
    EXPECT_TRUE(isPrefix(got, feature.video));
    EXPECT_LT(got.size(), feature.video.size() / 2);
    ASSERT_FALSE(got.empty());
    const std::size_t packet = static_cast<std::size_t>(
        std::lower_bound(feature.videoPacketEnd.begin(), feature.videoPacketEnd.end(), got.size()) -
        feature.videoPacketEnd.begin());
    const Bytes audio = readFile(dir.file(AUDIO_NAME));
    EXPECT_TRUE(isPrefix(audio, feature.audio));
    EXPECT_GE(audio.size(), feature.audioBeforeVideoPacket.at(packet));
  }
}

// An MKV without mkvmerge is refused before anything is written; mkvmerge's failure is the run's; Ctrl-C
// during the mux stops mkvmerge and removes the MKV it began. The stream files stay.
TEST(CliFaults, MkvRefusedFailedOrStoppedKeepsTheStreamFiles) {
  const struct {
    std::string mkvmerge;  // what the stand-in does once it began the MKV; empty: there is none
    int status;
    std::string logEnd, err;
  } cases[] = {
      {"", 2, "", "ardunex-cli: mkvmerge was not found: install MKVToolNix to make MKV files\n"},
      {"echo '#GUI#error Bad file.'; exit 2", 1, "mkvmerge failed: Bad file.", "mkvmerge failed: Bad file.\n"},
      {"touch started; exec sleep 30", 130, "Done.", ""},  // Ctrl-C once it has begun
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status);
    TempDir dir;
    writeFile(dir.file("A.EVO"), makeFeature(100'000).file);
    const std::string script = "#!/bin/sh\nprintf partial > A.mkv\n" + c.mkvmerge;
    if (!c.mkvmerge.empty())
      writeFile(dir.file("mkvmerge"), Bytes(script.begin(), script.end()));
    const std::string stop =
        "n=0; while [ ! -e started ] && [ $((n += 1)) -lt 400 ]; do sleep 0.05; done; kill -INT $!; ";
    const CliResult result =
        runProgram(dir, "sh",
                   {"-c",
                    "cd \"$1\"; chmod +x mkvmerge 2>/dev/null; ARDUNEX_MKVMERGE=\"$1/mkvmerge\" \"$2\" --mkv A.EVO & " +
                        (c.status == 130 ? stop : "") + "wait $!",
                    "sh", dir.path(), ARDUNEX_CLI_PATH});
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(lines(result.out).empty() ? "" : lines(result.out).back(), c.logEnd);
    EXPECT_EQ(result.err.substr(0, c.err.size()), c.err);
    EXPECT_FALSE(fileExists(dir.file("A.mkv")));
    EXPECT_EQ(fileExists(dir.file(VIDEO_NAME)) && fileExists(dir.file(AUDIO_NAME)), !c.mkvmerge.empty());
  }
}

TEST(CliFaults, LostStandardOutputIsReportedAndTheDemuxStillEnds) {
  TempDir dir;
  const Feature feature = makeFeature(100'000);
  writeFile(dir.file("A.EVO"), feature.file);
  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  ::close(pipeEnds[0]);  // a reader that has gone: every write fails with EPIPE (or SIGPIPE)
  struct Case {
    const char* name;
    int outFd;
    std::string reason;
  };
  for (const Case& c : {Case{"closed pipe", pipeEnds[1], "Broken pipe"},
                        Case{"full device", ::open("/dev/full", O_WRONLY), "No space left on device"}}) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(dir.file(VIDEO_NAME));
    EXPECT_EQ(exitStatus(spawn(dir, {ARDUNEX_CLI_PATH, dir.file("A.EVO")}, c.outFd)), 4);
    EXPECT_EQ(readText(dir.file("stderr.txt")),
              "ardunex-cli: cannot write the log to standard output: " + c.reason + "\n");
    EXPECT_EQ(readFile(dir.file(VIDEO_NAME)), feature.video);
    ::close(c.outFd);
  }
}

TEST(CliFaults, AudioExtensionCountsCharactersNotBytes) {
  TempDir dir;
  writeFile(dir.file("A.EVO"), makeFeature(20'000).file);
  EXPECT_EQ(runCli(dir, {"--scan", "--audio-ext", "\u00e9\u00e9\u00e9\u00e9\u00e9", dir.file("A.EVO")}).status, 0);
  EXPECT_EQ(runCli(dir, {"--scan", "--audio-ext", "\u00e9\u00e9\u00e9\u00e9\u00e9e", dir.file("A.EVO")}).status, 2);
}

#ifdef ARDUNEX_GUI_PATH
/// Whether the process has a handler for the signal (its caught-signal mask in /proc).
bool catches(pid_t child, int signal) {
  std::ifstream status("/proc/" + std::to_string(child) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("SigCgt:", 0) == 0)
      return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1) & 1) != 0;
  return false;
}

TEST(CliFaults, WindowEndsOnTermAndHangupWithTheSignalInItsStatus) {
  for (const int signal : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    TempDir dir;
    const int out = ::open("/dev/null", O_WRONLY);
    const pid_t child =
        spawn(dir, {ARDUNEX_GUI_PATH}, out,
              {{"QT_QPA_PLATFORM", "offscreen"}, {"XDG_CONFIG_HOME", dir.path()}, {"HOME", dir.path()}});
    for (int waited = 0; waited < 10'000 && !catches(child, signal); waited += 10)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ::kill(child, signal);
    EXPECT_EQ(exitStatus(child), 128 + signal);
    ::close(out);
  }
}
#endif

}  // namespace
}  // namespace ardunex::test
