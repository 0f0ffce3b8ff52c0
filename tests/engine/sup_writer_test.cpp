// SUP units: where a unit begins and ends, its header, and what happens to bytes that belong to none.
#include "engine/sup_writer.h"

#include <gtest/gtest.h>

#include <variant>

#include "engine_harness.h"

namespace ardunex::test {
namespace {

Bytes unit(std::uint32_t pts, const Bytes& body) { return supUnit(pts, body); }

struct Pts {
  std::int64_t value;
};
struct Interrupt {};
using Event = std::variant<Pts, Bytes, Interrupt>;

struct Case {
  const char* name;
  std::vector<Event> events;
  bool cutShort;
  Bytes expected;
  std::vector<std::string> log;
};

TEST(SupWriter, UnitsFromPacketsAndTimeStamps) {
  const Bytes a{1, 2, 3}, b{4, 5}, c{6, 7, 8, 9}, d{10};
  const std::vector<Case> cases{
      {"units over several packets",
       {Pts{900}, a, Pts{-1}, b, Pts{1800}, c, Pts{-1}, d},
       false,
       concat({unit(900, concat({a, b})), unit(1800, concat({c, d}))}),
       {}},
      {"payload before the first PTS is dropped",
       {Pts{-1}, a, b, Pts{3000}, c},
       false,
       unit(3000, c),
       {"Subpicture stream number 3: 5 bytes before the first time stamp dropped."}},
      {"only the low 32 bits of the PTS",
       {Pts{0x1'2345'6789}, a},
       false,
       {0x53, 0x50, 0x89, 0x67, 0x45, 0x23, 0x00, 0x00, 0x00, 0x00, 1, 2, 3},
       {}},
      {"a packet with a PTS and no payload is a unit",
       {Pts{5}, Pts{6}, a},
       false,
       concat({unit(5, {}), unit(6, a)}),
       {}},
      {"the unit cut short is not written",
       {Pts{10}, a, Pts{20}, b, c},
       true,
       unit(10, a),
       {"Subpicture stream number 3: the unit cut short by Cancel is not written."}},
      {"no PTS at all",
       {Pts{-1}, a, Pts{-1}, b},
       false,
       {},
       {"Subpicture stream number 3: no time stamp met, the file is empty."}},
      {"an interrupted unit is dropped up to the next PTS",
       {Pts{10}, a, Interrupt{}, b, Pts{-1}, c, Pts{30}, d},
       false,
       unit(30, d),
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeWindow window;
    Bytes sink;
    SupWriter writer(std::make_unique<MemoryOutputFile>("s.sup", sink), window, 3);
    for (const Event& event : c.events) {
      if (const auto* pts = std::get_if<Pts>(&event))
        writer.packetStart(pts->value);
      else if (const auto* bytes = std::get_if<Bytes>(&event))
        writer.append(bytes->data(), bytes->size());
      else
        writer.interrupt();
    }
    writer.finish(c.cutShort);
    writer.close();
    EXPECT_EQ(sink, c.expected);
    EXPECT_EQ(window.logLines, c.log);
  }
}

// A unit larger than the memory it may take is written as it comes; dropped, it is cut off the file again.
TEST(SupWriter, LargeUnitsAreStreamedAndCutBackWhenDropped) {
  const Bytes first = payload(30, 1), big = payload(100, 2);
  for (const bool cutShort : {false, true}) {
    SCOPED_TRACE(cutShort ? "cut short" : "whole");
    FakeWindow window;
    Bytes sink;
    SupWriter writer(std::make_unique<MemoryOutputFile>("s.sup", sink), window, 0, 40);
    writer.packetStart(100);
    writer.append(first.data(), first.size());
    writer.packetStart(200);
    for (std::size_t at = 0; at < big.size(); at += 25)
      writer.append(big.data() + at, 25);
    // The first unit is whole; the large one is in the file already, not held back.
    EXPECT_EQ(sink, concat({unit(100, first), unit(200, big)}));
    writer.finish(cutShort);
    EXPECT_EQ(sink, cutShort ? unit(100, first) : concat({unit(100, first), unit(200, big)}));
  }
}

TEST(SupWriter, UnitsBeyond16MbytesAreLogged) {
  FakeWindow window;
  Bytes sink;
  SupWriter writer(std::make_unique<MemoryOutputFile>("s.sup", sink), window, 2);
  const Bytes mbyte(std::size_t{1} << 20, 0xAB);
  writer.packetStart(42);
  for (int k = 0; k < 16; ++k)
    writer.append(mbyte.data(), mbyte.size());
  writer.packetStart(43);  // exactly 16 Mbytes: not logged
  for (int k = 0; k < 16; ++k)
    writer.append(mbyte.data(), mbyte.size());
  writer.append(mbyte.data(), 1);
  writer.finish(false);
  EXPECT_EQ(sink.size(), 2 * (SUP_HEADER_BYTES + (std::size_t{16} << 20)) + 1);
  EXPECT_EQ(window.logLines, std::vector<std::string>{
                                 "Subpicture stream number 2: the unit at PTS 43 holds 16777217 bytes, more than 16 "
                                 "Mbytes."});
}

// Cutting a real file back: the bytes after the cut are gone and the next append follows the cut.
TEST(SupWriter, PosixFilesCutBack) {
  TempDir dir;
  const std::string path = dir.file("cut.sup");
  auto file = PosixFileSystem::instance().create(path);
  const Bytes head = payload(5000, 1), tail = payload(3'000'000, 2), after = payload(7, 3);
  file->append(head.data(), head.size());
  file->append(tail.data(), tail.size());
  file->truncate(static_cast<std::int64_t>(head.size()));
  file->append(after.data(), after.size());
  file->close();
  EXPECT_EQ(readFile(path), concat({head, after}));
}

}  // namespace
}  // namespace ardunex::test
