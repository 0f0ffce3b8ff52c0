// SPDX-License-Identifier: GPL-2.0-or-later
// Features for tests: program streams of packs that carry packets of several streams in turn, with what each
// stream's file must hold; built twice, they make the two parts of a feature (NAME_1.EVO and NAME_2.EVO).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/ps_builder.h"

namespace ardunex::test {

/// A stream of a feature: a video or MPEG audio stream_id (0xE0-0xEF, 0xC0-0xCF) or, with subStream, a
/// private_stream_1 audio sub-stream id (0x80-0xCF).
struct FeatureStream {
  std::uint8_t id = 0xE0;
  bool subStream = false;
  /// Payload bytes of its packets: size, plus seed % spread where spread is not 0, so that they vary.
  std::size_t size = 1000;
  std::size_t spread = 0;
  /// The header of its packets; without one, the builder's own for the kind (audio carries a PTS).
  std::optional<PesHeader> header;
};

/// A video stream, and an audio sub-stream.
inline FeatureStream video(std::uint8_t id, std::size_t size, std::size_t spread = 0,
                           std::optional<PesHeader> header = std::nullopt) {
  return {id, false, size, spread, header};
}
inline FeatureStream audio(std::uint8_t id, std::size_t size, std::size_t spread = 0) {
  return {id, true, size, spread, std::nullopt};
}

/// A program stream, and the payloads of each of its streams joined, in the order the streams were given.
struct Feature {
  Bytes file;
  std::vector<Bytes> payloads;
};

/// Packs, the first with a system header, each holding one packet of every stream in turn, until the file
/// holds at least minSize bytes. Each payload is made from its own seed, counted up from seed, and holds no
/// start code.
Feature makeFeature(const std::vector<FeatureStream>& streams, std::size_t minSize, std::uint32_t seed);

/// The two parts of a feature, and what each stream's file holds once both are demuxed into it.
struct TwoPartFeature {
  Feature first;
  Feature second;

  /// Stream k's payloads of the first part, then of the second.
  Bytes joined(std::size_t k) const;
  /// Writes folder/NAME_1.EVO and folder/NAME_2.EVO; returns the path of the first.
  std::string write(const std::string& folder, const std::string& name) const;
};

/// A first part of at least firstSize bytes and a second of at least secondSize, their payloads made from
/// different seeds.
TwoPartFeature makeTwoPartFeature(const std::vector<FeatureStream>& streams, std::size_t firstSize,
                                  std::size_t secondSize, std::uint32_t seed);

}  // namespace ardunex::test
