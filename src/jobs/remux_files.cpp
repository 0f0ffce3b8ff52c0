// SPDX-License-Identifier: GPL-2.0-or-later
// Chapter files and the mkvmerge option file, written after the streams of a demux.
#include "jobs/remux_files.h"

#include <algorithm>

#include "jobs/chapter_files.h"
#include "jobs/mkvmerge_options.h"

namespace ardunex {
namespace {

constexpr const char* CHAPTERS_XML = ".chapters.xml";
constexpr const char* CHAPTERS_TXT = ".chapters.txt";
constexpr const char* OPTION_FILE = ".mkvmerge.json";
constexpr const char* MKV_EXTENSION = ".mkv";
constexpr const char* UNDETERMINED = "und";

/// Video whose elementary stream may carry no frame rate (VC-1, AVC without timing information): mkvmerge is
/// given the rate the scan read, so that the MKV's duration is the title's.
bool mayLackFrameRate(StreamCoding coding) { return coding == StreamCoding::Vc1 || coding == StreamCoding::Avc; }

}  // namespace

RemuxFiles::RemuxFiles(Window& window, const JobOptions& options, OutputGuard& guard,
                       const std::optional<PlaylistTitle>& title, std::string createBase, std::string outputBase)
    : m_window(window),
      m_guard(guard),
      m_title(title),
      m_createBase(std::move(createBase)),
      m_outputBase(std::move(outputBase)),
      m_chapters(options.optionOn(Option::Chapters)),
      m_mkvmerge(options.optionOn(Option::MkvmergeFile)),
      m_mkv(options.optionOn(Option::MakeMkv)),
      m_keepStreams(options.optionOn(Option::KeepStreams)),
      m_lpcmWav(options.optionOn(Option::LpcmWav)) {
  m_mux.mkv.name = m_outputBase + MKV_EXTENSION;
  m_mux.mkv.path = m_createBase + m_mux.mkv.name;
}

void RemuxFiles::reserve() {
  if ((m_chapters || m_mkv) && m_title)
    m_guard.reserve(m_createBase + m_outputBase + CHAPTERS_XML);
  if (m_chapters && m_title)
    m_guard.reserve(m_createBase + m_outputBase + CHAPTERS_TXT);
  if (m_mkvmerge || m_mkv)
    m_guard.reserve(m_createBase + m_outputBase + OPTION_FILE);
  if (m_mkv)
    m_guard.reserve(m_mux.mkv.path);  // mkvmerge writes it, but no other output may be it
}

void RemuxFiles::streamFile(int box, const std::string& name, bool wav, bool forMux) {
  StreamFile file;
  file.box = box;
  file.name = name;
  file.wav = wav;
  file.forMux = forMux;
  m_files.push_back(file);
}

void RemuxFiles::streamOutcome(int box, bool written, const StreamRecord& stream) {
  for (StreamFile& file : m_files) {
    if (file.box == box) {
      file.written = written;
      file.lpcm = stream.coding == StreamCoding::Lpcm;
      file.delayMs = stream.delayMs;
      if (m_mkv && mayLackFrameRate(stream.coding))
        file.frameRate = stream.params.frameRate.value_or("");
    }
  }
}

void RemuxFiles::write() {
  std::string chapterFile;
  if (m_chapters || m_mkv)
    chapterFile = writeChapters();
  if (m_mkvmerge || m_mkv)
    writeMkvmerge(chapterFile);
}

std::string RemuxFiles::writeChapters() {
  // For the MKV alone, a title without chapters needs no word.
  const auto noChapters = [this](const char* line) {
    if (m_chapters)
      m_window.log(line);
    return std::string();
  };
  if (!m_title)
    return noChapters("No chapters written: no playlist title was read");
  if (!m_title->hasChapterList)
    return noChapters("No chapters written: the playlist title has no chapter list");
  const std::vector<Chapter> chapters = titleChapters(*m_title, m_window);
  if (chapters.empty())
    return noChapters("No chapters written: the playlist title has no chapter with a readable time");
  const std::string& language = m_title->defaultLanguage;
  if (!language.empty())
    checkedLanguage(language, "the chapters");
  const std::string xmlName = m_outputBase + CHAPTERS_XML;
  writeText(xmlName, matroskaChapters(chapters, iso639_2(language)));
  if (!m_chapters) {
    m_mux.removeAfter.push_back({m_createBase + xmlName, xmlName});
    return m_createBase + xmlName;
  }
  writeText(m_outputBase + CHAPTERS_TXT, ogmChapters(chapters));
  return m_createBase + xmlName;
}

const PlaylistTrack* RemuxFiles::trackOf(int box) const {
  if (!m_title)
    return nullptr;
  const bool video = box < VIDEO_BOX_COUNT;
  const std::vector<PlaylistTrack>& tracks = video ? m_title->video : m_title->audio;
  // The track whose label the box carries (with every stream on, a playlist track may sit on a box of
  // another number), else the track of the box's number.
  const std::string caption = m_window.boxCaption(box);
  for (const PlaylistTrack& track : tracks)
    if (!track.label.empty() && track.label == caption)
      return &track;
  const int number = (video ? box - videoBox(0) : box - audioBox(0)) + 1;
  for (const PlaylistTrack& track : tracks)
    if (track.number == number)
      return &track;
  return nullptr;
}

std::vector<const RemuxFiles::StreamFile*> RemuxFiles::muxedFiles() {
  std::vector<const StreamFile*> muxed;
  std::string subpictures;
  for (const StreamFile& file : m_files) {
    if (file.box >= subBox(0)) {
      if (m_mkv)
        subpictures += (subpictures.empty() ? "" : ", ") + file.name;
      else
        m_window.log("Left out of the mkvmerge option file, mkvmerge cannot read raw subpictures: " + file.name);
      continue;
    }
    if (!file.written) {
      m_window.log("Left out of the mkvmerge option file, nothing was written to it: " + file.name);
      continue;
    }
    if (file.lpcm && !file.wav) {
      // The WAV made for the MKV beside it goes in instead.
      const bool wavBeside = std::any_of(m_files.begin(), m_files.end(),
                                         [&](const StreamFile& other) { return other.box == file.box && other.wav; });
      if (!wavBeside)
        m_window.log("Left out of the mkvmerge option file, mkvmerge cannot read headerless LPCM: " + file.name);
      continue;
    }
    muxed.push_back(&file);
  }
  if (!subpictures.empty())
    m_window.log("The SUP files stay beside the MKV, as Matroska cannot hold HD DVD subpictures: " + subpictures);
  return muxed;
}

void RemuxFiles::writeMkvmerge(const std::string& chapterFile) {
  RemuxPlan plan;
  plan.output = absolutePath(m_mux.mkv.path);
  if (m_title)
    plan.title = validUtf8(decodeXmlReferences(m_title->displayName));
  if (!chapterFile.empty())
    plan.chapters = absolutePath(chapterFile);
  const std::vector<const StreamFile*> muxed = muxedFiles();
  for (const StreamFile* muxedFile : muxed) {
    const StreamFile& file = *muxedFile;
    RemuxTrack track;
    track.path = absolutePath(m_createBase + file.name);
    if (const PlaylistTrack* known = trackOf(file.box)) {
      // A name only for a box that carries the playlist's label; the language whatever the label.
      if (!known->label.empty() && m_window.boxCaption(file.box) == known->label)
        track.name = validUtf8(decodeXmlReferences(known->description));
      if (!known->language.empty())
        track.language = checkedLanguage(known->language, file.name);
    }
    if (file.box >= audioBox(0))
      track.delayMs = file.delayMs;
    if (!file.frameRate.empty())
      track.defaultDuration = file.frameRate + "fps";
    plan.tracks.push_back(std::move(track));
  }
  // mkvmerge opens the files by the bytes of their names: a name that cannot be written as UTF-8 would be
  // written with replacement characters and name a file that does not exist.
  std::vector<const std::string*> paths{&plan.output, &plan.chapters};
  for (const RemuxTrack& track : plan.tracks)
    paths.push_back(&track.path);
  for (const std::string* path : paths) {
    if (validUtf8(*path) != *path) {
      m_window.log("No mkvmerge option file written: the path \"" + validUtf8(*path) +
                   "\" is not UTF-8, so the option file cannot name it");
      return;
    }
  }
  const std::string optionName = m_outputBase + OPTION_FILE;
  writeText(optionName, mkvmergeOptionFile(plan));
  if (!m_mkv)
    return;
  m_mux.optionFile = m_createBase + optionName;
  m_mux.tracks = static_cast<int>(plan.tracks.size());
  // Made for the MKV, or stream files it holds that are not to be kept; what an option asked for stays.
  for (const StreamFile* file : muxed)
    if (file->forMux || (!m_keepStreams && !(file->wav && m_lpcmWav)))
      m_mux.removeAfter.push_back({m_createBase + file->name, file->name});
  if (!m_mkvmerge)
    m_mux.removeAfter.push_back({m_mux.optionFile, optionName});
}

std::string RemuxFiles::checkedLanguage(const std::string& langcode, const std::string& what) {
  if (const auto code = isoLanguage(langcode))
    return *code;
  m_window.log("Unknown language code \"" + validUtf8(langcode) + "\" for " + what + ": " + UNDETERMINED + " written");
  return UNDETERMINED;
}

void RemuxFiles::writeText(const std::string& name, const std::string& text) {
  auto file = m_guard.create(m_createBase + name);
  m_window.log("Creating " + name);
  file->append(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  file->close();
}

}  // namespace ardunex
