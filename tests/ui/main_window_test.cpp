// SPDX-License-Identifier: GPL-2.0-or-later
// The main window driven through real widgets and events, offscreen: design state, anchoring, status bar,
// a scan and demux by clicks, Cancel with its question, error boxes, drops, dialogs, close and settings hooks.
#include "ui/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <functional>
#include <memory>

#include "base/errors.h"
#include "jobs/mkvmerge_runner.h"
#include "support/disc_builder.h"
#include "support/feature_builder.h"
#include "support/ps_builder.h"
#include "ui/jpeg_logo.h"
#include "ui/window_settings.h"

using ardunex::TfMain;
using ardunex::test::Bytes;
using ardunex::test::PsBuilder;

namespace {

constexpr std::size_t MIB = 1024 * 1024;
constexpr std::uint8_t AVC_VIDEO_0 = 0xE2;
constexpr std::uint8_t DD_PLUS_1 = 0xC1;
constexpr std::uint8_t DD_5 = 0x85;

struct Feature {
  Bytes file;
  Bytes video;
  Bytes audio;
};

/// AVC video 0 and DD+ audio 1 throughout, at least minSize bytes; lateAudio adds DD audio 5 at the very end.
Feature makeFeature(std::size_t minSize, bool lateAudio = false) {
  namespace test = ardunex::test;
  const test::Feature f = test::makeFeature({test::video(AVC_VIDEO_0, 1500), test::audio(DD_PLUS_1, 400)}, minSize, 1);
  Feature feature{f.file, f.payloads[0], f.payloads[1]};
  if (lateAudio) {
    const Bytes late = PsBuilder().pack().privateStream1(DD_5, test::payload(400, 0)).bytes();
    feature.file.insert(feature.file.end(), late.begin(), late.end());
  }
  return feature;
}

/// Runs action once, as soon as the application shows a modal widget of type T (a dialog opened by a
/// click); stops watching when it goes out of scope.
template <class T>
class WhenModal {
 public:
  explicit WhenModal(std::function<void(T*)> action) : m_action(std::move(action)) {
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
      if (auto* modal = qobject_cast<T*>(QApplication::activeModalWidget())) {
        m_timer.stop();
        m_action(modal);
      }
    });
    m_timer.start(20);
  }

 private:
  std::function<void(T*)> m_action;
  QTimer m_timer;
};

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TfMain> window;
  QStringList errors;
  ardunex::test::TempDir dir;

  template <class T>
  T* child(const char* name) const {
    T* found = window->findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr)
      qFatal("no control %s", name);
    return found;
  }
  void drop(const QList<QUrl>& urls) {
    QMimeData mime;
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    QDropEvent event(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &event);
  }

  std::string writeEvo(const char* name, const Bytes& bytes) {
    const std::string path = dir.file(name);
    ardunex::test::writeFile(path, bytes);
    return path;
  }

  /// Chooses the file by dropping it and presses "Read EVO".
  void scan(const std::string& path) {
    drop({QUrl::fromLocalFile(QString::fromStdString(path))});
    QTest::mouseClick(child<QPushButton>("bCheck"), Qt::LeftButton);
  }

 private Q_SLOTS:
  void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

  void init() {
    window = std::make_unique<TfMain>();
    errors.clear();
    window->setErrorReporter([this](const QString& text) { errors << text; });
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
  }

  void cleanup() {
    window.reset();
    qunsetenv("ARDUNEX_MKVMERGE");
  }

  void designStateAfterFirstActivation() {
    QCOMPARE(window->screen()->logicalDotsPerInchX(), 96.0);
    QCOMPARE(window->objectName(), QString("fMain"));
    QVERIFY(window->windowTitle().startsWith("Ardunex 0.41 ("));
    QCOMPARE(window->pos(), QPoint(0, 0));
    QCOMPARE(window->size(), QSize(362, 346));
    QCOMPARE(window->minimumSize(), QSize(362, 346));

    QCOMPARE(window->findChildren<QCheckBox*>(QRegularExpression("^cb(Video|Audio|Sub)\\d+$")).size(), 40);
    for (int i = 0; i < 40; ++i) {
      const QString name = i < 8    ? QString("cbVideo%1").arg(i)
                           : i < 24 ? QString("cbAudio%1").arg(i - 8, 2, 10, QChar('0'))
                                    : QString("cbSub%1").arg(i - 24, 2, 10, QChar('0'));
      const char* expected = i < 8 ? "No video stream" : i < 24 ? "No audio stream" : "No subpicture";
      const QCheckBox* box = child<QCheckBox>(name.toLatin1().constData());
      QVERIFY(!box->isEnabled());
      QCOMPARE(box->text(), QString(expected));
    }
    QCOMPARE(child<QCheckBox>("cbAudio15")->geometry(), QRect(165, 165, 140, 17));
    QCOMPARE(child<QCheckBox>("cbSub04")->geometry(), QRect(9, 98, 140, 17));

    for (const char* name : {"bCheck", "bReadXPL", "bDemux", "bCancel"})
      QVERIFY2(!child<QPushButton>(name)->isEnabled(), name);
    QVERIFY(child<QToolButton>("bbEVO")->isEnabled());
    QVERIFY(child<QPushButton>("bDemux")->font().bold());
    QCOMPARE(child<QLineEdit>("eEVOfile")->toolTip(), QString("Drop here the source EVO file"));
    QCOMPARE(child<QLineEdit>("eAudioExt")->maxLength(), 5);
    QCOMPARE(child<QLineEdit>("eVideoExt")->text(), QString("mpv"));
    QVERIFY(child<QCheckBox>("cbContinue")->isChecked() && child<QCheckBox>("cbFastCheck")->isChecked());
    QVERIFY(child<QPlainTextEdit>("mMessage")->toPlainText().isEmpty());
    QVERIFY(!child<QLabel>("imLogo")->pixmap().isNull());

    auto* pages = child<QTabWidget>("PageControl");
    const QStringList captions{"Status", "Video", "Audio", "Subpicture", "XPL", "Options"};
    QCOMPARE(pages->count(), 6);
    for (int i = 0; i < 6; ++i)
      QCOMPARE(pages->tabText(i), captions[i]);
    QCOMPARE(pages->currentIndex(), 0);
    auto* tree = child<QTreeWidget>("tvXPL");
    QCOMPARE(tree->topLevelItemCount(), 4);
    QCOMPARE(tree->topLevelItem(3)->text(0), QString("Chapter"));
    QCOMPARE(window->treeWidth(), 96);

    QCOMPARE(window->panelText(0), QString(" Ready"));
    QCOMPARE(window->panelWidth(0), 40);
    QCOMPARE(window->panelText(1), QString(" Select or drop an EVO file to demux"));
    QCOMPARE(window->panelWidth(1), 50);
    auto* bar = child<QWidget>("StatusBar");
    QCOMPARE(bar->toolTip(), QString(" Select or drop an EVO file to demux"));
    QCOMPARE(bar->geometry(), QRect(0, 325, 362, 21));
    QCOMPARE(child<QLabel>("StatusBarPanel1")->geometry().right(), 361);  // the last panel reaches the end
  }

  void boxTooltipCarriesTheStreamDetail() {
    // The hint stays first; what is known of the stream follows, and goes again with an empty detail.
    QCheckBox* box = child<QCheckBox>("cbAudio02");
    const QString hint = QStringLiteral("Check the desired audio streams");
    QCOMPARE(box->toolTip(), hint);
    window->setBoxDetail(ardunex::audioBox(2), "AC-3 5.1, 48 kHz, delay \u22125 ms");
    QCOMPARE(box->toolTip(), hint + QString::fromUtf8("\nAC-3 5.1, 48 kHz, delay \u22125 ms"));
    window->setBoxDetail(ardunex::audioBox(2), "");
    QCOMPARE(box->toolTip(), hint);
  }

  void anchorsAndMinimumSize() {
    window->resize(562, 446);
    QCOMPARE(child<QLineEdit>("eEVOfile")->geometry(), QRect(8, 8, 449, 21));
    QCOMPARE(child<QToolButton>("bbXPL")->geometry(), QRect(463, 38, 25, 25));
    QCOMPARE(child<QPushButton>("bCheck")->geometry(), QRect(494, 7, 60, 25));
    QCOMPARE(child<QTabWidget>("PageControl")->geometry(), QRect(8, 69, 546, 319));
    QCOMPARE(child<QPushButton>("bDemux")->geometry(), QRect(8, 394, 60, 25));
    QCOMPARE(child<QPushButton>("bCancel")->geometry(), QRect(494, 394, 60, 25));
    const QRect logo = child<QLabel>("imLogo")->geometry();
    QCOMPARE(logo.top(), 392);
    QVERIFY(qAbs(logo.center().x() - 281) <= 1);
    QCOMPARE(child<QWidget>("StatusBar")->geometry(), QRect(0, 425, 562, 21));
    QCOMPARE(child<QLineEdit>("eWorkdir")->geometry(), QRect(112, 43, 365, 21));  // stretches with the page
    QCOMPARE(child<QToolButton>("bbWorkdir")->geometry(), QRect(480, 42, 23, 23));

    window->resize(100, 100);
    QCOMPARE(window->size(), QSize(362, 346));
    QCOMPARE(child<QPushButton>("bCancel")->geometry(), QRect(294, 294, 60, 25));
  }

  void slogSetsTextWidthAndTooltip() {
    auto* bar = child<QWidget>("StatusBar");
    window->slog("Reading", 0);
    QCOMPARE(window->panelText(0), QString(" Reading"));
    QCOMPARE(window->panelWidth(0), QFontMetrics(bar->font()).horizontalAdvance(" Readinga"));
    QCOMPARE(child<QLabel>("StatusBarPanel1")->x(), window->panelWidth(0));
    QCOMPARE(bar->toolTip(), QString(" Select or drop an EVO file to demux"));  // panel 0 leaves it
    window->slog("Demuxing x.EVO 4/12 Mbytes", 1);
    QCOMPARE(bar->toolTip(), QString("Demuxing x.EVO 4/12 Mbytes"));
    window->slog("", 1);
    QCOMPARE(window->panelText(1), QString(" "));
    QVERIFY(bar->toolTip().isEmpty());
  }

  void scanAndDemuxByClicks() {
    const Feature feature = makeFeature(300 * 1024);
    const std::string path = writeEvo("MOVIE.EVO", feature.file);
    const QString out = QString::fromStdString(dir.file("out"));
    QDir().mkpath(out);
    child<QLineEdit>("eWorkdir")->setText(out);
    scan(path);
    QVERIFY(errors.isEmpty());

    QCheckBox* video = child<QCheckBox>("cbVideo0");
    QCheckBox* audio = child<QCheckBox>("cbAudio01");
    QCOMPARE(video->text(), QString("AVC.stream.00"));
    QCOMPARE(audio->text(), QString("DD+.stream.01"));
    QVERIFY(video->isChecked() && video->isEnabled() && audio->isChecked());
    QVERIFY(!child<QCheckBox>("cbAudio00")->isEnabled());
    auto* demux = child<QPushButton>("bDemux");
    QVERIFY(demux->isEnabled());
    if (const char* shot = std::getenv("ARDUNEX_SCREENSHOT"))
      window->grab().save(QString::fromLocal8Bit(shot));

    // The selection rule through real clicks.
    child<QTabWidget>("PageControl")->setCurrentIndex(2);
    QTest::mouseClick(audio, Qt::LeftButton);
    QVERIFY(!audio->isChecked() && demux->isEnabled());
    child<QTabWidget>("PageControl")->setCurrentIndex(1);
    QTest::mouseClick(video, Qt::LeftButton);
    QVERIFY(!demux->isEnabled());
    QTest::mouseClick(video, Qt::LeftButton);
    QVERIFY(demux->isEnabled());

    QTest::mouseClick(demux, Qt::LeftButton);
    QVERIFY(errors.isEmpty());
    QCOMPARE(ardunex::test::readFile((out + "/MOVIE.AVC.stream.00.mpv").toStdString()), feature.video);
    QVERIFY(!QFile::exists(out + "/MOVIE.DD+.stream.01.mpa"));
    const QStringList log = child<QPlainTextEdit>("mMessage")->toPlainText().split('\n');
    QCOMPARE(log.count("Done."), 2);  // both jobs' lines accumulate
    QCOMPARE(window->panelText(0), QString(" Ready"));
  }

  void makeMkvShowsTheMuxAsASecondPhase() {
    // Without mkvmerge the box is greyed and says why.
    qputenv("ARDUNEX_MKVMERGE", QByteArray::fromStdString(dir.file("none")));
    window = std::make_unique<TfMain>();
    QVERIFY(!child<QCheckBox>("cbMakeMkv")->isEnabled() && !child<QCheckBox>("cbMakeMkv")->isChecked());
    QCOMPARE(child<QCheckBox>("cbMakeMkv")->toolTip(), QString(ardunex::MKVMERGE_MISSING));

    // A stand-in that takes its time over the mux and knows the two tracks of the MKV it made.
    const QString out = QString::fromStdString(dir.file("mux"));
    const std::string script =
        "#!/bin/sh\n[ \"$1\" = -J ] && exec echo '{\"tracks\": [{}, {}]}'\n"
        "for p in 25 50 75; do echo \"#GUI#progress $p%\"; sleep 0.3; done\nprintf mkv > '" +
        out.toStdString() + "/MOVIE.mkv'\n";
    const std::string mkvmerge = writeEvo("mkvmerge", Bytes(script.begin(), script.end()));
    QFile::setPermissions(QString::fromStdString(mkvmerge), QFile::ReadOwner | QFile::ExeOwner);
    qputenv("ARDUNEX_MKVMERGE", QByteArray::fromStdString(mkvmerge));
    init();
    child<QCheckBox>("cbMakeMkv")->setChecked(true);
    child<QLineEdit>("eWorkdir")->setText(out);
    scan(writeEvo("MOVIE.EVO", makeFeature(300 * 1024).file));
    QStringList seen;  // panel 0, panel 1 and the progress bar, as the mux goes on
    QTimer watch;
    connect(&watch, &QTimer::timeout, [&] {
      seen << window->panelText(0) + "|" + window->panelText(1) + "|" +
                  QString::number(child<QProgressBar>("Progress")->value());
    });
    watch.start(50);
    QTest::mouseClick(child<QPushButton>("bDemux"), Qt::LeftButton);
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
    QVERIFY2(seen.indexOf(QRegularExpression(R"(^ Muxing\| Muxing MOVIE\.mkv 50%, Remaining time: .+\|50$)")) >= 0,
             qPrintable(seen.join('\n')));
    const QStringList log = child<QPlainTextEdit>("mMessage")->toPlainText().split('\n');
    QCOMPARE(log.mid(log.size() - 3), (QStringList{"Made " + out + "/MOVIE.mkv: 2 tracks, 0 chapters.",
                                                   "Removing " + out + "/MOVIE.mkvmerge.json", "Done."}));
  }

  void cancelDuringScanAsksNothing() {
    const std::string path = writeEvo("LONG.EVO", makeFeature(9 * MIB, true).file);
    QTest::mouseClick(child<QCheckBox>("cbFastCheck"), Qt::LeftButton);
    QVERIFY(!window->fastCheck());
    bool asked = false;
    WhenModal<QMessageBox> answer([&](QMessageBox* box) {
      asked = true;
      box->reject();
    });
    QTimer::singleShot(0, window.get(), [this] { QTest::mouseClick(child<QPushButton>("bCancel"), Qt::LeftButton); });
    scan(path);
    QVERIFY(!asked);
    QVERIFY(child<QCheckBox>("cbVideo0")->isChecked());
    QVERIFY(!child<QCheckBox>("cbAudio05")->isEnabled());  // lies beyond the point where the scan stopped
    QVERIFY(!child<QPushButton>("bCancel")->isEnabled());
    QTest::qWait(50);
  }

  void cancelDuringDemux_data() {
    QTest::addColumn<bool>("yes");
    QTest::newRow("No: the demux goes on") << false;
    QTest::newRow("Yes: the demux stops") << true;
  }

  void cancelDuringDemux() {
    QFETCH(bool, yes);
    const Feature feature = makeFeature(10 * MIB);
    const std::string path = writeEvo("BIG.EVO", feature.file);
    scan(path);
    QTest::mouseClick(child<QCheckBox>("cbAudio01"), Qt::LeftButton);

    QString question;
    WhenModal<QMessageBox> answer([&](QMessageBox* box) {
      question = box->windowTitle() + "|" + box->text();
      QCOMPARE(box->icon(), QMessageBox::Question);
      QCOMPARE(box->defaultButton(), box->button(QMessageBox::No));
      QTest::mouseClick(box->button(yes ? QMessageBox::Yes : QMessageBox::No), Qt::LeftButton);
    });
    QTimer::singleShot(0, window.get(), [this] { QTest::mouseClick(child<QPushButton>("bCancel"), Qt::LeftButton); });
    QTest::mouseClick(child<QPushButton>("bDemux"), Qt::LeftButton);

    QCOMPARE(question, QString("Confirm|Are you sure to stop demuxing?"));
    const Bytes written = ardunex::test::readFile(dir.file("BIG.AVC.stream.00.mpv"));
    const QStringList log = child<QPlainTextEdit>("mMessage")->toPlainText().split('\n');
    QCOMPARE(log.filter("Stopped by").join('|'), QString(yes ? "Stopped by the user after 4 of 10 Mbytes." : ""));
    QCOMPARE(log.last(), QString("Done."));
    if (yes)
      QCOMPARE(log[log.size() - 2], QString("Stopped by the user after 4 of 10 Mbytes."));
    QCOMPARE(window->panelText(0) + "|" + window->panelText(1), QString(" Ready| "));
    if (yes) {
      QVERIFY(written.size() < feature.video.size());
      QVERIFY(std::equal(written.begin(), written.end(), feature.video.begin()));
    } else {
      QCOMPARE(written, feature.video);
      QVERIFY(!child<QCheckBox>("cbAudio01")->isChecked());  // the boxes keep their state
    }
  }

  void oneJobAtATimeAndCloseWaitsForTheJob_data() {
    QTest::addColumn<QString>("answer");  // the button of the question a close asks during a job
    QTest::newRow("close when it ends") << "bCloseAfterJob";
    QTest::newRow("stop now") << "bStopNow";
    QTest::newRow("keep the window") << "bKeepOpen";
  }

  void oneJobAtATimeAndCloseWaitsForTheJob() {
    QFETCH(QString, answer);
    const bool closes = answer != "bKeepOpen";
    const std::string path = writeEvo("BIG.EVO", makeFeature(10 * MIB).file);
    scan(path);
    const QString chosen = child<QLineEdit>("eEVOfile")->text();
    int writes = 0;
    window->onRegWrite = [&] { ++writes; };
    bool visibleAfterClose = false;
    WhenModal<QMessageBox> question([&](QMessageBox* box) {
      QCOMPARE(box->defaultButton()->objectName(), QString("bCloseAfterJob"));
      QTest::mouseClick(box->findChild<QPushButton*>(answer), Qt::LeftButton);
    });
    QTimer::singleShot(0, window.get(), [&] {
      QVERIFY(!child<QPushButton>("bCheck")->isEnabled());
      QVERIFY(!child<QToolButton>("bbEVO")->isEnabled());
      QVERIFY(!child<QCheckBox>("cbFastCheck")->isEnabled() && !child<QLineEdit>("eWorkdir")->isEnabled());
      window->bCheckClick();  // a second job is refused, however it is asked for
      drop({QUrl::fromLocalFile(QString::fromStdString(dir.file("OTHER.EVO")))});
      window->close();
      visibleAfterClose = window->isVisible();
      if (closes)
        QCOMPARE(window->panelText(0), QString(" Closing when the job ends"));
    });
    QTest::mouseClick(child<QPushButton>("bDemux"), Qt::LeftButton);
    QCOMPARE(child<QLineEdit>("eEVOfile")->text(), chosen);
    const QString log = child<QPlainTextEdit>("mMessage")->toPlainText();
    QCOMPARE(log.count("Opening file"), 2);
    QCOMPARE(log.contains("Stopped by the user after 4 of 10 Mbytes."), answer == "bStopNow");
    QVERIFY(visibleAfterClose);
    QCOMPARE(writes, closes ? 1 : 0);
    if (closes)
      QTRY_VERIFY(!window->isVisible());
    QTest::qWait(50);
    QCOMPARE(window->isVisible(), !closes);
    QCOMPARE(writes, closes ? 1 : 0);
    QVERIFY(child<QCheckBox>("cbFastCheck")->isEnabled());  // the Options page is back after the job
  }

  void failuresAreReportedAndTheWindowStaysUsable() {
    window->session().chooseEvoFile("/nonexistent/X.EVO");
    QTest::mouseClick(child<QPushButton>("bCheck"), Qt::LeftButton);
    QCOMPARE(errors, QStringList{"Cannot open file \"/nonexistent/X.EVO\". No such file or directory."});

    // The real error box: critical icon, the application's title.
    window->setErrorReporter({});
    TfMain plain;
    QString shown;
    int boxWidth = 0;
    int titleWidth = 0;
    WhenModal<QMessageBox> answer([&](QMessageBox* box) {
      shown = box->windowTitle() + "|" + box->text() + "|" + QString::number(box->icon());
      boxWidth = box->width();
      titleWidth = QFontMetrics(box->font()).horizontalAdvance(box->windowTitle());
      box->accept();
    });
    plain.reportError("Stream write error");
    QCOMPARE(shown, QString("HD DVD Ardunex|Stream write error.|%1").arg(QMessageBox::Critical));
    QVERIFY2(boxWidth > titleWidth + 100, "the box is wide enough for its title and the title bar's buttons");

    // A failed save is reported once and the window closes all the same; "'" sorts before "." so no full
    // stop is added.
    window->setErrorReporter([this](const QString& text) { errors << text; });
    window->onRegWrite = [] { throw ardunex::Error("Failed to set data for 'Top'"); };
    QVERIFY(window->close());
    QVERIFY(!window->isVisible());
    QCOMPARE(errors.last(), QString("Failed to set data for 'Top'"));
    QCOMPARE(errors.count("Failed to set data for 'Top'"), 1);
  }

  void settingsHooksAtFirstActivation() {
    TfMain fresh;
    int reads = 0;
    fresh.onRegRead = [&] {
      ++reads;
      throw ardunex::Error("Invalid data type for 'Width'");
    };
    QStringList reported;
    fresh.setErrorReporter([&](const QString& text) { reported << text; });
    fresh.show();
    QVERIFY(QTest::qWaitForWindowActive(&fresh));
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    fresh.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&fresh));
    QCOMPARE(reads, 1);
    QCOMPARE(reported, QStringList{"Invalid data type for 'Width'"});
    QCOMPARE(fresh.findChild<QCheckBox*>("cbVideo0")->text(), QString("Video stream"));  // not reset
  }

  void fileOnTheCommandLineOpensAfterTheSettingsAsADrop() {
    TfMain fresh;
    fresh.onRegRead = [&] { fresh.session().paths().EVOdir = "/saved/"; };
    const QString before = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(dir.path()));
    fresh.setStartFile(QStringLiteral("HVDVD_TS/FEATURE_1.EVO"));  // relative to the current folder
    fresh.show();
    QVERIFY(QTest::qWaitForWindowActive(&fresh));
    QDir::setCurrent(before);
    const QString disc = QString::fromStdString(dir.path());
    QCOMPARE(fresh.findChild<QLineEdit*>("eEVOfile")->text(), disc + "/HVDVD_TS/FEATURE_1.EVO");
    QCOMPARE(fresh.findChild<QLineEdit*>("eXPLfile")->text(), disc + "/ADV_OBJ/VPLST000.XPL");
    QCOMPARE(QString::fromStdString(fresh.session().paths().EVOdir), disc + "/HVDVD_TS/");
    QVERIFY(fresh.findChild<QPushButton*>("bCheck")->isEnabled());
    QVERIFY(fresh.findChild<QPushButton*>("bReadXPL")->isEnabled());

    // Any other kind of file is ignored, as a drop of it is.
    TfMain other;
    other.setStartFile(QStringLiteral("/disc/notes.txt"));
    other.show();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QCOMPARE(other.findChild<QLineEdit*>("eEVOfile")->text(), QString());
    QVERIFY(!other.findChild<QPushButton*>("bCheck")->isEnabled());
  }

  void dropsAndBrowse() {
    const QString startFolder = QDir::currentPath();
    drop({QUrl::fromLocalFile("/disc/HVDVD_TS/FEATURE_1.evo"), QUrl::fromLocalFile("/disc/other.xpl")});
    QCOMPARE(child<QLineEdit>("eEVOfile")->text(), QString("/disc/HVDVD_TS/FEATURE_1.evo"));
    QCOMPARE(child<QLineEdit>("eXPLfile")->text(), QString("/disc/ADV_OBJ/VPLST000.XPL"));
    QVERIFY(child<QPushButton>("bCheck")->isEnabled() && child<QPushButton>("bReadXPL")->isEnabled());
    drop({QUrl::fromLocalFile("/disc/notes.txt")});
    drop({QUrl("https://example.org/remote.EVO")});
    QCOMPARE(child<QLineEdit>("eEVOfile")->text(), QString("/disc/HVDVD_TS/FEATURE_1.evo"));

    const std::string path = writeEvo("lower.evo", makeFeature(1024).file);
    QString title;
    bool anyCase = false;
    WhenModal<QFileDialog> answer([&](QFileDialog* dialog) {
      title = dialog->windowTitle();
      // MOVIE.Evo must be listed too on a file system that tells letter cases apart.
      anyCase = !(dialog->filter() & QDir::CaseSensitive) && dialog->nameFilters().join(' ').contains("*.EVO");
      // What the user types into the dialog's name field.
      dialog->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(path));
      QMetaObject::invokeMethod(dialog, "accept");
    });
    QTest::mouseClick(child<QToolButton>("bbEVO"), Qt::LeftButton);
    QCOMPARE(title, QString("Choose the EVO file to demux"));
    QVERIFY(anyCase);
    QCOMPARE(child<QLineEdit>("eEVOfile")->text(), QString::fromStdString(path));
    QCOMPARE(QDir::currentPath(), QString::fromStdString(dir.path()));
    QCOMPARE(window->session().evoDialog().fileName, std::string("lower.evo"));
    QDir::setCurrent(startFolder);

    // The output folder's browse button: a folder dialog whose choice fills the field.
    const QString out = QString::fromStdString(dir.file("out"));
    QDir().mkpath(out);
    bool folders = false;
    WhenModal<QFileDialog> folder([&](QFileDialog* dialog) {
      folders = dialog->fileMode() == QFileDialog::Directory;
      dialog->findChild<QLineEdit*>("fileNameEdit")->setText(out);
      QMetaObject::invokeMethod(dialog, "accept");
    });
    QTest::mouseClick(child<QToolButton>("bbWorkdir"), Qt::LeftButton);
    QVERIFY(folders);
    QCOMPARE(child<QLineEdit>("eWorkdir")->text(), out);
  }

  void settingsSeeOuterPlacementTreeAndOptions() {
    ardunex::WindowSettings settings(*window);
    settings.setWindowWidth(500);
    settings.setWindowHeight(100);  // below the minimum
    settings.setWindowTop(-8);
    settings.setWindowLeft(20);
    QCOMPARE(window->frameGeometry().topLeft(), QPoint(20, -8));
    QCOMPARE(window->size(), QSize(500 - (window->frameGeometry().width() - window->width()), 346));
    QCOMPARE(settings.windowWidth(), window->frameGeometry().width());
    QCOMPARE(settings.windowTop(), -8);

    settings.setWindowState(ardunex::WindowState::Maximised);
    QTRY_VERIFY(window->isMaximized());
    QCOMPARE(settings.windowState(), ardunex::WindowState::Maximised);
    QCOMPARE(settings.windowLeft(), 20);  // the normal bounds, not the maximised ones
    settings.setWindowState(ardunex::WindowState::Normal);
    QTRY_VERIFY(!window->isMaximized());

    settings.setTreeWidth(150);
    child<QTabWidget>("PageControl")->setCurrentIndex(4);
    QTRY_COMPARE(child<QTreeWidget>("tvXPL")->width(), 150);
    QCOMPARE(settings.treeWidth(), 150);

    settings.setAudioExt("ac3");
    settings.setWorkdir("/out");
    settings.setFastCheck(false);
    QCOMPARE(child<QLineEdit>("eAudioExt")->text(), QString("ac3"));
    QCOMPARE(window->workdir(), std::string("/out"));
    QVERIFY(!child<QCheckBox>("cbFastCheck")->isChecked());
  }

  void titlesPageOfADisc() {
    // A dropped disc folder brings the Titles page with the default title chosen; a title chosen by a click
    // fills the path fields, Demux then reads its clips in turn, and an EVO file dropped by hand leaves it.
    const ardunex::test::GeneratedDisc disc = ardunex::test::makeDisc(dir.file("disc"));
    auto* pages = child<QTabWidget>("PageControl");
    drop({QUrl::fromLocalFile(QString::fromStdString(disc.root))});
    QCOMPARE(pages->count(), 7);
    QCOMPARE(pages->tabText(6), QString("Titles"));
    QCOMPARE(pages->currentIndex(), 6);
    auto* titles = child<QTreeWidget>("tvTitles");
    QCOMPARE(titles->topLevelItemCount(), 2);
    QCOMPARE(titles->topLevelItem(1)->text(1), QString("Kids & Castles"));
    QCOMPARE(titles->currentItem(), titles->topLevelItem(1));
    auto* evo = child<QLineEdit>("eEVOfile");
    QCOMPARE(evo->text(), QString::fromStdString(disc.clips[0]));
    QCOMPARE(child<QLineEdit>("eXPLfile")->text(), QString::fromStdString(disc.playlist));
    for (const auto& [row, path] : {std::pair{0, disc.trailer}, {1, disc.clips[0]}}) {
      QTest::mouseClick(titles->viewport(), Qt::LeftButton, {},
                        titles->visualItemRect(titles->topLevelItem(row)).center());
      QCOMPARE(evo->text(), QString::fromStdString(path));
    }
    window->setWorkdir(dir.file("titles"));
    for (const char* command : {"bCheck", "bReadXPL", "bDemux"})
      QTest::mouseClick(child<QPushButton>(command), Qt::LeftButton);
    QCOMPARE(errors, QStringList());
    window->flushLog();
    QVERIFY(child<QPlainTextEdit>("mMessage")
                ->toPlainText()
                .endsWith("Continue on feature_2.evo\nContinue on FEATURE_3.EVO\nDone."));
    QVERIFY(QFile::exists(QString::fromStdString(dir.file("titles/FEATURE_1.DD+.stream.0.English.mpa"))));
    drop({QUrl::fromLocalFile(QString::fromStdString(disc.trailer))});
    QCOMPARE(titles->currentItem(), nullptr);
  }

  void logoDecoding() {
    QFile file(":/ardunex/logo.jpg");
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    const QImage logo = ardunex::decodeJpeg(data, bytes.size());
    QCOMPARE(logo.size(), QSize(125, 32));
    QCOMPARE(QColor(logo.pixel(0, 0)).lightness() > 240, true);  // white ground
    QVERIFY(ardunex::decodeJpeg(data, 100).width() <= 125);      // cut short: no crash
    const Bytes garbage(500, 0x5A);
    QVERIFY(ardunex::decodeJpeg(garbage.data(), garbage.size()).isNull());
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
