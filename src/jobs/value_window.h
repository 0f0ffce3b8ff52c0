// SPDX-License-Identifier: GPL-2.0-or-later
// A window whose controls are plain values: the base of the console front end and of the test window.
#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

#include "base/window.h"
#include "jobs/options.h"

namespace ardunex {

class Session;

/// Keeps every control's state as a value and runs the selection rule on a change of a box, as real
/// check boxes do; the reporting side (log, status bar, events, questions) is left to the subclass.
class ValueWindow : public Window {
 public:
  struct Box {
    bool checked = false;
    bool enabled = false;
    std::string caption;
  };

  /// The session whose selection rule runs on every change of a box's checked state.
  Session* session = nullptr;

  std::array<Box, BOX_COUNT> boxes{};
  /// What the window would show of each box's stream after its hint.
  std::array<std::string, BOX_COUNT> boxDetails{};
  std::map<Button, bool> buttons{{Button::BrowseEvo, true}, {Button::BrowseXpl, true}, {Button::BrowseDisc, true}};
  Page page = Page::Status;

  std::string workdirText;
  std::string videoExtText = "mpv";
  std::string audioExtText = "mpa";
  bool continueChecked = true;
  bool fastCheckChecked = true;
  /// The opt-in options, indexed by Option; as they stand by default.
  std::array<bool, OPTION_COUNT> optionsOn = defaultOptions();
  /// Whether the Options page is available (it is not while a job runs).
  bool optionsEnabled = true;

  std::string evoFile;
  std::string xplFile;
  bool xplMemoVisible = true;
  std::vector<std::string> xplMemo;
  std::vector<TreeNode> xplTree;
  std::vector<TitleRow> titles;
  int chosenTitle = -1;

  /// A click of the user on a box: toggles it when enabled.
  void click(int box);

  bool boxChecked(int box) const override { return boxes[box].checked; }
  void setBoxChecked(int box, bool checked) override;
  bool boxEnabled(int box) const override { return boxes[box].enabled; }
  void setBoxEnabled(int box, bool enabled) override { boxes[box].enabled = enabled; }
  std::string boxCaption(int box) const override { return boxes[box].caption; }
  void setBoxCaption(int box, std::string_view caption) override { boxes[box].caption = caption; }
  void setBoxDetail(int box, std::string_view detail) override { boxDetails[box] = detail; }

  bool buttonEnabled(Button button) const override;
  void setButtonEnabled(Button button, bool enabled) override { buttons[button] = enabled; }
  void showPage(Page p) override { page = p; }

  std::string workdir() const override { return workdirText; }
  std::string videoExt() const override { return videoExtText; }
  std::string audioExt() const override { return audioExtText; }
  bool continueOnSecond() const override { return continueChecked; }
  bool fastCheck() const override { return fastCheckChecked; }
  bool optionOn(Option option) const override { return optionsOn[static_cast<std::size_t>(option)]; }
  void setOptionsEnabled(bool enabled) override { optionsEnabled = enabled; }

  std::string evoFileText() const override { return evoFile; }
  void setEvoFileText(std::string_view text) override { evoFile = text; }
  std::string xplFileText() const override { return xplFile; }
  void setXplFileText(std::string_view text) override { xplFile = text; }

  void setXplMemoVisible(bool visible) override { xplMemoVisible = visible; }
  void setXplMemo(const std::vector<std::string>& lines) override { xplMemo = lines; }
  void setXplTree(const std::vector<TreeNode>& roots) override { xplTree = roots; }
  void setTitles(const std::vector<TitleRow>& rows) override { titles = rows; }
  void selectTitle(int row) override { chosenTitle = row; }
};

}  // namespace ardunex
