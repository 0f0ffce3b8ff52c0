// SPDX-License-Identifier: GPL-2.0-or-later
// What the jobs say besides the streams they met: a scan that met none, playlist labels that contradict
// the stream found, and stream files that stayed empty.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_io.h"
#include "base/window.h"
#include "engine/engine.h"
#include "outputs/stream_writer.h"

namespace ardunex {

/// "No stream found: FEATURE_1.EVO does not look like an EVO file.", or for a scan the fast check ended
/// before the end of the file "No stream found in the first 4 MiB of FEATURE_1.EVO; a full scan reads the
/// whole file."
std::string noStreamLine(const std::string& evoName, bool fastCheckStopped);

/// The scan's name of the codec ("VC-1", "DD", "MLP", ...) that a playlist's codec text names ("VC-1",
/// "AC-3", "TrueHD", ...) for a video or audio track; empty for a text the scan has no codec for.
std::string scanCodecOf(std::string_view playlistCodec, bool video);

/// "the playlist labels cbVideo0 VC-1, but the stream found is MPEG-2"
std::string contradiction(int box, const std::string& playlistCodec, const std::string& streamCodec);

/// After a run that Cancel (or an interrupt) stopped before the end of its input, logs how far it got
/// ("Stopped by the user after 1256 of 2037 Mbytes."), so that the files of a stopped job are not taken for
/// complete ones. The stop of a fast scan at its first progress report is the fast check's own, not the
/// user's. Over the clips of a title, span gives how far into them all. Returns whether the user stopped it.
bool logUserStop(Window& window, const RunState& run, bool fastScan, ProgressSpan span = {});

/// "Warning: FEATURE_1.DD.stream.02.mpa stayed empty"
std::string emptyOutputLine(const std::string& name);

/// Counts what reaches each stream file of a demux, so that the job can name the files that stayed empty.
class WrittenOutputs {
 public:
  /// file, counted under name (as the log shows it) by the bytes that reach it.
  std::unique_ptr<OutputFile> watch(std::unique_ptr<OutputFile> file, std::string name);
  /// writer, counted under name by the payload handed to it (a WAV file counts the LPCM it was given).
  std::unique_ptr<StreamWriter> watch(std::unique_ptr<StreamWriter> writer, std::string name);
  /// The names of the watched files that hold nothing, in the order they were watched.
  std::vector<std::string> emptyNames() const;

 private:
  struct Entry {
    std::string name;
    std::int64_t size = 0;
  };
  std::deque<Entry> m_entries;  // a deque keeps each entry in place for its file
};

}  // namespace ardunex
