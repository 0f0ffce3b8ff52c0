// SPDX-License-Identifier: GPL-2.0-or-later
// What the files of the main window share: the design measures and the conversions of texts and paths.
#pragma once

#include <QFile>
#include <QString>
#include <QWidget>
#include <string>
#include <string_view>

namespace ardunex::ui {

inline constexpr int DESIGN_DPI = 96;
inline constexpr int CLIENT_WIDTH = 362;
inline constexpr int CLIENT_HEIGHT = 346;
inline constexpr int STATUS_BAR_HEIGHT = 21;
inline constexpr int TREE_WIDTH = 96;
inline constexpr int TREE_MIN_WIDTH = 50;
inline constexpr int FONT_PIXELS = 11;

inline constexpr const char* APPLICATION_TITLE = "HD DVD Ardunex";
/// Name of the property that keeps a stream box's hint; its tooltip adds a caption that does not fit.
inline constexpr const char* BOX_HINT = "ardunexHint";

/// The part of a hint that is shown: everything before a "|".
inline QString shownHint(const QString& hint) { return hint.section(QLatin1Char('|'), 0, 0); }

inline void setHint(QWidget* widget, const QString& hint) { widget->setToolTip(shownHint(hint)); }

inline QString pathText(std::string_view path) {
  return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

inline std::string pathString(const QString& path) { return QFile::encodeName(path).toStdString(); }

inline QString utf8Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

/// Box captions may come from a playlist: an "&" must show as itself, not as an access key.
inline QString plainCaption(std::string_view caption) {
  return QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()))
      .replace(QLatin1Char('&'), QLatin1String("&&"));
}

}  // namespace ardunex::ui
