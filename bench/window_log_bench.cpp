// SPDX-License-Identifier: GPL-2.0-or-later
// Measures a full scan in the real window of a damaged file that makes the walker log one line per packet:
// the time it takes and how many lines the Status log holds. Run it under /usr/bin/time -v for the memory.
//
// ardunex-window-bench [size in MB, default 20] [folder, default $TMPDIR or /tmp]
#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "ui/main_window.h"

int main(int argc, char* argv[]) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr)
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  const long megabytes = argc > 1 ? std::atol(argv[1]) : 20;
  const char* tmp = std::getenv("TMPDIR");
  const std::string folder = argc > 2 ? argv[2] : tmp != nullptr ? tmp : "/tmp";
  const std::string path = folder + "/ardunex-window-bench.EVO";

  // Private stream 1 packets too short to hold a sub-stream number: one log line each.
  const char packet[] = {0x00, 0x00, 0x01, static_cast<char>(0xBD), 0x00, 0x03, static_cast<char>(0x81), 0x00, 0x00};
  {
    std::string block;
    while (block.size() < 1024 * 1024)
      block.append(packet, sizeof packet);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (std::size_t written = 0; written < static_cast<std::size_t>(megabytes) * 1000 * 1000; written += block.size())
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
    if (!out) {
      std::fprintf(stderr, "ardunex-window-bench: cannot write %s\n", path.c_str());
      return 1;
    }
  }

  ardunex::TfMain window;
  window.setErrorReporter([](const QString& text) { std::fprintf(stderr, "%s\n", qPrintable(text)); });
  window.show();
  QApplication::processEvents();
  window.setFastCheck(false);
  window.session().chooseEvoFile(path);

  QElapsedTimer timer;
  timer.start();
  window.bCheckClick();
  QApplication::processEvents();
  const qint64 elapsed = timer.elapsed();

  const auto* log = window.findChild<QPlainTextEdit*>(QStringLiteral("mMessage"));
  std::printf("scan of %ld MB: %.2f s, %d log lines\n", megabytes, elapsed / 1000.0, log->blockCount());
  const QString text = log->toPlainText();
  std::printf("last lines:\n%s\n", qPrintable(text.section(QLatin1Char('\n'), -4)));
  std::remove(path.c_str());
  return 0;
}
