// SPDX-License-Identifier: GPL-2.0-or-later
// The fake window's reporting: panel texts as the status bar shows them, user actions during a job.
#include "support/fake_window.h"

#include <gtest/gtest.h>

namespace ardunex {

void FakeWindow::slog(std::string_view text, std::uint8_t panel) {
  panels[panel] = " " + std::string(text);
  panelHistory.push_back(panels);
}

void FakeWindow::processEvents() {
  ++processEventsCalls;
  if (onProcessEvents)
    onProcessEvents();
}

void FakeWindow::expectStatusOfFinishedJob(const std::string& jobText) const {
  EXPECT_EQ(panelHistory[0][0], " Opening");
  EXPECT_EQ(panelHistory[1][0], jobText);
  EXPECT_EQ(panels[0], " Ready");
  EXPECT_EQ(panels[1], " ");
}

}  // namespace ardunex
