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
  const QString ellipsis(QChar(0x2026));
  QStringList words = text.split(QLatin1Char(' '));
  // The words before the first number (the verb and the file name) give up their middle as one text,
  // down to a lone ellipsis; the numbers and what follows them (sizes, the remaining time) stay.
  const auto firstNumber =
      std::find_if(words.begin(), words.end(), [](const QString& word) { return !word.isEmpty() && isNumber(word); });
  const int headCount = static_cast<int>(firstNumber - words.begin());
  if (headCount > 0 && headCount < words.size()) {
    const QString head = QStringList(words.mid(0, headCount)).join(QLatin1Char(' '));
    const QString tail = QStringList(words.mid(headCount)).join(QLatin1Char(' '));
    const int room = width - metrics.horizontalAdvance(QLatin1Char(' ') + tail);
    if (room >= metrics.horizontalAdvance(ellipsis)) {
      QString shortHead = metrics.elidedText(head, Qt::ElideMiddle, room);
      if (shortHead.trimmed().isEmpty() || !shortHead.contains(ellipsis))
        shortHead = ellipsis;
      return shortHead + QLatin1Char(' ') + tail;
    }
    words = QStringList{ellipsis} + words.mid(headCount);
  }
  // Still too wide: the remaining words give up their middle, the longest first, down to their first and
  // last letter; then the start goes.
  const int shortest = metrics.horizontalAdvance(QLatin1Char('x') + ellipsis + QLatin1Char('x'));
  for (;;) {
    const int over = metrics.horizontalAdvance(words.join(QLatin1Char(' '))) - width;
    if (over <= 0)
      return words.join(QLatin1Char(' '));
    int longest = -1;
    int longestWidth = shortest;
    for (int i = 0; i < words.size(); ++i) {
      const int wordWidth = metrics.horizontalAdvance(words[i]);
      if (!isNumber(words[i]) && !words[i].contains(ellipsis) && wordWidth > longestWidth) {
        longest = i;
        longestWidth = wordWidth;
      }
    }
    if (longest < 0)
      break;
    const QString word = words[longest];
    words[longest] = metrics.elidedText(word, Qt::ElideMiddle, std::max(shortest, longestWidth - over));
    if (words[longest].size() < 3)  // no narrower than its first and last letter around the ellipsis
      words[longest] = word.front() + ellipsis + word.back();
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
  m_panels[1]->setGeometry(first, 0, std::max(1, width() - first), h);  // to the end of the bar, not beyond
  for (int i = 0; i < 2; ++i) {
    QLabel* label = m_panels[i];
    const int room = label->contentsRect().width();
    const QString shown = fitText(m_texts[i], label->fontMetrics(), room);
    label->setText(shown);
    label->setToolTip(shown == m_texts[i] ? QString() : m_texts[i].trimmed());
  }
}

}  // namespace ardunex
