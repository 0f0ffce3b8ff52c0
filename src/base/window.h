// SPDX-License-Identifier: GPL-2.0-or-later
// The abstract window that the core drives: stream boxes, buttons, options, path fields, log and status bar.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/run_observer.h"
#include "base/stream_boxes.h"

namespace ardunex {

/// The command buttons and the browse buttons; BrowseDisc also stands for choosing a title of the open disc.
enum class Button { ReadEvo, ReadXpl, Demux, Cancel, BrowseEvo, BrowseXpl, BrowseDisc };

/// The opt-in options beyond the file extensions, folder, continuation and fast check. Every one but
/// KeepStreams (which only matters to MakeMkv) is off by default, and with all of them off scan and demux
/// behave exactly as without them.
enum class Option {
  EveryStream,   ///< streams whose number is taken, and MPEG audio, get boxes of their own
  DelayNames,    ///< audio and subpicture names carry the stream's delay against the video
  Subpictures,   ///< subpicture streams are scanned and written as SUP files
  Chapters,      ///< the playlist's chapters are written beside the streams
  MkvmergeFile,  ///< an mkvmerge option file is written after the demux
  LpcmWav,       ///< LPCM streams are written as WAV files
  MakeMkv,       ///< mkvmerge makes one Matroska file of the streams after the demux
  KeepStreams,   ///< the stream files stay beside the Matroska file (on by default)
};
inline constexpr int OPTION_COUNT = 8;

/// Pages of the window's page control, in tab order; the Titles page is there only once a disc is opened.
enum class Page { Status = 0, Video, Audio, Subpicture, Xpl, Options, Titles };

/// The most characters the audio file extension takes.
inline constexpr int AUDIO_EXT_MAX_LENGTH = 5;

/// One entry of the playlist tree, with its children.
struct TreeNode {
  std::string text;
  std::vector<TreeNode> children;
};

/// One title of an open disc as the titles page lists it.
struct TitleRow {
  std::string number;
  std::string name;
  std::string duration;
  std::string clips;
  std::string audio;
  std::string subtitles;
  /// All the listing says of the title: its line, then its clips with their marks and its tracks.
  std::string detail;
};

/// What the core needs from the window: the run observer of the engine, and the controls the jobs use. The Qt
/// window, the console front end and the tests implement it.
///
/// A change of a stream box's checked state, made through setBoxChecked or by the user, must run the
/// selection rule (Session::cbVideoClick) at once; setting a box to the state it already has must not.
class Window : public RunObserver {
 public:
  void log(std::string_view text) override = 0;
  void slog(std::string_view text, std::uint8_t panel) override = 0;
  /// Lets the window handle all pending user events (Cancel among them).
  void processEvents() override = 0;
  void repaint() override = 0;
  /// Windows without a progress display ignore it.
  void progress(std::int64_t done, std::int64_t total) override {
    (void)done;
    (void)total;
  }
  /// The Cancel button.
  void setCancelEnabled(bool enabled) final { setButtonEnabled(Button::Cancel, enabled); }
  /// Asks a yes/no question (the Cancel confirmation); true for Yes.
  virtual bool confirm(std::string_view question) = 0;

  virtual bool boxChecked(int box) const = 0;
  virtual void setBoxChecked(int box, bool checked) = 0;
  virtual bool boxEnabled(int box) const = 0;
  virtual void setBoxEnabled(int box, bool enabled) = 0;
  virtual std::string boxCaption(int box) const = 0;
  virtual void setBoxCaption(int box, std::string_view caption) = 0;
  /// What is known of the stream behind a box (parameters, delay), shown after the box's hint; empty
  /// shows the hint alone. Windows that show no hints ignore it.
  virtual void setBoxDetail(int box, std::string_view detail) {
    (void)box;
    (void)detail;
  }

  virtual bool buttonEnabled(Button button) const = 0;
  virtual void setButtonEnabled(Button button, bool enabled) = 0;
  virtual void showPage(Page page) = 0;

  /// Options page values, read once by each command at its start (JobOptions).
  virtual std::string workdir() const = 0;
  virtual std::string videoExt() const = 0;
  virtual std::string audioExt() const = 0;
  virtual bool continueOnSecond() const = 0;
  virtual bool fastCheck() const = 0;
  /// Whether an opt-in option is ticked.
  virtual bool optionOn(Option option) const = 0;
  /// Makes the Options page's boxes and fields available or not: a command reads them once at its start,
  /// so they are unavailable while it runs. Windows without such a page ignore it.
  virtual void setOptionsEnabled(bool enabled) { (void)enabled; }

  /// The two path fields (eEVOfile, eXPLfile).
  virtual std::string evoFileText() const = 0;
  virtual void setEvoFileText(std::string_view text) = 0;
  virtual std::string xplFileText() const = 0;
  virtual void setXplFileText(std::string_view text) = 0;

  /// The playlist page: the tag-line memo (mXPL) and the tree (tvXPL).
  virtual void setXplMemoVisible(bool visible) = 0;
  virtual void setXplMemo(const std::vector<std::string>& lines) = 0;
  virtual void setXplTree(const std::vector<TreeNode>& roots) = 0;

  /// The titles page: the titles of the disc just opened, and the title chosen (-1: none). Windows without
  /// such a page ignore them.
  virtual void setTitles(const std::vector<TitleRow>& rows) { (void)rows; }
  virtual void selectTitle(int row) { (void)row; }
};

}  // namespace ardunex
