// SPDX-License-Identifier: GPL-2.0-or-later
// Builds mkvmerge's JSON option file; mkvmerge reads it with "mkvmerge @FILE.json".
#include "jobs/mkvmerge_options.h"

#include <filesystem>
#include <nlohmann/json.hpp>

namespace ardunex {

std::string mkvmergeOptionFile(const RemuxPlan& plan) {
  // Each raw stream file holds one track, whose id is 0; the options before a file apply to it.
  constexpr const char* TRACK = "0:";
  nlohmann::json args = nlohmann::json::array();
  args.push_back("--output");
  args.push_back(plan.output);
  if (!plan.title.empty()) {
    args.push_back("--title");
    args.push_back(plan.title);
  }
  if (!plan.chapters.empty()) {
    args.push_back("--chapters");
    args.push_back(plan.chapters);
  }
  for (const RemuxTrack& track : plan.tracks) {
    if (!track.language.empty()) {
      args.push_back("--language");
      args.push_back(TRACK + track.language);
    }
    if (!track.name.empty()) {
      args.push_back("--track-name");
      args.push_back(TRACK + track.name);
    }
    if (track.delayMs && *track.delayMs != 0) {
      args.push_back("--sync");
      args.push_back(TRACK + std::to_string(*track.delayMs));
    }
    if (!track.defaultDuration.empty()) {
      args.push_back("--default-duration");
      args.push_back(TRACK + track.defaultDuration);
    }
    args.push_back(track.path);
  }
  return args.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

std::string absolutePath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.lexically_normal().string();
}

}  // namespace ardunex
