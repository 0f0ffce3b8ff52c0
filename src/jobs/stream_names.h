// SPDX-License-Identifier: GPL-2.0-or-later
// Names of the streams found by a scan, as the check boxes and output files show them.
#pragma once

#include <cstdint>
#include <string>

namespace ardunex {

/// Stream name of a video slot's code ("VC-1.stream", "MPEG-2.stream", "AVC.stream", ...).
std::string VideoStreamName(std::int32_t code);
/// Stream name of an audio slot's code ("DD.stream", "DTSHD.stream", "LPCM.stream", ...).
std::string AudioStreamName(std::int32_t code);
/// Stream name of a subpicture stream.
inline constexpr const char* SUBPICTURE_STREAM_NAME = "Subpicture.stream";
/// The scan label of box index k: name + ".kk".
std::string scanLabel(const std::string& streamName, int index);
/// The window's name of a box: cbVideo0, cbAudio03, cbSub15.
std::string boxName(int box);

}  // namespace ardunex
