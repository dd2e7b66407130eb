#include "TestAudio.h"

#include <QFile>

#include <algorithm>
#include <cmath>
#include <random>

#include "MidiSong.h"

namespace TestAudio {

namespace {

std::int16_t toSample(double v) {
  v = std::max(-1.0, std::min(1.0, v));
  return static_cast<std::int16_t>(std::lround(v * 32767.0));
}

void putLE(QByteArray& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

Stereo16 clickTrack(double seconds, double interval, double first, int accentEvery, int sampleRate) {
  const auto frames = static_cast<std::size_t>(seconds * sampleRate);
  Stereo16 out(frames * 2, 0);
  const auto clickLen = static_cast<std::size_t>(0.002 * sampleRate);
  int n = 0;
  for (double t = first; t < seconds; t += interval, ++n) {
    const double amp = (accentEvery > 0 && n % accentEvery == 0) ? 0.9 : 0.6;
    const auto start = static_cast<std::size_t>(std::llround(t * sampleRate));
    for (std::size_t i = 0; i < clickLen && start + i < frames; ++i) {
      const double env = amp * std::exp(-5.0 * static_cast<double>(i) / clickLen);
      const double v = env * ((i % 2) ? -1.0 : 1.0);
      out[2 * (start + i)] = toSample(v);
      out[2 * (start + i) + 1] = toSample(v);
    }
  }
  return out;
}

Stereo16 sine(double seconds, double freq, double amplitude, int sampleRate) {
  const auto frames = static_cast<std::size_t>(seconds * sampleRate);
  Stereo16 out(frames * 2);
  for (std::size_t i = 0; i < frames; ++i) {
    const double v = amplitude * std::sin(2.0 * M_PI * freq * static_cast<double>(i) / sampleRate);
    out[2 * i] = out[2 * i + 1] = toSample(v);
  }
  return out;
}

Stereo16 noise(double seconds, double amplitude, unsigned seed, int sampleRate) {
  const auto frames = static_cast<std::size_t>(seconds * sampleRate);
  Stereo16 out(frames * 2);
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> dist(-amplitude, amplitude);
  for (auto& s : out) s = toSample(dist(gen));
  return out;
}

bool writeWav(const QString& path, const std::vector<std::int16_t>& interleaved, int channels,
              int sampleRate) {
  const std::uint32_t dataBytes = static_cast<std::uint32_t>(interleaved.size() * 2);
  QByteArray bytes;
  bytes.append("RIFF");
  putLE(bytes, 36 + dataBytes, 4);
  bytes.append("WAVEfmt ");
  putLE(bytes, 16, 4);
  putLE(bytes, 1, 2);
  putLE(bytes, static_cast<std::uint32_t>(channels), 2);
  putLE(bytes, static_cast<std::uint32_t>(sampleRate), 4);
  putLE(bytes, static_cast<std::uint32_t>(sampleRate * channels * 2), 4);
  putLE(bytes, static_cast<std::uint32_t>(channels * 2), 2);
  putLE(bytes, 16, 2);
  bytes.append("data");
  putLE(bytes, dataBytes, 4);
  for (std::int16_t s : interleaved) putLE(bytes, static_cast<std::uint16_t>(s), 2);
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return false;
  return f.write(bytes) == bytes.size();
}

namespace {

std::vector<MidiSong::Event> songEvents(int bars) {
  constexpr int kDivision = MidiSong::kDivision;
  const int bar = 4 * kDivision;
  const int verse[4][3] = {{57, 60, 64}, {53, 57, 60}, {55, 59, 62}, {52, 55, 59}};
  const int chorus[4][3] = {{53, 57, 60}, {55, 59, 62}, {60, 64, 67}, {57, 61, 64}};
  std::vector<MidiSong::Event> notes;
  for (int b = 0; b < bars; ++b) {
    const bool second = b >= bars / 2;
    const auto start = static_cast<std::uint32_t>(b * bar);
    const int* chord = (second ? chorus : verse)[(b / 2) % 4];
    for (int k = 0; k < 3; ++k) MidiSong::addNote(notes, start, bar - 10, 0, chord[k], second ? 90 : 60);
    for (int beat = 0; beat < 4; ++beat) {
      const std::uint32_t t = start + static_cast<std::uint32_t>(beat * kDivision);
      MidiSong::addNote(notes, t, 60, 9, beat % 2 == 0 ? 36 : 38, second ? 120 : 95);
      for (int half = 0; half < 2; ++half)
        MidiSong::addNote(notes, t + half * kDivision / 2, 30, 9, second ? 46 : 42, 70);
      MidiSong::addNote(notes, t, kDivision - 20, 1, chord[0] - 24, 100);
    }
  }
  return notes;
}

}  // namespace

bool renderSong(const QString& wavPath, int bars, int bpm) {
  const QString midi = wavPath + ".mid";
  QFile f(midi);
  if (!f.open(QIODevice::WriteOnly)) return false;
  const std::vector<std::uint8_t> bytes = MidiSong::fileBytes(songEvents(bars), bpm);
  const auto size = static_cast<qint64>(bytes.size());
  if (f.write(reinterpret_cast<const char*>(bytes.data()), size) != size) return false;
  f.close();
  const bool rendered = MidiSong::render(midi, wavPath);
  QFile::remove(midi);
  return rendered;
}

}  // namespace TestAudio
