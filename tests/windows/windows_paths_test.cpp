// SPDX-License-Identifier: GPL-2.0-or-later
// Windows paths: drive letters, backslashes and forward slashes in the path split, the playlist guess and
// the output names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/file_io.h"
#include "jobs/session.h"
#include "support/fake_window.h"
#include "support/memory_files.h"
#include "support/ps_builder.h"

namespace ardunex::test {
namespace {

TEST(WindowsPaths, SplitAtTheLastBackslashSlashOrColon) {
  struct Case {
    const char* path;
    const char* folder;
    const char* name;
  };
  for (const Case& c : std::vector<Case>{
           {"D:\\HVDVD_TS\\FEATURE_1.EVO", "D:\\HVDVD_TS\\", "FEATURE_1.EVO"},
           {"C:/rips/movie.evo", "C:/rips/", "movie.evo"},
           {"D:\\mixed/folders\\x.EVO", "D:\\mixed/folders\\", "x.EVO"},
           {"D:FEATURE.EVO", "D:", "FEATURE.EVO"},
           {"D:\\FEATURE_1.EVO", "D:\\", "FEATURE_1.EVO"},
           {"\\\\server\\share\\A.EVO", "\\\\server\\share\\", "A.EVO"},
           {"plain.EVO", "", "plain.EVO"},
       }) {
    EXPECT_EQ(c.folder, folderPart(c.path)) << c.path;
    EXPECT_EQ(c.name, fileNamePart(c.path)) << c.path;
  }
}

TEST(WindowsPaths, DropsDeriveFoldersAndGuessThePlaylistWithEitherSeparator) {
  struct Case {
    const char* drop;
    const char* evoDir;
    const char* evoBase;
    const char* xplField;  // the playlist field after the drop
    bool readXpl;
  };
  for (const Case& c : std::vector<Case>{
           {"D:\\HVDVD_TS\\FEATURE_1.EVO", "D:\\HVDVD_TS\\", "FEATURE_1", "D:\\ADV_OBJ\\VPLST000.XPL", true},
           {"D:/HVDVD_TS/FEATURE_1.EVO", "D:/HVDVD_TS/", "FEATURE_1", "D:/ADV_OBJ/VPLST000.XPL", true},
           {"E:\\Discs\\Film\\HVDVD_TS\\F.EVO", "E:\\Discs\\Film\\HVDVD_TS\\", "F",
            "E:\\Discs\\Film\\ADV_OBJ\\VPLST000.XPL", true},
           {"d:\\hvdvd_ts\\feature_1.evo", "d:\\hvdvd_ts\\", "feature_1", "VPLST000.XPL", false},
           {"D:\\FEATURE_1.EVO", "D:\\", "FEATURE_1", "VPLST000.XPL", false},
           {"C:\\rips\\movie.evo", "C:\\rips\\", "movie", "VPLST000.XPL", false},
           {"D:HVDVD_TS:F.EVO", "D:HVDVD_TS:", "F", "VPLST000.XPL", false},
       }) {
    FakeWindow window;
    Session session(window);
    window.session = &session;
    session.dropFile(c.drop);
    EXPECT_EQ(c.drop, window.evoFile);
    EXPECT_EQ(c.evoDir, session.paths().EVOdir) << c.drop;
    EXPECT_EQ(c.evoBase, session.paths().EVObase) << c.drop;
    EXPECT_EQ(c.xplField, window.xplFile) << c.drop;
    EXPECT_EQ(c.readXpl, window.buttonEnabled(Button::ReadXpl)) << c.drop;
    EXPECT_TRUE(window.buttonEnabled(Button::ReadEvo)) << c.drop;
  }

  FakeWindow window;
  Session session(window);
  session.dropFile("C:\\Playlists\\vplst000.xpl");
  EXPECT_EQ("C:\\Playlists\\", session.paths().XPLdir);
  EXPECT_EQ("vplst000.xpl", session.paths().XPLname);
}

TEST(WindowsPaths, OutputNamesJoinTheFolderWithOneSeparator) {
  PsBuilder ps;
  const Bytes video = payload(900, 1), audio = payload(300, 2);
  ps.pack(true).pes(0xE0, video).pack().privateStream1(0x80, audio);
  for (const auto& [workdir, expected] : std::vector<std::pair<std::string, std::string>>{
           {"C:\\out", "C:\\out\\MOVIE.MPEG-2.stream.00.mpv"},
           {"C:\\out\\", "C:\\out\\MOVIE.MPEG-2.stream.00.mpv"},
           {"C:/out/", "C:/out/MOVIE.MPEG-2.stream.00.mpv"},
           {"D:", "D:MOVIE.MPEG-2.stream.00.mpv"},
           {"", "D:\\HVDVD_TS\\MOVIE.MPEG-2.stream.00.mpv"},
       }) {
    FakeWindow window;
    MemoryFileSystem files;
    files.files["D:\\HVDVD_TS\\MOVIE.EVO"] = ps.bytes();
    Session session(window, files);
    window.session = &session;
    window.workdirText = workdir;
    session.Resetcbs();
    session.chooseEvoFile("D:\\HVDVD_TS\\MOVIE.EVO");
    session.bCheckClick();
    session.bDemuxClick();
    ASSERT_FALSE(files.created.empty()) << workdir;
    EXPECT_EQ(expected, files.created.front()) << workdir;
    EXPECT_EQ(video, files.files[expected]) << workdir;
  }
}

}  // namespace
}  // namespace ardunex::test
