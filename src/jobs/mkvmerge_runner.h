// SPDX-License-Identifier: GPL-2.0-or-later
// Runs mkvmerge on an option file as a child process: finds it, passes on its progress, warnings and errors,
// stops it on request, and reads back what the Matroska file holds.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ardunex {

/// The environment variable that names the mkvmerge to run instead of the one found on PATH (tests, or an
/// installation elsewhere); a value that is not a program makes mkvmerge missing.
inline constexpr const char* MKVMERGE_VARIABLE = "ARDUNEX_MKVMERGE";
/// Why making an MKV is not offered (the window's tooltip, the command line's refusal).
inline constexpr const char* MKVMERGE_MISSING = "mkvmerge was not found: install MKVToolNix to make MKV files";

/// Where mkvmerge is: the program ARDUNEX_MKVMERGE names when it is set, else the first on PATH, else (on
/// Windows) MKVToolNix's usual install folders. Empty when there is none.
std::string findMkvmerge();

/// What the mux tells its caller while it runs. Every call comes from the runner's own loop on the caller's
/// thread, so a window may update its widgets and handle its events in them.
class MuxListener {
 public:
  virtual ~MuxListener() = default;
  /// mkvmerge's progress in percent, each time it changes.
  virtual void muxProgress(int percent) = 0;
  /// A warning of mkvmerge (without its tag); the mux goes on.
  virtual void muxWarning(std::string_view text) = 0;
  /// An error of mkvmerge (without its tag); the mux fails.
  virtual void muxError(std::string_view text) = 0;
  /// Any other line mkvmerge prints (what it reads and writes, its closing lines).
  virtual void muxMessage(std::string_view text) { (void)text; }
  /// Called while mkvmerge runs, after each batch of its output and at least every MUX_TICK: the place to
  /// handle pending events. Returns true when the mux should stop (Cancel, a stop signal).
  virtual bool muxStopRequested() = 0;
};

/// How often the listener is asked whether to stop, at the least.
inline constexpr std::chrono::milliseconds MUX_TICK{100};
/// How long a stopped mkvmerge has to end after SIGTERM before it is killed.
inline constexpr std::chrono::milliseconds MUX_GRACE{3000};

/// One run of mkvmerge.
struct MuxRequest {
  /// The program (findMkvmerge()).
  std::string mkvmerge;
  /// The option file mkvmerge reads its arguments from.
  std::string optionFile;
  /// The Matroska file the option file writes: removed when the run fails or is stopped, if the run wrote it.
  std::string output;
};

enum class MuxOutcome {
  Success,     ///< exit status 0
  Warnings,    ///< exit status 1: the file is made; mkvmerge warned
  Failure,     ///< exit status 2, or mkvmerge ended any other way
  Cancelled,   ///< stopped on request
  NotStarted,  ///< mkvmerge could not be started
};

struct MuxResult {
  MuxOutcome outcome = MuxOutcome::NotStarted;
  /// mkvmerge's exit status; -1 when it did not exit by itself.
  int exitStatus = -1;
  /// mkvmerge's error lines.
  std::vector<std::string> errors;
  int warningCount = 0;
  /// Failure without an error line, or NotStarted: what went wrong, in words.
  std::string reason;
  /// Whether the partial output was removed.
  bool outputRemoved = false;
};

/// Runs `mkvmerge --gui-mode --output-charset UTF-8 @OPTIONFILE` until it ends or the listener asks it to
/// stop; a stopped mkvmerge gets SIGTERM, then SIGKILL after MUX_GRACE, and is always waited for.
MuxResult runMkvmerge(const MuxRequest& request, MuxListener& listener);

/// The line for the log that says why a mux did not make its file; empty for Success and Warnings.
std::string muxFailureText(const MuxResult& result);

/// What mkvmerge's identification (-J) finds in a Matroska file.
struct MkvSummary {
  int tracks = 0;
  /// Chapters over every edition.
  int chapters = 0;
  std::string title;
  /// The file's duration in seconds, when known.
  std::optional<double> duration;
};

/// Runs `mkvmerge -J mkv` (the listener is ticked and may stop it; it gets no lines). Nothing when mkvmerge
/// fails or is stopped, or prints no identification; reason says why.
std::optional<MkvSummary> identifyMkv(const std::string& mkvmerge, const std::string& mkv, MuxListener& listener,
                                      std::string& reason);

/// The closing line of a mux: `Made PATH: 5 tracks, 12 chapters.`
std::string mkvSummaryLine(const std::string& mkv, const MkvSummary& summary);

}  // namespace ardunex
