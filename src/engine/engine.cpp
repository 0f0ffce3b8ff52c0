// SPDX-License-Identifier: GPL-2.0-or-later
// The engine loop and its progress text.
#include "engine/engine.h"

#include <ctime>
#include <locale>
#include <sstream>

#include "base/errors.h"
#include "base/run_observer.h"

namespace ardunex {

std::string formatRemainingTime(double seconds) {
  if (!(seconds > 0))
    seconds = 0;
  const auto whole = static_cast<long long>(seconds) % 86400;  // whole days are dropped
  std::tm tm{};
  tm.tm_hour = static_cast<int>(whole / 3600);
  tm.tm_min = static_cast<int>(whole / 60 % 60);
  tm.tm_sec = static_cast<int>(whole % 60);
  tm.tm_mday = 1;
  std::ostringstream out;
  out.imbue(std::locale());
  std::use_facet<std::time_put<char>>(out.getloc()).put(out, out, ' ', &tm, 'X');
  return out.str();
}

Engine::Engine(RunObserver& observer, StreamSlotTable& slots)
    : m_observer(observer), m_slots(slots), m_router(slots), m_walker(observer, slots, m_router) {
  m_router.setInventory(&m_inventory);
}

void Engine::demux(Mode mode, const RunOptions& options, ProgressSpan span, bool keepSlots) {
  m_observer.setCancelEnabled(true);
  // Cancel is only meaningful while the loop runs, whatever way it ends.
  struct CancelOff {
    RunObserver& observer;
    ~CancelOff() { observer.setCancelEnabled(false); }
  } cancelOff{m_observer};

  m_run.CancelRequested = false;
  m_run.Demuxing = mode == Mode::Demux;
  m_walker.begin(mode, options.subpictures);
  m_router.begin(mode);
  const Clock::time_point start = m_now();
  if (!keepSlots)
    m_slots.Reset();

  InputFile& input = *m_run.InputFile;
  const std::int64_t startPosition = input.position();
  m_bytesRead = 0;
  std::uint8_t* buffer = m_run.ReadBuffer.get();
  // The size is asked again only when the position reaches it, so a file that grows while it is read is
  // still read to its end without a system call per block.
  std::int64_t size = input.size();
  for (;;) {
    if (input.position() >= size)
      size = input.size();
    if (m_stopFlag != nullptr && m_stopFlag->load(std::memory_order_relaxed))
      m_run.CancelRequested = true;
    if (input.position() >= size || m_run.CancelRequested)
      break;
    const std::size_t length = input.read(buffer, READ_BUFFER_SIZE);
    if (length == 0)
      throw StreamReadError(input.path(), ENDS_BEFORE_ITS_SIZE);  // a failing medium
    const std::int64_t position = input.position();
    if (position % PROGRESS_STEP == 0) {
      reportProgress(mode, position, size, span, start);
      if (mode == Mode::Scan && options.fastCheck)
        m_run.CancelRequested = true;
      m_observer.processEvents();
    }
    if (position % REFRESH_STEP == 0)
      m_observer.repaint();
    m_walker.walk(buffer, length);
    m_bytesRead = position - startPosition;
  }
}

void Engine::reportProgress(Mode mode, std::int64_t position, std::int64_t size, ProgressSpan span,
                            Clock::time_point start) {
  // Over several files the sizes are those of them all, and the estimate what is left of them at this run's pace.
  const std::int64_t done = span.total > 0 ? span.before + position : position;
  const std::int64_t total = span.total > 0 ? span.total : size;
  const double elapsed = std::chrono::duration<double>(m_now() - start).count();
  const long double ratio = static_cast<long double>(total - span.before) / static_cast<long double>(position);
  const double remaining = static_cast<double>(elapsed * (ratio - 1));
  std::string text = mode == Mode::Scan ? "Reading " : "Demuxing ";
  text += fileNamePart(m_run.InputFile->path());
  text += ' ';
  text += std::to_string(done / MBYTE);
  text += '/';
  text += std::to_string(total / MBYTE);
  text += " Mbytes, Remaining time: ";
  text += formatRemainingTime(remaining);
  m_observer.slog(text, 1);
  m_observer.progress(done, total);
}

}  // namespace ardunex
