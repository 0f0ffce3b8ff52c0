// SPDX-License-Identifier: GPL-2.0-or-later
// A fast scan of a real file beyond 4 GiB: 64-bit sizes in the log and the progress text, and only the
// first 4 MiB read.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "jobs/session.h"
#include "support/fake_window.h"
#include "support/ps_builder.h"

namespace ardunex {
namespace {

using test::Bytes;

/// The operating system's files, noting how far the last input opened was read.
class WatchedDisk : public FileSystem {
 public:
  std::int64_t lastPosition = -1;

  std::unique_ptr<InputFile> openRead(const std::string& path) override {
    return std::make_unique<Watched>(PosixFileSystem::instance().openRead(path), lastPosition);
  }
  std::unique_ptr<OutputFile> create(const std::string& path) override {
    return PosixFileSystem::instance().create(path);
  }
  bool exists(const std::string& path) override { return PosixFileSystem::instance().exists(path); }

 private:
  class Watched : public InputFile {
   public:
    Watched(std::unique_ptr<InputFile> file, std::int64_t& last) : m_file(std::move(file)), m_last(last) {}
    ~Watched() override { m_last = m_file->position(); }
    const std::string& path() const override { return m_file->path(); }
    std::int64_t size() const override { return m_file->size(); }
    std::int64_t position() const override { return m_file->position(); }
    std::size_t read(std::uint8_t* buffer, std::size_t count) override { return m_file->read(buffer, count); }

   private:
    std::unique_ptr<InputFile> m_file;
    std::int64_t& m_last;
  };
};

TEST(LargeFile, FastScanOfASixGibibyteFile) {
  test::TempDir dir;
  const std::string path = dir.file("BIG.EVO");
  test::PsBuilder ps;
  ps.pack(true);
  for (std::uint32_t seed = 1; ps.size() < 300'000; seed += 2)
    ps.pack().pes(0xE0, test::payload(1500, seed)).privateStream1(0x81, test::payload(500, seed + 1));
  test::writeFile(path, ps.bytes());

  constexpr std::int64_t SIZE = 6LL * 1024 * 1024 * 1024 + 12345;
  const int fd = ::open(path.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  const bool grown = ::ftruncate(fd, SIZE) == 0;
  struct stat st {};
  const bool sparse = grown && ::fstat(fd, &st) == 0 && st.st_size == SIZE && st.st_blocks * 512 < 64 * 1024 * 1024;
  ::close(fd);
  if (!sparse)
    GTEST_SKIP() << "the temporary folder's file system does not hold sparse files";

  FakeWindow window;
  WatchedDisk disk;
  Session session(window, disk);
  window.session = &session;
  window.fastCheckChecked = true;
  session.chooseEvoFile(path);
  session.bCheckClick();

  EXPECT_EQ(window.logLines,
            (std::vector<std::string>{"Opening file BIG.EVO", "File size: 6144 Mbytes.", "MPEG-2 Video Stream found!",
                                      "Dolby Digital Audio Stream number 1 found!", "Done."}));
  std::vector<std::string> progress;
  for (const auto& panels : window.panelHistory)
    if (panels[1].rfind(" Reading", 0) == 0 && (progress.empty() || progress.back() != panels[1]))
      progress.push_back(panels[1]);
  ASSERT_EQ(progress.size(), 1u);
  const std::string start = " Reading BIG.EVO 4/6144 Mbytes, Remaining time: ";
  EXPECT_EQ(progress[0].substr(0, start.size()), start);
  EXPECT_GT(progress[0].size(), start.size());
  EXPECT_EQ(disk.lastPosition, 4 * 1024 * 1024);
  EXPECT_TRUE(window.boxes[videoBox(0)].checked);
  EXPECT_TRUE(window.boxes[audioBox(1)].checked);
  EXPECT_FALSE(window.boxes[audioBox(0)].enabled);
}

}  // namespace
}  // namespace ardunex
