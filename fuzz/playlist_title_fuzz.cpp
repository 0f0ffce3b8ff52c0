// SPDX-License-Identifier: GPL-2.0-or-later
// Fuzz target: the playlist title reader over arbitrary playlists, and the conversions of its values (XML
// references, UTF-8, language codes, title times).
//
// Input: one byte giving the length (0 to 31) of the EVO base name, the name itself, then the playlist. The
// reader never throws; a title keeps track numbers 1 to 16, each once per kind, and values found in the tag
// lines. Decoding XML references never lengthens a value, keeps valid UTF-8 valid, and undoes an
// independent escaping of any text.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "base/errors.h"
#include "replay_main.h"
#include "xpl/codec_tables.h"
#include "xpl/playlist_title.h"
#include "xpl/xpl_reader.h"

namespace {

using namespace ardunex;

constexpr std::size_t MAX_BASE_LENGTH = 32;

[[noreturn]] void crash(const char* what) {
  std::fprintf(stderr, "playlist_title_fuzz: %s\n", what);
  std::abort();
}

bool isValidUtf8(const std::string& text) { return validUtf8(text) == text; }

bool inLines(const std::vector<std::string>& lines, const std::string& value) {
  return value.empty() || std::any_of(lines.begin(), lines.end(),
                                      [&](const std::string& line) { return line.find(value) != std::string::npos; });
}

/// Escapes text as an XML writer may: the five markup characters by name, every other non-ASCII character
/// that XML can hold by its number; bytes that are not UTF-8 stay as they are.
std::string escaped(const std::string& text) {
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    const std::string one = text.substr(at, length);
    at += length;
    if (one == "&" || one == "<" || one == ">" || one == "\"" || one == "'") {
      out += one == "&" ? "&amp;" : one == "<" ? "&lt;" : one == ">" ? "&gt;" : one == "\"" ? "&quot;" : "&apos;";
      continue;
    }
    std::uint32_t cp = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < one.size(); ++k)
      cp = cp << 6 | (static_cast<unsigned char>(one[k]) & 0x3F);
    const bool xmlChar = (cp >= 0x80 && cp <= 0xD7FF) || (cp >= 0xE000 && cp <= 0xFFFD) || cp >= 0x10000;
    if (length > 1 && one.size() == length && isValidUtf8(one) && xmlChar) {
      char ref[16];
      std::snprintf(ref, sizeof ref, "&#x%X;", static_cast<unsigned>(cp));
      out += ref;
    } else {
      out += one;
    }
  }
  return out;
}

void checkValue(const std::string& value) {
  const std::string decoded = decodeXmlReferences(value);
  if (decoded.size() > value.size())
    crash("decoding lengthened a value");
  if (value.find('&') == std::string::npos && decoded != value)
    crash("decoding changed a value without references");
  if (isValidUtf8(value) && !isValidUtf8(decoded))
    crash("decoding broke valid UTF-8");
  const std::string valid = validUtf8(decoded);
  if (!isValidUtf8(valid))
    crash("validUtf8 gave bytes that are not UTF-8");
  if (decodeXmlReferences(escaped(valid)) != valid)
    crash("decoding did not undo an escaping");
}

void checkLanguage(const std::string& langcode) {
  const auto known = isoLanguage(langcode);
  const std::string code = iso639_2(langcode);
  if (code.size() != 3 || (known.has_value() != (code != "und" || languageCode(langcode) == "und")))
    crash("language codes disagree");
}

void checkTracks(const std::vector<PlaylistTrack>& tracks, const std::vector<std::string>& lines) {
  std::set<int> numbers;
  for (const PlaylistTrack& track : tracks) {
    if (track.number < 1 || track.number > 16 || !numbers.insert(track.number).second)
      crash("track number out of range or twice");
    if (!inLines(lines, track.description) || !inLines(lines, track.language))
      crash("track value not from the lines");
    checkValue(track.description);
    checkLanguage(track.language);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1)
    return 0;
  const std::size_t baseLength = std::min<std::size_t>(data[0] % MAX_BASE_LENGTH, size - 1);
  const std::string evoBase(reinterpret_cast<const char*>(data + 1), baseLength);
  data += 1 + baseLength;
  size -= 1 + baseLength;

  std::vector<std::string> lines;
  CodecTables codecs;
  XplReader reader(lines, codecs);
  try {
    reader.feed(data, size);
  } catch (const ConvertError&) {
    // The command ends there; the title is found in the lines read so far.
  }
  const std::optional<PlaylistTitle> title = findPlaylistTitle(lines, evoBase, codecs);
  checkValue(std::string(reinterpret_cast<const char*>(data), size));
  if (!title)
    return 0;
  checkTracks(title->video, lines);
  checkTracks(title->audio, lines);
  checkValue(title->displayName);
  checkLanguage(title->defaultLanguage);
  const std::optional<int> rate = timeBaseRate(title->timeBase);
  if (rate && (*rate < 1 || *rate > 1000))
    crash("time base out of range");
  for (const PlaylistChapter& chapter : title->chapters) {
    if (!inLines(lines, chapter.displayName) || !inLines(lines, chapter.titleTimeBegin))
      crash("chapter value not from the lines");
    checkValue(chapter.displayName);
    if (const auto ns = titleTimeNs(chapter.titleTimeBegin, rate.value_or(60)); ns && *ns < 0)
      crash("negative chapter time");
  }
  return 0;
}
