// The main window's controls at their design places, its six pages, and the anchoring that keeps the
// controls at their edges when the window is resized.
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <initializer_list>

#include "jobs/options.h"
#include "ui/jpeg_logo.h"
#include "ui/main_window.h"
#include "ui/main_window_common.h"
#include "ui/status_log.h"
#include "ui/status_panels.h"

namespace ardunex {

using namespace ui;

namespace {

constexpr int INITIAL_PANEL_WIDTHS[2] = {40, 50};
constexpr int TREE_INDENT = 19;
constexpr int SPLITTER_WIDTH = 3;
constexpr int BOX_WIDTH = 140;
constexpr int BOX_HEIGHT = 17;
constexpr int BOX_COLUMN_LEFT[2] = {9, 165};
constexpr int BOX_ROW_TOP[8] = {9, 31, 53, 75, 98, 120, 142, 165};
/// Rows of the check boxes under the Options page's group box (as many as the page holds below its tabs in
/// any style), and the left edges of its two columns.
constexpr int OPTION_ROW_TOP[4] = {83, 106, 129, 152};
constexpr int OPTION_COLUMN_LEFT[2] = {3, 165};
constexpr int OPTION_BOX_HEIGHT = 17;
constexpr int OPTION_SLOTS = 2 * static_cast<int>(std::size(OPTION_ROW_TOP)) - 2;  // two rows hold the seed's boxes
static_assert(OPTION_COUNT <= OPTION_SLOTS, "the Options page has room for this many opt-in boxes");

QIcon folderIcon() { return QIcon(QPixmap(QStringLiteral(":/ardunex/folder.png"))); }

}  // namespace

QRect TfMain::designRect(int left, int top, int width, int height) const {
  return QRect(scaled(left), scaled(top), scaled(width), scaled(height));
}

void TfMain::place(QWidget* widget, int left, int top, int width, int height, int anchors) {
  const QRect rect = designRect(left, top, width, height);
  widget->setGeometry(rect);
  m_anchored.push_back({widget, rect, anchors});
}

void TfMain::anchorInPage(QWidget* widget, int anchors) { m_anchored.push_back({widget, widget->geometry(), anchors}); }

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

  createStatusBar();

  // Files dropped on a text control are meant for the window, not inserted as text.
  for (QLineEdit* edit : {m_eEVOfile, m_eXPLfile})
    edit->setAcceptDrops(false);

  for (QPushButton* button : {m_bCheck, m_bReadXPL, m_bDemux, m_bCancel})
    button->setAutoDefault(false);
  // Enter presses a focused button as Space does.
  for (QAbstractButton* button : std::initializer_list<QAbstractButton*>{m_bCheck, m_bReadXPL, m_bDemux, m_bCancel,
                                                                         m_bbEVO, m_bbXPL, m_bbWorkdir})
    button->installEventFilter(this);
  connect(m_bCheck, &QPushButton::clicked, this, [this] { bCheckClick(); });
  connect(m_bDemux, &QPushButton::clicked, this, [this] { bDemuxClick(); });
  connect(m_bReadXPL, &QPushButton::clicked, this, [this] { bReadXPLClick(); });
  connect(m_bCancel, &QPushButton::clicked, this, [this] { bCancelClick(); });
  connect(m_bbEVO, &QToolButton::clicked, this, [this] { bbEVOClick(); });
  connect(m_bbXPL, &QToolButton::clicked, this, [this] { bbXPLClick(); });
  connect(m_bbWorkdir, &QToolButton::clicked, this, [this] { bbWorkdirClick(); });

  QWidget* order[] = {m_eEVOfile, m_bCheck,  m_eXPLfile, m_bDemux, m_pageControl,
                      m_bReadXPL, m_bCancel, m_bbEVO,    m_bbXPL};
  for (std::size_t i = 1; i < std::size(order); ++i)
    setTabOrder(order[i - 1], order[i]);
}

void TfMain::createStatusBar() {
  m_statusBar = new StatusPanels(this);
  m_statusBar->setToolTip(QStringLiteral(" Select or drop an EVO file to demux"));
  m_statusBar->setGeometry(0, m_designClient.height() - scaled(STATUS_BAR_HEIGHT), m_designClient.width(),
                           scaled(STATUS_BAR_HEIGHT));
  m_statusBar->setPanel(0, QStringLiteral(" Ready"), scaled(INITIAL_PANEL_WIDTHS[0]));
  m_statusBar->setPanel(1, QStringLiteral(" Select or drop an EVO file to demux"), scaled(INITIAL_PANEL_WIDTHS[1]));
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
  m_log = std::make_unique<StatusLog>(m_mMessage);
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
      check->setProperty(BOX_HINT, shownHint(QString::fromLatin1(group.hint)));
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
  // Both memos show what the program wrote; Tab moves on to the next control instead of into the text.
  for (QPlainTextEdit* memo : {m_mMessage, m_mXPL}) {
    memo->setReadOnly(true);
    memo->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    memo->setTabChangesFocus(true);
  }
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
  anchorInPage(group, AnchorLeft | AnchorTop | AnchorRight);

  auto addLabel = [this, group](const char* name, const char* text, int left, int top) {
    auto* label = new QLabel(QString::fromLatin1(text), group);
    label->setObjectName(QString::fromLatin1(name));
    label->adjustSize();
    label->move(scaled(left), scaled(top));
  };
  auto addEdit = [group](const char* name, const char* text, QRect rect) {
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
  // The output folder stretches with the page; its browse button follows the right edge.
  m_eWorkdir = addEdit("eWorkdir", "", designRect(112, 43, 165, 21));
  anchorInPage(m_eWorkdir, AnchorLeft | AnchorTop | AnchorRight);
  m_bbWorkdir = new QToolButton(group);
  m_bbWorkdir->setObjectName(QStringLiteral("bbWorkdir"));
  m_bbWorkdir->setIcon(folderIcon());
  setHint(m_bbWorkdir, QStringLiteral("Browse the output folder"));
  m_bbWorkdir->setGeometry(designRect(280, 42, 23, 23));
  anchorInPage(m_bbWorkdir, AnchorTop | AnchorRight);

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

  // The opt-in options follow, all off: down the first column below the seed's two boxes, then down the
  // second column, so that all of them fit the page at the design size.
  constexpr int ROWS = static_cast<int>(std::size(OPTION_ROW_TOP));
  int slot = 2;
  for (const OptionInfo& info : OPTION_INFO) {
    auto* box = new QCheckBox(utf8Text(info.caption), page);
    box->setObjectName(utf8Text(info.boxName));
    setHint(box, utf8Text(info.hint));
    box->setGeometry(designRect(OPTION_COLUMN_LEFT[slot / ROWS], OPTION_ROW_TOP[slot % ROWS], 112, OPTION_BOX_HEIGHT));
    m_optionBoxes[static_cast<std::size_t>(info.option)] = box;
    ++slot;
  }
  // The design widths fit the design font; a wider substitute font must not cut the captions short, as
  // long as a box of the first column stays clear of the second.
  std::vector<QCheckBox*> rows{m_cbContinue, m_cbFastCheck};
  rows.insert(rows.end(), m_optionBoxes.begin(), m_optionBoxes.end());
  const int columnGap = scaled(OPTION_COLUMN_LEFT[1] - OPTION_COLUMN_LEFT[0]) - scaled(4);
  for (QCheckBox* box : rows) {
    const int room = box->x() < scaled(OPTION_COLUMN_LEFT[1]) ? columnGap : scaled(CLIENT_WIDTH) - box->x();
    box->resize(std::max(box->width(), std::min(box->sizeHint().width(), room)), box->height());
  }
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

}  // namespace ardunex
