// SPDX-License-Identifier: GPL-2.0-or-later
// The last phase of a demux that makes an MKV: mkvmerge run on the option file, its progress in the status
// bar, its warnings and errors in the log, and the files made for the MKV removed once it is made.
#pragma once

#include <functional>
#include <string>

#include "base/window.h"
#include "jobs/remux_files.h"

namespace ardunex {

/// Runs mkvmerge (a path, findMkvmerge()) on the option file the demux wrote, and ends with the line that
/// names the MKV, its tracks and its chapters. stopRequested is asked at every tick, after the window has
/// handled its events. Returns when the MKV is made, or when the user stopped the mux (the partial MKV is
/// removed; the demux's files stay). Throws Error when no MKV could be made: mkvmerge failed, or there was
/// nothing it could take.
void makeMkv(Window& window, const std::string& mkvmerge, const MuxFiles& files,
             const std::function<bool()>& stopRequested);

}  // namespace ardunex
