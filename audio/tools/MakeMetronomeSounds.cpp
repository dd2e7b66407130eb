// Writes the two metronome clicks the playback mixes in: Metro1.wav (the
// accent on a bar's first beat, higher and louder) and Metro2.wav (the
// other beats). Short decaying tones, stereo 44100 Hz 16-bit PCM.
//
// Usage: MakeMetronomeSounds <output folder>

#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;

// A click: a sine burst with a fast attack and an exponential decay, plus a
// quieter octave for brightness.
std::vector<short> click(double frequency, double peak, double seconds) {
  const int frames = static_cast<int>(seconds * kRate);
  std::vector<short> out(static_cast<std::size_t>(frames) * 2);
  const int attack = kRate / 1000;  // 1 ms
  for (int i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double envelope = (i < attack ? static_cast<double>(i) / attack : 1.0) * std::exp(-t * 60.0);
    const double tone = std::sin(2 * M_PI * frequency * t) + 0.3 * std::sin(4 * M_PI * frequency * t);
    const auto v = static_cast<short>(std::lround(peak * 32767.0 * envelope * tone / 1.3));
    out[2 * i] = out[2 * i + 1] = v;
  }
  return out;
}

bool write(const std::string& path, const std::vector<short>& samples) {
  SF_INFO info{};
  info.samplerate = kRate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!f) {
    std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), sf_strerror(nullptr));
    return false;
  }
  const sf_count_t frames = static_cast<sf_count_t>(samples.size() / 2);
  const bool ok = sf_writef_short(f, samples.data(), frames) == frames;
  return sf_close(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const bool ok = write(dir + "/Metro1.wav", click(1760.0, 0.9, 0.08)) &&
                  write(dir + "/Metro2.wav", click(880.0, 0.6, 0.06));
  return ok ? 0 : 1;
}
