// SPDX-License-Identifier: GPL-2.0-or-later
// An EVO file whose read fails or delivers nothing before its end, met by "Read EVO" and "Demux": the
// message, the files closed with every byte routed before the failure, and the window usable again.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "base/errors.h"
#include "jobs/session.h"
#include "support/failure_text.h"
#include "support/fake_window.h"
#include "support/feature_builder.h"
#include "support/memory_files.h"

namespace ardunex {
namespace {

using test::Bytes;
using test::MemoryFileSystem;

constexpr std::int64_t MIB = 1024 * 1024;
const std::string FIRST = "/disc/HVDVD_TS/FEATURE_1.EVO";
const std::string SECOND = "/disc/HVDVD_TS/FEATURE_2.EVO";
const std::string VIDEO = "/out/FEATURE_1.MPEG-2.stream.00.mpv";
const std::string AUDIO = "/out/FEATURE_1.DD.stream.00.mpa";

/// MPEG-2 video and Dolby Digital audio 0 in packs, at least minSize bytes.
Bytes makePart(std::int64_t minSize, std::uint32_t seed) {
  return test::makeFeature({test::video(0xE0, 1400, 500), test::audio(0x80, 300, 200)},
                           static_cast<std::size_t>(minSize), seed)
      .file;
}

Bytes prefix(const Bytes& bytes, std::int64_t size) { return Bytes(bytes.begin(), bytes.begin() + size); }

/// In-memory files whose reads can also throw at a position.
class FaultyFiles : public MemoryFileSystem {
 public:
  std::map<std::string, std::int64_t> throwReadAt;

  std::unique_ptr<InputFile> openRead(const std::string& path) override {
    auto file = MemoryFileSystem::openRead(path);
    if (const auto fault = throwReadAt.find(path); fault != throwReadAt.end())
      static_cast<test::MemoryInputFile&>(*file).throwReadAt = fault->second;
    return file;
  }
};

struct Desk {
  FakeWindow window;
  FaultyFiles files;
  Session session{window, files};

  explicit Desk(const std::map<std::string, Bytes>& inputs) {
    window.session = &session;
    window.workdirText = "/out";
    for (const auto& [path, bytes] : inputs)
      files.files[path] = bytes;
    session.chooseEvoFile(FIRST);
  }

  std::string failure(void (Session::*command)()) {
    return test::failureText([this, command] { (session.*command)(); });
  }
};

bool hasLine(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

struct Fault {
  const char* name;
  std::string path;
  std::int64_t at;
  bool throws;  // the read throws rather than returning nothing
};

std::string readError(const Fault& fault) {
  return "Cannot read file \"" + fault.path + "\". " + (fault.throws ? "Input/output error" : ENDS_BEFORE_ITS_SIZE);
}

void inject(FaultyFiles& files, const Fault& fault) {
  if (fault.throws)
    files.throwReadAt[fault.path] = fault.at;
  else
    files.zeroReadAt[fault.path] = fault.at;
}

TEST(ReadFaults, ScanEndsWithReadErrorAndCanBeRunAgain) {
  const Bytes first = makePart(6 * MIB, 1);
  for (const Fault& fault : {Fault{"nothing read", FIRST, 2 * 65536, false}, Fault{"read throws", FIRST, 65536, true},
                             Fault{"nothing at the first read", FIRST, 0, false}}) {
    SCOPED_TRACE(fault.name);
    Desk desk({{FIRST, first}});
    inject(desk.files, fault);
    desk.window.boxes[audioBox(5)] = {true, true, "DD.stream.05"};

    EXPECT_EQ(desk.failure(&Session::bCheckClick), readError(fault));
    const std::vector<std::string>& log = desk.window.logLines;
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[1], "File size: 6 Mbytes.");
    EXPECT_EQ(log.size(), fault.at == 0 ? 2u : 4u);  // the streams met before the fault are logged
    EXPECT_FALSE(hasLine(log, "Done."));
    for (int box : {videoBox(0), audioBox(0), audioBox(5)}) {
      EXPECT_FALSE(desk.window.boxes[box].enabled) << box;
      EXPECT_EQ(desk.window.boxes[box].caption.rfind("No ", 0), 0u) << desk.window.boxes[box].caption;
    }
    EXPECT_EQ(desk.window.panels[0], " Reading");
    EXPECT_FALSE(desk.window.buttonEnabled(Button::Cancel));
    EXPECT_FALSE(desk.window.buttonEnabled(Button::ReadEvo));
    EXPECT_TRUE(desk.window.buttonEnabled(Button::BrowseEvo));
    EXPECT_FALSE(desk.session.jobRunning());
    EXPECT_EQ(desk.session.run().InputFile, nullptr);

    // Chosen again once the medium reads, the file scans normally.
    desk.files.zeroReadAt.clear();
    desk.files.throwReadAt.clear();
    desk.session.chooseEvoFile(FIRST);
    EXPECT_TRUE(desk.window.buttonEnabled(Button::ReadEvo));
    EXPECT_EQ(desk.failure(&Session::bCheckClick), "no failure");
    EXPECT_TRUE(desk.window.boxes[videoBox(0)].enabled);
    EXPECT_TRUE(desk.window.boxes[audioBox(0)].enabled);
    EXPECT_EQ(desk.window.logLines.back(), "Done.");
  }
}

TEST(ReadFaults, DemuxEndsWithReadErrorKeepingWhatWasRoutedBeforeIt) {
  const Bytes first = makePart(6 * MIB, 1);
  const Bytes second = makePart(2 * MIB, 5001);
  const Fault faults[] = {
      {"nothing read after the first report", FIRST, 5 * MIB, false},
      {"read throws", FIRST, 5 * MIB + 65536, true},
      {"nothing read in the second part", SECOND, 256 * 1024, false},
      {"second part throws at its start", SECOND, 0, true},
  };
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.name);
    const bool inSecond = fault.path == SECOND;

    // What a run over exactly the bytes before the fault writes.
    Desk clean(inSecond ? std::map<std::string, Bytes>{{FIRST, first}, {SECOND, prefix(second, fault.at)}}
                        : std::map<std::string, Bytes>{{FIRST, prefix(first, fault.at)}});
    clean.session.bCheckClick();
    ASSERT_EQ(clean.failure(&Session::bDemuxClick), "no failure");
    ASSERT_FALSE(clean.files.files[AUDIO].empty());

    Desk desk({{FIRST, first}, {SECOND, second}});
    desk.session.bCheckClick();
    ASSERT_TRUE(desk.window.buttonEnabled(Button::Demux));
    desk.window.logLines.clear();
    inject(desk.files, fault);

    EXPECT_EQ(desk.failure(&Session::bDemuxClick), readError(fault));
    EXPECT_EQ(desk.files.openOutputs, 0);
    EXPECT_EQ(desk.files.files[VIDEO], clean.files.files[VIDEO]);
    EXPECT_EQ(desk.files.files[AUDIO], clean.files.files[AUDIO]);
    EXPECT_FALSE(hasLine(desk.window.logLines, "Done."));
    EXPECT_EQ(hasLine(desk.window.logLines, "Continue on FEATURE_2.EVO"), inSecond);
    EXPECT_EQ(desk.window.panels[0], " Writing stream(s)");
    EXPECT_FALSE(desk.window.buttonEnabled(Button::Cancel));
    EXPECT_FALSE(desk.window.buttonEnabled(Button::Demux));
    EXPECT_TRUE(desk.window.buttonEnabled(Button::ReadEvo));
    EXPECT_FALSE(desk.session.jobRunning());
    EXPECT_EQ(desk.session.run().InputFile, nullptr);

    // The next change of a box makes "Demux" available, and a run over a readable medium writes it all.
    desk.window.click(audioBox(0));
    desk.window.click(audioBox(0));
    EXPECT_TRUE(desk.window.buttonEnabled(Button::Demux));
    desk.files.zeroReadAt.clear();
    desk.files.throwReadAt.clear();
    EXPECT_EQ(desk.failure(&Session::bDemuxClick), "no failure");
    EXPECT_GT(desk.files.files[AUDIO].size(), clean.files.files[AUDIO].size());
    EXPECT_EQ(desk.window.logLines.back(), "Done.");
  }
}

}  // namespace
}  // namespace ardunex
