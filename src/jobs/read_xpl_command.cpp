// "Read XPL": reads the playlist file into tag lines and codec tables, then shows the current EVO file's title.
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "engine/errors.h"
#include "engine/file_io.h"
#include "jobs/job_scope.h"
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

}  // namespace

void Session::bReadXPLClick() {
  // The input file and read buffer belong to a running scan or demux.
  if (m_jobRunning)
    return;
  RunState& run = m_engine.run();
  ReadScope scope(*this, m_window, run, m_xplLines);
  m_playlistTitle.reset();

  Resetcbs();
  m_window.setButtonEnabled(Button::ReadXpl, false);
  m_window.showPage(Page::Xpl);
  run.InputFile = m_fileSystem.openRead(resolvedPath(m_window.xplFileText()));
  m_window.log("Open " + m_paths.XPLname);
  m_window.log("Filesize: " + std::to_string(run.InputFile->size()) + " bytes");

  scope.hideMemo();
  XplReader reader(m_xplLines, m_codecs);
  for (;;) {
    const std::int64_t size = run.InputFile->size();
    if (run.InputFile->position() >= size)
      break;
    if (size > XPL_MAX_FILE_SIZE)
      throw OpenError(run.InputFile->path(),
                      "Larger than " + std::to_string(XPL_MAX_FILE_SIZE) + " bytes, too large for a playlist");
    const std::size_t got = run.InputFile->read(run.ReadBuffer.get(), READ_BUFFER_SIZE);
    if (got == 0)
      throw StreamReadError(run.InputFile->path(), ENDS_BEFORE_ITS_SIZE);  // a failing medium
    m_window.slog(std::to_string(run.InputFile->position()) + "/" + std::to_string(size) + " bytes", 1);
    reader.feed(run.ReadBuffer.get(), got);
  }
  run.InputFile.reset();
  if (reader.droppedLines() > 0)
    m_window.log("Tag lines after the first " + std::to_string(XPL_MAX_TAG_LINES) +
                 " not shown: " + std::to_string(reader.droppedLines()));

  // Every stream: a playlist's audio stream is shown on the box whose stream has its number.
  std::array<int, AUDIO_BOX_COUNT> audioBoxes{};
  const bool everyStream = m_window.optionOn(Option::EveryStream);
  if (everyStream) {
    for (int number = 0; number < AUDIO_BOX_COUNT; ++number) {
      audioBoxes[static_cast<std::size_t>(number)] =
          m_boxCode[static_cast<std::size_t>(audioBox(number))] < 0 ? audioBox(number) : -1;
      for (int box = audioBox(0); box < audioBox(0) + AUDIO_BOX_COUNT; ++box) {
        const StreamRecord* stream = boxStream(box);
        if (stream && stream->number == number && stream->coding != StreamCoding::MpegAudio) {
          audioBoxes[static_cast<std::size_t>(number)] = box;
          break;
        }
      }
    }
  }
  std::optional<PlaylistTitle> title = findPlaylistTitle(m_xplLines, m_paths.EVObase, m_codecs);
  showXplTitle(m_xplLines, m_codecs, m_paths.EVObase, m_slots, m_window, everyStream ? &audioBoxes : nullptr);
  m_playlistTitle = std::move(title);

  scope.showMemo();
  m_window.log("Done.");
  m_window.slog("Ready", 0);
  m_window.slog("", 1);
  m_window.setButtonEnabled(Button::ReadXpl, true);
}

}  // namespace ardunex
