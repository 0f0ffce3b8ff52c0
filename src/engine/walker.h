// SPDX-License-Identifier: GPL-2.0-or-later
// The program stream walker: a byte-wise state machine with countdown counters that classifies PES
// packets, claims stream slots and hands each payload run, with the facts of its packet, to the router.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/packet_facts.h"
#include "engine/payload_router.h"
#include "engine/stream_slot_table.h"

namespace ardunex {

class RunObserver;
class PesHeaderBytes;

/// Walker state of one engine run; every field starts at its initial value. The facts of the current packet
/// are its first part.
struct WalkerState : PacketFacts {
  std::uint32_t StartCodeWindow = 0;
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
  AudioClass audioClass = AudioClass::DolbyDigital;
  std::uint8_t LastSubStreamId = 0;
  /// The bytes of the PTS field read so far, most recent in the low byte.
  std::uint64_t PtsField = 0;
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
  Walker(RunObserver& observer, StreamSlotTable& slots, PayloadRouter& router);

  /// Sets the initial state for a run in the given mode; subpictures tells whether the run recognises
  /// subpicture sub-streams (the job's Subpictures option).
  void begin(Mode mode, bool subpictures = false);
  /// Examines every byte of the block, routing payload runs.
  void walk(const std::uint8_t* block, std::size_t length);

  const WalkerState& state() const { return m_state; }

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
  void countDown(std::uint8_t& counter, bool headerField);
  void logFound(const char* prefix, int number, const char* suffix);

  RunObserver& m_observer;
  StreamSlotTable& m_slots;
  PayloadRouter& m_router;
  Mode m_mode = Mode::Scan;
  bool m_subpictures = false;
  WalkerState m_state;
  bool m_fast = true;
};

}  // namespace ardunex
