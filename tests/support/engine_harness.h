// SPDX-License-Identifier: GPL-2.0-or-later
// An engine wired to a fake window, in-memory input and in-memory outputs for every stream number.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/payload_router.h"
#include "engine/stream_slot_table.h"
#include "engine/walker.h"
#include "outputs/sup_writer.h"
#include "support/fake_window.h"
#include "support/memory_files.h"
#include "support/ps_builder.h"

namespace ardunex::test {

/// A fake window that also records every change of a button's enabled state.
class RecordingWindow : public FakeWindow {
 public:
  std::vector<std::pair<Button, bool>> buttonChanges;
  void setButtonEnabled(Button button, bool enabled) override {
    buttonChanges.emplace_back(button, enabled);
    FakeWindow::setButtonEnabled(button, enabled);
  }
};

/// Routes the packets of route to a memory file holding out, its box ticked; returns the file.
inline MemoryOutputFile* routeToMemory(PayloadRouter& router, Route route, int box, Bytes& out) {
  auto file = std::make_unique<MemoryOutputFile>("out" + std::to_string(box), out);
  MemoryOutputFile* held = file.get();
  router.add(route, box, std::make_unique<RawWriter>(std::move(file)));
  router.setTicked(box, true);
  return held;
}

/// Routes every video and audio number to a memory file of its own, its box ticked.
inline void routeEveryNumber(PayloadRouter& router, std::array<Bytes, 2>& video, std::array<Bytes, 16>& audio) {
  for (int n = 0; n < 2; ++n)
    routeToMemory(router, {Route::By::VideoNumber, n}, videoBox(n), video[n]);
  for (int n = 0; n < 16; ++n)
    routeToMemory(router, {Route::By::AudioNumber, n}, audioBox(n), audio[n]);
}

struct EngineHarness {
  RecordingWindow window;
  StreamSlotTable slots;
  Engine engine{window, slots};
  std::array<Bytes, 2> video;
  std::array<Bytes, 16> audio;
  std::array<MemoryOutputFile*, 2> videoFile{};
  std::array<MemoryOutputFile*, 16> audioFile{};
  std::array<Bytes, 16> sub;
  MemoryInputFile* input = nullptr;

  /// Makes the bytes the engine's input file (size -1: the bytes' own size).
  MemoryInputFile& setInput(const Bytes& data, const std::string& path = "/disc/HVDVD_TS/FEATURE_1.EVO",
                            std::int64_t size = -1) {
    auto file = std::make_unique<MemoryInputFile>(path, data, size);
    input = file.get();
    engine.run().InputFile = std::move(file);
    return *input;
  }

  /// Opens an output file for every video and audio number and ticks its box.
  void openAllOutputs() {
    for (int n = 0; n < 2; ++n)
      videoFile[n] = routeToMemory(engine.router(), {Route::By::VideoNumber, n}, videoBox(n), video[n]);
    for (int n = 0; n < 16; ++n)
      audioFile[n] = routeToMemory(engine.router(), {Route::By::AudioNumber, n}, audioBox(n), audio[n]);
  }

  /// Turns subpictures on and opens a SUP writer for every subpicture number, its box ticked.
  void openSubpictureOutputs() {
    window.optionsOn[static_cast<std::size_t>(Option::Subpictures)] = true;
    for (int n = 0; n < 16; ++n) {
      auto file = std::make_unique<MemoryOutputFile>("sub" + std::to_string(n), sub[n]);
      engine.router().add({Route::By::SubpictureNumber, n}, subBox(n),
                          std::make_unique<SupWriter>(std::move(file), window, n));
      engine.router().setTicked(subBox(n), true);
    }
  }

  /// A run with the options the window shows.
  RunOptions options() const {
    return {window.fastCheckChecked, window.optionsOn[static_cast<std::size_t>(Option::Subpictures)]};
  }
  void scan() { engine.demux(Mode::Scan, options()); }
  void demux() { engine.demux(Mode::Demux, options()); }

  /// Scan, then demux with every output open and ticked.
  void scanAndDemuxAll(const Bytes& data) {
    setInput(data);
    scan();
    setInput(data);
    openAllOutputs();
    demux();
  }
};

inline Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts)
    out.insert(out.end(), part.begin(), part.end());
  return out;
}

}  // namespace ardunex::test
