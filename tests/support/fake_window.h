// SPDX-License-Identifier: GPL-2.0-or-later
// A window made of plain values, for driving the core headless in tests.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "jobs/value_window.h"

namespace ardunex {

class FakeWindow : public ValueWindow {
 public:
  std::vector<std::string> logLines;
  std::array<std::string, 2> panels{" Ready", " Select or drop an EVO file to demux"};
  std::vector<std::array<std::string, 2>> panelHistory;  // panel texts after each slog call
  int processEventsCalls = 0;
  int repaintCalls = 0;
  int confirmCalls = 0;
  bool confirmAnswer = false;
  /// Run inside processEvents: what the user does while a job runs.
  std::function<void()> onProcessEvents;

  void log(std::string_view text) override { logLines.emplace_back(text); }
  void slog(std::string_view text, std::uint8_t panel) override;
  void processEvents() override;
  void repaint() override { ++repaintCalls; }
  bool confirm(std::string_view) override {
    ++confirmCalls;
    return confirmAnswer;
  }

  /// Checks the status bar of a scan or demux that ran to its end: " Opening", then jobText in panel 0,
  /// finally " Ready" with panel 1 emptied. panelHistory must hold at least two entries.
  void expectStatusOfFinishedJob(const std::string& jobText) const;
};

}  // namespace ardunex
