// SPDX-License-Identifier: GPL-2.0-or-later
// RegRead and RegWrite over the settings file and over a registry-like store: order, kinds, rules, failures.
#include "settings/settings_persistence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "settings/file_settings_store.h"
#include "settings_fakes.h"
#include "support/ps_builder.h"

namespace ardunex {
namespace {

using test::FakeSettingsTarget;
using test::MemorySettingsStore;
using test::settingsFile;
using test::TempDir;

constexpr double FIRST_SAVE = 45000.5;
constexpr double LATER_SAVE = 46000.25;

const std::vector<std::string> ALL_VALUES_IN_WRITE_ORDER = {"WindowState", "Top",      "Left",      "Width",   "Height",
                                                            "TreeWidth",   "AudioExt", "VideoExt",  "Workdir", "EVOdir",
                                                            "XPLdir",      "Continue", "FastCheck", "Install"};

/// The shared moved window with other extensions and a wider tree.
FakeSettingsTarget movedWindow() {
  FakeSettingsTarget window = test::movedWindow(120);
  window.tree = 150;
  window.audio = "ac3";
  window.video = "vc1";
  return window;
}

TEST(SettingsPersistence, FirstRunAppliesNothingAndCreatesNoFile) {
  TempDir dir;
  FileSettingsStore store(dir.file("ardunex/settings.reg"));
  FakeSettingsTarget window;
  PathState paths;
  RegRead(store, window, paths);
  EXPECT_TRUE(window.applied.empty());
  EXPECT_FALSE(std::filesystem::exists(dir.file("ardunex")));
}

TEST(SettingsPersistence, RoundTripAppliesEveryValueInReadOrder) {
  TempDir dir;
  FileSettingsStore store(dir.file("ardunex/settings.reg"));
  PathState savedPaths;
  savedPaths.EVOdir = "/media/disc/HVDVD_TS/";
  savedPaths.XPLdir = "/media/disc/ADV_OBJ/";
  RegWrite(store, movedWindow(), savedPaths, [] { return FIRST_SAVE; });

  FakeSettingsTarget window;
  window.work = "/previous";
  PathState paths;
  RegRead(store, window, paths);
  EXPECT_EQ(window.applied, (std::vector<std::string>{"Width", "Height", "Top", "Left", "WindowState", "TreeWidth",
                                                      "AudioExt", "VideoExt", "Workdir", "Continue", "FastCheck"}));
  EXPECT_EQ(window.left, 120);
  EXPECT_EQ(window.top, -8);
  EXPECT_EQ(window.width, 640);
  EXPECT_EQ(window.height, 480);
  EXPECT_EQ(window.state, WindowState::Normal);
  EXPECT_EQ(window.tree, 150);
  EXPECT_EQ(window.audio, "ac3");
  EXPECT_EQ(window.video, "vc1");
  EXPECT_EQ(window.work, "");
  EXPECT_FALSE(window.continueTicked);
  EXPECT_TRUE(window.fastTicked);
  EXPECT_EQ(paths.EVOdir, savedPaths.EVOdir);
  EXPECT_EQ(paths.XPLdir, savedPaths.XPLdir);
}

TEST(SettingsPersistence, InstallIsWrittenOnceAsOleDate) {
  MemorySettingsStore store;
  FakeSettingsTarget window;
  RegWrite(store, window, PathState{}, [] { return FIRST_SAVE; });
  EXPECT_EQ(store.names(), ALL_VALUES_IN_WRITE_ORDER);
  window.tree = 200;
  RegWrite(store, window, PathState{}, [] { return LATER_SAVE; });
  EXPECT_EQ(*store.readValue("Install"), (RegValue{REG_BINARY_TYPE, doubleBytes(FIRST_SAVE)}));
  EXPECT_EQ(readInteger(store, "TreeWidth"), 200);
  // 45000.5 is 15 March 2023, noon; the bytes are the IEEE-754 double, little-endian.
  EXPECT_EQ(doubleBytes(FIRST_SAVE), (std::vector<std::uint8_t>{0x00, 0x00, 0x00, 0x00, 0x10, 0xF9, 0xE5, 0x40}));
  EXPECT_DOUBLE_EQ(oleDate(2023, 3, 15, 12, 0, 0, 0), FIRST_SAVE);
  EXPECT_DOUBLE_EQ(oleDate(1899, 12, 30, 6, 0, 0, 0), 0.25);
  EXPECT_NEAR(oleDate(2000, 1, 1, 0, 0, 0, 1), 36526.0 + 1.0 / 86'400'000.0, 1e-12);
}

TEST(SettingsPersistence, MaximisedCloseKeepsEarlierBounds) {
  MemorySettingsStore store;
  FakeSettingsTarget window = movedWindow();
  RegWrite(store, window, PathState{});

  FakeSettingsTarget maximised = movedWindow();
  maximised.state = WindowState::Maximised;
  maximised.left = maximised.top = 0;
  maximised.width = 1920;
  maximised.height = 1080;
  RegWrite(store, maximised, PathState{});
  EXPECT_EQ(readInteger(store, "WindowState"), 2);

  FakeSettingsTarget restarted;
  PathState paths;
  RegRead(store, restarted, paths);
  EXPECT_EQ(restarted.left, 120);
  EXPECT_EQ(restarted.top, -8);
  EXPECT_EQ(restarted.width, 640);
  EXPECT_EQ(restarted.height, 480);
  EXPECT_EQ(restarted.state, WindowState::Maximised);
  const auto applied = restarted.applied;
  EXPECT_LT(std::find(applied.begin(), applied.end(), "Left"),
            std::find(applied.begin(), applied.end(), "WindowState"));

  MemorySettingsStore firstCloseMaximised;
  RegWrite(firstCloseMaximised, maximised, PathState{});
  EXPECT_EQ(firstCloseMaximised.names(),
            (std::vector<std::string>{"WindowState", "TreeWidth", "AudioExt", "VideoExt", "Workdir", "EVOdir", "XPLdir",
                                      "Continue", "FastCheck", "Install"}));
}

TEST(SettingsPersistence, StoredValuesAreInterpreted) {
  struct Case {
    std::string line;
    std::function<bool(const FakeSettingsTarget&)> holds;
  };
  const std::vector<Case> cases = {
      {"\"Width\"=dword:00000064", [](auto& w) { return w.width == 370; }},
      {"\"Height\"=dword:00000005", [](auto& w) { return w.height == 380; }},
      {"\"Height\"=dword:ffffffff", [](auto& w) { return w.height == 380; }},
      {"\"Width\"=dword:00000fa0", [](auto& w) { return w.width == 4000; }},
      {"\"Top\"=dword:fffffff8", [](auto& w) { return w.top == -8; }},
      {"\"Left\"=dword:80000000", [](auto& w) { return w.left == INT32_MIN; }},
      {"\"Continue\"=dword:00000005", [](auto& w) { return w.continueTicked; }},
      {"\"FastCheck\"=dword:00000000", [](auto& w) { return !w.fastTicked; }},
      {"\"WindowState\"=dword:00000001", [](auto& w) { return w.state == WindowState::Minimised; }},
      {"\"WindowState\"=dword:00000007", [](auto& w) { return w.state == WindowState::Normal; }},
      {"\"TreeWidth\"=dword:00002710", [](auto& w) { return w.tree == 10000; }},
      {"\"TreeWidth\"=dword:fffffff0", [](auto& w) { return w.tree == 0; }},
      {"\"width\"=dword:000001f4", [](auto& w) { return w.width == 500; }},
      {"\"Workdir\"=\"\"", [](auto& w) { return w.work.empty(); }},
      {"\"Workdir\"=\"C:\\\\Out \\\"new\\\"\"", [](auto& w) { return w.work == "C:\\Out \"new\""; }},
      {"\"AudioExt\"=hex(1):", [](auto& w) { return w.audio.empty(); }},
      // %TEMP%\x as an expandable string, taken without expanding it.
      {"\"Workdir\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,5c,00,78,00,00,00",
       [](auto& w) { return w.work == "%TEMP%\\x"; }},
      {"\"VideoExt\"=\"h\xC3\xA9vc\"", [](auto& w) { return w.video == "h\xC3\xA9vc"; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    TempDir dir;
    test::writeText(dir.file("settings.reg"), settingsFile(c.line + "\r\n"));
    FileSettingsStore store(dir.file("settings.reg"));
    FakeSettingsTarget window;
    window.work = "unchanged";
    PathState paths;
    RegRead(store, window, paths);
    EXPECT_EQ(window.applied.size(), 1u);
    EXPECT_TRUE(c.holds(window));
  }
}

TEST(SettingsPersistence, SizeIsClampedToTheWindowsOwnMinimum) {
  // A window system with a thinner frame than the design's: a saved design-sized window must come back
  // the same size, not grown to the design platform's outer minimum.
  class ThinFramedTarget : public FakeSettingsTarget {
   public:
    int minimumWindowWidth() const override { return 364; }
    int minimumWindowHeight() const override { return 371; }
  };
  TempDir dir;
  test::writeText(dir.file("settings.reg"), settingsFile("\"Width\"=dword:0000016c\r\n\"Height\"=dword:00000100\r\n"));
  FileSettingsStore store(dir.file("settings.reg"));
  ThinFramedTarget window;
  PathState paths;
  RegRead(store, window, paths);
  EXPECT_EQ(window.width, 364);
  EXPECT_EQ(window.height, 371);
}

TEST(SettingsPersistence, WrongTypeStopsReadingAtThatValue) {
  struct Case {
    std::string line;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"\"Top\"=\"wide\"", "Failed to get data for 'Top'"},  // 10 bytes of UTF-16
      {"\"Top\"=\"a\"", "Invalid data type for 'Top'"},      // 4 bytes
      {"\"Top\"=hex:01,02", "Invalid data type for 'Top'"},
      {"\"Top\"=hex(b):01,00,00,00,00,00,00,00", "Failed to get data for 'Top'"},
      {"\"Top\"=hex:01,02,03,04,05", "Failed to get data for 'Top'"},
      {"\"Top\"=hex(4):01,02,03,04,05", "Failed to get data for 'Top'"},
      {"\"Continue\"=hex(2):31,00,00,00", "Invalid data type for 'Continue'"},
      {"\"AudioExt\"=dword:00000001", "Invalid data type for 'AudioExt'"},
      {"\"EVOdir\"=hex:41,00,00,00", "Invalid data type for 'EVOdir'"},
      {"\"XPLdir\"=hex(7):41,00,00,00,00,00", "Invalid data type for 'XPLdir'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    TempDir dir;
    test::writeText(dir.file("settings.reg"),
                    settingsFile("\"Width\"=dword:000001f4\r\n" + c.line +
                                 "\r\n\"FastCheck\"=dword:00000000\r\n\"Height\"=dword:00000190\r\n"));
    FileSettingsStore store(dir.file("settings.reg"));
    FakeSettingsTarget window;
    PathState paths;
    try {
      RegRead(store, window, paths);
      ADD_FAILURE() << "no error";
    } catch (const SettingsError& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
    EXPECT_EQ(window.width, 500);    // read before the failure
    EXPECT_EQ(window.height, 400);   // read before the failure
    EXPECT_TRUE(window.fastTicked);  // after it: not read
    EXPECT_EQ(window.applied.back(), "Height");
  }
}

TEST(SettingsPersistence, FailedWriteStopsTheSaveAtThatValue) {
  MemorySettingsStore store;
  store.refuseWriteOf = "Workdir";
  try {
    RegWrite(store, movedWindow(), PathState{});
    ADD_FAILURE() << "no error";
  } catch (const SettingsError& e) {
    EXPECT_EQ(std::string(e.what()), "Failed to set data for 'Workdir'");
  }
  EXPECT_EQ(store.names(), (std::vector<std::string>{"WindowState", "Top", "Left", "Width", "Height", "TreeWidth",
                                                     "AudioExt", "VideoExt"}));
  EXPECT_FALSE(store.open);

  // Closing again saves everything once the store accepts the value.
  store.refuseWriteOf.clear();
  RegWrite(store, movedWindow(), PathState{});
  EXPECT_EQ(store.names(), ALL_VALUES_IN_WRITE_ORDER);
}

TEST(SettingsPersistence, OptInOptionsAreWrittenOnceTickedAndReadBack) {
  TempDir dir;
  FileSettingsStore store(dir.file("ardunex/settings.reg"));
  RegWrite(store, movedWindow(), PathState{}, [] { return FIRST_SAVE; });
  FakeSettingsTarget untouched;
  PathState paths;
  RegRead(store, untouched, paths);
  EXPECT_EQ(untouched.options, defaultOptions());
  EXPECT_EQ(std::find(untouched.applied.begin(), untouched.applied.end(), "Chapters"), untouched.applied.end());

  // Ticked, the option is kept; unticked later, it is kept off rather than dropped.
  FakeSettingsTarget ticked = movedWindow();
  ticked.options[static_cast<std::size_t>(Option::Chapters)] = true;
  ticked.options[static_cast<std::size_t>(Option::LpcmWav)] = true;
  RegWrite(store, ticked, PathState{}, [] { return LATER_SAVE; });
  FakeSettingsTarget read;
  RegRead(store, read, paths);
  EXPECT_TRUE(read.optionOn(Option::Chapters) && read.optionOn(Option::LpcmWav));
  EXPECT_FALSE(read.optionOn(Option::EveryStream));

  ticked.options[static_cast<std::size_t>(Option::Chapters)] = false;
  RegWrite(store, ticked, PathState{}, [] { return LATER_SAVE; });
  const std::string text = test::readText(dir.file("ardunex/settings.reg"));
  EXPECT_NE(text.find("\"Chapters\"=dword:00000000"), std::string::npos) << text;
  EXPECT_NE(text.find("\"LpcmWav\"=dword:00000001"), std::string::npos) << text;
  EXPECT_EQ(text.find("EveryStream"), std::string::npos) << text;
}

TEST(SettingsPersistence, KeyThatCannotBeOpenedSavesAndReadsNothing) {
  MemorySettingsStore store;
  store.canOpen = false;
  EXPECT_NO_THROW(RegWrite(store, movedWindow(), PathState{}));
  EXPECT_TRUE(store.values.empty());
  FakeSettingsTarget window;
  PathState paths;
  RegRead(store, window, paths);
  EXPECT_TRUE(window.applied.empty());
}

}  // namespace
}  // namespace ardunex
