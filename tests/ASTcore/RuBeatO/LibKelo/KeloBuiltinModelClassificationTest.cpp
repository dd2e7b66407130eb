// The built-in emission densities recognise chords they were not fitted on:
// chords synthesised here with a timbre and seeds of our own, and chords
// played by General MIDI instruments the model generator does not use,
// rendered by fluidsynth. Each chord goes through the engine's beat-slice
// front end (its start standing in for a beat) and is classified by the
// best (root, class) of the seven built-in classes; at least 90 % must get
// the root and the major/minor quality right.

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <list>
#include <memory>
#include <random>
#include <sstream>
#include <vector>

#include <boost/make_shared.hpp>
#include <boost/pointer_cast.hpp>

#include "BeatSliceFeatureGenerator.h"
#include "JointHpcpPowPdf.h"
#include "KeloHmmPlainTextFactory.h"
#include "KeloPlainTextResourceStreamReader.h"
#include "OfflineHmm.h"
#include "KeloModelMap.h"
#include "TempDir.h"

namespace {

using kelo::JointHpcpPowPdf;
using Vector = JointHpcpPowPdf::Vector;

constexpr int kRate = 44100;
constexpr int kHop = 180;
enum Quality { Major, Minor, Other };

struct Chord {
  int root;
  std::vector<int> intervals;
  Quality quality;
};

// Major and minor triads and sevenths on roots spread over the octave.
std::vector<Chord> testChords(int count, unsigned seed) {
  const std::vector<std::pair<std::vector<int>, Quality>> kinds = {
      {{0, 4, 7}, Major}, {{0, 3, 7}, Minor}, {{0, 4, 7, 10}, Major}, {{0, 3, 7, 10}, Minor}};
  std::mt19937 rng(seed);
  std::vector<Chord> chords;
  for (int i = 0; i < count; ++i) {
    const auto& kind = kinds[std::size_t(i) % kinds.size()];
    chords.push_back({int((i * 7 + rng() % 3) % 12), kind.first, kind.second});
  }
  return chords;
}

struct Model {
  std::vector<boost::shared_ptr<JointHpcpPowPdf>> pdfs;
  std::vector<Quality> quality;
};

Model builtinModel() {
  const kelo::KeloModelMap& map = kelo::initModelResources();
  Model m;
  std::istringstream list(map.chordListText);
  int type = 0, chordClass = 0;
  while (list >> type >> chordClass) {
    auto pdf = boost::make_shared<JointHpcpPowPdf>();
    std::istringstream text(map.emissionTexts.at(std::to_string(type)));
    pdf->load(text);
    EXPECT_FALSE(text.fail());
    m.pdfs.push_back(pdf);
    m.quality.push_back(type == 0 || type == 2 || type == 19 ? Major : type == 8 || type == 10 ? Minor : Other);
  }
  return m;
}

// The best (root, quality) of the model for one feature.
std::pair<int, Quality> classify(Model& model, const Vector& f) {
  double best = -INFINITY;
  std::pair<int, Quality> result{-1, Other};
  Vector v(f);
  for (int r = 0; r < 12; ++r) {
    for (int i = 0; i < 12; ++i) {
      v(std::size_t(i)) = f(std::size_t((r + i) % 12));
      v(std::size_t(12 + i)) = f(std::size_t(12 + (r + i) % 12));
    }
    for (std::size_t c = 0; c < model.pdfs.size(); ++c) {
      const double score = model.pdfs[c]->logPdf(v);
      if (score > best) best = score, result = {r, model.quality[c]};
    }
  }
  return result;
}

// One joint chroma per chord, through the engine's front end.
std::vector<Vector> chordFeatures(const std::vector<float>& audio, const std::vector<double>& starts) {
  kelo::BeatSliceFeatureGenerator front(16384, kHop);
  front.pushSamples(audio.data(), int(audio.size()));
  std::list<int> beats;
  for (double s : starts) beats.push_back(int(s * kRate / kHop));
  front.flushAtBeats(beats);
  std::vector<Vector> features;
  front.makeFeature(features, 4, 0, 1, 0);
  return features;
}

double shareRight(const std::vector<float>& audio, const std::vector<double>& starts, const std::vector<Chord>& chords) {
  const std::vector<Vector> features = chordFeatures(audio, starts);
  EXPECT_EQ(features.size(), chords.size());
  Model model = builtinModel();
  int right = 0;
  for (std::size_t i = 0; i < features.size() && i < chords.size(); ++i) {
    const auto got = classify(model, features[i]);
    if (got.first == chords[i].root && got.second == chords[i].quality) ++right;
  }
  return double(right) / double(chords.size());
}

// Bright plucked tones (every harmonic at 1/h), root in the bass, a close
// voicing around middle C: a timbre the generator never makes.
std::vector<float> synthesise(const std::vector<Chord>& chords, double length, std::vector<double>& starts) {
  std::vector<float> audio(std::size_t((chords.size() * length + 0.3) * kRate), 0.0f);
  for (std::size_t i = 0; i < chords.size(); ++i) {
    starts.push_back(double(i) * length);
    std::vector<int> notes = {36 + chords[i].root};
    for (int iv : chords[i].intervals) notes.push_back(57 + (chords[i].root + iv + 3) % 12);
    const std::size_t at = std::size_t(starts.back() * kRate), n = std::size_t(length * kRate);
    for (int note : notes) {
      const double f0 = 440.0 * std::pow(2.0, (note - 69) / 12.0);
      for (std::size_t k = 0; k < n; ++k) {
        const double t = double(k) / kRate;
        double v = 0.0;
        for (int h = 1; h <= 8 && h * f0 < 5000.0; ++h) v += std::sin(2 * M_PI * h * f0 * t) / h;
        audio[at + k] += float(0.08 * std::exp(-t / 0.9) * std::min(1.0, t / 0.005) * v);
      }
    }
  }
  return audio;
}

void putVarLen(std::vector<std::uint8_t>& out, std::uint32_t v) {
  std::uint8_t stack[4];
  int n = 0;
  do stack[n++] = std::uint8_t(v & 0x7F), v >>= 7;
  while (v != 0 && n < 4);
  while (n--) out.push_back(std::uint8_t(stack[n] | (n ? 0x80 : 0)));
}

// Each chord on the next of the instruments (bright piano, drawbar organ,
// steel guitar, brass), over a picked bass, 960 ticks
// per second; empty when fluidsynth or the GM sound font is missing.
std::vector<float> render(const std::vector<Chord>& chords, double length, std::vector<double>& starts) {
  const QString soundFont = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
  if (QStandardPaths::findExecutable("fluidsynth").isEmpty() || !QFileInfo::exists(soundFont)) return {};
  const int instruments[] = {1, 16, 25, 61};
  std::vector<std::uint8_t> track = {0x00, 0xC1, 34};
  const std::uint32_t ticks = std::uint32_t(length * 960);
  for (std::size_t i = 0; i < chords.size(); ++i) {
    starts.push_back(double(i) * length);
    std::vector<int> keys = {40 + (chords[i].root + 8) % 12};
    for (int iv : chords[i].intervals) keys.push_back(55 + (chords[i].root + iv + 5) % 12);
    track.insert(track.end(), {0x00, 0xC0, std::uint8_t(instruments[i % 4])});
    for (std::size_t k = 0; k < keys.size(); ++k)
      track.insert(track.end(), {0x00, std::uint8_t(k == 0 ? 0x91 : 0x90), std::uint8_t(keys[k]), 90});
    for (std::size_t k = 0; k < keys.size(); ++k) {
      putVarLen(track, k == 0 ? ticks : 0);
      track.insert(track.end(), {std::uint8_t(k == 0 ? 0x81 : 0x80), std::uint8_t(keys[k]), 0});
    }
  }
  track.insert(track.end(), {0x83, 0x60, 0xFF, 0x2F, 0x00});
  std::vector<std::uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k'};
  for (int s = 24; s >= 0; s -= 8) file.push_back(std::uint8_t(track.size() >> s));
  file.insert(file.end(), track.begin(), track.end());

  const QString midi = TestEnv::tempPath("chords.mid"), raw = TestEnv::tempPath("chords.raw");
  QFile out(midi);
  if (!out.open(QIODevice::WriteOnly)) return {};
  out.write(reinterpret_cast<const char*>(file.data()), qint64(file.size()));
  out.close();
  QProcess synth;
  synth.start("fluidsynth", {"-ni", "-q", "-R", "0", "-C", "0", "-g", "0.6", "-r", "44100", "-T", "raw", "-O",
                             "s16", "-E", "little", "-F", raw, soundFont, midi});
  if (!synth.waitForFinished(60000) || synth.exitCode() != 0) return {};
  // Interleaved little-endian 16-bit stereo; the left channel will do.
  QFile in(raw);
  if (!in.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = in.readAll();
  std::vector<float> mono(std::size_t(bytes.size() / 4));
  for (std::size_t i = 0; i < mono.size(); ++i) {
    const auto lo = std::uint8_t(bytes[int(4 * i)]), hi = std::uint8_t(bytes[int(4 * i + 1)]);
    mono[i] = float(std::int16_t(std::uint16_t(lo | (hi << 8)))) / 32768.0f;
  }
  // Release tails beyond the last chord are of no use here.
  mono.resize(std::min(mono.size(), std::size_t((double(chords.size()) * length + 0.2) * kRate)));
  return mono;
}

}  // namespace

TEST(KeloBuiltinModel, ClassifiesHeldOutSynthesisedChords) {
  const std::vector<Chord> chords = testChords(20, 5);
  std::vector<double> starts;
  const std::vector<float> audio = synthesise(chords, 0.4, starts);
  EXPECT_GE(shareRight(audio, starts, chords), 0.9);
}

TEST(KeloBuiltinModel, ClassifiesHeldOutRenderedChords) {
  const std::vector<Chord> chords = testChords(20, 9);
  std::vector<double> starts;
  const std::vector<float> audio = render(chords, 0.5, starts);
  if (audio.empty()) GTEST_SKIP() << "fluidsynth or its sound font is not installed";
  EXPECT_GE(shareRight(audio, starts, chords), 0.9);
}

namespace {

void makeOffline(boost::shared_ptr<kelo::IKeloHmm>& out, std::uint32_t classes, std::uint32_t beats, void*) {
  out = boost::make_shared<kelo::OfflineHmm>(std::int32_t(classes), std::int32_t(beats));
}

}  // namespace

// A cadence in A minor (with its major dominant) and one in E flat major,
// a chord per beat, decoded by the whole built-in model: the key and most
// chord roots come out.
TEST(KeloBuiltinModel, DecodesTheKeyOfSynthesisedProgressions) {
  const std::vector<int> maj = {0, 4, 7}, min = {0, 3, 7}, dom = {0, 4, 7, 10};
  struct Progression {
    std::vector<Chord> chords;
    int tonic, mode;
  };
  const std::vector<Progression> progressions = {
      {{{9, min, Minor}, {9, min, Minor}, {2, min, Minor}, {2, min, Minor}, {4, dom, Major}, {4, dom, Major},
        {9, min, Minor}, {9, min, Minor}, {5, maj, Major}, {5, maj, Major}, {2, min, Minor}, {4, dom, Major},
        {9, min, Minor}, {9, min, Minor}},
       9, 1},
      {{{3, maj, Major}, {3, maj, Major}, {8, maj, Major}, {8, maj, Major}, {10, dom, Major}, {10, dom, Major},
        {3, maj, Major}, {3, maj, Major}, {0, min, Minor}, {0, min, Minor}, {5, min, Minor}, {10, dom, Major},
        {3, maj, Major}, {3, maj, Major}},
       3, 0}};
  for (const Progression& p : progressions) {
    std::vector<double> starts;
    const std::vector<Vector> features = chordFeatures(synthesise(p.chords, 0.4, starts), starts);
    kelo::KeloPlainTextResourceStreamReader reader;
    kelo::KeloHmmPlainTextFactory factory(&reader, makeOffline, nullptr);
    std::int32_t featureKind = 0;
    std::unique_ptr<kelo::KeloHmm> model(factory.create(featureKind, true, 0, 4));
    ASSERT_EQ(factory.lastError(), 0u);
    auto hmm = boost::dynamic_pointer_cast<kelo::OfflineHmm>(model->decoder());
    for (const Vector& f : features) hmm->addFeature(f);
    hmm->decode();
    std::int32_t mode, phase, tonic;
    hmm->getChosen(mode, phase, tonic);
    EXPECT_EQ(tonic, p.tonic);
    EXPECT_EQ(mode, p.mode);
    int rootsRight = 0;
    for (std::size_t t = 0; t < p.chords.size(); ++t)
      rootsRight += hmm->stateAt(std::int32_t(t)) % 12 == p.chords[t].root;
    EXPECT_GE(rootsRight, 12) << "tonic " << p.tonic;
  }
}
