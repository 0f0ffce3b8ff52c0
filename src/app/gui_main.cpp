// SPDX-License-Identifier: GPL-2.0-or-later
// The ardunex program: the toolkit, the main window with its saved settings, and the event loop.
#include <QApplication>
#include <QCommandLineParser>
#include <memory>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>
#include <csignal>
#endif

#include "settings/settings_persistence.h"
#include "settings/settings_store.h"
#include "ui/main_window.h"
#include "ui/window_settings.h"

#ifndef _WIN32
namespace {

// The end of the session (SIGTERM, SIGHUP): a running job stops before its next read and closes its files
// with what they hold, then the program ends with status 128 + signal. The handler only raises the flag and
// wakes the event loop through a pipe.
std::atomic<bool> sessionEnding{false};
std::atomic<int> endingSignal{0};
int wakePipe[2] = {-1, -1};

extern "C" void onSessionEnd(int signal) {
  int none = 0;
  endingSignal.compare_exchange_strong(none, signal);
  sessionEnding = true;
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(wakePipe[1], &byte, 1);
}

}  // namespace
#endif

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  // The name the desktop shows for the running program; the window keeps its own caption (a display
  // name would be appended to every window title).
  QApplication::setApplicationName(QStringLiteral("HD DVD Ardunex"));
  QApplication::setApplicationVersion(QStringLiteral(ARDUNEX_VERSION));

  // A file manager opens an .EVO file, or a disc folder, with "ardunex FILE"; it is taken as if dropped on the
  // window.
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Splits an HD DVD video object (.EVO) into raw elementary-stream files."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(
      QStringLiteral("FILE"),
      QStringLiteral("An .EVO file, a playlist (.XPL), or a disc (its folder, HVDVD_TS or any other file "
                     "inside it), to open as if dropped on the window."),
      QStringLiteral("[FILE]"));
  parser.process(application);

  ardunex::TfMain fMain;
  ardunex::WindowSettings settings(fMain);
  const std::unique_ptr<ardunex::SettingsStore> store = ardunex::makeUserSettingsStore();
  fMain.onRegRead = [&] { ardunex::RegRead(*store, settings, fMain.session().paths()); };
  fMain.onRegWrite = [&] { ardunex::RegWrite(*store, settings, fMain.session().paths()); };
  if (!parser.positionalArguments().isEmpty())
    fMain.setStartFile(parser.positionalArguments().constFirst());

#ifndef _WIN32
  std::unique_ptr<QSocketNotifier> wake;
  if (::pipe(wakePipe) == 0) {
    for (int fd : wakePipe) {
      ::fcntl(fd, F_SETFD, FD_CLOEXEC);
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    fMain.session().setStopFlag(&sessionEnding);
    wake = std::make_unique<QSocketNotifier>(wakePipe[0], QSocketNotifier::Read);
    // Seen in the event loop, or in a running job's progress report: every event loop is told to end; a
    // job on the stack below finishes first (its engine stops at the flag), then exec() returns.
    QObject::connect(wake.get(), &QSocketNotifier::activated, [] {
      char bytes[16];
      while (::read(wakePipe[0], bytes, sizeof bytes) > 0) {
      }
      QCoreApplication::exit(128 + endingSignal.load());
    });
    std::signal(SIGTERM, onSessionEnd);
    std::signal(SIGHUP, onSessionEnd);
  }
#endif

  fMain.move(0, 0);
  fMain.show();
  return QApplication::exec();
}
