// SPDX-License-Identifier: GPL-2.0-or-later
// "Read XPL": reads the playlist file into tag lines and codec tables, then shows the current EVO file's title.
#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "base/errors.h"
#include "base/file_io.h"
#include "jobs/inventory_report.h"
#include "jobs/job_scope.h"
#include "jobs/job_warnings.h"
#include "jobs/session.h"
#include "xpl/xpl_reader.h"
#include "xpl/xpl_title_view.h"

namespace ardunex {
namespace {

/// Holds the session busy while the playlist is read, and on every way out, a failure included, closes the
/// input, shows the memo again with the lines read so far and leaves the window usable.
class ReadScope {
 public:
  ReadScope(Session& session, Window& window, RunState& run, std::vector<std::string>& lines)
      : m_jobs(session), m_window(window), m_run(run), m_lines(lines) {
    m_jobs.readXplAfter(true);
  }
  ~ReadScope() {
    m_run.InputFile.reset();
    if (m_memoHidden) {
      m_window.setXplMemo(m_lines);
      m_window.setXplMemoVisible(true);
    }
  }
  ReadScope(const ReadScope&) = delete;
  ReadScope& operator=(const ReadScope&) = delete;

  /// The memo is hidden while its lines are replaced; the scope shows it again at the end.
  void hideMemo() {
    m_lines.clear();
    m_window.setXplMemo(m_lines);
    m_window.setXplMemoVisible(false);
    m_memoHidden = true;
  }

  /// Shows the memo with its final lines (the normal end does so before logging "Done.").
  void showMemo() {
    m_window.setXplMemo(m_lines);
    m_window.setXplMemoVisible(true);
    m_memoHidden = false;
  }

 private:
  JobScope m_jobs;  // destroyed last: buttons come back after the input is closed and the memo shown
  Window& m_window;
  RunState& m_run;
  std::vector<std::string>& m_lines;
  bool m_memoHidden = false;
};

/// The path as the system resolves it: a bare name such as the playlist field's guess is taken in the
/// current folder, and a failure then names that full path.
std::string resolvedPath(const std::string& path) {
  // Any root counts, so Windows leaves "\disc\..." and "D:name" to the system as well.
  if (path.empty() || std::filesystem::path(path).has_root_path())
    return path;
  std::error_code error;
  const std::u8string current = std::filesystem::current_path(error).u8string();  // UTF-8 on Windows too
  std::string folder(current.begin(), current.end());
  if (error || folder.empty())
    return path;
  if (!isPathSeparator(folder.back()))
    folder += PATH_SEPARATOR;
  return folder + path;
}

/// Whether a playlist's first bytes are UTF-16 text: a byte order mark, or a "<" beside a zero byte.
bool looksUtf16(std::span<const std::uint8_t> data) {
  if (data.size() < 2)
    return false;
  const bool mark = (data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF);
  return mark || (data[0] == '<' && data[1] == 0) || (data[0] == 0 && data[1] == '<');
}

}  // namespace

void Session::bReadXPLClick() {
  // The input file and read buffer belong to a running scan or demux.
  if (m_jobRunning)
    return;
  RunState& run = m_engine.run();
  ReadScope scope(*this, m_window, run, m_xplLines);
  const JobOptions options = JobOptions::of(m_window);
  m_playlistTitle.reset();

  m_window.setButtonEnabled(Button::ReadXpl, false);
  m_window.showPage(Page::Xpl);
  run.InputFile = m_fileSystem.openRead(resolvedPath(m_window.xplFileText()));
  m_window.log("Open " + m_paths.XPLname);
  m_window.log("Filesize: " + std::to_string(run.InputFile->size()) + " bytes");

  scope.hideMemo();
  if (chosen() != nullptr)
    m_codecs = {};  // a title of a disc is shown with the codecs of its own playlist
  XplReader reader(m_xplLines, m_codecs);
  bool utf16 = false;
  bool first = true;
  readPlaylistFile(*run.InputFile, reader, {run.ReadBuffer.get(), READ_BUFFER_SIZE},
                   [&](std::span<const std::uint8_t> block, std::int64_t size) {
                     m_window.slog(std::to_string(run.InputFile->position()) + "/" + std::to_string(size) + " bytes",
                                   1);
                     utf16 = utf16 || (first && looksUtf16(block));
                     first = false;
                   });
  run.InputFile.reset();
  if (utf16)
    m_window.log("Warning: " + m_paths.XPLname +
                 " is UTF-16 text; it is read byte for byte, so no title or track of it is recognised");
  if (reader.droppedLines() > 0)
    m_window.log("Tag lines after the first " + std::to_string(XPL_MAX_TAG_LINES) +
                 " not shown: " + std::to_string(reader.droppedLines()));

  // The title of a disc is the one chosen; a file's is the one that names it.
  const DiscTitle* discTitle = chosen();
  if (discTitle != nullptr && m_xplLines != m_disc->xplLines)
    throw Error(m_paths.XPLname + " has changed since the disc was opened: open the disc again");
  std::optional<PlaylistTitle> title = discTitle != nullptr ? std::optional<PlaylistTitle>(discTitle->playlist)
                                                            : findPlaylistTitle(m_xplLines, m_paths.EVObase, m_codecs);
  // Without a title for the EVO file the boxes keep what they show: greying them would leave the scan's
  // streams without a box to demux them from.
  const bool titleFound = discTitle != nullptr || xplTitleFound(m_xplLines, m_paths.EVObase);
  if (!titleFound && !m_paths.EVObase.empty())
    m_window.log("No title for " + m_paths.EVObase + " in " + m_paths.XPLname +
                 ": the stream boxes stay as they were.");
  // Every stream: the boxes of the scan's streams that the playlist does not label keep the scan's caption,
  // and the user's tick where the box could be clicked.
  const bool everyStream = options.optionOn(Option::EveryStream);
  std::array<bool, BOX_COUNT> ticked{};
  if (titleFound) {
    for (int box = 0; box < BOX_COUNT; ++box)
      ticked[static_cast<std::size_t>(box)] = m_window.boxChecked(box) || !m_window.boxEnabled(box);
    Resetcbs();
  }
  // Every stream: a playlist's audio stream is shown on the box whose stream has its number.
  std::array<int, AUDIO_BOX_COUNT> audioBoxes{};
  if (everyStream) {
    for (int number = 0; number < AUDIO_BOX_COUNT; ++number) {
      audioBoxes[static_cast<std::size_t>(number)] =
          m_boxes.code[static_cast<std::size_t>(audioBox(number))] < 0 ? audioBox(number) : -1;
      for (int box = audioBox(0); box < audioBox(0) + AUDIO_BOX_COUNT; ++box) {
        const StreamRecord* stream = boxStream(box);
        if (stream && stream->number == number && stream->coding != StreamCoding::MpegAudio) {
          audioBoxes[static_cast<std::size_t>(number)] = box;
          break;
        }
      }
    }
  }
  const std::vector<PlaylistBoxLabel> labels =
      discTitle != nullptr ? showXplTitleLines(m_xplLines, title->firstLine, title->lastLine, m_codecs, m_slots,
                                               m_window, everyStream ? &audioBoxes : nullptr, &reader.cutValues())
                           : showXplTitle(m_xplLines, m_codecs, m_paths.EVObase, m_slots, m_window,
                                          everyStream ? &audioBoxes : nullptr, &reader.cutValues());
  m_playlistTitle = std::move(title);
  for (int box = 0; box < BOX_COUNT && titleFound && everyStream; ++box) {
    if (m_boxes.code[static_cast<std::size_t>(box)] < 0 ||
        std::any_of(labels.begin(), labels.end(), [&](const PlaylistBoxLabel& label) { return label.box == box; }))
      continue;
    m_window.setBoxEnabled(box, true);
    m_window.setBoxChecked(box, ticked[static_cast<std::size_t>(box)]);
    m_window.setBoxCaption(box, m_scanCaptions[static_cast<std::size_t>(box)]);
    if (const StreamRecord* stream = boxStream(box))
      m_window.setBoxDetail(box, streamDetail(*stream));
  }
  if (const std::string cut = reader.cutValues().line(); !cut.empty())
    m_window.log(cut);
  // A label is kept as the playlist gives it, but one that contradicts the stream found is said aloud.
  for (const PlaylistBoxLabel& label : labels) {
    const StreamRecord* stream = boxStream(label.box);
    if (!stream)
      continue;
    const std::string named = scanCodecOf(label.codec, label.box < audioBox(0));
    std::string detail = streamDetail(*stream);
    if (!named.empty() && named != stream->codec) {
      const std::string said = contradiction(label.box, label.codec, stream->codec);
      m_window.log("Warning: " + said);
      detail += (detail.empty() ? "" : "\n") + said;
    }
    m_window.setBoxDetail(label.box, detail);
  }

  scope.showMemo();
  m_window.log("Done.");
  m_window.slog("Ready", 0);
  m_window.slog("", 1);
  m_window.setButtonEnabled(Button::ReadXpl, true);
}

}  // namespace ardunex
