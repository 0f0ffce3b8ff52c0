// SPDX-License-Identifier: GPL-2.0-or-later
// Everything a run of the program holds besides its widgets, and the commands that act on it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "base/window.h"
#include "codecs/stream_inventory.h"
#include "engine/engine.h"
#include "engine/stream_slot_table.h"
#include "jobs/box_assignment.h"
#include "jobs/demux_plan.h"
#include "jobs/disc.h"
#include "jobs/job_options.h"
#include "jobs/path_state.h"
#include "xpl/codec_tables.h"
#include "xpl/playlist_title.h"

namespace ardunex {

class RemuxFiles;
struct DemuxOutcome;

/// The program's state and commands. The window forwards its events here; every command runs to its
/// end inside the event that started it and reports failures by throwing Error.
class Session {
 public:
  explicit Session(Window& window, FileSystem& fileSystem = PosixFileSystem::instance());

  /// "Read EVO": scans the EVO file and labels a box per stream found.
  void bCheckClick();
  /// "Demux": writes every ticked stream to its own file, continuing onto the second part of a feature.
  void bDemuxClick();
  /// "Read XPL": reads the playlist into tag lines and shows the title of the current EVO file.
  void bReadXPLClick();
  /// The selection rule, run after every change of a stream box's checked state.
  void cbVideoClick();
  /// Cancel: stops a scan at once, a demux or its mux after confirmation.
  void bCancelClick();
  /// Disables all 40 stream boxes and gives them their reset captions.
  void Resetcbs();

  /// Derive the path state from the EVO and playlist path fields.
  void EVOadj();
  void XPLadj();
  /// A file chosen by a dialog or dropped: sets the matching path field. Ignored while a job runs.
  void chooseEvoFile(const std::string& path);
  void chooseXplFile(const std::string& path);
  /// A dropped file: taken by its extension (.EVO or .XPL, any case); a folder, or another file inside a disc,
  /// opens the disc; anything else is ignored.
  void dropFile(const std::string& path);

  /// Opens a disc: its folder, HVDVD_TS or any file inside it. Its titles go to the titles page and, with
  /// chooseDefault, its default title is chosen. Ignored while a job runs. Throws Error.
  void openDisc(const std::string& path, bool chooseDefault = true);
  /// Chooses a title of the open disc by its index: the path fields name its first clip and the disc's
  /// playlist, and Read EVO, Read XPL and Demux take the title's clips, until a file is chosen by hand.
  /// Ignored while a job runs.
  void chooseTitle(std::size_t index);
  /// The disc opened last; the title chosen, while Read EVO, Read XPL and Demux take its clips.
  const std::optional<Disc>& disc() const { return m_disc; }
  std::optional<std::size_t> chosenTitle() const { return m_title; }
  /// The EVO files of the chosen title's clips that are on the disc, in playlist order; with logSkipped, a
  /// line for each clip whose data are not on the disc. Throws Error naming a clip whose src is refused, or
  /// when no clip is left.
  std::vector<std::string> titleClips(bool logSkipped = false) const;

  /// Whether a scan, demux or playlist read is running.
  bool jobRunning() const { return m_jobRunning; }

  /// Stops the running job at its next progress report, without the question a demux asks on Cancel.
  void requestCancel() { m_engine.run().CancelRequested = true; }
  /// A flag a signal handler raises: the running job stops before its next read and closes its files, and a
  /// running mux stops mkvmerge.
  void setStopFlag(const std::atomic<bool>* flag) {
    m_stopFlag = flag;
    m_engine.setStopFlag(flag);
  }
  /// Whether mkvmerge is making the MKV of a demux.
  bool muxing() const { return m_muxing; }

  /// The path texts; the saved settings fill in the two folders at start-up.
  PathState& paths() { return m_paths; }
  const PathState& paths() const { return m_paths; }
  /// What the open-file dialogs remember; the window's dialogs read and update it.
  DialogMemory& evoDialog() { return m_evoDialog; }
  DialogMemory& xplDialog() { return m_xplDialog; }
  const CodecTables& codecTables() const { return m_codecs; }
  const RunState& run() const { return m_engine.run(); }
  /// The tag lines of the last playlist read (what the XPL memo shows).
  const std::vector<std::string>& xplLines() const { return m_xplLines; }
  /// The title the last playlist read found for the EVO file, as data (chapters, track names, languages).
  const std::optional<PlaylistTitle>& playlistTitle() const { return m_playlistTitle; }

  /// Every stream the last scan or demux met (a demux: both parts of a feature), in order of discovery,
  /// each with the box it is written from.
  const std::vector<StreamRecord>& inventory() const { return m_engine.inventory().records(); }
  /// The record of the stream that a box stands for after the last scan, null when it stands for none or
  /// the stream was not met by the last job.
  const StreamRecord* boxStream(int box) const;
  /// Bytes the last scan read.
  std::int64_t scannedBytes() const { return m_scannedBytes; }
  /// Whether the last demux wrote packets that are encrypted.
  bool wroteEncrypted() const { return m_wroteEncrypted; }
  /// The line the last scan logged when it ran to its end (or to the fast check's stop) without meeting any
  /// stream; empty when it met one.
  const std::string& noStreamFound() const { return m_noStream; }

 private:
  friend class JobScope;
  bool anyBoxTicked() const;
  /// Tells the router which boxes are ticked now.
  void followTicks();
  void assignBoxes(bool everyStream);
  void giveInventoryBoxes(bool fromSlots);
  void reportInventory(bool demux, const JobOptions& options);
  /// The boxes, options and paths a demux starts from.
  DemuxRequest demuxRequest(const JobOptions& options) const;
  /// What follows a demux once its files are closed: the files for remuxing, and the MKV when mkvmerge (its
  /// path) is given.
  void afterDemux(RemuxFiles& remux, const DemuxOutcome& outcome, const std::string& mkvmerge);
  /// The title chosen on the open disc; null when files are chosen by hand.
  const DiscTitle* chosen() const { return m_title ? &m_disc->titles[*m_title] : nullptr; }
  /// Leaves the title of the disc: a file was chosen by hand.
  void leaveTitle();

  Window& m_window;
  FileSystem& m_fileSystem;
  StreamSlotTable m_slots;
  Engine m_engine;
  PathState m_paths;
  DialogMemory m_evoDialog;
  DialogMemory m_xplDialog;
  CodecTables m_codecs;
  std::vector<std::string> m_xplLines;
  /// The subpicture numbers the last scan of the current EVO file found, one bit each; only these get
  /// a file when their box is ticked.
  std::uint16_t m_scannedSubpictures = 0;
  std::optional<PlaylistTitle> m_playlistTitle;
  bool m_jobRunning = false;
  bool m_muxing = false;
  const std::atomic<bool>* m_stopFlag = nullptr;
  /// The stream each box stands for after the last scan.
  BoxAssignment m_boxes;
  /// The captions the last scan gave the boxes.
  std::array<std::string, BOX_COUNT> m_scanCaptions;
  /// The codes the last scan met.
  std::vector<bool> m_scanned = std::vector<bool>(StreamInventory::CODE_COUNT);
  std::int64_t m_scannedBytes = 0;
  bool m_wroteEncrypted = false;
  std::string m_noStream;
  std::optional<Disc> m_disc;
  std::optional<std::size_t> m_title;
};

}  // namespace ardunex
