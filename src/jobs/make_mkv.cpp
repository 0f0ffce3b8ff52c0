// SPDX-License-Identifier: GPL-2.0-or-later
// Making the MKV after a demux: mkvmerge as the job's second phase.
#include "jobs/make_mkv.h"

#include <chrono>

#include "base/errors.h"
#include "engine/engine.h"
#include "jobs/child_process.h"
#include "jobs/mkvmerge_runner.h"

namespace ardunex {
namespace {

constexpr int ALL_PERCENT = 100;

/// The mux as the window sees it: progress in the status bar and the title, mkvmerge's warnings and errors in
/// the log, and the window's events handled at every tick.
class MuxPhase final : public MuxListener {
 public:
  MuxPhase(Window& window, std::string name, const std::function<bool()>& stopRequested)
      : m_window(window), m_name(std::move(name)), m_stopRequested(stopRequested) {}

  void muxProgress(int percent) override {
    // As the demux's line: "Muxing FEATURE_1.mkv 42%, Remaining time: 00:00:12".
    std::string text = "Muxing " + m_name + " " + std::to_string(percent) + "%";
    if (percent > 0 && percent <= ALL_PERCENT) {
      const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
      text += ", Remaining time: " + formatRemainingTime(elapsed * (ALL_PERCENT - percent) / percent);
    }
    m_window.slog(text, 1);
    m_window.progress(percent, ALL_PERCENT);
  }
  void muxWarning(std::string_view text) override { m_window.log("mkvmerge warning: " + std::string(text)); }
  void muxError(std::string_view text) override { m_window.log("mkvmerge error: " + std::string(text)); }
  bool muxStopRequested() override {
    m_window.processEvents();
    return m_stopRequested();
  }

 private:
  Window& m_window;
  std::string m_name;
  const std::function<bool()>& m_stopRequested;
  std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

}  // namespace

void makeMkv(Window& window, const std::string& mkvmerge, const MuxFiles& files,
             const std::function<bool()>& stopRequested) {
  if (files.optionFile.empty())
    throw Error("No MKV made: the option file could not be written");
  if (files.tracks == 0)
    throw Error("No MKV made: none of the stream files can go into it");

  window.log("Muxing " + files.mkv.name);
  window.slog("Muxing", 0);
  window.setCancelEnabled(true);
  struct CancelOff {
    Window& window;
    ~CancelOff() { window.setCancelEnabled(false); }
  } cancelOff{window};
  MuxPhase phase(window, fileNamePart(files.mkv.path), stopRequested);
  phase.muxProgress(0);
  const MuxResult result = runMkvmerge({mkvmerge, files.optionFile, files.mkv.path}, phase);

  if (result.outcome == MuxOutcome::Cancelled) {
    window.log(muxFailureText(result) +
               (result.outputRemoved ? ": the partial " + files.mkv.name + " was removed" : ""));
    return;
  }
  if (result.outcome != MuxOutcome::Success && result.outcome != MuxOutcome::Warnings) {
    const std::string failure = muxFailureText(result);
    window.log(failure);
    throw Error(failure);
  }

  // The files made for the MKV go only once mkvmerge's own reading of it finds every track in it.
  std::string reason;
  const std::optional<MkvSummary> summary = identifyMkv(mkvmerge, files.mkv.path, phase, reason);
  if (!summary) {
    window.log(reason + ": the files made for it stay");
    return;
  }
  window.log(mkvSummaryLine(files.mkv.name, *summary));
  if (summary->tracks != files.tracks) {
    window.log(files.mkv.name + " holds " + std::to_string(summary->tracks) + " tracks of the " +
               std::to_string(files.tracks) + " given to mkvmerge: the files made for it stay");
    return;
  }
  for (const WrittenFile& file : files.removeAfter) {
    window.log("Removing " + file.name);
    if (!removeFile(file.path))
      window.log("Cannot remove " + file.name);
  }
}

}  // namespace ardunex
