// SPDX-License-Identifier: GPL-2.0-or-later
// Measures the engine's scan and demux throughput against a plain read loop and a plain copy loop.
//
// ardunex-bench [size in MiB, default 1024] [folder, default $TMPDIR or /tmp] [repeats, default 3]
// ardunex-bench --write-only MiB PATH   only writes the synthetic EVO file to PATH and keeps it
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "base/run_observer.h"
#include "engine/engine.h"
#include "outputs/stream_writer.h"

namespace {

using namespace ardunex;

constexpr std::size_t PACK_SIZE = 2048;
constexpr std::size_t BLOCK = 65536;
constexpr std::int64_t MIB = 1024 * 1024;

// A run nobody watches.
class SilentObserver : public RunObserver {
 public:
  void log(std::string_view) override {}
};

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "ardunex-bench: %s: %s\n", what.c_str(), std::strerror(errno));
  std::exit(1);
}

// Pseudo-random filler with no 00 00 01 in it, like compressed audio and video.
class Filler {
 public:
  void fill(std::uint8_t* out, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      m_state ^= m_state << 13;
      m_state ^= m_state >> 7;
      m_state ^= m_state << 17;
      out[i] = static_cast<std::uint8_t>(m_state >> 32) | 0x02;
    }
  }

 private:
  std::uint64_t m_state = 0x9E3779B97F4A7C15ull;
};

// 2048-byte packs: a pack header (Table 2-33), then one PES packet filling the pack.
class PackWriter {
 public:
  explicit PackWriter(std::uint8_t* pack) : m_pack(pack) {}

  std::size_t packHeader(std::uint64_t scr) {
    std::uint8_t* p = m_pack;
    p[0] = 0x00, p[1] = 0x00, p[2] = 0x01, p[3] = 0xBA;
    p[4] = static_cast<std::uint8_t>(0x44 | (((scr >> 30) & 7) << 3) | ((scr >> 28) & 3));
    p[5] = static_cast<std::uint8_t>(scr >> 20);
    p[6] = static_cast<std::uint8_t>((((scr >> 15) & 0x1F) << 3) | 0x04 | ((scr >> 13) & 3));
    p[7] = static_cast<std::uint8_t>(scr >> 5);
    p[8] = static_cast<std::uint8_t>(((scr & 0x1F) << 3) | 0x04);
    p[9] = 0x01;
    p[10] = 0x04, p[11] = 0x9D, p[12] = 0x43;  // program_mux_rate 75600, markers
    p[13] = 0xF8;                              // pack_stuffing_length 0
    return 14;
  }

  // Start code and PES_packet_length for a packet running to the end of the pack.
  static std::size_t startPacket(std::uint8_t* p, std::size_t at, std::uint8_t streamId) {
    const std::size_t length = PACK_SIZE - at - 6;
    p[at] = 0x00, p[at + 1] = 0x00, p[at + 2] = 0x01, p[at + 3] = streamId;
    p[at + 4] = static_cast<std::uint8_t>(length >> 8);
    p[at + 5] = static_cast<std::uint8_t>(length);
    return at + 6;
  }

  static void timeStamp(std::uint8_t* p, std::uint8_t prefix, std::uint64_t ts) {
    p[0] = static_cast<std::uint8_t>((prefix << 4) | (((ts >> 30) & 7) << 1) | 1);
    p[1] = static_cast<std::uint8_t>(ts >> 22);
    p[2] = static_cast<std::uint8_t>((((ts >> 15) & 0x7F) << 1) | 1);
    p[3] = static_cast<std::uint8_t>(ts >> 7);
    p[4] = static_cast<std::uint8_t>(((ts & 0x7F) << 1) | 1);
  }

  std::uint8_t* m_pack;
};

enum class PackKind { Navigation, Video, VideoWithTimeStamps, Ac3, DdPlus, Lpcm, Padding };

// One group of packs as an HD DVD title interleaves them: navigation first, mostly video.
const PackKind PATTERN[] = {
    PackKind::Navigation, PackKind::VideoWithTimeStamps,
    PackKind::Video,      PackKind::Video,
    PackKind::Ac3,        PackKind::Video,
    PackKind::Video,      PackKind::DdPlus,
    PackKind::Video,      PackKind::Video,
    PackKind::Lpcm,       PackKind::Video,
    PackKind::Video,      PackKind::Video,
    PackKind::Ac3,        PackKind::Video,
    PackKind::Video,      PackKind::DdPlus,
    PackKind::Video,      PackKind::Video,
    PackKind::Lpcm,       PackKind::Video,
    PackKind::Video,      PackKind::Video,
    PackKind::Video,      PackKind::Video,
    PackKind::Video,      PackKind::Video,
    PackKind::Video,      PackKind::Video,
    PackKind::Lpcm,       PackKind::Padding,
};

void makePack(std::uint8_t* p, PackKind kind, std::uint64_t index, Filler& filler) {
  PackWriter w(p);
  std::size_t at = w.packHeader(index * 300);
  const std::uint64_t pts = 90000 + index * 1501;
  switch (kind) {
    case PackKind::Navigation: {
      // System header with two stream entries, then private_stream_2 navigation data.
      const std::uint8_t system[] = {0x00, 0x00, 0x01, 0xBB, 0x00, 0x0C, 0x80, 0xC4, 0xE1,
                                     0x04, 0xE1, 0x7F, 0xE0, 0xE0, 0xE8, 0xBD, 0xE0, 0x3A};
      std::memcpy(p + at, system, sizeof system);
      at += sizeof system;
      at = PackWriter::startPacket(p, at, 0xBF);
      std::memset(p + at, 0x00, PACK_SIZE - at);
      return;
    }
    case PackKind::Padding:
      at = PackWriter::startPacket(p, at, 0xBE);
      std::memset(p + at, 0xFF, PACK_SIZE - at);
      return;
    case PackKind::Video:
    case PackKind::VideoWithTimeStamps:
      at = PackWriter::startPacket(p, at, 0xE0);
      p[at++] = 0x81;
      if (kind == PackKind::VideoWithTimeStamps) {
        p[at++] = 0xC0;
        p[at++] = 10;
        PackWriter::timeStamp(p + at, 0x3, pts + 3003);
        PackWriter::timeStamp(p + at + 5, 0x1, pts);
        at += 10;
      } else {
        p[at++] = 0x00;
        p[at++] = 0;
      }
      break;
    case PackKind::Ac3:
    case PackKind::DdPlus:
    case PackKind::Lpcm: {
      at = PackWriter::startPacket(p, at, 0xBD);
      p[at++] = 0x81;
      p[at++] = 0x80;
      p[at++] = 5;
      PackWriter::timeStamp(p + at, 0x2, pts);
      at += 5;
      const std::uint8_t id = kind == PackKind::Ac3 ? 0x80 : kind == PackKind::DdPlus ? 0xC1 : 0xA2;
      p[at++] = id, p[at++] = 0x01, p[at++] = 0x00, p[at++] = 0x01;  // sub-stream header
      if (kind == PackKind::Lpcm)
        p[at++] = 0x00, p[at++] = 0x11, p[at++] = 0x80;
      break;
    }
  }
  filler.fill(p + at, PACK_SIZE - at);
}

void writeEvo(const std::string& path, std::int64_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0)
    fail("cannot create " + path);
  std::vector<std::uint8_t> chunk(MIB);
  Filler filler;
  std::uint64_t index = 0;
  for (std::int64_t written = 0; written < size; written += MIB) {
    for (std::size_t at = 0; at < chunk.size(); at += PACK_SIZE, ++index)
      makePack(chunk.data() + at, PATTERN[index % std::size(PATTERN)], index, filler);
    if (::write(fd, chunk.data(), chunk.size()) != static_cast<ssize_t>(chunk.size()))
      fail("cannot write " + path);
  }
  if (::close(fd) != 0)
    fail("cannot close " + path);
}

double seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void readLoop(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0)
    fail("cannot open " + path);
  std::vector<std::uint8_t> buffer(BLOCK);
  while (::read(fd, buffer.data(), BLOCK) > 0) {
  }
  ::close(fd);
}

void copyLoop(const std::string& from, const std::string& to) {
  const int in = ::open(from.c_str(), O_RDONLY);
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (in < 0 || out < 0)
    fail("cannot open " + from + " or " + to);
  std::vector<std::uint8_t> buffer(BLOCK);
  ssize_t got;
  while ((got = ::read(in, buffer.data(), BLOCK)) > 0)
    if (::write(out, buffer.data(), static_cast<std::size_t>(got)) != got)
      fail("cannot write " + to);
  ::close(in);
  if (::close(out) != 0)
    fail("cannot close " + to);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--write-only") == 0) {
    const std::int64_t sizeMib = argc == 4 ? std::atoll(argv[2]) : 0;
    if (sizeMib <= 0) {
      std::fprintf(stderr, "usage: ardunex-bench --write-only MiB PATH\n");
      return 2;
    }
    writeEvo(argv[3], sizeMib * MIB);
    return 0;
  }
  const std::int64_t sizeMib = argc > 1 ? std::atoll(argv[1]) : 1024;
  const char* tmp = std::getenv("TMPDIR");
  const std::string folder = argc > 2 ? argv[2] : (tmp && *tmp ? tmp : "/tmp");
  const int repeats = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
  if (sizeMib <= 0) {
    std::fprintf(stderr, "usage: ardunex-bench [MiB] [folder] [repeats]\n");
    return 2;
  }
  const std::int64_t size = sizeMib * MIB;
  const std::string evo = folder + "/ardunex-bench-" + std::to_string(::getpid()) + ".EVO";
  const std::string copy = evo + ".copy";
  std::vector<std::string> outputs;

  std::printf("writing %lld MiB to %s\n", static_cast<long long>(sizeMib), evo.c_str());
  writeEvo(evo, size);
  readLoop(evo);  // warm-up: the file is now in the page cache as far as memory allows

  SilentObserver observer;
  StreamSlotTable slots;
  Engine engine(observer, slots);
  RunState& run = engine.run();
  const auto scan = [&] {
    run.InputFile = PosixFileSystem::instance().openRead(evo);
    engine.demux(Mode::Scan, {false, false});  // a full scan
    run.InputFile.reset();
  };
  // The demux job's way: one created file per stream found.
  const auto demux = [&] {
    outputs.clear();
    PayloadRouter& router = engine.router();
    const auto create = [&](Route route, int box, const std::string& path) {
      outputs.push_back(path);
      router.add(route, box, std::make_unique<RawWriter>(PosixFileSystem::instance().create(path)));
      router.setTicked(box, true);
    };
    for (int n = 0; n < 2; ++n)
      if (slots.present(StreamSlotTable::FIRST_VIDEO_SLOT + n))
        create({Route::By::VideoNumber, n}, videoBox(n), evo + ".video" + std::to_string(n));
    for (int n = 0; n < 16; ++n)
      if (slots.present(StreamSlotTable::FIRST_AUDIO_SLOT + n))
        create({Route::By::AudioNumber, n}, audioBox(n), evo + ".audio" + std::to_string(n));
    run.InputFile = PosixFileSystem::instance().openRead(evo);
    engine.demux(Mode::Demux, {false, false});
    router.closeAll();
    run.InputFile.reset();
  };
  scan();  // finds the streams that demux writes

  // The four measurements take turns, so that a slower spell of the machine does not fall on one alone.
  double readTime = 1e100;
  double copyTime = 1e100;
  double scanTime = 1e100;
  double demuxTime = 1e100;
  for (int round = 0; round < repeats; ++round) {
    readTime = std::min(readTime, seconds([&] { readLoop(evo); }));
    scanTime = std::min(scanTime, seconds(scan));
    copyTime = std::min(copyTime, seconds([&] { copyLoop(evo, copy); }));
    ::unlink(copy.c_str());
    demuxTime = std::min(demuxTime, seconds(demux));
    for (const std::string& output : outputs)
      ::unlink(output.c_str());  // like the copy, not truncated by the next round while it is timed
  }
  for (const std::string& output : outputs)
    ::unlink(output.c_str());
  ::unlink(evo.c_str());

  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  const double mb = static_cast<double>(size) / 1e6;
  std::printf("streams written in demux: %zu files\n", outputs.size());
  std::printf("read  %8.1f MB/s\n", mb / readTime);
  std::printf("copy  %8.1f MB/s\n", mb / copyTime);
  std::printf("scan  %8.1f MB/s\n", mb / scanTime);
  std::printf("demux %8.1f MB/s\n", mb / demuxTime);
  std::printf("scan/read   %.3f (target >= 0.95)\n", readTime / scanTime);
  std::printf("demux/copy  %.3f (target >= 0.85)\n", copyTime / demuxTime);
  std::printf("peak RSS    %ld KiB\n", usage.ru_maxrss);
  return 0;
}
