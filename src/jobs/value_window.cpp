// SPDX-License-Identifier: GPL-2.0-or-later
// The value window's check boxes: a change runs the selection rule, a click toggles an enabled box.
#include "jobs/value_window.h"

#include "jobs/session.h"

namespace ardunex {

void ValueWindow::click(int box) {
  if (boxes[box].enabled)
    setBoxChecked(box, !boxes[box].checked);
}

void ValueWindow::setBoxChecked(int box, bool checked) {
  if (boxes[box].checked == checked)
    return;
  boxes[box].checked = checked;
  if (session)
    session->cbVideoClick();
}

bool ValueWindow::buttonEnabled(Button button) const {
  const auto it = buttons.find(button);
  return it != buttons.end() && it->second;
}

}  // namespace ardunex
