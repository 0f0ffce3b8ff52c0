// SPDX-License-Identifier: GPL-2.0-or-later
// The opt-in options as the window, the settings file and the command-line tool name them.
#pragma once

#include <array>
#include <string_view>

#include "base/window.h"

namespace ardunex {

/// How one opt-in option appears: its check box on the Options page, its settings value and its
/// ardunex-cli flag.
struct OptionInfo {
  Option option;
  std::string_view boxName;      ///< object name of the check box
  std::string_view caption;      ///< check box caption
  std::string_view hint;         ///< check box hint, also the flag's line in the tool's help
  std::string_view settingsKey;  ///< value name in the settings
  std::string_view flag;         ///< ardunex-cli flag; for an option on by default, the flag turns it off
  bool onByDefault = false;
};

/// Every opt-in option, in the order of the Options page.
inline constexpr std::array<OptionInfo, OPTION_COUNT> OPTION_INFO{{
    {Option::EveryStream, "cbEveryStream", "Every stream",
     "Streams whose number is taken, and MPEG audio, get boxes of their own", "EveryStream", "--every-stream"},
    {Option::DelayNames, "cbDelayNames", "Delay in names",
     "Audio and subpicture file names carry the delay against the video", "DelayNames", "--delay-names"},
    {Option::Subpictures, "cbSubpictures", "Subpicture streams",
     "Subpicture streams are scanned and written as SUP files", "Subpictures", "--subpictures"},
    {Option::Chapters, "cbChapters", "Write chapters", "Demux also writes the playlist title's chapters (XML and OGM)",
     "Chapters", "--chapters"},
    {Option::MkvmergeFile, "cbMkvmergeFile", "Write mkvmerge option file",
     "Demux also writes an option file that mkvmerge turns into one Matroska file", "MkvmergeFile", "--mkvmerge"},
    {Option::LpcmWav, "cbLpcmWav", "LPCM as WAV", "LPCM streams are written as WAV files", "LpcmWav", "--lpcm-wav"},
    {Option::MakeMkv, "cbMakeMkv", "Make MKV",
     "Demux ends with mkvmerge making one Matroska file of the streams: OUTPUT/BASE.mkv", "MakeMkv", "--mkv"},
    {Option::KeepStreams, "cbKeepStreams", "Keep stream files",
     "Make MKV keeps the stream files beside the MKV; off, they are removed once it is made", "KeepStreams",
     "--no-keep-streams", true},
}};

/// Every option as it stands before the user or the settings change it.
constexpr std::array<bool, OPTION_COUNT> defaultOptions() {
  std::array<bool, OPTION_COUNT> on{};
  for (const OptionInfo& info : OPTION_INFO)
    on[static_cast<std::size_t>(info.option)] = info.onByDefault;
  return on;
}

/// The entry of an option.
constexpr const OptionInfo& optionInfo(Option option) { return OPTION_INFO[static_cast<std::size_t>(option)]; }

static_assert(
    [] {
      for (std::size_t i = 0; i < OPTION_INFO.size(); ++i)
        if (static_cast<std::size_t>(OPTION_INFO[i].option) != i)
          return false;
      return true;
    }(),
    "OPTION_INFO is indexed by Option");

}  // namespace ardunex
