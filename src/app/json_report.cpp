// SPDX-License-Identifier: GPL-2.0-or-later
// Composes the JSON report of a scan with nlohmann/json.
#include "app/json_report.h"

#include <nlohmann/json.hpp>

#include "app/console_window.h"
#include "jobs/session.h"

namespace ardunex {
namespace {

const char* kindName(StreamKind kind) {
  switch (kind) {
    case StreamKind::Video:
      return "video";
    case StreamKind::Audio:
      return "audio";
    case StreamKind::Subpicture:
      return "subpicture";
  }
  return "";
}

template <typename T>
nlohmann::json orNull(const std::optional<T>& value) {
  return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

nlohmann::json streamJson(const StreamRecord& record) {
  nlohmann::json stream = {
      {"id", record.fileCode()},
      {"stream_id", record.streamId},
      {"kind", kindName(record.kind)},
      {"codec", record.codec},
      {"number", record.number},
      {"box", record.box >= 0 ? nlohmann::json(boxName(record.box)) : nlohmann::json(nullptr)},
      {"packets", record.packets},
      {"payload_bytes", record.payloadBytes},
      {"first_pts", orNull(record.firstPts)},
      {"delay_ms", orNull(record.delayMs)},
      {"scrambled_packets", record.scrambledPackets},
  };
  // Parameters appear only where they are known.
  const StreamParams& params = record.params;
  if (params.width)
    stream["width"] = *params.width;
  if (params.height)
    stream["height"] = *params.height;
  if (params.frameRate)
    stream["frame_rate"] = *params.frameRate;
  if (params.channels)
    stream["channels"] = *params.channels;
  if (params.sampleRate)
    stream["sample_rate"] = *params.sampleRate;
  if (params.bits)
    stream["bits"] = *params.bits;
  return stream;
}

}  // namespace

std::string jsonReport(const Session& session, const ValueWindow& window, const std::string& file, std::int64_t size) {
  nlohmann::json streams = nlohmann::json::array();
  for (const StreamRecord& record : session.inventory())
    streams.push_back(streamJson(record));
  nlohmann::json boxes = nlohmann::json::array();
  for (int box = 0; box < BOX_COUNT; ++box) {
    boxes.push_back({{"name", boxName(box)},
                     {"enabled", window.boxEnabled(box)},
                     {"checked", window.boxChecked(box)},
                     {"caption", window.boxCaption(box)}});
  }
  const nlohmann::json report = {
      {"file", file},
      {"size", size},
      {"scanned_bytes", session.scannedBytes()},
      {"fast_check", window.fastCheck()},
      {"streams", streams},
      {"boxes", boxes},
  };
  // Names and captions are bytes from the disc or the command line: invalid UTF-8 is replaced, not thrown.
  return report.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace ardunex
