// The window of the command-line tool: boxes and options as plain values, log on stdout, progress on stderr.
#pragma once

#include <array>
#include <atomic>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "engine/window.h"

namespace ardunex {

class Session;

class ConsoleWindow : public Window {
 public:
  struct Box {
    bool checked = false;
    bool enabled = false;
    std::string caption;
  };

  ConsoleWindow(std::FILE* out, std::FILE* err, bool showProgress);

  Session* session = nullptr;
  /// Set from the SIGINT handler; the next progress report stops the run like a confirmed Cancel.
  static std::atomic<bool> interrupted;

  std::string workdirText;
  std::string videoExtText = "mpv";
  std::string audioExtText = "mpa";
  bool continueChecked = true;
  bool fastCheckChecked = true;

  std::vector<std::string> xplMemo;
  std::vector<TreeNode> xplTree;

  void log(std::string_view text) override;
  void slog(std::string_view text, std::uint8_t panel) override;
  void processEvents() override;
  void repaint() override {}
  bool confirm(std::string_view) override { return true; }

  bool boxChecked(int box) const override { return m_boxes[box].checked; }
  void setBoxChecked(int box, bool checked) override;
  bool boxEnabled(int box) const override { return m_boxes[box].enabled; }
  void setBoxEnabled(int box, bool enabled) override { m_boxes[box].enabled = enabled; }
  std::string boxCaption(int box) const override { return m_boxes[box].caption; }
  void setBoxCaption(int box, std::string_view caption) override { m_boxes[box].caption = caption; }

  bool buttonEnabled(Button button) const override;
  void setButtonEnabled(Button button, bool enabled) override { m_buttons[button] = enabled; }
  void showPage(Page) override {}

  std::string workdir() const override { return workdirText; }
  std::string videoExt() const override { return videoExtText; }
  std::string audioExt() const override { return audioExtText; }
  bool continueOnSecond() const override { return continueChecked; }
  bool fastCheck() const override { return fastCheckChecked; }

  std::string evoFileText() const override { return m_evoFile; }
  void setEvoFileText(std::string_view text) override { m_evoFile = text; }
  std::string xplFileText() const override { return m_xplFile; }
  void setXplFileText(std::string_view text) override { m_xplFile = text; }

  void setXplMemoVisible(bool) override {}
  void setXplMemo(const std::vector<std::string>& lines) override { xplMemo = lines; }
  void setXplTree(const std::vector<TreeNode>& roots) override { xplTree = roots; }

  /// Ends a progress line on the terminal so that the next output starts on a line of its own.
  void endProgress();

 private:
  std::FILE* m_out;
  std::FILE* m_err;
  bool m_showProgress;
  bool m_progressShown = false;
  std::array<Box, BOX_COUNT> m_boxes{};
  std::map<Button, bool> m_buttons;
  std::string m_evoFile;
  std::string m_xplFile;
};

/// The window's name of a box: cbVideo0, cbAudio03, cbSub15.
std::string boxName(int box);

}  // namespace ardunex
