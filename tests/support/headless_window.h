// SPDX-License-Identifier: GPL-2.0-or-later
// A window that shows nothing and holds nothing, for running the engine without one (benchmarks,
// fuzzing); a user overrides what it needs to see or answer.
#pragma once

#include "base/window.h"

namespace ardunex {

class HeadlessWindow : public Window {
 public:
  void log(std::string_view) override {}
  void slog(std::string_view, std::uint8_t) override {}
  void processEvents() override {}
  void repaint() override {}
  bool confirm(std::string_view) override { return false; }

  bool boxChecked(int) const override { return false; }
  void setBoxChecked(int, bool) override {}
  bool boxEnabled(int) const override { return false; }
  void setBoxEnabled(int, bool) override {}
  std::string boxCaption(int) const override { return {}; }
  void setBoxCaption(int, std::string_view) override {}

  bool buttonEnabled(Button) const override { return false; }
  void setButtonEnabled(Button, bool) override {}
  void showPage(Page) override {}

  std::string workdir() const override { return {}; }
  std::string videoExt() const override { return "mpv"; }
  std::string audioExt() const override { return "mpa"; }
  bool continueOnSecond() const override { return false; }
  bool fastCheck() const override { return false; }
  bool optionOn(Option) const override { return false; }

  std::string evoFileText() const override { return {}; }
  void setEvoFileText(std::string_view) override {}
  std::string xplFileText() const override { return {}; }
  void setXplFileText(std::string_view) override {}

  void setXplMemoVisible(bool) override {}
  void setXplMemo(const std::vector<std::string>&) override {}
  void setXplTree(const std::vector<TreeNode>&) override {}
};

}  // namespace ardunex
