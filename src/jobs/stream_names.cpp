// SPDX-License-Identifier: GPL-2.0-or-later
// Code-to-name tables of the scan labels.
#include "jobs/stream_names.h"

#include "base/ascii_text.h"
#include "base/window.h"
#include "codecs/stream_ids.h"

namespace ardunex {

using namespace mpeg;

std::string VideoStreamName(std::int32_t code) {
  if (code == -1)
    return "No video stream";
  if (code == VC1_STREAM_0 || code == VC1_STREAM_1)
    return "VC-1.stream";
  if (code == MPEG2_VIDEO_0 || code == MPEG2_VIDEO_1)
    return "MPEG-2.stream";
  if (code == AVC_VIDEO_0 || code == AVC_VIDEO_1)
    return "AVC.stream";
  return {};
}

std::string AudioStreamName(std::int32_t code) {
  if (code == -1)
    return "No audio stream";
  if (code >= AC3_FIRST && code <= AC3_FIRST + 7)
    return "DD.stream";
  if (code >= DTSHD_FIRST && code <= DTSHD_FIRST + 7)
    return "DTSHD.stream";
  if (code >= LPCM_FIRST && code <= LPCM_FIRST + 7)
    return "LPCM.stream";
  if (code >= MLP_FIRST && code <= MLP_FIRST + 7)
    return "MLP.stream";
  if (code >= DDPLUS_FIRST && code <= DDPLUS_FIRST + 15)
    return "DD+.stream";
  return {};
}

std::string scanLabel(const std::string& streamName, int index) {
  std::string label = streamName;
  label += '.';
  label += twoDigits(index);
  return label;
}

std::string boxName(int box) {
  if (box < VIDEO_BOX_COUNT)
    return "cbVideo" + std::to_string(box);
  if (box < VIDEO_BOX_COUNT + AUDIO_BOX_COUNT)
    return "cbAudio" + twoDigits(box - VIDEO_BOX_COUNT);
  return "cbSub" + twoDigits(box - VIDEO_BOX_COUNT - AUDIO_BOX_COUNT);
}

}  // namespace ardunex
