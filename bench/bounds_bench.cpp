// SPDX-License-Identifier: GPL-2.0-or-later
// Time and peak memory of the reads that hostile files could make unbounded: playlists of the largest size
// read, and settings files of many foreign keys and values. Every case runs in a process of its own, so that
// its peak memory is its own.
//
// ardunex-bounds-bench [--cli PATH] [--settings COUNT] [--cap SECONDS]
//   --cli       also read each playlist with "PATH --scan --xpl FILE --print-xpl" (output to /dev/null)
//   --settings  foreign keys and foreign values in the settings files (default 100000)
//   --cap       a case still running after this many seconds is stopped and shown as such (default 120)
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "jobs/session.h"
#include "settings/file_settings_store.h"
#include "settings/settings_persistence.h"
#include "support/headless_window.h"

namespace {

using namespace ardunex;

constexpr std::size_t PLAYLIST_SIZE = 4 * 1024 * 1024;  // the largest playlist read
constexpr double PLAYLIST_SECONDS = 5, PLAYLIST_MIB = 256, SETTINGS_SECONDS = 2;

/// Reads the playlist at a path and nothing else.
class PlaylistWindow : public HeadlessWindow {
 public:
  explicit PlaylistWindow(std::string path) : m_path(std::move(path)) {}
  std::string xplFileText() const override { return m_path; }

 private:
  std::string m_path;
};

/// A window in its design state, for the settings.
class SettingsWindow : public SettingsTarget {
 public:
  int windowLeft() const override { return 0; }
  void setWindowLeft(int) override {}
  int windowTop() const override { return 0; }
  void setWindowTop(int) override {}
  int windowWidth() const override { return 370; }
  void setWindowWidth(int) override {}
  int windowHeight() const override { return 380; }
  void setWindowHeight(int) override {}
  WindowState windowState() const override { return WindowState::Normal; }
  void setWindowState(WindowState) override {}
  int treeWidth() const override { return 96; }
  void setTreeWidth(int) override {}
  std::string audioExt() const override { return "mpa"; }
  void setAudioExt(std::string_view) override {}
  std::string videoExt() const override { return "mpv"; }
  void setVideoExt(std::string_view) override {}
  std::string workdir() const override { return {}; }
  void setWorkdir(std::string_view) override {}
  bool continueOnSecond() const override { return true; }
  void setContinueOnSecond(bool) override {}
  bool fastCheck() const override { return true; }
  void setFastCheck(bool) override {}
};

void writeText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

/// A text of exactly size bytes: head, then unit repeated (the last one cut).
std::string filled(const std::string& head, const std::string& unit, std::size_t size) {
  std::string text = head;
  while (text.size() < size)
    text += unit;
  text.resize(size);
  return text;
}

/// Runs a case in a child process; prints its wall time and peak resident memory against the limits.
void measure(const std::string& name, int capSeconds, double maxSeconds, double maxMib,
             const std::function<void()>& body) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child == 0) {
    body();
    std::_Exit(0);
  }
  int status = 0;
  rusage usage{};
  bool stopped = false;
  while (::wait4(child, &status, WNOHANG, &usage) == 0) {
    if (std::chrono::steady_clock::now() - start > std::chrono::seconds(capSeconds)) {
      ::kill(child, SIGKILL);
      ::wait4(child, &status, 0, &usage);
      stopped = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double mib = static_cast<double>(usage.ru_maxrss) / 1024;
  const bool failed = !stopped && !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const bool within = !stopped && !failed && seconds < maxSeconds && (maxMib <= 0 || mib < maxMib);
  std::printf("%-52s %9.2f s%s %8.1f MiB   %s\n", name.c_str(), seconds, stopped ? "+" : " ", mib,
              stopped  ? "stopped at the cap"
              : failed ? "failed"
              : within ? "within bounds"
                       : "OVER BOUNDS");
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::string cli;
  int settingsCount = 100'000;
  int capSeconds = 120;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--cli") == 0)
      cli = argv[i + 1];
    else if (std::strcmp(argv[i], "--settings") == 0)
      settingsCount = std::atoi(argv[i + 1]);
    else if (std::strcmp(argv[i], "--cap") == 0)
      capSeconds = std::atoi(argv[i + 1]);
  }
  const char* tmp = std::getenv("TMPDIR");
  const std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/ardunex-bounds-" + std::to_string(::getpid());
  if (::mkdir(folder.c_str(), 0700) != 0) {
    std::perror("ardunex-bounds-bench");
    return 1;
  }
  std::printf("%-52s %11s %12s   limits: playlists %.0f s and %.0f MiB, settings %.0f s\n", "case", "wall time",
              "peak memory", PLAYLIST_SECONDS, PLAYLIST_MIB, SETTINGS_SECONDS);

  // Playlists of the largest size read, each shaped to cost as much as its kind can.
  struct Shape {
    const char* name;
    std::string text;
  };
  const std::string tag =
      "<Audio track=\"1\" streamNumber=\"1\" mediaAttr=\"1\" langcode=\"en:00\" description=\"English\"/>\n";
  const Shape shapes[] = {
      {"\"<>\" repeated", filled("", "<>", PLAYLIST_SIZE)},
      {"64 unclosed \"<\", then \">\" repeated", filled(std::string(64, '<'), ">", PLAYLIST_SIZE)},
      {"one tag of 4 MiB", filled("<", "a", PLAYLIST_SIZE - 1) + ">"},
      {"track tags repeated", filled("<Playlist>\n", tag, PLAYLIST_SIZE)},
  };
  for (const Shape& shape : shapes) {
    const std::string path = folder + "/VPLST000.XPL";
    writeText(path, shape.text);
    measure(std::string("playlist, ") + shape.name + " (core)", capSeconds, PLAYLIST_SECONDS, PLAYLIST_MIB, [&] {
      PlaylistWindow window(path);
      Session session(window);
      session.XPLadj();
      session.bReadXPLClick();
    });
    if (!cli.empty()) {
      // A video start code and nothing else: the scan meets a stream, so a run that reads the playlist
      // ends with status 0 (a file without any stream ends with 1).
      const std::string evo = folder + "/VIDEO.EVO";
      writeText(evo, std::string("\0\0\1\xE0\0\0", 6));
      measure(std::string("playlist, ") + shape.name + " (--print-xpl)", capSeconds, PLAYLIST_SECONDS, PLAYLIST_MIB,
              [&] {
                const int null = ::open("/dev/null", O_WRONLY);
                ::dup2(null, 1);
                ::execl(cli.c_str(), cli.c_str(), "--scan", "--xpl", path.c_str(), "--print-xpl", evo.c_str(),
                        static_cast<char*>(nullptr));
                std::_Exit(127);
              });
    }
  }

  // Settings files whose foreign keys or values far outnumber the program's own.
  const std::string count = std::to_string(settingsCount);
  for (const bool keys : {false, true}) {
    std::string text =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Corvell Software\\Ardunex]\r\n";
    for (int i = 0; i < settingsCount; ++i)
      text += keys ? "[HKEY_CURRENT_USER\\Software\\Other\\Key" + std::to_string(i) + "]\r\n@=\"v\"\r\n"
                   : "\"Foreign" + std::to_string(i) + "\"=dword:00000001\r\n";
    const std::string path = folder + "/settings.reg";
    writeText(path, text);
    measure("settings, " + count + (keys ? " foreign keys" : " foreign values") + ", read and save", capSeconds,
            SETTINGS_SECONDS, 0, [&] {
              FileSettingsStore store(path);
              SettingsWindow window;
              PathState paths;
              RegRead(store, window, paths);
              RegWrite(store, window, paths);
            });
  }
  std::filesystem::remove_all(folder);
  return 0;
}
