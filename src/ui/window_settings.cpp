// SPDX-License-Identifier: GPL-2.0-or-later
// The main window as the settings see it: each value applied at once to the window.
#include "ui/window_settings.h"

#include "ui/main_window.h"

namespace ardunex {

int WindowSettings::windowLeft() const { return m_window.windowPlacement().left; }
int WindowSettings::windowTop() const { return m_window.windowPlacement().top; }
int WindowSettings::windowWidth() const { return m_window.windowPlacement().width; }
int WindowSettings::windowHeight() const { return m_window.windowPlacement().height; }
WindowState WindowSettings::windowState() const { return m_window.windowPlacement().state; }

void WindowSettings::setWindowLeft(int left) {
  const TfMain::Placement p = m_window.windowPlacement();
  m_window.setWindowBounds(left, p.top, p.width, p.height);
}

void WindowSettings::setWindowTop(int top) {
  const TfMain::Placement p = m_window.windowPlacement();
  m_window.setWindowBounds(p.left, top, p.width, p.height);
}

void WindowSettings::setWindowWidth(int width) {
  const TfMain::Placement p = m_window.windowPlacement();
  m_window.setWindowBounds(p.left, p.top, width, p.height);
}

void WindowSettings::setWindowHeight(int height) {
  const TfMain::Placement p = m_window.windowPlacement();
  m_window.setWindowBounds(p.left, p.top, p.width, height);
}

void WindowSettings::setWindowState(WindowState state) { m_window.setWindowStateValue(state); }
int WindowSettings::minimumWindowWidth() const { return m_window.minimumOuterSize().width(); }
int WindowSettings::minimumWindowHeight() const { return m_window.minimumOuterSize().height(); }

int WindowSettings::treeWidth() const { return m_window.treeWidth(); }
void WindowSettings::setTreeWidth(int width) { m_window.setTreeWidth(width); }

std::string WindowSettings::audioExt() const { return m_window.audioExt(); }
void WindowSettings::setAudioExt(std::string_view text) { m_window.setAudioExt(std::string(text)); }
std::string WindowSettings::videoExt() const { return m_window.videoExt(); }
void WindowSettings::setVideoExt(std::string_view text) { m_window.setVideoExt(std::string(text)); }
std::string WindowSettings::workdir() const { return m_window.workdir(); }
void WindowSettings::setWorkdir(std::string_view text) { m_window.setWorkdir(std::string(text)); }
bool WindowSettings::continueOnSecond() const { return m_window.continueOnSecond(); }
void WindowSettings::setContinueOnSecond(bool ticked) { m_window.setContinueOnSecond(ticked); }
bool WindowSettings::fastCheck() const { return m_window.fastCheck(); }
void WindowSettings::setFastCheck(bool ticked) { m_window.setFastCheck(ticked); }
bool WindowSettings::optionOn(Option option) const { return m_window.optionOn(option); }
void WindowSettings::setOptionOn(Option option, bool ticked) { m_window.setOptionOn(option, ticked); }
void WindowSettings::logLine(std::string_view line) { m_window.log(line); }

}  // namespace ardunex
