// SPDX-License-Identifier: GPL-2.0-or-later
// The program's one window: every control, the status bar, the command handlers and start-up and shutdown.
// The class is defined over several files: main_window.cpp (commands, start-up and shutdown, the Window
// interface), main_window_pages.cpp (building the controls and pages, anchoring), main_window_files.cpp
// (file dialogs and drops), main_window_status.cpp (log, status bar and progress) and
// main_window_settings.cpp (the values the settings read and write).
#pragma once

#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/window.h"
#include "jobs/session.h"
#include "settings/settings_target.h"

class QAbstractButton;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTabWidget;
class QToolButton;
class QTreeWidget;

namespace ardunex {

class StatusLog;
class StatusPanels;

/// Registers the window's own fonts (a Tahoma-metric font and its bold) with the application, so that the
/// window looks the same whatever fonts the system has. The window calls it once; false when a font could
/// not be loaded.
bool loadWindowFonts();

/// The main window: the controls the user sees, bound to one Session that holds the run's state.
class TfMain : public QWidget, public Window {
  Q_OBJECT

 public:
  /// The window's outer bounds (frame included) in normal state, and its state.
  struct Placement {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    WindowState state = WindowState::Normal;
  };

  explicit TfMain(QWidget* parent = nullptr);
  ~TfMain() override;

  Session& session() { return m_session; }

  /// Settings hooks: onRegRead runs at the first activation, onRegWrite at every close. Either may throw
  /// Error; a failing read leaves the stream boxes unreset, a failing write is reported and the window
  /// closes all the same.
  std::function<void()> onRegRead;
  std::function<void()> onRegWrite;

  /// A file named on the command line: opened at the first activation, after the settings, exactly as a
  /// drop of it (a relative path is taken from the current folder).
  void setStartFile(const QString& path) { m_startFile = path; }

  /// Shows a failure to the user; by default a modal error box. Tests replace it to capture the text.
  using ErrorReporter = std::function<void(const QString& text)>;
  void setErrorReporter(ErrorReporter reporter) { m_reportError = std::move(reporter); }
  /// Shows the error box with the report text of a message (a full stop added where needed).
  void reportError(const std::string& message);

  /// Placement: the outer bounds of the normal (not maximised or minimised) window, and its state. Bounds
  /// on their way to the window system are reported as asked.
  Placement windowPlacement() const;
  /// Sets the outer bounds of the normal window; sizes below the minimum give the minimum. The bounds are
  /// applied again until the window system has framed the window and put the frame where they say.
  void setWindowBounds(int left, int top, int width, int height);
  /// The minimum size with the frame the window system draws around it.
  QSize minimumOuterSize() const;
  void setWindowStateValue(WindowState state);

  /// Width of the playlist tree, in pixels.
  int treeWidth() const;
  void setTreeWidth(int width);

  /// Options page values besides the getters of Window.
  void setWorkdir(const std::string& text);
  void setVideoExt(const std::string& text);
  void setAudioExt(const std::string& text);
  void setContinueOnSecond(bool checked);
  void setFastCheck(bool checked);
  void setOptionOn(Option option, bool checked);

  /// Status bar panel text (with its leading blank) and width as slog set them; the panel may show the text
  /// shortened when the bar is too narrow.
  QString panelText(int panel) const;
  int panelWidth(int panel) const;
  /// Brings the Status log up to date with the lines logged since it was last shown.
  void flushLog();
  /// The window's caption with its program name and version.
  static QString caption();

  /// Design pixels at 96 dpi converted to this screen's pixels.
  int scaled(int designPixels) const;

  // Event handlers named after their control and event.
  void bCheckClick();
  void bDemuxClick();
  void bReadXPLClick();
  void bCancelClick();
  void bbEVOClick();
  void bbXPLClick();
  /// The output folder's browse button: a folder dialog for the Options page's output folder.
  void bbWorkdirClick();
  /// The disc's browse button: a folder dialog for a disc to open.
  void bbDiscClick();
  /// A modal folder dialog; the folder chosen in native form, empty when none was.
  QString chooseFolder(const QString& title, const QString& objectName, const QString& start);
  /// A title chosen on the titles page (its row).
  void tvTitlesClick(int row);
  /// The About box: version, licence and the licences of the parts the program is built with.
  void bAboutClick();
  void cbVideoClick();
  void WMDropFiles(const QList<QUrl>& urls);
  void FormShow();
  void FormActivate();
  /// Saves the settings; false (after reporting) when that failed. The window closes either way.
  bool FormClose();

  // Window
  void log(std::string_view text) override;
  void slog(std::string_view text, std::uint8_t panel) override;
  void processEvents() override;
  void repaint() override;
  void progress(std::int64_t done, std::int64_t total) override;
  bool confirm(std::string_view question) override;

  bool boxChecked(int box) const override;
  void setBoxChecked(int box, bool checked) override;
  bool boxEnabled(int box) const override;
  void setBoxEnabled(int box, bool enabled) override;
  std::string boxCaption(int box) const override;
  void setBoxCaption(int box, std::string_view caption) override;
  void setBoxDetail(int box, std::string_view detail) override;

  bool buttonEnabled(Button button) const override;
  void setButtonEnabled(Button button, bool enabled) override;
  void showPage(Page page) override;

  std::string workdir() const override;
  std::string videoExt() const override;
  std::string audioExt() const override;
  bool continueOnSecond() const override;
  bool fastCheck() const override;
  bool optionOn(Option option) const override;
  void setOptionsEnabled(bool enabled) override;

  std::string evoFileText() const override;
  void setEvoFileText(std::string_view text) override;
  std::string xplFileText() const override;
  void setXplFileText(std::string_view text) override;

  void setXplMemoVisible(bool visible) override;
  void setXplMemo(const std::vector<std::string>& lines) override;
  void setXplTree(const std::vector<TreeNode>& roots) override;
  void setTitles(const std::vector<TitleRow>& rows) override;
  void selectTitle(int row) override;

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  /// Edges a control keeps its distance to when the window is resized. A stream box in one of a page's two
  /// columns takes half of the width the window gains: the left column grows, the right one moves and grows.
  enum Anchor {
    AnchorLeft = 1,
    AnchorTop = 2,
    AnchorRight = 4,
    AnchorBottom = 8,
    AnchorLeftColumn = 16,
    AnchorRightColumn = 32
  };
  struct Anchored {
    QWidget* widget;
    QRect design;  // in screen pixels, relative to the design client size
    int anchors;
  };

  void createControls();
  void createPages();
  void createOptionsPage(QWidget* page);
  /// The titles page, kept out of the page control until a disc is opened.
  void createTitlesPage();
  void createStatusBar();
  void place(QWidget* widget, int left, int top, int width, int height, int anchors);
  /// Anchors a control inside a page: pages grow exactly as the window does.
  void anchorInPage(QWidget* widget, int anchors);
  QRect designRect(int left, int top, int width, int height) const;
  /// Where an anchored control stands in a client area of the given size.
  QRect anchoredRect(const Anchored& anchored, QSize client) const;
  Anchored& anchoredOf(const QWidget* widget);
  /// Makes room for what the window's font needs, where it is wider than the design font: wider command
  /// buttons, the Options page's columns moved apart; the design positions stay where the content fits. The
  /// window's minimum and first size then hold every page and the whole tab row.
  void fitToContent();
  /// Places the Options page's fields and check boxes, each column after the widest text before it; the
  /// width the page needs beyond pageWidth.
  int fitOptionsPage(int pageWidth);
  /// A stream box's caption, shortened with an ellipsis to the box's width, and its tooltip: the hint, the
  /// whole caption when it is shortened, and what is known of the stream.
  void showBoxCaption(int box);
  /// Widens the playlist tree, up to two thirds of its page, until the entries it shows (those of expanded
  /// entries included) show in full.
  void widenTreeForEntries();
  /// The question asked when the window is closed during a job; false when the window stays.
  bool closeDuringJob();
  /// The end of a job for the status bar and the caption: the progress goes, a failure leaves a hint on how to
  /// go on, a demux offers its output folder.
  void endJob(const char* failureHint, const QString& outputFolder);
  /// The folder a demux writes to: the output folder of the Options page, or the EVO file's.
  QString outputFolder() const;
  /// Runs a command; any failure is shown in the error box and goes no further.
  void command(const std::function<void()>& handler);
  /// Runs a job command: as command(), and a failure leaves the status bar as a normal end does, with a
  /// hint on how to go on; the focus stays on the control that had it.
  void job(const std::function<void()>& handler, const char* failureHint, bool demux = false);
  void closeIfPending();
  void firstActivation();
  bool showOpenDialog(DialogMemory& memory, const QString& title, const QString& filter, bool mustExist,
                      const QString& defaultSuffix, QString& chosen);
  /// The message box a failure or question is shown in: in the window's font, wide enough for its title.
  void fitToTitle(QWidget* box) const;
  /// The frame the window system draws around the window; null while it is not known.
  QMargins frameMargins() const;
  /// Applies the bounds on their way, with the frame as far as it is known.
  void placeBounds();
  /// Timer tick while bounds are on their way: applies them again until the frame stands in place.
  void watchFrame();
  /// A window restored from maximised or minimised takes bounds that were on their way.
  void restoredFromMaximised();

  Session m_session;
  double m_scale = 1.0;
  QSize m_designClient;
  std::vector<Anchored> m_anchored;

  QLineEdit* m_eEVOfile = nullptr;
  QToolButton* m_bbEVO = nullptr;
  QPushButton* m_bCheck = nullptr;
  QLineEdit* m_eXPLfile = nullptr;
  QToolButton* m_bbXPL = nullptr;
  QPushButton* m_bReadXPL = nullptr;
  QTabWidget* m_pageControl = nullptr;
  QPushButton* m_bDemux = nullptr;
  QLabel* m_imLogo = nullptr;
  QPushButton* m_bCancel = nullptr;
  QToolButton* m_bAbout = nullptr;
  QToolButton* m_bbDisc = nullptr;
  QWidget* m_tsTitles = nullptr;
  QTreeWidget* m_tvTitles = nullptr;
  StatusPanels* m_statusBar = nullptr;
  QProgressBar* m_progress = nullptr;
  QToolButton* m_bOpenFolder = nullptr;
  QString m_openFolder;  // the folder the last demux wrote to
  QWidget* m_dropHighlight = nullptr;
  QPlainTextEdit* m_mMessage = nullptr;
  std::unique_ptr<StatusLog> m_log;
  std::array<QCheckBox*, BOX_COUNT> m_boxes{};
  std::array<std::string, BOX_COUNT> m_captions;
  QTreeWidget* m_tvXPL = nullptr;
  QSplitter* m_splXPL = nullptr;
  QPlainTextEdit* m_mXPL = nullptr;
  QLineEdit* m_eVideoExt = nullptr;
  QLineEdit* m_eAudioExt = nullptr;
  QLineEdit* m_eWorkdir = nullptr;
  QToolButton* m_bbWorkdir = nullptr;
  QCheckBox* m_cbContinue = nullptr;
  QCheckBox* m_cbFastCheck = nullptr;
  std::array<QCheckBox*, OPTION_COUNT> m_optionBoxes{};
  /// Whether mkvmerge was found when the window was made: without it, Make MKV stays off and greyed.
  bool m_mkvmergeFound = false;
  int m_treeWidth = 0;

  ErrorReporter m_reportError;
  bool m_shown = false;
  bool m_activated = false;
  QString m_startFile;
  bool m_settingsSaved = false;  // saved (or tried once) by a close that waits for the running job
  bool m_closePending = false;
  bool m_logFlushQueued = false;
  /// Outer bounds asked for and not yet confirmed by the window system.
  std::optional<QRect> m_pendingBounds;
  QTimer m_frameWatch;  // checks the frame until it stands where m_pendingBounds says
  int m_frameChecksLeft = 0;
  int m_frameSettled = 0;
};

}  // namespace ardunex
