// SPDX-License-Identifier: GPL-2.0-or-later
// The Status page's log: collapsing runs of identical lines, dropping the oldest, and showing the changes.
#include "ui/status_log.h"

#include <QLocale>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace ardunex {

namespace {

QString grouped(std::uint64_t number) { return QLocale(QLocale::English).toString(static_cast<qulonglong>(number)); }

QString fromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

/// Selects the whole line of a block, its line break included when another block follows.
void selectBlocks(QTextCursor& cursor, const QTextBlock& first, int count) {
  cursor.setPosition(first.position());
  cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, count);
  if (cursor.position() == first.position() || !cursor.block().isValid())
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
}

}  // namespace

StatusLog::StatusLog(QPlainTextEdit* memo) : m_memo(memo) { m_memo->document()->setUndoRedoEnabled(false); }

QString StatusLog::shownLine(const std::string& text, std::uint64_t count) {
  const QString line = fromUtf8(text);
  return count < 2 ? line : QStringLiteral("%1 (%2 times)").arg(line, grouped(count));
}

QString StatusLog::droppedLine(std::uint64_t dropped) {
  return dropped == 1 ? QStringLiteral("1 earlier line dropped.")
                      : QStringLiteral("%1 earlier lines dropped.").arg(grouped(dropped));
}

void StatusLog::append(std::string_view text) {
  m_pending = true;
  if (!m_entries.empty() && m_entries.back().text == text) {
    ++m_entries.back().count;
    return;
  }
  m_entries.push_back({m_nextId++, std::string(text), 1});
  if (m_entries.size() > static_cast<std::size_t>(MAX_LINES)) {
    m_entries.pop_front();
    ++m_dropped;
  }
}

void StatusLog::rebuild() {
  QStringList lines;
  if (m_dropped != 0)
    lines << droppedLine(m_dropped);
  for (const Entry& entry : m_entries)
    lines << shownLine(entry.text, entry.count);
  m_memo->setPlainText(lines.join(QLatin1Char('\n')));
}

void StatusLog::flush() {
  if (!m_pending)
    return;
  m_pending = false;
  QScrollBar* scroll = m_memo->verticalScrollBar();
  const bool atEnd = scroll->value() == scroll->maximum();
  const Entry& first = m_entries.front();
  const Entry& last = m_entries.back();

  if (!m_shownAny || m_shownLast < first.id) {
    rebuild();
  } else {
    QTextDocument* document = m_memo->document();
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    // Lines dropped since the last flush leave the top, after the dropped line if there is one.
    const int droppedLineShown = m_shownDropped != 0 ? 1 : 0;
    if (first.id > m_shownFirst) {
      selectBlocks(cursor, document->findBlockByNumber(droppedLineShown), static_cast<int>(first.id - m_shownFirst));
      cursor.removeSelectedText();
    }
    if (m_dropped != m_shownDropped) {
      cursor.setPosition(0);
      if (droppedLineShown != 0)
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
      cursor.insertText(droppedLineShown != 0 ? droppedLine(m_dropped) : droppedLine(m_dropped) + QLatin1Char('\n'));
    }
    // The line shown last may have been repeated since.
    const auto shownLast = std::find_if(m_entries.begin(), m_entries.end(),
                                        [this](const Entry& entry) { return entry.id == m_shownLast; });
    if (shownLast->count != m_shownCount) {
      cursor.movePosition(QTextCursor::End);
      cursor.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
      cursor.insertText(shownLine(shownLast->text, shownLast->count));
    }
    QStringList added;
    for (auto entry = std::next(shownLast); entry != m_entries.end(); ++entry)
      added << shownLine(entry->text, entry->count);
    if (!added.isEmpty()) {
      cursor.movePosition(QTextCursor::End);
      cursor.insertText(QLatin1Char('\n') + added.join(QLatin1Char('\n')));
    }
    cursor.endEditBlock();
  }
  m_shownAny = true;
  m_shownFirst = first.id;
  m_shownLast = last.id;
  m_shownCount = last.count;
  m_shownDropped = m_dropped;
  if (atEnd)
    scroll->setValue(scroll->maximum());
}

}  // namespace ardunex
