// SPDX-License-Identifier: GPL-2.0-or-later
// The steps of a demux after its plan.
#include "jobs/demux_job.h"

#include "base/errors.h"
#include "jobs/remux_files.h"
#include "outputs/stream_writer.h"
#include "outputs/sup_writer.h"
#include "outputs/wav_writer.h"

namespace ardunex {

DemuxJob::DemuxJob(Window& window, FileSystem& fileSystem, Engine& engine, const DemuxPlan& plan)
    : m_window(window), m_fileSystem(fileSystem), m_engine(engine), m_plan(plan), m_guard(fileSystem) {}

DemuxJob::~DemuxJob() {
  m_engine.run().InputFile.reset();
  if (m_closed)
    return;
  try {
    m_engine.router().closeAll();  // keep what was written; the failure on its way is what is reported
  } catch (const Error&) {
  }
}

void DemuxJob::openFirstPart(const std::string& evoName) {
  m_window.log("Opening file " + evoName);
  m_window.slog("Opening", 0);
  RunState& run = m_engine.run();
  run.InputFile = m_fileSystem.openRead(m_plan.parts.front().path);
  m_window.log("File size: " + std::to_string(run.InputFile->size() / MBYTE) + " Mbytes.");
}

void DemuxJob::checkClips() {
  if (!m_plan.parts.front().clip)
    return;
  m_clipSizes.push_back(m_engine.run().InputFile->size());
  for (std::size_t k = 1; k < m_plan.parts.size(); ++k)
    m_clipSizes.push_back(m_fileSystem.openRead(m_plan.parts[k].path)->size());
}

void DemuxJob::guardOutputs(RemuxFiles& remux) {
  for (const GuardedInput& input : m_plan.inputs)
    m_guard.addInput(input.path, input.reason.data());  // a text of the guard's own
  for (const PlannedOutput& output : m_plan.outputs)
    m_guard.reserve(output.path);
  remux.reserve();
  if (!m_plan.folder.empty() && m_fileSystem.makeFolders(m_plan.folder))
    m_window.log("Creating folder " + m_plan.folder);
  m_guard.checkReserved();
}

void DemuxJob::createOutputs(RemuxFiles& remux) {
  // A box's second output (a WAV for the mux after the raw file) takes the same packets as its first.
  std::unique_ptr<StreamWriter> held;
  int heldBox = -1;
  Route heldRoute;
  const auto handOver = [&] {
    if (held)
      m_engine.router().add(heldRoute, heldBox, std::move(held));
  };
  for (const PlannedOutput& output : m_plan.outputs) {
    const auto box = static_cast<std::size_t>(output.box);
    std::unique_ptr<OutputFile> file = m_guard.create(output.path);
    m_created[box] = true;
    m_window.log("Creating " + output.name);
    if (output.unreadableLpcm)
      m_window.log("LPCM header cannot be read: " + output.name + " is written raw");
    std::unique_ptr<StreamWriter> writer;
    switch (output.kind) {
      case OutputKind::Sup:
        // A SUP file counts the whole units that reach it.
        writer =
            std::make_unique<SupWriter>(m_written.watch(std::move(file), output.name), m_window, output.route.value);
        break;
      case OutputKind::Wav: {
        auto wav = std::make_unique<WavWriter>(std::move(file), m_window);
        m_wavWriters[box] = wav.get();
        writer = m_written.watch(std::move(wav), output.name);
        break;
      }
      case OutputKind::Raw:
        writer = m_written.watch(std::make_unique<RawWriter>(std::move(file)), output.name);
        break;
    }
    if (held && heldBox == output.box) {
      writer = std::make_unique<TeeWriter>(std::move(held), std::move(writer));
    } else {
      handOver();
    }
    held = std::move(writer);
    heldBox = output.box;
    heldRoute = output.route;
    if (remux.wanted())
      remux.streamFile(output.box, output.name, output.kind == OutputKind::Wav, output.forMux);
  }
  handOver();
}

void DemuxJob::runParts(const RunOptions& options) {
  RunState& run = m_engine.run();
  // The progress of a title runs over all its clips.
  ProgressSpan span;
  for (const std::int64_t size : m_clipSizes)
    span.total += size;
  for (std::size_t k = 0; k < m_plan.parts.size(); ++k) {
    const InputPart& part = m_plan.parts[k];
    if (part.continuation) {
      if (run.CancelRequested || (!part.clip && !m_fileSystem.exists(part.path)))
        break;
      run.InputFile.reset();
      m_guard.refuseOutput(part.path);
      run.InputFile = m_fileSystem.openRead(part.path);
      m_window.log("Continue on " + fileNamePart(part.path));
    }
    if (k > 0 && k <= m_clipSizes.size())
      span.before += m_clipSizes[k - 1];
    m_engine.demux(Mode::Demux, options, span, part.clip && k > 0);  // a title's clips as one file
  }
  logUserStop(m_window, run, false, span);
}

DemuxOutcome DemuxJob::finish() {
  RunState& run = m_engine.run();
  run.InputFile.reset();
  PayloadRouter& router = m_engine.router();
  router.finish(run.CancelRequested);
  DemuxOutcome outcome;
  outcome.created = m_created;
  for (std::size_t box = 0; box < m_wavWriters.size(); ++box)
    outcome.silentWav[box] = m_wavWriters[box] && !m_wavWriters[box]->format();
  m_wavWriters.fill(nullptr);
  m_closed = true;
  router.closeAll();  // a failed flush or close is a write error like any other
  outcome.emptyNames = m_written.emptyNames();
  return outcome;
}

}  // namespace ardunex
