// SPDX-License-Identifier: GPL-2.0-or-later
// The plan of a demux, made before anything is opened: every output with its box, name, path, format and the
// packets it takes, the parts of the input in the order they are read, and the files no output may be.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/stream_boxes.h"
#include "codecs/stream_inventory.h"
#include "engine/payload_router.h"
#include "jobs/job_options.h"

namespace ardunex {

/// A stream box as the demux finds it when it starts.
struct PlanBox {
  bool checked = false;
  bool enabled = false;
  std::string caption;
  /// The stream the box stands for (null: none known).
  const StreamRecord* stream = nullptr;
  /// The box was given to a stream of its own (every stream), by the inventory's code.
  bool own = false;
  int code = -1;
};

/// What a demux is asked to do: the boxes, the Options page and the paths, as they stand when it starts.
struct DemuxRequest {
  std::array<PlanBox, BOX_COUNT> boxes;
  /// The subpicture numbers the last scan of the EVO file found, one bit each; only these get a file.
  std::uint16_t scannedSubpictures = 0;
  JobOptions options;
  std::string evoPath;  ///< the path field
  std::string evoName;  ///< its file name
  std::string evoBase;  ///< the name the outputs begin with
  std::string xplPath;  ///< the playlist's path field
  /// A title of a disc: the EVO files of its clips in playlist order, the first one the path field's; empty
  /// for a file.
  std::vector<std::string> titleClips;
};

enum class OutputKind : std::uint8_t { Raw, Wav, Sup };

/// One output file of a demux.
struct PlannedOutput {
  int box = -1;
  /// The name as the log shows it.
  std::string name;
  /// Where it is created.
  std::string path;
  OutputKind kind = OutputKind::Raw;
  /// Which packets it takes.
  Route route;
  /// LPCM written raw under the option to write LPCM as WAV, as the scan could not read its header.
  bool unreadableLpcm = false;
  /// A WAV made only for the MKV (LPCM as WAV is off): removed once the MKV is made. While the stream files
  /// are kept, it follows the box's raw file in the plan and takes the same packets.
  bool forMux = false;

  bool operator==(const PlannedOutput&) const = default;
};

/// A part of the input: the parts are read in turn into the same outputs.
struct InputPart {
  std::string path;
  /// Read only when the parts before it ran to their end and the file exists by then; it is logged as
  /// "Continue on NAME" instead of being opened with its size.
  bool continuation = false;
  /// A clip of a title: read after every part before it that Cancel did not stop, and a failure when it
  /// cannot be opened, since the title goes on in it.
  bool clip = false;

  bool operator==(const InputPart&) const = default;
};

/// A file the demux reads, and why an output that names it is refused (one of the guard's texts).
struct GuardedInput {
  std::string path;
  std::string_view reason;

  bool operator==(const GuardedInput&) const = default;
};

struct DemuxPlan {
  /// The beginning of the output names as the log shows them, and what goes before a name on disk.
  std::string outputBase;
  std::string createBase;
  /// The output folder, made when it is missing (empty: none).
  std::string folder;
  std::vector<InputPart> parts;
  std::vector<GuardedInput> inputs;
  /// In the order the files are created: the video and audio boxes, then the subpicture boxes.
  std::vector<PlannedOutput> outputs;
};

/// The plan of a demux. Only a box the user can see ticked gets an output: video boxes 0 and 1 by their
/// number, audio boxes by theirs, boxes of streams of their own by their code, and with the Subpictures option
/// the subpicture boxes of the streams the scan found. A FEATURE_1.EVO continues on FEATURE_2.EVO when the
/// option says so; a title reads its clips in turn instead. Making an MKV takes LPCM as WAV: with the stream
/// files kept, a WAV for the mux follows the raw file; without, the WAV is the stream's only file.
DemuxPlan planDemux(const DemuxRequest& request);

}  // namespace ardunex
