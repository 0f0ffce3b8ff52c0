// SPDX-License-Identifier: GPL-2.0-or-later
// A disc folder as titles: its playlist read into titles, each with its clips found on the disc, its tracks
// and chapters, and the default title.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/window.h"
#include "xpl/codec_tables.h"
#include "xpl/playlist_title.h"

namespace ardunex {

class FileSystem;

/// The playlist of a disc, below its root.
inline constexpr const char* DISC_PLAYLIST_FOLDER = "ADV_OBJ";
inline constexpr const char* DISC_PLAYLIST_NAME = "VPLST000.XPL";
/// The folder of the video objects, where a clip's src names no folder.
inline constexpr const char* DISC_VIDEO_FOLDER = "HVDVD_TS";

/// The most titles a listing reads. Real discs hold a few dozen; the bound keeps the memory of a listing
/// bounded whatever the playlist holds.
inline constexpr std::size_t DISC_MAX_TITLES = 999;

/// Where a clip's src points on the disc, or why it cannot be used.
struct ClipLocation {
  /// The folders below the disc root, as the playlist spells them, and the EVO file's name: the MAP file's
  /// with extension EVO. A bare name is taken in HVDVD_TS.
  std::vector<std::string> parts;
  /// Why src is refused (it leaves the disc folder, it is no file of the disc); empty when it is not.
  std::string refusal;
};

/// One PrimaryAudioVideoClip of a title.
struct DiscClip {
  /// The "src" and "dataSource" values as the playlist writes them.
  std::string src;
  std::string dataSource;
  /// Whether the clip's data are on the disc ("Disc", or no dataSource). Other clips are listed but not
  /// demuxed.
  bool onDisc = true;
  /// Why the clip cannot be demuxed from this disc; empty when it can be looked for.
  std::string refusal;
  /// The EVO file beside the MAP file src names, each name matched without regard to ASCII case; empty for a
  /// refused clip and a clip not on the disc. Never outside the disc root.
  std::string evoPath;
  /// Whether evoPath is an existing regular file.
  bool present = false;
  /// "titleTimeBegin" and "titleTimeEnd" in milliseconds; empty when they cannot be read.
  std::optional<std::int64_t> beginMs;
  std::optional<std::int64_t> endMs;
};

/// One audio or subtitle stream of a title.
struct DiscTrack {
  std::optional<int> track;
  std::optional<int> streamNumber;
  /// The description with its XML references decoded.
  std::string description;
  /// As the playlist writes it, e.g. "en"; empty when unknown.
  std::string language;
  /// The codec of its media attribute item, e.g. "DD+"; empty when unknown.
  std::string codec;
};

/// One chapter of a title.
struct DiscChapter {
  /// Its titleTimeBegin in milliseconds; empty when it cannot be read.
  std::optional<std::int64_t> startMs;
  /// The displayName with its XML references decoded.
  std::string name;
};

/// One Title of the disc's playlist.
struct DiscTitle {
  /// The "titleNumber" value, or the title's place among the titles (from 1) when that cannot be read.
  int number = 0;
  std::string id;
  /// The displayName with its XML references decoded.
  std::string name;
  /// The titleDuration in milliseconds; empty when it cannot be read.
  std::optional<std::int64_t> durationMs;
  std::vector<DiscClip> clips;
  std::vector<DiscTrack> audio;
  std::vector<DiscTrack> subtitles;
  std::vector<DiscChapter> chapters;
  /// The title as the playlist writes it: its tag lines, track labels and languages for the boxes and the
  /// files beside the streams.
  PlaylistTitle playlist;
};

/// A disc folder and the titles of its playlist.
struct Disc {
  /// The folder that holds ADV_OBJ and HVDVD_TS, and the playlist file, as full paths.
  std::string root;
  std::string playlist;
  /// The playlist's tag lines and codec tables, as "Read XPL" reads them.
  std::vector<std::string> xplLines;
  CodecTables codecs;
  std::vector<DiscTitle> titles;
  /// Titles of the playlist beyond the first DISC_MAX_TITLES, not read.
  std::size_t titlesNotRead = 0;
  /// The index in titles of the longest title (ties go to the lower number); empty when there is none.
  std::optional<std::size_t> defaultTitle;
};

/// The disc root for a path: the folder itself, or the nearest folder above it (HVDVD_TS, or a file inside
/// the disc) that holds ADV_OBJ/VPLST000.XPL, names matched without regard to ASCII case. Throws Error.
std::string findDiscRoot(const std::string& path);

/// Whether path names a folder; whether it is inside a disc (findDiscRoot finds one). Neither throws.
bool isFolder(const std::string& path);
bool insideDisc(const std::string& path);

/// Reads the disc that path is in or above: its playlist, titles and clips. Throws OpenError when the path
/// or the playlist cannot be read, Error when there is no disc. Odd playlist values never throw: what
/// cannot be read is left empty.
Disc readDisc(const std::string& path, FileSystem& files);

/// Where src points below the disc root: "file:///dvddisc/" followed by a relative path, or a relative path.
/// Refused: "..", absolute paths, drive letters, backslashes and other URIs, so that a playlist never makes
/// the program look outside the disc.
ClipLocation clipLocation(std::string_view src);

/// The index of the longest title, ties going to the lower number; a title of unknown duration counts as
/// shorter than any other.
std::optional<std::size_t> defaultTitleIndex(const std::vector<DiscTitle>& titles);

/// A time as HH:MM:SS.mmm (HH:MM:SS without milliseconds), or "unknown".
std::string clockText(std::optional<std::int64_t> ms, bool milliseconds = true);

/// The lines a listing gives the title at index: the title's own line (number, name, duration, clips,
/// chapters, whether it is the default), then its clips with their marks (missing, refused, skipped) and its
/// audio and subtitle streams, indented; every line ends with a newline. Clips beyond maxClips are counted
/// in one line.
std::string titleListing(const Disc& disc, std::size_t index, std::size_t maxClips = SIZE_MAX);

/// The titles as the titles page lists them.
std::vector<TitleRow> titleRows(const Disc& disc);

}  // namespace ardunex
