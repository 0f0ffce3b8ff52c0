// SPDX-License-Identifier: GPL-2.0-or-later
// The runner with the installed mkvmerge: a small ffmpeg-made video and audio become one Matroska file with
// progress to 100%, and identification counts its tracks and chapters; a stopped run leaves no file.
#include <gtest/gtest.h>

#include <string>

#include "jobs/mkvmerge_runner.h"
#include "support/cli_runner.h"
#include "support/ps_builder.h"

namespace ardunex::test {
namespace {

struct Listener : MuxListener {
  std::vector<int> progress;
  std::vector<std::string> problems;
  bool stop = false;
  void muxProgress(int percent) override { progress.push_back(percent); }
  void muxWarning(std::string_view text) override { problems.emplace_back(text); }
  void muxError(std::string_view text) override { problems.emplace_back(text); }
  bool muxStopRequested() override { return stop; }
};

TEST(MkvmergeRunnerInterop, MakesAndIdentifiesAMatroskaFile) {
  const std::string mkvmerge = findMkvmerge();
  if (mkvmerge.empty() || !programOnPath("ffmpeg"))
    GTEST_SKIP() << "mkvmerge or ffmpeg is missing; install mkvtoolnix and ffmpeg to run this test";
  TempDir dir;
  const CliResult made = runProgram(dir, "ffmpeg",
                                    {"-nostdin",
                                     "-loglevel",
                                     "error",
                                     "-f",
                                     "lavfi",
                                     "-i",
                                     "testsrc=size=320x240:rate=25:duration=4",
                                     "-f",
                                     "lavfi",
                                     "-i",
                                     "sine=duration=4",
                                     "-map",
                                     "0:v",
                                     "-c:v",
                                     "mpeg2video",
                                     "-f",
                                     "mpeg2video",
                                     dir.file("v.mpv"),
                                     "-map",
                                     "1:a",
                                     "-c:a",
                                     "ac3",
                                     "-f",
                                     "ac3",
                                     dir.file("a.ac3")});
  ASSERT_EQ(made.status, 0) << made.err;
  const std::string chapters = "CHAPTER01=00:00:00.000\nCHAPTER01NAME=One\nCHAPTER02=00:00:02.000\nCHAPTER02NAME=Two\n";
  writeFile(dir.file("chapters.txt"), Bytes(chapters.begin(), chapters.end()));
  const std::string options = "[\"-o\", \"" + dir.file("out.mkv") + "\", \"--title\", \"Runner\", \"--chapters\", \"" +
                              dir.file("chapters.txt") + "\", \"" + dir.file("v.mpv") + "\", \"" + dir.file("a.ac3") +
                              "\"]";
  writeFile(dir.file("options.json"), Bytes(options.begin(), options.end()));
  const MuxRequest request{mkvmerge, dir.file("options.json"), dir.file("out.mkv")};

  Listener stopped;
  stopped.stop = true;
  EXPECT_EQ(runMkvmerge(request, stopped).outcome, MuxOutcome::Cancelled);
  EXPECT_FALSE(fileExists(request.output));

  Listener listener;
  const MuxResult result = runMkvmerge(request, listener);
  ASSERT_EQ(result.outcome, MuxOutcome::Success) << muxFailureText(result);
  EXPECT_TRUE(listener.problems.empty());
  ASSERT_FALSE(listener.progress.empty());
  EXPECT_EQ(listener.progress.back(), 100);
  std::string reason;
  const std::optional<MkvSummary> summary = identifyMkv(mkvmerge, request.output, listener, reason);
  ASSERT_TRUE(summary) << reason;
  EXPECT_EQ(mkvSummaryLine(request.output, *summary), "Made " + request.output + ": 2 tracks, 2 chapters.");
  EXPECT_EQ(summary->title, "Runner");
  EXPECT_NEAR(summary->duration.value_or(0), 4.0, 0.1);
  EXPECT_FALSE(identifyMkv(mkvmerge, dir.file("chapters.txt"), listener, reason));
  EXPECT_EQ(reason, "mkvmerge could not identify \"" + dir.file("chapters.txt") + "\"");
}

}  // namespace
}  // namespace ardunex::test
