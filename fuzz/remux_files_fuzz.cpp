// SPDX-License-Identifier: GPL-2.0-or-later
// Fuzz target: the chapter files and the mkvmerge option file made from arbitrary playlist values.
//
// Input: fields separated by zero bytes: the time base, the default language, the title, then pairs of a
// chapter's time and name, and the same fields again as paths, names and language codes of option-file
// tracks. The Matroska chapter file must parse as XML (read back by expat) with one atom and the same name
// per chapter kept, the OGM file must hold two lines per chapter, and the option file must parse as a JSON
// array of strings that starts with the output.
#include <expat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "jobs/chapter_files.h"
#include "jobs/mkvmerge_options.h"
#include "replay_main.h"
#include "support/headless_window.h"
#include "xpl/playlist_title.h"

namespace {

using namespace ardunex;

[[noreturn]] void crash(const char* what) {
  std::fprintf(stderr, "remux_files_fuzz: %s\n", what);
  std::abort();
}

std::vector<std::string> fields(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> out(1);
  for (std::size_t at = 0; at < size; ++at) {
    if (data[at] == 0)
      out.emplace_back();
    else
      out.back() += static_cast<char>(data[at]);
  }
  return out;
}

// What expat reads of a chapter file: the text of every ChapterString and the number of atoms.
struct ChapterXml {
  std::vector<std::string> names;
  std::size_t atoms = 0;
  bool inName = false;
};

void XMLCALL startElement(void* user, const XML_Char* name, const XML_Char**) {
  auto& xml = *static_cast<ChapterXml*>(user);
  if (std::string(name) == "ChapterAtom")
    ++xml.atoms;
  if (std::string(name) == "ChapterString") {
    xml.names.emplace_back();
    xml.inName = true;
  }
}

void XMLCALL endElement(void* user, const XML_Char*) { static_cast<ChapterXml*>(user)->inName = false; }

void XMLCALL characters(void* user, const XML_Char* text, int length) {
  auto& xml = *static_cast<ChapterXml*>(user);
  if (xml.inName)
    xml.names.back().append(text, static_cast<std::size_t>(length));
}

void checkChapters(const PlaylistTitle& title) {
  HeadlessWindow window;
  const std::vector<Chapter> chapters = titleChapters(title, window);
  const std::string xml = matroskaChapters(chapters, iso639_2(title.defaultLanguage));
  ChapterXml read;
  XML_Parser parser = XML_ParserCreate("UTF-8");
  XML_SetUserData(parser, &read);
  XML_SetElementHandler(parser, startElement, endElement);
  XML_SetCharacterDataHandler(parser, characters);
  const bool parsed = XML_Parse(parser, xml.data(), static_cast<int>(xml.size()), 1) == XML_STATUS_OK;
  XML_ParserFree(parser);
  if (!parsed)
    crash("the chapter file is not well-formed XML");
  if (read.atoms != chapters.size() || read.names.size() != chapters.size())
    crash("not one chapter atom per chapter");
  for (std::size_t k = 0; k < chapters.size(); ++k)
    if (read.names[k] != chapters[k].name)
      crash("a chapter name did not survive the XML");

  const std::string ogm = ogmChapters(chapters);
  std::size_t lineCount = 0;
  for (const char c : ogm)
    lineCount += c == '\n';
  if (lineCount != 2 * chapters.size() || (!ogm.empty() && ogm.back() != '\n'))
    crash("not two OGM lines per chapter");
}

void checkOptionFile(const std::vector<std::string>& values) {
  RemuxPlan plan;
  plan.output = values[0];
  plan.title = values.size() > 1 ? values[1] : std::string();
  plan.chapters = values.size() > 2 ? values[2] : std::string();
  for (std::size_t k = 3; k + 2 < values.size(); k += 3) {
    RemuxTrack track;
    track.path = values[k];
    track.name = values[k + 1];
    track.language = isoLanguage(values[k + 2]).value_or("und");
    track.delayMs = static_cast<int>(values[k + 2].size()) - 3;
    plan.tracks.push_back(track);
  }
  const nlohmann::json args = nlohmann::json::parse(mkvmergeOptionFile(plan), nullptr, false);
  if (args.is_discarded() || !args.is_array() || args.empty() || args[0] != "--output")
    crash("the option file is not a JSON array starting with the output");
  for (const nlohmann::json& arg : args)
    if (!arg.is_string())
      crash("an option that is not a string");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> values = fields(data, size);
  PlaylistTitle title;
  title.timeBase = values[0];
  title.defaultLanguage = values.size() > 1 ? values[1] : std::string();
  title.displayName = values.size() > 2 ? values[2] : std::string();
  title.hasChapterList = true;
  for (std::size_t k = 3; k + 1 < values.size(); k += 2)
    title.chapters.push_back({values[k], values[k + 1]});
  checkChapters(title);
  checkOptionFile(values);
  return 0;
}
