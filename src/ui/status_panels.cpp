// SPDX-License-Identifier: GPL-2.0-or-later
// The window's two-panel status bar and the shortening of texts that do not fit their panel.
#include "ui/status_panels.h"

#include <QFontMetrics>
#include <QLabel>
#include <QStringList>
#include <algorithm>

namespace ardunex {

namespace {

/// The first panel never takes more than this share of the bar: the second holds the progress.
constexpr double FIRST_PANEL_SHARE = 0.4;

/// Numbers, sizes and times ("1256/2037", "00:12:34") are what a progress line is read for.
bool isNumber(const QString& word) {
  return std::none_of(word.begin(), word.end(), [](QChar c) { return c.isLetter(); });
}

}  // namespace

QString fitText(const QString& text, const QFontMetrics& metrics, int width) {
  if (metrics.horizontalAdvance(text) <= width)
    return text;
  // The blanks before the text (slog puts one there) stay in front of it.
  const auto blanks =
      static_cast<int>(std::find_if(text.begin(), text.end(), [](QChar c) { return c != u' '; }) - text.begin());
  if (blanks > 0 && blanks < text.size()) {
    const QString lead = text.left(blanks);
    // Widths measured apart may round to a pixel less than together.
    for (int room = width - metrics.horizontalAdvance(lead); room > 0; --room) {
      QString shown = lead + fitText(text.mid(blanks), metrics, room);
      if (metrics.horizontalAdvance(shown) <= width)
        return shown;
    }
    return QString();
  }
  const QString ellipsis(QChar(0x2026));
  const QStringList words = text.split(QLatin1Char(' '));
  auto isValue = [](const QString& word) { return !word.isEmpty() && isNumber(word); };
  const auto firstNumber = static_cast<int>(std::find_if(words.begin(), words.end(), isValue) - words.begin());
  if (firstNumber == words.size())
    return metrics.elidedText(text, Qt::ElideRight, width);
  // The verb, the file name (the words up to the first number) and the numbers with their labels.
  const QString name = QStringList(words.mid(1, firstNumber - 1)).join(QLatin1Char(' '));
  QStringList tail = words.mid(firstNumber);
  auto line = [&](const QString& shownName) {
    QStringList parts = words.mid(0, std::min(firstNumber, 1));
    if (!shownName.isEmpty())
      parts << shownName;
    return (parts + tail).join(QLatin1Char(' '));
  };
  // When even a lone ellipsis for the name leaves it too wide, the words that label the last number go
  // ("Remaining time:"); the unit after the number before stays.
  if (metrics.horizontalAdvance(line(name.isEmpty() ? QString() : ellipsis)) > width) {
    const auto last = static_cast<int>(tail.size()) - 1 -
                      static_cast<int>(std::find_if(tail.rbegin(), tail.rend(), isValue) - tail.rbegin());
    int from = last;
    while (from > 0 && !isValue(tail[from - 1]))
      --from;
    if (from + 1 < last)
      tail.erase(tail.begin() + from + 1, tail.begin() + last);
  }
  // The name takes what room is left, losing its middle; a pixel less while rounding leaves the line too wide.
  QString shortName;
  if (!name.isEmpty()) {
    for (int room = width - metrics.horizontalAdvance(line(QString()) + QLatin1Char(' ')); room >= 0; --room) {
      shortName = metrics.elidedText(name, Qt::ElideMiddle, room);
      if (shortName.isEmpty())
        shortName = ellipsis;
      if (metrics.horizontalAdvance(line(shortName)) <= width || shortName == ellipsis)
        break;
    }
  }
  const QString shown = line(shortName);
  return metrics.horizontalAdvance(shown) <= width ? shown : metrics.elidedText(shown, Qt::ElideRight, width);
}

StatusPanels::StatusPanels(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("StatusBar"));
  for (int i = 0; i < 2; ++i) {
    m_panels[i] = new QLabel(this);
    m_panels[i]->setObjectName(QStringLiteral("StatusBarPanel%1").arg(i));
    m_panels[i]->setTextFormat(Qt::PlainText);
    m_panels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_panels[i]->setIndent(0);
    m_panels[i]->setMargin(0);
    m_panels[i]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  }
}

void StatusPanels::setPanel(int panel, const QString& text, int width) {
  m_texts[panel] = text;
  m_widths[panel] = width;
  arrange();
}

void StatusPanels::resizeEvent(QResizeEvent*) { arrange(); }

void StatusPanels::arrange() {
  const int h = height();
  int end = width();
  for (QWidget* control : m_trailing) {
    if (control->isHidden())
      continue;
    const int w = control->minimumWidth() > 0 ? control->minimumWidth() : control->sizeHint().width();
    end -= w;
    control->setGeometry(end, 0, w, h);
  }
  const int first = std::min(m_widths[0], std::max(1, static_cast<int>(end * FIRST_PANEL_SHARE)));
  m_panels[0]->setGeometry(0, 0, first, h);
  m_panels[1]->setGeometry(first, 0, std::max(1, end - first), h);  // to the end of the bar, not beyond
  for (int i = 0; i < 2; ++i) {
    QLabel* label = m_panels[i];
    const int room = label->contentsRect().width();
    const QString shown = fitText(m_texts[i], label->fontMetrics(), room);
    label->setText(shown);
    label->setToolTip(shown == m_texts[i] ? QString() : m_texts[i].trimmed());
  }
}

}  // namespace ardunex
