// SPDX-License-Identifier: GPL-2.0-or-later
// The engine loop: reads the input in 64 KiB blocks, walks them, reports progress every 4 MiB and obeys Cancel.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/file_io.h"
#include "codecs/stream_inventory.h"
#include "engine/payload_router.h"
#include "engine/stream_slot_table.h"
#include "engine/walker.h"

namespace ardunex {

class RunObserver;

inline constexpr std::size_t READ_BUFFER_SIZE = 65536;
inline constexpr std::int64_t PROGRESS_STEP = 4 * 1024 * 1024;
inline constexpr std::int64_t REFRESH_STEP = 64 * 1024 * 1024;
inline constexpr std::int64_t MBYTE = 1024 * 1024;

/// What a run keeps to from its start to its end, whatever happens on the Options page meanwhile.
struct RunOptions {
  /// A scan stops at the first progress report, after 4 MiB.
  bool fastCheck = true;
  /// Subpicture sub-streams are recognised.
  bool subpictures = false;
};

/// Where a run's file stands among the files a job reads as one (the clips of a title): the bytes of the files
/// before it, and of all of them. A total of 0 leaves a run's progress its own file's.
struct ProgressSpan {
  std::int64_t before = 0;
  std::int64_t total = 0;
};

/// State shared by the engine and the jobs for one run.
struct RunState {
  std::unique_ptr<ardunex::InputFile> InputFile;
  std::unique_ptr<std::uint8_t[]> ReadBuffer = std::make_unique<std::uint8_t[]>(READ_BUFFER_SIZE);
  bool CancelRequested = false;
  bool Demuxing = false;
};

/// Formats a remaining duration as a time of day in the global locale's time format (whole days dropped).
std::string formatRemainingTime(double seconds);

class Engine {
 public:
  using Clock = std::chrono::steady_clock;

  Engine(RunObserver& observer, StreamSlotTable& slots);

  /// Runs over InputFile from its position to its end (or to a stop), in scan or demux mode, with the
  /// options its job read at its start; span places the file among the files its job reads as one. A run
  /// empties the slots first, unless keepSlots: a later clip of a title goes on where the clips before left
  /// them, as one file would.
  void demux(Mode mode, const RunOptions& options, ProgressSpan span = {}, bool keepSlots = false);

  RunState& run() { return m_run; }
  const RunState& run() const { return m_run; }
  /// Where a demux's payload goes: the job hands it the outputs before the first run and closes them after
  /// the last.
  PayloadRouter& router() { return m_router; }
  const WalkerState& walkerState() const { return m_walker.state(); }

  /// Every stream the runs since its last reset met; a job resets it, so that both parts of a feature
  /// add to one inventory.
  StreamInventory& inventory() { return m_inventory; }
  const StreamInventory& inventory() const { return m_inventory; }
  /// Bytes the last run read.
  std::int64_t bytesRead() const { return m_bytesRead; }
  /// A flag raised from outside the loop (a signal handler): a run stops before its next read, as after a
  /// confirmed Cancel, so that the jobs close their files with what they hold.
  void setStopFlag(const std::atomic<bool>* flag) { m_stopFlag = flag; }

  /// Replaces the clock (tests make the estimate predictable).
  void setClock(std::function<Clock::time_point()> now) { m_now = std::move(now); }

 private:
  void reportProgress(Mode mode, std::int64_t position, std::int64_t size, ProgressSpan span, Clock::time_point start);

  RunObserver& m_observer;
  StreamSlotTable& m_slots;
  RunState m_run;
  StreamInventory m_inventory;
  PayloadRouter m_router;
  Walker m_walker;
  std::int64_t m_bytesRead = 0;
  const std::atomic<bool>* m_stopFlag = nullptr;
  std::function<Clock::time_point()> m_now = [] { return Clock::now(); };
};

}  // namespace ardunex
