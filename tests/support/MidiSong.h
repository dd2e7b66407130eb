#pragma once
// Test songs as MIDI files, rendered to audio by Debian's fluidsynth with
// the FluidR3_GM sound font: a format-0 file of one track made from a list
// of note events, and its rendering to a 16-bit stereo 44100 Hz WAV.

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace MidiSong {

constexpr int kDivision = 480;  // ticks a quarter note

struct Event {
  std::uint32_t tick;
  std::uint8_t status, key, velocity;
};

namespace detail {

inline void putVarLen(std::vector<std::uint8_t>& out, std::uint32_t v) {
  std::uint8_t stack[5];
  int n = 0;
  do {
    stack[n++] = v & 0x7F;
    v >>= 7;
  } while (v);
  while (n--) out.push_back(static_cast<std::uint8_t>(stack[n] | (n ? 0x80 : 0)));
}

inline void putBE(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF));
}

}  // namespace detail

// The file's bytes: the tempo of `bpm`, a piano on channel 1 and a fingered
// bass on channel 2, then the events in the order of their ticks (those of
// one tick in the order given).
inline std::vector<std::uint8_t> fileBytes(std::vector<Event> events, int bpm) {
  std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) { return a.tick < b.tick; });
  std::vector<std::uint8_t> track = {0x00, 0xFF, 0x51, 0x03};
  detail::putBE(track, 60000000 / static_cast<std::uint32_t>(bpm), 3);
  track.insert(track.end(), {0x00, 0xC0, 0x00, 0x00, 0xC1, 0x21});
  std::uint32_t now = 0;
  for (const Event& e : events) {
    detail::putVarLen(track, e.tick - now);
    now = e.tick;
    track.insert(track.end(), {e.status, e.key, e.velocity});
  }
  track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
  std::vector<std::uint8_t> file = {'M', 'T', 'h', 'd'};
  detail::putBE(file, 6, 4);
  detail::putBE(file, 0, 2);
  detail::putBE(file, 1, 2);
  detail::putBE(file, kDivision, 2);
  file.insert(file.end(), {'M', 'T', 'r', 'k'});
  detail::putBE(file, static_cast<std::uint32_t>(track.size()), 4);
  file.insert(file.end(), track.begin(), track.end());
  return file;
}

// Renders the MIDI file at `midiPath` into `wavPath`; false when fluidsynth
// or the sound font is not installed or the rendering failed.
inline bool render(const QString& midiPath, const QString& wavPath) {
  const QString soundFont = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
  if (QStandardPaths::findExecutable("fluidsynth").isEmpty() || !QFileInfo::exists(soundFont)) return false;
  QProcess synth;
  synth.start("fluidsynth", {"-ni", "-q", "-g", "0.8", "-r", "44100", "-T", "wav", "-O", "s16", "-F", wavPath,
                             soundFont, midiPath});
  return synth.waitForFinished(120000) && synth.exitCode() == 0 && QFileInfo::exists(wavPath);
}

}  // namespace MidiSong
