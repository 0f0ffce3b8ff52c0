// SPDX-License-Identifier: GPL-2.0-or-later
// RegRead and RegWrite: the settings values, their order, kinds and the rules for applying them.
#include "settings/settings_persistence.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>

#include "jobs/options.h"

namespace ardunex {

namespace {

constexpr std::string_view WINDOW_STATE = "WindowState";
constexpr std::string_view TOP = "Top";
constexpr std::string_view LEFT = "Left";
constexpr std::string_view WIDTH = "Width";
constexpr std::string_view HEIGHT = "Height";
constexpr std::string_view TREE_WIDTH = "TreeWidth";
constexpr std::string_view AUDIO_EXT = "AudioExt";
constexpr std::string_view VIDEO_EXT = "VideoExt";
constexpr std::string_view WORKDIR = "Workdir";
constexpr std::string_view EVO_DIR = "EVOdir";
constexpr std::string_view XPL_DIR = "XPLdir";
constexpr std::string_view CONTINUE = "Continue";
constexpr std::string_view FAST_CHECK = "FastCheck";
constexpr std::string_view INSTALL = "Install";

constexpr double MS_PER_DAY = 86'400'000.0;

/// Closes the store's key on every way out of a read or a failed write.
class KeyCloser {
 public:
  explicit KeyCloser(SettingsStore& store) : m_store(store) {}
  ~KeyCloser() {
    if (m_armed)
      m_store.closeKey();
  }
  KeyCloser(const KeyCloser&) = delete;
  KeyCloser& operator=(const KeyCloser&) = delete;
  /// Closes the key now; false when the values written could not be kept.
  bool close() {
    m_armed = false;
    return m_store.closeKey();
  }

 private:
  SettingsStore& m_store;
  bool m_armed = true;
};

WindowState toWindowState(std::int32_t stored) {
  switch (stored) {
    case static_cast<int>(WindowState::Minimised):
      return WindowState::Minimised;
    case static_cast<int>(WindowState::Maximised):
      return WindowState::Maximised;
    default:
      // 0, and anything outside the three states, restores the window normally.
      return WindowState::Normal;
  }
}

}  // namespace

void RegRead(SettingsStore& store, SettingsTarget& target, PathState& paths) {
  const bool opened = store.openKey(SETTINGS_KEY, false);
  if (const std::string notice = store.takeNotice(); !notice.empty())
    target.logLine(notice);
  if (!opened)
    return;
  KeyCloser closer(store);
  auto has = [&](std::string_view name) { return store.valueExists(name); };

  // Bounds first, then the state: a window saved maximised takes its normal bounds, then maximises.
  if (has(WIDTH))
    target.setWindowWidth(std::max(target.minimumWindowWidth(), readInteger(store, WIDTH)));
  if (has(HEIGHT))
    target.setWindowHeight(std::max(target.minimumWindowHeight(), readInteger(store, HEIGHT)));
  if (has(TOP))
    target.setWindowTop(readInteger(store, TOP));
  if (has(LEFT))
    target.setWindowLeft(readInteger(store, LEFT));
  if (has(WINDOW_STATE))
    target.setWindowState(toWindowState(readInteger(store, WINDOW_STATE)));
  // A negative width cannot be given to a widget; it collapses the tree instead.
  if (has(TREE_WIDTH))
    target.setTreeWidth(std::max(0, readInteger(store, TREE_WIDTH)));
  if (has(AUDIO_EXT))
    target.setAudioExt(readString(store, AUDIO_EXT));
  if (has(VIDEO_EXT))
    target.setVideoExt(readString(store, VIDEO_EXT));
  if (has(WORKDIR))
    target.setWorkdir(readString(store, WORKDIR));
  if (has(EVO_DIR))
    paths.EVOdir = readString(store, EVO_DIR);
  if (has(XPL_DIR))
    paths.XPLdir = readString(store, XPL_DIR);
  if (has(CONTINUE))
    target.setContinueOnSecond(readInteger(store, CONTINUE) != 0);
  if (has(FAST_CHECK))
    target.setFastCheck(readInteger(store, FAST_CHECK) != 0);
  for (const OptionInfo& info : OPTION_INFO)
    if (has(info.settingsKey))
      target.setOptionOn(info.option, readInteger(store, info.settingsKey) != 0);
}

void RegWrite(SettingsStore& store, const SettingsTarget& target, const PathState& paths,
              const std::function<double()>& now) {
  if (!store.openKey(SETTINGS_KEY, true))
    return;
  KeyCloser closer(store);

  const WindowState state = target.windowState();
  writeInteger(store, WINDOW_STATE, static_cast<std::int32_t>(state));
  if (state != WindowState::Maximised) {
    writeInteger(store, TOP, target.windowTop());
    writeInteger(store, LEFT, target.windowLeft());
    writeInteger(store, WIDTH, target.windowWidth());
    writeInteger(store, HEIGHT, target.windowHeight());
  }
  writeInteger(store, TREE_WIDTH, target.treeWidth());
  writeString(store, AUDIO_EXT, target.audioExt());
  writeString(store, VIDEO_EXT, target.videoExt());
  writeString(store, WORKDIR, target.workdir());
  writeString(store, EVO_DIR, paths.EVOdir);
  writeString(store, XPL_DIR, paths.XPLdir);
  writeInteger(store, CONTINUE, target.continueOnSecond() ? 1 : 0);
  writeInteger(store, FAST_CHECK, target.fastCheck() ? 1 : 0);
  // An option is written once it has been changed from its default, so that files of users who never
  // change one stay as they were.
  for (const OptionInfo& info : OPTION_INFO) {
    const bool on = target.optionOn(info.option);
    if (on != info.onByDefault || store.valueExists(info.settingsKey))
      writeInteger(store, info.settingsKey, on ? 1 : 0);
  }
  if (!store.valueExists(INSTALL))
    writeBinary(store, INSTALL, doubleBytes(now()));

  // A store that keeps its values until the key closes loses all of this save when that fails; it names the
  // place and the reason where it can.
  if (!closer.close()) {
    const std::string failure = store.saveFailure();
    throw failure.empty() ? setDataError(WINDOW_STATE) : SettingsError(failure);
  }
}

double oleDate(int year, unsigned month, unsigned day, int hour, int minute, int second, int millisecond) {
  using namespace std::chrono;
  constexpr sys_days OLE_EPOCH = sys_days{std::chrono::year{1899} / December / 30};
  const sys_days date = sys_days{std::chrono::year{year} / std::chrono::month{month} / std::chrono::day{day}};
  const double days = static_cast<double>((date - OLE_EPOCH).count());
  const double ms = ((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond;
  return days + ms / MS_PER_DAY;
}

double currentOleDate() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const auto whole = floor<seconds>(now);
  const auto millisecond = static_cast<int>(duration_cast<milliseconds>(now - whole).count());
  const std::time_t seconds = system_clock::to_time_t(whole);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &seconds);
#else
  localtime_r(&seconds, &local);
#endif
  return oleDate(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1), static_cast<unsigned>(local.tm_mday),
                 local.tm_hour, local.tm_min, local.tm_sec, millisecond);
}

std::vector<std::uint8_t> doubleBytes(double value) {
  static_assert(sizeof(double) == 8);
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  std::vector<std::uint8_t> bytes;
  bytes.reserve(sizeof bits);
  for (int i = 0; i < 8; ++i)
    bytes.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
  return bytes;
}

}  // namespace ardunex
