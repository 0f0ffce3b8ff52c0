// The mode of an engine run and the classes of the packets the walker meets.
#pragma once

#include <cstdint>

namespace ardunex {

/// Mode of an engine run: 0 scans for streams, 1 writes the ticked streams.
enum class Mode : std::uint8_t { Scan = 0, Demux = 1 };

enum class StreamClass : std::uint8_t { None, Video, PrivateAudio, MpegAudio, Discard, SkipWhole, Subpicture };

enum class AudioClass : std::uint8_t { DolbyDigital, DolbyDigitalPlus, DtsHd, Lpcm, Mlp };

}  // namespace ardunex
