// SPDX-License-Identifier: GPL-2.0-or-later
// The JSON report of a scan that ardunex-cli --json prints: the file, every stream met and every box.
#pragma once

#include <cstdint>
#include <string>

namespace ardunex {

class Session;
class ValueWindow;

/// The report as one JSON object (one line, no trailing newline).
std::string jsonReport(const Session& session, const ValueWindow& window, const std::string& file, std::int64_t size);

}  // namespace ardunex
