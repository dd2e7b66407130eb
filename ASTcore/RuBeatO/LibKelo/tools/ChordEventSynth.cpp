#include "ChordEventSynth.h"

#include <algorithm>
#include <cmath>

namespace kelomodel {

namespace {

constexpr double kTwoPi = 6.283185307179586;

double midiFrequency(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }

void addTone(std::vector<float>& audio, double note, double amplitude, std::size_t start, std::size_t length,
             const Timbre& timbre, GeneratorRandom& rng) {
  const std::size_t end = std::min(audio.size(), start + length);
  const double f0 = midiFrequency(note);
  // The semitone analysis only resolves content below about 5.5 kHz.
  const int partials = std::max(1, std::min(timbre.partials, int(5000.0 / f0)));
  // One rotating phasor per partial: no sine per sample.
  const std::size_t count = std::size_t(partials);
  std::vector<double> re(count), im(count), c(count), s(count), gain(count);
  for (int h = 1; h <= partials; ++h) {
    const std::size_t i = std::size_t(h - 1);
    // Slightly stretched partials, as in strings and pianos.
    const double stretch = 1.0 + 0.0003 * h * h * rng.uniform();
    const double step = kTwoPi * f0 * h * stretch / kSampleRate;
    const double phase = kTwoPi * rng.uniform();
    c[i] = std::cos(step);
    s[i] = std::sin(step);
    re[i] = std::cos(phase);
    im[i] = std::sin(phase);
    gain[i] = amplitude * std::pow(double(h), -timbre.rolloff) * rng.uniform(0.6, 1.0);
  }
  const double attackSamples = std::max(1.0, timbre.attack * kSampleRate);
  const double release = 0.01 * kSampleRate;
  const double fall = std::exp(-1.0 / (timbre.decay * kSampleRate));
  double decay = 1.0;
  for (std::size_t n = start; n < end; ++n) {
    const double t = double(n - start);
    double env = std::min(1.0, t / attackSamples) * decay;
    decay *= fall;
    const double left = double(end - n);
    if (left < release) env *= left / release;
    double v = 0.0;
    for (std::size_t h = 0; h < re.size(); ++h) {
      v += gain[h] * im[h];
      const double x = re[h] * c[h] - im[h] * s[h];
      im[h] = re[h] * s[h] + im[h] * c[h];
      re[h] = x;
    }
    audio[n] += float(env * v);
  }
}

}  // namespace

Timbre randomTimbre(GeneratorRandom& rng) {
  Timbre t;
  t.partials = 1 + rng.below(20);
  t.rolloff = rng.uniform(0.3, 2.2);
  t.attack = rng.uniform(0.002, 0.06);
  t.decay = rng.chance(0.5) ? rng.uniform(0.3, 1.5) : rng.uniform(3.0, 30.0);
  t.detuneCents = rng.uniform(0.0, 15.0);
  t.bassLevel = rng.uniform(0.5, 1.5);
  return t;
}

std::vector<int> voiceChord(GeneratorRandom& rng, int root, const std::vector<int>& intervals, double rootBass) {
  std::vector<int> notes;
  if (intervals.empty()) return notes;
  const int bassInterval = rng.chance(rootBass) ? 0 : intervals[std::size_t(1 + rng.below(int(intervals.size()) - 1))];
  notes.push_back(28 + (root + bassInterval + 12 - 4) % 12);  // E1..D#2
  if (rng.chance(0.3)) notes.push_back(notes.back() + 12);    // doubled bass
  // Every chord tone once, then doublings, up to 3..5 upper notes.
  std::vector<int> classes(intervals);
  const int upper = std::max(int(intervals.size()), 3 + rng.below(3));
  while (int(classes.size()) < upper) classes.push_back(intervals[std::size_t(rng.below(int(intervals.size())))]);
  const int low = 48 + rng.below(12);  // the voicing starts between C3 and B3
  for (int pc : classes) {
    const int octave = rng.below(3);
    int note = low + ((root + pc - low) % 12 + 12) % 12 + 12 * octave;
    if (note > 84) note -= 12;
    notes.push_back(note);
  }
  return notes;
}

void addNotes(std::vector<float>& audio, const std::vector<int>& notes, std::size_t start, std::size_t length,
              const Timbre& timbre, GeneratorRandom& rng) {
  for (std::size_t i = 0; i < notes.size(); ++i) {
    const double detune = rng.uniform(-timbre.detuneCents, timbre.detuneCents) / 100.0;
    const double level = (notes[i] < 48 ? timbre.bassLevel : 1.0) * rng.uniform(0.6, 1.0);
    // Strummed or arpeggiated onsets now and then.
    const std::size_t delay = rng.chance(0.3) ? std::size_t(rng.uniform(0.0, 0.08) * kSampleRate) : 0;
    if (delay >= length) continue;
    addTone(audio, notes[i] + detune, level, start + delay, length - delay, timbre, rng);
  }
}

void addPercussion(std::vector<float>& audio, std::size_t start, std::size_t length, double level,
                   GeneratorRandom& rng) {
  const std::size_t end = std::min(audio.size(), start + length);
  const int hits = 1 + rng.below(4);
  for (int i = 0; i < hits; ++i) {
    const std::size_t at = start + std::size_t(rng.uniform() * double(length));
    const bool thump = rng.chance(0.5);
    const double decay = (thump ? 0.08 : 0.03) * kSampleRate;
    const double f = rng.uniform(45.0, 90.0);
    for (std::size_t n = at; n < end && n < at + std::size_t(6 * decay); ++n) {
      const double t = double(n - at);
      const double env = level * std::exp(-t / decay);
      const double v = thump ? std::sin(kTwoPi * f * t / kSampleRate * (1.0 + 2.0 * std::exp(-t / 800.0)))
                             : rng.uniform(-1.0, 1.0);
      audio[n] += float(env * v);
    }
  }
}

void normalisePeak(std::vector<float>& audio, float peak) {
  float top = 0.0f;
  for (float v : audio) top = std::max(top, std::fabs(v));
  if (top > 0.0f)
    for (float& v : audio) v *= peak / top;
}

}  // namespace kelomodel
