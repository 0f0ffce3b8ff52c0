// SPDX-License-Identifier: GPL-2.0-or-later
// The main window as the settings see it: placement, tree width and options.
#pragma once

#include "settings/settings_target.h"

namespace ardunex {

class TfMain;

/// Reads and applies the saved values on a TfMain.
class WindowSettings : public SettingsTarget {
 public:
  explicit WindowSettings(TfMain& window) : m_window(window) {}

  int windowLeft() const override;
  void setWindowLeft(int left) override;
  int windowTop() const override;
  void setWindowTop(int top) override;
  int windowWidth() const override;
  void setWindowWidth(int width) override;
  int windowHeight() const override;
  void setWindowHeight(int height) override;
  WindowState windowState() const override;
  void setWindowState(WindowState state) override;
  int minimumWindowWidth() const override;
  int minimumWindowHeight() const override;

  int treeWidth() const override;
  void setTreeWidth(int width) override;

  std::string audioExt() const override;
  void setAudioExt(std::string_view text) override;
  std::string videoExt() const override;
  void setVideoExt(std::string_view text) override;
  std::string workdir() const override;
  void setWorkdir(std::string_view text) override;
  bool continueOnSecond() const override;
  void setContinueOnSecond(bool ticked) override;
  bool fastCheck() const override;
  void setFastCheck(bool ticked) override;
  bool optionOn(Option option) const override;
  void setOptionOn(Option option, bool ticked) override;
  void logLine(std::string_view line) override;

 private:
  TfMain& m_window;
};

}  // namespace ardunex
