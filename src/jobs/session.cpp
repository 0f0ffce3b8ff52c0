// The scan and demux jobs, the selection rule, the box reset and path derivation.
#include "jobs/session.h"

#include <algorithm>
#include <array>

#include "base/ascii_text.h"
#include "base/errors.h"
#include "codecs/stream_ids.h"
#include "jobs/inventory_report.h"
#include "jobs/job_scope.h"
#include "jobs/job_warnings.h"
#include "jobs/output_guard.h"
#include "jobs/remux_files.h"
#include "jobs/stream_names.h"
#include "outputs/sup_writer.h"
#include "outputs/wav_writer.h"

namespace ardunex {
namespace {

constexpr const char* RESET_CAPTIONS[] = {"No video stream", "No audio stream", "No subpicture"};
constexpr const char* FIRST_PART_ENDING = "_1.EVO";
constexpr const char* PLAYLIST_NAME = "VPLST000.XPL";
constexpr const char* SUBPICTURE_EXT = "sup";
constexpr const char* WAV_EXTENSION = "wav";

// The disc's folders, each followed by a separator: "/" on POSIX; on Windows "\" or "/", and the guessed
// playlist folder keeps the separator the EVO path used.
constexpr std::string_view DISC_VIDEO_FOLDER = "HVDVD_TS";
constexpr std::string_view DISC_PLAYLIST_FOLDER = "ADV_OBJ";

bool endsWith(const std::string& text, std::string_view ending) {
  return text.size() >= ending.size() && text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

/// After a run that Cancel (or an interrupt) stopped before the end of its input, logs how far it got, so
/// that the files of a stopped job are not taken for complete ones. The stop of a fast scan at its first
/// progress report is the fast check's own, not the user's. Returns whether the user stopped it.
bool logUserStop(Window& window, const RunState& run, bool fastScan) {
  const std::int64_t position = run.InputFile->position();
  const std::int64_t size = run.InputFile->size();
  if (!run.CancelRequested || position >= size || (fastScan && position <= PROGRESS_STEP))
    return false;
  window.log("Stopped by the user after " + std::to_string(position / MBYTE) + " of " + std::to_string(size / MBYTE) +
             " Mbytes.");
  return true;
}

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
  m_engine.inventory().reset();
  m_engine.demux(Mode::Scan, options);
  const bool userStop = logUserStop(m_window, run, options.fastCheck);
  const bool wholeFile = run.InputFile->position() >= run.InputFile->size();
  run.InputFile.reset();
  m_engine.inventory().finish();
  m_scannedBytes = m_engine.bytesRead();

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
  if (m_boxCode[static_cast<std::size_t>(box)] >= 0)
    return m_engine.inventory().find(m_boxCode[static_cast<std::size_t>(box)]);
  // A box the scan gave no stream may still have written one in a demux (a playlist's box).
  for (const StreamRecord& record : inventory())
    if (record.box == box)
      return &record;
  return nullptr;
}

int Session::holderBox(const StreamRecord& record) const {
  // The box that a stream's number selects, where the first stream of that number is written.
  if (record.kind == StreamKind::Video)
    return record.number < 2 ? videoBox(record.number) : -1;
  if (record.kind == StreamKind::Audio && record.coding != StreamCoding::MpegAudio)
    return audioBox(record.number);
  return -1;
}

void Session::assignBoxes(bool everyStream) {
  // The boxes of the slots first, each standing for the stream that claimed it.
  m_boxCode = emptyBoxCodes();
  m_ownBox.fill(false);
  for (int k = 0; k < 2; ++k)
    if (m_slots.present(StreamSlotTable::FIRST_VIDEO_SLOT + k))
      m_boxCode[static_cast<std::size_t>(videoBox(k))] = m_slots.Get(StreamSlotTable::FIRST_VIDEO_SLOT + k);
  for (int k = 0; k < AUDIO_BOX_COUNT; ++k)
    if (m_slots.present(StreamSlotTable::FIRST_AUDIO_SLOT + k))
      m_boxCode[static_cast<std::size_t>(audioBox(k))] =
          StreamInventory::SUB_STREAM + m_slots.Get(StreamSlotTable::FIRST_AUDIO_SLOT + k);
  for (int k = 0; k < SUB_BOX_COUNT; ++k)
    if (m_scannedSubpictures & (1u << k))
      m_boxCode[static_cast<std::size_t>(subBox(k))] =
          StreamInventory::SUB_STREAM + m_slots.Get(StreamSlotTable::FIRST_SUB_SLOT + k);
  // Every stream: the others get the next free box of their group, in order of discovery.
  if (everyStream) {
    for (const StreamRecord& record : inventory()) {
      if (record.kind == StreamKind::Subpicture ||
          std::find(m_boxCode.begin(), m_boxCode.end(), record.code) != m_boxCode.end())
        continue;
      const int first = record.kind == StreamKind::Video ? videoBox(0) : audioBox(0);
      const int count = record.kind == StreamKind::Video ? VIDEO_BOX_COUNT : AUDIO_BOX_COUNT;
      for (int box = first; box < first + count; ++box) {
        if (m_boxCode[static_cast<std::size_t>(box)] >= 0)
          continue;
        m_boxCode[static_cast<std::size_t>(box)] = record.code;
        m_ownBox[static_cast<std::size_t>(box)] = true;
        m_window.setBoxEnabled(box, true);
        m_window.setBoxChecked(box, true);
        m_window.setBoxCaption(box, ownLabel(record));
        break;
      }
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
    const auto at = std::find(m_boxCode.begin(), m_boxCode.end(), record.code);
    record.box = at != m_boxCode.end() ? static_cast<int>(at - m_boxCode.begin()) : -1;
    if (record.box >= 0 || !fromSlots || m_scanned[static_cast<std::size_t>(record.code)])
      continue;
    const int box = holderBox(record);
    if (box < 0 || !m_window.boxEnabled(box) || m_boxCode[static_cast<std::size_t>(box)] >= 0)
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
    const int holder = holderBox(record);
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

std::string Session::outputName(const std::string& outputBase, const std::string& caption,
                                const std::string& ext) const {
  // A caption may come from an untrusted playlist: it must not lead the file out of the output folder, and
  // its bytes that are not UTF-8 are replaced as the option file and the log replace them.
  std::string safeCaption = validUtf8(caption);
  std::replace_if(safeCaption.begin(), safeCaption.end(), isPathSeparator, '_');
  return outputBase + "." + safeCaption + "." + ext;
}

void Session::bDemuxClick() {
  if (m_jobRunning)
    return;
  JobScope scope(*this);
  scope.demuxAfter(JobScope::DemuxAfter::Disabled);  // after a failure, until the next box change
  const JobOptions options = JobOptions::of(m_window);

  m_window.showPage(Page::Status);
  const std::string& workdir = options.workdir;
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
  const bool firstPart = options.continueOnSecond && endsWith(m_paths.EVOname, FIRST_PART_ENDING);

  m_window.log("Opening file " + m_paths.EVOname);
  m_window.slog("Opening", 0);
  RunState& run = m_engine.run();
  PayloadRouter& router = m_engine.router();
  struct Release {
    RunState& run;
    PayloadRouter& router;
    bool normal = false;
    ~Release() {
      run.InputFile.reset();
      if (!normal) {
        try {
          router.closeAll();  // keep what was written; the failure on its way is what is reported
        } catch (const Error&) {
        }
      }
    }
  } release{run, router};
  run.InputFile = m_fileSystem.openRead(evoPath);
  m_window.log("File size: " + std::to_string(run.InputFile->size() / MBYTE) + " Mbytes.");

  const std::string& videoExt = options.videoExt;
  const std::string& audioExt = options.audioExt;
  const bool delayNames = options.optionOn(Option::DelayNames);
  auto nameFor = [&](int box, const std::string& ext) {
    std::string caption = m_window.boxCaption(box);
    const StreamRecord* stream = boxStream(box);
    if (delayNames && stream)
      caption += delayNamePart(*stream);
    return outputName(outputBase, caption, ext);
  };
  // Only a box the user can see ticked is written; a greyed one never is.
  auto wanted = [&](int box) { return m_window.boxChecked(box) && m_window.boxEnabled(box); };
  auto writtenBox = [&](int box) {
    return box < 2 || (box >= audioBox(0) && box < subBox(0)) || m_ownBox[static_cast<std::size_t>(box)];
  };
  // No output may be the file being read: every name is checked before the first file is created.
  OutputGuard guard(m_fileSystem);
  guard.addInput(evoPath, IS_EVO_FILE);
  if (endsWith(m_paths.EVOname, FIRST_PART_ENDING))
    guard.addInput(secondEvo, IS_SECOND_PART);  // the user's second part, continued onto or not
  if (!m_window.xplFileText().empty())
    guard.addInput(m_window.xplFileText(), IS_PLAYLIST);
  // LPCM as WAV: an LPCM stream whose format the scan read goes into a WAV file, one whose header cannot be
  // read stays raw.
  std::array<bool, BOX_COUNT> wav{};
  std::array<bool, BOX_COUNT> unreadableLpcm{};
  if (options.optionOn(Option::LpcmWav)) {
    for (int box = audioBox(0); box < subBox(0); ++box) {
      const StreamRecord* stream = boxStream(box);
      if (!wanted(box) || !stream || stream->coding != StreamCoding::Lpcm)
        continue;
      const StreamParams& params = stream->params;
      const bool readable = params.channels && params.sampleRate && params.bits;
      (readable ? wav : unreadableLpcm)[static_cast<std::size_t>(box)] = true;
    }
  }
  auto extOf = [&](int box) -> std::string {
    if (box < VIDEO_BOX_COUNT)
      return videoExt;
    if (box >= subBox(0))
      return SUBPICTURE_EXT;
    return wav[static_cast<std::size_t>(box)] ? WAV_EXTENSION : audioExt;
  };
  for (int box = 0; box < subBox(0); ++box)
    if (writtenBox(box) && wanted(box))
      guard.reserve(createBase + nameFor(box, extOf(box)));
  // A subpicture box gets a file when the option is on and the last scan of this file found its stream.
  const bool subpictures = options.optionOn(Option::Subpictures);
  auto writesSubpicture = [&](int k) {
    return subpictures && (m_scannedSubpictures & (1u << k)) != 0 && wanted(subBox(k));
  };
  for (int k = 0; k < SUB_BOX_COUNT; ++k)
    if (writesSubpicture(k))
      guard.reserve(createBase + nameFor(subBox(k), extOf(subBox(k))));
  RemuxFiles remux(m_window, options, guard, m_playlistTitle, createBase, outputBase);
  remux.reserve();
  // Every name is taken and checked before the first file is created, so that a refused demux empties no
  // file of an earlier one.
  if (!workdir.empty() && m_fileSystem.makeFolders(workdir))
    m_window.log("Creating folder " + workdir);
  guard.checkReserved();
  std::array<bool, BOX_COUNT> created{};
  std::array<const WavWriter*, BOX_COUNT> wavWriters{};
  WrittenOutputs written;
  auto createFor = [&](int box, Route route) {
    if (!wanted(box))
      return;
    const std::string name = nameFor(box, extOf(box));
    std::unique_ptr<OutputFile> file = guard.create(createBase + name);
    created[static_cast<std::size_t>(box)] = true;
    m_window.log("Creating " + name);
    if (unreadableLpcm[static_cast<std::size_t>(box)])
      m_window.log("LPCM header cannot be read: " + name + " is written raw");
    const bool asWav = wav[static_cast<std::size_t>(box)];
    std::unique_ptr<StreamWriter> writer;
    if (route.by == Route::By::SubpictureNumber) {
      // A SUP file counts the whole units that reach it.
      writer = std::make_unique<SupWriter>(written.watch(std::move(file), name), m_window, route.value);
    } else if (asWav) {
      auto wavWriter = std::make_unique<WavWriter>(std::move(file), m_window);
      wavWriters[static_cast<std::size_t>(box)] = wavWriter.get();
      writer = written.watch(std::move(wavWriter), name);
    } else {
      writer = written.watch(std::make_unique<RawWriter>(std::move(file)), name);
    }
    router.add(route, box, std::move(writer));
    if (remux.wanted())
      remux.streamFile(box, name, asWav);
  };
  for (int box = 0; box < VIDEO_BOX_COUNT + AUDIO_BOX_COUNT; ++box) {
    if (m_ownBox[static_cast<std::size_t>(box)])
      createFor(box, {Route::By::Code, m_boxCode[static_cast<std::size_t>(box)]});  // a stream of its own
    else if (box < 2)
      createFor(box, {Route::By::VideoNumber, box});
    else if (box >= audioBox(0))
      createFor(box, {Route::By::AudioNumber, box - audioBox(0)});
  }
  for (int k = 0; k < SUB_BOX_COUNT; ++k)
    if (writesSubpicture(k))
      createFor(subBox(k), {Route::By::SubpictureNumber, k});
  followTicks();

  m_window.slog("Writing stream(s)", 0);
  m_engine.inventory().reset();
  m_engine.demux(Mode::Demux, options);

  if (firstPart && !run.CancelRequested && m_fileSystem.exists(secondEvo)) {
    run.InputFile.reset();
    guard.refuseOutput(secondEvo);
    run.InputFile = m_fileSystem.openRead(secondEvo);
    m_window.log("Continue on " + fileNamePart(secondEvo));
    m_engine.demux(Mode::Demux, options);
  }
  logUserStop(m_window, run, false);

  run.InputFile.reset();
  router.finish(run.CancelRequested);
  std::array<bool, BOX_COUNT> silentWav{};  // WAV files that never met a header they could read
  for (int box = 0; box < BOX_COUNT; ++box)
    if (const WavWriter* writer = wavWriters[static_cast<std::size_t>(box)]; writer && !writer->format())
      silentWav[static_cast<std::size_t>(box)] = true;
  release.normal = true;
  router.closeAll();  // a failed flush or close is a write error like any other
  m_engine.inventory().finish();
  giveInventoryBoxes(true);
  reportInventory(true, options);
  for (const std::string& name : written.emptyNames())
    m_window.log(emptyOutputLine(name));
  m_wroteEncrypted = false;
  for (const StreamRecord& record : inventory())
    if (record.box >= 0 && created[static_cast<std::size_t>(record.box)] && record.scrambledPackets > 0)
      m_wroteEncrypted = true;
  if (remux.wanted()) {
    for (const StreamRecord& record : inventory())
      if (record.box >= 0 && created[static_cast<std::size_t>(record.box)])
        remux.streamOutcome(record.box, record.payloadBytes > 0 && !silentWav[static_cast<std::size_t>(record.box)],
                            record.coding == StreamCoding::Lpcm, record.delayMs);
    remux.write();
  }

  m_window.log("Done.");
  m_window.slog("Ready", 0);
  m_window.slog("", 1);
  scope.demuxAfter(JobScope::DemuxAfter::Enabled);
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
  if (separator != ':' && isPathSeparator(separator) && endsWith(dir.substr(0, dir.size() - 1), DISC_VIDEO_FOLDER)) {
    m_paths.XPLdir =
        dir.substr(0, dir.size() - 1 - DISC_VIDEO_FOLDER.size()) + std::string(DISC_PLAYLIST_FOLDER) + separator;
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
