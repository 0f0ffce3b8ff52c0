// SPDX-License-Identifier: GPL-2.0-or-later
// The settings file: its text as written, atomic replacement, unparsable files, foreign values, encodings.
#include "settings/file_settings_store.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "settings/reg_file.h"
#include "settings/settings_persistence.h"
#include "settings_fakes.h"
#include "support/ps_builder.h"

namespace ardunex {
namespace {

using test::FakeSettingsTarget;
using test::movedWindow;
using test::readText;
using test::settingsFile;
using test::TempDir;
using test::writeText;

constexpr double SAVE_TIME = 45000.5;

/// One value line as a reader who only knows the export format sees it.
struct Line {
  std::string name;
  std::string kind;  // "dword", "text" or "hex"
  std::string data;  // the digits, the unescaped text, or the joined hex bytes

  bool operator==(const Line&) const = default;
};

/// A deliberately separate reader of the written file: it accepts only the layout this program writes.
std::vector<Line> readExport(const std::string& text, std::string& key) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos) {
      ADD_FAILURE() << "line without CRLF";
      return {};
    }
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  EXPECT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "Windows Registry Editor Version 5.00");
  EXPECT_EQ(lines[1], "");
  key = lines[2];
  EXPECT_EQ(lines.back(), "");
  std::vector<Line> out;
  for (std::size_t i = 3; i + 1 < lines.size(); ++i) {
    std::string line = lines[i];
    while (line.back() == '\\')
      line.pop_back(), line += lines[++i].substr(2);
    const std::size_t eq = line.find("\"=");
    Line parsed{line.substr(1, eq - 1), "", line.substr(eq + 2)};
    if (parsed.data.rfind("dword:", 0) == 0) {
      parsed.kind = "dword", parsed.data.erase(0, 6);
    } else if (parsed.data.rfind("hex:", 0) == 0) {
      parsed.kind = "hex", parsed.data.erase(0, 4);
    } else {
      parsed.kind = "text";
      std::string unescaped;
      for (std::size_t k = 1; k + 1 < parsed.data.size(); ++k) {
        if (parsed.data[k] == '\\')
          ++k;
        unescaped += parsed.data[k];
      }
      parsed.data = unescaped;
    }
    out.push_back(parsed);
  }
  return out;
}

/// A store whose disk fills up halfway through writing the new file.
class DiskFullStore : public FileSettingsStore {
 public:
  using FileSettingsStore::FileSettingsStore;

 protected:
  bool writeAll(int fd, std::string_view text) override {
    FileSettingsStore::writeAll(fd, text.substr(0, text.size() / 2));
    errno = ENOSPC;
    return false;
  }
};

TEST(FileSettingsStore, WritesAnExportFileInWriteOrder) {
  TempDir dir;
  FileSettingsStore store(dir.file("settings.reg"));
  PathState paths;
  paths.EVOdir = "D:\\HVDVD_TS\\";
  paths.XPLdir = "/media/\"quoted\" disc/";
  RegWrite(store, movedWindow(10), paths, [] { return SAVE_TIME; });

  std::string key;
  const std::vector<Line> lines = readExport(readText(dir.file("settings.reg")), key);
  EXPECT_EQ(key, "[HKEY_CURRENT_USER\\Software\\Corvell Software\\Ardunex]");
  EXPECT_EQ(lines, (std::vector<Line>{
                       {"WindowState", "dword", "00000000"},
                       {"Top", "dword", "fffffff8"},
                       {"Left", "dword", "0000000a"},
                       {"Width", "dword", "00000280"},
                       {"Height", "dword", "000001e0"},
                       {"TreeWidth", "dword", "00000060"},
                       {"AudioExt", "text", "mpa"},
                       {"VideoExt", "text", "mpv"},
                       {"Workdir", "text", ""},
                       {"EVOdir", "text", "D:\\HVDVD_TS\\"},
                       {"XPLdir", "text", "/media/\"quoted\" disc/"},
                       {"Continue", "dword", "00000000"},
                       {"FastCheck", "dword", "00000001"},
                       {"Install", "hex", "00,00,00,00,10,f9,e5,40"},
                   }));
}

TEST(FileSettingsStore, FailedSaveLeavesTheStoredFileIntact) {
  TempDir dir;
  const std::string path = dir.file("settings.reg");
  FileSettingsStore store(path);
  RegWrite(store, movedWindow(10), PathState{});
  const std::string before = readText(path);

  FakeSettingsTarget changed = movedWindow(10);
  changed.audio = "dts";
  DiskFullStore full(path);
  try {
    RegWrite(full, changed, PathState{});
    ADD_FAILURE() << "no error";
  } catch (const SettingsError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot save the settings to " + path + ": No space left on device");
  }
  EXPECT_EQ(readText(path), before);
  EXPECT_EQ(test::folderEntries(dir.path()), std::vector<std::string>{"settings.reg"});

  // A folder that cannot be created fails the same way.
  writeText(dir.file("blocker"), "a file where the folder should be");
  FileSettingsStore blocked(dir.file("blocker/ardunex/settings.reg"));
  try {
    RegWrite(blocked, changed, PathState{});
    ADD_FAILURE() << "no error";
  } catch (const SettingsError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot save the settings to " + blocked.path() + ": Not a directory");
  }

  RegWrite(store, changed, PathState{});
  EXPECT_NE(readText(path).find("\"AudioExt\"=\"dts\""), std::string::npos);
}

TEST(FileSettingsStore, MalformedFilesAreRejected) {
  const std::vector<std::string> texts = {
      "",
      "garbage\r\n",
      "[HKEY_CURRENT_USER\\Software\\Corvell Software\\Ardunex]\r\n\"Width\"=dword:00000001\r\n",
      settingsFile("\"Width\"=dword:123456789\r\n"),
      settingsFile("\"Width\"=dword:\r\n"),
      settingsFile("\"Width\"=dword:0000000g\r\n"),
      settingsFile("\"Width\"=hex:zz\r\n"),
      settingsFile("\"Width\"=hex:01,\\\r\n"),
      settingsFile("\"Width\"=hex(:01\r\n"),
      settingsFile("\"Width\"=00000001\r\n"),
      settingsFile("\"Width=dword:00000001\r\n"),
      settingsFile("\"Workdir\"=\"C:\\\"\r\n"),
      settingsFile("\"Workdir\"=\"a\" trailing\r\n"),
      settingsFile("Width=dword:00000001\r\n"),
      settingsFile("[HKEY_CURRENT_USER\\Software\r\n"),
      "Windows Registry Editor Version 5.00\r\n\r\n\"Width\"=dword:00000001\r\n",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(RegFile::parse(text).has_value());
  }
}

TEST(FileSettingsStore, UnparsableFileIsKeptAsideAndReplacedOnSave) {
  TempDir dir;
  const std::string path = dir.file("settings.reg");
  const std::string damaged = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\So";
  writeText(path, damaged);
  FileSettingsStore store(path);
  FakeSettingsTarget window;
  PathState paths;
  RegRead(store, window, paths);
  EXPECT_TRUE(window.applied.empty());
  EXPECT_EQ(readText(store.badCopyPath()), damaged);
  EXPECT_EQ(readText(path), damaged);

  RegWrite(store, movedWindow(10), PathState{});
  EXPECT_EQ(readText(store.badCopyPath()), damaged);
  RegRead(store, window, paths);
  EXPECT_EQ(window.top, -8);

  // Without a place for the copy, the damaged file is neither read nor overwritten.
  TempDir other;
  writeText(other.file("settings.reg"), damaged);
  std::filesystem::create_directory(other.file("settings.reg.bad"));
  FileSettingsStore stuck(other.file("settings.reg"));
  EXPECT_NO_THROW(RegWrite(stuck, movedWindow(10), PathState{}));
  EXPECT_EQ(readText(other.file("settings.reg")), damaged);
}

TEST(FileSettingsStore, OtherKeysAndValuesSurviveASave) {
  TempDir dir;
  const std::string path = dir.file("settings.reg");
  writeText(path,
            "Windows Registry Editor Version 5.00\n\n"
            "; kept by hand\n"
            "[HKEY_CURRENT_USER\\Software\\Other Maker\\Tool]\n"
            "\"Colour\"=\"blue\"\n"
            "@=dword:00000007\n\n"
            "[HKEY_CURRENT_USER\\Software\\Corvell Software\\Ardunex]\n"
            "\"Width\"=dword:00000200\n"
            "\"Install\"=hex:01,02,03,04,05,06,07,08\n"
            "\"Recent\"=hex(7):41,00,3a,00,5c,00,31,00,00,00,42,00,3a,00,5c,00,32,00,00,00,43,00,3a,00,\\\n"
            "  5c,00,33,00,00,00,44,00,3a,00,5c,00,34,00,00,00,00,00\n"
            "\"Notes\"=\"line\"\n"
            "\"Removed\"=\"x\"\n"
            "\"Removed\"=-\n"
            "[-HKEY_CURRENT_USER\\Software\\Gone]\n"
            "\"Ignored\"=\"y\"\n");
  const RegFile before = *RegFile::parse(readText(path));
  FileSettingsStore store(path);
  RegWrite(store, movedWindow(10), PathState{});

  const auto after = RegFile::parse(readText(path));
  ASSERT_TRUE(after.has_value());
  ASSERT_EQ(after->keys.size(), 2u);
  EXPECT_EQ(after->keys[0].path, "HKEY_CURRENT_USER\\Software\\Other Maker\\Tool");
  ASSERT_EQ(after->keys[0].values.size(), 2u);
  EXPECT_EQ(after->keys[0].values[0].value, before.keys[0].values[0].value);
  EXPECT_EQ(after->keys[0].values[1].name, "");
  const RegFileKey& own = after->keys[1];
  auto find = [&](std::string_view name) {
    for (const RegFileValue& v : own.values)
      if (v.name == name)
        return std::optional<RegValue>(v.value);
    return std::optional<RegValue>();
  };
  EXPECT_EQ(find("Install")->data, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(*find("Recent"), before.keys[1].values[2].value);
  EXPECT_EQ(find("Recent")->data.size(), 42u);
  EXPECT_EQ(utf16ToUtf8(find("Notes")->data), "line");
  EXPECT_FALSE(find("Removed").has_value());
  EXPECT_EQ(find("Width")->data, (std::vector<std::uint8_t>{0x80, 0x02, 0x00, 0x00}));
  EXPECT_EQ(own.values.size(), 2u + 14u);
}

TEST(FileSettingsStore, ReadsAnExportMadeOnWindows) {
  TempDir dir;
  std::filesystem::copy_file(ARDUNEX_FIXTURES_DIR "/settings/exported-utf16-crlf.reg", dir.file("settings.reg"));
  FileSettingsStore store(dir.file("settings.reg"));
  FakeSettingsTarget window;
  PathState paths;
  RegRead(store, window, paths);
  EXPECT_EQ(window.state, WindowState::Maximised);
  EXPECT_EQ(window.top, 100);
  EXPECT_EQ(window.left, 200);
  EXPECT_EQ(window.width, 720);
  EXPECT_EQ(window.height, 600);
  EXPECT_EQ(window.tree, 120);
  EXPECT_EQ(window.audio, "dts");
  EXPECT_EQ(window.video, "264");
  EXPECT_EQ(window.work, "D:\\Demux \xC3\xA9t\xC3\xA9");
  EXPECT_EQ(paths.EVOdir, "E:\\HVDVD_TS\\");
  EXPECT_EQ(paths.XPLdir, "E:\\ADV_OBJ\\");
  EXPECT_TRUE(window.continueTicked);
  EXPECT_FALSE(window.fastTicked);
}

TEST(FileSettingsStore, TextsSurviveWhateverBytesTheyHold) {
  TempDir dir;
  const std::string target = dir.file("real.reg");
  std::filesystem::create_symlink(target, dir.file("settings.reg"));
  FileSettingsStore store(dir.file("settings.reg"));
  PathState paths;
  paths.EVOdir = "/media/\xE9t\xE9/HVDVD_TS/";  // Latin-1 bytes, not UTF-8
  paths.XPLdir = "two\r\nlines";
  FakeSettingsTarget window = movedWindow(10);
  window.work = "\xF0\x9F\x8E\xAC out";
  RegWrite(store, window, paths);
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("settings.reg")));
  EXPECT_TRUE(RegFile::parse(readText(target)).has_value());

  PathState readBack;
  FakeSettingsTarget restarted;
  RegRead(store, restarted, readBack);
  EXPECT_EQ(readBack.EVOdir, paths.EVOdir);
  EXPECT_EQ(readBack.XPLdir, paths.XPLdir);
  EXPECT_EQ(restarted.work, window.work);
}

TEST(FileSettingsStore, DefaultPathFollowsXdgConfigHome) {
  const char* saved = std::getenv("XDG_CONFIG_HOME");
  const std::string restore = saved ? saved : "";
  ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
  EXPECT_EQ(defaultSettingsPath(), "/cfg/ardunex/settings.reg");
  ::setenv("XDG_CONFIG_HOME", "relative", 1);
  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  if (!home.empty()) {
    EXPECT_EQ(defaultSettingsPath(), home + "/.config/ardunex/settings.reg");
  }
  if (saved) {
    ::setenv("XDG_CONFIG_HOME", restore.c_str(), 1);
  } else {
    ::unsetenv("XDG_CONFIG_HOME");
  }
}

}  // namespace
}  // namespace ardunex
