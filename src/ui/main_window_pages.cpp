// SPDX-License-Identifier: GPL-2.0-or-later
// The main window's controls at their design places, its six pages, and the anchoring that keeps the
// controls at their edges when the window is resized.
#include <QCheckBox>
#include <QDesktopServices>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>
#include <initializer_list>

#include "jobs/mkvmerge_runner.h"
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
/// any style: after the seed's two rows, 22 pixels apart as the stream boxes mostly are), and the left edges of
/// its two columns.
constexpr int OPTION_ROW_TOP[5] = {83, 106, 128, 150, 172};
constexpr int OPTION_COLUMN_LEFT[2] = {3, 165};
constexpr int OPTION_BOX_HEIGHT = 17;
constexpr int OPTION_SLOTS = 2 * static_cast<int>(std::size(OPTION_ROW_TOP)) - 2;  // two rows hold the seed's boxes
static_assert(OPTION_COUNT <= OPTION_SLOTS, "the Options page has room for this many opt-in boxes");
/// Room kept between a label and its field, between two columns, and below and right of a page's content.
constexpr int CONTENT_GAP = 4;
/// Distance from the audio extension's field to the group box's right edge, and from the video field to the
/// audio label, in the design.
constexpr int GROUP_RIGHT_MARGIN = 17;
/// The progress bar at the right end of the status bar: wide enough for "100%".
constexpr int PROGRESS_WIDTH = 48;

QIcon folderIcon() { return QIcon(QPixmap(QStringLiteral(":/ardunex/folder.png"))); }

/// The page control, which tells the size of its pages at any size of its own.
class PageControl : public QTabWidget {
 public:
  using QTabWidget::QTabWidget;

  QSize pageSize(QSize size) const {
    QStyleOptionTabWidgetFrame option;
    initStyleOption(&option);
    option.rect = QRect(QPoint(), size);
    return style()->subElementRect(QStyle::SE_TabWidgetTabContents, &option, this).size();
  }
};

/// The width a push button needs to show its caption with the style's margins.
int captionWidth(const QPushButton* button) {
  return button->fontMetrics().horizontalAdvance(QString(button->text()).remove(QLatin1Char('&'))) +
         2 * button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
}

int rightOf(const QWidget* widget) { return widget->x() + widget->width(); }

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

TfMain::Anchored& TfMain::anchoredOf(const QWidget* widget) {
  return *std::find_if(m_anchored.begin(), m_anchored.end(),
                       [widget](const Anchored& a) { return a.widget == widget; });
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

  m_bCheck = new QPushButton(QStringLiteral("&Read EVO"), this);
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

  m_bReadXPL = new QPushButton(QStringLiteral("Read &XPL"), this);
  m_bReadXPL->setObjectName(QStringLiteral("bReadXPL"));
  m_bReadXPL->setEnabled(false);
  setHint(m_bReadXPL, QStringLiteral("Read the XPL file to detect stream infos"));
  place(m_bReadXPL, 294, 38, 60, 25, AnchorTop | AnchorRight);

  m_pageControl = new PageControl(this);
  m_pageControl->setObjectName(QStringLiteral("PageControl"));
  place(m_pageControl, 8, 69, 346, 219, AnchorLeft | AnchorTop | AnchorRight | AnchorBottom);
  createPages();

  m_bDemux = new QPushButton(QStringLiteral("&Demux"), this);
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

  m_bCancel = new QPushButton(QStringLiteral("&Cancel"), this);
  m_bCancel->setObjectName(QStringLiteral("bCancel"));
  m_bCancel->setEnabled(false);
  setHint(m_bCancel, QStringLiteral("You can stop the actual process"));
  place(m_bCancel, 294, 294, 60, 25, AnchorRight | AnchorBottom);

  // The About box's button stands below the browse buttons, left of Cancel; F1 opens it too.
  m_bAbout = new QToolButton(this);
  m_bAbout->setObjectName(QStringLiteral("bAbout"));
  m_bAbout->setText(QStringLiteral("?"));
  m_bAbout->setShortcut(QKeySequence::HelpContents);
  setHint(m_bAbout, QStringLiteral("About Ardunex (F1)"));
  place(m_bAbout, 263, 294, 25, 25, AnchorRight | AnchorBottom);

  // A disc is opened by its folder: the button stands beside Demux, which then follows the chosen title.
  m_bbDisc = new QToolButton(this);
  m_bbDisc->setObjectName(QStringLiteral("bbDisc"));
  m_bbDisc->setIcon(style()->standardIcon(QStyle::SP_DriveDVDIcon));
  setHint(m_bbDisc, QStringLiteral("Open an HD DVD disc folder and choose one of its titles"));
  place(m_bbDisc, 74, 294, 25, 25, AnchorLeft | AnchorBottom);

  createStatusBar();

  // Names for assistive tools where a control shows no text of its own.
  const std::pair<QWidget*, const char*> names[] = {{m_eEVOfile, "EVO file"},
                                                    {m_bbEVO, "Browse an EVO file"},
                                                    {m_eXPLfile, "Playlist file"},
                                                    {m_bbXPL, "Browse a playlist"},
                                                    {m_pageControl, "Pages"},
                                                    {m_imLogo, "HD DVD logo"},
                                                    {m_bAbout, "About Ardunex"},
                                                    {m_bbDisc, "Open a disc folder"},
                                                    {m_tvTitles, "Titles of the disc"},
                                                    {m_mMessage, "Log"},
                                                    {m_tvXPL, "Playlist tree"},
                                                    {m_mXPL, "Playlist text"},
                                                    {m_eVideoExt, "Video file extension"},
                                                    {m_eAudioExt, "Audio file extension"},
                                                    {m_eWorkdir, "Output folder"},
                                                    {m_bbWorkdir, "Browse the output folder"},
                                                    {m_statusBar, "Status bar"},
                                                    {m_progress, "Progress"}};
  for (const auto& [widget, name] : names)
    widget->setAccessibleName(QString::fromLatin1(name));

  // Files dropped on a text control are meant for the window, not inserted as text.
  for (QLineEdit* edit : {m_eEVOfile, m_eXPLfile})
    edit->setAcceptDrops(false);

  for (QPushButton* button : {m_bCheck, m_bReadXPL, m_bDemux, m_bCancel})
    button->setAutoDefault(false);
  // Enter presses a focused button as Space does.
  for (QAbstractButton* button : std::initializer_list<QAbstractButton*>{
           m_bCheck, m_bReadXPL, m_bDemux, m_bCancel, m_bbEVO, m_bbXPL, m_bbWorkdir, m_bAbout, m_bOpenFolder, m_bbDisc})
    button->installEventFilter(this);
  connect(m_bCheck, &QPushButton::clicked, this, [this] { bCheckClick(); });
  connect(m_bDemux, &QPushButton::clicked, this, [this] { bDemuxClick(); });
  connect(m_bReadXPL, &QPushButton::clicked, this, [this] { bReadXPLClick(); });
  connect(m_bCancel, &QPushButton::clicked, this, [this] { bCancelClick(); });
  connect(m_bbEVO, &QToolButton::clicked, this, [this] { bbEVOClick(); });
  connect(m_bbXPL, &QToolButton::clicked, this, [this] { bbXPLClick(); });
  connect(m_bbWorkdir, &QToolButton::clicked, this, [this] { bbWorkdirClick(); });
  connect(m_bAbout, &QToolButton::clicked, this, [this] { bAboutClick(); });
  connect(m_bbDisc, &QToolButton::clicked, this, [this] { bbDiscClick(); });
  connect(m_bOpenFolder, &QToolButton::clicked, this,
          [this] { QDesktopServices::openUrl(QUrl::fromLocalFile(m_openFolder)); });

  QWidget* order[] = {m_eEVOfile, m_bCheck, m_eXPLfile, m_bDemux, m_pageControl, m_bReadXPL,
                      m_bCancel,  m_bbEVO,  m_bbXPL,    m_bAbout, m_bbDisc};
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

  // At the bar's right end: the progress of a running job, and after a demux the way to its files.
  m_progress = new QProgressBar(m_statusBar);
  m_progress->setObjectName(QStringLiteral("Progress"));
  m_progress->setRange(0, 100);
  m_progress->setFixedWidth(scaled(PROGRESS_WIDTH));
  m_progress->hide();
  m_statusBar->addTrailing(m_progress);
  m_bOpenFolder = new QToolButton(m_statusBar);
  m_bOpenFolder->setObjectName(QStringLiteral("bOpenFolder"));
  m_bOpenFolder->setText(QStringLiteral("&Open output folder"));
  m_bOpenFolder->setIcon(folderIcon());
  m_bOpenFolder->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  m_bOpenFolder->setAutoRaise(true);
  m_bOpenFolder->hide();
  m_statusBar->addTrailing(m_bOpenFolder);
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
      // The boxes widen with their column: the whole page's width on a page of one column, half on two.
      const int column = group.count <= ROWS ? AnchorLeft | AnchorRight
                         : k < ROWS          ? AnchorLeftColumn
                                             : AnchorRightColumn;
      anchorInPage(check, AnchorTop | column);
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
  connect(m_tvXPL, &QTreeWidget::itemExpanded, this, [this] { widenTreeForEntries(); });
  auto* xplLayout = new QHBoxLayout(xpl);
  xplLayout->setContentsMargins(0, 0, 0, 0);
  xplLayout->addWidget(m_splXPL);

  createOptionsPage(addPage("tsOption", "Options"));
  createTitlesPage();
}

void TfMain::createTitlesPage() {
  // Shown as a page of its own once a disc is opened; until then the window has only the pages above.
  m_tsTitles = new QWidget(this);
  m_tsTitles->setObjectName(QStringLiteral("tsTitles"));
  m_tsTitles->hide();
  m_tvTitles = new QTreeWidget(m_tsTitles);
  m_tvTitles->setObjectName(QStringLiteral("tvTitles"));
  m_tvTitles->setRootIsDecorated(false);
  m_tvTitles->setUniformRowHeights(true);
  m_tvTitles->setAllColumnsShowFocus(true);
  m_tvTitles->setSelectionMode(QAbstractItemView::SingleSelection);
  m_tvTitles->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  m_tvTitles->setHeaderLabels({QStringLiteral("No."), QStringLiteral("Name"), QStringLiteral("Duration"),
                               QStringLiteral("Clips"), QStringLiteral("Audio"), QStringLiteral("Subtitles")});
  m_tvTitles->header()->setStretchLastSection(true);
  m_tvTitles->header()->setSectionsMovable(false);
  setHint(m_tvTitles, QStringLiteral("Choose the title to read and demux: its clips are demuxed in turn"));
  connect(m_tvTitles, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (item != nullptr)
      tvTitlesClick(m_tvTitles->indexOfTopLevelItem(item));
  });
  auto* layout = new QHBoxLayout(m_tsTitles);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_tvTitles);
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

  // The opt-in options follow, as they stand by default: down the first column below the seed's two boxes,
  // then down the second column.
  constexpr int ROWS = static_cast<int>(std::size(OPTION_ROW_TOP));
  int slot = 2;
  for (const OptionInfo& info : OPTION_INFO) {
    auto* box = new QCheckBox(utf8Text(info.caption), page);
    box->setObjectName(utf8Text(info.boxName));
    setHint(box, utf8Text(info.hint));
    box->setChecked(info.onByDefault);
    box->setGeometry(designRect(OPTION_COLUMN_LEFT[slot / ROWS], OPTION_ROW_TOP[slot % ROWS], 112, OPTION_BOX_HEIGHT));
    m_optionBoxes[static_cast<std::size_t>(info.option)] = box;
    ++slot;
  }
  // Making an MKV needs mkvmerge, looked for once, when the window is made; keeping the stream files is a
  // choice only while an MKV is made.
  QCheckBox* makeMkv = m_optionBoxes[static_cast<std::size_t>(Option::MakeMkv)];
  QCheckBox* keepStreams = m_optionBoxes[static_cast<std::size_t>(Option::KeepStreams)];
  m_mkvmergeFound = !findMkvmerge().empty();
  if (!m_mkvmergeFound) {
    makeMkv->setEnabled(false);
    makeMkv->setToolTip(QString::fromLatin1(MKVMERGE_MISSING));
  }
  keepStreams->setEnabled(false);
  connect(makeMkv, &QCheckBox::toggled, keepStreams, &QWidget::setEnabled);
}

int TfMain::fitOptionsPage(int pageWidth) {
  auto* group = findChild<QGroupBox*>(QStringLiteral("gbFile"));
  auto label = [group](const char* name) { return group->findChild<QLabel*>(QString::fromLatin1(name)); };
  const int gap = scaled(CONTENT_GAP);
  // The fields' column starts after the longer of its two labels, and the audio label and field follow.
  const int fieldShift =
      std::max(0, std::max(rightOf(label("lVideoExt")), rightOf(label("lWorkdir"))) + gap - m_eVideoExt->x());
  m_eVideoExt->move(m_eVideoExt->x() + fieldShift, m_eVideoExt->y());
  anchoredOf(m_eWorkdir).design.setLeft(m_eWorkdir->x() + fieldShift);
  QLabel* audio = label("lAudioExt");
  audio->move(std::max(audio->x(), rightOf(m_eVideoExt) + scaled(GROUP_RIGHT_MARGIN) - 1), audio->y());
  m_eAudioExt->move(std::max(m_eAudioExt->x(), rightOf(audio) + gap), m_eAudioExt->y());
  const int groupNeed = rightOf(m_eAudioExt) + scaled(GROUP_RIGHT_MARGIN) - group->width();

  // Each check box as wide as its caption; the second column starts after the widest box of the first.
  std::vector<QCheckBox*> boxes{m_cbContinue, m_cbFastCheck};
  boxes.insert(boxes.end(), m_optionBoxes.begin(), m_optionBoxes.end());
  int firstColumnRight = 0;
  for (QCheckBox* box : boxes) {
    box->resize(std::max(box->width(), box->sizeHint().width()), box->height());
    if (box->x() < scaled(OPTION_COLUMN_LEFT[1]))
      firstColumnRight = std::max(firstColumnRight, rightOf(box));
  }
  const int secondColumn = std::max(scaled(OPTION_COLUMN_LEFT[1]), firstColumnRight + gap);
  int right = firstColumnRight;
  for (QCheckBox* box : boxes) {
    if (box->x() >= scaled(OPTION_COLUMN_LEFT[1]))
      box->move(secondColumn, box->y());
    right = std::max(right, rightOf(box));
  }
  return std::max({0, groupNeed, right + gap - pageWidth});
}

void TfMain::fitToContent() {
  // Command buttons as wide as their captions: the top ones grow to the left, pushing the browse buttons and
  // narrowing the path fields; Demux grows to the right, Cancel to the left with the About button beside it.
  const int top =
      std::max({0, captionWidth(m_bCheck) - m_bCheck->width(), captionWidth(m_bReadXPL) - m_bReadXPL->width()});
  for (QWidget* button : {m_bCheck, m_bReadXPL})
    anchoredOf(button).design.setLeft(button->x() - top);
  for (QWidget* browse : {m_bbEVO, m_bbXPL})
    anchoredOf(browse).design.translate(-top, 0);
  for (QWidget* field : {m_eEVOfile, m_eXPLfile})
    anchoredOf(field).design.setRight(field->geometry().right() - top);
  const int demux = std::max(0, captionWidth(m_bDemux) - m_bDemux->width());
  anchoredOf(m_bDemux).design.setRight(m_bDemux->geometry().right() + demux);
  anchoredOf(m_bbDisc).design.translate(demux, 0);
  const int cancel = std::max(0, captionWidth(m_bCancel) - m_bCancel->width());
  anchoredOf(m_bCancel).design.setLeft(m_bCancel->x() - cancel);
  anchoredOf(m_bAbout).design.translate(-cancel, 0);

  // The window grows where a page's content or the row of tabs needs more than the design gives.
  const QSize page = static_cast<PageControl*>(m_pageControl)->pageSize(m_pageControl->size());
  const int gap = scaled(CONTENT_GAP);
  int extraWidth =
      std::max(m_pageControl->tabBar()->sizeHint().width() - m_pageControl->width(), fitOptionsPage(page.width()));
  int bottom = 0;
  for (int i = 0; i < m_pageControl->count(); ++i) {
    const QWidget* content = m_pageControl->widget(i);
    if (content->layout() != nullptr)
      continue;  // a page laid out by Qt fills whatever room it has
    for (const QWidget* child : content->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      bottom = std::max(bottom, child->y() + child->height());
  }
  const int extraHeight = bottom + gap - page.height();
  extraWidth = std::max(0, extraWidth);
  setMinimumSize(m_designClient + QSize(extraWidth, std::max(0, extraHeight)));
  // Everything stands where the anchors put it at that size; the design positions where nothing grew.
  for (Anchored& a : m_anchored)
    a.widget->setGeometry(anchoredRect(a, minimumSize()));
}

// ---- Resizing -------------------------------------------------------------------------------------------

QRect TfMain::anchoredRect(const Anchored& a, QSize client) const {
  const int w = client.width();
  const int dw = w - m_designClient.width();
  const int dh = client.height() - m_designClient.height();
  QRect r = a.design;
  const bool left = a.anchors & AnchorLeft;
  const bool right = a.anchors & AnchorRight;
  if (a.anchors & AnchorLeftColumn) {
    r.setWidth(a.design.width() + dw / 2);
  } else if (a.anchors & AnchorRightColumn) {
    r.moveLeft(a.design.left() + dw / 2);
    r.setWidth(a.design.width() + dw - dw / 2);
  } else if (left && right) {
    r.setWidth(a.design.width() + dw);
  } else if (right) {
    r.moveLeft(a.design.left() + dw);
  } else if (!left) {
    // Neither edge: the centre keeps its proportional place.
    const double centre = (a.design.left() + a.design.width() / 2.0) * w / m_designClient.width();
    r.moveLeft(qRound(centre - a.design.width() / 2.0));
  }
  if ((a.anchors & AnchorTop) && (a.anchors & AnchorBottom))
    r.setHeight(a.design.height() + dh);
  else if (a.anchors & AnchorBottom)
    r.moveTop(a.design.top() + dh);
  return r;
}

void TfMain::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  for (const Anchored& a : m_anchored)
    a.widget->setGeometry(anchoredRect(a, size()));
  m_statusBar->setGeometry(0, height() - scaled(STATUS_BAR_HEIGHT), width(), scaled(STATUS_BAR_HEIGHT));
  if (m_dropHighlight != nullptr)
    m_dropHighlight->setGeometry(rect());
  // A caption shortened at one width may show in full at another.
  for (int box = 0; box < BOX_COUNT; ++box)
    showBoxCaption(box);
}

}  // namespace ardunex
