// SPDX-License-Identifier: GPL-2.0-or-later
// The current EVO file's playlist title as data, and the conversions its values need: title times, XML
// references, UTF-8 checking and language codes.
#include "xpl/playlist_title.h"

#include <array>
#include <charconv>
#include <map>
#include <utility>

#include "base/ascii_text.h"
#include "base/errors.h"
#include "xpl/title_cut.h"
#include "xpl/xpl_attr.h"

namespace ardunex {
namespace {

constexpr int DEFAULT_TIME_BASE_RATE = 60;
constexpr int MAX_TIME_BASE_RATE = 1000;
constexpr int TRACK_COUNT = 16;  // tracks per kind that have boxes
constexpr std::int64_t NS_PER_SECOND = 1'000'000'000;

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

/// The attribute as a number, or empty where the title view's conversion would fail.
std::optional<int> numberOf(const std::string& line, const char* name) {
  try {
    return parseInt32(XPLattr(line, name));
  } catch (const ConvertError&) {
    return std::nullopt;
  }
}

std::string codecOf(const std::array<std::string, 8>& table, std::optional<int> index) {
  if (!index || *index < 1 || *index > static_cast<int>(table.size()))
    return {};
  return table[static_cast<std::size_t>(*index - 1)];
}

// Characters an XML 1.0 document may hold.
bool xmlChar(std::uint32_t cp) {
  return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) || (cp >= 0xE000 && cp <= 0xFFFD) ||
         (cp >= 0x10000 && cp <= 0x10FFFF);
}

/// The character a reference body (between "&" and ";") stands for; empty when it is not one.
std::optional<std::uint32_t> referenceValue(std::string_view body) {
  static const std::map<std::string_view, std::uint32_t> NAMED{
      {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
  if (const auto named = NAMED.find(body); named != NAMED.end())
    return named->second;
  if (body.size() < 2 || body[0] != '#')
    return std::nullopt;
  int base = 10;
  body.remove_prefix(1);
  if (body[0] == 'x' || body[0] == 'X') {
    base = 16;
    body.remove_prefix(1);
  }
  if (body.empty() || body.size() > 8)
    return std::nullopt;
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(body.data(), body.data() + body.size(), value, base);
  if (error != std::errc() || end != body.data() + body.size() || !xmlChar(value))
    return std::nullopt;
  return value;
}

// The ISO 639-2 codes, each with its bibliographic code where that differs and its ISO 639-1 code.
struct Iso639Code {
  std::string_view terminology;
  std::string_view bibliographic;
  std::string_view alpha2;
};
constexpr Iso639Code ISO_639_2[] = {
#include "xpl/iso639_table.inc"
};

/// The table's entry for a code of two or three lower-case letters; null when it has none.
const Iso639Code* findIso639(const std::string& code) {
  for (const Iso639Code& entry : ISO_639_2)
    if (code == (code.size() == 2 ? entry.alpha2 : entry.terminology) || code == entry.bibliographic)
      return &entry;
  return nullptr;
}

/// Collects the title's data from its lines [begin, end].
class TitleReader {
 public:
  TitleReader(const CodecTables& codecs, PlaylistTitle& title) : m_codecs(codecs), m_title(title) {}

  void line(const std::string& text) {
    const std::string upper = asciiUpper(text);
    if (contains(upper, "<TITLE ") && !m_named) {
      m_title.displayName = XPLattr(text, "displayName");
      // "id" is found inside many words ("hidden", a name "Kids"): only the attribute itself counts.
      m_title.id = XPLattrExact(text, "id");
      m_title.titleNumber = XPLattrExact(text, "titleNumber");
      m_title.titleDuration = XPLattrExact(text, "titleDuration");
      m_named = true;
    }
    if (contains(upper, "<PRIMARYAUDIOVIDEOCLIP "))
      m_title.clips.push_back({XPLattrExact(text, "src"), XPLattrExact(text, "titleTimeBegin"),
                               XPLattrExact(text, "titleTimeEnd"), XPLattrExact(text, "dataSource")});
    if (contains(upper, "<VIDEO "))
      track(text, "track", m_title.video, m_videoTracks);
    if (contains(upper, "<AUDIO ")) {
      track(text, "streamNumber", m_title.audio, m_audioTracks);
      stream(text, m_title.audioStreams, m_codecs.AudioCodecTable);
    }
    if (contains(upper, "<SUBTITLE "))
      stream(text, m_title.subtitleStreams, m_codecs.SubpictureCodecTable);
    if (contains(upper, "<CHAPTERLIST"))
      m_title.hasChapterList = true;
    if (contains(upper, "<CHAPTER "))
      m_title.chapters.push_back({XPLattr(text, "titleTimeBegin"), XPLattr(text, "displayName")});
    if (contains(upper, "<TRACKNAVIGATIONLIST"))
      m_title.hasTrackNavigationList = true;
    if (contains(upper, "<VIDEOTRACK "))
      navigation(text, m_videoLanguages);
    if (contains(upper, "<AUDIOTRACK "))
      navigation(text, m_audioLanguages);
    if (contains(upper, "<SUBTITLETRACK "))
      navigation(text, m_subtitleLanguages);
  }

  /// Gives each track the language its track number has in the navigation list (the tracks keep the
  /// langcode as written, for the option file to check; the listed streams its language code, "en" of
  /// "en:00"); a listed stream without one gets the title set's default language.
  void finish() {
    assign(m_title.video, m_videoTracks, m_videoLanguages);
    assign(m_title.audio, m_audioTracks, m_audioLanguages);
    const std::string fallback = languageCode(m_title.defaultLanguage);
    for (auto [streams, languages] : {std::pair{&m_title.audioStreams, &m_audioLanguages},
                                      std::pair{&m_title.subtitleStreams, &m_subtitleLanguages}}) {
      for (PlaylistStream& stream : *streams) {
        const auto language = stream.track ? languages->find(*stream.track) : languages->end();
        const std::string code = language != languages->end() ? languageCode(language->second) : std::string();
        stream.language = code.empty() ? fallback : code;
      }
    }
  }

 private:
  void track(const std::string& text, const char* numberName, std::vector<PlaylistTrack>& tracks,
             std::vector<int>& trackNumbers) {
    const auto number = numberOf(text, numberName);
    if (!number || *number < 1 || *number > TRACK_COUNT)
      return;
    for (const PlaylistTrack& known : tracks)
      if (known.number == *number)
        return;
    PlaylistTrack entry;
    entry.number = *number;
    const bool video = numberName == std::string_view("track");
    const auto mediaAttr = numberOf(text, "mediaAttr");
    if (!mediaAttr)
      return;  // the title view fails on it and labels nothing
    if (video) {
      if (*number == 1)
        entry.label = codecOf(m_codecs.VideoCodecTable, mediaAttr) + ".stream.0";
    } else {
      entry.description = XPLattr(text, "description");
      entry.label = codecOf(m_codecs.AudioCodecTable, mediaAttr) + ".stream." + std::to_string(*number - 1) + "." +
                    entry.description;
    }
    tracks.push_back(std::move(entry));
    trackNumbers.push_back(numberOf(text, "track").value_or(-1));
  }

  // Every stream number once, the first tag of it; tags whose number cannot be read are each listed.
  static void stream(const std::string& text, std::vector<PlaylistStream>& streams,
                     const std::array<std::string, 8>& table) {
    PlaylistStream entry;
    entry.streamNumber = numberOf(text, "streamNumber");
    if (entry.streamNumber)
      for (const PlaylistStream& known : streams)
        if (known.streamNumber == entry.streamNumber)
          return;
    entry.track = numberOf(text, "track");
    entry.description = XPLattr(text, "description");
    entry.codec = codecOf(table, numberOf(text, "mediaAttr"));
    streams.push_back(std::move(entry));
  }

  static void navigation(const std::string& text, std::map<int, std::string>& languages) {
    const auto number = numberOf(text, "track");
    if (number)
      languages.emplace(*number, XPLattr(text, "langcode"));
  }

  static void assign(std::vector<PlaylistTrack>& tracks, const std::vector<int>& trackNumbers,
                     const std::map<int, std::string>& languages) {
    for (std::size_t i = 0; i < tracks.size(); ++i)
      if (const auto language = languages.find(trackNumbers[i]); language != languages.end())
        tracks[i].language = language->second;
  }

  const CodecTables& m_codecs;
  PlaylistTitle& m_title;
  bool m_named = false;
  std::vector<int> m_videoTracks;
  std::vector<int> m_audioTracks;
  std::map<int, std::string> m_videoLanguages;
  std::map<int, std::string> m_audioLanguages;
  std::map<int, std::string> m_subtitleLanguages;
};

/// Reads the title whose tag lines are [begin, end], inside a TitleSet with these values.
PlaylistTitle readTitle(const std::vector<std::string>& lines, std::size_t begin, std::size_t end,
                        const CodecTables& codecs, const std::string& timeBase, const std::string& defaultLanguage) {
  PlaylistTitle title;
  title.firstLine = begin;
  title.lastLine = end;
  title.timeBase = timeBase;
  title.defaultLanguage = defaultLanguage;
  TitleReader reader(codecs, title);
  for (std::size_t k = begin; k <= end; ++k)
    reader.line(lines[k]);
  reader.finish();
  return title;
}

}  // namespace

std::optional<PlaylistTitle> findPlaylistTitle(const std::vector<std::string>& lines, const std::string& evoBase,
                                               const CodecTables& codecs) {
  const std::optional<TitleCut> cut = cutTitle(lines, evoBase);
  if (!cut || !cut->start)
    return std::nullopt;
  const std::size_t begin = *cut->start;
  std::string timeBase;
  std::string defaultLanguage;
  for (std::size_t k = begin; k-- > 0;) {
    if (contains(asciiUpper(lines[k]), "<TITLESET")) {
      timeBase = XPLattr(lines[k], "timeBase");
      defaultLanguage = XPLattr(lines[k], "defaultLanguage");
      break;
    }
  }
  return readTitle(lines, begin, cut->last, codecs, timeBase, defaultLanguage);
}

std::vector<PlaylistTitle> playlistTitles(const std::vector<std::string>& lines, const CodecTables& codecs,
                                          std::size_t maxTitles, std::size_t& notRead) {
  std::vector<PlaylistTitle> titles;
  notRead = 0;
  std::string timeBase;
  std::string defaultLanguage;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const std::string upper = asciiUpper(lines[k]);
    if (contains(upper, "<TITLESET")) {
      timeBase = XPLattr(lines[k], "timeBase");
      defaultLanguage = XPLattr(lines[k], "defaultLanguage");
    }
    if (!contains(upper, TITLE_START_TAG))
      continue;
    // A title without its own end tag ends where the next one begins; each line is read once.
    const std::size_t end = titleLastLine(lines, k, true);
    if (titles.size() < maxTitles)
      titles.push_back(readTitle(lines, k, end, codecs, timeBase, defaultLanguage));
    else
      ++notRead;
    k = end;
  }
  return titles;
}

std::optional<int> timeBaseRate(std::string_view timeBase) {
  if (timeBase.empty())
    return DEFAULT_TIME_BASE_RATE;
  const std::string upper = asciiUpper(timeBase);
  if (upper.size() < 4 || upper.compare(upper.size() - 3, 3, "FPS") != 0)
    return std::nullopt;
  int rate = 0;
  const char* first = upper.data();
  const char* last = upper.data() + upper.size() - 3;
  const auto [end, error] = std::from_chars(first, last, rate);
  if (error != std::errc() || end != last || !isDigit(*first) || rate < 1 || rate > MAX_TIME_BASE_RATE)
    return std::nullopt;
  return rate;
}

std::optional<std::int64_t> titleTimeNs(std::string_view text, int fps) {
  // HH:MM:SS:FF, each field two digits (the hours may have up to four).
  constexpr std::size_t MAX_HOUR_DIGITS = 4;
  std::array<std::int64_t, 4> fields{};
  std::size_t at = 0;
  for (std::size_t f = 0; f < fields.size(); ++f) {
    const std::size_t start = at;
    while (at < text.size() && isDigit(text[at]) && at - start < MAX_HOUR_DIGITS)
      fields[f] = fields[f] * 10 + (text[at++] - '0');
    const std::size_t digits = at - start;
    if (digits < 2 || (f > 0 && digits != 2))
      return std::nullopt;
    if (f + 1 < fields.size()) {
      if (at >= text.size() || text[at] != ':')
        return std::nullopt;
      ++at;
    }
  }
  if (at != text.size() || fps < 1 || fields[1] > 59 || fields[2] > 59 || fields[3] >= fps)
    return std::nullopt;
  const std::int64_t seconds = (fields[0] * 60 + fields[1]) * 60 + fields[2];
  return seconds * NS_PER_SECOND + (fields[3] * NS_PER_SECOND + fps / 2) / fps;
}

std::string decodeXmlReferences(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    if (text[at] == '&') {
      const auto semicolon = text.find(';', at + 1);
      if (semicolon != std::string_view::npos) {
        if (const auto value = referenceValue(text.substr(at + 1, semicolon - at - 1))) {
          appendUtf8(out, *value < 0x20 ? ' ' : *value);
          at = semicolon + 1;
          continue;
        }
      }
    }
    out += text[at++];
  }
  return out;
}

std::string validUtf8(std::string_view text) {
  constexpr std::string_view REPLACEMENT = "\xEF\xBF\xBD";
  std::string out;
  out.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    std::uint32_t cp = 0;
    std::uint32_t minimum = 0;
    if (lead < 0x80) {
      length = 1;
      cp = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      cp = lead & 0x1F;
      minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      cp = lead & 0x0F;
      minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      cp = lead & 0x07;
      minimum = 0x10000;
    }
    bool valid = length > 0 && at + length <= text.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[at + k]);
      valid = (next & 0xC0) == 0x80;
      cp = (cp << 6) | (next & 0x3F);
    }
    valid = valid && cp >= minimum && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
    if (valid) {
      out.append(text.substr(at, length));
      at += length;
    } else {
      out += REPLACEMENT;
      ++at;
    }
  }
  return out;
}

std::string languageCode(std::string_view code) {
  std::size_t letters = 0;
  while (letters < code.size() && letters < 4 && isLetter(code[letters]))
    ++letters;
  if (letters != 2 && letters != 3)
    return {};
  std::string out;
  for (std::size_t k = 0; k < letters; ++k)
    out += lower(code[k]);
  return out;
}

std::optional<std::string> isoLanguage(std::string_view code) {
  std::string letters = languageCode(code);
  if (letters.empty() || !findIso639(letters))
    return std::nullopt;
  return letters;
}

std::string iso639_2(std::string_view code) {
  std::string letters = languageCode(code);
  const Iso639Code* entry = letters.empty() ? nullptr : findIso639(letters);
  if (!entry)
    return "und";
  if (letters.size() == 3)
    return letters;
  return std::string(entry->bibliographic.empty() ? entry->terminology : entry->bibliographic);
}

}  // namespace ardunex
