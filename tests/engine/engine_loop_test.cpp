// SPDX-License-Identifier: GPL-2.0-or-later
// The engine loop: 64 KiB blocks, progress every 4 MiB, fast scan, Cancel, read and write failures.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "base/errors.h"
#include "support/engine_harness.h"

namespace ardunex::test {
namespace {

constexpr std::size_t PACK_SIZE = 2048;
constexpr std::size_t MIB = 1024 * 1024;

// A file of 2048-byte packs, each a pack header and one PES: MPEG-2 video, or AC-3 at the packs named.
struct PackFile {
  Bytes bytes;
  Bytes video;  // payloads of the video packs before `limit`
  Bytes audio;  // payloads of the audio packs before `limit`
};

PackFile packFile(std::size_t packs, const std::vector<std::size_t>& audioPacks = {}, std::size_t limit = SIZE_MAX) {
  PackFile f;
  f.bytes.reserve(packs * PACK_SIZE);
  PsBuilder b;
  for (std::size_t i = 0; i < packs; ++i) {
    PsBuilder pack;
    pack.pack();
    const bool audio = std::find(audioPacks.begin(), audioPacks.end(), i) != audioPacks.end();
    const Bytes p = payload(audio ? PACK_SIZE - 14 - 18 : PACK_SIZE - 14 - 9, static_cast<std::uint32_t>(i));
    if (audio)
      pack.privateStream1(0x80, p);
    else
      pack.pes(0xE0, p);
    EXPECT_EQ(pack.size(), PACK_SIZE);
    f.bytes.insert(f.bytes.end(), pack.bytes().begin(), pack.bytes().end());
    if (i < limit)
      (audio ? f.audio : f.video).insert((audio ? f.audio : f.video).end(), p.begin(), p.end());
  }
  return f;
}

// A clock that moves two seconds at every reading after the first.
void twoSecondsPerReport(EngineHarness& h) {
  auto calls = std::make_shared<int>(0);
  const auto start = Engine::Clock::time_point{};
  h.engine.setClock([calls, start] { return start + std::chrono::seconds(2 * (*calls)++); });
}

std::vector<std::string> progressTexts(const FakeWindow& window) {
  std::vector<std::string> texts;
  for (const auto& panels : window.panelHistory)
    texts.push_back(panels[1]);
  return texts;
}

const std::vector<std::pair<Button, bool>> CANCEL_ON_OFF{{Button::Cancel, true}, {Button::Cancel, false}};

TEST(EngineLoop, RemainingTimeIsATimeOfDay) {
  EXPECT_EQ(formatRemainingTime(0), "00:00:00");
  EXPECT_EQ(formatRemainingTime(3725), "01:02:05");
  EXPECT_EQ(formatRemainingTime(86400 + 61), "00:01:01");  // whole days dropped
}

TEST(EngineLoop, EmptyFileReadsNothingAndTogglesCancel) {
  EngineHarness h;
  h.slots.Claim(17, 0x80);
  MemoryInputFile& input = h.setInput({});
  h.scan();
  EXPECT_EQ(input.reads, 0);
  EXPECT_TRUE(h.window.panelHistory.empty());
  EXPECT_EQ(h.slots.Get(17), -1);
  EXPECT_EQ(h.window.buttonChanges, CANCEL_ON_OFF);
  EXPECT_FALSE(h.engine.run().Demuxing);
}

TEST(EngineLoop, FastScanOfSmallFileScansItAllWithoutReport) {
  const PackFile f = packFile(3 * MIB / PACK_SIZE, {3 * MIB / PACK_SIZE - 1});
  EngineHarness h;
  MemoryInputFile& input = h.setInput(f.bytes);
  h.scan();
  EXPECT_EQ(input.position(), static_cast<std::int64_t>(3 * MIB));
  EXPECT_TRUE(h.window.panelHistory.empty());
  EXPECT_EQ(h.window.processEventsCalls, 0);
  EXPECT_EQ(h.slots.Get(17), 0x80);
}

TEST(EngineLoop, FastScanStopsAfterFirstFourMebibytes) {
  // AC-3 only in the second half: the fast scan never sees it.
  const PackFile f = packFile(8 * MIB / PACK_SIZE, {4 * MIB / PACK_SIZE});
  EngineHarness h;
  twoSecondsPerReport(h);
  MemoryInputFile& input = h.setInput(f.bytes);
  h.scan();
  EXPECT_EQ(input.position(), static_cast<std::int64_t>(4 * MIB));
  EXPECT_EQ(progressTexts(h.window),
            std::vector<std::string>{" Reading FEATURE_1.EVO 4/8 Mbytes, Remaining time: " + formatRemainingTime(2)});
  EXPECT_EQ(h.window.processEventsCalls, 1);
  EXPECT_EQ(h.slots.Get(1), 0xE0);
  EXPECT_EQ(h.slots.Get(17), -1);
  EXPECT_EQ(h.window.buttonChanges, CANCEL_ON_OFF);

  // Without fast checking the whole file is scanned.
  EngineHarness full;
  full.window.fastCheckChecked = false;
  full.setInput(f.bytes);
  full.scan();
  EXPECT_EQ(full.slots.Get(17), 0x80);
  EXPECT_EQ(full.window.panelHistory.size(), 2u);
}

TEST(EngineLoop, DemuxIgnoresFastScanAndReportsEveryFourMebibytes) {
  const PackFile f = packFile(8 * MIB / PACK_SIZE, {4 * MIB / PACK_SIZE});
  EngineHarness h;
  twoSecondsPerReport(h);
  h.setInput(f.bytes);
  h.openAllOutputs();
  h.demux();
  EXPECT_EQ(
      progressTexts(h.window),
      (std::vector<std::string>{" Demuxing FEATURE_1.EVO 4/8 Mbytes, Remaining time: " + formatRemainingTime(2),
                                " Demuxing FEATURE_1.EVO 8/8 Mbytes, Remaining time: " + formatRemainingTime(0)}));
  EXPECT_EQ(h.video[0], f.video);
  EXPECT_EQ(h.audio[0], f.audio);
  EXPECT_TRUE(h.engine.run().Demuxing);
}

TEST(EngineLoop, ALaterClipOfATitleReportsOverTheTitleAndKeepsTheSlots) {
  // The second of two 8 MiB clips, AC-3 in its first pack: 4 MiB read in 2 s, 4 MiB of the title left.
  const PackFile f = packFile(8 * MIB / PACK_SIZE, {0});
  EngineHarness h;
  twoSecondsPerReport(h);
  h.slots.Claim(18, 0x81);  // left by the first clip
  h.setInput(f.bytes);
  h.engine.demux(Mode::Scan, {true, false}, {8 * MIB, 16 * MIB}, true);
  EXPECT_EQ(progressTexts(h.window),
            std::vector<std::string>{" Reading FEATURE_1.EVO 12/16 Mbytes, Remaining time: " + formatRemainingTime(2)});
  EXPECT_EQ(h.slots.Get(18), 0x81);
  EXPECT_EQ(h.slots.Get(17), 0x80);
}

TEST(EngineLoop, PartialLastBlockMakesNoReport) {
  PackFile f = packFile(10 * MIB / PACK_SIZE);
  const Bytes tail = PsBuilder().padding(100).bytes();
  f.bytes.insert(f.bytes.end(), tail.begin(), tail.end());
  EngineHarness h;
  MemoryInputFile& input = h.setInput(f.bytes);
  h.window.fastCheckChecked = false;
  h.scan();
  EXPECT_EQ(input.reads, 161);
  const auto texts = progressTexts(h.window);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].rfind(" Reading FEATURE_1.EVO 4/10 Mbytes, Remaining time: ", 0), 0u);
  EXPECT_EQ(texts[1].rfind(" Reading FEATURE_1.EVO 8/10 Mbytes, Remaining time: ", 0), 0u);
}

// A box changed or Cancel clicked during a report acts from the block just read (it is walked after the
// report); a cancelled run has processed exactly a whole multiple of 4 MiB.
TEST(EngineLoop, CancelAndUntickDuringReports) {
  constexpr std::size_t packsPerBlock = READ_BUFFER_SIZE / PACK_SIZE;
  constexpr std::size_t videoBytes = PACK_SIZE - 14 - 9;
  const PackFile f = packFile(16 * MIB / PACK_SIZE, {}, 12 * MIB / PACK_SIZE);
  EngineHarness h;
  MemoryInputFile& input = h.setInput(f.bytes);
  h.openAllOutputs();
  h.window.onProcessEvents = [&] {
    if (input.position() == static_cast<std::int64_t>(4 * MIB))
      h.engine.router().setTicked(videoBox(0), false);
    if (input.position() == static_cast<std::int64_t>(8 * MIB))
      h.engine.router().setTicked(videoBox(0), true);
    if (input.position() == static_cast<std::int64_t>(12 * MIB))
      h.engine.run().CancelRequested = true;
  };
  h.demux();
  EXPECT_EQ(input.position(), static_cast<std::int64_t>(12 * MIB));
  EXPECT_EQ(input.reads, 192);
  const auto at = [&](std::size_t mib) {
    return f.video.begin() + static_cast<std::ptrdiff_t>((mib * MIB / PACK_SIZE - packsPerBlock) * videoBytes);
  };
  Bytes expected(f.video.begin(), at(4));
  expected.insert(expected.end(), at(8), f.video.end());
  EXPECT_EQ(h.video[0], expected);
  EXPECT_EQ(h.window.buttonChanges, CANCEL_ON_OFF);
}

TEST(EngineLoop, FilesBeyondFourGibibytesReportTrueMebibyteCounts) {
  // 6 GiB and 4 KiB of padding packets, each block one packet.
  constexpr std::int64_t size = 6LL * 1024 * MIB + 4096;
  EngineHarness h;
  h.setInput(PsBuilder().padding(65536).bytes(), "/d/BIG.EVO", size);
  h.demux();
  EXPECT_EQ(h.input->position(), size);
  const auto texts = progressTexts(h.window);
  ASSERT_EQ(texts.size(), 1536u);
  EXPECT_EQ(texts[1024].rfind(" Demuxing BIG.EVO 4100/6144 Mbytes, Remaining time: ", 0), 0u);
  EXPECT_EQ(texts.back().rfind(" Demuxing BIG.EVO 6144/6144 Mbytes, Remaining time: ", 0), 0u);
  EXPECT_EQ(h.window.repaintCalls, 96);
}

TEST(EngineLoop, RealFileSizeBeyondFourGibibytes) {
  TempDir dir;
  const std::string path = dir.file("SPARSE.EVO");
  const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  const bool sized = ::ftruncate(fd, 6LL * 1024 * MIB + 1) == 0;
  ::close(fd);
  if (!sized)
    GTEST_SKIP() << "no sparse files here";
  const auto input = PosixFileSystem::instance().openRead(path);
  EXPECT_EQ(input->size(), 6LL * 1024 * MIB + 1);
}

TEST(EngineLoop, ReadFailuresEndTheRunWithAnErrorAndCancelOff) {
  const PackFile f = packFile(64);
  for (const bool throws : {false, true}) {
    SCOPED_TRACE(throws);
    EngineHarness h;
    MemoryInputFile& input = h.setInput(concat({f.bytes, f.bytes}));
    (throws ? input.throwReadAt : input.zeroReadAt) = 65536;
    try {
      h.scan();
      ADD_FAILURE() << "no error";
    } catch (const StreamReadError& e) {
      EXPECT_EQ(e.what(),
                "Cannot read file \"" + input.path() + "\". " + (throws ? "Input/output error" : ENDS_BEFORE_ITS_SIZE));
    }
    EXPECT_EQ(input.position(), 65536);
    EXPECT_EQ(h.window.buttonChanges, CANCEL_ON_OFF);
  }
}

TEST(EngineLoop, WriteFailureStopsTheRunWithCancelOff) {
  const PackFile f = packFile(64, {3, 40});
  EngineHarness h;
  h.setInput(f.bytes);
  h.openAllOutputs();
  h.audioFile[0]->failAfter = 3000;
  try {
    h.demux();
    ADD_FAILURE() << "no error";
  } catch (const StreamWriteError& e) {
    EXPECT_EQ(e.what(), "Cannot write file \"" + h.audioFile[0]->path() + "\". No space left on device");
  }
  EXPECT_EQ(h.audio[0], Bytes(f.audio.begin(), f.audio.begin() + 3000));
  EXPECT_EQ(h.video[0].size(), 39u * 2025);  // stopped at the failing packet
  EXPECT_EQ(h.window.buttonChanges, CANCEL_ON_OFF);
}

TEST(EngineLoop, DemuxThroughRealFiles) {
  const PackFile f = packFile(100, {7, 50, 99});
  TempDir dir;
  writeFile(dir.file("F.EVO"), f.bytes);
  EngineHarness h;
  h.engine.run().InputFile = PosixFileSystem::instance().openRead(dir.file("F.EVO"));
  PayloadRouter& router = h.engine.router();
  router.add({Route::By::VideoNumber, 0}, videoBox(0),
             std::make_unique<RawWriter>(PosixFileSystem::instance().create(dir.file("v.mpv"))));
  router.add({Route::By::AudioNumber, 0}, audioBox(0),
             std::make_unique<RawWriter>(PosixFileSystem::instance().create(dir.file("a.mpa"))));
  router.setTicked(videoBox(0), true);
  router.setTicked(audioBox(0), true);
  h.demux();
  router.closeAll();
  EXPECT_EQ(readFile(dir.file("v.mpv")), f.video);
  EXPECT_EQ(readFile(dir.file("a.mpa")), f.audio);
}

}  // namespace
}  // namespace ardunex::test
