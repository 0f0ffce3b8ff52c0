// SPDX-License-Identifier: GPL-2.0-or-later
// The scan and demux jobs, the selection rule, the box reset and path derivation.
#include "jobs/session.h"

#include <algorithm>
#include <array>
#include <functional>

#include "base/ascii_text.h"
#include "base/errors.h"
#include "codecs/stream_ids.h"
#include "jobs/box_assignment.h"
#include "jobs/demux_job.h"
#include "jobs/demux_plan.h"
#include "jobs/inventory_report.h"
#include "jobs/job_scope.h"
#include "jobs/job_warnings.h"
#include "jobs/make_mkv.h"
#include "jobs/mkvmerge_runner.h"
#include "jobs/output_guard.h"
#include "jobs/remux_files.h"
#include "jobs/stream_names.h"
#include "outputs/sup_writer.h"
#include "outputs/wav_writer.h"

namespace ardunex {
namespace {

constexpr const char* RESET_CAPTIONS[] = {"No video stream", "No audio stream", "No subpicture"};
constexpr const char* PLAYLIST_NAME = DISC_PLAYLIST_NAME;

// The disc's folders, each followed by a separator: "/" on POSIX; on Windows "\" or "/", and the guessed
// playlist folder keeps the separator the EVO path used.
constexpr std::string_view VIDEO_FOLDER = DISC_VIDEO_FOLDER;
constexpr std::string_view PLAYLIST_FOLDER = DISC_PLAYLIST_FOLDER;

/// Whether a run claimed any slot (a stream may claim one before any payload of it is met).
bool anySlotFilled(const StreamSlotTable& slots) {
  for (int slot = 1; slot <= StreamSlotTable::SLOT_COUNT; ++slot)
    if (slots.present(slot))
      return true;
  return false;
}

}  // namespace

Session::Session(Window& window, FileSystem& fileSystem)
    : m_window(window), m_fileSystem(fileSystem), m_engine(window, m_slots) {}

void Session::Resetcbs() {
  for (int box = 0; box < BOX_COUNT; ++box) {
    const int group = box < VIDEO_BOX_COUNT ? 0 : box < VIDEO_BOX_COUNT + AUDIO_BOX_COUNT ? 1 : 2;
    m_window.setBoxEnabled(box, false);
    m_window.setBoxChecked(box, false);  // a greyed box is never written
    m_window.setBoxCaption(box, RESET_CAPTIONS[group]);
    m_window.setBoxDetail(box, "");
  }
}

void Session::followTicks() {
  for (int box = 0; box < BOX_COUNT; ++box)
    m_engine.router().setTicked(box, m_window.boxChecked(box));
}

bool Session::anyBoxTicked() const {
  for (int box = 0; box < BOX_COUNT; ++box)
    if (m_window.boxChecked(box))
      return true;
  return false;
}

void Session::cbVideoClick() {
  // While a job runs "Demux" stays unavailable; the job's end applies the rule again. A box unticked during a
  // demux stops its file from receiving data from then on.
  if (m_jobRunning) {
    followTicks();
    return;
  }
  m_window.setButtonEnabled(Button::Demux, anyBoxTicked());
}

void Session::bCancelClick() {
  if (m_muxing) {
    if (m_window.confirm("Are you sure to stop making the MKV?"))
      m_engine.run().CancelRequested = true;
    return;
  }
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
  const JobOptions options = JobOptions::of(m_window);

  Resetcbs();
  m_scannedSubpictures = 0;
  m_noStream.clear();
  m_window.showPage(Page::Status);
  // A title is scanned from its first clip; a full scan reads all of them, so that streams that begin in a
  // later clip get boxes too.
  std::vector<std::string> parts{m_window.evoFileText()};
  if (chosen() != nullptr) {
    parts = titleClips(!options.fastCheck);
    if (options.fastCheck)
      parts.resize(1);
  }
  m_window.log("Opening file " + m_paths.EVOname);
  m_window.slog("Opening", 0);
  RunState& run = m_engine.run();
  run.InputFile = m_fileSystem.openRead(parts.front());
  struct Release {
    RunState& run;
    ~Release() { run.InputFile.reset(); }
  } release{run};
  m_window.slog("Reading", 0);
  m_window.log("File size: " + std::to_string(run.InputFile->size() / MBYTE) + " Mbytes.");
  // The progress of a full scan of a title runs over all its clips; one missing fails the scan before it reads.
  ProgressSpan span;
  for (std::size_t k = 1; k < parts.size(); ++k)
    span.total += m_fileSystem.openRead(parts[k])->size();
  if (span.total > 0)
    span.total += run.InputFile->size();
  m_engine.inventory().reset();
  m_scannedBytes = 0;
  for (std::size_t k = 0; k < parts.size(); ++k) {
    if (k > 0) {
      if (run.CancelRequested)
        break;
      span.before += run.InputFile->size();
      run.InputFile = m_fileSystem.openRead(parts[k]);
      m_window.log("Continue on " + fileNamePart(parts[k]));
    }
    // A later clip finds only the streams the clips before it did not have.
    m_engine.demux(Mode::Scan, options.run(), span, k > 0);
    m_scannedBytes += m_engine.bytesRead();
  }
  const bool userStop = logUserStop(m_window, run, options.fastCheck, span);
  const bool wholeFile = run.InputFile->position() >= run.InputFile->size();
  run.InputFile.reset();
  m_engine.inventory().finish();

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
  // Subpicture boxes of streams not found keep what the reset left them, as without the option.
  for (int k = 0; k < SUB_BOX_COUNT; ++k) {
    if (!m_slots.present(StreamSlotTable::FIRST_SUB_SLOT + k))
      continue;
    m_scannedSubpictures |= static_cast<std::uint16_t>(1u << k);
    const int box = subBox(k);
    m_window.setBoxEnabled(box, true);
    m_window.setBoxChecked(box, true);
    m_window.setBoxCaption(box, scanLabel(SUBPICTURE_STREAM_NAME, k));
  }
  assignBoxes(options.optionOn(Option::EveryStream));
  reportInventory(false, options);
  // Nothing met at all is said aloud, here and in the status bar: such a file is no EVO file, or the
  // fast check stopped before its streams.
  if (!userStop && inventory().empty() && !anySlotFilled(m_slots)) {
    m_noStream = noStreamLine(m_paths.EVOname, !wholeFile);
    m_window.log(m_noStream);
  }

  m_window.log("Done.");
  m_window.slog("Ready", 0);
  m_window.slog(m_noStream, 1);
  scope.readEvoAfter(true);
}

const StreamRecord* Session::boxStream(int box) const {
  if (box < 0 || box >= BOX_COUNT)
    return nullptr;
  if (m_boxes.code[static_cast<std::size_t>(box)] >= 0)
    return m_engine.inventory().find(m_boxes.code[static_cast<std::size_t>(box)]);
  // A box the scan gave no stream may still have written one in a demux (a playlist's box).
  for (const StreamRecord& record : inventory())
    if (record.box == box)
      return &record;
  return nullptr;
}

void Session::assignBoxes(bool everyStream) {
  m_boxes = ardunex::assignBoxes(m_slots, m_scannedSubpictures, inventory(), everyStream);
  // A stream of its own shows in its box, ticked, in order of discovery.
  for (const StreamRecord& record : inventory()) {
    for (int box = 0; box < BOX_COUNT; ++box) {
      if (!m_boxes.own[static_cast<std::size_t>(box)] || m_boxes.code[static_cast<std::size_t>(box)] != record.code)
        continue;
      m_window.setBoxEnabled(box, true);
      m_window.setBoxChecked(box, true);
      m_window.setBoxCaption(box, ownLabel(record));
    }
  }
  std::fill(m_scanned.begin(), m_scanned.end(), false);
  for (const StreamRecord& record : inventory())
    m_scanned[static_cast<std::size_t>(record.code)] = true;
  giveInventoryBoxes(false);
  for (int box = 0; box < BOX_COUNT; ++box) {
    m_scanCaptions[static_cast<std::size_t>(box)] = m_window.boxCaption(box);
    if (const StreamRecord* stream = boxStream(box))
      m_window.setBoxDetail(box, streamDetail(*stream));
  }
}

void Session::giveInventoryBoxes(bool fromSlots) {
  // Each record learns its box: the one the scan gave its stream, else (fromSlots, a demux without a
  // scan of its stream) the enabled box of the number whose slot it claimed in the last run.
  StreamInventory& inventory = m_engine.inventory();
  for (StreamRecord& record : inventory.records()) {
    const auto at = std::find(m_boxes.code.begin(), m_boxes.code.end(), record.code);
    record.box = at != m_boxes.code.end() ? static_cast<int>(at - m_boxes.code.begin()) : -1;
    if (record.box >= 0 || !fromSlots || m_scanned[static_cast<std::size_t>(record.code)])
      continue;
    const int box = numberBox(record);
    if (box < 0 || !m_window.boxEnabled(box) || m_boxes.code[static_cast<std::size_t>(box)] >= 0)
      continue;
    const int slot = box < audioBox(0) ? StreamSlotTable::FIRST_VIDEO_SLOT + box
                                       : StreamSlotTable::FIRST_AUDIO_SLOT + box - audioBox(0);
    if (m_slots.Get(slot) == record.fileCode())
      record.box = box;
  }
}

void Session::reportInventory(bool demux, const JobOptions& options) {
  // Streams without a box, said aloud (a demux names only those the scan did not), then encrypted ones.
  const bool everyStream = options.optionOn(Option::EveryStream);
  const bool subpictures = options.optionOn(Option::Subpictures);
  for (const StreamRecord& record : inventory()) {
    if (record.box >= 0)
      continue;
    const bool unseen = !m_scanned[static_cast<std::size_t>(record.code)];
    if (demux && !unseen)
      continue;
    const int holder = numberBox(record);
    const StreamRecord* holderStream = holder >= 0 ? boxStream(holder) : nullptr;
    std::string reason = demux && record.kind != StreamKind::Subpicture ? "the scan did not find it"
                                                                        : skipReason(record, holderStream, everyStream);
    if (record.kind == StreamKind::Subpicture && subpictures)
      reason = record.fileCode() <= mpeg::SUBPICTURE_NUMBERED_LAST ? "the scan did not find it"
                                                                   : "only subpicture streams 0x20 to 0x2F are demuxed";
    m_window.log(skippedLine(record, reason));
  }
  for (const StreamRecord& record : inventory())
    if (record.scrambledPackets > 0)
      m_window.log(encryptedLine(record));
}

DemuxRequest Session::demuxRequest(const JobOptions& options) const {
  DemuxRequest request;
  for (int box = 0; box < BOX_COUNT; ++box) {
    PlanBox& planBox = request.boxes[static_cast<std::size_t>(box)];
    planBox.checked = m_window.boxChecked(box);
    planBox.enabled = m_window.boxEnabled(box);
    planBox.caption = m_window.boxCaption(box);
    planBox.stream = boxStream(box);
    planBox.own = m_boxes.own[static_cast<std::size_t>(box)];
    planBox.code = m_boxes.code[static_cast<std::size_t>(box)];
  }
  request.scannedSubpictures = m_scannedSubpictures;
  request.options = options;
  request.evoPath = m_window.evoFileText();
  request.evoName = m_paths.EVOname;
  request.evoBase = m_paths.EVObase;
  request.xplPath = m_window.xplFileText();
  return request;
}

void Session::bDemuxClick() {
  if (m_jobRunning)
    return;
  JobScope scope(*this);
  scope.demuxAfter(JobScope::DemuxAfter::Disabled);  // after a failure, until the next box change
  const JobOptions options = JobOptions::of(m_window);
  m_window.showPage(Page::Status);
  // An MKV that cannot be made fails the demux before anything is written.
  const std::string mkvmerge = options.optionOn(Option::MakeMkv) ? findMkvmerge() : std::string();
  if (options.optionOn(Option::MakeMkv) && mkvmerge.empty())
    throw Error(MKVMERGE_MISSING);

  // Plan: every output, its name and format and the packets it takes, and the parts of the input (a title's
  // clips).
  DemuxRequest request = demuxRequest(options);
  if (chosen() != nullptr)
    request.titleClips = titleClips(true);
  const DemuxPlan plan = planDemux(request);
  DemuxJob job(m_window, m_fileSystem, m_engine, plan);
  // A title's chapters and track names are the disc's, whatever Read XPL showed last.
  const std::optional<PlaylistTitle> discTitle =
      chosen() != nullptr ? std::optional<PlaylistTitle>(chosen()->playlist) : std::nullopt;
  RemuxFiles remux(m_window, options, job.guard(), chosen() != nullptr ? discTitle : m_playlistTitle, plan.createBase,
                   plan.outputBase);
  job.openFirstPart(m_paths.EVOname);
  job.checkClips();
  // Guard: no output may be a file the demux reads or another output, and each must be creatable.
  job.guardOutputs(remux);
  job.createOutputs(remux);
  followTicks();

  // Run the parts into the outputs, then finish them.
  m_window.slog("Writing stream(s)", 0);
  m_engine.inventory().reset();
  job.runParts(options.run());
  const DemuxOutcome outcome = job.finish();

  m_engine.inventory().finish();
  giveInventoryBoxes(true);
  reportInventory(true, options);
  for (const std::string& name : outcome.emptyNames)
    m_window.log(emptyOutputLine(name));
  m_wroteEncrypted = false;
  for (const StreamRecord& record : inventory())
    if (record.box >= 0 && outcome.created[static_cast<std::size_t>(record.box)] && record.scrambledPackets > 0)
      m_wroteEncrypted = true;
  afterDemux(remux, outcome, mkvmerge);

  m_window.log("Done.");
  m_window.slog("Ready", 0);
  m_window.slog("", 1);
  scope.demuxAfter(JobScope::DemuxAfter::Enabled);
}

void Session::afterDemux(RemuxFiles& remux, const DemuxOutcome& outcome, const std::string& mkvmerge) {
  // The steps that take the finished streams further: the chapter and option files for remuxing, then the
  // MKV that mkvmerge makes of them.
  if (!remux.wanted())
    return;
  for (const StreamRecord& record : inventory()) {
    const auto box = static_cast<std::size_t>(record.box);
    if (record.box >= 0 && outcome.created[box])
      remux.streamOutcome(record.box, record.payloadBytes > 0 && !outcome.silentWav[box], record);
  }
  remux.write();
  if (mkvmerge.empty())
    return;
  RunState& run = m_engine.run();
  if (run.CancelRequested) {
    m_window.log("No MKV made: the demux was stopped");
    return;
  }
  m_muxing = true;
  struct MuxEnd {
    bool& muxing;
    ~MuxEnd() { muxing = false; }
  } muxEnd{m_muxing};
  const std::function<bool()> stopRequested = [this, &run] {
    if (m_stopFlag != nullptr && m_stopFlag->load(std::memory_order_relaxed))
      run.CancelRequested = true;
    return run.CancelRequested;
  };
  makeMkv(m_window, mkvmerge, remux.muxFiles(), stopRequested);
}

void Session::EVOadj() {
  const std::string path = m_window.evoFileText();
  m_scannedSubpictures = 0;  // found in another file
  m_window.setButtonEnabled(Button::ReadEvo, !path.empty());
  m_paths.EVOname = fileNamePart(path);
  m_paths.EVObase = m_paths.EVOname.size() > 4 ? m_paths.EVOname.substr(0, m_paths.EVOname.size() - 4) : "";
  m_paths.EVOdir = folderPart(path);
  m_evoDialog.initialDir = m_paths.EVOdir;
  m_window.setXplFileText(PLAYLIST_NAME);
  const std::string& dir = m_paths.EVOdir;
  const char separator = dir.empty() ? '\0' : dir.back();
  if (separator != ':' && isPathSeparator(separator) && dir.substr(0, dir.size() - 1).ends_with(VIDEO_FOLDER)) {
    m_paths.XPLdir = dir.substr(0, dir.size() - 1 - VIDEO_FOLDER.size()) + std::string(PLAYLIST_FOLDER) + separator;
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
  leaveTitle();
  m_window.setEvoFileText(path);
  EVOadj();
}

void Session::chooseXplFile(const std::string& path) {
  if (m_jobRunning)
    return;
  leaveTitle();
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
  else if (isFolder(path) || insideDisc(path))
    openDisc(path);  // a folder that holds no disc is said so; another file outside a disc is ignored
}

void Session::openDisc(const std::string& path, bool chooseDefault) {
  if (m_jobRunning)
    return;
  m_disc = readDisc(path, m_fileSystem);
  m_title.reset();
  const std::size_t count = m_disc->titles.size();
  m_window.log("Disc " + m_disc->root + ": " + std::to_string(count) + (count == 1 ? " title" : " titles"));
  m_window.setTitles(titleRows(*m_disc));
  m_window.showPage(Page::Titles);
  if (m_disc->defaultTitle && chooseDefault)
    chooseTitle(*m_disc->defaultTitle);
  else
    m_window.selectTitle(-1);
}

void Session::chooseTitle(std::size_t index) {
  if (m_jobRunning || !m_disc || index >= m_disc->titles.size() || m_title == index)
    return;
  m_title = index;
  const DiscTitle& title = m_disc->titles[index];
  // The first clip whose data are on the disc names the outputs; a refused one has no path, and Read EVO says
  // why.
  const auto first = std::find_if(title.clips.begin(), title.clips.end(), [](const DiscClip& c) { return c.onDisc; });
  m_window.setEvoFileText(first != title.clips.end() ? first->evoPath : std::string());
  EVOadj();
  m_window.setXplFileText(m_disc->playlist);
  XPLadj();
  m_window.selectTitle(static_cast<int>(index));
  m_window.log("Title " + std::to_string(title.number) + ": " + (title.name.empty() ? "(no name)" : title.name) + ", " +
               std::to_string(title.clips.size()) + (title.clips.size() == 1 ? " clip" : " clips"));
}

void Session::leaveTitle() {
  if (!m_title)
    return;
  m_title.reset();
  m_window.selectTitle(-1);
}

std::vector<std::string> Session::titleClips(bool logSkipped) const {
  const DiscTitle* title = chosen();
  std::vector<std::string> paths;
  if (title == nullptr)
    return paths;
  const std::string titleName = "title " + std::to_string(title->number);
  for (std::size_t k = 0; k < title->clips.size(); ++k) {
    const DiscClip& clip = title->clips[k];
    const std::string clipName = "clip " + std::to_string(k + 1) + " of " + titleName;
    if (!clip.onDisc) {
      if (logSkipped)
        m_window.log("Skipping " + clipName + ": its data source is \"" + clip.dataSource + "\", not the disc");
      continue;
    }
    if (!clip.refusal.empty())
      throw Error("Cannot demux " + clipName + ": " + clip.refusal);
    paths.push_back(clip.evoPath);
  }
  if (paths.empty())
    throw Error("Cannot demux " + titleName + ": none of its clips is on the disc");
  return paths;
}

}  // namespace ardunex
