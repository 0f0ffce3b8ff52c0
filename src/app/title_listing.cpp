// SPDX-License-Identifier: GPL-2.0-or-later
// Writes the title list of a disc as text lines and as JSON (with nlohmann/json, as the scan report).
#include "app/title_listing.h"

#include <algorithm>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>

#include "jobs/disc.h"

namespace ardunex {
namespace {

template <typename T>
nlohmann::json orNull(const std::optional<T>& value) {
  return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

nlohmann::json textOrNull(const std::string& text) {
  return text.empty() ? nlohmann::json(nullptr) : nlohmann::json(text);
}

nlohmann::json tracksJson(const std::vector<DiscTrack>& tracks) {
  nlohmann::json list = nlohmann::json::array();
  for (const DiscTrack& track : tracks)
    list.push_back({{"track", orNull(track.track)},
                    {"stream_number", orNull(track.streamNumber)},
                    {"description", track.description},
                    {"language", textOrNull(track.language)},
                    {"codec", textOrNull(track.codec)}});
  return list;
}

nlohmann::json titleJson(const DiscTitle& title) {
  nlohmann::json clips = nlohmann::json::array();
  for (const DiscClip& clip : title.clips)
    clips.push_back({{"evo", textOrNull(clip.evoPath)},
                     {"present", clip.present},
                     {"begin_ms", orNull(clip.beginMs)},
                     {"end_ms", orNull(clip.endMs)},
                     {"src", clip.src},
                     {"data_source", clip.dataSource},
                     {"refused", textOrNull(clip.refusal)}});
  nlohmann::json chapters = nlohmann::json::array();
  for (const DiscChapter& chapter : title.chapters)
    chapters.push_back({{"start_ms", orNull(chapter.startMs)}, {"name", chapter.name}});
  return {{"number", title.number},
          {"id", title.id},
          {"name", title.name},
          {"duration_ms", orNull(title.durationMs)},
          {"clips", clips},
          {"audio", tracksJson(title.audio)},
          {"subtitles", tracksJson(title.subtitles)},
          {"chapters", chapters}};
}

}  // namespace

std::string titleListingText(const Disc& disc) {
  std::string text = "Disc " + disc.root + "\nPlaylist " + disc.playlist + "\n";
  if (disc.titles.empty())
    text += "No titles\n";
  for (std::size_t k = 0; k < disc.titles.size(); ++k)
    text += titleListing(disc, k);
  if (disc.titlesNotRead > 0)
    text += "Titles after the first " + std::to_string(disc.titles.size()) +
            " not read: " + std::to_string(disc.titlesNotRead) + "\n";
  return text;
}

std::string titleListingJson(const Disc& disc) {
  const nlohmann::json head = {
      {"disc", disc.root},
      {"playlist", disc.playlist},
      {"default_title", disc.defaultTitle ? nlohmann::json(disc.titles[*disc.defaultTitle].number) : nullptr},
      {"titles_not_read", disc.titlesNotRead},
  };
  // Names and descriptions are bytes from the disc: invalid UTF-8 is replaced, not thrown. Each title is
  // written on its own, so that only one title at a time is held as a JSON tree.
  constexpr auto REPLACE = nlohmann::json::error_handler_t::replace;
  std::string text = head.dump(-1, ' ', false, REPLACE);
  text.back() = ',';  // the head's closing brace: the titles follow
  text += "\"titles\":[";
  for (std::size_t k = 0; k < disc.titles.size(); ++k)
    text += (k > 0 ? "," : "") + titleJson(disc.titles[k]).dump(-1, ' ', false, REPLACE);
  return text + "]}";
}

}  // namespace ardunex
