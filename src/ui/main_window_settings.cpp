// SPDX-License-Identifier: GPL-2.0-or-later
// The values the settings read and write on the main window: its outer bounds and state, the tree's width
// and the Options page.
#include <QCheckBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QSplitter>
#include <QTabWidget>
#include <QTreeWidget>
#include <QWindow>
#include <algorithm>

#include "ui/main_window.h"
#include "ui/main_window_common.h"

namespace ardunex {

using namespace ui;

namespace {

/// How often, and for how long, the window asks for its frame after bounds were set before it was framed.
constexpr int FRAME_CHECK_MS = 50;
constexpr int FRAME_CHECKS = 60;
/// How many checks in a row must find the frame in place before the bounds count as applied.
constexpr int FRAME_SETTLED_CHECKS = 3;
/// The strip along the top of the window's frame where its title bar is: the window stays where it was saved
/// as long as some of this strip lies on a screen.
constexpr int TITLE_STRIP = 24;

/// Outer bounds the window system can show: no larger than the available area of the screen they are on
/// (nor smaller than the minimum), and moved onto the main screen when the strip of their title bar lies on
/// no screen at all. Bounds partly off a screen stay where they are.
QRect withinScreens(QRect bounds, QSize minimum, int titleStrip) {
  const QRect strip(bounds.topLeft(), QSize(bounds.width(), std::min(bounds.height(), titleStrip)));
  const QScreen* screen = nullptr;
  for (const QScreen* candidate : QGuiApplication::screens()) {
    if (candidate->availableGeometry().intersects(strip)) {
      screen = candidate;
      break;
    }
  }
  const bool reachable = screen != nullptr;
  if (!reachable)
    screen = QGuiApplication::primaryScreen();
  if (screen == nullptr)
    return bounds;
  const QRect area = screen->availableGeometry();
  bounds.setSize(bounds.size().boundedTo(area.size()).expandedTo(minimum));
  if (!reachable) {
    bounds.moveLeft(std::clamp(bounds.left(), area.left(), std::max(area.left(), area.right() + 1 - bounds.width())));
    bounds.moveTop(std::clamp(bounds.top(), area.top(), std::max(area.top(), area.bottom() + 1 - bounds.height())));
  }
  return bounds;
}

}  // namespace

QMargins TfMain::frameMargins() const {
  const QRect frame = frameGeometry();
  const QRect client = geometry();
  return QMargins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                  frame.bottom() - client.bottom());
}

TfMain::Placement TfMain::windowPlacement() const {
  Placement placement;
  placement.state = isMinimized()   ? WindowState::Minimised
                    : isMaximized() ? WindowState::Maximised
                                    : WindowState::Normal;
  // Bounds on their way to the window system are the window's bounds as far as the settings go: a close
  // before the window manager has framed the window saves what was read.
  const QRect normal = m_pendingBounds
                           ? *m_pendingBounds
                           : (isMaximized() || isMinimized() ? normalGeometry() : geometry()) + frameMargins();
  placement.left = normal.left();
  placement.top = normal.top();
  placement.width = normal.width();
  placement.height = normal.height();
  return placement;
}

void TfMain::setWindowBounds(int left, int top, int width, int height) {
  m_pendingBounds = QRect(left, top, width, height);
  placeBounds();
  // The window system answers later, and a window manager may frame the window only a while after it is
  // shown, when bounds taken for the client's would put the title bar off the screen. The bounds are
  // therefore kept and applied again until the frame stands where they say.
  m_frameChecksLeft = FRAME_CHECKS;
  m_frameSettled = 0;
  if (!m_frameWatch.isActive()) {
    m_frameWatch.setInterval(FRAME_CHECK_MS);
    connect(&m_frameWatch, &QTimer::timeout, this, &TfMain::watchFrame, Qt::UniqueConnection);
    m_frameWatch.start();
  }
}

void TfMain::placeBounds() {
  const QMargins margins = frameMargins();
  const QSize minimum = minimumOuterSize();
  QRect& bounds = *m_pendingBounds;
  // A size or place saved on another set of screens, or edited by hand, must not give a window larger than
  // any screen (its backing store alone would take gigabytes) or one nobody can reach.
  bounds = withinScreens(bounds, minimum, scaled(TITLE_STRIP));
  const QRect client = bounds - margins;
  if (!testAttribute(Qt::WA_WState_Created)) {
    move(bounds.topLeft());  // before the window exists a move places its frame
    resize(client.size());
    return;
  }
  // A maximised window keeps these as the bounds it takes when it is restored.
  setGeometry(client);
  // The widget compares with what the window system last reported, which may be out of date: ask for the
  // whole rectangle in any case.
  if (QWindow* handle = windowHandle(); handle != nullptr && isVisible() && !isMaximized() && !isMinimized())
    handle->setGeometry(client);
}

void TfMain::watchFrame() {
  if (!m_pendingBounds || isMaximized() || isMinimized()) {
    m_frameWatch.stop();  // a maximised window takes its bounds when it is restored (see event())
    return;
  }
  if (!frameMargins().isNull() && frameGeometry() == *m_pendingBounds) {
    if (++m_frameSettled >= FRAME_SETTLED_CHECKS) {
      m_pendingBounds.reset();
      m_frameWatch.stop();
    }
    return;
  }
  m_frameSettled = 0;
  if (--m_frameChecksLeft <= 0) {
    // No frame, or one the window manager keeps elsewhere: the window stands where the system put it.
    m_pendingBounds.reset();
    m_frameWatch.stop();
    return;
  }
  placeBounds();
}

void TfMain::restoredFromMaximised() {
  if (m_pendingBounds && !isMaximized() && !isMinimized() && !m_frameWatch.isActive()) {
    m_frameChecksLeft = FRAME_CHECKS;
    m_frameSettled = 0;
    placeBounds();
    m_frameWatch.start();
  }
}

QSize TfMain::minimumOuterSize() const {
  const QMargins margins = frameMargins();
  return minimumSize() + QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

void TfMain::setWindowStateValue(WindowState state) {
  switch (state) {
    case WindowState::Minimised:
      setWindowState((windowState() & ~(Qt::WindowMaximized | Qt::WindowFullScreen)) | Qt::WindowMinimized);
      break;
    case WindowState::Maximised:
      setWindowState((windowState() & ~(Qt::WindowMinimized | Qt::WindowFullScreen)) | Qt::WindowMaximized);
      break;
    case WindowState::Normal:
      setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
      break;
  }
}

int TfMain::treeWidth() const { return m_treeWidth; }

void TfMain::setTreeWidth(int width) {
  m_treeWidth = std::max(width, scaled(TREE_MIN_WIDTH));
  const QList<int> sizes = m_splXPL->sizes();
  const int total = sizes.size() == 2 && sizes[0] + sizes[1] > 0 ? sizes[0] + sizes[1] : m_designClient.width();
  m_splXPL->setSizes({m_treeWidth, std::max(total - m_treeWidth, 0)});
}

void TfMain::setWorkdir(const std::string& text) { m_eWorkdir->setText(pathText(text)); }
void TfMain::setVideoExt(const std::string& text) { m_eVideoExt->setText(QString::fromStdString(text)); }
void TfMain::setAudioExt(const std::string& text) { m_eAudioExt->setText(QString::fromStdString(text)); }
void TfMain::setContinueOnSecond(bool checked) { m_cbContinue->setChecked(checked); }
void TfMain::setFastCheck(bool checked) { m_cbFastCheck->setChecked(checked); }
void TfMain::setOptionOn(Option option, bool checked) {
  if (option == Option::MakeMkv && !m_mkvmergeFound)
    return;  // an MKV cannot be made here
  m_optionBoxes[static_cast<std::size_t>(option)]->setChecked(checked);
}

std::string TfMain::workdir() const { return pathString(m_eWorkdir->text()); }
std::string TfMain::videoExt() const { return m_eVideoExt->text().toStdString(); }
std::string TfMain::audioExt() const { return m_eAudioExt->text().toStdString(); }
bool TfMain::continueOnSecond() const { return m_cbContinue->isChecked(); }
bool TfMain::fastCheck() const { return m_cbFastCheck->isChecked(); }
bool TfMain::optionOn(Option option) const { return m_optionBoxes[static_cast<std::size_t>(option)]->isChecked(); }

// The page's boxes, fields and folder button, all at once; its tab stays, so the values can be looked at.
void TfMain::setOptionsEnabled(bool enabled) {
  m_pageControl->widget(static_cast<int>(Page::Options))->setEnabled(enabled);
}

}  // namespace ardunex
