// SPDX-License-Identifier: GPL-2.0-or-later
// The window of the command-line tool: controls as plain values, log on stdout, progress on stderr.
#pragma once

#include <atomic>
#include <cstdio>
#include <string>

#include "jobs/stream_names.h"
#include "jobs/value_window.h"

namespace ardunex {

class ConsoleWindow : public ValueWindow {
 public:
  /// out null: the log is not written anywhere.
  ConsoleWindow(std::FILE* out, std::FILE* err, bool showProgress);

  /// Set from the handler of SIGINT, SIGTERM and SIGHUP; the run stops before its next read like after a
  /// confirmed Cancel.
  static std::atomic<bool> interrupted;
  /// The signal that stopped the run (0 for none).
  static std::atomic<int> stopSignal;

  void log(std::string_view text) override;
  void slog(std::string_view text, std::uint8_t panel) override;
  void processEvents() override;
  void repaint() override {}
  bool confirm(std::string_view) override { return true; }

  /// Ends a progress line on the terminal so that the next output starts on a line of its own.
  void endProgress();

  /// Flushes the log; false once any write to it has failed. The first failure is reported on the error
  /// stream, and the run goes on.
  bool checkOutput();

  /// The tag lines are printed from the session's own list, so the memo keeps no copy of them.
  void setXplMemo(const std::vector<std::string>&) override {}

 private:
  std::FILE* m_out;
  std::FILE* m_err;
  bool m_showProgress;
  bool m_progressShown = false;
  bool m_outputLost = false;
};

}  // namespace ardunex
