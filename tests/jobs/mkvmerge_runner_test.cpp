// SPDX-License-Identifier: GPL-2.0-or-later
// The mkvmerge runner against stand-in scripts: progress, warnings, failures, a hang, a child deaf to
// SIGTERM, and where mkvmerge is looked for.
#include "jobs/mkvmerge_runner.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "jobs/child_process.h"
#include "support/cli_runner.h"
#include "support/ps_builder.h"

namespace ardunex {
namespace {

using test::TempDir;

struct Recorder : MuxListener {
  std::vector<int> progress;
  std::vector<std::string> lines;  // "W:text", "E:text", "M:text"
  bool stopAtProgress = false;
  int ticks = 0;
  void muxProgress(int percent) override { progress.push_back(percent); }
  void muxWarning(std::string_view text) override { lines.push_back("W:" + std::string(text)); }
  void muxError(std::string_view text) override { lines.push_back("E:" + std::string(text)); }
  void muxMessage(std::string_view text) override { lines.push_back("M:" + std::string(text)); }
  bool muxStopRequested() override {
    ++ticks;
    return stopAtProgress && !progress.empty();
  }
};

std::string script(const TempDir& dir, const std::string& name, const std::string& body) {
  std::string path = dir.file(name);
  test::writeFile(path, test::Bytes(body.begin(), body.end()));
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  return path;
}

// A run in one line: outcome, exit status, progress seen, lines passed on (M, W, E), what became of the
// output, and the failure text.
std::string summary(const MuxResult& result, const Recorder& recorder, bool outputLeft) {
  constexpr const char* OUTCOMES[] = {"Success", "Warnings", "Failure", "Cancelled", "NotStarted"};
  std::string text = OUTCOMES[static_cast<int>(result.outcome)] + (" " + std::to_string(result.exitStatus)) + " [";
  for (const int percent : recorder.progress)
    text += std::to_string(percent) + "%";
  text += "]";
  for (const std::string& line : recorder.lines)
    if (!line.starts_with("M:args: "))
      text += " " + line;
  text += outputLeft ? (result.outputRemoved ? " removed-but-left" : " kept")
                     : (result.outputRemoved ? " removed" : " none");
  return muxFailureText(result).empty() ? text : text + ": " + muxFailureText(result);
}

TEST(MkvmergeRunner, RunsStopsAndReportsItsChild) {
  const struct {
    std::string name;
    std::string body;  // OUT is the output's path
    bool stop;
    std::string expected;  // MISSING is the path of the program that is not there
  } cases[] = {
      {"progress in pieces",
       "printf '#GUI#progress 10%%\\n#GUI#progress 10%%\\n#GUI#prog'; sleep 0.2; printf 'ress 55%%\\r\\n'\n"
       "echo '#GUI#begin_scanning_playlists'; echo made > OUT; printf '#GUI#progress 100%%'",
       false, "Success 0 [10%55%100%] kept"},
      {"warnings", "echo '#GUI#warning track 7 not found'; echo made > OUT; printf 'done\\r\\n'; exit 1", false,
       "Warnings 1 [] W:track 7 not found M:done kept"},
      {"failure", "echo part > OUT; echo '#GUI#error broken input'; exit 2", false,
       "Failure 2 [] E:broken input removed: mkvmerge failed: broken input"},
      {"failure before writing", "echo '#GUI#error no input'; exit 2", false,
       "Failure 2 [] E:no input kept: mkvmerge failed: no input"},
      {"killed", "echo part > OUT; kill -9 $$", false, "Failure -1 [] removed: mkvmerge was ended by signal 9"},
      {"hang", "echo part > OUT; echo '#GUI#progress 5%'; sleep 10", true,
       "Cancelled -1 [5%] removed: The mux was stopped by the user"},
      {"deaf to SIGTERM", "trap '' TERM; echo part > OUT; echo '#GUI#progress 5%'; sleep 10", true,
       "Cancelled -1 [5%] removed: The mux was stopped by the user"},
      {"ended by Ctrl-C", "echo part > OUT; echo '#GUI#progress 5%'; kill -INT $$", true,
       "Cancelled -1 [5%] removed: The mux was stopped by the user"},
      {"not a program", "", false, "NotStarted -1 [] none: Cannot run \"MISSING\". No such file or directory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string out = dir.file("out.mkv");
    if (c.name == "failure before writing")
      test::writeFile(out, {'o', 'l', 'd'});
    std::string body = "#!/bin/sh\necho $$ > " + dir.file("pid") + "\necho \"args: $*\"\n" + c.body + "\n";
    for (std::size_t at = body.find("OUT"); at != std::string::npos; at = body.find("OUT", at))
      body.replace(at, 3, out);
    const MuxRequest request{c.body.empty() ? dir.file("missing") : script(dir, "mkvmerge", body),
                             dir.file("options.json"), out};
    Recorder recorder;
    recorder.stopAtProgress = c.stop;
    const auto start = std::chrono::steady_clock::now();
    const MuxResult result = runMkvmerge(request, recorder);
    const auto took = std::chrono::steady_clock::now() - start;

    std::string expected = c.expected;
    if (expected.find("MISSING") != std::string::npos)
      expected.replace(expected.find("MISSING"), 7, request.mkvmerge);
    EXPECT_EQ(summary(result, recorder, test::fileExists(out)), expected);
    if (c.body.empty())
      continue;
    EXPECT_EQ(recorder.lines.front(), "M:args: --gui-mode --output-charset UTF-8 @" + request.optionFile);
    // The child is reaped and gone; one deaf to SIGTERM is killed after the grace, the window ticked through it.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_NE(::kill(std::stoi(test::readText(dir.file("pid"))), 0), 0);
    EXPECT_EQ(took >= MUX_GRACE, c.name == "deaf to SIGTERM");
    if (took >= MUX_GRACE) {
      EXPECT_GE(recorder.ticks, 20);
    }
  }
}

TEST(MkvmergeRunner, FindsMkvmergeOnPathOrWhereTheVariableSays) {
  TempDir dir;
  std::filesystem::create_directories(dir.file("bin"));
  const std::string fake = script(dir, "bin/mkvmerge", "#!/bin/sh\n");
  const char* oldPath = ::getenv("PATH");
  const std::string savedPath = oldPath ? oldPath : "";
  const struct {
    const char* variable;  // null: unset
    std::string path;
    std::string found;
  } cases[] = {
      {nullptr, "/nonexistent:" + dir.file("bin"), fake},
      {nullptr, "bin:/nonexistent", ""},  // relative folders are passed over
      {"", dir.file("bin"), fake},
      {"/nonexistent/mkvmerge", dir.file("bin"), ""},
      {"", "", ""},
      {fake.c_str(), "", fake},
  };
  const std::filesystem::path oldFolder = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    if (c.variable)
      ::setenv(MKVMERGE_VARIABLE, c.variable, 1);
    else
      ::unsetenv(MKVMERGE_VARIABLE);
    ::setenv("PATH", c.path.c_str(), 1);
    EXPECT_EQ(findMkvmerge(), c.found);
  }
  ::unsetenv(MKVMERGE_VARIABLE);
  ::setenv("PATH", savedPath.c_str(), 1);
  std::filesystem::current_path(oldFolder);
}

}  // namespace
}  // namespace ardunex

namespace ardunex {
namespace {

// The paths and text a child is given are UTF-8: a child under a locale that is not gets C.UTF-8 instead.
TEST(ChildEnvironment, AChildSpeaksUtf8) {
  const struct {
    std::vector<std::string> parent, child;
  } cases[] = {
      {{"PATH=/bin"}, {"PATH=/bin", "LC_ALL=C.UTF-8"}},
      {{"LANG=C", "HOME=/root"}, {"LANG=C", "HOME=/root", "LC_ALL=C.UTF-8"}},
      {{"LC_ALL=POSIX", "LANG=de_DE.UTF-8"}, {"LANG=de_DE.UTF-8", "LC_ALL=C.UTF-8"}},
      {{"LANG=de_DE.UTF-8"}, {"LANG=de_DE.UTF-8"}},
      {{"LC_CTYPE=en_US.utf8", "LANG=C"}, {"LC_CTYPE=en_US.utf8", "LANG=C"}},
      {{"LC_ALL=", "LC_CTYPE=fr_FR.ISO-8859-1", "LANG=fr_FR.UTF-8"},
       {"LC_CTYPE=fr_FR.ISO-8859-1", "LANG=fr_FR.UTF-8", "LC_ALL=C.UTF-8"}},
      {{"LC_ALLX=en_US.UTF-8"}, {"LC_ALLX=en_US.UTF-8", "LC_ALL=C.UTF-8"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(childEnvironment(c.parent), c.child) << c.parent.front();
}

}  // namespace
}  // namespace ardunex
