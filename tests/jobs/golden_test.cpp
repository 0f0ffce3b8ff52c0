// SPDX-License-Identifier: GPL-2.0-or-later
// The golden table: what scan and demux write from generated damaged program streams, pinned by the md5 of
// every output file and of the log. A change of the table is a change of the program's output.
//
//   ARDUNEX_GOLDEN_UPDATE=1  rewrites tests/fixtures/golden/outputs.txt from this build
//   ARDUNEX_GOLDEN_DUMP=DIR  writes every case's EVO files to DIR/CASE/, to run other builds on them
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "base/errors.h"
#include "jobs/session.h"
#include "support/fake_window.h"
#include "support/golden_streams.h"
#include "support/md5.h"
#include "support/memory_files.h"

namespace ardunex {
namespace {

using test::Bytes;
using test::GoldenCase;

const std::string TABLE = ARDUNEX_FIXTURES_DIR "/golden/outputs.txt";
const std::string FOLDER = "/golden/";
constexpr const char* SAME = "=";  // a fast-check field that equals the full scan's

std::string md5(const Bytes& bytes) { return test::md5Hex(bytes.data(), bytes.size()); }

/// What Read EVO and then Demux of every box the scan ticked write, every opt-in option off: "NAME=MD5" for
/// each output file by name ("-" for none), and the md5 of the log.
struct Outcome {
  std::string files;
  std::string log;
};

Outcome demuxed(const GoldenCase& golden, bool fastCheck) {
  test::MemoryFileSystem files;
  for (const auto& [name, bytes] : golden.files)
    files.files[FOLDER + name] = bytes;
  FakeWindow fake;
  Session session(fake, files);
  fake.session = &session;
  fake.fastCheckChecked = fastCheck;
  session.chooseEvoFile(FOLDER + golden.files.front().first);
  try {
    session.bCheckClick();
    session.bDemuxClick();
  } catch (const Error& error) {
    fake.logLines.push_back(std::string("Failure: ") + error.what());
  }
  Outcome outcome;
  for (const auto& [path, bytes] : files.files) {
    const std::string name = path.substr(FOLDER.size());
    if (std::none_of(golden.files.begin(), golden.files.end(), [&](const auto& input) { return input.first == name; }))
      outcome.files += (outcome.files.empty() ? "" : " ") + name + "=" + md5(bytes);
  }
  if (outcome.files.empty())
    outcome.files = "-";
  std::string log;
  for (const std::string& line : fake.logLines)
    log += line + "\n";
  outcome.log = md5(Bytes(log.begin(), log.end()));
  return outcome;
}

// One line of the table: the case, then files and log of the full scan, then those of the fast check.
std::vector<std::string> fieldsOf(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, '\t');)
    fields.push_back(field);
  fields.resize(5);
  for (std::size_t k = 3; k < 5; ++k)
    if (fields[k] == SAME)
      fields[k] = fields[k - 2];
  return fields;
}

std::vector<std::string> tableLine(const GoldenCase& golden) {
  const Outcome full = demuxed(golden, false);
  const Outcome fast = demuxed(golden, true);
  return {golden.name, full.files, full.log, fast.files, fast.log};
}

std::map<std::string, std::string> filesOf(const std::string& field) {
  std::map<std::string, std::string> files;
  std::istringstream in(field);
  for (std::string item; in >> item;)
    if (const auto equals = item.rfind('='); equals != std::string::npos)
      files[item.substr(0, equals)] = item.substr(equals + 1);
  return files;
}

// What differs between the table's fields and this build's, one phrase each.
std::string differences(const std::vector<std::string>& table, const std::vector<std::string>& now) {
  std::string text;
  for (std::size_t mode = 0; mode < 2; ++mode) {
    const std::string name = mode == 0 ? "full scan: " : "fast check: ";
    const auto before = filesOf(table[1 + 2 * mode]);
    const auto after = filesOf(now[1 + 2 * mode]);
    for (const auto& [file, hash] : before)
      if (!after.count(file))
        text += name + file + " not written; ";
      else if (after.at(file) != hash)
        text += name + file + " differs; ";
    for (const auto& [file, hash] : after)
      if (!before.count(file))
        text += name + file + " written anew; ";
    if (table[2 + 2 * mode] != now[2 + 2 * mode])
      text += name + "log differs; ";
  }
  return text;
}

TEST(Golden, GeneratedStreamsWriteWhatTheTableHolds) {
  std::map<std::string, std::vector<std::string>> table;
  {
    std::ifstream in(test::fsPath(TABLE), std::ios::binary);
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r')
        line.pop_back();
      if (!line.empty() && line[0] != '#')
        table[line.substr(0, line.find('\t'))] = fieldsOf(line);
    }
  }
  const char* updateVariable = std::getenv("ARDUNEX_GOLDEN_UPDATE");
  const bool update = updateVariable && std::string(updateVariable) == "1";
  const char* dump = std::getenv("ARDUNEX_GOLDEN_DUMP");
  std::string rewritten =
      "# Written by ARDUNEX_GOLDEN_UPDATE=1 ctest -R Golden: the md5 of every output file and of the log of\n"
      "# Read EVO and Demux, with Fast EVO checking off and on, for the cases of tests/support/golden_streams.cpp.\n"
      "# case\tfull-scan files\tfull-scan log\tfast-check files (= same)\tfast-check log (= same)\n";
  int differing = 0;
  const int count = test::goldenCaseCount();
  for (int index = 0; index < count; ++index) {
    const GoldenCase golden = test::goldenCase(index);
    if (dump && *dump) {
      std::filesystem::create_directories(test::fsPath(std::string(dump) + "/" + golden.name));
      for (const auto& [name, bytes] : golden.files)
        test::writeFile(std::string(dump) + "/" + golden.name + "/" + name, bytes);
    }
    const std::vector<std::string> now = tableLine(golden);
    rewritten += now[0] + "\t" + now[1] + "\t" + now[2] + "\t" + (now[3] == now[1] ? SAME : now[3]) + "\t" +
                 (now[4] == now[2] ? SAME : now[4]) + "\n";
    const auto row = table.find(golden.name);
    if (update || (row != table.end() && row->second == now))
      continue;
    if (++differing <= 20)
      ADD_FAILURE() << golden.name << ": " << (row == table.end() ? "not in the table" : differences(row->second, now));
  }
  if (update) {
    std::ofstream out(test::fsPath(TABLE), std::ios::binary);
    out << rewritten;
    ASSERT_TRUE(out.good()) << "cannot write " << TABLE;
    GTEST_SKIP() << "rewrote " << TABLE;
  }
  EXPECT_EQ(differing, 0) << "cases differing from " << TABLE << " (ARDUNEX_GOLDEN_UPDATE=1 rewrites it)";
  EXPECT_EQ(table.size(), static_cast<std::size_t>(count)) << "cases in the table";
}

TEST(Golden, FalseStartCodeInGarbageHidesNoPacket) {
  // 00 00 01 DE among damaged bytes is no packet: the VC-1 packets its length field would cover are found.
  const GoldenCase golden{"resync-0xDE",
                          {{"resync-0xDE.EVO", test::readFile(ARDUNEX_FIXTURES_DIR "/evo/resync-0xDE.EVO")}}};
  EXPECT_EQ(demuxed(golden, false).files, "resync-0xDE.VC-1.stream.00.mpv=49d8257a4bfcc2296d2b509140eb73d8");
}

}  // namespace
}  // namespace ardunex
