// SPDX-License-Identifier: GPL-2.0-or-later
// The steps of a demux that follow its plan: open the first part, take and check every name, create the
// outputs and hand them to the router, read the parts in turn, and finish and close the outputs.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "base/stream_boxes.h"
#include "base/window.h"
#include "engine/engine.h"
#include "jobs/demux_plan.h"
#include "jobs/job_options.h"
#include "jobs/job_warnings.h"
#include "jobs/output_guard.h"

namespace ardunex {

class RemuxFiles;
class WavWriter;

/// What the outputs of a demux came to, once they are closed.
struct DemuxOutcome {
  /// The boxes whose files were created.
  std::array<bool, BOX_COUNT> created{};
  /// The boxes whose WAV files never met an LPCM header they could read.
  std::array<bool, BOX_COUNT> silentWav{};
  /// The names of the files nothing reached, in the order they were created.
  std::vector<std::string> emptyNames;
};

/// Runs a demux plan. On every way out the input is released; on a failure the outputs are closed with what
/// reached them, and the failure on its way is what is reported.
class DemuxJob {
 public:
  DemuxJob(Window& window, FileSystem& fileSystem, Engine& engine, const DemuxPlan& plan);
  ~DemuxJob();
  DemuxJob(const DemuxJob&) = delete;
  DemuxJob& operator=(const DemuxJob&) = delete;

  /// The guard that keeps outputs off the inputs and off each other; the files for remuxing take their
  /// names from it too.
  OutputGuard& guard() { return m_guard; }

  /// Opens the first part: "Opening file NAME", its size. Throws OpenError.
  void openFirstPart(const std::string& evoName);
  /// Opens each later clip of a title once, before anything is created, so that a clip that is missing or no
  /// regular file fails the demux with its name while no file of it exists yet; their sizes make the
  /// progress run over the whole title. Throws OpenError.
  void checkClips();
  /// Takes every output name, the stream files' and those of remux, makes the output folder and checks that
  /// every name can be created, before the first file is, so that a refused demux empties no file of an
  /// earlier one. Throws CreateError or FolderError.
  void guardOutputs(RemuxFiles& remux);
  /// Creates the outputs ("Creating NAME") and hands them to the router. Throws CreateError.
  void createOutputs(RemuxFiles& remux);
  /// Reads the parts in turn into the outputs; a continuation only after a run that was not cancelled and
  /// when its file exists by then.
  void runParts(const RunOptions& options);
  /// Finishes and closes the outputs. Throws StreamWriteError for a failed flush or close.
  DemuxOutcome finish();

 private:
  Window& m_window;
  FileSystem& m_fileSystem;
  Engine& m_engine;
  const DemuxPlan& m_plan;
  OutputGuard m_guard;
  WrittenOutputs m_written;
  std::array<const WavWriter*, BOX_COUNT> m_wavWriters{};
  std::array<bool, BOX_COUNT> m_created{};
  /// The sizes of a title's clips, in the order of the parts; empty for a file.
  std::vector<std::int64_t> m_clipSizes;
  bool m_closed = false;
};

}  // namespace ardunex
