// SPDX-License-Identifier: GPL-2.0-or-later
// The main window in use, offscreen: placement across restarts, keyboard use, closing when the settings
// cannot be saved, the status texts after a failure and a stop, and the bounded Status log.
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "settings/file_settings_store.h"
#include "settings/settings_persistence.h"
#include "support/ps_builder.h"
#include "ui/main_window.h"
#include "ui/status_log.h"
#include "ui/status_panels.h"
#include "ui/window_settings.h"

using ardunex::TfMain;

namespace {

/// One run of the program against a settings file: started as ardunex starts, and closed. With
/// framedLate the settings are applied before the window system has framed the window, as happens under a
/// window manager that decorates a window a while after it is shown.
struct Run {
  explicit Run(const std::string& settingsPath, bool framedLate = false) : store(settingsPath), settings(window) {
    window.onRegRead = [this] { ardunex::RegRead(store, settings, window.session().paths()); };
    window.onRegWrite = [this] { ardunex::RegWrite(store, settings, window.session().paths()); };
    window.setErrorReporter([this](const QString& text) { errors << text; });
    window.move(0, 0);
    if (framedLate) {
      window.onRegRead();
      window.onRegRead = {};
    }
    window.show();
  }
  ardunex::FileSettingsStore store;
  TfMain window;
  ardunex::WindowSettings settings;
  QStringList errors;
};

QString readText(const std::string& path) {
  QFile file(QString::fromStdString(path));
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

}  // namespace

class WindowUseTest : public QObject {
  Q_OBJECT

  ardunex::test::TempDir dir;

 private Q_SLOTS:
  void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

  void restartKeepsTheFrame_data() {
    QTest::addColumn<QRect>("stored");
    QTest::addColumn<int>("state");
    QTest::addColumn<QRect>("expected");  // the frame after a restart; an empty one: the minimum size there
    QTest::addColumn<bool>("framedLate");
    for (const bool late : {false, true}) {
      const char* when = late ? ", framed late" : "";
      QTest::addRow("first run%s", when) << QRect() << 0 << QRect(0, 0, 0, 0) << late;
      QTest::addRow("moved and grown%s", when) << QRect(40, -8, 500, 420) << 0 << QRect(40, -8, 500, 420) << late;
      QTest::addRow("below the minimum%s", when) << QRect(10, 20, 100, 100) << 0 << QRect(10, 20, 0, 0) << late;
      QTest::addRow("maximised%s", when) << QRect(60, 30, 480, 400) << 2 << QRect(60, 30, 480, 400) << late;
      // Sizes beyond the screen shrink to it; a place off every screen moves onto the main one.
      const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
      QTest::addRow("larger than the screen%s", when) << QRect(0, 0, 32768, 32768) << 0 << screen << late;
      QTest::addRow("off every screen%s", when)
          << QRect(50000, -40000, 500, 420) << 0 << QRect(screen.right() + 1 - 500, screen.top(), 500, 420) << late;
    }
  }

  void restartKeepsTheFrame() {
    QFETCH(QRect, stored);
    QFETCH(int, state);
    QFETCH(QRect, expected);
    QFETCH(bool, framedLate);
    const std::string path = dir.file(QTest::currentDataTag()) + "/settings.reg";
    if (stored.isValid()) {
      ardunex::FileSettingsStore seed(path);
      QVERIFY(seed.openKey(ardunex::SETTINGS_KEY, true));
      const std::pair<const char*, int> values[] = {{"WindowState", state},
                                                    {"Top", stored.top()},
                                                    {"Left", stored.left()},
                                                    {"Width", stored.width()},
                                                    {"Height", stored.height()}};
      for (const auto& [name, value] : values)
        ardunex::writeInteger(seed, name, value);
      QVERIFY(seed.closeKey());
    }
    QStringList saved;
    for (int cycle = 0; cycle < 2; ++cycle) {
      Run run(path, framedLate);
      QVERIFY(QTest::qWaitForWindowActive(&run.window));
      QTRY_COMPARE(run.window.isMaximized(), state == 2);
      if (state == 2) {
        run.window.showNormal();  // restored, it takes the stored normal bounds
        QTRY_VERIFY(!run.window.isMaximized());
      }
      QTRY_COMPARE(run.window.frameGeometry(),
                   expected.isEmpty() ? QRect(expected.topLeft(), run.window.minimumOuterSize()) : expected);
      QCOMPARE(run.window.size().expandedTo(run.window.minimumSize()), run.window.size());
      if (state == 2)
        run.window.showMaximized();
      QTRY_COMPARE(run.window.isMaximized(), state == 2);
      QVERIFY(run.window.close());
      QVERIFY(run.errors.isEmpty());
      saved << readText(path);
    }
    QCOMPARE(saved[1], saved[0]);
    QVERIFY(saved[0].contains(state == 2 ? "\"WindowState\"=dword:00000002" : "\"WindowState\"=dword:00000000"));
  }

  void tabVisitsTheFocusOrderAndLeavesTheMemos() {
    TfMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    for (auto button :
         {ardunex::Button::ReadEvo, ardunex::Button::ReadXpl, ardunex::Button::Demux, ardunex::Button::Cancel})
      window.setButtonEnabled(button, true);
    auto* log = window.findChild<QPlainTextEdit*>("mMessage");
    window.log("a line");
    window.flushLog();
    window.findChild<QLineEdit*>("eEVOfile")->setFocus();
    QStringList visited;
    for (int i = 0; i < 12; ++i) {
      QWidget* focused = QApplication::focusWidget();
      visited << (focused->parentWidget() == window.findChild<QTabWidget*>("PageControl") ? "PageControl"
                                                                                          : focused->objectName());
      QTest::keyClick(focused, Qt::Key_Tab);
    }
    QCOMPARE(visited, QStringList({"eEVOfile", "bCheck", "eXPLfile", "bDemux", "PageControl", "mMessage", "bReadXPL",
                                   "bCancel", "bbEVO", "bbXPL", "bAbout", "bbDisc"}));
    QCOMPARE(QApplication::focusWidget()->objectName(), QString("eEVOfile"));
    QCOMPARE(log->toPlainText(), QString("a line"));  // no Tab went into the log

    window.showPage(ardunex::Page::Xpl);
    auto* xpl = window.findChild<QPlainTextEdit*>("mXPL");
    xpl->setFocus();
    QTest::keyClick(xpl, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QString("bReadXPL"));
    QVERIFY(xpl->toPlainText().isEmpty());
  }

  void closesWhenTheSettingsCannotBeSaved() {
    // A folder that is a plain file: no one, not even the superuser, can create the settings there.
    ardunex::test::writeFile(dir.file("plain"), {'x'});
    Run run(dir.file("plain") + "/ardunex/settings.reg");
    QVERIFY(QTest::qWaitForWindowActive(&run.window));
    QVERIFY(run.window.close());
    QVERIFY(!run.window.isVisible());
    QCOMPARE(run.errors, QStringList{QString::fromStdString("Cannot save the settings to " + dir.file("plain") +
                                                            "/ardunex/settings.reg: Not a directory.")});
  }

  void statusAfterAFailureAndEnterOnAButton() {
    TfMain window;
    QStringList errors;
    window.setErrorReporter([&](const QString& text) { errors << text; });
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const std::string evo = dir.file("F.EVO");
    ardunex::test::PsBuilder builder;
    builder.pack(true).pes(0xE2, ardunex::test::payload(3000, 1));
    ardunex::test::writeFile(evo, builder.bytes());

    // Enter presses the focused "Read EVO", and the focus stays on it.
    window.session().chooseXplFile(dir.file("x.xpl"));
    window.session().chooseEvoFile(dir.file("hvdvd_ts/f.evo"));  // lower case: no guess, a bare playlist name
    window.session().chooseEvoFile(evo);
    auto* readEvo = window.findChild<QPushButton*>("bCheck");
    readEvo->setFocus();
    QTest::keyClick(readEvo, Qt::Key_Return);
    QVERIFY(window.boxChecked(ardunex::videoBox(0)));
    QCOMPARE(QApplication::focusWidget(), readEvo);

    // A demux into a folder that cannot be made (below a file) fails; the status bar ends as after any job.
    window.setWorkdir(evo + "/folder");
    window.bDemuxClick();
    QCOMPARE(errors.size(), 1);
    QVERIFY(errors[0].startsWith("Cannot create folder"));
    QCOMPARE(window.panelText(0), QString(" Ready"));
    QCOMPARE(window.panelText(1), QString(" Demux failed: change a stream box or read the EVO again."));

    // The bare playlist name is reported as the full path it was looked for at.
    const QString current = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(dir.path()));
    window.session().chooseEvoFile(dir.file("hvdvd_ts/f.evo"));
    QCOMPARE(QString::fromStdString(window.xplFileText()), QString("VPLST000.XPL"));
    window.bReadXPLClick();
    QDir::setCurrent(current);
    QCOMPARE(errors.last(),
             QString("Cannot open file \"%1/VPLST000.XPL\". No such file or directory.").arg(dir.path().c_str()));
    QCOMPARE(window.panelText(0), QString(" Ready"));
  }

  void statusBarKeepsTheRemainingTimeAndCaptionsTheirTooltip() {
    TfMain window;
    window.show();
    const QString progress = "Demuxing FEATURE_1.EVO 1256/2037 Mbytes, Remaining time: 00:12:34";
    for (const char* word : {"Writing stream(s)", "Closing when the job ends"}) {
      window.slog(word, 0);
      window.slog(progress.toStdString(), 1);
      const auto* panel = window.findChild<QLabel*>("StatusBarPanel1");
      QVERIFY2(
          panel->text().endsWith("1256/2037 Mbytes, Remaining time: 00:12:34") || panel->text().endsWith(" 00:12:34"),
          qPrintable(panel->text()));
      QVERIFY(panel->fontMetrics().horizontalAdvance(panel->text()) <= panel->contentsRect().width());
      QCOMPARE(panel->geometry().right(), window.width() - 1);  // within the bar
      QCOMPARE(window.panelText(1), " " + progress);
      QCOMPARE(window.findChild<QWidget*>("StatusBar")->toolTip(), progress);
    }

    const int box = ardunex::audioBox(1);
    auto* check = window.findChild<QCheckBox*>("cbAudio01");
    window.setBoxCaption(box, "MLP.stream.1.English Track (Director's Commentary)");
    QCOMPARE(check->toolTip(),
             QString("Check the desired audio streams\nMLP.stream.1.English Track (Director's Commentary)"));
    QCOMPARE(check->width(), 140);
    window.setBoxCaption(box, "DD.stream.01");
    QCOMPARE(check->toolTip(), QString("Check the desired audio streams"));
  }

  void captionsFitTheirControls_data() {
    QTest::addColumn<bool>("ownFont");
    QTest::newRow("the window's own font") << true;
    QTest::newRow("a substitute") << false;  // DejaVu Sans alone on a fresh system: wider
  }

  void captionsFitTheirControls() {
    QFETCH(bool, ownFont);
    if (!ownFont)
      QFontDatabase::removeAllApplicationFonts();
    TfMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(ardunex::loadWindowFonts());
    QCOMPARE(window.size(), window.minimumSize());
    QVERIFY(!window.findChild<QToolButton*>("ScrollRightButton")->isVisible());  // every tab shows
    for (const QPushButton* button : window.findChildren<QPushButton*>())
      QVERIFY2(button->fontMetrics().horizontalAdvance(button->text().remove('&')) + 12 <= button->width(),
               qPrintable(button->objectName()));
    window.showPage(ardunex::Page::Options);
    for (const auto& [label, field] :
         {std::pair{"lVideoExt", "eVideoExt"}, {"lAudioExt", "eAudioExt"}, {"lWorkdir", "eWorkdir"}})
      QVERIFY2(window.findChild<QLabel*>(label)->geometry().right() < window.findChild<QLineEdit*>(field)->x(), label);
    auto* page = window.findChild<QWidget*>("tsOption");
    const QList<QCheckBox*> boxes = page->findChildren<QCheckBox*>();
    QCOMPARE(boxes.size(), 2 + ardunex::OPTION_COUNT);
    for (const QCheckBox* box : boxes) {
      QVERIFY2(page->rect().contains(box->geometry()) && box->width() >= box->sizeHint().width(),
               qPrintable(box->objectName()));
      for (const QCheckBox* other : boxes)
        QVERIFY(box == other || !box->geometry().intersects(other->geometry()));
    }
    // Assistive tools find a name for every control that takes the focus.
    for (QWidget* control : window.findChildren<QWidget*>()) {
      const QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
      QVERIFY2(control->focusPolicy() == Qt::NoFocus || !accessible->text(QAccessible::Name).isEmpty(),
               qPrintable(control->objectName()));
    }
  }

  void progressLineShortensTheNameFirst() {
    // The verb, the sizes and the remaining time stay whole at every width down to what they need alone; the
    // name gives way first, then the label of the remaining time.
    const QFontMetrics metrics(TfMain().font());
    const QString line = " Demuxing FEATURE_1 (director's cut).EVO 1256/2037 Mbytes, Remaining time: 00:12:34";
    const int labelled = metrics.horizontalAdvance(" Demuxing \u2026 1256/2037 Mbytes, Remaining time: 00:12:34");
    const int bare = metrics.horizontalAdvance(" Demuxing \u2026 1256/2037 Mbytes, 00:12:34");
    for (int width = metrics.horizontalAdvance(line); width >= bare; --width) {
      const QString shown = ardunex::fitText(line, metrics, width);
      QVERIFY2(metrics.horizontalAdvance(shown) <= width && shown.startsWith(" Demuxing ") &&
                   shown.contains(" 1256/2037 Mbytes, ") && shown.endsWith(" 00:12:34"),
               qPrintable(shown));
      QCOMPARE(shown.contains("Remaining time: "), width >= labelled);
    }
  }

  void logCollapsesRepeatsAndKeepsTheNewestLines() {
    using ardunex::StatusLog;
    for (const int flushEvery : {1, 997, 3 * StatusLog::MAX_LINES}) {
      QPlainTextEdit memo;
      StatusLog log(&memo);
      QStringList expected;
      const int lines = StatusLog::MAX_LINES + 25;
      for (int i = 0; i < lines; ++i) {
        const std::string text = "line " + std::to_string(i);
        for (int k = 0; k < 1 + i % 3; ++k)
          log.append(text);
        expected << StatusLog::shownLine(text, 1 + i % 3);
        if (i % flushEvery == 0)
          log.flush();
      }
      log.flush();
      expected = expected.mid(lines - StatusLog::MAX_LINES);
      expected.prepend("25 earlier lines dropped.");
      QCOMPARE(memo.toPlainText(), expected.join('\n'));
    }
    QCOMPARE(StatusLog::shownLine("short audio packet", 233016), QString("short audio packet (233,016 times)"));
  }
};

QTEST_MAIN(WindowUseTest)
#include "window_use_test.moc"
