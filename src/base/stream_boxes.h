// SPDX-License-Identifier: GPL-2.0-or-later
// The 40 stream check boxes by one flat index: video 0-7, then audio 00-15, then subpicture 00-15.
#pragma once

namespace ardunex {

inline constexpr int VIDEO_BOX_COUNT = 8;
inline constexpr int AUDIO_BOX_COUNT = 16;
inline constexpr int SUB_BOX_COUNT = 16;
inline constexpr int BOX_COUNT = VIDEO_BOX_COUNT + AUDIO_BOX_COUNT + SUB_BOX_COUNT;

/// Flat index of video box k (cbVideo0 ... cbVideo7).
constexpr int videoBox(int k) { return k; }
/// Flat index of audio box k (cbAudio00 ... cbAudio15).
constexpr int audioBox(int k) { return VIDEO_BOX_COUNT + k; }
/// Flat index of subpicture box k (cbSub00 ... cbSub15).
constexpr int subBox(int k) { return VIDEO_BOX_COUNT + AUDIO_BOX_COUNT + k; }

}  // namespace ardunex
