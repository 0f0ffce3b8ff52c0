// SPDX-License-Identifier: GPL-2.0-or-later
// Opens a disc folder: finds its root and playlist, reads the playlist into titles and finds each clip's EVO
// file on the disc, names matched without regard to case since copies of discs spell them either way.
#include "jobs/disc.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <system_error>
#include <utility>

#include "base/ascii_text.h"
#include "base/errors.h"
#include "base/file_io.h"
#include "engine/engine.h"
#include "xpl/xpl_attr.h"
#include "xpl/xpl_reader.h"

namespace ardunex {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view DISC_URI = "file:///dvddisc/";
constexpr std::string_view DISC_DATA_SOURCE = "DISC";
constexpr std::int64_t NS_PER_MS = 1'000'000;
constexpr std::int64_t MS_PER_SECOND = 1000;
constexpr std::int64_t SECONDS_PER_MINUTE = 60;
constexpr std::int64_t SECONDS_PER_HOUR = 3600;
/// The most clips the titles page's detail of a title lists, so that a title of thousands stays readable.
constexpr std::size_t ROW_DETAIL_CLIPS = 40;

// Paths are UTF-8 in the program; the standard library takes them as such only through char8_t.
fs::path utf8Path(const std::string& text) { return {std::u8string(text.begin(), text.end())}; }

std::string utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

/// Finds names in the disc's folders without regard to ASCII case (the first in name order when several
/// match), listing each folder once however many clips name files in it.
class FolderNames {
 public:
  /// The entry of folder called name; empty when there is none.
  std::optional<fs::path> find(const fs::path& folder, const std::string& name) {
    std::error_code error;
    if (fs::path exact = folder / utf8Path(name); fs::exists(exact, error))
      return exact;
    const auto [listing, added] = m_folders.try_emplace(folder);
    if (added) {
      for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::string entry = utf8(it->path().filename());
        const auto [known, first] = listing->second.try_emplace(asciiUpper(entry), entry);
        if (!first && entry < known->second)
          known->second = std::move(entry);
      }
    }
    const auto found = listing->second.find(asciiUpper(name));
    if (found == listing->second.end())
      return std::nullopt;
    return folder / utf8Path(found->second);
  }

  /// The playlist file in a folder's ADV_OBJ folder; empty when there is none.
  std::optional<fs::path> playlistIn(const fs::path& folder) {
    const auto objects = find(folder, DISC_PLAYLIST_FOLDER);
    return objects ? find(*objects, DISC_PLAYLIST_NAME) : std::nullopt;
  }

 private:
  /// Upper-cased names and the entry they stand for, per folder.
  std::map<fs::path, std::map<std::string, std::string>> m_folders;
};

/// Reads the playlist file into tag lines and codec tables, as "Read XPL" does but without stopping at an
/// attribute item whose index cannot be read.
void readPlaylist(FileSystem& files, const std::string& path, Disc& disc) {
  const std::unique_ptr<InputFile> input = files.openRead(path);
  XplReader reader(disc.xplLines, disc.codecs);
  reader.passOverBadIndexes();
  std::vector<std::uint8_t> buffer(READ_BUFFER_SIZE);
  readPlaylistFile(*input, reader, buffer);
}

/// A title time "HH:MM:SS:FF" at the time base in milliseconds; empty when either cannot be read.
std::optional<std::int64_t> titleTimeMs(const std::string& text, std::optional<int> rate) {
  const auto ns = rate ? titleTimeNs(text, *rate) : std::nullopt;
  if (!ns)
    return std::nullopt;
  return (*ns + NS_PER_MS / 2) / NS_PER_MS;
}

DiscClip discClip(const PlaylistClip& clip, std::optional<int> rate, const fs::path& root, FolderNames& names) {
  DiscClip out;
  out.src = clip.src;
  out.dataSource = clip.dataSource;
  out.onDisc = clip.dataSource.empty() || asciiUpper(clip.dataSource) == DISC_DATA_SOURCE;
  out.beginMs = titleTimeMs(clip.titleTimeBegin, rate);
  out.endMs = titleTimeMs(clip.titleTimeEnd, rate);
  if (!out.onDisc)
    return out;
  const ClipLocation location = clipLocation(clip.src);
  out.refusal = location.refusal;
  if (!out.refusal.empty())
    return out;
  // A part not found keeps the playlist's spelling, so that the path shown says what is missing.
  fs::path path = root;
  for (const std::string& part : location.parts)
    path = names.find(path, part).value_or(path / utf8Path(part));
  out.evoPath = utf8(path);
  std::error_code error;
  out.present = fs::is_regular_file(path, error);
  return out;
}

std::vector<DiscTrack> discTracks(const std::vector<PlaylistStream>& streams) {
  std::vector<DiscTrack> tracks;
  tracks.reserve(streams.size());
  for (const PlaylistStream& stream : streams)
    tracks.push_back(
        {stream.track, stream.streamNumber, decodeXmlReferences(stream.description), stream.language, stream.codec});
  return tracks;
}

DiscTitle discTitle(PlaylistTitle title, int place, const fs::path& root, FolderNames& names) {
  DiscTitle out;
  out.number = place;
  try {
    if (const std::int32_t number = parseInt32(title.titleNumber); number >= 1)
      out.number = number;
  } catch (const ConvertError&) {
    // No readable titleNumber: the title keeps its place.
  }
  out.id = decodeXmlReferences(title.id);
  out.name = decodeXmlReferences(title.displayName);
  const std::optional<int> rate = timeBaseRate(title.timeBase);
  out.durationMs = titleTimeMs(title.titleDuration, rate);
  for (const PlaylistClip& clip : title.clips)
    out.clips.push_back(discClip(clip, rate, root, names));
  out.audio = discTracks(title.audioStreams);
  out.subtitles = discTracks(title.subtitleStreams);
  for (const PlaylistChapter& chapter : title.chapters)
    out.chapters.push_back({titleTimeMs(chapter.titleTimeBegin, rate), decodeXmlReferences(chapter.displayName)});
  out.playlist = std::move(title);
  return out;
}

/// value in decimal with leading zeros up to width digits.
std::string padded(std::int64_t value, std::size_t width) {
  const std::string digits = std::to_string(value);
  return std::string(width - std::min(width, digits.size()), '0') + digits;
}

std::string number(std::optional<int> value) { return value ? std::to_string(*value) : "?"; }

std::string counted(std::size_t count, const std::string& what) {
  return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

/// The clip's place on the disc and its marks: refused, skipped, missing.
std::string clipText(const Disc& disc, const DiscClip& clip) {
  if (!clip.refusal.empty())
    return "refused: " + clip.refusal;
  const std::string times = clockText(clip.beginMs) + " to " + clockText(clip.endMs);
  if (!clip.onDisc)
    return "skipped, data source \"" + clip.dataSource + "\": " + clip.src + ", " + times;
  // The EVO path is built below the root: shown relative to it.
  const std::string evo = clip.evoPath.substr(std::min(clip.evoPath.size(), disc.root.size() + 1));
  return evo + ", " + times + (clip.present ? "" : ", missing");
}

std::string trackText(const char* kind, const DiscTrack& track) {
  std::string text = std::string("  ") + kind + " stream " + number(track.streamNumber) + ", track " +
                     number(track.track) + ": " + track.description;
  if (!track.language.empty())
    text += " (" + track.language + ")";
  if (!track.codec.empty())
    text += " " + track.codec;
  return text + "\n";
}

/// The tracks in a few words each: language (else description) and codec.
std::string tracksInBrief(const std::vector<DiscTrack>& tracks, bool codec) {
  std::string text;
  for (const DiscTrack& track : tracks) {
    std::string item = track.language.empty() ? track.description : track.language;
    if (codec && !track.codec.empty())
      item += (item.empty() ? "" : " ") + track.codec;
    text += (text.empty() ? "" : ", ") + item;
  }
  return text;
}

/// The number of clips, and how many of them cannot be demuxed and why.
std::string clipsInBrief(const DiscTitle& title) {
  std::size_t missing = 0;
  std::size_t refused = 0;
  std::size_t skipped = 0;
  for (const DiscClip& clip : title.clips) {
    refused += clip.refusal.empty() ? 0 : 1;
    skipped += clip.onDisc ? 0 : 1;
    missing += clip.onDisc && clip.refusal.empty() && !clip.present ? 1 : 0;
  }
  std::string text = std::to_string(title.clips.size());
  for (const auto& [count, mark] : {std::pair{missing, "missing"}, {refused, "refused"}, {skipped, "skipped"}})
    if (count > 0)
      text += ", " + std::to_string(count) + " " + mark;
  return text;
}

}  // namespace

std::string findDiscRoot(const std::string& path) {
  std::error_code error;
  fs::path current = fs::absolute(utf8Path(path), error);
  if (error || !fs::exists(fs::status(current, error)))
    throw OpenError(path, error ? error.message() : systemReason(ENOENT));
  current = current.lexically_normal();
  if (!current.has_filename() && current.has_relative_path())
    current = current.parent_path();  // a trailing separator
  if (!fs::is_directory(current, error))
    current = current.parent_path();
  FolderNames names;
  for (;;) {
    if (names.playlistIn(current))
      return utf8(current);
    const fs::path parent = current.parent_path();
    if (parent.empty() || parent == current)
      break;
    current = parent;
  }
  throw Error("No HD DVD disc at \"" + path + "\": no " + DISC_PLAYLIST_FOLDER + "/" + DISC_PLAYLIST_NAME +
              " in it or in a folder above it");
}

bool isFolder(const std::string& path) {
  std::error_code error;
  return fs::is_directory(utf8Path(path), error);
}

bool insideDisc(const std::string& path) {
  try {
    findDiscRoot(path);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

Disc readDisc(const std::string& path, FileSystem& files) {
  Disc disc;
  disc.root = findDiscRoot(path);
  const fs::path root = utf8Path(disc.root);
  FolderNames names;
  disc.playlist = utf8(names.playlistIn(root).value_or(root / DISC_PLAYLIST_FOLDER / DISC_PLAYLIST_NAME));
  readPlaylist(files, disc.playlist, disc);
  std::vector<PlaylistTitle> titles = playlistTitles(disc.xplLines, disc.codecs, DISC_MAX_TITLES, disc.titlesNotRead);
  for (std::size_t k = 0; k < titles.size(); ++k)
    disc.titles.push_back(discTitle(std::move(titles[k]), static_cast<int>(k + 1), root, names));
  disc.defaultTitle = defaultTitleIndex(disc.titles);
  return disc;
}

ClipLocation clipLocation(std::string_view src) {
  ClipLocation location;
  std::string_view path = src;
  if (asciiUpper(path.substr(0, DISC_URI.size())) == asciiUpper(DISC_URI))
    path.remove_prefix(DISC_URI.size());
  const auto refuse = [&](const char* reason) {
    location.parts.clear();
    location.refusal = "src \"" + std::string(src) + "\" " + reason;
    return location;
  };
  if (contains(path, "\\"))
    return refuse("is a backslash path");
  if (path.starts_with('/'))
    return refuse("is an absolute path");
  if (path.size() >= 2 && path[1] == ':' && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')))
    return refuse("has a drive letter");
  if (contains(path, ":"))
    return refuse("is not a file on the disc");
  while (!path.empty()) {
    const std::size_t slash = std::min(path.find('/'), path.size());
    const std::string_view part = path.substr(0, slash);
    path.remove_prefix(std::min(slash + 1, path.size()));
    if (part == "..")
      return refuse("leaves the disc folder");
    if (!part.empty() && part != ".")
      location.parts.emplace_back(part);
  }
  // The EVO file has the MAP file's name with extension EVO; a bare name is in the video objects' folder.
  const std::size_t dot = location.parts.empty() ? 0 : location.parts.back().rfind('.');
  if (location.parts.empty() || dot == 0)
    return refuse("names no file");
  if (dot != std::string::npos)
    location.parts.back().resize(dot);
  location.parts.back() += ".EVO";
  if (location.parts.size() == 1)
    location.parts.insert(location.parts.begin(), DISC_VIDEO_FOLDER);
  return location;
}

std::optional<std::size_t> defaultTitleIndex(const std::vector<DiscTitle>& titles) {
  std::optional<std::size_t> best;
  for (std::size_t k = 0; k < titles.size(); ++k) {
    const std::int64_t length = titles[k].durationMs.value_or(-1);
    const std::int64_t bestLength = best ? titles[*best].durationMs.value_or(-1) : -1;
    if (!best || length > bestLength || (length == bestLength && titles[k].number < titles[*best].number))
      best = k;
  }
  return best;
}

std::string clockText(std::optional<std::int64_t> ms, bool milliseconds) {
  if (!ms || *ms < 0)
    return "unknown";
  const std::int64_t seconds = *ms / MS_PER_SECOND;
  return padded(seconds / SECONDS_PER_HOUR, 2) + ":" + padded(seconds / SECONDS_PER_MINUTE % SECONDS_PER_MINUTE, 2) +
         ":" + padded(seconds % SECONDS_PER_MINUTE, 2) + (milliseconds ? "." + padded(*ms % MS_PER_SECOND, 3) : "");
}

std::string titleListing(const Disc& disc, std::size_t index, std::size_t maxClips) {
  const DiscTitle& title = disc.titles[index];
  std::string text = "Title " + std::to_string(title.number) + ": " + (title.name.empty() ? "(no name)" : title.name) +
                     ", " + clockText(title.durationMs) + ", " + counted(title.clips.size(), "clip") + ", " +
                     counted(title.chapters.size(), "chapter") + (disc.defaultTitle == index ? ", default" : "") + "\n";
  for (std::size_t c = 0; c < title.clips.size() && c < maxClips; ++c)
    text += "  Clip " + std::to_string(c + 1) + ": " + clipText(disc, title.clips[c]) + "\n";
  if (title.clips.size() > maxClips)
    text += "  Clips after the first " + std::to_string(maxClips) +
            " not shown: " + std::to_string(title.clips.size() - maxClips) + "\n";
  for (const DiscTrack& track : title.audio)
    text += trackText("Audio", track);
  for (const DiscTrack& track : title.subtitles)
    text += trackText("Subtitle", track);
  return text;
}

std::vector<TitleRow> titleRows(const Disc& disc) {
  std::vector<TitleRow> rows;
  rows.reserve(disc.titles.size());
  for (std::size_t k = 0; k < disc.titles.size(); ++k) {
    const DiscTitle& title = disc.titles[k];
    rows.push_back({std::to_string(title.number), title.name, clockText(title.durationMs, false), clipsInBrief(title),
                    tracksInBrief(title.audio, true), tracksInBrief(title.subtitles, false),
                    titleListing(disc, k, ROW_DETAIL_CLIPS)});
  }
  return rows;
}

}  // namespace ardunex
