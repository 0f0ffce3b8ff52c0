// The main window: its construction, the commands forwarded to the session, start-up and shutdown, and the
// controls as the core's Window interface sees them.
#include "ui/main_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpacerItem>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <exception>

#include "engine/errors.h"
#include "ui/main_window_common.h"
#include "ui/status_log.h"
#include "ui/status_panels.h"

namespace ardunex {

using namespace ui;

namespace {

const char* const WINDOW_CAPTION = "Ardunex 0.41 (written by the Ardunex developers)";
const char* const CONFIRM_CAPTION = "Confirm";
const char* const UNEXPECTED_FAILURE = "Unexpected failure";
const char* const CLOSING_AFTER_JOB = "Closing when the job ends";
/// Room a title bar takes besides its text: the icon and the buttons a window manager draws.
constexpr int TITLE_BAR_EXTRA = 140;

}  // namespace

TfMain::TfMain(QWidget* parent) : QWidget(parent), m_session(*this) {
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

  setWindowTitle(QString::fromLatin1(WINDOW_CAPTION));
  setWindowIcon(QIcon(QPixmap(QStringLiteral(":/ardunex/cog.png"))));
  // Where the design fonts are missing, compact look-alikes keep the captions within their controls.
  QFont::insertSubstitutions(QStringLiteral("Tahoma"), {QStringLiteral("Verdana"), QStringLiteral("Liberation Sans"),
                                                        QStringLiteral("Arial"), QStringLiteral("Nimbus Sans")});
  QFont::insertSubstitutions(QStringLiteral("Courier New"),
                             {QStringLiteral("Liberation Mono"), QStringLiteral("Nimbus Mono PS")});
  QFont font(QStringLiteral("Tahoma"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(scaled(FONT_PIXELS));
  setFont(font);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Button);

  createControls();
  setMinimumSize(m_designClient);
  resize(m_designClient);
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

void TfMain::job(const std::function<void()>& handler) {
  if (m_session.jobRunning())
    return;
  // Controls a job disables lose the focus to the next one; it comes back when they are enabled again.
  const QPointer<QWidget> focused = QApplication::focusWidget();
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
    slog("", 1);
  }
  if (focused && focused->isEnabled() && focused->isVisible() && focused->window() == this &&
      QApplication::focusWidget() != focused)
    focused->setFocus(Qt::OtherFocusReason);
}

void TfMain::bCheckClick() {
  job([this] { m_session.bCheckClick(); });
}

void TfMain::bDemuxClick() {
  job([this] { m_session.bDemuxClick(); });
}

void TfMain::bReadXPLClick() {
  job([this] { m_session.bReadXPLClick(); });
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
  // The settings are saved once per close; a save that fails is reported, and the window closes anyway:
  // a settings location that cannot be written must not keep the program from ending.
  if (!m_settingsSaved) {
    m_settingsSaved = true;
    FormClose();
  }
  // A job runs inside a handler further down the stack: the window stays until that job has finished.
  if (m_session.jobRunning()) {
    m_closePending = true;
    slog(CLOSING_AFTER_JOB, 0);
    event->ignore();
    return;
  }
  m_settingsSaved = false;
  event->accept();
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

// The tooltip of a stream box: its hint, then its caption when the box cuts it short, then its detail.
void setBoxTip(QCheckBox* check, std::string_view caption) {
  QString tip = check->property(BOX_HINT).toString();
  // The boxes keep their design width; a caption cut short shows in full in the tooltip, after the hint.
  if (check->sizeHint().width() > check->width())
    tip += QLatin1Char('\n') + utf8Text(caption);
  const QString detail = check->property(BOX_DETAIL).toString();
  if (!detail.isEmpty())
    tip += QLatin1Char('\n') + detail;
  check->setToolTip(tip);
}

}  // namespace

void TfMain::setBoxCaption(int box, std::string_view caption) {
  m_captions[box] = std::string(caption);
  m_boxes[box]->setText(plainCaption(caption));
  setBoxTip(m_boxes[box], caption);
}

void TfMain::setBoxDetail(int box, std::string_view detail) {
  m_boxes[box]->setProperty(BOX_DETAIL, utf8Text(detail));
  setBoxTip(m_boxes[box], m_captions[box]);
}

namespace {

template <class Buttons>
QAbstractButton* buttonOf(const Buttons& buttons, Button button) {
  return buttons.at(static_cast<std::size_t>(button));
}

}  // namespace

bool TfMain::buttonEnabled(Button button) const {
  const std::array<QAbstractButton*, 6> buttons{m_bCheck, m_bReadXPL, m_bDemux, m_bCancel, m_bbEVO, m_bbXPL};
  return buttonOf(buttons, button)->isEnabled();
}

void TfMain::setButtonEnabled(Button button, bool enabled) {
  const std::array<QAbstractButton*, 6> buttons{m_bCheck, m_bReadXPL, m_bDemux, m_bCancel, m_bbEVO, m_bbXPL};
  buttonOf(buttons, button)->setEnabled(enabled);
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
}

}  // namespace ardunex
