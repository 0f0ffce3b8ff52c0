// SPDX-License-Identifier: GPL-2.0-or-later
// The playlist title's chapters as a Matroska XML chapter file and as an OGM chapter file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "xpl/playlist_title.h"

namespace ardunex {

class Window;

/// One chapter ready to be written: its start and its name in UTF-8.
struct Chapter {
  std::int64_t startNs = 0;
  std::string name;
};

/// The title's chapters in playlist order, times converted at the TitleSet's time base and names decoded.
/// A chapter whose time cannot be read is left out with a log line naming it, never given a wrong time.
std::vector<Chapter> titleChapters(const PlaylistTitle& title, Window& window);

/// A Matroska XML chapter file: one edition, one atom per chapter, names in the given ISO 639-2 language.
std::string matroskaChapters(const std::vector<Chapter>& chapters, const std::string& language);

/// An OGM chapter file: CHAPTER01=HH:MM:SS.mmm and CHAPTER01NAME=name per chapter.
std::string ogmChapters(const std::vector<Chapter>& chapters);

}  // namespace ardunex
