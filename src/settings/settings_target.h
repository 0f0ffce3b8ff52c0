// SPDX-License-Identifier: GPL-2.0-or-later
// What the settings read from and apply to: the window's placement, the playlist tree and the options.
#pragma once

#include <string>
#include <string_view>

#include "base/window.h"
#include "jobs/options.h"

namespace ardunex {

/// The window never gets smaller than its design size, frame included (with the frame of the platform
/// the sizes were designed on).
inline constexpr int MIN_WINDOW_WIDTH = 370;
inline constexpr int MIN_WINDOW_HEIGHT = 380;

/// The window's state as the settings store it.
enum class WindowState : int { Normal = 0, Minimised = 1, Maximised = 2 };

/// Implemented by the window. Every setter applies its value at once, so that values applied before a
/// failed read stay in effect. Placement is the outer frame on the screen, in pixels; while the window
/// is maximised or minimised the placement getters give its normal (restored) bounds.
class SettingsTarget {
 public:
  virtual ~SettingsTarget() = default;

  virtual int windowLeft() const = 0;
  virtual void setWindowLeft(int left) = 0;
  virtual int windowTop() const = 0;
  virtual void setWindowTop(int top) = 0;
  virtual int windowWidth() const = 0;
  virtual void setWindowWidth(int width) = 0;
  virtual int windowHeight() const = 0;
  virtual void setWindowHeight(int height) = 0;
  virtual WindowState windowState() const = 0;
  virtual void setWindowState(WindowState state) = 0;
  /// The smallest outer size: the design size with the frame this window system really draws, so that a
  /// saved size is read back as the same window and not grown to another platform's frame.
  virtual int minimumWindowWidth() const { return MIN_WINDOW_WIDTH; }
  virtual int minimumWindowHeight() const { return MIN_WINDOW_HEIGHT; }

  /// Width of the playlist tree.
  virtual int treeWidth() const = 0;
  virtual void setTreeWidth(int width) = 0;

  /// The Options page (eAudioExt, eVideoExt, eWorkdir, cbContinue, cbFastCheck).
  virtual std::string audioExt() const = 0;
  virtual void setAudioExt(std::string_view text) = 0;
  virtual std::string videoExt() const = 0;
  virtual void setVideoExt(std::string_view text) = 0;
  virtual std::string workdir() const = 0;
  virtual void setWorkdir(std::string_view text) = 0;
  virtual bool continueOnSecond() const = 0;
  virtual void setContinueOnSecond(bool ticked) = 0;
  virtual bool fastCheck() const = 0;
  virtual void setFastCheck(bool ticked) = 0;
  /// The opt-in options' check boxes; a target without them keeps them as they stand by default.
  virtual bool optionOn(Option option) const { return defaultOptions()[static_cast<std::size_t>(option)]; }
  virtual void setOptionOn(Option, bool) {}

  /// A line for the window's log (a damaged settings file kept aside); a target without a log drops it.
  virtual void logLine(std::string_view line) { (void)line; }
};

}  // namespace ardunex
