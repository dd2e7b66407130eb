#include "FluidChordRenderer.h"

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace kelomodel {

namespace {

const char* const kSoundFont = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
constexpr int kDivision = 480;
constexpr int kTicksPerSecond = 2 * kDivision;  // at the default 120 beats per minute

using Bytes = std::vector<std::uint8_t>;

void putVarLen(Bytes& out, std::uint32_t v) {
  std::uint8_t stack[4];
  int n = 0;
  do {
    stack[n++] = std::uint8_t(v & 0x7F);
    v >>= 7;
  } while (v != 0 && n < 4);
  while (n--) out.push_back(std::uint8_t(stack[n] | (n ? 0x80 : 0)));
}

void putBigEndian(Bytes& out, std::uint32_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(std::uint8_t(v >> (8 * i)));
}

struct Event {
  std::uint32_t tick;
  int order;  // note-offs before note-ons at the same tick
  std::uint8_t status, data1, data2;
};

Bytes midiFile(const std::vector<MidiNote>& notes, const ChannelPrograms& programs) {
  std::vector<Event> events;
  for (std::size_t ch = 0; ch < programs.size(); ++ch)
    if (programs[ch] >= 0) events.push_back({0, 0, std::uint8_t(0xC0 | ch), std::uint8_t(programs[ch]), 0});
  for (const MidiNote& n : notes) {
    const auto on = std::uint32_t(n.start * kTicksPerSecond + 0.5);
    const auto off = std::max(on + 1, std::uint32_t(n.end * kTicksPerSecond + 0.5));
    events.push_back({on, 2, std::uint8_t(0x90 | n.channel), std::uint8_t(n.key), std::uint8_t(n.velocity)});
    events.push_back({off, 1, std::uint8_t(0x80 | n.channel), std::uint8_t(n.key), 0});
  }
  std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
    return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
  });
  Bytes track;
  std::uint32_t now = 0;
  for (const Event& e : events) {
    putVarLen(track, e.tick - now);
    now = e.tick;
    track.push_back(e.status);
    track.push_back(e.data1);
    if ((e.status & 0xF0) != 0xC0) track.push_back(e.data2);
  }
  // A second of silence lets the last notes ring out.
  putVarLen(track, kTicksPerSecond);
  track.insert(track.end(), {0xFF, 0x2F, 0x00});
  Bytes file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1};
  putBigEndian(file, kDivision, 2);
  file.insert(file.end(), {'M', 'T', 'r', 'k'});
  putBigEndian(file, std::uint32_t(track.size()), 4);
  file.insert(file.end(), track.begin(), track.end());
  return file;
}

std::vector<float> readMono(const std::string& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) return {};
  std::vector<float> frames(std::size_t(info.frames) * std::size_t(info.channels));
  const sf_count_t got = sf_readf_float(file, frames.data(), info.frames);
  sf_close(file);
  std::vector<float> mono(std::size_t(std::max<sf_count_t>(got, 0)));
  for (std::size_t i = 0; i < mono.size(); ++i) {
    float sum = 0.0f;
    for (int c = 0; c < info.channels; ++c) sum += frames[i * std::size_t(info.channels) + std::size_t(c)];
    mono[i] = sum / float(info.channels);
  }
  return mono;
}

}  // namespace

bool fluidsynthAvailable() {
  return std::system("command -v fluidsynth >/dev/null 2>&1") == 0 && access(kSoundFont, R_OK) == 0;
}

std::vector<float> renderNotes(const std::vector<MidiNote>& notes, const ChannelPrograms& programs,
                               const std::string& workDir, const std::string& name, double tail) {
  const std::string midiPath = workDir + "/" + name + ".mid";
  const std::string wavPath = workDir + "/" + name + ".wav";
  {
    const Bytes bytes = midiFile(notes, programs);
    std::ofstream out(midiPath, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) return {};
  }
  // Our own file names: no quoting problems beyond the folder, which is
  // quoted.
  const std::string command = std::string("fluidsynth -ni -q -R 0 -C 0 -g 0.6 -r 44100 -T wav -O s16 -F '") +
                              wavPath + "' '" + kSoundFont + "' '" + midiPath + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return {};
  std::vector<float> audio = readMono(wavPath);
  double end = 0.0;
  for (const MidiNote& n : notes) end = std::max(end, n.end);
  audio.resize(std::min(audio.size(), std::size_t((end + tail) * 44100.0)));
  std::remove(midiPath.c_str());
  std::remove(wavPath.c_str());
  return audio;
}

}  // namespace kelomodel
