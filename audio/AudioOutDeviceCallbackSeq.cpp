// One render cycle: the region's frames scaled by the level, the clicks that
// fire at listed offsets added at full level, clamped to 16 bits; the end of
// the region either stops playback or wraps to the region start.

#include "AudioOutDeviceCallbackSeq.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "AudioDeviceASFF.h"
#include "WavSeeker_libSndFile.h"

namespace {

// The main window writes these bytes on the GUI thread while the audio
// thread reads them.
std::uint8_t loadByte(const std::uint8_t* byte) { return byte ? __atomic_load_n(byte, __ATOMIC_RELAXED) : 0; }

std::int16_t toSample(double mix) {
  const float scaled = static_cast<float>(mix * 32768.0);
  if (!(scaled == scaled)) return 0;
  if (scaled >= 31129.0f) return 31129;
  if (scaled <= -31130.0f) return -31130;
  return static_cast<std::int16_t>(static_cast<std::int32_t>(scaled));
}

}  // namespace

std::uint64_t AudioOutDeviceCallbackSeq::readStereo(WavSeeker_libSndFile* reader, float* dst, std::uint64_t frames) {
  if (!reader) return 0;
  const std::uint32_t channels = reader->channels();
  if (channels == 2) return reader->read(dst, frames);
  // Other layouts would overrun a stereo buffer: read them aside and take
  // the first two channels (a mono file sounds on both).
  m_scratch.assign(std::size_t(frames) * channels, 0.0f);
  const std::uint64_t got = reader->read(m_scratch.data(), frames);
  for (std::uint64_t f = 0; f < frames; ++f) {
    dst[2 * f] = m_scratch[f * channels];
    dst[2 * f + 1] = m_scratch[f * channels + (channels > 1 ? 1 : 0)];
  }
  return got;
}

AudioOutDeviceCallbackSeq::AudioOutDeviceCallbackSeq(AudioDeviceASFF* owner) : m_owner(owner) {
  if (!owner) return;
  m_source = owner->m_source;
  m_click1.reader = owner->m_click1;
  m_click2.reader = owner->m_click2;
  m_clickOn = owner->m_clickOn;
  m_level = owner->m_level;
  m_click2On = owner->m_click2On;
}

std::uint32_t AudioOutDeviceCallbackSeq::render(std::int16_t* left, std::int16_t* right, std::uint32_t frames) {
  std::fill(left, left + frames, std::int16_t{0});
  std::fill(right, right + frames, std::int16_t{0});
  if (!m_playing.load()) return frames;
  const bool ended = renderCycle(left, right, frames);
  if (m_playing.load() && ended) {
    if (m_owner) m_owner->m_playing = 0;
    m_playing = 0;
    if (m_owner) emit m_owner->signalStop();
  }
  return frames;
}

bool AudioOutDeviceCallbackSeq::takeSourceFile(WavSeeker_libSndFile& other) {
  if (!m_source) return false;
  m_source->takeFile(other);
  return true;
}

void AudioOutDeviceCallbackSeq::silence(ClickStream& stream) {
  stream.count = 0;
  stream.sounding = false;
  if (stream.reader) stream.reader->seek(0);
}

void AudioOutDeviceCallbackSeq::fireClick(ClickStream& stream, std::int64_t offset, std::uint32_t i,
                                          std::uint32_t frames) {
  if (std::find(stream.list.begin(), stream.list.end(), offset) == stream.list.end()) return;
  stream.startSlot = static_cast<std::int32_t>(i);
  stream.count = 0;
  stream.startedHere = true;
  // A click still sounding keeps its reader where it stands.
  readStereo(stream.reader, stream.buffer.data(), stream.sounding ? frames : frames - i);
  stream.sounding = true;
}

void AudioOutDeviceCallbackSeq::addClick(const ClickStream& stream, std::uint32_t i, double& left,
                                         double& right) const {
  const std::int64_t slot = static_cast<std::int64_t>(i);
  const std::int64_t j = stream.startedHere && slot >= stream.startSlot ? slot - stream.startSlot : slot;
  left += stream.buffer[2 * j];
  right += stream.buffer[2 * j + 1];
}

bool AudioOutDeviceCallbackSeq::renderCycle(std::int16_t* left, std::int16_t* right, std::uint32_t frames) {
  const std::size_t values = std::size_t(frames) * 2;
  try {
    m_sourceBuffer.assign(values, 0.0f);
    m_click1.buffer.assign(values, 0.0f);
    m_click2.buffer.assign(values, 0.0f);
  } catch (const std::bad_alloc&) {
    return true;
  }

  const double level = loadByte(m_level);
  const bool clickOn = loadByte(m_clickOn) != 0;
  const bool click2On = loadByte(m_click2On) != 0;
  const std::int64_t regionStart = m_regionStart.load();
  const std::int64_t regionEnd = m_regionEnd.load();
  const bool loop = m_loop.load() != 0;

  // Frames of the source buffer that hold the recording; after them, when
  // the read came back short, the recording has run out.
  std::uint64_t valid = readStereo(m_source, m_sourceBuffer.data(), frames);
  bool exhausted = valid < frames;
  const std::int64_t length1 = m_click1.reader ? static_cast<std::int64_t>(m_click1.reader->length()) : 0;
  const std::int64_t length2 = m_click2.reader ? static_cast<std::int64_t>(m_click2.reader->length()) : 0;
  if (m_click1.sounding) readStereo(m_click1.reader, m_click1.buffer.data(), frames);
  if (m_click2.sounding) readStereo(m_click2.reader, m_click2.buffer.data(), frames);

  std::int64_t position = m_position.load();
  bool ended = false;
  for (std::uint32_t i = 0; i < frames; ++i) {
    double mixLeft = m_sourceBuffer[2 * i] * level / 100.0;
    double mixRight = m_sourceBuffer[2 * i + 1] * level / 100.0;
    if (clickOn) {
      const std::int64_t offset = position - regionStart;
      fireClick(m_click1, offset, i, frames);
      if (m_click1.sounding) addClick(m_click1, i, mixLeft, mixRight);
      if (click2On) {
        fireClick(m_click2, offset, i, frames);
        if (m_click2.sounding) addClick(m_click2, i, mixLeft, mixRight);
      }
    }
    left[i] = toSample(mixLeft);
    right[i] = toSample(mixRight);

    for (auto [stream, length] : {std::make_pair(&m_click1, length1), std::make_pair(&m_click2, length2)}) {
      if (stream->sounding && ++stream->count >= length) silence(*stream);
    }

    ++position;
    if (position >= regionEnd || (exhausted && i + 1 >= valid)) {
      if (!loop) {
        ended = true;
        break;
      }
      position = regionStart;
      const std::uint32_t rest = frames - i - 1;
      std::uint64_t got = 0;
      if (m_source) {
        m_source->seek(static_cast<std::uint64_t>(std::max<std::int64_t>(regionStart, 0)));
        got = readStereo(m_source, m_sourceBuffer.data() + 2 * (i + 1), rest);
      }
      valid = i + 1 + got;
      exhausted = got < rest;
      silence(m_click1);
      silence(m_click2);
    }
  }

  m_click1.startedHere = false;
  m_click2.startedHere = false;
  m_position = position;
  if (m_owner && m_owner->m_playing.load()) emit m_owner->signalLocation();
  return ended;
}
