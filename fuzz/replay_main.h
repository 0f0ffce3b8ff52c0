// SPDX-License-Identifier: GPL-2.0-or-later
// The replay main of builds without libFuzzer: runs the target once on each file named on the command line.
#pragma once

#ifdef ARDUNEX_FUZZ_REPLAY_MAIN

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

/// Replays crash inputs and seed corpus files; a file that cannot be opened fails the run.
int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[i]);
      return 1;
    }
    const std::vector<std::uint8_t> input((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(input.data(), input.size());
    std::printf("%s: ok\n", argv[i]);
  }
  return 0;
}

#endif  // ARDUNEX_FUZZ_REPLAY_MAIN
