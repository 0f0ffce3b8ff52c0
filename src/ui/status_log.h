// SPDX-License-Identifier: GPL-2.0-or-later
// The Status page's log: a bounded memo in which a run of identical lines shows once, with its count.
#pragma once

#include <QString>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

class QPlainTextEdit;

namespace ardunex {

/// Keeps the log memo bounded however much a job logs: a run of identical lines is one line with its
/// count ("short audio packet (233,016 times)"), at most MAX_LINES lines are kept, and once older lines have
/// been dropped a first line says how many. Lines are collected at once and shown at the next flush.
class StatusLog {
 public:
  static constexpr int MAX_LINES = 10000;

  explicit StatusLog(QPlainTextEdit* memo);

  /// Adds a line; costs a comparison when it repeats the last one.
  void append(std::string_view text);
  /// Shows what was added since the last flush.
  void flush();
  /// Whether lines were added that the memo does not show yet.
  bool pending() const { return m_pending; }

  /// The line shown for a text that came count times in a row.
  static QString shownLine(const std::string& text, std::uint64_t count);
  /// The first line once lines were dropped.
  static QString droppedLine(std::uint64_t dropped);

 private:
  struct Entry {
    std::uint64_t id;
    std::string text;
    std::uint64_t count;
  };

  void rebuild();

  QPlainTextEdit* m_memo;
  std::deque<Entry> m_entries;
  std::uint64_t m_nextId = 0;
  std::uint64_t m_dropped = 0;
  bool m_pending = false;
  // What the memo shows: the entries from m_shownFirst to m_shownLast, the last with m_shownCount, and
  // the dropped line when m_shownDropped is not 0.
  bool m_shownAny = false;
  std::uint64_t m_shownFirst = 0;
  std::uint64_t m_shownLast = 0;
  std::uint64_t m_shownCount = 0;
  std::uint64_t m_shownDropped = 0;
};

}  // namespace ardunex
