// The fake window's reporting: panel texts as the status bar shows them, user actions during a job.
#include "support/fake_window.h"

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

}  // namespace ardunex
