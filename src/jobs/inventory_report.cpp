// SPDX-License-Identifier: GPL-2.0-or-later
// Texts about the stream inventory, for the log, the tooltips and the output names.
#include "jobs/inventory_report.h"

#include <cstdio>

#include "jobs/stream_names.h"

namespace ardunex {

std::string streamTitle(const StreamRecord& record) {
  char code[8];
  std::snprintf(code, sizeof code, "0x%02X", record.fileCode());
  return record.logName + " stream " + code;
}

std::string skipReason(const StreamRecord& record, const StreamRecord* holder, bool everyStream) {
  if (record.kind == StreamKind::Subpicture)
    return "subpictures are not demuxed";
  if (everyStream)
    return "no box of its group is free";
  if (record.coding == StreamCoding::MpegAudio)
    return "MPEG audio is not demuxed";
  std::string reason = "number " + std::to_string(record.number) + " is taken";
  if (holder) {
    char code[8];
    std::snprintf(code, sizeof code, "0x%02X", holder->fileCode());
    reason += " by " + holder->logName + " " + code;
  }
  return reason;
}

std::string skippedLine(const StreamRecord& record, const std::string& reason) {
  return streamTitle(record) + " skipped: " + reason;
}

std::string encryptedLine(const StreamRecord& record) {
  return "Warning: " + streamTitle(record) + ": " + std::to_string(record.scrambledPackets) +
         (record.scrambledPackets == 1 ? " packet" : " packets") + " encrypted: decrypt the disc first";
}

std::string streamDetail(const StreamRecord& record) {
  std::string detail = describeParams(record.coding, record.params);
  if (record.delayMs) {
    if (!detail.empty())
      detail += ", ";
    const int delay = *record.delayMs;
    detail += "delay " + std::string(delay < 0 ? "\u2212" : "") + std::to_string(delay < 0 ? -delay : delay) + " ms";
  }
  return detail;
}

std::string delayNamePart(const StreamRecord& record) {
  if (!record.delayMs || record.kind == StreamKind::Video)
    return {};
  return " DELAY " + std::to_string(*record.delayMs) + "ms";
}

std::string ownLabel(const StreamRecord& record) { return scanLabel(record.codec + ".stream", record.number); }

}  // namespace ardunex
