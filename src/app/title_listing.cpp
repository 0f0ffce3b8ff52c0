// Writes the title list of a disc as text lines and as JSON (with nlohmann/json, as the scan report).
#include "app/title_listing.h"

#include <algorithm>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>

#include "jobs/disc.h"

namespace ardunex {
namespace {

constexpr std::int64_t MS_PER_SECOND = 1000;
constexpr std::int64_t SECONDS_PER_MINUTE = 60;
constexpr std::int64_t SECONDS_PER_HOUR = 3600;

template <typename T>
nlohmann::json orNull(const std::optional<T>& value) {
  return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

nlohmann::json textOrNull(const std::string& text) {
  return text.empty() ? nlohmann::json(nullptr) : nlohmann::json(text);
}

/// value in decimal with leading zeros up to width digits.
std::string padded(std::int64_t value, std::size_t width) {
  const std::string digits = std::to_string(value);
  return std::string(width - std::min(width, digits.size()), '0') + digits;
}

/// HH:MM:SS.mmm, or "unknown".
std::string clock(std::optional<std::int64_t> ms) {
  if (!ms || *ms < 0)
    return "unknown";
  const std::int64_t seconds = *ms / MS_PER_SECOND;
  return padded(seconds / SECONDS_PER_HOUR, 2) + ":" + padded(seconds / SECONDS_PER_MINUTE % SECONDS_PER_MINUTE, 2) +
         ":" + padded(seconds % SECONDS_PER_MINUTE, 2) + "." + padded(*ms % MS_PER_SECOND, 3);
}

std::string number(std::optional<int> value) { return value ? std::to_string(*value) : "?"; }

std::string counted(std::size_t count, const std::string& what) {
  return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

/// The clip's place on the disc and its marks: refused, skipped, missing.
std::string clipText(const Disc& disc, const DiscClip& clip) {
  if (!clip.refusal.empty())
    return "refused: " + clip.refusal;
  const std::string times = clock(clip.beginMs) + " to " + clock(clip.endMs);
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
  for (std::size_t k = 0; k < disc.titles.size(); ++k) {
    const DiscTitle& title = disc.titles[k];
    text += "Title " + std::to_string(title.number) + ": " + (title.name.empty() ? "(no name)" : title.name) + ", " +
            clock(title.durationMs) + ", " + counted(title.clips.size(), "clip") + ", " +
            counted(title.chapters.size(), "chapter") + (disc.defaultTitle == k ? ", default" : "") + "\n";
    for (std::size_t c = 0; c < title.clips.size(); ++c)
      text += "  Clip " + std::to_string(c + 1) + ": " + clipText(disc, title.clips[c]) + "\n";
    for (const DiscTrack& track : title.audio)
      text += trackText("Audio", track);
    for (const DiscTrack& track : title.subtitles)
      text += trackText("Subtitle", track);
  }
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
