// SPDX-License-Identifier: GPL-2.0-or-later
// The window's two-panel status bar: texts and widths as slog sets them, shortened to fit a narrow bar.
#pragma once

#include <QWidget>
#include <array>
#include <vector>

class QLabel;

namespace ardunex {

/// Two text panels, the last reaching the right end of the bar or the first of the trailing controls shown
/// there (a progress bar, a button). A text too wide for its panel is shown shortened (see fitText), so that
/// the verb, the numbers and the remaining time of a progress line stay readable; the panel's tooltip then
/// holds the whole text.
class StatusPanels : public QWidget {
 public:
  explicit StatusPanels(QWidget* parent);

  /// Sets a panel's text and the width slog asks for.
  void setPanel(int panel, const QString& text, int width);
  QString text(int panel) const { return m_texts[panel]; }
  int panelWidth(int panel) const { return m_widths[panel]; }
  /// A control at the right end of the bar, when it is shown; call arrange() after showing or hiding it.
  void addTrailing(QWidget* control) { m_trailing.push_back(control); }
  void arrange();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  std::vector<QWidget*> m_trailing;

  std::array<QLabel*, 2> m_panels{};
  std::array<QString, 2> m_texts;
  std::array<int, 2> m_widths{};
};

/// The text shortened to fit width pixels in the font. A progress line ("Demuxing NAME 1256/2037 Mbytes,
/// Remaining time: 00:12:34") first shortens the name between its first word and its first number, down to
/// a lone ellipsis, then drops the words that label its last number; the verb and the numbers stay. A text
/// without numbers, or one still too wide, loses its end.
QString fitText(const QString& text, const QFontMetrics& metrics, int width);

}  // namespace ardunex
