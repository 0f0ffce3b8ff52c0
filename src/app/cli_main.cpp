// SPDX-License-Identifier: GPL-2.0-or-later
// ardunex-cli: scans and demuxes EVO files from the command line, through the same jobs as the window.
#include <algorithm>
#include <array>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include "app/console_window.h"
#include "app/json_report.h"
#include "app/title_listing.h"
#include "app/utf8_arguments.h"
#include "base/errors.h"
#include "jobs/disc.h"
#include "jobs/mkvmerge_runner.h"
#include "jobs/options.h"
#include "jobs/session.h"

namespace {

using namespace ardunex;

constexpr const char* USAGE =
    "Usage: ardunex-cli [options] FILE.EVO\n"
    "       ardunex-cli [options] --disc DIR [--title N]\n"
    "       ardunex-cli --disc DIR --titles [--json]\n"
    "Try 'ardunex-cli --help' for more information.\n";

constexpr const char* HELP =
    "Usage: ardunex-cli [options] FILE.EVO\n"
    "       ardunex-cli [options] --disc DIR [--title N]\n"
    "       ardunex-cli --disc DIR --titles [--json]\n"
    "\n"
    "Splits an HD DVD video object (.EVO) into raw elementary-stream files.\n"
    "The file is scanned first (\"Read EVO\"); every stream found gets a box, and\n"
    "the ticked boxes are then demuxed (\"Demux\"), one output file per box:\n"
    "  OUTPUT/BASE.LABEL.EXT   e.g. FEATURE_1.VC-1.stream.00.mpv\n"
    "A feature stored as NAME_1.EVO and NAME_2.EVO is demuxed into one set of files.\n"
    "With --disc a title of a disc is demuxed: its clips in playlist order into one\n"
    "set of files named after its first clip, the boxes labelled from the playlist.\n"
    "\n"
    "Options:\n"
    "  -s, --scan            only scan: print the log and the boxes, write nothing\n"
    "      --video LIST      demux these video boxes only (e.g. 0 or 0,1)\n"
    "      --audio LIST      demux these audio boxes only (e.g. 0,3)\n"
    "      --sub LIST        with --subpictures: demux these subpicture boxes only\n"
    "                        without --video/--audio/--sub every stream found is\n"
    "                        demuxed; with any of them, only the listed boxes are\n"
    "  -o, --output DIR      output folder, made when missing (default: the folder\n"
    "                        of the EVO file)\n"
    "      --video-ext EXT   video file extension (default mpv)\n"
    "      --audio-ext EXT   audio file extension, at most 5 characters (default mpa)\n"
    "      --no-continue     do not continue on the second part (NAME_2.EVO)\n"
    "      --full-scan       scan the whole file, not only its first 4 MiB\n"
    "      --xpl FILE        read this playlist (VPLST000.XPL) after the scan: boxes and\n"
    "                        output names take the playlist's labels\n"
    "      --print-xpl       with --xpl: print the playlist's tag lines and tree\n"
    "      --json            only scan, and print one JSON object describing every\n"
    "                        stream met and every box instead of the log\n"
    "      --disc DIR        the disc: the folder holding HVDVD_TS and ADV_OBJ, or\n"
    "                        HVDVD_TS, or any file inside the disc; its playlist\n"
    "                        is read as with --xpl, and every option above works\n"
    "      --title N         with --disc: the title to demux (default: the longest)\n"
    "      --titles          with --disc: list the titles of the disc's playlist with\n"
    "                        their clips and tracks (with --json as one JSON object\n"
    "                        that also holds the chapters)\n";

// After HELP come the opt-in options, one per line of OPTION_INFO, then this.
constexpr const char* HELP_END =
    "  -h, --help            show this help\n"
    "\n"
    "The log lines go to standard output, progress to standard error when it is a\n"
    "terminal. Ctrl-C stops the run cleanly: the files written so far are closed,\n"
    "and a running mkvmerge is stopped and its partial MKV removed. SIGTERM and\n"
    "SIGHUP stop it the same way.\n"
    "\n"
    "Exit status: 0 on success, 1 on a failure (its message on standard error) or\n"
    "when the scan found no stream (the log says so; nothing is demuxed), 2 on a\n"
    "usage error, 3 when the demux wrote encrypted packets (the log names the\n"
    "streams), 4 when the run ended but its log could not be written to standard\n"
    "output (full disk, closed pipe), 130 when stopped by Ctrl-C, 143 by SIGTERM,\n"
    "129 by SIGHUP.\n";

struct Arguments {
  std::string evoFile;
  std::optional<std::string> disc;
  std::optional<int> title;
  bool titles = false;
  std::string xplFile;
  bool scanOnly = false;
  bool printXpl = false;
  bool fullScan = false;
  bool json = false;
  bool noContinue = false;
  std::optional<std::string> output;
  std::optional<std::string> videoExt;
  std::optional<std::string> audioExt;
  std::optional<std::set<int>> video;
  std::optional<std::set<int>> audio;
  std::optional<std::set<int>> sub;
  std::array<bool, OPTION_COUNT> options = defaultOptions();
};

struct UsageError {
  std::string message;
};

std::set<int> parseList(const std::string& option, const std::string& text, int count) {
  std::set<int> numbers;
  std::size_t at = 0;
  while (at <= text.size()) {
    const std::size_t comma = std::min(text.find(',', at), text.size());
    const std::string item = text.substr(at, comma - at);
    if (item.empty() || item.size() > 2 || item.find_first_not_of("0123456789") != std::string::npos)
      throw UsageError{"invalid box number '" + item + "' for " + option};
    const int number = std::stoi(item);
    if (number >= count)
      throw UsageError{option + " takes box numbers 0 to " + std::to_string(count - 1)};
    numbers.insert(number);
    at = comma + 1;
  }
  return numbers;
}

// Characters of a UTF-8 text, as the window's box counts them: every byte but the continuation bytes.
std::size_t characterCount(const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

const OptionInfo* findOption(const std::string& arg) {
  for (const OptionInfo& info : OPTION_INFO)
    if (arg == info.flag)
      return &info;
  return nullptr;
}

// Prints the help, with a line for each opt-in option wrapped after its flag column.
void printHelp(std::FILE* out) {
  constexpr std::size_t FLAG_COLUMN = 24;
  constexpr std::size_t LINE_WIDTH = 79;
  std::fputs(HELP, out);
  for (const OptionInfo& info : OPTION_INFO) {
    std::string line = "      " + std::string(info.flag);
    line.resize(std::max(line.size() + 1, FLAG_COLUMN), ' ');
    const std::string hint = (info.onByDefault ? "turns off (on by default): " : "") + std::string(info.hint);
    std::string_view words = hint;
    while (!words.empty()) {
      std::size_t take = words.size();
      if (line.size() + take > LINE_WIDTH) {
        take = words.rfind(' ', LINE_WIDTH - line.size());
        if (take == std::string_view::npos || take == 0)
          take = std::min(words.size(), LINE_WIDTH - line.size());
      }
      line += words.substr(0, take);
      words.remove_prefix(std::min(words.size(), take + (take < words.size() && words[take] == ' ' ? 1 : 0)));
      std::fprintf(out, "%s\n", line.c_str());
      line.assign(FLAG_COLUMN, ' ');
    }
  }
  std::fputs(HELP_END, out);
}

Arguments parseArguments(int argc, char** argv, bool& help) {
  Arguments args;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc)
        throw UsageError{"option " + arg + " needs a value"};
      return argv[++i];
    };
    if (arg == "-h" || arg == "--help")
      help = true;
    else if (arg == "-s" || arg == "--scan")
      args.scanOnly = true;
    else if (arg == "--video")
      args.video = parseList(arg, value(), 2);
    else if (arg == "--audio")
      args.audio = parseList(arg, value(), AUDIO_BOX_COUNT);
    else if (arg == "--sub")
      args.sub = parseList(arg, value(), SUB_BOX_COUNT);
    else if (arg == "-o" || arg == "--output")
      args.output = value();
    else if (arg == "--video-ext")
      args.videoExt = value();
    else if (arg == "--audio-ext") {
      args.audioExt = value();
      if (characterCount(*args.audioExt) > static_cast<std::size_t>(AUDIO_EXT_MAX_LENGTH))
        throw UsageError{"the audio file extension has at most " + std::to_string(AUDIO_EXT_MAX_LENGTH) +
                         " characters"};
    } else if (arg == "--no-continue")
      args.noContinue = true;
    else if (arg == "--full-scan")
      args.fullScan = true;
    else if (arg == "--json")
      args.json = true;
    else if (arg == "--xpl")
      args.xplFile = value();
    else if (arg == "--print-xpl")
      args.printXpl = true;
    else if (arg == "--disc")
      args.disc = value();
    else if (arg == "--titles")
      args.titles = true;
    else if (arg == "--title") {
      const std::string number = value();
      if (number.empty() || number.size() > 9 || number.find_first_not_of("0123456789") != std::string::npos)
        throw UsageError{"invalid title number '" + number + "' for --title"};
      args.title = std::stoi(number);
    } else if (const OptionInfo* info = findOption(arg))
      args.options[static_cast<std::size_t>(info->option)] = !info->onByDefault;
    else if (arg == "--")
      for (++i; i < argc; ++i)
        files.emplace_back(argv[i]);
    else if (arg.size() > 1 && arg[0] == '-')
      throw UsageError{"unknown option " + arg};
    else
      files.push_back(arg);
  }
  if (help)
    return args;
  if (args.titles && !args.disc)
    throw UsageError{"--titles needs --disc DIR"};
  if (args.title && (!args.disc || args.titles))
    throw UsageError{args.titles ? "--titles lists every title: leave out --title" : "--title needs --disc DIR"};
  if (args.disc) {
    if (!files.empty())
      throw UsageError{"--disc takes the disc folder instead of an EVO file"};
    if (!args.xplFile.empty())
      throw UsageError{"--disc reads the disc's own playlist: leave out --xpl"};
    if (args.titles)
      return args;
  } else {
    if (files.size() != 1)
      throw UsageError{files.empty() ? "no EVO file given" : "only one EVO file can be given"};
    args.evoFile = files.front();
    if (args.printXpl && args.xplFile.empty())
      throw UsageError{"--print-xpl needs --xpl FILE"};
    if (args.options[static_cast<std::size_t>(Option::Chapters)] && args.xplFile.empty())
      throw UsageError{"--chapters needs --xpl FILE"};
  }
  if (args.json && args.printXpl)
    throw UsageError{"--json prints nothing but the report: leave out --print-xpl"};
  return args;
}

void printTree(std::FILE* out, const std::vector<TreeNode>& nodes, int depth) {
  for (const TreeNode& node : nodes) {
    std::fprintf(out, "%*s%s\n", depth * 2, "", node.text.c_str());
    printTree(out, node.children, depth + 1);
  }
}

void printBoxes(std::FILE* out, const ConsoleWindow& window) {
  for (int box = 0; box < BOX_COUNT; ++box) {
    const bool scanBox = box < 2 || (box >= audioBox(0) && box < subBox(0));
    if (!scanBox && !window.boxEnabled(box) && !window.boxChecked(box))
      continue;
    std::fprintf(out, "%-10s %-8s %-9s %s\n", boxName(box).c_str(), window.boxEnabled(box) ? "enabled" : "disabled",
                 window.boxChecked(box) ? "ticked" : "unticked", window.boxCaption(box).c_str());
  }
}

// Ticks exactly the listed boxes of the demuxable ones; a listed box must stand for a stream found.
void applySelection(ConsoleWindow& window, const Arguments& args) {
  if (!args.video && !args.audio && !args.sub)
    return;
  auto select = [&](int box, bool wanted) {
    if (wanted && !window.boxEnabled(box))
      throw Error("No stream for " + boxName(box));
    window.setBoxChecked(box, wanted);
  };
  for (int k = 0; k < VIDEO_BOX_COUNT; ++k)
    select(videoBox(k), args.video && args.video->count(k));
  for (int k = 0; k < AUDIO_BOX_COUNT; ++k)
    select(audioBox(k), args.audio && args.audio->count(k));
  for (int k = 0; k < SUB_BOX_COUNT; ++k)
    select(subBox(k), args.sub && args.sub->count(k));
}

// The exit status of a demux that wrote encrypted packets, and of a run whose log could not be written
// to standard output.
constexpr int ENCRYPTED_STATUS = 3;
// The exit status of a scan that met no stream, as of a failure.
constexpr int NO_STREAM_STATUS = 1;
constexpr int LOG_LOST_STATUS = 4;

// Prints the titles of the disc a path is in; the exit status as for a scan.
int listTitles(const std::string& path, bool json) {
  try {
    const Disc disc = readDisc(path, PosixFileSystem::instance());
    std::fputs(json ? (titleListingJson(disc) + "\n").c_str() : titleListingText(disc).c_str(), stdout);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", reportText(error.what()).c_str());
    return 1;
  }
  ConsoleWindow listing(stdout, stderr, false);
  return listing.checkOutput() ? 0 : LOG_LOST_STATUS;
}

// Chooses the title --title names, else the default one; a number the disc does not have is a usage error
// that names the titles there are.
void chooseDiscTitle(Session& session, std::optional<int> number) {
  const Disc& disc = *session.disc();
  if (!number) {
    if (!disc.defaultTitle)
      throw Error("No title in " + disc.playlist);
    session.chooseTitle(*disc.defaultTitle);
    return;
  }
  std::string numbers;
  for (std::size_t k = 0; k < disc.titles.size(); ++k) {
    if (disc.titles[k].number == *number) {
      session.chooseTitle(k);
      return;
    }
    numbers += (numbers.empty() ? "" : ", ") + std::to_string(disc.titles[k].number);
  }
  throw UsageError{"no title " + std::to_string(*number) + " on the disc " + disc.root + "; " +
                   (numbers.empty() ? std::string("it has none") : "its titles are " + numbers)};
}

// The bytes the scan of a title is over: all its clips on the disc.
std::int64_t titleSize(const Session& session) {
  std::int64_t size = 0;
  for (const std::string& clip : session.titleClips())
    size += PosixFileSystem::instance().openRead(clip)->size();
  return size;
}

extern "C" void onStopSignal(int signal) {
  int none = 0;
  ConsoleWindow::stopSignal.compare_exchange_strong(none, signal);
  ConsoleWindow::interrupted = true;
}

}  // namespace

int main(int argc, char** argv) {
  const Utf8Arguments utf8Arguments(argc, argv);
  Arguments args;
  bool help = false;
  try {
    args = parseArguments(argc, argv, help);
  } catch (const UsageError& error) {
    std::fprintf(stderr, "ardunex-cli: %s\n%s", error.message.c_str(), USAGE);
    return 2;
  }
#ifdef SIGPIPE
  // A closed pipe on standard output must not end a demux half way: writes fail instead, and the lost log
  // is reported in the exit status.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  if (help) {
    printHelp(stdout);
    ConsoleWindow helpWindow(stdout, stderr, false);
    return helpWindow.checkOutput() ? 0 : LOG_LOST_STATUS;
  }
  if (args.disc && args.titles)
    return listTitles(*args.disc, args.json);
  // Without mkvmerge an MKV cannot be made: refused before anything is read or written.
  if (args.options[static_cast<std::size_t>(Option::MakeMkv)] && !args.scanOnly && !args.json &&
      findMkvmerge().empty()) {
    std::fprintf(stderr, "ardunex-cli: %s\n%s", MKVMERGE_MISSING, USAGE);
    return 2;
  }

  ConsoleWindow window(args.json ? nullptr : stdout, stderr, isatty(fileno(stderr)) != 0);
  Session session(window);
  window.session = &session;
  window.fastCheckChecked = !args.fullScan;
  window.continueChecked = !args.noContinue;
  window.optionsOn = args.options;
  if (args.output)
    window.workdirText = *args.output;
  if (args.videoExt)
    window.videoExtText = *args.videoExt;
  if (args.audioExt)
    window.audioExtText = *args.audioExt;
  // Ctrl-C, and the end of the terminal or session, stop the run cleanly: the files are closed with what
  // they hold.
  std::signal(SIGINT, onStopSignal);
  std::signal(SIGTERM, onStopSignal);
#ifdef SIGHUP
  std::signal(SIGHUP, onStopSignal);
#endif
  session.setStopFlag(&ConsoleWindow::interrupted);
#ifdef SIGXFSZ
  // A write beyond the file-size limit must fail like a full disk (EFBIG), so that the files are closed
  // with what they hold and the failure is reported, instead of the signal ending the process.
  std::signal(SIGXFSZ, SIG_IGN);
#endif

  try {
    session.Resetcbs();
    if (args.disc) {
      session.openDisc(*args.disc, false);
      chooseDiscTitle(session, args.title);
    } else {
      session.chooseEvoFile(args.evoFile);
    }
    session.bCheckClick();
    // A title's boxes take the labels of its playlist, as after --xpl.
    if (args.disc || !args.xplFile.empty()) {
      if (!args.disc)
        session.chooseXplFile(args.xplFile);
      session.bReadXPLClick();
      if (args.printXpl) {
        for (const std::string& line : session.xplLines())
          std::printf("%s\n", line.c_str());
        printTree(stdout, window.xplTree, 0);
      }
    }
    if (args.json) {
      window.endProgress();
      const std::string file = args.disc ? window.evoFileText() : args.evoFile;
      const std::int64_t size = args.disc ? titleSize(session) : PosixFileSystem::instance().openRead(file)->size();
      std::printf("%s\n", jsonReport(session, window, file, size).c_str());
      ConsoleWindow report(stdout, stderr, false);
      const bool written = report.checkOutput();
      if (ConsoleWindow::interrupted)
        return 128 + (ConsoleWindow::stopSignal != 0 ? ConsoleWindow::stopSignal.load() : SIGINT);
      if (!session.noStreamFound().empty()) {
        std::fprintf(stderr, "%s\n", session.noStreamFound().c_str());  // the report has no log to say it
        return NO_STREAM_STATUS;
      }
      return written ? 0 : LOG_LOST_STATUS;
    }
    printBoxes(stdout, window);
    // A file without any stream is no success: nothing is demuxed from it.
    if (!session.noStreamFound().empty() && !ConsoleWindow::interrupted) {
      window.checkOutput();
      return NO_STREAM_STATUS;
    }
    if (!args.scanOnly && !ConsoleWindow::interrupted) {
      applySelection(window, args);
      session.bDemuxClick();
    }
  } catch (const UsageError& error) {
    window.checkOutput();
    std::fprintf(stderr, "ardunex-cli: %s\n%s", error.message.c_str(), USAGE);
    return 2;
  } catch (const Error& error) {
    window.endProgress();
    std::fprintf(stderr, "%s\n", reportText(error.what()).c_str());
    window.checkOutput();
    return 1;
  } catch (const std::exception& error) {
    window.endProgress();
    std::fprintf(stderr, "%s\n", reportText(error.what()).c_str());
    window.checkOutput();
    return 1;
  }
  window.endProgress();
  const bool logWritten = window.checkOutput();
  if (ConsoleWindow::interrupted)
    return 128 + (ConsoleWindow::stopSignal != 0 ? ConsoleWindow::stopSignal.load() : SIGINT);
  if (!logWritten)
    return LOG_LOST_STATUS;
  return session.wroteEncrypted() ? ENCRYPTED_STATUS : 0;
}
