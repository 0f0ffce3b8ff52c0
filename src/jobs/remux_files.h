// SPDX-License-Identifier: GPL-2.0-or-later
// The files a demux writes beside the streams for remuxing: the chapter files and the mkvmerge option file.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "base/window.h"
#include "codecs/stream_inventory.h"
#include "jobs/job_options.h"
#include "jobs/output_guard.h"
#include "xpl/playlist_title.h"

namespace ardunex {

/// A file a demux wrote, by its path on disk and its name as the log shows it.
struct WrittenFile {
  std::string path;
  std::string name;
};

/// What making the MKV takes from the files for remuxing.
struct MuxFiles {
  /// The option file on disk; empty when none could be written.
  std::string optionFile;
  /// The Matroska file the option file makes, on disk and as the log names it.
  WrittenFile mkv;
  /// How many tracks the option file puts into it.
  int tracks = 0;
  /// What goes once the MKV is made: the files made only for it, and without Keep stream files the stream
  /// files it holds; a file another ticked option asked for stays.
  std::vector<WrittenFile> removeAfter;
};

/// Collects the stream files of one demux as they are created and, after the demux, writes the chapter
/// files and the mkvmerge option file the options ask for.
class RemuxFiles {
 public:
  /// outputBase is the composed name stem as the log shows it; createBase what goes before it on disk.
  /// Files are created through the demux's guard, so that none of them is an input or a stream file; the
  /// job's options say which files are wanted.
  RemuxFiles(Window& window, const JobOptions& options, OutputGuard& guard, const std::optional<PlaylistTitle>& title,
             std::string createBase, std::string outputBase);

  /// Whether any of the files is asked for, or an MKV that needs them.
  bool wanted() const { return m_chapters || m_mkvmerge || m_mkv; }

  /// Takes the names of the files that may be written from the guard, before any file of the demux is
  /// created. Throws CreateError.
  void reserve();

  /// A stream file was created for the box (name as composed); wav tells that it is written as WAV, forMux
  /// that it is a WAV made only for the MKV.
  void streamFile(int box, const std::string& name, bool wav, bool forMux = false);

  /// What the demux learnt of a box's stream: whether anything was written, and the stream's record (its
  /// coding, delay against the video and frame rate). A box without an outcome counts as empty.
  void streamOutcome(int box, bool written, const StreamRecord& stream);

  /// Writes the files. Throws CreateError or StreamWriteError. An option file whose paths are not all UTF-8
  /// (a folder named in another encoding) cannot name them for mkvmerge: it is left out with a log line.
  void write();

  /// For making the MKV, once the files are written.
  const MuxFiles& muxFiles() const { return m_mux; }

 private:
  struct StreamFile {
    int box = -1;
    std::string name;
    bool wav = false;
    bool forMux = false;
    bool written = false;
    bool lpcm = false;
    std::optional<int> delayMs;
    /// The frame rate mkvmerge is given for a video stream that may not carry it ("24000/1001").
    std::string frameRate;
  };

  /// Writes the chapter files (for the MKV alone, only the XML); returns the XML file's path on disk, empty
  /// when none was written.
  std::string writeChapters();
  void writeMkvmerge(const std::string& chapterFile);
  /// The stream files that go into the option file, with a log line for each one left out.
  std::vector<const StreamFile*> muxedFiles();
  void writeText(const std::string& name, const std::string& text);
  const PlaylistTrack* trackOf(int box) const;
  /// The ISO 639 code a playlist langcode gives; "und" with a log line naming `what` when it gives none.
  std::string checkedLanguage(const std::string& langcode, const std::string& what);

  Window& m_window;
  OutputGuard& m_guard;
  const std::optional<PlaylistTitle>& m_title;
  std::string m_createBase;
  std::string m_outputBase;
  bool m_chapters;
  bool m_mkvmerge;
  bool m_mkv;
  bool m_keepStreams;
  bool m_lpcmWav;
  std::vector<StreamFile> m_files;
  MuxFiles m_mux;
};

}  // namespace ardunex
