// The program's one window: its controls at their design places, anchoring, the status bar, the command
// handlers that forward to the session, the file dialogs and drops, and start-up and shutdown.
#include "ui/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <exception>

#include "engine/errors.h"
#include "jobs/options.h"
#include "ui/jpeg_logo.h"

namespace ardunex {

namespace {

constexpr int DESIGN_DPI = 96;
constexpr int CLIENT_WIDTH = 362;
constexpr int CLIENT_HEIGHT = 346;
constexpr int STATUS_BAR_HEIGHT = 21;
constexpr int INITIAL_PANEL_WIDTHS[2] = {40, 50};
constexpr int TREE_WIDTH = 96;
constexpr int TREE_MIN_WIDTH = 50;
constexpr int TREE_INDENT = 19;
constexpr int SPLITTER_WIDTH = 3;
constexpr int FONT_PIXELS = 11;
constexpr int BOX_WIDTH = 140;
constexpr int BOX_HEIGHT = 17;
constexpr int BOX_COLUMN_LEFT[2] = {9, 165};
constexpr int BOX_ROW_TOP[8] = {9, 31, 53, 75, 98, 120, 142, 165};

const char* const APPLICATION_TITLE = "HD DVD Ardunex";
const char* const WINDOW_CAPTION = "Ardunex 0.41 (written by the Ardunex developers)";
const char* const CONFIRM_CAPTION = "Confirm";
const char* const EVO_DIALOG_TITLE = "Choose the EVO file to demux";
const char* const UNEXPECTED_FAILURE = "Unexpected failure";

/// The part of a hint that is shown: everything before a "|".
QString shownHint(const QString& hint) { return hint.section(QLatin1Char('|'), 0, 0); }

void setHint(QWidget* widget, const QString& hint) { widget->setToolTip(shownHint(hint)); }

QString pathText(std::string_view path) {
  return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::string pathString(const QString& path) { return QFile::encodeName(path).toStdString(); }

/// Checks box captions may come from a playlist: an "&" must show as itself, not as an access key.
QString plainCaption(std::string_view caption) {
  return QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()))
      .replace(QLatin1Char('&'), QLatin1String("&&"));
}

QIcon folderIcon() { return QIcon(QPixmap(QStringLiteral(":/ardunex/folder.png"))); }

}  // namespace

/// The two-panel status bar: panel texts and widths as slog sets them, the last panel reaching the right end.
class StatusPanels : public QWidget {
 public:
  explicit StatusPanels(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("StatusBar"));
    for (int i = 0; i < 2; ++i) {
      m_panels[i] = new QLabel(this);
      m_panels[i]->setObjectName(QStringLiteral("StatusBarPanel%1").arg(i));
      m_panels[i]->setTextFormat(Qt::PlainText);
      m_panels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
      m_panels[i]->setIndent(0);
      m_panels[i]->setMargin(0);
      m_panels[i]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
  }

  void setPanel(int panel, const QString& text, int width) {
    m_panels[panel]->setText(text);
    m_widths[panel] = width;
    arrange();
  }
  QString text(int panel) const { return m_panels[panel]->text(); }
  int panelWidth(int panel) const { return m_widths[panel]; }
  QLabel* label(int panel) const { return m_panels[panel]; }

 protected:
  void resizeEvent(QResizeEvent*) override { arrange(); }

 private:
  void arrange() {
    const int h = height();
    m_panels[0]->setGeometry(0, 0, m_widths[0], h);
    m_panels[1]->setGeometry(m_widths[0], 0, std::max(m_widths[1], width() - m_widths[0]), h);
  }

  std::array<QLabel*, 2> m_panels{};
  std::array<int, 2> m_widths{};
};

TfMain::TfMain(QWidget* parent) : QWidget(parent), m_session(*this) {
  setObjectName(QStringLiteral("fMain"));
  const QScreen* screen = this->screen();
  if (screen != nullptr && screen->logicalDotsPerInchX() > 0)
    m_scale = screen->logicalDotsPerInchX() / DESIGN_DPI;
  m_designClient = QSize(scaled(CLIENT_WIDTH), scaled(CLIENT_HEIGHT));
  m_treeWidth = scaled(TREE_WIDTH);
  m_reportError = [this](const QString& text) {
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(APPLICATION_TITLE), text, QMessageBox::Ok, this);
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

QRect TfMain::designRect(int left, int top, int width, int height) const {
  return QRect(scaled(left), scaled(top), scaled(width), scaled(height));
}

void TfMain::place(QWidget* widget, int left, int top, int width, int height, int anchors) {
  const QRect rect = designRect(left, top, width, height);
  widget->setGeometry(rect);
  m_anchored.push_back({widget, rect, anchors});
}

void TfMain::createControls() {
  m_eEVOfile = new QLineEdit(this);
  m_eEVOfile->setObjectName(QStringLiteral("eEVOfile"));
  m_eEVOfile->setReadOnly(true);
  setHint(m_eEVOfile, QStringLiteral("Drop here the source EVO file|You cannot write here directly"));
  place(m_eEVOfile, 8, 8, 249, 21, AnchorLeft | AnchorTop | AnchorRight);

  m_bbEVO = new QToolButton(this);
  m_bbEVO->setObjectName(QStringLiteral("bbEVO"));
  m_bbEVO->setIcon(folderIcon());
  setHint(m_bbEVO, QStringLiteral("Browse an EVO file"));
  place(m_bbEVO, 263, 6, 25, 25, AnchorTop | AnchorRight);

  m_bCheck = new QPushButton(QStringLiteral("Read EVO"), this);
  m_bCheck->setObjectName(QStringLiteral("bCheck"));
  m_bCheck->setEnabled(false);
  setHint(m_bCheck, QStringLiteral("Read the source EVO file to detect streams"));
  place(m_bCheck, 294, 7, 60, 25, AnchorTop | AnchorRight);

  m_eXPLfile = new QLineEdit(this);
  m_eXPLfile->setObjectName(QStringLiteral("eXPLfile"));
  m_eXPLfile->setReadOnly(true);
  setHint(m_eXPLfile, QStringLiteral("Drop here the VPLST000.XPL"));
  place(m_eXPLfile, 8, 40, 249, 21, AnchorLeft | AnchorTop | AnchorRight);

  m_bbXPL = new QToolButton(this);
  m_bbXPL->setObjectName(QStringLiteral("bbXPL"));
  m_bbXPL->setIcon(folderIcon());
  setHint(m_bbXPL, QStringLiteral("Browse the HD DVD disc's VPLST000.XPL"));
  place(m_bbXPL, 263, 38, 25, 25, AnchorTop | AnchorRight);

  m_bReadXPL = new QPushButton(QStringLiteral("Read XPL"), this);
  m_bReadXPL->setObjectName(QStringLiteral("bReadXPL"));
  m_bReadXPL->setEnabled(false);
  setHint(m_bReadXPL, QStringLiteral("Read the XPL file to detect stream infos"));
  place(m_bReadXPL, 294, 38, 60, 25, AnchorTop | AnchorRight);

  m_pageControl = new QTabWidget(this);
  m_pageControl->setObjectName(QStringLiteral("PageControl"));
  place(m_pageControl, 8, 69, 346, 219, AnchorLeft | AnchorTop | AnchorRight | AnchorBottom);
  createPages();

  m_bDemux = new QPushButton(QStringLiteral("Demux"), this);
  m_bDemux->setObjectName(QStringLiteral("bDemux"));
  QFont bold = m_bDemux->font();
  bold.setBold(true);
  m_bDemux->setFont(bold);
  m_bDemux->setEnabled(false);
  setHint(m_bDemux, QStringLiteral("Demux the source EVO to streams"));
  place(m_bDemux, 8, 294, 60, 25, AnchorLeft | AnchorBottom);

  m_imLogo = new QLabel(this);
  m_imLogo->setObjectName(QStringLiteral("imLogo"));
  m_imLogo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  m_imLogo->setAttribute(Qt::WA_TranslucentBackground);
  QFile logo(QStringLiteral(":/ardunex/logo.jpg"));
  if (logo.open(QIODevice::ReadOnly)) {
    const QByteArray bytes = logo.readAll();
    const QImage image =
        decodeJpeg(reinterpret_cast<const unsigned char*>(bytes.constData()), static_cast<std::size_t>(bytes.size()));
    if (!image.isNull())
      m_imLogo->setPixmap(QPixmap::fromImage(image));
  }
  setHint(m_imLogo, QStringLiteral("HD DVD logo :-)"));
  place(m_imLogo, 119, 292, 125, 31, AnchorBottom);

  m_bCancel = new QPushButton(QStringLiteral("Cancel"), this);
  m_bCancel->setObjectName(QStringLiteral("bCancel"));
  m_bCancel->setEnabled(false);
  setHint(m_bCancel, QStringLiteral("You can stop the actual process"));
  place(m_bCancel, 294, 294, 60, 25, AnchorRight | AnchorBottom);

  m_statusBar = new StatusPanels(this);
  m_statusBar->setToolTip(QStringLiteral(" Select or drop an EVO file to demux"));
  m_statusBar->setPanel(0, QStringLiteral(" Ready"), scaled(INITIAL_PANEL_WIDTHS[0]));
  m_statusBar->setPanel(1, QStringLiteral(" Select or drop an EVO file to demux"), scaled(INITIAL_PANEL_WIDTHS[1]));
  m_statusBar->setGeometry(0, m_designClient.height() - scaled(STATUS_BAR_HEIGHT), m_designClient.width(),
                           scaled(STATUS_BAR_HEIGHT));

  // Files dropped on a text control are meant for the window, not inserted as text.
  for (QLineEdit* edit : {m_eEVOfile, m_eXPLfile})
    edit->setAcceptDrops(false);

  for (QPushButton* button : {m_bCheck, m_bReadXPL, m_bDemux, m_bCancel})
    button->setAutoDefault(false);
  connect(m_bCheck, &QPushButton::clicked, this, [this] { bCheckClick(); });
  connect(m_bDemux, &QPushButton::clicked, this, [this] { bDemuxClick(); });
  connect(m_bReadXPL, &QPushButton::clicked, this, [this] { bReadXPLClick(); });
  connect(m_bCancel, &QPushButton::clicked, this, [this] { bCancelClick(); });
  connect(m_bbEVO, &QToolButton::clicked, this, [this] { bbEVOClick(); });
  connect(m_bbXPL, &QToolButton::clicked, this, [this] { bbXPLClick(); });

  QWidget* order[] = {m_eEVOfile, m_bCheck,  m_eXPLfile, m_bDemux, m_pageControl,
                      m_bReadXPL, m_bCancel, m_bbEVO,    m_bbXPL};
  for (std::size_t i = 1; i < std::size(order); ++i)
    setTabOrder(order[i - 1], order[i]);
}

void TfMain::createPages() {
  auto addPage = [this](const char* name, const char* caption) {
    auto* page = new QWidget;
    page->setObjectName(QString::fromLatin1(name));
    m_pageControl->addTab(page, QString::fromLatin1(caption));
    return page;
  };

  QWidget* status = addPage("tsStatus", "Status");
  m_mMessage = new QPlainTextEdit(status);
  m_mMessage->setObjectName(QStringLiteral("mMessage"));
  m_mMessage->setLineWrapMode(QPlainTextEdit::NoWrap);
  m_mMessage->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  m_mMessage->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  m_mMessage->setAcceptDrops(false);
  m_mMessage->viewport()->setAcceptDrops(false);
  auto* statusLayout = new QHBoxLayout(status);
  statusLayout->setContentsMargins(0, 0, 0, 0);
  statusLayout->addWidget(m_mMessage);

  struct Group {
    const char* page;
    const char* caption;
    const char* boxName;
    int nameDigits;
    int firstBox;
    int count;
    const char* designCaption;
    const char* hint;
  };
  const Group groups[] = {
      {"tsVideo", "Video", "cbVideo%1", 1, videoBox(0), VIDEO_BOX_COUNT, "Video stream",
       "Check the desired video stream"},
      {"tsAudio", "Audio", "cbAudio%1", 2, audioBox(0), AUDIO_BOX_COUNT, "Audio stream",
       "Check the desired audio streams"},
      {"tsSubpicture", "Subpicture", "cbSub%1", 2, subBox(0), SUB_BOX_COUNT, "Subpicture",
       "Check the desired subpicture streams"},
  };
  constexpr int ROWS = static_cast<int>(std::size(BOX_ROW_TOP));
  for (const Group& group : groups) {
    QWidget* page = addPage(group.page, group.caption);
    for (int k = 0; k < group.count; ++k) {
      const int box = group.firstBox + k;
      auto* check = new QCheckBox(page);
      check->setObjectName(QString::fromLatin1(group.boxName).arg(k, group.nameDigits, 10, QLatin1Char('0')));
      m_captions[box] = group.designCaption;
      check->setText(plainCaption(m_captions[box]));
      check->setEnabled(false);
      setHint(check, QString::fromLatin1(group.hint));
      check->setGeometry(designRect(BOX_COLUMN_LEFT[k / ROWS], BOX_ROW_TOP[k % ROWS], BOX_WIDTH, BOX_HEIGHT));
      // toggled fires only on a real change, by the user or the program: exactly when the rule must run.
      connect(check, &QCheckBox::toggled, this, [this] { cbVideoClick(); });
      m_boxes[box] = check;
    }
  }

  QWidget* xpl = addPage("tsXPL", "XPL");
  m_splXPL = new QSplitter(Qt::Horizontal, xpl);
  m_splXPL->setObjectName(QStringLiteral("splXPL"));
  m_splXPL->setHandleWidth(scaled(SPLITTER_WIDTH));
  m_splXPL->setChildrenCollapsible(false);
  m_tvXPL = new QTreeWidget(m_splXPL);
  m_tvXPL->setObjectName(QStringLiteral("tvXPL"));
  m_tvXPL->setHeaderHidden(true);
  m_tvXPL->setIndentation(scaled(TREE_INDENT));
  m_tvXPL->setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_tvXPL->setMinimumWidth(scaled(TREE_MIN_WIDTH));
  setHint(m_tvXPL, QStringLiteral("Infos from your XPL file"));
  for (const char* root : {"Video", "Audio", "Subpicture", "Chapter"})
    m_tvXPL->addTopLevelItem(new QTreeWidgetItem(QStringList{QString::fromLatin1(root)}));
  m_mXPL = new QPlainTextEdit(m_splXPL);
  m_mXPL->setObjectName(QStringLiteral("mXPL"));
  QFont fixed(QStringLiteral("Courier New"));
  fixed.setStyleHint(QFont::TypeWriter);
  fixed.setFixedPitch(true);
  fixed.setPixelSize(scaled(FONT_PIXELS));
  m_mXPL->setFont(fixed);
  m_mXPL->setLineWrapMode(QPlainTextEdit::NoWrap);
  m_mXPL->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  m_mXPL->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  m_mXPL->setAcceptDrops(false);
  m_mXPL->viewport()->setAcceptDrops(false);
  setHint(m_mXPL, QStringLiteral("This is your XPL file (part of it)"));
  m_splXPL->setStretchFactor(0, 0);
  m_splXPL->setStretchFactor(1, 1);
  m_splXPL->setSizes({m_treeWidth, m_designClient.width()});
  connect(m_splXPL, &QSplitter::splitterMoved, this, [this] { m_treeWidth = m_tvXPL->width(); });
  auto* xplLayout = new QHBoxLayout(xpl);
  xplLayout->setContentsMargins(0, 0, 0, 0);
  xplLayout->addWidget(m_splXPL);

  createOptionsPage(addPage("tsOption", "Options"));
}

void TfMain::createOptionsPage(QWidget* page) {
  auto* group = new QGroupBox(page);
  group->setObjectName(QStringLiteral("gbFile"));
  group->setGeometry(designRect(3, 0, 321, 77));

  auto addLabel = [this, group](const char* name, const char* text, int left, int top) {
    auto* label = new QLabel(QString::fromLatin1(text), group);
    label->setObjectName(QString::fromLatin1(name));
    label->adjustSize();
    label->move(scaled(left), scaled(top));
  };
  auto addEdit = [this, group](const char* name, const char* text, QRect rect) {
    auto* edit = new QLineEdit(QString::fromLatin1(text), group);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(rect);
    return edit;
  };
  addLabel("lVideoExt", "Video file extension", 13, 19);
  m_eVideoExt = addEdit("eVideoExt", "mpv", designRect(112, 16, 38, 21));
  addLabel("lAudioExt", "Audio file extension", 166, 19);
  m_eAudioExt = addEdit("eAudioExt", "mpa", designRect(266, 16, 38, 21));
  m_eAudioExt->setMaxLength(AUDIO_EXT_MAX_LENGTH);
  addLabel("lWorkdir", "Output folder", 13, 46);
  m_eWorkdir = addEdit("eWorkdir", "", designRect(112, 43, 192, 21));

  m_cbContinue = new QCheckBox(QStringLiteral("Continue on second  EVO"), page);
  m_cbContinue->setObjectName(QStringLiteral("cbContinue"));
  m_cbContinue->setChecked(true);
  setHint(m_cbContinue, QStringLiteral("Demux continues on FEATURE_2.EVO if exists"));
  m_cbContinue->setGeometry(designRect(3, 83, 141, 17));

  m_cbFastCheck = new QCheckBox(QStringLiteral("Fast EVO checking"), page);
  m_cbFastCheck->setObjectName(QStringLiteral("cbFastCheck"));
  m_cbFastCheck->setChecked(true);
  setHint(m_cbFastCheck, QStringLiteral("Read EVO checks only the first 4 MB of the file"));
  m_cbFastCheck->setGeometry(designRect(3, 106, 112, 17));

  // The opt-in options follow, one row each, all off.
  int top = 129;
  for (const OptionInfo& info : OPTION_INFO) {
    auto* box = new QCheckBox(QString::fromUtf8(info.caption.data(), qsizetype(info.caption.size())), page);
    box->setObjectName(QString::fromUtf8(info.boxName.data(), qsizetype(info.boxName.size())));
    setHint(box, QString::fromUtf8(info.hint.data(), qsizetype(info.hint.size())));
    box->setGeometry(designRect(3, top, 112, 17));
    m_optionBoxes[static_cast<std::size_t>(info.option)] = box;
    top += 23;
  }
  // The design widths fit the design font; a wider substitute font must not cut the captions short, and
  // nothing stands to the right of these boxes on the page.
  std::vector<QCheckBox*> rows{m_cbContinue, m_cbFastCheck};
  rows.insert(rows.end(), m_optionBoxes.begin(), m_optionBoxes.end());
  for (QCheckBox* box : rows)
    box->resize(std::max(box->width(), box->sizeHint().width()), box->height());
}

// ---- Resizing -------------------------------------------------------------------------------------------

void TfMain::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int w = width();
  const int h = height();
  const int dw = w - m_designClient.width();
  const int dh = h - m_designClient.height();
  for (const Anchored& a : m_anchored) {
    QRect r = a.design;
    const bool left = a.anchors & AnchorLeft;
    const bool right = a.anchors & AnchorRight;
    const bool top = a.anchors & AnchorTop;
    const bool bottom = a.anchors & AnchorBottom;
    if (left && right) {
      r.setWidth(a.design.width() + dw);
    } else if (right) {
      r.moveLeft(a.design.left() + dw);
    } else if (!left) {
      // Neither edge: the centre keeps its proportional place.
      const double centre = (a.design.left() + a.design.width() / 2.0) * w / m_designClient.width();
      r.moveLeft(qRound(centre - a.design.width() / 2.0));
    }
    if (top && bottom)
      r.setHeight(a.design.height() + dh);
    else if (bottom)
      r.moveTop(a.design.top() + dh);
    a.widget->setGeometry(r);
  }
  m_statusBar->setGeometry(0, h - scaled(STATUS_BAR_HEIGHT), w, scaled(STATUS_BAR_HEIGHT));
}

// ---- Placement and options for the settings ---------------------------------------------------------------

TfMain::Placement TfMain::windowPlacement() const {
  Placement placement;
  // Outer bounds: the client geometry grown by the frame the window system draws around it.
  const QRect frame = frameGeometry();
  const QRect client = geometry();
  const QMargins margins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                         frame.bottom() - client.bottom());
  const QRect normal = (isMaximized() || isMinimized() ? normalGeometry() : client) + margins;
  placement.left = normal.left();
  placement.top = normal.top();
  placement.width = normal.width();
  placement.height = normal.height();
  placement.state = isMinimized()   ? WindowState::Minimised
                    : isMaximized() ? WindowState::Maximised
                                    : WindowState::Normal;
  return placement;
}

void TfMain::setWindowBounds(int left, int top, int width, int height) {
  const QRect frame = frameGeometry();
  const QRect client = geometry();
  // Until the window system has framed the window its frame counts as nothing, and the bounds would be
  // taken for the client's: they are applied again as soon as the frame is known.
  if (isVisible() && frame == client)
    m_pendingBounds = QRect(left, top, width, height);
  const int extraWidth = frame.width() - client.width();
  const int extraHeight = frame.height() - client.height();
  const int clientWidth = std::max(width - extraWidth, minimumWidth());
  const int clientHeight = std::max(height - extraHeight, minimumHeight());
  if (isMaximized() || isMinimized()) {
    setGeometry(
        QRect(left + client.left() - frame.left(), top + client.top() - frame.top(), clientWidth, clientHeight));
    return;
  }
  move(left, top);
  resize(clientWidth, clientHeight);
}

QSize TfMain::minimumOuterSize() const {
  return minimumSize() + (frameGeometry().size() - geometry().size());
}

void TfMain::setWindowStateValue(WindowState state) {
  switch (state) {
    case WindowState::Minimised:
      setWindowState((windowState() & ~(Qt::WindowMaximized | Qt::WindowFullScreen)) | Qt::WindowMinimized);
      break;
    case WindowState::Maximised:
      setWindowState((windowState() & ~(Qt::WindowMinimized | Qt::WindowFullScreen)) | Qt::WindowMaximized);
      break;
    case WindowState::Normal:
      setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
      break;
  }
}

int TfMain::treeWidth() const { return m_treeWidth; }

void TfMain::setTreeWidth(int width) {
  m_treeWidth = std::max(width, scaled(TREE_MIN_WIDTH));
  const QList<int> sizes = m_splXPL->sizes();
  const int total = sizes.size() == 2 && sizes[0] + sizes[1] > 0 ? sizes[0] + sizes[1] : m_designClient.width();
  m_splXPL->setSizes({m_treeWidth, std::max(total - m_treeWidth, 0)});
}

void TfMain::setWorkdir(const std::string& text) { m_eWorkdir->setText(pathText(text)); }
void TfMain::setVideoExt(const std::string& text) { m_eVideoExt->setText(QString::fromStdString(text)); }
void TfMain::setAudioExt(const std::string& text) { m_eAudioExt->setText(QString::fromStdString(text)); }
void TfMain::setContinueOnSecond(bool checked) { m_cbContinue->setChecked(checked); }
void TfMain::setFastCheck(bool checked) { m_cbFastCheck->setChecked(checked); }
void TfMain::setOptionOn(Option option, bool checked) {
  m_optionBoxes[static_cast<std::size_t>(option)]->setChecked(checked);
}

QString TfMain::panelText(int panel) const { return m_statusBar->text(panel); }
int TfMain::panelWidth(int panel) const { return m_statusBar->panelWidth(panel); }

// ---- Commands -----------------------------------------------------------------------------------------------

void TfMain::reportError(const std::string& message) { m_reportError(QString::fromStdString(reportText(message))); }

void TfMain::command(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    reportError(e.what());
  } catch (...) {
    reportError(UNEXPECTED_FAILURE);
  }
  closeIfPending();
}

void TfMain::bCheckClick() {
  if (!m_session.jobRunning())
    command([this] { m_session.bCheckClick(); });
}

void TfMain::bDemuxClick() {
  if (!m_session.jobRunning())
    command([this] { m_session.bDemuxClick(); });
}

void TfMain::bReadXPLClick() {
  if (!m_session.jobRunning())
    command([this] { m_session.bReadXPLClick(); });
}

void TfMain::bCancelClick() {
  command([this] { m_session.bCancelClick(); });
}

void TfMain::cbVideoClick() {
  command([this] { m_session.cbVideoClick(); });
}

bool TfMain::showOpenDialog(DialogMemory& memory, const QString& title, const QString& filter, bool mustExist,
                            const QString& defaultSuffix, QString& chosen) {
  QFileDialog dialog(this, title);
  dialog.setObjectName(mustExist ? QStringLiteral("odEVOfile") : QStringLiteral("odXPL"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::ReadOnly, false);
  dialog.setOption(QFileDialog::DontResolveSymlinks, true);
  // Patterns match in any letter case (Qt's own dialog compares them so unless told otherwise); the
  // upper and lower case forms in the filters also serve dialogs of the desktop that compare exactly.
  dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
  dialog.setNameFilter(filter);
  dialog.setDefaultSuffix(defaultSuffix);
  if (!memory.initialDir.empty())
    dialog.setDirectory(pathText(memory.initialDir));
  if (!memory.fileName.empty())
    dialog.selectFile(pathText(memory.fileName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return false;
  chosen = QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
  const QFileInfo info(chosen);
  memory.fileName = pathString(info.fileName());
  QDir::setCurrent(info.absolutePath());
  return true;
}

void TfMain::bbEVOClick() {
  if (m_session.jobRunning())
    return;
  command([this] {
    DialogMemory& memory = m_session.evoDialog();
    memory.initialDir = m_session.paths().EVOdir;
    QString chosen;
    if (showOpenDialog(memory, QString::fromLatin1(EVO_DIALOG_TITLE),
                       QStringLiteral("EVO files (*.EVO *.evo)"), true,
                       QStringLiteral("EVO"), chosen))
      m_session.chooseEvoFile(pathString(chosen));
  });
}

void TfMain::bbXPLClick() {
  if (m_session.jobRunning())
    return;
  command([this] {
    DialogMemory& memory = m_session.xplDialog();
    memory.initialDir = m_session.paths().XPLdir;
    QString chosen;
    if (showOpenDialog(memory, QString(), QStringLiteral("XPL (VPLST000.XPL vplst000.xpl)"), false,
                       QStringLiteral("xpl"), chosen))
      m_session.chooseXplFile(pathString(chosen));
  });
}

void TfMain::WMDropFiles(const QList<QUrl>& urls) {
  if (urls.isEmpty() || m_session.jobRunning())
    return;
  const QUrl& first = urls.constFirst();
  if (!first.isLocalFile())
    return;
  const std::string path = pathString(QDir::toNativeSeparators(first.toLocalFile()));
  command([this, path] { m_session.dropFile(path); });
}

void TfMain::dragEnterEvent(QDragEnterEvent* event) {
  if (!m_session.jobRunning() && event->mimeData()->hasUrls() && !event->mimeData()->urls().isEmpty() &&
      event->mimeData()->urls().constFirst().isLocalFile())
    event->acceptProposedAction();
}

void TfMain::dropEvent(QDropEvent* event) {
  if (!event->mimeData()->hasUrls())
    return;
  event->acceptProposedAction();
  WMDropFiles(event->mimeData()->urls());
}

// ---- Start-up and shutdown -----------------------------------------------------------------------------------

void TfMain::FormShow() { setAcceptDrops(true); }

void TfMain::FormActivate() {
  command([this] {
    if (onRegRead)
      onRegRead();
    m_session.Resetcbs();
  });
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
  if (event->type() == QEvent::WindowActivate)
    firstActivation();
  if (m_pendingBounds && (event->type() == QEvent::Move || event->type() == QEvent::Resize) &&
      frameGeometry() != geometry()) {
    const QRect bounds = *m_pendingBounds;
    m_pendingBounds.reset();
    if (!isMaximized() && !isMinimized())
      setWindowBounds(bounds.left(), bounds.top(), bounds.width(), bounds.height());
  }
  return handled;
}

void TfMain::firstActivation() {
  // Settings are applied and the boxes reset once per run, when the window first becomes active.
  if (m_activated)
    return;
  m_activated = true;
  FormActivate();
}

void TfMain::closeEvent(QCloseEvent* event) {
  if (!m_settingsSaved && !FormClose()) {
    event->ignore();
    return;
  }
  // A job runs inside a handler further down the stack: the window stays until that job has finished.
  if (m_session.jobRunning()) {
    m_settingsSaved = true;
    m_closePending = true;
    event->ignore();
    return;
  }
  event->accept();
}

void TfMain::closeIfPending() {
  if (!m_closePending || m_session.jobRunning())
    return;
  m_closePending = false;
  QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

// ---- Window -----------------------------------------------------------------------------------------------

void TfMain::log(std::string_view text) {
  m_mMessage->appendPlainText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void TfMain::slog(std::string_view text, std::uint8_t panel) {
  if (panel > 1)
    return;
  const QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  const QString panelText = QLatin1Char(' ') + shown;
  const QFontMetrics metrics(m_statusBar->font());
  m_statusBar->setPanel(panel, panelText, metrics.horizontalAdvance(panelText + QLatin1Char('a')));
  if (panel == 1)
    m_statusBar->setToolTip(shown);
  m_statusBar->repaint();
}

void TfMain::processEvents() { QCoreApplication::processEvents(); }

void TfMain::repaint() { QWidget::repaint(); }

bool TfMain::confirm(std::string_view question) {
  QMessageBox box(QMessageBox::Question, QString::fromLatin1(CONFIRM_CAPTION),
                  QString::fromUtf8(question.data(), static_cast<qsizetype>(question.size())),
                  QMessageBox::Yes | QMessageBox::No, this);
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

bool TfMain::boxChecked(int box) const { return m_boxes[box]->isChecked(); }
void TfMain::setBoxChecked(int box, bool checked) { m_boxes[box]->setChecked(checked); }
bool TfMain::boxEnabled(int box) const { return m_boxes[box]->isEnabled(); }
void TfMain::setBoxEnabled(int box, bool enabled) { m_boxes[box]->setEnabled(enabled); }
std::string TfMain::boxCaption(int box) const { return m_captions[box]; }

void TfMain::setBoxCaption(int box, std::string_view caption) {
  m_captions[box] = std::string(caption);
  m_boxes[box]->setText(plainCaption(caption));
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

std::string TfMain::workdir() const { return pathString(m_eWorkdir->text()); }
std::string TfMain::videoExt() const { return m_eVideoExt->text().toStdString(); }
std::string TfMain::audioExt() const { return m_eAudioExt->text().toStdString(); }
bool TfMain::continueOnSecond() const { return m_cbContinue->isChecked(); }
bool TfMain::fastCheck() const { return m_cbFastCheck->isChecked(); }
bool TfMain::optionOn(Option option) const { return m_optionBoxes[static_cast<std::size_t>(option)]->isChecked(); }

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
