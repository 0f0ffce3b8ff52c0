// SPDX-License-Identifier: GPL-2.0-or-later
// Settings files that cannot be used or are huge: a folder or a pipe in the file's place, UTF-16 exports cut
// short, and 100,000 foreign keys and values.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "settings/file_settings_store.h"
#include "settings/reg_file.h"
#include "settings/settings_fakes.h"
#include "settings/settings_persistence.h"
#include "support/ps_builder.h"

namespace ardunex {
namespace {

using test::FakeSettingsTarget;

FakeSettingsTarget movedWindow() {
  FakeSettingsTarget window;
  window.left = 33;
  window.top = 44;
  window.audio = "ac3";
  return window;
}

TEST(SettingsFaults, FolderInPlaceOfTheFileIsLeftAlone) {
  test::TempDir dir;
  const std::string path = dir.file("settings.reg");
  std::filesystem::create_directory(path);
  FileSettingsStore store(path);

  FakeSettingsTarget window;
  PathState paths;
  EXPECT_NO_THROW(RegRead(store, window, paths));
  EXPECT_TRUE(window.applied.empty());
  EXPECT_NO_THROW(RegWrite(store, movedWindow(), PathState{}));
  EXPECT_NO_THROW(RegRead(store, window, paths));
  EXPECT_TRUE(window.applied.empty());

  EXPECT_TRUE(std::filesystem::is_directory(path));
  EXPECT_TRUE(test::folderEntries(path).empty());
  EXPECT_EQ(test::folderEntries(dir.path()), std::vector<std::string>{"settings.reg"});  // no copy, no temporary file
}

TEST(SettingsFaults, TruncatedUtf16ExportIsKeptAsideAndDefaultsApply) {
  const std::string whole = test::readText(ARDUNEX_FIXTURES_DIR "/settings/exported-utf16-crlf.reg");
  std::string widthLine;
  for (char c : std::string("\"Width\"=dwo")) {
    widthLine += c;
    widthLine += '\0';
  }
  const std::size_t inWidth = whole.find(widthLine);
  ASSERT_NE(inWidth, std::string::npos);

  struct Cut {
    const char* name;
    std::size_t size;
  };
  for (const Cut& cut : {Cut{"inside a value line", inWidth + widthLine.size()},
                         Cut{"inside a character", inWidth + widthLine.size() + 1}, Cut{"byte order mark only", 2},
                         Cut{"half a byte order mark", 1}, Cut{"inside the key line", 120}}) {
    SCOPED_TRACE(cut.name);
    test::TempDir dir;
    const std::string path = dir.file("settings.reg");
    const std::string text = whole.substr(0, cut.size);
    test::writeText(path, text);
    FileSettingsStore store(path);

    FakeSettingsTarget window;
    PathState paths;
    EXPECT_NO_THROW(RegRead(store, window, paths));
    EXPECT_TRUE(window.applied.empty());
    EXPECT_EQ(window.width, FakeSettingsTarget().width);
    EXPECT_EQ(test::readText(store.badCopyPath()), text);
    EXPECT_EQ(window.logged, std::vector<std::string>{"The settings file " + path + " cannot be read: it is kept as " +
                                                      path + ".bad, and the default settings apply."});

    // A save replaces the damaged file; the copy stays, and the next start reads the saved values.
    EXPECT_NO_THROW(RegWrite(store, movedWindow(), PathState{}));
    EXPECT_EQ(test::readText(store.badCopyPath()), text);
    FakeSettingsTarget restarted;
    RegRead(store, restarted, paths);
    EXPECT_EQ(restarted.left, 33);
    EXPECT_EQ(restarted.audio, "ac3");
    EXPECT_EQ(test::folderEntries(dir.path()), (std::vector<std::string>{"settings.reg", "settings.reg.bad"}));
  }
}

TEST(SettingsFaults, HundredThousandForeignKeysAndValuesLoadAndSurviveASave) {
  constexpr int COUNT = 100'000;
  std::string text =
      "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Corvell Software\\Ardunex]\n";
  for (int i = 0; i < COUNT; ++i)
    text += "\"Foreign" + std::to_string(i) + "\"=dword:00000001\n";
  for (int i = 0; i < COUNT; ++i)
    text += "[HKEY_CURRENT_USER\\Software\\Other\\Key" + std::to_string(i) + "]\n@=\"v\"\n";
  test::TempDir dir;
  const std::string path = dir.file("settings.reg");
  test::writeText(path, text);

  const auto start = std::chrono::steady_clock::now();
  FileSettingsStore store(path);
  FakeSettingsTarget window;
  PathState paths;
  RegRead(store, window, paths);
  RegWrite(store, movedWindow(), paths);
  // Far above the time of a linear read and save (about a second, 20 s under the sanitizers), far below that
  // of a quadratic one (over 8 minutes).
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(120));

  const auto saved = RegFile::parse(test::readText(path));
  ASSERT_TRUE(saved.has_value());
  ASSERT_EQ(saved->keys.size(), COUNT + 1u);
  EXPECT_EQ(saved->keys.back().path, "HKEY_CURRENT_USER\\Software\\Other\\Key99999");
  EXPECT_EQ(saved->keys.front().values.size(), COUNT + 14u);  // the foreign values and the program's own
  EXPECT_EQ(saved->keys.front().values[COUNT - 1].name, "Foreign99999");
}

TEST(SettingsFaults, DeletionsAndRepeatsApplyInFileOrder) {
  const auto file = RegFile::parse(
      "REGEDIT4\n[A]\n\"x\"=\"1\"\n\"y\"=\"2\"\n[a\\B]\n\"z\"=\"3\"\n[A\\b\\C]\n[AB]\n[a]\n\"X\"=-\n\"Y\"=\"4\"\n"
      "\"x\"=\"5\"\n[-A\\B]\n[D]\n[-d]\n[A\\B]\n\"w\"=\"6\"\n[D]\n");
  ASSERT_TRUE(file.has_value());
  std::string shape;
  for (const RegFileKey& key : file->keys) {
    shape += "[" + key.path + "]";
    for (const RegFileValue& value : key.values)
      shape += value.name + "=" + utf16ToUtf8(value.value.data).c_str() + ";";
  }
  EXPECT_EQ(shape, "[A]y=4;x=5;[AB][A\\B]w=6;[D]");
}

TEST(SettingsFaults, PipeInPlaceOfTheFileIsLeftAlone) {
  test::TempDir dir;
  const std::string path = dir.file("settings.reg");
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  // A writer that sends a line and goes away after a second, so that a reader waiting on it cannot hang.
  const int writer = ::open(path.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_EQ(::write(writer, "x\n", 2), 2);
  std::thread closer([writer] {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    ::close(writer);
  });
  FileSettingsStore store(path);
  FakeSettingsTarget window;
  PathState paths;
  EXPECT_NO_THROW(RegRead(store, window, paths));
  EXPECT_NO_THROW(RegWrite(store, movedWindow(), PathState{}));
  closer.join();
  EXPECT_TRUE(window.applied.empty());
  EXPECT_TRUE(std::filesystem::is_fifo(path));
  EXPECT_EQ(test::folderEntries(dir.path()), std::vector<std::string>{"settings.reg"});  // no copy aside
}

}  // namespace
}  // namespace ardunex
