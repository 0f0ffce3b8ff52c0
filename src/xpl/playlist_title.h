// SPDX-License-Identifier: GPL-2.0-or-later
// The playlist title that plays the current EVO file as plain data: its name, time base, language, tracks
// and chapters, for the files written beside the streams (chapters, the mkvmerge option file).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "xpl/codec_tables.h"

namespace ardunex {

/// One Chapter tag of the title, its attribute values as the playlist writes them.
struct PlaylistChapter {
  std::string titleTimeBegin;
  std::string displayName;
};

/// One video or audio track of the title (the first tag of its number; later clips repeat it).
struct PlaylistTrack {
  /// The track's number: "track" for video, "streamNumber" for audio.
  int number = 0;
  /// The box caption the title view gives it (empty when it gives none).
  std::string label;
  /// The "description" value (audio).
  std::string description;
  /// The "langcode" the title's TrackNavigationList gives its "track", as written ("en:00"); empty when
  /// none.
  std::string language;
};

/// One PrimaryAudioVideoClip tag of the title, its attribute values as the playlist writes them.
struct PlaylistClip {
  std::string src;
  std::string titleTimeBegin;
  std::string titleTimeEnd;
  std::string dataSource;
};

/// One audio or subtitle stream of the title as a listing shows it: the first Audio or Subtitle tag of its
/// stream number (later clips repeat it). A value that cannot be read is left empty.
struct PlaylistStream {
  std::optional<int> track;
  std::optional<int> streamNumber;
  /// The "description" value as written (references not decoded).
  std::string description;
  /// The codec of its media attribute item; empty when the index cannot be read or names no item.
  std::string codec;
  /// The language of its track in the TrackNavigationList, else the TitleSet's default language (each as
  /// languageCode gives it); empty when neither is known.
  std::string language;
};

/// A title of the playlist as data: what the files beside the streams need, and what a listing shows.
struct PlaylistTitle {
  /// The title's tag lines are [firstLine, lastLine] of the lines it was read from.
  std::size_t firstLine = 0;
  std::size_t lastLine = 0;
  /// The Title tag's "id", "titleNumber" and "titleDuration" values as written.
  std::string id;
  std::string titleNumber;
  std::string titleDuration;
  std::string displayName;
  /// The enclosing TitleSet's "timeBase" and "defaultLanguage" values (empty when absent).
  std::string timeBase;
  std::string defaultLanguage;
  bool hasChapterList = false;
  bool hasTrackNavigationList = false;
  std::vector<PlaylistChapter> chapters;
  std::vector<PlaylistTrack> video;
  std::vector<PlaylistTrack> audio;
  std::vector<PlaylistClip> clips;
  std::vector<PlaylistStream> audioStreams;
  std::vector<PlaylistStream> subtitleStreams;
};

/// Finds the title the title view shows for evoBase in the playlist's tag lines (all of them, before the
/// view narrows them): the title whose start tag stands nearest above the first line containing evoBase.
/// Empty when there is none. Never throws: a track whose numbers are not integers is left out.
std::optional<PlaylistTitle> findPlaylistTitle(const std::vector<std::string>& lines, const std::string& evoBase,
                                               const CodecTables& codecs);

/// The Titles of the playlist's tag lines in file order (a FirstPlayTitle is not one), at most maxTitles of
/// them; the titles beyond are counted in notRead. A title runs from its start tag to the first end tag below
/// it, or to the line before the next title's start tag. Never throws: a value that cannot be read is left
/// empty.
std::vector<PlaylistTitle> playlistTitles(const std::vector<std::string>& lines, const CodecTables& codecs,
                                          std::size_t maxTitles, std::size_t& notRead);

/// Frames per second of a TitleSet timeBase ("60fps", "50fps", "30fps", "24fps"); 60 when the text is
/// empty; empty when it is not of that form.
std::optional<int> timeBaseRate(std::string_view timeBase);

/// A titleTimeBegin "HH:MM:SS:FF" in nanoseconds, FF counting frames at fps; empty when the text is not of
/// that form or a field is out of range (minutes or seconds above 59, a frame number not below fps).
std::optional<std::int64_t> titleTimeNs(std::string_view text, int fps);

/// Decodes XML character and entity references (&amp; &lt; &gt; &quot; &apos; &#N; &#xH;) into UTF-8. A
/// reference that is malformed or names a character XML cannot hold stays as written; a decoded control
/// character becomes a space, so that a name stays on one line.
std::string decodeXmlReferences(std::string_view text);

/// Replaces every byte sequence that is not valid UTF-8 with U+FFFD, so that XML and JSON writers accept it.
std::string validUtf8(std::string_view text);

/// The language code a playlist langcode begins with, in lower case: an ISO 639-1 code of two letters
/// ("en:00" gives "en") or an ISO 639-2 code of three ("eng"); empty when it begins with neither.
std::string languageCode(std::string_view code);

/// The language code a playlist langcode begins with (as languageCode gives it) when ISO 639-2 knows it as
/// an ISO 639-1, terminology or bibliographic code; empty when it does not ("zz:00", "qqq").
std::optional<std::string> isoLanguage(std::string_view code);

/// The ISO 639-2 code for a playlist langcode, bibliographic for an ISO 639-1 code ("en:00" gives "eng"),
/// a three-letter code as written; "und" when ISO 639-2 does not know it.
std::string iso639_2(std::string_view code);

}  // namespace ardunex
