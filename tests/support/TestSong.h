#pragma once
// The test song: a format-0 MIDI file (drums, bass and chords that differ
// between verse and chorus, eight bars each) written here and rendered to a
// 16-bit stereo 44100 Hz WAV by Debian's fluidsynth with FluidR3_GM.

#include <QFile>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "MidiSong.h"
#include "TempDir.h"

namespace TestSong {

using Bytes = std::vector<std::uint8_t>;

constexpr int kDivision = MidiSong::kDivision;

namespace detail {

inline std::uint32_t get32(const Bytes& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

}  // namespace detail

// `bars` bars of 4/4 at `bpm`: verse and chorus alternate every eight bars.
inline Bytes midi(int bars, int bpm) {
  using Note = MidiSong::Event;
  std::vector<Note> notes;
  const int bar = 4 * kDivision;
  const int verseChords[4][3] = {{57, 60, 64}, {53, 57, 60}, {55, 59, 62}, {52, 55, 59}};
  const int chorusChords[4][3] = {{53, 57, 60}, {55, 59, 62}, {57, 60, 64}, {57, 61, 64}};
  for (int b = 0; b < bars; ++b) {
    const bool chorus = (b / 8) % 2 == 1;
    const std::uint32_t start = static_cast<std::uint32_t>(b * bar);
    for (int beat = 0; beat < 4; ++beat) {
      const std::uint32_t t = start + static_cast<std::uint32_t>(beat * kDivision);
      const std::uint8_t drum = beat % 2 == 0 ? 36 : 38;
      notes.push_back({t, 0x99, drum, static_cast<std::uint8_t>(chorus ? 120 : 95)});
      notes.push_back({t + 60, 0x89, drum, 0});
      for (int half = 0; half < (chorus ? 4 : 2); ++half) {
        const std::uint32_t h = t + static_cast<std::uint32_t>(half * kDivision / (chorus ? 4 : 2));
        notes.push_back({h, 0x99, static_cast<std::uint8_t>(chorus ? 46 : 42), 70});
        notes.push_back({h + 30, 0x89, static_cast<std::uint8_t>(chorus ? 46 : 42), 0});
      }
    }
    const int (*chords)[3] = chorus ? chorusChords : verseChords;
    const int* chord = chords[(b % 8) / 2];
    for (int k = 0; k < 3; ++k) {
      notes.push_back({start, 0x90, static_cast<std::uint8_t>(chord[k]), static_cast<std::uint8_t>(chorus ? 90 : 60)});
      notes.push_back({start + bar - 10, 0x80, static_cast<std::uint8_t>(chord[k]), 0});
    }
    for (int beat = 0; beat < 4; beat += chorus ? 1 : 2) {
      const std::uint32_t t = start + static_cast<std::uint32_t>(beat * kDivision);
      notes.push_back({t, 0x91, static_cast<std::uint8_t>(chord[0] - 24), 100});
      notes.push_back({t + kDivision - 20, 0x81, static_cast<std::uint8_t>(chord[0] - 24), 0});
    }
  }
  return MidiSong::fileBytes(notes, bpm);
}

// Renders the song into the test's temporary folder; empty when fluidsynth
// or its sound font is not installed.
inline QString render(int bars = 32, int bpm = 100, const QString& name = "song") {
  const QString mid = TestEnv::tempPath(name + ".mid");
  const QString wav = TestEnv::tempPath(name + ".wav");
  QFile f(mid);
  if (!f.open(QIODevice::WriteOnly)) return {};
  const Bytes bytes = midi(bars, bpm);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  f.close();
  return MidiSong::render(mid, wav) ? wav : QString();
}

// The interleaved 16-bit stereo frames of a rendered song's data chunk
// (empty when the file is not such a WAV).
inline std::vector<std::int16_t> readFrames(const QString& wav) {
  QFile f(wav);
  if (!f.open(QIODevice::ReadOnly)) return {};
  const QByteArray all = f.readAll();
  const Bytes b(all.begin(), all.end());
  if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF") return {};
  for (std::size_t at = 12; at + 8 <= b.size();) {
    const std::uint32_t size = detail::get32(b, at + 4);
    if (std::string(b.begin() + at, b.begin() + at + 4) == "data") {
      const std::size_t end = std::min(b.size(), at + 8 + size);
      std::vector<std::int16_t> frames((end - at - 8) / 2);
      for (std::size_t i = 0; i < frames.size(); ++i)
        frames[i] = static_cast<std::int16_t>(b[at + 8 + 2 * i] | (b[at + 9 + 2 * i] << 8));
      return frames;
    }
    at += 8 + size + (size & 1);
  }
  return {};
}

}  // namespace TestSong
