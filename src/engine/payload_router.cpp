// SPDX-License-Identifier: GPL-2.0-or-later
// Payload routing: a payload run goes to the output of its stream's own code, else to the output of its
// number when the stream is the one that claimed that number's slot.
#include "engine/payload_router.h"

#include <optional>

#include "base/errors.h"
#include "outputs/stream_writer.h"

namespace ardunex {

PayloadRouter::PayloadRouter(const StreamSlotTable& slots) : m_slots(slots) {}

PayloadRouter::~PayloadRouter() = default;

void PayloadRouter::add(Route route, int box, std::unique_ptr<StreamWriter> writer) {
  Output output{box, std::move(writer), -1};
  const auto number = static_cast<std::size_t>(route.value);
  switch (route.by) {
    case Route::By::VideoNumber:
      m_video.at(number) = std::move(output);
      break;
    case Route::By::AudioNumber:
      m_audio.at(number) = std::move(output);
      break;
    case Route::By::SubpictureNumber:
      m_subpicture.at(number) = std::move(output);
      break;
    case Route::By::Code:
      output.code = route.value;
      m_byCode.push_back(std::move(output));
      break;
  }
}

void PayloadRouter::subpictureStart(int number, std::int64_t pts) {
  if (!m_demux)
    return;
  const Output& output = m_subpicture[static_cast<std::size_t>(number)];
  if (!output.writer)
    return;
  if (ticked(output))
    output.writer->packetStart(pts);
  else
    output.writer->cutBack();
}

void PayloadRouter::write(const PacketFacts& packet, int code, const std::uint8_t* data, std::size_t count) {
  // A stream with a box of its own goes there and nowhere else.
  for (const Output& output : m_byCode) {
    if (output.code != code)
      continue;
    if (output.writer && ticked(output))
      output.writer->write(packet.LpcmHeader, data, count);
    return;
  }
  Output* output = nullptr;
  int slot = 0;
  if (packet.streamClass == StreamClass::Video && (packet.VideoNumber == 0 || packet.VideoNumber == 1)) {
    output = &m_video[static_cast<std::size_t>(packet.VideoNumber)];
    slot = StreamSlotTable::FIRST_VIDEO_SLOT + packet.VideoNumber;
  } else if (packet.streamClass == StreamClass::PrivateAudio && packet.AudioNumber >= 0 && packet.AudioNumber < 16) {
    output = &m_audio[static_cast<std::size_t>(packet.AudioNumber)];
    slot = StreamSlotTable::FIRST_AUDIO_SLOT + packet.AudioNumber;
  } else if (packet.streamClass == StreamClass::Subpicture) {
    // Whether the box is ticked was asked when the packet began.
    if (StreamWriter* writer = m_subpicture[static_cast<std::size_t>(packet.SubpictureNumber)].writer.get())
      writer->write(packet.LpcmHeader, data, count);
    return;
  }
  // MPEG audio (0xC0-0xCF) claims no slot and is written only to a box of its own.
  if (!output || !output->writer || !ticked(*output))
    return;
  // The first write ties the output to the stream that claimed the slot.
  const int taken = output->code >= 0 ? output->code : m_slots.Get(slot);
  if (packet.PacketCode != taken)
    return;
  output->code = taken;
  output->writer->write(packet.LpcmHeader, data, count);
}

template <typename F>
void PayloadRouter::forEach(F&& f) {
  for (Output& output : m_video)
    f(output);
  for (Output& output : m_audio)
    f(output);
  for (Output& output : m_subpicture)
    f(output);
  for (Output& output : m_byCode)
    f(output);
}

void PayloadRouter::finish(bool cutShort) {
  forEach([cutShort](Output& output) {
    if (output.writer)
      output.writer->finish(cutShort);
  });
}

void PayloadRouter::closeAll() {
  std::optional<StreamWriteError> failure;  // the first, which names its file
  forEach([&failure](Output& output) {
    if (!output.writer)
      return;
    try {
      output.writer->close();
    } catch (const StreamWriteError& error) {
      if (!failure)
        failure = error;
    }
    output.writer.reset();
  });
  abandonAll();
  if (failure)
    throw *failure;
}

void PayloadRouter::abandonAll() {
  forEach([](Output& output) { output = Output{}; });
  m_byCode.clear();
  m_ticked.fill(false);
}

}  // namespace ardunex
