// SPDX-License-Identifier: GPL-2.0-or-later
// The texts derived from the two path fields and what the open-file dialogs remember.
#pragma once

#include <string>

namespace ardunex {

/// The texts derived from the two path fields.
struct PathState {
  std::string EVOdir;
  std::string EVOname;
  std::string EVObase;
  std::string XPLdir;
  std::string XPLname;
};

/// What an open-file dialog remembers between showings.
struct DialogMemory {
  std::string initialDir;
  std::string fileName;
};

}  // namespace ardunex
