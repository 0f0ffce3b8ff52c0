// The scan and demux jobs, the selection rule, the box reset and path derivation.
#include "jobs/session.h"

#include <algorithm>
#include <array>

#include "engine/ascii_text.h"
#include "engine/errors.h"
#include "engine/mpeg_ps.h"
#include "engine/wav_writer.h"
#include "jobs/job_scope.h"
#include "jobs/output_guard.h"
#include "jobs/remux_files.h"
#include "jobs/stream_names.h"

namespace ardunex {
namespace {

constexpr const char* RESET_CAPTIONS[] = {"No video stream", "No audio stream", "No subpicture"};
constexpr const char* FIRST_PART_ENDING = "_1.EVO";
constexpr const char* PLAYLIST_NAME = "VPLST000.XPL";
constexpr const char* WAV_EXTENSION = "wav";
constexpr int LPCM_STREAMS = 8;  // sub-stream ids 0xA0-0xA7

// The disc's folders, each followed by a separator: "/" on POSIX; on Windows "\" or "/", and the guessed
// playlist folder keeps the separator the EVO path used.
constexpr std::string_view DISC_VIDEO_FOLDER = "HVDVD_TS";
constexpr std::string_view DISC_PLAYLIST_FOLDER = "ADV_OBJ";

bool endsWith(const std::string& text, std::string_view ending) {
  return text.size() >= ending.size() && text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

/// After a run that Cancel (or an interrupt) stopped before the end of its input, logs how far it got, so
/// that the files of a stopped job are not taken for complete ones. The stop of a fast scan at its first
/// progress report is the fast check's own, not the user's.
void logUserStop(Window& window, const RunState& run, bool fastScan) {
  const std::int64_t position = run.InputFile->position();
  const std::int64_t size = run.InputFile->size();
  if (!run.CancelRequested || position >= size || (fastScan && position <= PROGRESS_STEP))
    return;
  window.log("Stopped by the user after " + std::to_string(position / MBYTE) + " of " + std::to_string(size / MBYTE) +
             " Mbytes.");
}

}  // namespace

Session::Session(Window& window, FileSystem& fileSystem)
  : m_window(window), m_fileSystem(fileSystem), m_engine(window, m_slots) {}

void Session::Resetcbs() {
  for (int box = 0; box < BOX_COUNT; ++box) {
    const int group = box < VIDEO_BOX_COUNT ? 0 : box < VIDEO_BOX_COUNT + AUDIO_BOX_COUNT ? 1 : 2;
    m_window.setBoxEnabled(box, false);
    m_window.setBoxCaption(box, RESET_CAPTIONS[group]);
  }
}

bool Session::anyBoxTicked() const {
  for (int box = 0; box < BOX_COUNT; ++box)
    if (m_window.boxChecked(box))
      return true;
  return false;
}

void Session::cbVideoClick() {
  // While a job runs "Demux" stays unavailable; the job's end applies the rule again.
  if (m_jobRunning)
    return;
  m_window.setButtonEnabled(Button::Demux, anyBoxTicked());
}

void Session::bCancelClick() {
  if (!m_engine.run().Demuxing) {
    m_engine.run().CancelRequested = true;
    return;
  }
  if (m_window.confirm("Are you sure to stop demuxing?"))
    m_engine.run().CancelRequested = true;
}

void Session::bCheckClick() {
  if (m_jobRunning)
    return;
  JobScope scope(*this);
  scope.readEvoAfter(false);  // stays disabled after a failure until a file is chosen again

  Resetcbs();
  m_window.showPage(Page::Status);
  m_window.log("Opening file " + m_paths.EVOname);
  m_window.slog("Opening", 0);
  RunState& run = m_engine.run();
  run.InputFile = m_fileSystem.openRead(m_window.evoFileText());
  struct Release {
    RunState& run;
    ~Release() { run.InputFile.reset(); }
  } release{run};
  m_window.slog("Reading", 0);
  m_window.log("File size: " + std::to_string(run.InputFile->size() / MBYTE) + " Mbytes.");
  m_engine.demux(Mode::Scan);
  logUserStop(m_window, run, m_window.fastCheck());
  run.InputFile.reset();

  for (int k = 0; k < 2; ++k) {
    const int box = videoBox(k);
    const bool present = m_slots.present(StreamSlotTable::FIRST_VIDEO_SLOT + k);
    m_window.setBoxEnabled(box, present);
    m_window.setBoxChecked(box, present);
    if (present)
      m_window.setBoxCaption(box, scanLabel(VideoStreamName(m_slots.Get(StreamSlotTable::FIRST_VIDEO_SLOT + k)), k));
  }
  for (int k = 0; k < AUDIO_BOX_COUNT; ++k) {
    const int box = audioBox(k);
    const bool present = m_slots.present(StreamSlotTable::FIRST_AUDIO_SLOT + k);
    m_window.setBoxEnabled(box, present);
    m_window.setBoxChecked(box, present);
    if (present)
      m_window.setBoxCaption(box, scanLabel(AudioStreamName(m_slots.Get(StreamSlotTable::FIRST_AUDIO_SLOT + k)), k));
  }

  m_window.log("Done.");
  m_window.slog("Ready", 0);
  m_window.slog("", 1);
  scope.readEvoAfter(true);
}

std::string Session::outputName(const std::string& outputBase, const std::string& caption,
                                const std::string& ext) const {
  // A caption may come from an untrusted playlist: it must not lead the file out of the output folder.
  std::string safeCaption = caption;
  std::replace_if(safeCaption.begin(), safeCaption.end(), isPathSeparator, '_');
  return outputBase + "." + safeCaption + "." + ext;
}

bool Session::writesWav(int audioNumber) {
  const int code = m_slots.Get(StreamSlotTable::FIRST_AUDIO_SLOT + audioNumber);
  return code >= mpeg::LPCM_FIRST && code < mpeg::LPCM_FIRST + LPCM_STREAMS;
}

void Session::bDemuxClick() {
  if (m_jobRunning)
    return;
  JobScope scope(*this);
  scope.demuxAfter(JobScope::DemuxAfter::Disabled);  // after a failure, until the next box change

  m_window.showPage(Page::Status);
  const std::string workdir = m_window.workdir();
  std::string outputBase;
  if (!workdir.empty()) {
    outputBase = workdir;
    if (!isPathSeparator(workdir.back()))
      outputBase += PATH_SEPARATOR;
  }
  outputBase += m_paths.EVObase;
  // Relative names (no output folder) land beside the EVO file, not wherever the process happens to be.
  const std::string evoPath = m_window.evoFileText();
  const std::string createBase = workdir.empty() ? folderPart(evoPath) : std::string();

  const std::string secondEvo = evoPath.substr(0, evoPath.size() >= 5 ? evoPath.size() - 5 : 0) + "2.EVO";
  const bool firstPart = m_window.continueOnSecond() && endsWith(m_paths.EVOname, FIRST_PART_ENDING);

  m_window.log("Opening file " + m_paths.EVOname);
  m_window.slog("Opening", 0);
  RunState& run = m_engine.run();
  struct Release {
    RunState& run;
    bool normal = false;
    ~Release() {
      run.InputFile.reset();
      if (!normal) {
        try {
          run.SlotFile.closeAll();  // keep what was written; the failure on its way is what is reported
        } catch (const Error&) {
        }
      }
    }
  } release{run};
  run.InputFile = m_fileSystem.openRead(evoPath);
  m_window.log("File size: " + std::to_string(run.InputFile->size() / MBYTE) + " Mbytes.");

  const std::string videoExt = m_window.videoExt();
  const std::string audioExt = m_window.audioExt();
  // No output may be the file being read: every name is checked before the first file is created.
  OutputGuard guard(m_fileSystem);
  guard.addInput(evoPath, IS_EVO_FILE);
  if (endsWith(m_paths.EVOname, FIRST_PART_ENDING))
    guard.addInput(secondEvo, IS_SECOND_PART);  // the user's second part, continued onto or not
  std::array<bool, AUDIO_BOX_COUNT> wav{};
  if (m_window.optionOn(Option::LpcmWav))
    for (int k = 0; k < AUDIO_BOX_COUNT; ++k)
      wav[static_cast<std::size_t>(k)] = m_window.boxChecked(audioBox(k)) && writesWav(k);
  auto extOf = [&](int box) -> std::string {
    if (box < 2)
      return videoExt;
    return wav[static_cast<std::size_t>(box - audioBox(0))] ? WAV_EXTENSION : audioExt;
  };
  for (int box = 0; box < subBox(0); ++box)
    if ((box < 2 || box >= audioBox(0)) && m_window.boxChecked(box))
      guard.refuseInput(createBase + outputName(outputBase, m_window.boxCaption(box), extOf(box)));
  RemuxFiles remux(m_window, guard, m_playlistTitle, createBase, outputBase);
  auto createFor = [&](std::unique_ptr<OutputFile>& file, int box) {
    if (!m_window.boxChecked(box))
      return;
    const std::string name = outputName(outputBase, m_window.boxCaption(box), extOf(box));
    file = guard.create(createBase + name);
    m_window.log("Creating " + name);
    const bool asWav = box >= audioBox(0) && wav[static_cast<std::size_t>(box - audioBox(0))];
    if (asWav) {
      auto writer = std::make_unique<WavWriter>(std::move(file), m_window);
      run.SlotFile.wav[static_cast<std::size_t>(box - audioBox(0))] = writer.get();
      file = std::move(writer);
    }
    if (remux.wanted())
      remux.streamFile(box, name, asWav);
  };
  for (int k = 0; k < 2; ++k)
    createFor(run.SlotFile.video[k], videoBox(k));
  for (int k = 0; k < AUDIO_BOX_COUNT; ++k)
    createFor(run.SlotFile.audio[k], audioBox(k));

  m_window.slog("Writing stream(s)", 0);
  m_engine.demux(Mode::Demux);

  if (firstPart && m_window.continueOnSecond() && !run.CancelRequested && m_fileSystem.exists(secondEvo)) {
    run.InputFile.reset();
    guard.refuseOutput(secondEvo);
    run.InputFile = m_fileSystem.openRead(secondEvo);
    m_window.log("Continue on " + fileNamePart(secondEvo));
    m_engine.demux(Mode::Demux);
  }
  logUserStop(m_window, run, false);

  run.InputFile.reset();
  if (remux.wanted()) {
    for (int k = 0; k < 2; ++k)
      remux.streamOutcome(videoBox(k), run.SlotFile.videoCode[k], std::nullopt);
    for (int k = 0; k < AUDIO_BOX_COUNT; ++k)
      remux.streamOutcome(audioBox(k), run.SlotFile.audioCode[k], std::nullopt);
  }
  release.normal = true;
  run.SlotFile.closeAll();  // a failed flush or close is a write error like any other
  if (remux.wanted())
    remux.write();

  m_window.log("Done.");
  m_window.slog("Ready", 0);
  m_window.slog("", 1);
  scope.demuxAfter(JobScope::DemuxAfter::Enabled);
}

void Session::EVOadj() {
  const std::string path = m_window.evoFileText();
  m_window.setButtonEnabled(Button::ReadEvo, !path.empty());
  m_paths.EVOname = fileNamePart(path);
  m_paths.EVObase = m_paths.EVOname.size() > 4 ? m_paths.EVOname.substr(0, m_paths.EVOname.size() - 4) : "";
  m_paths.EVOdir = folderPart(path);
  m_evoDialog.initialDir = m_paths.EVOdir;
  m_window.setXplFileText(PLAYLIST_NAME);
  const std::string& dir = m_paths.EVOdir;
  const char separator = dir.empty() ? '\0' : dir.back();
  if (separator != ':' && isPathSeparator(separator) &&
      endsWith(dir.substr(0, dir.size() - 1), DISC_VIDEO_FOLDER)) {
    m_paths.XPLdir = dir.substr(0, dir.size() - 1 - DISC_VIDEO_FOLDER.size()) + std::string(DISC_PLAYLIST_FOLDER) +
                     separator;
    m_xplDialog.initialDir = m_paths.XPLdir;
    m_paths.XPLname = PLAYLIST_NAME;
    m_xplDialog.fileName = m_paths.XPLname;
    m_window.setXplFileText(m_paths.XPLdir + m_paths.XPLname);
  }
  m_window.setButtonEnabled(Button::ReadXpl, !m_paths.XPLname.empty());
}

void Session::XPLadj() {
  const std::string path = m_window.xplFileText();
  m_paths.XPLname = fileNamePart(path);
  m_paths.XPLdir = folderPart(path);
  m_window.setButtonEnabled(Button::ReadXpl, !m_paths.XPLname.empty());
}

void Session::chooseEvoFile(const std::string& path) {
  if (m_jobRunning)
    return;
  m_window.setEvoFileText(path);
  EVOadj();
}

void Session::chooseXplFile(const std::string& path) {
  if (m_jobRunning)
    return;
  m_window.setXplFileText(path);
  XPLadj();
}

void Session::dropFile(const std::string& path) {
  const std::string name = fileNamePart(path);
  const auto dot = name.find_last_of('.');
  const std::string ext = dot == std::string::npos ? std::string() : asciiUpper(name.substr(dot));
  if (ext == ".EVO")
    chooseEvoFile(path);
  else if (ext == ".XPL")
    chooseXplFile(path);
}

}  // namespace ardunex
