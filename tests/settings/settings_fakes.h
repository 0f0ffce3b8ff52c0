// SPDX-License-Identifier: GPL-2.0-or-later
// Test doubles for the settings: a window made of plain values, an in-memory store, file helpers.
#pragma once

#include <array>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "jobs/options.h"
#include "settings/settings_store.h"
#include "settings/settings_target.h"

namespace ardunex::test {

/// A window in its design state that records which settings were applied, in order.
class FakeSettingsTarget : public SettingsTarget {
 public:
  int left = 0;
  int top = 0;
  int width = 370;
  int height = 380;
  WindowState state = WindowState::Normal;
  int tree = 96;
  std::string audio = "mpa";
  std::string video = "mpv";
  std::string work;
  bool continueTicked = true;
  bool fastTicked = true;
  std::array<bool, OPTION_COUNT> options = defaultOptions();
  std::vector<std::string> applied;

  int windowLeft() const override { return left; }
  void setWindowLeft(int v) override { left = v, applied.push_back("Left"); }
  int windowTop() const override { return top; }
  void setWindowTop(int v) override { top = v, applied.push_back("Top"); }
  int windowWidth() const override { return width; }
  void setWindowWidth(int v) override { width = v, applied.push_back("Width"); }
  int windowHeight() const override { return height; }
  void setWindowHeight(int v) override { height = v, applied.push_back("Height"); }
  WindowState windowState() const override { return state; }
  void setWindowState(WindowState v) override { state = v, applied.push_back("WindowState"); }
  int treeWidth() const override { return tree; }
  void setTreeWidth(int v) override { tree = v, applied.push_back("TreeWidth"); }
  std::string audioExt() const override { return audio; }
  void setAudioExt(std::string_view v) override { audio = v, applied.push_back("AudioExt"); }
  std::string videoExt() const override { return video; }
  void setVideoExt(std::string_view v) override { video = v, applied.push_back("VideoExt"); }
  std::string workdir() const override { return work; }
  void setWorkdir(std::string_view v) override { work = v, applied.push_back("Workdir"); }
  bool continueOnSecond() const override { return continueTicked; }
  void setContinueOnSecond(bool v) override { continueTicked = v, applied.push_back("Continue"); }
  bool fastCheck() const override { return fastTicked; }
  void setFastCheck(bool v) override { fastTicked = v, applied.push_back("FastCheck"); }
  bool optionOn(Option o) const override { return options[static_cast<std::size_t>(o)]; }
  void setOptionOn(Option o, bool v) override {
    options[static_cast<std::size_t>(o)] = v, applied.push_back(std::string(optionInfo(o).settingsKey));
  }
  std::vector<std::string> logged;
  void logLine(std::string_view line) override { logged.emplace_back(line); }
};

/// A window moved to left and 8 pixels above the screen's top, sized 640 by 480, with "Continue" cleared;
/// everything else as designed.
inline FakeSettingsTarget movedWindow(int left) {
  FakeSettingsTarget window;
  window.left = left;
  window.top = -8;
  window.width = 640;
  window.height = 480;
  window.continueTicked = false;
  return window;
}

/// A store that writes each value at once, as the registry does, and can refuse one value by name.
class MemorySettingsStore : public SettingsStore {
 public:
  bool keyExists = false;
  bool canOpen = true;
  std::string refuseWriteOf;
  std::vector<std::pair<std::string, RegValue>> values;  // in the order first written
  bool open = false;

  bool openKey(std::string_view, bool create) override {
    if (!canOpen || (!keyExists && !create))
      return false;
    keyExists = open = true;
    return true;
  }
  bool closeKey() override {
    open = false;
    return true;
  }
  bool valueExists(std::string_view name) const override { return readValue(name).has_value(); }
  std::optional<RegValue> readValue(std::string_view name) const override {
    for (const auto& [n, v] : values)
      if (n == name)
        return v;
    return std::nullopt;
  }
  bool writeValue(std::string_view name, const RegValue& value) override {
    if (!open || name == refuseWriteOf)
      return false;
    for (auto& [n, v] : values)
      if (n == name)
        return v = value, true;
    values.emplace_back(std::string(name), value);
    return true;
  }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& entry : values)
      out.push_back(entry.first);
    return out;
  }
};

inline std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

/// A settings file holding the program's key with the given value lines.
inline std::string settingsFile(const std::string& valueLines) {
  return "Windows Registry Editor Version 5.00\r\n\r\n"
         "[HKEY_CURRENT_USER\\Software\\Corvell Software\\Ardunex]\r\n" +
         valueLines + "\r\n";
}

}  // namespace ardunex::test
