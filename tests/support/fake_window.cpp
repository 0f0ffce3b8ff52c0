// The fake window's behaviour that mirrors real widgets: the rule on a change, toggling clicks.
#include "support/fake_window.h"

#include "jobs/session.h"

namespace ardunex {

void FakeWindow::click(int box) {
  if (boxes[box].enabled)
    setBoxChecked(box, !boxes[box].checked);
}

void FakeWindow::slog(std::string_view text, std::uint8_t panel) {
  panels[panel] = " " + std::string(text);
  panelHistory.push_back(panels);
}

void FakeWindow::processEvents() {
  ++processEventsCalls;
  if (onProcessEvents)
    onProcessEvents();
}

void FakeWindow::setBoxChecked(int box, bool checked) {
  if (boxes[box].checked == checked)
    return;
  boxes[box].checked = checked;
  if (session)
    session->cbVideoClick();
}

bool FakeWindow::buttonEnabled(Button button) const {
  const auto it = buttons.find(button);
  return it != buttons.end() && it->second;
}

}  // namespace ardunex
