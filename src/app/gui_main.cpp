// The ardunex program: the toolkit, the main window with its saved settings, and the event loop.
#include <QApplication>
#include <QCommandLineParser>
#include <memory>

#include "settings/settings_persistence.h"
#include "settings/settings_store.h"
#include "ui/main_window.h"
#include "ui/window_settings.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  // The name the desktop shows for the running program; the window keeps its own caption (a display
  // name would be appended to every window title).
  QApplication::setApplicationName(QStringLiteral("HD DVD Ardunex"));
  QApplication::setApplicationVersion(QStringLiteral(ARDUNEX_VERSION));

  // A file manager opens an .EVO file with "ardunex FILE"; the file is taken as if dropped on the window.
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Splits an HD DVD video object (.EVO) into raw elementary-stream files."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(
      QStringLiteral("FILE"),
      QStringLiteral("An .EVO file, or a playlist (.XPL), to open as if dropped on the window."),
      QStringLiteral("[FILE]"));
  parser.process(application);

  ardunex::TfMain fMain;
  ardunex::WindowSettings settings(fMain);
  const std::unique_ptr<ardunex::SettingsStore> store = ardunex::makeUserSettingsStore();
  fMain.onRegRead = [&] { ardunex::RegRead(*store, settings, fMain.session().paths()); };
  fMain.onRegWrite = [&] { ardunex::RegWrite(*store, settings, fMain.session().paths()); };
  if (!parser.positionalArguments().isEmpty())
    fMain.setStartFile(parser.positionalArguments().constFirst());

  fMain.move(0, 0);
  fMain.show();
  return QApplication::exec();
}
