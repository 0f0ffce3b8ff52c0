// SPDX-License-Identifier: GPL-2.0-or-later
// What the jobs say about the stream inventory: skipped streams, encrypted packets, the detail of a box.
#pragma once

#include <string>
#include <vector>

#include "codecs/stream_inventory.h"

namespace ardunex {

/// "DTS HD stream 0x88": the stream as the log names it, with the code the file holds.
std::string streamTitle(const StreamRecord& record);

/// Why a stream got no box: "number 0 is taken by Dolby Digital 0x80", "MPEG audio is not demuxed", ...
/// holder is the stream that has the box of the same number, if any; everyStream tells whether streams
/// of a taken number get boxes of their own.
std::string skipReason(const StreamRecord& record, const StreamRecord* holder, bool everyStream);

/// "DTS HD stream 0x88 skipped: number 0 is taken by Dolby Digital 0x80"
std::string skippedLine(const StreamRecord& record, const std::string& reason);

/// "Warning: DTS HD stream 0x88: 12 packets encrypted: decrypt the disc first"
std::string encryptedLine(const StreamRecord& record);

/// The parameters and the delay of a stream for its box's tooltip: "AC-3 5.1, 48 kHz, delay −5 ms".
std::string streamDetail(const StreamRecord& record);

/// " DELAY -5ms": what a file name carries between caption and extension; empty when the delay is unknown.
std::string delayNamePart(const StreamRecord& record);

/// The scan label of a stream in a box of its own: its codec and its own number ("DTSHD.stream.00").
std::string ownLabel(const StreamRecord& record);

}  // namespace ardunex
