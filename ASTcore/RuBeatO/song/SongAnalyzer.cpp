#include "SongAnalyzer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "BarEnergySegmenter.h"
#include "BeatGridEstimator.h"
#include "EnergyEnvelope.h"

namespace {

// Envelope resolution: 5.8 ms at 44100 Hz, fine enough to place beats and
// coarse enough to keep an hour of audio in a few megabytes.
constexpr std::size_t kHop = 256;
// Frames per read; the abort byte is polled once per block.
constexpr std::uint64_t kBlockFrames = 4096;
constexpr float kMaxSampleRate = 192000.0f;

// Tells the listener a percentage only when it differs from the last one.
class ProgressTeller {
 public:
  explicit ProgressTeller(MzMir::IProgress* listener) : listener(listener) {}
  void operator()(int percent) {
    if (!listener || percent == last) return;
    last = percent;
    listener->progress(percent);
  }

 private:
  MzMir::IProgress* listener;
  int last = -1;
};

// Numerator and denominator of the bar lines for the meter given.
std::array<int, 2> barMeter(const std::array<std::int32_t, 4>& meter) {
  if (meter[0] < 1 || meter[0] > 32) return {4, 4};
  switch (meter[3]) {
    case 1: return {meter[0], 2};
    case 3: return {meter[0], 8};
    default: return {meter[0], 4};
  }
}

std::int32_t toSamplePosition(double seconds, float rate) {
  const double s = std::round(seconds * rate);
  return static_cast<std::int32_t>(std::clamp(s, 0.0, static_cast<double>(std::numeric_limits<std::int32_t>::max())));
}

}  // namespace

struct SongAnalyzerImpl {
  MzMir::IProgress* listener = nullptr;
  std::vector<double> barTimes;          // bar starts, then the end of the recording
  std::vector<std::int32_t> barTatums;   // tatum (beat) index of each bar line
  std::int32_t numMixtures = 5;
  std::int32_t maxDuration = 8;
  std::int32_t numStates = 20;
  std::vector<std::int32_t> labels;      // per bar
  std::vector<float> beatTimes;
  std::int32_t featureDimension = 5;
  double mixtureWeightPrior = 0.01;
  std::array<double, 3> observationPriors{1.0, 0.01, 0.01};
  double paramC = 0.1;
  double paramD = 0.9;
  std::vector<SongSegment> segments;
  std::array<std::int32_t, 4> meter{4, 0, -1, 2};
  std::atomic<bool> running{false};
};

SongAnalyzer::SongAnalyzer() : impl(std::make_unique<SongAnalyzerImpl>()) {}

SongAnalyzer::~SongAnalyzer() = default;

SongAnalyzer& SongAnalyzer::setMixtureWeightPrior(double prior) {
  if (prior > 0.0) impl->mixtureWeightPrior = prior;
  return *this;
}

SongAnalyzer& SongAnalyzer::setObservationPriors(double a, double b, double c) {
  if (a > 0.0) impl->observationPriors[0] = a;
  if (b > 0.0) impl->observationPriors[1] = b;
  if (c > 0.0) impl->observationPriors[2] = c;
  return *this;
}

SongAnalyzer& SongAnalyzer::setFeatureDimension(int dimension) {
  if (dimension >= 1) impl->featureDimension = dimension;
  return *this;
}

SongAnalyzer& SongAnalyzer::setInferenceParamC(double value) {
  if (value > 0.0) impl->paramC = value;
  return *this;
}

SongAnalyzer& SongAnalyzer::setInferenceParamD(double value) {
  if (value > 0.0) impl->paramD = value;
  return *this;
}

SongAnalyzer& SongAnalyzer::setNumStates(int states) {
  if (states >= 1 && states <= 63) impl->numStates = states;
  return *this;
}

SongAnalyzer& SongAnalyzer::setNumMixtures(int mixtures) {
  if (mixtures >= 1 && mixtures <= 63) impl->numMixtures = mixtures;
  return *this;
}

SongAnalyzer& SongAnalyzer::setMeter(int beatsPerBar, int level, int phase, int denominatorCode) {
  impl->meter = {beatsPerBar, level, phase, denominatorCode};
  return *this;
}

SongAnalyzer& SongAnalyzer::setProgress(MzMir::IProgress* listener) {
  impl->listener = listener;
  return *this;
}

std::vector<float> SongAnalyzer::getBeats() const { return impl->beatTimes; }

void SongAnalyzer::getSegments(std::vector<SongSegment>& out) const {
  out.resize(impl->segments.size());
  std::copy(impl->segments.begin(), impl->segments.end(), out.begin());
}

void SongAnalyzer::abort() { impl->running = false; }

void SongAnalyzer::analyze(ISeekable<float>& source) {
  SongAnalyzerImpl& s = *impl;
  s.running = true;
  MzMir::IProgress* const listener = s.listener;
  ProgressTeller tell(listener);
  tell(0);

  const float rate = source.sampleRate();
  if (!(rate > 0.0f) || rate > kMaxSampleRate) throw std::domain_error("Fs should be >0 and <=192kHz");
  if (static_cast<float>(source.length()) > static_cast<float>(maxMinutes * 60) * rate)
    throw std::runtime_error("Cannot analyze waveform this long");
  const std::uint32_t channels = source.channels();
  if (channels != 1 && channels != 2) throw std::runtime_error("Unsupported number of channels");

  // Reading: the only stage whose time grows with the recording's length,
  // so it carries the first half of the progress and the abort checks.
  EnergyEnvelope envelope(kHop);
  std::vector<float> block(static_cast<std::size_t>(kBlockFrames) * channels);
  source.seek(0);
  const std::uint64_t total = source.length();
  std::uint64_t framesRead = 0;
  for (;;) {
    const std::uint64_t got = std::min(source.read(block.data(), kBlockFrames), kBlockFrames);
    envelope.push(block.data(), static_cast<std::size_t>(got), channels);
    framesRead += got;
    if (listener) {
      tell(total ? static_cast<int>(std::min<std::uint64_t>(framesRead, total) * 50 / total) : 0);
      if (listener->abort.load()) throw std::runtime_error("Aborted");
    }
    if (got < kBlockFrames || framesRead >= total || !s.running) break;
  }
  if (!s.running) return;
  envelope.finish();
  const std::vector<float>& energy = envelope.energy();
  const double duration = static_cast<double>(framesRead) / rate;
  const double secondsPerFrame = static_cast<double>(kHop) / rate;

  // Beats.
  const BeatGridEstimator estimator(rate / static_cast<double>(kHop));
  BeatGrid grid = estimator.estimate(energy);
  std::vector<double> beatSeconds;
  std::size_t beats = 0;
  while (beats < grid.beatFrames.size() && (grid.beatFrames[beats] + 0.5) * secondsPerFrame < duration) {
    beatSeconds.push_back(std::max(0.0, (grid.beatFrames[beats] + 0.5) * secondsPerFrame));
    ++beats;
  }
  grid.beatFrames.resize(beats);
  s.beatTimes.assign(beatSeconds.begin(), beatSeconds.end());
  tell(50);

  // Bars: whole bars from the accented beat on; the beats before it are a
  // pickup outside every bar.
  const auto [numerator, denominator] = barMeter(s.meter);
  const std::size_t perBar = static_cast<std::size_t>(numerator);
  const std::size_t firstBar = beats ? static_cast<std::size_t>(BeatGridEstimator::barPhase(energy, grid.beatFrames, numerator)) : 0;
  // A bar counts when it ends within the recording (a frame of slack for a
  // recording that stops right on a bar line).
  std::size_t bars = 0;
  while (firstBar + (bars + 1) * perBar <= beats &&
         grid.beatFrames[firstBar + bars * perBar] + static_cast<double>(perBar) * grid.period <=
             static_cast<double>(energy.size()) + 1.0)
    ++bars;
  s.barTimes.clear();
  s.barTatums.clear();
  for (std::size_t b = 0; b < bars; ++b) {
    s.barTimes.push_back(beatSeconds[firstBar + b * perBar]);
    s.barTatums.push_back(static_cast<std::int32_t>(firstBar + b * perBar));
  }
  s.barTimes.push_back(duration);

  if (listener) {
    // The beats are the tatums of this analysis; a bar line comes with the
    // first beat of every bar, the last (unfinished) one included.
    std::int32_t barNumber = 0;
    for (std::size_t k = 0; k < beats; ++k) {
      const auto index = static_cast<std::int32_t>(k);
      const kelo::t_tatum tatum{toSamplePosition(beatSeconds[k], rate), index};
      listener->onTatum(&tatum);
      if (k >= firstBar && (k - firstBar) % perBar == 0) {
        const kelo::t_barline line{index, barNumber++, numerator, denominator};
        listener->onBarline(&line);
      }
      const kelo::t_beat beat{index, index};
      listener->onBeat(&beat);
    }
  }
  tell(75);

  // Segments.
  const std::vector<BarSegment> parts =
      BarEnergySegmenter::segment(BarEnergySegmenter::barProfiles(energy, grid.beatFrames, firstBar, numerator, bars));
  s.labels.assign(bars, 0);
  s.segments.clear();
  for (const BarSegment& part : parts) {
    const auto first = static_cast<std::size_t>(part.firstBar);
    const auto end = first + static_cast<std::size_t>(part.bars);
    std::fill(s.labels.begin() + static_cast<long>(first), s.labels.begin() + static_cast<long>(end), part.label);
    SongSegment segment;
    segment.start = static_cast<float>(s.barTimes[first]);
    segment.end = static_cast<float>(s.barTimes[end]);
    segment.barTatum = s.barTatums[first];
    segment.label = part.label;
    s.segments.push_back(segment);
    if (listener) listener->onSegment(&s.segments.back());
  }

  tell(100);
  if (listener) listener->done();
}
