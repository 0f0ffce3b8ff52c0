// SPDX-License-Identifier: GPL-2.0-or-later
// Features of several streams in packs, in one part or two.
#include "support/feature_builder.h"

namespace ardunex::test {

Feature makeFeature(const std::vector<FeatureStream>& streams, std::size_t minSize, std::uint32_t seed) {
  Feature feature;
  feature.payloads.resize(streams.size());
  PsBuilder builder;
  builder.pack(true);
  while (builder.size() < minSize) {
    builder.pack();
    for (std::size_t k = 0; k < streams.size(); ++k) {
      const FeatureStream& stream = streams[k];
      const Bytes data = payload(stream.size + (stream.spread ? seed % stream.spread : 0), seed);
      ++seed;
      if (stream.subStream)
        builder.privateStream1(stream.id, data, stream.header.value_or(PesHeader{.pts = true}));
      else
        builder.pes(stream.id, data, stream.header.value_or(PesHeader{}));
      feature.payloads[k].insert(feature.payloads[k].end(), data.begin(), data.end());
    }
  }
  feature.file = builder.bytes();
  return feature;
}

Bytes TwoPartFeature::joined(std::size_t k) const {
  Bytes both = first.payloads.at(k);
  both.insert(both.end(), second.payloads.at(k).begin(), second.payloads.at(k).end());
  return both;
}

std::string TwoPartFeature::write(const std::string& folder, const std::string& name) const {
  const std::string path = folder + "/" + name + "_1.EVO";
  writeFile(path, first.file);
  writeFile(folder + "/" + name + "_2.EVO", second.file);
  return path;
}

TwoPartFeature makeTwoPartFeature(const std::vector<FeatureStream>& streams, std::size_t firstSize,
                                  std::size_t secondSize, std::uint32_t seed) {
  // The second part's seeds begin far beyond those the first can use.
  return {makeFeature(streams, firstSize, seed), makeFeature(streams, secondSize, seed + 1'000'000)};
}

}  // namespace ardunex::test
