// SPDX-License-Identifier: GPL-2.0-or-later
// The main window's reporting: the Status log, the status bar's two panels and the progress of a job.
#include <QApplication>
#include <QFontMetrics>

#include "ui/main_window.h"
#include "ui/main_window_common.h"
#include "ui/status_log.h"
#include "ui/status_panels.h"

namespace ardunex {

using namespace ui;

void TfMain::log(std::string_view text) {
  m_log->append(text);
  // A repeated line only counts; the count is shown at the next flush (a progress report, the end of the
  // command, or the next turn of the event loop), so a flood of identical lines costs next to nothing.
  if (m_log->pending() && !m_logFlushQueued) {
    m_logFlushQueued = true;
    QMetaObject::invokeMethod(this, &TfMain::flushLog, Qt::QueuedConnection);
  }
}

void TfMain::flushLog() {
  m_logFlushQueued = false;
  m_log->flush();
}

void TfMain::slog(std::string_view text, std::uint8_t panel) {
  if (panel > 1)
    return;
  const QString shown = utf8Text(text);
  const QString panelText = QLatin1Char(' ') + shown;
  const QFontMetrics metrics(m_statusBar->font());
  m_statusBar->setPanel(panel, panelText, metrics.horizontalAdvance(panelText + QLatin1Char('a')));
  if (panel == 1)
    m_statusBar->setToolTip(shown);
  m_statusBar->repaint();
}

QString TfMain::panelText(int panel) const { return m_statusBar->text(panel); }
int TfMain::panelWidth(int panel) const { return m_statusBar->panelWidth(panel); }

void TfMain::processEvents() {
  flushLog();
  QCoreApplication::processEvents();
}

void TfMain::repaint() {
  flushLog();
  QWidget::repaint();
}

}  // namespace ardunex
