// SPDX-License-Identifier: GPL-2.0-or-later
// The console window's output and its answer to Ctrl-C.
#include "app/console_window.h"

#include <cerrno>
#include <cstring>

#include "jobs/session.h"

namespace ardunex {

std::atomic<bool> ConsoleWindow::interrupted{false};
std::atomic<int> ConsoleWindow::stopSignal{0};

ConsoleWindow::ConsoleWindow(std::FILE* out, std::FILE* err, bool showProgress)
    : m_out(out), m_err(err), m_showProgress(showProgress) {}

void ConsoleWindow::log(std::string_view text) {
  if (!m_out)
    return;  // a report of its own takes the place of the log
  endProgress();
  std::fwrite(text.data(), 1, text.size(), m_out);
  std::fputc('\n', m_out);
  checkOutput();
}

bool ConsoleWindow::checkOutput() {
  if (!m_out)
    return true;  // nothing is written
  errno = 0;
  const bool failed = std::fflush(m_out) != 0 || std::ferror(m_out) != 0;
  if (failed && !m_outputLost) {
    m_outputLost = true;
    const int error = errno;
    endProgress();
    std::fprintf(m_err, "ardunex-cli: cannot write the log to standard output%s%s\n", error != 0 ? ": " : "",
                 error != 0 ? std::strerror(error) : "");
  }
  return !m_outputLost;
}

void ConsoleWindow::slog(std::string_view text, std::uint8_t panel) {
  // Panel 1 carries the progress of a running job while it reads a file; it is only worth showing on a
  // terminal. What a job leaves there at its end (no stream found) is a line of the log already.
  const bool reading = !session || session->run().InputFile || session->muxing();
  if (panel != 1 || !m_showProgress || text.empty() || !reading)
    return;
  std::fprintf(m_err, "\r%.*s\033[K", static_cast<int>(text.size()), text.data());
  std::fflush(m_err);
  m_progressShown = true;
}

void ConsoleWindow::endProgress() {
  if (m_progressShown) {
    std::fputc('\n', m_err);
    m_progressShown = false;
  }
}

void ConsoleWindow::processEvents() {
  if (interrupted.load() && session)
    session->requestCancel();
}

}  // namespace ardunex
