// The program stream walker: a byte-wise state machine with countdown counters that classifies PES
// packets, claims stream slots and hands payload runs to routing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/file_io.h"
#include "codecs/stream_inventory.h"
#include "engine/packet_facts.h"
#include "engine/stream_slot_table.h"
#include "outputs/sup_writer.h"

namespace ardunex {

class Window;
class PesHeaderBytes;
class WavWriter;

/// The output files of one demux run: video numbers 0-1, audio numbers 0-15 and subpicture numbers 0-15.
struct SlotFiles {
  std::array<std::unique_ptr<OutputFile>, 2> video;
  std::array<std::unique_ptr<OutputFile>, 16> audio;
  std::array<std::unique_ptr<SupWriter>, 16> subpicture;
  /// Stream code that each file takes, set at its first write (-1: none yet). It outlasts the engine run,
  /// so a continuation onto a second part keeps writing the same stream to the file.
  std::array<int, 2> videoCode{-1, -1};
  std::array<int, 16> audioCode{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  /// The audio files written as WAV (the same objects as in audio), told each packet's LPCM header.
  std::array<WavWriter*, 16> wav{};

  /// A stream written by its own code to the file of a box of its own, beside the files chosen by
  /// number: a stream whose number another stream holds, or MPEG audio.
  struct CodeFile {
    int code = -1;  ///< as the inventory keys it
    int box = -1;
    std::unique_ptr<OutputFile> file;
    WavWriter* wav = nullptr;  ///< the same object as file when it is written as WAV
  };
  std::vector<CodeFile> byCode;

  /// Ends the subpicture units of the last pass: the last unit is written, or dropped when cut short.
  void finishSubpictures(bool cutShort);
  /// Closes every open file; after closing all, throws the first close's StreamWriteError, if any failed.
  void closeAll();
  /// Drops every file without reporting (used when a failure is already on its way).
  void abandonAll();
};

/// Walker state of one engine run; every field starts at its initial value.
struct WalkerState {
  std::uint32_t StartCodeWindow = 0;
  StreamClass streamClass = StreamClass::None;
  std::int32_t PacketRemaining = 0;
  std::uint8_t LengthPending = 0;
  std::int32_t SkipRemaining = 0;
  std::uint8_t FixedHeaderPending = 0;
  std::uint8_t HeaderFlags = 0;
  std::uint8_t HeaderRemaining = 0;  // wraps from 0 to 255 like the 8-bit count it is
  std::uint8_t PtsPending = 0;
  std::uint8_t PtsDtsPending = 0;
  std::uint8_t ExtFlagsPending = 0;
  std::uint8_t ExtFlags = 0;
  std::uint8_t PstdPending = 0;
  std::uint8_t Ext2Pending = 0;
  std::uint8_t SubHeaderPending = 0;
  std::uint8_t LpcmHeaderPending = 0;
  std::uint8_t MlpHeaderPending = 0;
  bool InPayload = false;
  int VideoNumber = -1;
  int AudioNumber = -1;
  AudioClass audioClass = AudioClass::DolbyDigital;
  std::uint8_t LastSubStreamId = 0;
  /// The current packet's own stream code (stream_id, stream_id_extension or sub-stream id); a payload
  /// reaches a file only when this equals the code its slot holds, so codecs sharing a number never mix.
  std::int32_t PacketCode = -1;
  /// The current packet's PTS (33 bits, 90 kHz), -1 when it has none.
  std::int64_t Pts = -1;
  /// The bytes of the PTS field read so far, most recent in the low byte.
  std::uint64_t PtsField = 0;
  /// Whether the current packet's PES_scrambling_control is not '00'.
  bool Scrambled = false;
  /// The further LPCM header bytes of the current packet, as far as they were read.
  std::array<std::uint8_t, 3> LpcmHeader{};
  /// Subpicture number of the current subpicture packet (-1 before any).
  int SubpictureNumber = -1;
  /// The running sub-stream header belongs to a packet too short for an audio one: only a subpicture
  /// id keeps it.
  bool ShortSubHeader = false;
  /// Whether a payload run of the current packet has been routed.
  bool PayloadBegun = false;

  bool operator==(const WalkerState&) const = default;
};

/// Walks blocks of a program stream, keeping its state from block to block.
class Walker {
 public:
  Walker(Window& window, StreamSlotTable& slots, SlotFiles& files);

  /// Sets the initial state for a run in the given mode; subpictures tells whether the run recognises
  /// subpicture sub-streams (the job's Subpictures option).
  void begin(Mode mode, bool subpictures = false);
  /// Examines every byte of the block, routing payload runs.
  void walk(const std::uint8_t* block, std::size_t length);

  const WalkerState& state() const { return m_state; }

  /// Where the payload runs of every stream are counted (none: nothing is counted).
  void setInventory(StreamInventory* inventory) { m_inventory = inventory; }

  /// Walks every byte with the single-byte steps only, without the shortcuts over packet headers and the
  /// bytes between packets (the reference the shortcuts are checked against).
  void setByteWise(bool byteWise) { m_fast = !byteWise; }

 private:
  void startCode(std::uint8_t streamId);
  void videoFound(int slot, std::uint8_t streamId);
  std::size_t wholeHeader(const std::uint8_t* block, std::size_t i, std::size_t length);
  std::size_t furtherHeaderTaken(const std::uint8_t* block, std::size_t at, std::uint8_t extra);
  std::size_t passBetweenPackets(const std::uint8_t* block, std::size_t i, std::size_t length);
  std::size_t passPacks(const std::uint8_t* block, std::size_t i, std::size_t length);
  std::size_t passPack(const std::uint8_t* block, std::size_t i, std::size_t length, bool& wholePack);
  std::size_t passSkipBody(const std::uint8_t* block, std::size_t at, std::size_t length, std::int32_t bodyLength);
  std::size_t passPayloadRun(const std::uint8_t* block, std::size_t at, std::size_t length);
  std::size_t passPackHeader(const std::uint8_t* block, std::size_t i, std::size_t length);
  void pesHeaderTaken(const PesHeaderBytes& header);
  void extensionTaken(const PesHeaderBytes& header);
  void counterStep(std::uint8_t b);
  void fixedHeaderStep(std::uint8_t b);
  void timeStampStep(std::uint8_t& counter, std::uint8_t b, std::uint8_t ptsEnd);
  void timeStampEnd();
  void extFlagsEnd(std::uint8_t b);
  void ext2End(std::uint8_t b);
  void headerDataEnd();
  void subStreamHeaderEnd();
  void subStreamIdStep(std::uint8_t b);
  void subpictureStart(std::uint8_t m);
  void shortAudioPacket();
  bool subpictureAt(const std::uint8_t* subStreamId) const;
  void route(const std::uint8_t* data, std::size_t count);
  void write(const std::uint8_t* data, std::size_t count);
  int streamCode() const;
  bool routeByCode(const std::uint8_t* data, std::size_t count);
  void countDown(std::uint8_t& counter, bool headerField);
  void logFound(const char* prefix, int number, const char* suffix);

  Window& m_window;
  StreamSlotTable& m_slots;
  SlotFiles& m_files;
  Mode m_mode = Mode::Scan;
  bool m_subpictures = false;
  WalkerState m_state;
  StreamInventory* m_inventory = nullptr;
  bool m_fast = true;
};

}  // namespace ardunex
