// SPDX-License-Identifier: GPL-2.0-or-later
// The main window: its construction, the commands forwarded to the session, start-up and shutdown, and the
// controls as the core's Window interface sees them.
#include "ui/main_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSpacerItem>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <exception>

#include "base/errors.h"
#include "ui/main_window_common.h"
#include "ui/status_log.h"
#include "ui/status_panels.h"

namespace ardunex {

using namespace ui;

namespace {

// The credit is short, so that the whole caption shows in the title bar at the window's first size.
const char* const WINDOW_CAPTION = "Ardunex " ARDUNEX_VERSION " (Ardunex team)";
const char* const CONFIRM_CAPTION = "Confirm";
const char* const UNEXPECTED_FAILURE = "Unexpected failure";
const char* const CLOSING_AFTER_JOB = "Closing when the job ends";
const char* const CLOSE_QUESTION = "A job is running. Stop it now, or close the window when it ends?";
// What a failed job leaves in the status bar: how to make its command available again.
const char* const READ_EVO_FAILED = "Read EVO failed: choose the EVO file again.";
const char* const DEMUX_FAILED = "Demux failed: change a stream box or read the EVO again.";
const char* const READ_XPL_FAILED = "Read XPL failed: choose the playlist again.";
const char* const WINDOW_FONTS[] = {":/ardunex/fonts/tahoma.ttf", ":/ardunex/fonts/tahomabd.ttf"};
/// Room a title bar takes besides its text: the icon and the buttons a window manager draws.
constexpr int TITLE_BAR_EXTRA = 140;

}  // namespace

bool loadWindowFonts() {
  bool loaded = true;
  for (const char* file : WINDOW_FONTS)
    loaded = QFontDatabase::addApplicationFont(QString::fromLatin1(file)) >= 0 && loaded;
  return loaded;
}

QString TfMain::caption() { return QString::fromLatin1(WINDOW_CAPTION); }

TfMain::TfMain(QWidget* parent) : QWidget(parent), m_session(*this) {
  static const bool fontsLoaded = loadWindowFonts();
  (void)fontsLoaded;  // without them the window takes a substitute, and makes room for it
  setObjectName(QStringLiteral("fMain"));
  const QScreen* screen = this->screen();
  if (screen != nullptr && screen->logicalDotsPerInchX() > 0)
    m_scale = screen->logicalDotsPerInchX() / DESIGN_DPI;
  m_designClient = QSize(scaled(CLIENT_WIDTH), scaled(CLIENT_HEIGHT));
  m_treeWidth = scaled(TREE_WIDTH);
  m_reportError = [this](const QString& text) {
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(APPLICATION_TITLE), text, QMessageBox::Ok, this);
    fitToTitle(&box);
    box.exec();
  };

  setWindowTitle(caption());
  setWindowIcon(QIcon(QPixmap(QStringLiteral(":/ardunex/cog.png"))));
  // Where the window's own fonts are missing, compact look-alikes, and last the DejaVu fonts every Debian system
  // has; the layout makes room for whichever is wider.
  QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                             {QStringLiteral("Verdana"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                              QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans")});
  QFont::insertSubstitutions(
      QStringLiteral("Courier New"),
      {QStringLiteral("Liberation Mono"), QStringLiteral("Nimbus Mono PS"), QStringLiteral("DejaVu Sans Mono")});
  QFont font(QStringLiteral("Tahoma"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(scaled(FONT_PIXELS));
  // Advances taken from the font itself, not rounded by the system's hinting settings: texts are as wide on
  // every machine.
  font.setHintingPreference(QFont::PreferVerticalHinting);
  setFont(font);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Button);

  createControls();
  fitToContent();
  resize(minimumSize());
  move(0, 0);
}

TfMain::~TfMain() = default;

int TfMain::scaled(int designPixels) const { return qRound(designPixels * m_scale); }

// ---- Commands -----------------------------------------------------------------------------------------------

void TfMain::reportError(const std::string& message) {
  flushLog();  // the log shows how far the command got before the box appears
  m_reportError(QString::fromStdString(reportText(message)));
}

void TfMain::fitToTitle(QWidget* box) const {
  box->setFont(font());  // the window's own font, the same on every system
  // A message box is as wide as its text; a short text would leave its title cut in the title bar.
  QFont titleFont = box->font();
  titleFont.setBold(true);
  const int titleWidth = QFontMetrics(titleFont).horizontalAdvance(box->windowTitle()) + scaled(TITLE_BAR_EXTRA);
  if (auto* grid = qobject_cast<QGridLayout*>(box->layout()))
    grid->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

void TfMain::command(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    reportError(e.what());
  } catch (...) {
    reportError(UNEXPECTED_FAILURE);
  }
  flushLog();
  closeIfPending();
}

void TfMain::job(const std::function<void()>& handler, const char* failureHint, bool demux) {
  if (m_session.jobRunning())
    return;
  // Controls a job disables lose the focus to the next one; it comes back when they are enabled again.
  const QPointer<QWidget> focused = QApplication::focusWidget();
  const QString folder = demux ? outputFolder() : QString();
  m_bOpenFolder->hide();
  bool failed = false;
  command([&] {
    try {
      handler();
    } catch (...) {
      failed = true;
      throw;
    }
  });
  if (failed) {
    slog("Ready", 0);
    slog(failureHint, 1);
  }
  endJob(failed ? failureHint : nullptr, folder);
  if (focused && focused->isEnabled() && focused->isVisible() && focused->window() == this &&
      QApplication::focusWidget() != focused)
    focused->setFocus(Qt::OtherFocusReason);
}

void TfMain::bCheckClick() {
  job([this] { m_session.bCheckClick(); }, READ_EVO_FAILED);
}

void TfMain::bDemuxClick() {
  job([this] { m_session.bDemuxClick(); }, DEMUX_FAILED, true);
}

void TfMain::bReadXPLClick() {
  job([this] { m_session.bReadXPLClick(); }, READ_XPL_FAILED);
}

QString TfMain::outputFolder() const {
  const QString workdir = m_eWorkdir->text();
  const QString folder = workdir.isEmpty() ? pathText(m_session.paths().EVOdir) : workdir;
  return QFileInfo(folder.isEmpty() ? QStringLiteral(".") : folder).absoluteFilePath();
}

void TfMain::endJob(const char* failureHint, const QString& outputFolder) {
  m_progress->hide();
  setWindowTitle(caption());
  if (failureHint == nullptr && !outputFolder.isEmpty()) {
    m_openFolder = outputFolder;
    m_bOpenFolder->setToolTip(QDir::toNativeSeparators(outputFolder));
    m_bOpenFolder->show();
  }
  m_statusBar->arrange();
}

void TfMain::progress(std::int64_t done, std::int64_t total) {
  if (total <= 0)
    return;
  const int percent = static_cast<int>(std::clamp<std::int64_t>(done * 100 / total, 0, 100));
  m_progress->setValue(percent);
  if (m_progress->isHidden()) {
    m_progress->show();
    m_statusBar->arrange();
  }
  setWindowTitle(QStringLiteral("%1% - %2").arg(percent).arg(caption()));
}

void TfMain::bAboutClick() {
  const QString text =
      QStringLiteral(
          "<p><b>Ardunex %1</b></p>"
          "<p>Splits an HD DVD video object (.EVO) into raw elementary-stream files, and reads the disc's "
          "playlist to name them.</p>"
          "<p>Ardunex is free software: you can redistribute it and modify it under the terms of the GNU General "
          "Public License, version 2 or (at your option) any later version (GPL-2.0-or-later). It comes "
          "with no warranty.</p>"
          "<p>Built with:</p><ul>"
          "<li>Qt %2, under the GNU Lesser General Public License version 3 (LGPL-3.0)</li>"
          "<li>libjpeg-turbo, under the IJG licence and the BSD licence (BSD-3-Clause)</li>"
          "<li>nlohmann/json, under the MIT licence</li>"
          "<li>the window's font, a Tahoma-metric font of the Wine project, under the GNU Lesser General "
          "Public License version 2.1 or later (LGPL-2.1-or-later)</li></ul>")
          .arg(QString::fromLatin1(ARDUNEX_VERSION), QString::fromLatin1(qVersion()));
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("About %1").arg(QString::fromLatin1(APPLICATION_TITLE)), text,
                  QMessageBox::Ok, this);
  box.setObjectName(QStringLiteral("AboutBox"));
  box.setIconPixmap(windowIcon().pixmap(scaled(32)));
  box.setTextFormat(Qt::RichText);
  fitToTitle(&box);
  box.exec();
}

void TfMain::bCancelClick() {
  command([this] { m_session.bCancelClick(); });
}

void TfMain::cbVideoClick() {
  command([this] { m_session.cbVideoClick(); });
}

// ---- Start-up and shutdown -----------------------------------------------------------------------------------

void TfMain::FormShow() { setAcceptDrops(true); }

void TfMain::FormActivate() {
  command([this] {
    if (onRegRead)
      onRegRead();
    m_session.Resetcbs();
  });
  if (!m_startFile.isEmpty()) {
    const QString path = QFileInfo(m_startFile).absoluteFilePath();
    m_startFile.clear();
    WMDropFiles({QUrl::fromLocalFile(path)});
  }
}

bool TfMain::FormClose() {
  try {
    if (onRegWrite)
      onRegWrite();
    return true;
  } catch (const std::exception& e) {
    reportError(e.what());
  } catch (...) {
    reportError(UNEXPECTED_FAILURE);
  }
  return false;
}

void TfMain::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!m_shown) {
    m_shown = true;
    FormShow();
    // A window system may decline to activate a new window (focus-stealing prevention); the settings must
    // still be applied then, or the next close would overwrite them with the design values.
    QTimer::singleShot(0, this, [this] { firstActivation(); });
  }
}

bool TfMain::event(QEvent* event) {
  const bool handled = QWidget::event(event);
  switch (event->type()) {
    case QEvent::WindowActivate:
      firstActivation();
      break;
    case QEvent::WindowStateChange:
      restoredFromMaximised();
      break;
    default:
      break;
  }
  return handled;
}

bool TfMain::eventFilter(QObject* watched, QEvent* event) {
  // Enter and Return press a focused button as Space does (the filter watches only the buttons).
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    auto* button = qobject_cast<QAbstractButton*>(watched);
    if (button != nullptr && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
        (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && !key->isAutoRepeat()) {
      if (button->isEnabled())
        button->click();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TfMain::firstActivation() {
  // Settings are applied and the boxes reset once per run, when the window first becomes active.
  if (m_activated)
    return;
  m_activated = true;
  FormActivate();
}

void TfMain::closeEvent(QCloseEvent* event) {
  // A job runs inside a handler further down the stack: the user chooses to stop it or to let it end, and
  // the window stays until it has ended; or the window stays open.
  if (m_session.jobRunning() && !m_closePending && !closeDuringJob()) {
    event->ignore();
    return;
  }
  // The settings are saved once per close; a save that fails is reported, and the window closes anyway:
  // a settings location that cannot be written must not keep the program from ending.
  if (!m_settingsSaved) {
    m_settingsSaved = true;
    FormClose();
  }
  if (m_session.jobRunning()) {
    m_closePending = true;
    slog(CLOSING_AFTER_JOB, 0);
    event->ignore();
    return;
  }
  m_settingsSaved = false;
  event->accept();
}

bool TfMain::closeDuringJob() {
  QMessageBox box(QMessageBox::Question, QString::fromLatin1(CONFIRM_CAPTION), QString::fromLatin1(CLOSE_QUESTION),
                  QMessageBox::NoButton, this);
  box.setObjectName(QStringLiteral("CloseQuestion"));
  QPushButton* stop = box.addButton(QStringLiteral("&Stop now"), QMessageBox::DestructiveRole);
  stop->setObjectName(QStringLiteral("bStopNow"));
  QPushButton* later = box.addButton(QStringLiteral("Close when it &ends"), QMessageBox::AcceptRole);
  later->setObjectName(QStringLiteral("bCloseAfterJob"));
  QPushButton* stay = box.addButton(QMessageBox::Cancel);
  stay->setObjectName(QStringLiteral("bKeepOpen"));
  box.setDefaultButton(later);  // the safe answer: every byte of the job is written
  box.setEscapeButton(stay);
  fitToTitle(&box);
  box.exec();
  if (box.clickedButton() == stop && m_session.jobRunning())
    m_session.requestCancel();
  return box.clickedButton() == stop || box.clickedButton() == later;
}

void TfMain::closeIfPending() {
  if (!m_closePending || m_session.jobRunning())
    return;
  m_closePending = false;
  QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

// ---- Window -----------------------------------------------------------------------------------------------

bool TfMain::confirm(std::string_view question) {
  QMessageBox box(QMessageBox::Question, QString::fromLatin1(CONFIRM_CAPTION),
                  QString::fromUtf8(question.data(), static_cast<qsizetype>(question.size())),
                  QMessageBox::Yes | QMessageBox::No, this);
  fitToTitle(&box);
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

bool TfMain::boxChecked(int box) const { return m_boxes[box]->isChecked(); }
void TfMain::setBoxChecked(int box, bool checked) { m_boxes[box]->setChecked(checked); }
bool TfMain::boxEnabled(int box) const { return m_boxes[box]->isEnabled(); }
void TfMain::setBoxEnabled(int box, bool enabled) { m_boxes[box]->setEnabled(enabled); }
std::string TfMain::boxCaption(int box) const { return m_captions[box]; }

namespace {

const char* const BOX_DETAIL = "ardunexDetail";  // what is known of a box's stream, shown after its hint

}  // namespace

void TfMain::showBoxCaption(int box) {
  QCheckBox* check = m_boxes[box];
  const QString caption = utf8Text(m_captions[box]);
  // A caption longer than the box ends in an ellipsis, and shows in full in the tooltip, after the hint.
  check->setText(plainCaption(m_captions[box]));
  const QFontMetrics metrics = check->fontMetrics();
  const int chrome = check->sizeHint().width() - metrics.horizontalAdvance(caption);  // indicator and spacing
  const QString shown = metrics.elidedText(caption, Qt::ElideRight, check->width() - chrome);
  if (shown != caption)
    check->setText(QString(shown).replace(QLatin1Char('&'), QLatin1String("&&")));
  QString tip = check->property(BOX_HINT).toString();
  if (shown != caption)
    tip += QLatin1Char('\n') + caption;
  const QString detail = check->property(BOX_DETAIL).toString();
  if (!detail.isEmpty())
    tip += QLatin1Char('\n') + detail;
  check->setToolTip(tip);
}

void TfMain::setBoxCaption(int box, std::string_view caption) {
  m_captions[box] = std::string(caption);
  m_boxes[box]->setAccessibleName(utf8Text(caption));
  showBoxCaption(box);
}

void TfMain::setBoxDetail(int box, std::string_view detail) {
  m_boxes[box]->setProperty(BOX_DETAIL, utf8Text(detail));
  showBoxCaption(box);
}

namespace {

template <class Buttons>
QAbstractButton* buttonOf(const Buttons& buttons, Button button) {
  return buttons.at(static_cast<std::size_t>(button));
}

}  // namespace

bool TfMain::buttonEnabled(Button button) const {
  const std::array<QAbstractButton*, 7> buttons{m_bCheck, m_bReadXPL, m_bDemux, m_bCancel, m_bbEVO, m_bbXPL, m_bbDisc};
  return buttonOf(buttons, button)->isEnabled();
}

void TfMain::setButtonEnabled(Button button, bool enabled) {
  const std::array<QAbstractButton*, 7> buttons{m_bCheck, m_bReadXPL, m_bDemux, m_bCancel, m_bbEVO, m_bbXPL, m_bbDisc};
  buttonOf(buttons, button)->setEnabled(enabled);
  if (button == Button::BrowseDisc)
    m_tvTitles->setEnabled(enabled);  // choosing a title is choosing files
}

void TfMain::showPage(Page page) { m_pageControl->setCurrentIndex(static_cast<int>(page)); }

std::string TfMain::evoFileText() const { return pathString(m_eEVOfile->text()); }
void TfMain::setEvoFileText(std::string_view text) { m_eEVOfile->setText(pathText(text)); }
std::string TfMain::xplFileText() const { return pathString(m_eXPLfile->text()); }
void TfMain::setXplFileText(std::string_view text) { m_eXPLfile->setText(pathText(text)); }

void TfMain::setXplMemoVisible(bool visible) { m_mXPL->setVisible(visible); }

void TfMain::setXplMemo(const std::vector<std::string>& lines) {
  QStringList texts;
  texts.reserve(static_cast<qsizetype>(lines.size()));
  for (const std::string& line : lines)
    texts << QString::fromStdString(line);
  m_mXPL->setPlainText(texts.join(QLatin1Char('\n')));
}

namespace {

void addChildren(QTreeWidgetItem* parent, const std::vector<TreeNode>& nodes) {
  for (const TreeNode& node : nodes) {
    auto* item = new QTreeWidgetItem(parent, QStringList{QString::fromStdString(node.text)});
    item->setToolTip(0, item->text(0));  // in full where the tree cuts it short
    addChildren(item, node.children);
  }
}

}  // namespace

void TfMain::setXplTree(const std::vector<TreeNode>& roots) {
  m_tvXPL->clear();
  for (const TreeNode& root : roots) {
    auto* item = new QTreeWidgetItem(QStringList{QString::fromStdString(root.text)});
    m_tvXPL->addTopLevelItem(item);
    addChildren(item, root.children);
  }
  widenTreeForEntries();
}

void TfMain::setTitles(const std::vector<TitleRow>& rows) {
  const QSignalBlocker blocker(m_tvTitles);
  m_tvTitles->clear();
  QList<QTreeWidgetItem*> items;
  for (const TitleRow& row : rows) {
    auto* item = new QTreeWidgetItem(QStringList{utf8Text(row.number), utf8Text(row.name), utf8Text(row.duration),
                                                 utf8Text(row.clips), utf8Text(row.audio), utf8Text(row.subtitles)});
    const QString detail = utf8Text(row.detail).trimmed();
    for (int column = 0; column < m_tvTitles->columnCount(); ++column)
      item->setToolTip(column, detail);
    item->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
    items << item;
  }
  m_tvTitles->addTopLevelItems(items);
  // Columns as wide as what they hold, the name and the tracks up to a third of the list each; the
  // subtitles take the rest, and each row's tooltip says it all.
  for (int column = 0; column + 1 < m_tvTitles->columnCount(); ++column) {
    m_tvTitles->resizeColumnToContents(column);
    if (column == 1 || column == 4)
      m_tvTitles->setColumnWidth(column, std::min(m_tvTitles->columnWidth(column), m_pageControl->width() / 3));
  }
  if (m_pageControl->indexOf(m_tsTitles) >= 0)
    return;
  // The page joins the others when the first disc is opened; the window widens where its tab needs room.
  m_pageControl->addTab(m_tsTitles, QStringLiteral("Titles"));
  const int extra =
      m_pageControl->tabBar()->sizeHint().width() - anchoredRect(anchoredOf(m_pageControl), minimumSize()).width();
  if (extra > 0)
    setMinimumWidth(minimumWidth() + extra);
}

void TfMain::selectTitle(int row) {
  const QSignalBlocker blocker(m_tvTitles);
  QTreeWidgetItem* item = row >= 0 ? m_tvTitles->topLevelItem(row) : nullptr;
  m_tvTitles->setCurrentItem(item);
  if (item == nullptr)
    m_tvTitles->clearSelection();
}

void TfMain::tvTitlesClick(int row) {
  if (row >= 0)
    command([this, row] { m_session.chooseTitle(static_cast<std::size_t>(row)); });
}

void TfMain::widenTreeForEntries() {
  const QFontMetrics metrics(m_tvXPL->font());
  int widest = 0;
  std::function<void(const QTreeWidgetItem*, int)> measure = [&](const QTreeWidgetItem* item, int depth) {
    widest = std::max(widest, depth * m_tvXPL->indentation() + metrics.horizontalAdvance(item->text(0)));
    for (int i = 0; item->isExpanded() && i < item->childCount(); ++i)
      measure(item->child(i), depth + 1);
  };
  for (int i = 0; i < m_tvXPL->topLevelItemCount(); ++i)
    measure(m_tvXPL->topLevelItem(i), 1);  // the top level has its branch decoration too
  const int frame = 2 * m_tvXPL->frameWidth() + m_tvXPL->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + scaled(8);
  const QList<int> sizes = m_splXPL->sizes();
  if (sizes.size() != 2)
    return;
  const int total = sizes[0] + sizes[1];
  const int width = std::min(widest + frame, total * 2 / 3);
  if (width > sizes[0])
    m_splXPL->setSizes({width, total - width});
}

}  // namespace ardunex
