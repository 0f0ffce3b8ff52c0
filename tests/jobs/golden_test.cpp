// What scan and demux write from damaged program streams, pinned by the md5 of every output file and of the log.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "engine/errors.h"
#include "jobs/session.h"
#include "support/fake_window.h"
#include "support/golden_streams.h"
#include "support/md5.h"
#include "support/memory_files.h"

namespace ardunex {
namespace {

using test::Bytes;
using test::GoldenCase;

const std::string FOLDER = "/golden/";

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

TEST(Golden, FalseStartCodeInGarbageHidesNoPacket) {
  // 00 00 01 DE among damaged bytes is no packet: the VC-1 packets its length field would cover are found.
  const GoldenCase golden{"resync-0xDE",
                          {{"resync-0xDE.EVO", test::readFile(ARDUNEX_FIXTURES_DIR "/evo/resync-0xDE.EVO")}}};
  EXPECT_EQ(demuxed(golden, false).files, "resync-0xDE.VC-1.stream.00.mpv=49d8257a4bfcc2296d2b509140eb73d8");
}

}  // namespace
}  // namespace ardunex
