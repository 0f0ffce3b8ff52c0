// SPDX-License-Identifier: GPL-2.0-or-later
// Chapter files from the playlist title: times at the title's time base, names decoded from XML references.
#include "jobs/chapter_files.h"

#include <cstdio>

#include "base/window.h"

namespace ardunex {
namespace {

constexpr std::int64_t NS_PER_MS = 1'000'000;
constexpr std::int64_t MS_PER_SECOND = 1000;
constexpr std::int64_t NS_PER_SECOND = 1'000'000'000;

/// HH:MM:SS and the rest of the second with the given number of digits.
std::string clock(std::int64_t whole, std::int64_t fraction, int digits) {
  char text[64];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%0*lld", static_cast<long long>(whole / 3600),
                static_cast<long long>(whole / 60 % 60), static_cast<long long>(whole % 60), digits,
                static_cast<long long>(fraction));
  return text;
}

std::string xmlEscaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

/// A name for one line of a chapter file: valid UTF-8 without the characters XML 1.0 cannot hold. Control
/// characters, line ends included, become spaces; U+FFFE and U+FFFF become U+FFFD.
std::string chapterName(std::string_view text) {
  std::string name = validUtf8(text);
  for (char& c : name)
    if (static_cast<unsigned char>(c) < 0x20)
      c = ' ';
  for (std::size_t at = name.find("\xEF\xBF"); at != std::string::npos; at = name.find("\xEF\xBF", at + 1))
    if (at + 2 < name.size() && (name[at + 2] == '\xBE' || name[at + 2] == '\xBF'))
      name[at + 2] = '\xBD';
  return name;
}

}  // namespace

std::vector<Chapter> titleChapters(const PlaylistTitle& title, Window& window) {
  int fps = 60;
  if (const auto rate = timeBaseRate(title.timeBase))
    fps = *rate;
  else
    window.log("Unknown time base \"" + title.timeBase + "\": chapter times taken at 60fps");
  std::vector<Chapter> chapters;
  for (const PlaylistChapter& chapter : title.chapters) {
    const std::string name = chapterName(decodeXmlReferences(chapter.displayName));
    const auto start = titleTimeNs(chapter.titleTimeBegin, fps);
    if (!start) {
      window.log("Chapter \"" + name + "\" skipped: its time \"" + validUtf8(chapter.titleTimeBegin) +
                 "\" is not HH:MM:SS:FF at " + std::to_string(fps) + "fps");
      continue;
    }
    chapters.push_back({*start, name});
  }
  return chapters;
}

std::string matroskaChapters(const std::vector<Chapter>& chapters, const std::string& language) {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE Chapters SYSTEM \"matroskachapters.dtd\">\n"
      "<Chapters>\n"
      "  <EditionEntry>\n";
  for (const Chapter& chapter : chapters) {
    xml += "    <ChapterAtom>\n";
    xml += "      <ChapterTimeStart>" + clock(chapter.startNs / NS_PER_SECOND, chapter.startNs % NS_PER_SECOND, 9) +
           "</ChapterTimeStart>\n";
    xml += "      <ChapterDisplay>\n";
    xml += "        <ChapterString>" + xmlEscaped(chapter.name) + "</ChapterString>\n";
    xml += "        <ChapterLanguage>" + xmlEscaped(language) + "</ChapterLanguage>\n";
    xml += "      </ChapterDisplay>\n";
    xml += "    </ChapterAtom>\n";
  }
  xml +=
      "  </EditionEntry>\n"
      "</Chapters>\n";
  return xml;
}

std::string ogmChapters(const std::vector<Chapter>& chapters) {
  std::string text;
  int number = 0;
  for (const Chapter& chapter : chapters) {
    char key[32];
    std::snprintf(key, sizeof key, "CHAPTER%02d", ++number);
    // Milliseconds, rounded to the nearest.
    const std::int64_t ms = (chapter.startNs + NS_PER_MS / 2) / NS_PER_MS;
    text += std::string(key) + "=" + clock(ms / MS_PER_SECOND, ms % MS_PER_SECOND, 3) + "\n";
    text += std::string(key) + "NAME=" + chapter.name + "\n";
  }
  return text;
}

}  // namespace ardunex
