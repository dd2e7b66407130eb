#pragma once
// Test songs as MIDI files, rendered to audio by Debian's fluidsynth with
// the FluidR3_GM sound font: a format-0 file of one track made from a list
// of note events, and its rendering to a 16-bit stereo 44100 Hz WAV.

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace MidiSong {

constexpr int kDivision = 480;  // ticks a quarter note

// A chord a bar, C, A minor, F and G over and over: bar `bar`'s root (a
// pitch class) and third (3 minor, 4 major).
struct BarChord {
  int root;
  int third;
};

inline BarChord loopChord(int bar) {
  static const int roots[] = {0, 9, 5, 7};
  return {roots[bar % 4], bar % 4 == 1 ? 3 : 4};
}

// Bars of 4/4 at `bpm` enough for `seconds`, and two more.
inline int barsOfFour(double seconds, int bpm) { return static_cast<int>(seconds * bpm / 240.0) + 2; }

struct Event {
  std::uint32_t tick;
  std::uint8_t status, key, velocity;
};

// A note: its note-on at `tick` and its note-off `length` ticks later, on
// `channel` (0-based).
inline void addNote(std::vector<Event>& events, std::uint32_t tick, std::uint32_t length, std::uint8_t channel,
                    int key, int velocity) {
  events.push_back({tick, static_cast<std::uint8_t>(0x90 | channel), static_cast<std::uint8_t>(key),
                    static_cast<std::uint8_t>(velocity)});
  events.push_back({tick + length, static_cast<std::uint8_t>(0x80 | channel), static_cast<std::uint8_t>(key), 0});
}

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

// A General MIDI program (0-based) for a channel (0-based).
struct Program {
  std::uint8_t channel, program;
};

// The file's bytes: the tempo of `bpm`, the programs, then the events in
// the order of their ticks (those of one tick in the order given).
inline std::vector<std::uint8_t> fileBytes(std::vector<Event> events, int bpm, const std::vector<Program>& programs) {
  std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) { return a.tick < b.tick; });
  std::vector<std::uint8_t> track = {0x00, 0xFF, 0x51, 0x03};
  detail::putBE(track, 60000000 / static_cast<std::uint32_t>(bpm), 3);
  for (const Program& p : programs)
    track.insert(track.end(), {0x00, static_cast<std::uint8_t>(0xC0 | (p.channel & 0x0F)), p.program});
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

// The same with a piano on channel 1 and a fingered bass on channel 2.
inline std::vector<std::uint8_t> fileBytes(std::vector<Event> events, int bpm) {
  return fileBytes(std::move(events), bpm, {{0, 0x00}, {1, 0x21}});
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

// A MIDI file's rendering as 16-bit stereo samples, `seconds` long; empty
// without fluidsynth or its sound font.
inline std::vector<std::int16_t> stereoSamples(const std::vector<std::uint8_t>& bytes, double seconds,
                                               const QString& folder) {
  const QString midi = folder + "/rendered.mid";
  const QString wav = folder + "/rendered.wav";
  QFile out(midi);
  if (!out.open(QIODevice::WriteOnly) ||
      out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())) !=
          static_cast<qint64>(bytes.size()))
    return {};
  out.close();
  if (!MidiSong::render(midi, wav)) return {};
  QFile in(wav);
  if (!in.open(QIODevice::ReadOnly)) return {};
  const QByteArray file = in.readAll();
  // The chunks after the RIFF header, to the "data" one.
  int at = 12;
  while (at + 8 <= file.size() && std::memcmp(file.constData() + at, "data", 4) != 0) {
    std::uint32_t size = 0;
    std::memcpy(&size, file.constData() + at + 4, 4);
    at += 8 + static_cast<int>(size + (size & 1));
  }
  if (at + 8 > file.size()) return {};
  const int first = at + 8;
  const std::size_t wanted = 2 * static_cast<std::size_t>(seconds * 44100.0);
  const std::size_t have = static_cast<std::size_t>(file.size() - first) / 2;
  std::vector<std::int16_t> samples(wanted, 0);
  std::memcpy(samples.data(), file.constData() + first, 2 * std::min(wanted, have));
  return samples;
}

// The same mixed to mono floats in -1 .. 1.
inline std::vector<float> monoSamples(const std::vector<std::uint8_t>& bytes, double seconds, const QString& folder) {
  const std::vector<std::int16_t> s = stereoSamples(bytes, seconds, folder);
  std::vector<float> out(s.size() / 2);
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = (s[2 * i] + s[2 * i + 1]) / 65536.0f;
  return out;
}

}  // namespace MidiSong
