// The window's two-panel status bar: texts and widths as slog sets them, shortened to fit a narrow bar.
#pragma once

#include <QWidget>
#include <array>

class QLabel;

namespace ardunex {

/// Two text panels, the last reaching the right end of the bar. A text too wide for its panel is shown
/// shortened (see fitText), so that the numbers of a progress line and its remaining time stay readable;
/// the panel's tooltip then holds the whole text.
class StatusPanels : public QWidget {
 public:
  explicit StatusPanels(QWidget* parent);

  /// Sets a panel's text and the width slog asks for.
  void setPanel(int panel, const QString& text, int width);
  QString text(int panel) const { return m_texts[panel]; }
  int panelWidth(int panel) const { return m_widths[panel]; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void arrange();

  std::array<QLabel*, 2> m_panels{};
  std::array<QString, 2> m_texts;
  std::array<int, 2> m_widths{};
};

/// The text shortened to fit width pixels in the font: first the words before its first number lose their
/// middle (down to a lone ellipsis), then the other words theirs, then the start goes.
QString fitText(const QString& text, const QFontMetrics& metrics, int width);

}  // namespace ardunex
