// The files a demux writes beside the streams for remuxing: the chapter files and the mkvmerge option file.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "base/window.h"
#include "jobs/job_options.h"
#include "jobs/output_guard.h"
#include "xpl/playlist_title.h"

namespace ardunex {

/// Collects the stream files of one demux as they are created and, after the demux, writes the chapter
/// files and the mkvmerge option file the options ask for.
class RemuxFiles {
 public:
  /// outputBase is the composed name stem as the log shows it; createBase what goes before it on disk.
  /// Files are created through the demux's guard, so that none of them is an input or a stream file; the
  /// job's options say which files are wanted.
  RemuxFiles(Window& window, const JobOptions& options, OutputGuard& guard, const std::optional<PlaylistTitle>& title,
             std::string createBase, std::string outputBase);

  /// Whether any of the files is asked for.
  bool wanted() const { return m_chapters || m_mkvmerge; }

  /// Takes the names of the files that may be written from the guard, before any file of the demux is
  /// created. Throws CreateError.
  void reserve();

  /// A stream file was created for the box (name as composed); wav tells that it is written as WAV.
  void streamFile(int box, const std::string& name, bool wav);

  /// What the demux learnt of a box's stream: whether anything was written, whether it is LPCM, and its
  /// delay against the video in milliseconds, when known. A box without an outcome counts as empty.
  void streamOutcome(int box, bool written, bool lpcm, std::optional<int> delayMs);

  /// Writes the files. Throws CreateError or StreamWriteError. An option file whose paths are not all UTF-8
  /// (a folder named in another encoding) cannot name them for mkvmerge: it is left out with a log line.
  void write();

 private:
  struct StreamFile {
    int box = -1;
    std::string name;
    bool wav = false;
    bool written = false;
    bool lpcm = false;
    std::optional<int> delayMs;
  };

  /// Writes the chapter files; returns the XML file's path on disk, empty when none was written.
  std::string writeChapters();
  void writeMkvmerge(const std::string& chapterFile);
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
  std::vector<StreamFile> m_files;
};

}  // namespace ardunex
