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

bool hasDigit(const QString& word) {
  return std::any_of(word.begin(), word.end(), [](QChar c) { return c.isDigit(); });
}

}  // namespace

QString fitText(const QString& text, const QFontMetrics& metrics, int width) {
  if (metrics.horizontalAdvance(text) <= width)
    return text;
  // Words without digits (the verb, the file name, labels) give up their middle, the longest first;
  // numbers, sizes and times stay whole.
  QStringList words = text.split(QLatin1Char(' '));
  const QString ellipsis(QChar(0x2026));
  const int shortest = metrics.horizontalAdvance(QLatin1Char('x') + ellipsis + QLatin1Char('x'));
  for (;;) {
    const int over = metrics.horizontalAdvance(words.join(QLatin1Char(' '))) - width;
    if (over <= 0)
      return words.join(QLatin1Char(' '));
    int longest = -1;
    int longestWidth = shortest;
    for (int i = 0; i < words.size(); ++i) {
      const int wordWidth = metrics.horizontalAdvance(words[i]);
      if (!hasDigit(words[i]) && !words[i].contains(ellipsis) && wordWidth > longestWidth) {
        longest = i;
        longestWidth = wordWidth;
      }
    }
    if (longest < 0)
      break;
    words[longest] =
        metrics.elidedText(words[longest], Qt::ElideMiddle, std::max(shortest, longestWidth - over));
    if (!words[longest].contains(ellipsis))  // cannot shorten this word any further
      words[longest] += ellipsis;
  }
  return metrics.elidedText(words.join(QLatin1Char(' ')), Qt::ElideLeft, width);
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
  const int first = std::min(m_widths[0], std::max(1, static_cast<int>(width() * FIRST_PANEL_SHARE)));
  m_panels[0]->setGeometry(0, 0, first, h);
  m_panels[1]->setGeometry(first, 0, std::max(m_widths[1], width() - first), h);
  for (int i = 0; i < 2; ++i) {
    QLabel* label = m_panels[i];
    const int room = label->contentsRect().width();
    const QString shown = fitText(m_texts[i], label->fontMetrics(), room);
    label->setText(shown);
    label->setToolTip(shown == m_texts[i] ? QString() : m_texts[i].trimmed());
  }
}

}  // namespace ardunex
