// SPDX-License-Identifier: GPL-2.0-or-later
// SUP units from a subpicture stream's packets and time stamps.
#include <gtest/gtest.h>

#include <variant>

#include "support/engine_harness.h"

namespace ardunex::test {
namespace {

struct Pts {
  std::int64_t value;
};
struct Interrupt {};
using Event = std::variant<Pts, Bytes, Interrupt>;

TEST(SupWriter, UnitsFromPacketsAndTimeStamps) {
  const Bytes a{1, 2, 3}, b{4, 5}, c{6, 7, 8, 9}, big(SUP_LARGE_UNIT + 1, 0xAB);
  const std::string stream = "Subpicture stream number 3: ";
  const std::string cut = stream + "the unit cut short by Cancel is not written.";
  struct Case {
    const char* name;
    std::vector<Event> events;
    bool cutShort;
    Bytes expected;
    std::vector<std::string> log;
    std::size_t memory = SUP_UNIT_BUFFER_LIMIT;
  };
  const std::vector<Case> cases{
      {"units over several packets",
       {Pts{900}, a, Pts{-1}, b, Pts{1800}, c},
       false,
       concat({supUnit(900, concat({a, b})), supUnit(1800, c)}),
       {}},
      {"payload before the first PTS",
       {Pts{-1}, a, b, Pts{3000}, c},
       false,
       supUnit(3000, c),
       {stream + "5 bytes before the first time stamp dropped."}},
      {"the PTS's low 32 bits",
       {Pts{0x1'2345'6789}, a},
       false,
       {0x53, 0x50, 0x89, 0x67, 0x45, 0x23, 0, 0, 0, 0, 1, 2, 3},
       {}},
      {"a PTS without payload", {Pts{5}, Pts{6}, a}, false, concat({supUnit(5, {}), supUnit(6, a)}), {}},
      {"cut short", {Pts{10}, a, Pts{20}, b}, true, supUnit(10, a), {cut}},
      {"cut short once written out", {Pts{10}, a, Pts{20}, b, c}, true, supUnit(10, a), {cut}, 4},
      {"written out, whole",
       {Pts{10}, a, Pts{20}, b, c},
       false,
       concat({supUnit(10, a), supUnit(20, concat({b, c}))}),
       {},
       4},
      {"no PTS at all", {a, Pts{-1}, b}, false, {}, {stream + "no time stamp met, the file is empty."}},
      {"interrupted up to the next PTS",
       {Pts{10}, a, Interrupt{}, b, Pts{-1}, c, Pts{30}, a},
       false,
       supUnit(30, a),
       {}},
      {"beyond 16 Mbytes",
       {Pts{43}, big},
       false,
       supUnit(43, big),
       {stream + "the unit at PTS 43 holds 16777217 bytes, more than 16 Mbytes."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeWindow window;
    Bytes sink;
    SupWriter writer(std::make_unique<MemoryOutputFile>("s.sup", sink), window, 3, c.memory);
    for (const Event& event : c.events) {
      if (const auto* pts = std::get_if<Pts>(&event))
        writer.packetStart(pts->value);
      else if (const auto* bytes = std::get_if<Bytes>(&event))
        writer.append(bytes->data(), bytes->size());
      else
        writer.cutBack();
    }
    writer.finish(c.cutShort);
    EXPECT_TRUE(sink == c.expected);
    EXPECT_EQ(window.logLines, c.log);
  }
}

}  // namespace
}  // namespace ardunex::test
