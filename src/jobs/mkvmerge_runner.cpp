// SPDX-License-Identifier: GPL-2.0-or-later
// mkvmerge as a child process: its gui-mode lines read as they come, its end turned into one result.
#include "jobs/mkvmerge_runner.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <nlohmann/json.hpp>
#include <thread>

#include "base/file_io.h"
#include "jobs/child_process.h"

namespace ardunex {
namespace {

using Clock = std::chrono::steady_clock;

// A line longer than this without a line break is passed on as it stands, so the buffer stays bounded.
constexpr std::size_t LONGEST_LINE = 65536;
// The most error lines a result keeps (mkvmerge stops at its first error; a stand-in may print more).
constexpr std::size_t MOST_ERRORS = 100;
// The most an identification may print: far more than any real file's JSON.
constexpr std::size_t MOST_IDENTIFICATION = 64 * 1024 * 1024;
// The most reads of what is left in the pipe once the child has ended (64 KiB each).
constexpr int MOST_DRAIN_READS = 16;
// How long to wait between asking a child that has closed its output whether it has ended.
constexpr std::chrono::milliseconds EXIT_PAUSE{10};

// mkvmerge's gui-mode tags: "#GUI#progress 42%", "#GUI#warning TEXT", "#GUI#error TEXT"; other tags
// ("#GUI#begin_scanning_playlists") mark steps Ardunex does not show.
constexpr std::string_view GUI_TAG = "#GUI#";
constexpr std::string_view PROGRESS_TAG = "progress ";
constexpr std::string_view WARNING_TAG = "warning ";
constexpr std::string_view ERROR_TAG = "error ";

// Splits output into lines (LF or CR LF), the last one given even without its line break.
class LineSplitter {
 public:
  explicit LineSplitter(std::function<void(std::string_view)> onLine) : m_onLine(std::move(onLine)) {}

  void add(std::string_view text) {
    m_pending += text;
    std::size_t from = 0;
    for (std::size_t end = m_pending.find('\n'); end != std::string::npos; end = m_pending.find('\n', from)) {
      give(std::string_view(m_pending).substr(from, end - from));
      from = end + 1;
    }
    m_pending.erase(0, from);
    if (m_pending.size() >= LONGEST_LINE) {
      give(m_pending);
      m_pending.clear();
    }
  }

  void finish() {
    if (!m_pending.empty())
      give(m_pending);
    m_pending.clear();
  }

 private:
  void give(std::string_view line) {
    if (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    m_onLine(line);
  }

  std::function<void(std::string_view)> m_onLine;
  std::string m_pending;
};

// Reads the child's output until it has ended, asking the listener at every tick whether to stop; a stop
// sends SIGTERM, then SIGKILL once the grace is over. The child is always reaped before this returns.
// Returns whether it was stopped.
bool drive(ChildProcess& child, MuxListener& listener, LineSplitter& lines) {
  bool stopped = false;
  bool open = true;
  Clock::time_point killAt{};
  std::string chunk;
  for (;;) {
    if (open) {
      chunk.clear();
      open = child.read(chunk, MUX_TICK);
      lines.add(chunk);
    }
    if (child.finished()) {
      // What it wrote before it ended is in the pipe already; a descendant that still holds the pipe is not
      // waited for, nor read without end.
      for (int reads = 0; open && reads < MOST_DRAIN_READS; ++reads) {
        chunk.clear();
        open = child.read(chunk, std::chrono::milliseconds(0)) && !chunk.empty();
        lines.add(chunk);
      }
      break;
    }
    if (!open)
      std::this_thread::sleep_for(EXIT_PAUSE);
    // Asked also while a stop is under way, so the window stays live through the grace.
    const bool stop = listener.muxStopRequested();
    if (stop && !stopped) {
      stopped = true;
      child.terminate();
      killAt = Clock::now() + MUX_GRACE;
    }
    if (stopped && Clock::now() >= killAt)
      child.kill();
  }
  lines.finish();
  return stopped;
}

std::optional<int> percentOf(std::string_view text) {
  int percent = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), percent);
  if (error != std::errc() || end == text.data())
    return std::nullopt;
  return percent;
}

}  // namespace

std::string findMkvmerge() {
  if (const auto chosen = environmentValue(MKVMERGE_VARIABLE); chosen && !chosen->empty())
    return isExecutableFile(*chosen) ? *chosen : std::string();
#ifdef _WIN32
  constexpr std::string_view NAME = "mkvmerge.exe";
  constexpr char LIST_SEPARATOR = ';';
  const auto absolute = [](std::string_view folder) {
    return (folder.size() >= 3 && folder[1] == ':' && isPathSeparator(folder[2])) || folder.starts_with("\\\\");
  };
#else
  constexpr std::string_view NAME = "mkvmerge";
  constexpr char LIST_SEPARATOR = ':';
  const auto absolute = [](std::string_view folder) { return folder.starts_with('/'); };
#endif
  // Folders of PATH that are relative (an empty entry is the current folder) are passed over: a program
  // run from wherever the user happens to be is not one they chose.
  const std::string path = environmentValue("PATH").value_or("");
  for (std::size_t from = 0; from <= path.size();) {
    const std::size_t end = std::min(path.find(LIST_SEPARATOR, from), path.size());
    std::string_view folder = std::string_view(path).substr(from, end - from);
    from = end + 1;
    if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"')
      folder = folder.substr(1, folder.size() - 2);
    if (!absolute(folder))
      continue;
    std::string candidate(folder);
    if (!isPathSeparator(candidate.back()))
      candidate += PATH_SEPARATOR;
    candidate += NAME;
    if (isExecutableFile(candidate))
      return candidate;
  }
#ifdef _WIN32
  for (const char* variable : {"ProgramFiles", "ProgramW6432", "ProgramFiles(x86)"}) {
    const auto folder = environmentValue(variable);
    if (folder && !folder->empty() && isExecutableFile(*folder + "\\MKVToolNix\\mkvmerge.exe"))
      return *folder + "\\MKVToolNix\\mkvmerge.exe";
  }
#endif
  return {};
}

MuxResult runMkvmerge(const MuxRequest& request, MuxListener& listener) {
  MuxResult result;
  const std::optional<FileStamp> before = fileStamp(request.output);
  std::string reason;
  std::optional<ChildProcess> child = ChildProcess::start(
      request.mkvmerge, {"--gui-mode", "--output-charset", "UTF-8", "@" + request.optionFile}, reason);
  if (!child) {
    result.reason = "Cannot run \"" + request.mkvmerge + "\". " + reason;
    return result;
  }

  int lastPercent = -1;
  LineSplitter lines([&](std::string_view line) {
    if (!line.starts_with(GUI_TAG)) {
      if (!line.empty())
        listener.muxMessage(line);
      return;
    }
    line.remove_prefix(GUI_TAG.size());
    if (line.starts_with(PROGRESS_TAG)) {
      const std::optional<int> percent = percentOf(line.substr(PROGRESS_TAG.size()));
      if (percent && *percent != lastPercent)
        listener.muxProgress(lastPercent = *percent);
    } else if (line.starts_with(WARNING_TAG)) {
      ++result.warningCount;
      listener.muxWarning(line.substr(WARNING_TAG.size()));
    } else if (line.starts_with(ERROR_TAG)) {
      if (result.errors.size() < MOST_ERRORS)
        result.errors.emplace_back(line.substr(ERROR_TAG.size()));
      listener.muxError(line.substr(ERROR_TAG.size()));
    }
  });
  const bool stopped = drive(*child, listener, lines);

  const ChildExit& exit = child->exit();
  result.exitStatus = exit.status;
  constexpr int WARNINGS_STATUS = 1;
  if (stopped) {
    result.outcome = MuxOutcome::Cancelled;
  } else if (exit.status == 0 || exit.status == WARNINGS_STATUS) {
    result.outcome = exit.status == 0 ? MuxOutcome::Success : MuxOutcome::Warnings;
  } else {
    // A Ctrl-C reaches mkvmerge too, and may end it before the stop was asked for.
    result.outcome = listener.muxStopRequested() ? MuxOutcome::Cancelled : MuxOutcome::Failure;
    if (exit.signal != 0)
      result.reason = "mkvmerge was ended by signal " + std::to_string(exit.signal);
    else
      result.reason = "mkvmerge failed with exit status " + std::to_string(exit.status);
  }
  // A failed or stopped run leaves no half-made file behind, but a file it never wrote to stays.
  if (result.outcome == MuxOutcome::Failure || result.outcome == MuxOutcome::Cancelled) {
    const std::optional<FileStamp> after = fileStamp(request.output);
    if (after && after != before)
      result.outputRemoved = removeFile(request.output);
  }
  return result;
}

std::string muxFailureText(const MuxResult& result) {
  switch (result.outcome) {
    case MuxOutcome::Success:
    case MuxOutcome::Warnings:
      return {};
    case MuxOutcome::Cancelled:
      return "The mux was stopped by the user";
    case MuxOutcome::NotStarted:
      return result.reason;
    case MuxOutcome::Failure:
      break;
  }
  return result.errors.empty() ? result.reason : "mkvmerge failed: " + result.errors.front();
}

std::optional<MkvSummary> identifyMkv(const std::string& mkvmerge, const std::string& mkv, MuxListener& listener,
                                      std::string& reason) {
  std::optional<ChildProcess> child = ChildProcess::start(mkvmerge, {"-J", mkv}, reason);
  if (!child) {
    reason = "Cannot run \"" + mkvmerge + "\". " + reason;
    return std::nullopt;
  }
  std::string text;
  LineSplitter lines([&](std::string_view line) {
    if (text.size() + line.size() < MOST_IDENTIFICATION)
      (text += line) += '\n';
  });
  if (drive(*child, listener, lines)) {
    reason = "The identification was stopped by the user";
    return std::nullopt;
  }
  reason = "mkvmerge could not identify \"" + mkv + "\"";
  const nlohmann::json info = nlohmann::json::parse(text, nullptr, false);
  if (info.is_discarded() || !info.is_object())
    return std::nullopt;
  MkvSummary summary;
  try {
    if (child->exit().status != 0 || !info.contains("tracks")) {
      const nlohmann::json errors = info.value("errors", nlohmann::json::array());
      if (!errors.empty()) {
        std::string error = errors[0].get<std::string>();
        while (!error.empty() && (error.back() == '\n' || error.back() == '\r'))
          error.pop_back();
        reason += ": " + error;
      }
      return std::nullopt;
    }
    summary.tracks = static_cast<int>(info.at("tracks").size());
    for (const nlohmann::json& edition : info.value("chapters", nlohmann::json::array()))
      summary.chapters += edition.value("num_entries", 0);
    const nlohmann::json properties =
        info.value("container", nlohmann::json::object()).value("properties", nlohmann::json::object());
    summary.title = properties.value("title", "");
    constexpr double NS_PER_S = 1e9;
    if (properties.contains("duration") && properties["duration"].is_number())
      summary.duration = properties["duration"].get<double>() / NS_PER_S;
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;  // not the identification mkvmerge prints
  }
  reason.clear();
  return summary;
}

std::string mkvSummaryLine(const std::string& mkv, const MkvSummary& summary) {
  const auto count = [](int n, const char* word) { return std::to_string(n) + " " + word + (n == 1 ? "" : "s"); };
  return "Made " + mkv + ": " + count(summary.tracks, "track") + ", " + count(summary.chapters, "chapter") + ".";
}

}  // namespace ardunex
