// bench-deps: kelo beat mzcommon PkgConfig::SNDFILE Qt5::Core
// Measuring program for the chord engine's beat-slice front end, not part
// of the program:
//
//   BeatChromaOnSongs DIR
//
// For every NAME.wav under DIR with a NAME.json beside it that lists
// "beats" and "chords" (the test-song kit), the mono mix at 44100 Hz is cut
// at the listed beats and pooled into the joint bass and treble chroma
// (median, as the chord decoder reads it). Each beat inside a chord (not
// "N") counts as a treble hit when the treble maximum is a chord tone and
// as a bass hit when the bass maximum is the chord's root; the mean cosine
// of the treble chroma and the chord's tones shows smaller changes. One line
// per song and a total go to the standard output.

#include <sndfile.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <list>
#include <string>
#include <vector>

#include "BeatSliceFeatureGenerator.h"

namespace fs = std::filesystem;

namespace {

constexpr int kHop = 180;

bool decodeMono(const fs::path& path, std::vector<float>& mono) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) return false;
  if (info.channels < 1 || info.samplerate != 44100) {
    sf_close(file);
    return false;
  }
  std::vector<float> block(static_cast<std::size_t>(4096) * info.channels);
  mono.clear();
  for (sf_count_t got; (got = sf_readf_float(file, block.data(), 4096)) > 0;)
    for (sf_count_t f = 0; f < got; ++f) {
      float sum = 0.0f;
      for (int c = 0; c < info.channels; ++c) sum += block[static_cast<std::size_t>(f * info.channels + c)];
      mono.push_back(sum / static_cast<float>(info.channels));
    }
  sf_close(file);
  return true;
}

// Pitch class of a Harte root such as "Ab" or "F#"; -1 when unreadable.
int pitchClass(const std::string& root) {
  static const int naturals[] = {9, 11, 0, 2, 4, 5, 7};  // A .. G
  if (root.empty() || root[0] < 'A' || root[0] > 'G') return -1;
  int pc = naturals[root[0] - 'A'];
  for (std::size_t i = 1; i < root.size(); ++i) pc += root[i] == '#' ? 1 : root[i] == 'b' ? -1 : 0;
  return (pc % 12 + 12) % 12;
}

// Chord tones (pitch classes) of a Harte label; empty for "N" or unknown.
std::vector<int> chordTones(const std::string& label, int* root) {
  const auto colon = label.find(':');
  *root = pitchClass(label.substr(0, colon));
  if (*root < 0 || colon == std::string::npos) return {};
  const std::string quality = label.substr(colon + 1);
  std::vector<int> steps = {0, quality.rfind("min", 0) == 0 ? 3 : 4, 7};
  if (quality == "7" || quality == "min7") steps.push_back(10);
  if (quality == "maj7") steps.push_back(11);
  for (int& s : steps) s = (s + *root) % 12;
  return steps;
}

struct Score {
  int beats = 0, treble = 0, bass = 0;
  double trebleMatch = 0;  // summed cosine of the treble chroma and the chord's tones
};

// Cosine of a centred, unit-length chroma and the centred pattern of `tones`.
double match(const double* chroma, const std::vector<int>& tones) {
  double pattern[12], norm = 0, dot = 0;
  const double mean = static_cast<double>(tones.size()) / 12.0;
  for (int pc = 0; pc < 12; ++pc) {
    pattern[pc] = (std::count(tones.begin(), tones.end(), pc) > 0 ? 1.0 : 0.0) - mean;
    norm += pattern[pc] * pattern[pc];
  }
  for (int pc = 0; pc < 12; ++pc) dot += chroma[pc] * pattern[pc];
  return dot / std::sqrt(norm);
}

Score measure(const std::vector<float>& mono, const QJsonObject& truth) {
  kelo::BeatSliceFeatureGenerator g(16384, kHop);
  g.pushSamples(mono.data(), static_cast<int>(mono.size()));
  std::list<int> frames;
  std::vector<double> times;
  for (const auto& b : truth["beats"].toArray()) {
    const int frame = static_cast<int>(std::lround(b.toDouble() * 44100.0 / kHop));
    if (frames.empty() || frame > frames.back()) {
      frames.push_back(frame);
      times.push_back(b.toDouble());
    }
  }
  g.flushAtBeats(frames);
  std::vector<kelo::FeatureVector> chroma;
  g.makeFeature(chroma, kelo::JointHPCP, 0, 1, kelo::poolMedian);

  Score score;
  const QJsonArray chords = truth["chords"].toArray();
  for (std::size_t i = 0; i < chroma.size(); ++i) {
    // The middle of the beat decides which chord it belongs to.
    const double t = i + 1 < times.size() ? 0.5 * (times[i] + times[i + 1]) : times[i] + 0.1;
    for (const auto& c : chords) {
      const QJsonArray span = c.toArray();
      if (t < span[0].toDouble() || t >= span[1].toDouble()) continue;
      int root = -1;
      const std::vector<int> tones = chordTones(span[2].toString().toStdString(), &root);
      if (tones.empty()) break;
      const auto& v = chroma[i];
      const int bass = static_cast<int>(std::max_element(v.begin(), v.begin() + 12) - v.begin());
      const int treble = static_cast<int>(std::max_element(v.begin() + 12, v.begin() + 24) - (v.begin() + 12));
      ++score.beats;
      score.treble += std::count(tones.begin(), tones.end(), treble) > 0;
      score.bass += bass == root;
      score.trebleMatch += match(&v[12], tones);
      break;
    }
  }
  return score;
}

void report(const std::string& name, const Score& s) {
  std::printf("%-28s beats %5d  treble chord tone %5.1f %%  bass root %5.1f %%  treble match %.4f\n", name.c_str(),
              s.beats, 100.0 * s.treble / s.beats, 100.0 * s.bass / s.beats, s.trebleMatch / s.beats);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  std::vector<fs::path> songs;
  for (const auto& entry : fs::recursive_directory_iterator(argv[1]))
    if (entry.path().extension() == ".wav") songs.push_back(entry.path());
  std::sort(songs.begin(), songs.end());
  Score total;
  for (const auto& path : songs) {
    QFile json(QString::fromStdString(fs::path(path).replace_extension(".json").string()));
    std::vector<float> mono;
    if (!json.open(QIODevice::ReadOnly) || !decodeMono(path, mono)) continue;
    const QJsonObject truth = QJsonDocument::fromJson(json.readAll()).object();
    if (!truth.contains("chords") || !truth.contains("beats")) continue;
    const Score s = measure(mono, truth);
    if (s.beats == 0) continue;
    report(path.stem().string(), s);
    total.beats += s.beats;
    total.treble += s.treble;
    total.bass += s.bass;
    total.trebleMatch += s.trebleMatch;
  }
  if (total.beats > 0) report("all", total);
  return 0;
}
