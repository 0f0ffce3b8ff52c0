// SPDX-License-Identifier: GPL-2.0-or-later
// The titles of a disc as ardunex-cli --disc DIR --titles prints them: lines for people, or one JSON object.
#pragma once

#include <string>

namespace ardunex {

struct Disc;

/// One line per title (number, name, duration, clips, chapters, whether it is the default), then its clips
/// and tracks indented; every line ends with a newline.
std::string titleListingText(const Disc& disc);

/// The disc, its playlist, the default title's number and every title, as one JSON object (one line, no
/// trailing newline).
std::string titleListingJson(const Disc& disc);

}  // namespace ardunex
