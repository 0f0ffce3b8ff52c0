// SPDX-License-Identifier: GPL-2.0-or-later
// What an engine run tells the program around it, and the one thing it asks: the narrow port of the engine,
// the outputs and the codecs. The window extends it for the jobs; a run without a window observes it alone.
#pragma once

#include <cstdint>
#include <string_view>

namespace ardunex {

/// Watches an engine run. Only the log must be kept; everything else may be ignored.
class RunObserver {
 public:
  virtual ~RunObserver() = default;

  /// Appends a line to the log.
  virtual void log(std::string_view text) = 0;
  /// Sets status bar panel 0 or 1 (the panel shows a leading blank before text).
  virtual void slog(std::string_view text, std::uint8_t panel) {
    (void)text;
    (void)panel;
  }
  /// Lets the user act while the run goes on: Cancel among the pending events sets the run's stop request.
  virtual void processEvents() {}
  /// Repaints the whole window at once.
  virtual void repaint() {}
  /// How far the running phase of a job has got, in units of the phase's own (the engine: bytes of the
  /// file, or of all the clips of a title). Each phase (the walk of each part of a feature, the walk of a
  /// title's clips, a later mux) starts again from 0.
  virtual void progress(std::int64_t done, std::int64_t total) {
    (void)done;
    (void)total;
  }
  /// Whether Cancel can be clicked: while the engine's loop runs.
  virtual void setCancelEnabled(bool enabled) { (void)enabled; }
};

}  // namespace ardunex
