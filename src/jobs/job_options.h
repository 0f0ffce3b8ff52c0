// SPDX-License-Identifier: GPL-2.0-or-later
// The Options page as a command reads it once, at its start.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "base/window.h"
#include "engine/engine.h"

namespace ardunex {

/// What the Options page held when a command started. The command and every engine run it makes keep
/// to these values to the end, whatever happens on the page meanwhile.
struct JobOptions {
  std::string workdir;
  std::string videoExt;
  std::string audioExt;
  bool continueOnSecond = true;
  bool fastCheck = true;
  std::array<bool, OPTION_COUNT> on{};

  bool optionOn(Option option) const { return on[static_cast<std::size_t>(option)]; }
  /// What an engine run of the command keeps to.
  RunOptions run() const { return {fastCheck, optionOn(Option::Subpictures)}; }

  /// Reads the window's Options page.
  static JobOptions of(const Window& window) {
    JobOptions options{window.workdir(),          window.videoExt(),  window.audioExt(),
                       window.continueOnSecond(), window.fastCheck(), {}};
    for (std::size_t k = 0; k < options.on.size(); ++k)
      options.on[k] = window.optionOn(static_cast<Option>(k));
    return options;
  }
};

}  // namespace ardunex
