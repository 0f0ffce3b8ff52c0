// SPDX-License-Identifier: GPL-2.0-or-later
// The text of the error a command reports, for tests that check what the user is told.
#pragma once

#include <functional>
#include <string>

#include "base/errors.h"

namespace ardunex::test {

/// The text of the error that command throws, or "no failure".
inline std::string failureText(const std::function<void()>& command) {
  try {
    command();
  } catch (const Error& error) {
    return error.what();
  }
  return "no failure";
}

}  // namespace ardunex::test
