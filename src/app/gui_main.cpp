// The ardunex program: the toolkit, the main window, and the event loop.
#include <QApplication>

#include "ui/main_window.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("HD DVD Ardunex"));
  QApplication::setApplicationDisplayName(QStringLiteral("HD DVD Ardunex"));

  ardunex::TfMain fMain;
  fMain.move(0, 0);
  fMain.show();
  return QApplication::exec();
}
