// SPDX-License-Identifier: GPL-2.0-or-later
// Fuzz target: arbitrary bytes, cut into arbitrary blocks, through the walker and routing in both modes,
// with subpicture streams recognised and not.
//
// The first four input bytes choose the block sizes (1 to 766 bytes, in turn). Appends must come from inside
// the current block and never be empty; scan and demux must walk the same way, and so must the walker's
// shortcuts and its single-byte steps.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/run_observer.h"
#include "engine/stream_slot_table.h"
#include "engine/walker.h"
#include "outputs/sup_writer.h"
#include "replay_main.h"

namespace {

using namespace ardunex;
using Bytes = std::vector<std::uint8_t>;

[[noreturn]] void crash(const char* what) {
  std::fprintf(stderr, "walker_fuzz: %s\n", what);
  std::abort();
}

// An observer that keeps the log.
class FuzzObserver : public RunObserver {
 public:
  std::vector<std::string> lines;
  void log(std::string_view text) override { lines.emplace_back(text); }
};

// The block being walked: every append must come from inside it.
const std::uint8_t* g_blockBegin = nullptr;
const std::uint8_t* g_blockEnd = nullptr;

class CheckingOutput : public OutputFile {
 public:
  explicit CheckingOutput(Bytes& sink) : m_sink(sink) {}
  const std::string& path() const override { return m_path; }
  void append(const std::uint8_t* data, std::size_t count) override {
    if (count == 0 || count > static_cast<std::size_t>(g_blockEnd - g_blockBegin))
      crash("empty or oversized append");
    if (data < g_blockBegin || data + count > g_blockEnd)
      crash("append outside the block");
    m_sink.insert(m_sink.end(), data, data + count);
  }
  void close() override {}

 private:
  std::string m_path = "fuzz";
  Bytes& m_sink;
};

// The file of a SUP writer, which writes from its own memory rather than from the block.
class SinkOutput : public OutputFile {
 public:
  explicit SinkOutput(Bytes& sink) : m_sink(sink) {}
  const std::string& path() const override { return m_path; }
  void append(const std::uint8_t* data, std::size_t count) override { m_sink.insert(m_sink.end(), data, data + count); }
  void truncate(std::int64_t size) override {
    if (size < 0 || static_cast<std::uint64_t>(size) > m_sink.size())
      crash("cut beyond the file");
    m_sink.resize(static_cast<std::size_t>(size));
  }
  void close() override {}

 private:
  std::string m_path = "fuzz.sup";
  Bytes& m_sink;
};

struct Outcome {
  std::vector<Bytes> outputs = std::vector<Bytes>(34);  // video 0-1, audio 0-15, subpicture 0-15
  std::vector<std::string> log;
  std::vector<std::int32_t> slots;
  WalkerState state;
  std::vector<StreamRecord> inventory;
};

Outcome walkAll(const std::uint8_t* data, std::size_t size, Mode mode, const std::uint8_t* sizes, bool subpictures,
                bool byteWise = false) {
  Outcome outcome;
  FuzzObserver observer;
  StreamSlotTable table;
  PayloadRouter router(table);
  const auto add = [&router](Route route, int box, std::unique_ptr<StreamWriter> writer) {
    router.add(route, box, std::move(writer));
    router.setTicked(box, true);
  };
  for (int n = 0; n < 2; ++n)
    add({Route::By::VideoNumber, n}, videoBox(n),
        std::make_unique<RawWriter>(std::make_unique<CheckingOutput>(outcome.outputs[n])));
  for (int n = 0; n < 16; ++n)
    add({Route::By::AudioNumber, n}, audioBox(n),
        std::make_unique<RawWriter>(std::make_unique<CheckingOutput>(outcome.outputs[2 + n])));
  for (int n = 0; n < 16; ++n)
    add({Route::By::SubpictureNumber, n}, subBox(n),
        std::make_unique<SupWriter>(std::make_unique<SinkOutput>(outcome.outputs[18 + n]), observer, n));
  Walker walker(observer, table, router);
  StreamInventory inventory;
  router.setInventory(&inventory);
  router.begin(mode);
  walker.setByteWise(byteWise);
  walker.begin(mode, subpictures);
  // Copies of each block, so that a read beyond it is caught by the address sanitizer.
  for (std::size_t at = 0, k = 0; at < size; ++k) {
    std::size_t length = sizes ? 1 + sizes[k % 4] * 3u : 1;
    if (length > size - at)
      length = size - at;
    const Bytes block(data + at, data + at + length);
    g_blockBegin = block.data();
    g_blockEnd = block.data() + block.size();
    walker.walk(block.data(), block.size());
    const WalkerState& s = walker.state();
    if (s.VideoNumber < -1 || s.VideoNumber > 1 || s.AudioNumber < -1 || s.AudioNumber > 15 ||
        s.SubpictureNumber < -1 || s.SubpictureNumber > 15)
      crash("stream number out of range");
    if (!subpictures && (s.streamClass == StreamClass::Subpicture || s.SubpictureNumber != -1 || s.ShortSubHeader))
      crash("a subpicture recognised with the option off");
    at += length;
  }
  if (mode == Mode::Demux)
    router.finish(false);
  outcome.log = observer.lines;
  for (int slot = 1; slot <= StreamSlotTable::SLOT_COUNT; ++slot)
    outcome.slots.push_back(table.Get(slot));
  outcome.state = walker.state();
  inventory.finish();
  outcome.inventory = inventory.records();
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4)
    return 0;
  const std::uint8_t* sizes = data;
  data += 4;
  size -= 4;
  for (const bool subpictures : {false, true}) {
    const Outcome scan = walkAll(data, size, Mode::Scan, sizes, subpictures);
    const Outcome demux = walkAll(data, size, Mode::Demux, sizes, subpictures);
    // The mode decides only what is logged and written, never how the bytes are walked.
    if (scan.slots != demux.slots || scan.state != demux.state || scan.inventory != demux.inventory)
      crash("scan and demux walked differently");
    // Only the SUP writers log in demux mode, and only about their units.
    for (const std::string& line : demux.log)
      if (line.rfind("Subpicture stream number ", 0) != 0 || line.find(" found!") != std::string::npos)
        crash("demux mode logged");
    for (const Bytes& output : scan.outputs)
      if (!output.empty())
        crash("scan mode wrote a file");
    for (int n = 18; n < 34 && !subpictures; ++n)
      if (!demux.outputs[n].empty())
        crash("a subpicture written with the option off");
    // The shortcuts over headers and the bytes between packets must end exactly where the single-byte
    // steps end, with the same files, log, slots and state.
    const Outcome scanByteWise = walkAll(data, size, Mode::Scan, sizes, subpictures, true);
    const Outcome demuxByteWise = walkAll(data, size, Mode::Demux, sizes, subpictures, true);
    if (scan.log != scanByteWise.log || scan.slots != scanByteWise.slots || scan.state != scanByteWise.state ||
        scan.inventory != scanByteWise.inventory)
      crash("the shortcuts scanned differently from the single-byte steps");
    if (demux.outputs != demuxByteWise.outputs || demux.state != demuxByteWise.state || demux.log != demuxByteWise.log)
      crash("the shortcuts demuxed differently from the single-byte steps");
  }
  return 0;
}
