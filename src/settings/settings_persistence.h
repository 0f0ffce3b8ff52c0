// SPDX-License-Identifier: GPL-2.0-or-later
// Saving the window's placement, options and last folders at close and applying them at start-up.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "jobs/path_state.h"
#include "settings/settings_store.h"
#include "settings/settings_target.h"

namespace ardunex {

/// The local date and time as an OLE Automation date: days since 30 December 1899 00:00, the time of
/// day as the fraction, to the millisecond.
double currentOleDate();

/// Applies every saved value that exists, in a fixed order; values missing leave the current ones.
/// Nothing happens when the key does not exist; what the store has to say of its file (a damaged one kept
/// aside) goes to the target's log. A value of the wrong type throws SettingsError and
/// ends the read there, the values applied before it staying in effect. Texts stored as expandable
/// strings are taken as they are: %VAR% references are not expanded.
void RegRead(SettingsStore& store, SettingsTarget& target, PathState& paths);

/// Saves all values, creating the key; the placement is left as an earlier save stored it while the
/// window is maximised, and "Install" is written by the first save only. Nothing happens when the key
/// cannot be created. Throws SettingsError "Failed to set data for 'name'" when a value cannot be
/// stored; when the store keeps its values until the key closes and that fails, the store's own account
/// ("Cannot save the settings to PATH: reason"), else the name of the first value of this save, since
/// none of them was kept.
void RegWrite(SettingsStore& store, const SettingsTarget& target, const PathState& paths,
              const std::function<double()>& now = currentOleDate);

/// An OLE Automation date from a local calendar date and time.
double oleDate(int year, unsigned month, unsigned day, int hour, int minute, int second, int millisecond);

/// The 8 little-endian bytes of an IEEE-754 double, as "Install" holds them.
std::vector<std::uint8_t> doubleBytes(double value);

}  // namespace ardunex
