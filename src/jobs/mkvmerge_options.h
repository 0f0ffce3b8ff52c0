// SPDX-License-Identifier: GPL-2.0-or-later
// The mkvmerge option file: a JSON array of arguments that turns the demuxed streams into one Matroska file.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ardunex {

/// One stream file for mkvmerge, with what the playlist and the time stamps tell of it.
struct RemuxTrack {
  std::string path;
  /// Track name; none when empty.
  std::string name;
  /// Language code mkvmerge accepts (ISO 639-1 or 639-2); none when empty.
  std::string language;
  /// Delay against the video in milliseconds; written when known and not 0.
  std::optional<int> delayMs;
  /// The duration of each frame as mkvmerge takes it ("24000/1001fps"); none when empty.
  std::string defaultDuration;
};

/// What the Matroska file is made of.
struct RemuxPlan {
  std::string output;
  /// The file's title; none when empty.
  std::string title;
  /// A chapter file; none when empty.
  std::string chapters;
  std::vector<RemuxTrack> tracks;
};

/// The JSON text of the option file (UTF-8; bytes that are not valid UTF-8 are replaced).
std::string mkvmergeOptionFile(const RemuxPlan& plan);

/// The path made absolute against the current folder, so that the option file works from any folder.
std::string absolutePath(const std::string& path);

}  // namespace ardunex
