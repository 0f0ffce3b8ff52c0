// Everything a run of the program holds besides its widgets, and the commands that act on it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/file_io.h"
#include "engine/stream_slot_table.h"
#include "engine/window.h"
#include "xpl/codec_tables.h"
#include "xpl/playlist_title.h"

namespace ardunex {

/// The texts derived from the two path fields.
struct PathState {
  std::string EVOdir;
  std::string EVOname;
  std::string EVObase;
  std::string XPLdir;
  std::string XPLname;
};

/// What an open-file dialog remembers between showings.
struct DialogMemory {
  std::string initialDir;
  std::string fileName;
};

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
  /// Cancel: stops a scan at once, a demux after confirmation.
  void bCancelClick();
  /// Disables all 40 stream boxes and gives them their reset captions.
  void Resetcbs();

  /// Derive the path state from the EVO and playlist path fields.
  void EVOadj();
  void XPLadj();
  /// A file chosen by a dialog or dropped: sets the matching path field. Ignored while a job runs.
  void chooseEvoFile(const std::string& path);
  void chooseXplFile(const std::string& path);
  /// A dropped file: taken by its extension (.EVO or .XPL, any case); anything else is ignored.
  void dropFile(const std::string& path);

  /// Whether a scan, demux or playlist read is running.
  bool jobRunning() const { return m_jobRunning; }

  PathState& paths() { return m_paths; }
  DialogMemory& evoDialog() { return m_evoDialog; }
  DialogMemory& xplDialog() { return m_xplDialog; }
  StreamSlotTable& slots() { return m_slots; }
  CodecTables& codecTables() { return m_codecs; }
  Engine& engine() { return m_engine; }
  RunState& run() { return m_engine.run(); }
  Window& window() { return m_window; }
  FileSystem& fileSystem() { return m_fileSystem; }
  /// The tag lines of the last playlist read (what the XPL memo shows).
  std::vector<std::string>& xplLines() { return m_xplLines; }
  /// The title the last playlist read found for the EVO file, as data (chapters, track names, languages).
  std::optional<PlaylistTitle>& playlistTitle() { return m_playlistTitle; }

  /// Composes an output file name for a box caption, as the log shows it.
  std::string outputName(const std::string& outputBase, const std::string& caption, const std::string& ext) const;

 private:
  friend class JobScope;
  bool anyBoxTicked() const;
  /// Whether the LPCM as WAV option writes audio number k as a WAV file (an LPCM stream of known format).
  bool writesWav(int audioNumber);

  Window& m_window;
  FileSystem& m_fileSystem;
  StreamSlotTable m_slots;
  Engine m_engine;
  PathState m_paths;
  DialogMemory m_evoDialog;
  DialogMemory m_xplDialog;
  CodecTables m_codecs;
  std::vector<std::string> m_xplLines;
  std::optional<PlaylistTitle> m_playlistTitle;
  bool m_jobRunning = false;
};

}  // namespace ardunex
