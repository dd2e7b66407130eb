#include "KeloOffline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <list>
#include <new>
#include <optional>
#include <ostream>
#include <stdexcept>

#include <boost/make_shared.hpp>

#include "BarAccents.h"
#include "BassLine.h"
#include "BeatSliceFeatureGenerator.h"
#include "ChordTurns.h"
#include "beat/CBeatDetect.h"
#include "DottedTrackerBeat.h"
#include "KeloHmm.h"
#include "KeloHmmPlainTextFactory.h"
#include "KeloPlainTextFileStreamReader.h"
#include "KeloPlainTextResourceStreamReader.h"
#include "ModelMeter.h"
#include "OfflineHmm.h"
#include "PitchRise.h"
#include "PulseAccents.h"
#include "SpectralFeature.h"

namespace kelo {

namespace {

constexpr float kSampleRate = 44100.0f;
// How far either side of a third of the tracker's beat its onset
// observation is read, in its steps (12 ms): at 180 BPM and over, the
// observation peaks a step or two off the thirds reckoned from its beats
// (read a step either side, a waltz at 186 had nothing there), and the
// eighths lie some ten steps apart.
constexpr int kStepsAroundAThird = 3;
// A frame whose treble chroma sums above this carries enough music for a
// chord change to be reported...
constexpr float kAudibleTrebleSum = 1.5f;
// ...or, in a recording mastered quieter, above this share of the
// segment's median treble sum: the sum grows with the level, and a quiet
// recording must not lose its chord changes while its silences still do.
constexpr float kAudibleShareOfMedian = 0.25f;
constexpr std::size_t kTrebleSum = 25;
constexpr int kMeterTransformSize = 1024;
constexpr float kMeterKernelWidth = 100.0f;
constexpr double kInadmissible = -10000.0;
// Four bars of 12/8, the longest bar the prior admits, in pulses.
constexpr std::size_t kCompoundEvidenceRows = 4 * 12;

// The decoder counts the first stretch's selected beats from its first;
// a bar of three that opens on beat `beat` of them has bar phase 1 - beat
// (see OfflineHmm::decode). -1 for a beat not known.
int barPhaseOpeningOn(int beat) { return beat < 0 ? -1 : ((1 - beat) % 3 + 3) % 3; }

void makeOfflineDecoder(boost::shared_ptr<IKeloHmm>& out, std::uint32_t classCount,
                        std::uint32_t beatCount, void* /*arg*/) {
  out = boost::make_shared<OfflineHmm>(static_cast<std::int32_t>(classCount),
                                       static_cast<std::int32_t>(beatCount));
}

// Only 3/4 and 4/4 with two pulses per beat, 6/8, 9/8 and 12/8 with
// three. 12/8 is admitted beside the others: without it a slow 12/8 blues,
// whose four dotted beats the model decodes as well as any, could only
// come out with a bar line every three of its beats.
Eigen::MatrixXd meterPrior() {
  Eigen::MatrixXd prior = Eigen::MatrixXd::Constant(4, 5, kInadmissible);
  prior(2, 3) = 0.0;
  prior(2, 4) = 0.0;
  prior(3, 2) = 0.0;
  prior(3, 3) = 0.0;
  prior(3, 4) = 0.0;
  return prior;
}

float audibleTrebleSum(std::vector<float> sums) {
  if (sums.empty()) return kAudibleTrebleSum;
  const auto middle = sums.begin() + static_cast<std::ptrdiff_t>(sums.size() / 2);
  std::nth_element(sums.begin(), middle, sums.end());
  return std::min(kAudibleTrebleSum, kAudibleShareOfMedian * *middle);
}

int hypothesisCount(int level, int meterCode) {
  if (level > 0) return 1;
  return level == 0 ? meterCode : 2 * meterCode;
}

}  // namespace

KeloOffline::KeloOffline() = default;
KeloOffline::~KeloOffline() = default;

int KeloOffline::init(int /*lag*/, std::string modelPath, int blockSize, int beatsPerBar, double) {
  try {
    beatsPerBar_ = beatsPerBar < 0 ? BeatsPerBarNotGiven : beatsPerBar;
    modelPath_ = std::move(modelPath);
    blockSize_ = blockSize;
    generator_ = boost::make_shared<BeatSliceFeatureGenerator>(sliceParameter_, blockSize_);
    // The generator's detector settings, without the half-beat split.
    trackerBeats_ = boost::make_shared<RuBeatO::CBeatDetect>(1024, blockSize_, 3, false, kSampleRate,
                                                             60.0f, 200.0f);
    samplePending_ = false;
    if (beatsPerBar == 0) return KeloInvalidParameter;
    loadModel(modelBeatsBeforeEstimate(meterCode_, beatsPerBar_));
  } catch (const std::bad_alloc&) {
    return KeloOutOfMemory;
  }
  if (loaderStatus_ != 0) return loaderStatus_;
  previous_ = Frame{-1, -1, -1, -1, -1, -1, 4, 4};
  frameCount_ = 0;
  halfPulses_ = HalfPulses::Undecided;
  carriedHalfPulse_ = -1;
  pitchRise_ = std::make_unique<PitchRise>();
  carriedEighths_.clear();
  nextBar_ = -1;
  dottedGrouping_ = -1;
  firstBarPhase_ = -1;
  barFrames_ = 0;
  tatumCounter_ = 0;
  barCounter_ = 0;
  segmentOffset_ = 0;
  chordEmitted_ = false;
  return KeloSuccess;
}

void KeloOffline::loadModel(int beats) {
  boost::shared_ptr<IKeloPlainTextStreamReader> reader;
  if (modelPath_.empty())
    reader = boost::make_shared<KeloPlainTextResourceStreamReader>();
  else
    reader = boost::make_shared<KeloPlainTextFileStreamReader>(modelPath_, "Mixture");
  KeloHmmPlainTextFactory factory(reader.get(), &makeOfflineDecoder, nullptr);
  model_.reset(factory.create(featureKind_, true, 0, static_cast<std::uint32_t>(beats)));
  loaderStatus_ = static_cast<std::int32_t>(factory.lastError());
  if (loaderStatus_ != 0)
    std::printf("OOPS! errorCode=%d %s %d \n", loaderStatus_, __FILE__, __LINE__);
}

bool KeloOffline::modelUsable() const {
  return loaderStatus_ == 0 && model_ && model_->decoder() && generator_;
}

OfflineHmm* KeloOffline::offlineDecoder() const {
  return model_ ? dynamic_cast<OfflineHmm*>(model_->decoder().get()) : nullptr;
}

int KeloOffline::setMeter(int level, int phase, int meterCode) {
  if (!(isSettableMeterCode(meterCode) || meterCode == 1)) return KeloInvalidParameter;
  if (!isPulseLevel(level)) return KeloInvalidParameter;
  level_ = level;
  phase_ = phase;
  meterCode_ = meterCode;
  return KeloSuccess;
}

int KeloOffline::process(const float* samples, int count) {
  if (!generator_) return KeloNotInitialised;
  generator_->pushSamples(samples, count);
  if (count <= 0) return KeloSuccess;
  samplesReceived_ += count;
  // Only a meter left simple or open is decided on the first stretch.
  if (pitchRise_ && meterCode_ != MeterCompound) pitchRise_->push(samples, count);
  if (trackerBeats_) {
    // The detector takes sample pairs; an odd sample waits for the next call.
    int used = 0;
    if (samplePending_) {
      const float pair[2] = {pendingSample_, samples[0]};
      trackerBeats_->addData(pair, 2);
      used = 1;
    }
    const int even = (count - used) / 2 * 2;
    trackerBeats_->addData(samples + used, even);
    samplePending_ = used + even < count;
    if (samplePending_) pendingSample_ = samples[count - 1];
  }
  return KeloSuccess;
}

int KeloOffline::finish() { return analyseAndReport(true); }

int KeloOffline::analyseAndReport(bool final) {
  if (!generator_) return KeloNotInitialised;
  generator_->flush();
  placeHalfPulses();
  if (!analyse()) return loaderStatus_ != 0 ? loaderStatus_ : KeloNotInitialised;
  emitReports(hypotheses_[static_cast<std::size_t>(chosen_)], final);
  return KeloSuccess;
}

// Decided once: the pulse grouping chosen on the first stretch holds for
// the later ones, so a first stretch with nothing to go by keeps the
// tracker's pulses for good.
void KeloOffline::decideHalfPulses(const std::list<int>& found) {
  halfPulses_ = HalfPulses::None;
  if (found.size() < 2) return;
  const double pulsesPerMinute = framesPerMinute() / medianGap(std::vector<int>(found.begin(), found.end()));
  std::vector<FeatureVector> rows;
  generator_->makeFeature(rows, OctaveProfile, 0, 1, poolMedian);
  const std::vector<double> rises = pulseRises(rows);
  const std::vector<double> bass = bassRises(rows);
  const std::uint32_t first = static_cast<std::uint32_t>(generator_->getBeatOffset());
  // A slow 12/8 shuffle or jig whose eighths the tracker took for its
  // beats: they are the compound meter's pulses, and the tracker's pulses
  // between them are not.
  if (beatsAreLongShortEighths(bass, rises, first, pulsesPerMinute)) {
    halfPulses_ = HalfPulses::TrackerBeats;
    if (meterCode_ == MeterNotGiven) meterCode_ = MeterCompound;
    return;
  }
  // Worked out once, where a rule below first asks for them.
  std::optional<std::vector<double>> pitches;
  const auto pitchRises = [&]() -> const std::vector<double>& {
    if (!pitches) pitches = pitchRisesAt(found);
    return *pitches;
  };
  // A slow song's eighths the tracker took for its beats, every second
  // one carrying the chords or the tune: the beats are every second.
  if (trackerBeatsAreHalfBeats(bass, rises, first, pulsesPerMinute) && pitchRise_ &&
      newPitchesOnTheStrongerBeats(pitchRises(), rises, first)) {
    halfPulses_ = HalfPulses::TrackerBeats;
    return;
  }
  const int accent = strongestGroupingPhase(rises, first, 3);
  // An oom-pah whose chords of two and three sound softly beside a tune
  // on one still shows its beats where its bass plays once a bar: on
  // every accent and only there, with the chords' new pitches between.
  // A slow jazz waltz's eighths are accented every third by the comping
  // on two's swung upbeat; its walking bass and the unlike halves of its
  // bar say they are not beats.
  // A waltz that leaves its second beat empty plays a slow compound bar's
  // long-short at the same pulse rate; its bass on three and not on two, or
  // on one after an accent on three, and its chords turning bar by bar,
  // every third pulse, say the pulses are its beats.
  const bool eighths = bassWalksEverySecondPulse(bass, first) && halfBarsDiffer(rises, first, accent);
  const bool everyThird = accentedEveryThirdPulse(rises, first, pulsesPerMinute);
  const auto chordsTurnEveryBar = [&] {
    std::vector<FeatureVector> chroma;
    generator_->makeFeature(chroma, TrebleChroma, 0, 1, poolMedian);
    return chordsTurnEveryThreePulses(chroma, first, accent);
  };
  const bool beats = !eighths && (pulsesAreBeats(rises, first, pulsesPerMinute) ||
                                  (everyThird && pitchRise_ && bassOnTheAccentOnly(bass, rises, first, accent) &&
                                   newPitchesBetweenTheAccents(pitchRises(), first, accent)) ||
                                  (everyThird &&
                                   (secondBeatLeftEmpty(bass, first, accent) ||
                                    accentFallsOnTheThirdBeat(bass, first, accent)) &&
                                   chordsTurnEveryBar()));
  if (beats && !accentsComeInPairs(bass, rises, first, accent)) {
    halfPulses_ = HalfPulses::Placed;
    // The pulses stay the beats of the first stretch in the decoder (the
    // half pulses between them are left out by the grouping).
    firstBarPhase_ = barPhaseOpeningOn(bassDownbeat(bass));
  } else if (trackerBeatIsDotted() || trackerBeatIsABar(found))
    halfPulses_ = HalfPulses::DottedBeats;
  else
    return;
  // Either way the bar holds three beats: the accent every third beat is
  // the bar's, and a dotted beat's two make a bar. Where the bar line goes
  // is left to the chord path, which hears where the harmony turns, except
  // where dotted beats or a bass once a bar show it (see analyse).
  if (meterCode_ == MeterNotGiven) meterCode_ = MeterSimple;
  if (beatsPerBar_ == BeatsPerBarNotGiven) beatsPerBar_ = 3;
}

std::vector<double> KeloOffline::pitchRisesAt(const std::list<int>& pulses) {
  const double secondsPerFrame = secondsOfAFrame();
  std::vector<double> at;
  at.reserve(pulses.size());
  for (int pulse : pulses) at.push_back(pitchRise_->at(pulse * secondsPerFrame));
  return at;
}

// Decided on the first stretch of the recording, with the meter, and kept
// for the rest: a waltz whose pulses are its beats gets the half beats the
// tracker left out, so that its beats are every second pulse as in every
// other simple meter. A compound meter given by the caller keeps its
// pulses.
void KeloOffline::placeHalfPulses() {
  const std::list<int>& found = generator_->getBeatFrames();
  if (halfPulses_ == HalfPulses::Undecided && meterCode_ != MeterCompound) decideHalfPulses(found);
  // The pitches were kept for that decision only.
  if (pitchRise_) pitchRise_.reset();
  if (halfPulses_ == HalfPulses::DottedBeats) placeDottedBeatEighths(found);
  if (halfPulses_ == HalfPulses::TrackerBeats) keepTrackerBeats(found);
  if (halfPulses_ != HalfPulses::Placed) return;
  // A half pulse that fell beyond the last stretch's end opens this one.
  const int carriedFrame = carriedHalfPulse_;
  const bool carried = carriedFrame >= 0 && (found.empty() || carriedFrame < found.front());
  const int frames = generator_->numFrames();
  // The pulse after the last comes a pulse later, in the next stretch.
  const std::vector<int> pulses(found.begin(), found.end());
  const int next = pulses.size() >= 2 ? 2 * pulses.back() - pulses[pulses.size() - 2] : -1;
  std::vector<int> doubled = withHalfPulses(pulses, next);
  carriedHalfPulse_ = -1;
  if (!doubled.empty() && next > 0 && doubled.back() >= frames) {
    carriedHalfPulse_ = doubled.back() - frames;
    doubled.pop_back();
  }
  std::list<int> placed;
  if (carried) placed.push_back(carriedFrame);
  placed.insert(placed.end(), doubled.begin(), doubled.end());
  generator_->flushAtBeats(placed);
}

// In every stretch the pulses of the parity on which new sound starts: the
// tracker's beats, not the halves between them. Read anew in each stretch,
// which the tracker starts from the last one's beat.
void KeloOffline::keepTrackerBeats(const std::list<int>& found) {
  std::vector<FeatureVector> rows;
  generator_->makeFeature(rows, OctaveProfile, 0, 1, poolMedian);
  const std::uint32_t first = static_cast<std::uint32_t>(generator_->getBeatOffset());
  const std::uint32_t on = static_cast<std::uint32_t>(risingParity(pulseRises(rows), first));
  std::list<int> beats;
  std::uint32_t pulse = first;
  for (int frame : found)
    if (pulse++ % 2 == on) beats.push_back(frame);
  generator_->flushAtBeats(beats);
}

// Read from the tracker's own onset observations, the evidence it placed
// its beats by; once, on the first stretch, while the tracker's frames are
// the generator's.
double KeloOffline::framesPerMinute() const { return 60.0 * kSampleRate / static_cast<double>(blockSize_); }

double KeloOffline::secondsOfAFrame() const { return static_cast<double>(blockSize_) / kSampleRate; }

std::vector<int> KeloOffline::trackerBeatFrames() {
  std::list<int> found;
  if (!trackerBeats_->isInferred()) trackerBeats_->infer();
  trackerBeats_->getBeatFrames(found, 1, 0);
  return std::vector<int>(found.begin(), found.end());
}

double KeloOffline::trackerOnsetAround(double frame, int steps) const {
  const int at = static_cast<int>(std::lround(frame));
  const int step = trackerBeats_->getDecimation();
  float most = trackerBeats_->onsetAt(at);
  for (int k = 1; k <= steps; ++k)
    most = std::max({most, trackerBeats_->onsetAt(at - k * step), trackerBeats_->onsetAt(at + k * step)});
  return static_cast<double>(most);
}

bool KeloOffline::trackerBeatIsDotted() {
  if (!trackerBeats_ || trackerBeats_->getNumFrames() == 0 || !pitchRise_) return false;
  const std::vector<int> beats = trackerBeatFrames();
  // A step either side: the observation peaks within a step of an onset.
  std::vector<double> atBeats;
  for (int beat : beats) atBeats.push_back(trackerOnsetAround(beat, 1));
  const int parity = strongBeatParity(atBeats);
  if (parity < 0) return false;
  const double secondsPerFrame = secondsOfAFrame();
  std::vector<double> atThirds, atSixths;
  for (std::size_t i = static_cast<std::size_t>(parity); i + 2 < beats.size(); i += 2) {
    const double from = beats[i] * secondsPerFrame;
    const double bar = (beats[i + 2] - beats[i]) * secondsPerFrame;
    atThirds.push_back(pitchRise_->at(from + bar / 3.0));
    atThirds.push_back(pitchRise_->at(from + 2.0 * bar / 3.0));
    atSixths.push_back(pitchRise_->at(from + bar / 6.0));
    atSixths.push_back(pitchRise_->at(from + 5.0 * bar / 6.0));
  }
  if (!pitchesStartOnTheThirds(atThirds, atSixths)) return false;
  nextBar_ = beats[static_cast<std::size_t>(parity)];
  return true;
}

// As above, from the tracker's own observations on the first stretch.
// The bar is the tracker's beat; the eighths of the dotted path are
// placed six a beat from the one nearest its first.
bool KeloOffline::trackerBeatIsABar(const std::list<int>& found) {
  if (!trackerBeats_ || trackerBeats_->getNumFrames() == 0 || !pitchRise_) return false;
  const std::vector<int> beats = trackerBeatFrames();
  if (beats.size() < 2) return false;
  const int period = medianGap(beats);
  if (!beatsComeAsSlowlyAsAFastWaltzsBars(framesPerMinute() / period)) return false;
  const auto observed = [&](double frame) { return trackerOnsetAround(frame, kStepsAroundAThird); };
  const double secondsPerFrame = secondsOfAFrame();
  std::vector<double> atBeats, atThirds, between, pitchesAtBeats, pitchesAtThirds;
  for (std::size_t i = 0; i + 1 < beats.size(); ++i) {
    const double from = beats[i];
    const double length = beats[i + 1] - beats[i];
    atBeats.push_back(observed(from));
    pitchesAtBeats.push_back(pitchRise_->at(from * secondsPerFrame));
    for (double third : {1.0 / 3.0, 2.0 / 3.0}) {
      atThirds.push_back(observed(from + third * length));
      pitchesAtThirds.push_back(pitchRise_->at((from + third * length) * secondsPerFrame));
    }
    for (double other : {1.0 / 6.0, 0.5, 5.0 / 6.0}) between.push_back(observed(from + other * length));
  }
  // Each of the tracker's beats as strong as the next (fewer than eight
  // say nothing either way).
  if (atBeats.size() < 8 || strongBeatParity(atBeats) >= 0) return false;
  if (!thirdsCarryNewSound(atThirds, between) || !chordsComeAfterTheBeats(pitchesAtBeats, pitchesAtThirds))
    return false;
  // The generator's pulses halve the tracker's beats: the pairs that make
  // its beats open on the pulses that fall on them.
  const std::uint32_t first = static_cast<std::uint32_t>(generator_->getBeatOffset());
  int onBeats[2] = {0, 0};
  std::uint32_t pulse = first;
  const int step = trackerBeats_->getDecimation();
  for (int frame : found) {
    const auto near = std::lower_bound(beats.begin(), beats.end(), frame - step);
    if (near != beats.end() && *near <= frame + step) ++onBeats[pulse % 2];
    ++pulse;
  }
  std::vector<FeatureVector> chroma;
  generator_->makeFeature(chroma, TrebleChroma, 0, 1, poolMedian);
  if (!chordsTurnEveryTwoPulses(chroma, first, onBeats[1] > onBeats[0] ? 1 : 0)) return false;
  nextBar_ = beats.front();
  barFrames_ = period;
  return true;
}

// The tracker goes on reading dotted beats in every stretch (it starts each
// from the last one's period); its pulses are replaced by the eighths of
// its beats, bar by bar, so that a beat is two pulses as in any other
// simple meter and the bars run on across the stretches' ends.
void KeloOffline::placeDottedBeatEighths(const std::list<int>& found) {
  const int frames = generator_->numFrames();
  const std::vector<int> pulses(found.begin(), found.end());
  const DottedBeatEighths placed = eighthsOfDottedBeats(pulses, nextBar_, carriedEighths_, frames, barFrames_);
  barFrames_ = placed.barFrames;
  carriedEighths_.clear();
  for (int at : placed.beyond) carriedEighths_.push_back(at - frames);
  nextBar_ = placed.nextBar - frames;
  dottedGrouping_ = placed.barIndex < 0 ? -1 : (generator_->getBeatOffset() + placed.barIndex) % 2;
  // The bar opens on beat barIndex / 2 of the selected beats.
  firstBarPhase_ = barPhaseOpeningOn(placed.barIndex < 0 ? -1 : placed.barIndex / 2);
  generator_->flushAtBeats(std::list<int>(placed.eighths.begin(), placed.eighths.end()));
}

void KeloOffline::estimateMeter() {
  std::vector<FeatureVector> rows;
  generator_->makeFeature(rows, OctaveProfile, 0, 1, poolMedian);
  SpectralFeature estimator(kMeterTransformSize);
  estimator.setScale(kMeterKernelWidth);
  estimator.setMatrix(meterPrior());
  estimator.process(rows);
  // Two or three pulses a beat is read from where new sound starts within
  // the bar, not from the periodicity above: 3/4 and 6/8 fill the same bar
  // of six pulses, and the periodicity weighs a strong downbeat as much as
  // the beats, so a waltz came out as 6/8 with beats one and a half of its
  // own. The estimate then picks the bar within that row.
  // Silence has no accents to read: there the estimate stands as the prior
  // and the beat period give it, and no bar is found.
  // A jazz waltz's comping on two's swung upbeat accents the pulses as a
  // compound bar's would; its walking bass still marks the beats.
  // A 4/4 song whose bass or lead repeats a figure every dotted quarter
  // over beats that sound every second pulse accents them as a compound
  // bar would too; where the periodicity or the drums (see
  // secondOpinionHearsASimpleMeter) hear a simple meter, the two readings
  // disagree and the tracker's beat stands.
  // A swing band whose pulses are triplet eighths, its hits in quarter-note
  // triplets, accents every second pulse; its drums on the beats still
  // accent every third, and its periodicity hears the compound bar.
  if (meterCode_ == MeterNotGiven) {
    const std::vector<double> rises = pulseRises(rows);
    const std::uint32_t first = static_cast<std::uint32_t>(generator_->getBeatOffset());
    if (std::any_of(rises.begin(), rises.end(), [](double r) { return r > 0.0; })) {
      const bool threes = accentedPulsesPerBeat(rises, first) == 3
                              ? !secondOpinionHearsASimpleMeter(estimator, rows.size(), first)
                              : onsetsAndPeriodicityHearACompoundMeter(estimator, rows.size(), first);
      meterCode_ = threes && !bassWalksEverySecondPulse(bassRises(rows), first) ? MeterCompound : MeterSimple;
    }
  }
  const int given = beatsPerBar_;
  estimator.pickMeter(meterCode_, beatsPerBar_);
  // The periodicity hears a waltz's four-bar phrases as bars of four; the
  // downbeat's new sound says three.
  if (given == BeatsPerBarNotGiven && meterCode_ == MeterSimple && beatsPerBar_ != 3 && barOfThreeStandsOut(rows))
    beatsPerBar_ = 3;
}

// Over four bars of 12/8, the longest bar admitted, the periodicity; over
// fewer the spectrum blurs the periods of 6, 8, 9 and 12 pulses together,
// and the drums are asked instead: a short 4/4 clip's kick and snare land
// on every second pulse, a compound clip's on every third or alike.
// The periodicity of a song in sixteenths whose figures come back every
// dotted quarter hears 12/8 over minutes; where something starts on every
// pulse, its drums are asked too.
bool KeloOffline::secondOpinionHearsASimpleMeter(const SpectralFeature& estimator, std::size_t pulses,
                                                 std::uint32_t first) {
  const std::vector<double> onsets = trackerOnsetsAtPulses();
  if (pulses < kCompoundEvidenceRows) return onsetsAccentEverySecondPulse(onsets, first);
  return periodicityMeter(estimator) == MeterSimple ||
         (somethingStartsOnEveryPulse(onsets, first) && onsetsAccentEverySecondPulse(onsets, first));
}

// Only where the periodicity can tell the bars apart: over fewer pulses
// the onsets alone would have to overrule the accents.
bool KeloOffline::onsetsAndPeriodicityHearACompoundMeter(const SpectralFeature& estimator, std::size_t pulses,
                                                         std::uint32_t first) {
  return pulses >= kCompoundEvidenceRows && periodicityMeter(estimator) == MeterCompound &&
         onsetsAccentEveryThirdPulse(trackerOnsetsAtPulses(), first);
}

int KeloOffline::periodicityMeter(const SpectralFeature& estimator) {
  int code = MeterNotGiven, beats = BeatsPerBarNotGiven;
  estimator.pickMeter(code, beats);
  return code;
}

std::vector<double> KeloOffline::trackerOnsetsAtPulses() {
  std::vector<double> onsets;
  if (!trackerBeats_ || trackerBeats_->getNumFrames() == 0) return onsets;
  for (int pulse : generator_->getBeatFrames()) onsets.push_back(trackerOnsetAround(pulse, 1));
  return onsets;
}

bool KeloOffline::analyse() {
  if (!modelUsable()) return false;
  const bool barEstimated = beatsPerBar_ == BeatsPerBarNotGiven;
  const bool estimated = meterCode_ == MeterNotGiven || barEstimated;
  if (estimated) estimateMeter();
  // Whatever was set or estimated, decode a meter the model has tables for.
  const ModelMeter meter = modelMeter(meterCode_, beatsPerBar_);
  meterCode_ = meter.code;
  beatsPerBar_ = meter.beats;
  if (!loadModelFor(beatsPerBar_)) return false;
  if (featureDump_ != nullptr) dumpFeatures();
  // A waltz read from dotted beats has its bar lines where the tracker's
  // strong beats are, one whose bass plays once a bar where the bass is;
  // the chord path alone heard a chord start on two, where the oom-pah's
  // chords first sound or the bass moves to the fifth. Only on the first
  // stretch: the later ones go on from its bar. Only a waltz read either
  // way has a first bar phase.
  if (trackerBeats_ && beatsPerBar_ == 3 && firstBarPhase_ >= 0)
    offlineDecoder()->setFixed(-1, firstBarPhase_, -1);

  const int count = hypothesisCount(level_, meterCode_);
  if (count < 1) throw std::domain_error("hop<1");
  decodeHypotheses(count);
  if (barEstimated && meterCode_ == MeterCompound && !chooseCompoundBar(count)) return false;

  Hypothesis& best = hypotheses_[static_cast<std::size_t>(chosen_)];
  frameCount_ = best.frames;
  // The chosen hypothesis' rows become the decoder's inputs again.
  featureRows_ = best.rows;
  OfflineHmm* decoder = offlineDecoder();
  decoder->clearFeatures();
  for (const FeatureVector& row : featureRows_) decoder->addFeature(row);
  return true;
}

bool KeloOffline::loadModelFor(int beats) {
  if (model_->beatCount() != static_cast<std::uint32_t>(beats)) loadModel(beats);
  return modelUsable();
}

void KeloOffline::decodeHypotheses(int count) {
  for (Hypothesis& h : hypotheses_) h = Hypothesis{};
  const double unset = -1e10;
  int beatGrouping = -1;
  if (phase_ < 0 && count == 2 && meterCode_ == MeterSimple)
    beatGrouping = halfPulses_ == HalfPulses::DottedBeats ? dottedGrouping_ : trackerBeatHypothesis();
  if (phase_ < 0 && count == MeterCompound && meterCode_ == MeterCompound) beatGrouping = accentHypothesis(count);
  if (phase_ >= 0 && phase_ < count && phase_ < kMaxHypotheses) {
    decodeHypothesis(phase_, count);
    chosen_ = phase_;
  } else if (beatGrouping >= 0) {
    decodeHypothesis(beatGrouping, count);
    chosen_ = beatGrouping;
  } else {
    for (Hypothesis& h : hypotheses_) h.score = unset;
    if (count <= 3) {
      std::vector<int> all;
      for (int h = 0; h < count; ++h) {
        decodeHypothesis(h, count);
        all.push_back(h);
      }
      chosen_ = bestHypothesis(all);
    } else {
      decodeByPhase(count);
    }
  }
}

// Two and four dotted beats (6/8 and 12/8) show the same periodicity when
// the harmony of a 6/8 song repeats every two bars or a 12/8 song changes
// chords mid-bar, so the estimate cannot tell them apart; the chord model
// can: its tables know on which beats of a bar chords change. Both bar
// lengths are decoded and the better path per frame is kept.
bool KeloOffline::chooseCompoundBar(int count) {
  if (beatsPerBar_ != 2 && beatsPerBar_ != 4) return true;
  const std::int32_t first = beatsPerBar_;
  const std::array<Hypothesis, kMaxHypotheses> firstHypotheses = hypotheses_;
  const std::int32_t firstChosen = chosen_;
  const double firstScore = hypotheses_[static_cast<std::size_t>(chosen_)].score;
  beatsPerBar_ = first == 2 ? 4 : 2;
  if (loadModelFor(beatsPerBar_)) {
    decodeHypotheses(count);
    const Hypothesis& other = hypotheses_[static_cast<std::size_t>(chosen_)];
    if (other.frames > 0 && std::isfinite(other.score) && !(std::isfinite(firstScore) && other.score <= firstScore))
      return true;
  }
  beatsPerBar_ = first;
  hypotheses_ = firstHypotheses;
  chosen_ = firstChosen;
  return loadModelFor(first);
}

int KeloOffline::trackerBeatHypothesis() {
  if (!trackerBeats_ || trackerBeats_->getNumFrames() == 0) return -1;
  if (!trackerBeats_->isInferred()) trackerBeats_->infer();
  std::list<int> beats;
  trackerBeats_->getBeatFrames(beats, 1, 0);
  std::vector<int> onBeat(2, 0);
  auto beat = beats.begin();
  std::uint32_t c = static_cast<std::uint32_t>(generator_->getBeatOffset());
  for (int pulse : generator_->getBeatFrames()) {
    while (beat != beats.end() && *beat < pulse - 1) ++beat;
    if (beat != beats.end() && std::abs(*beat - pulse) <= 1) ++onBeat[c % 2];
    ++c;
  }
  if (onBeat[0] == onBeat[1]) return -1;
  return onBeat[0] > onBeat[1] ? 0 : 1;
}

// The chord path scores the groupings of three pulses almost alike (a
// slice one pulse early still holds mostly its own chord); what marks the
// beats of a compound meter is that new sound starts on them: bass notes,
// drums and chord changes. The grouping whose pulses rise the most in
// every octave band over the pulse before gives the beats.
int KeloOffline::accentHypothesis(int count) {
  std::vector<FeatureVector> rows;
  generator_->makeFeature(rows, OctaveProfile, 0, 1, poolMedian);
  return strongestGroupingPhase(pulseRises(rows), static_cast<std::uint32_t>(generator_->getBeatOffset()), count);
}

void KeloOffline::dumpFeatures() {
  std::vector<FeatureVector> rows;
  generator_->makeFeature(rows, SemitonePow, 0, 1, poolSum);
  for (const FeatureVector& row : rows) {
    for (double v : row) *featureDump_ << v << ' ';
    *featureDump_ << '\n';
    featureDump_->flush();
  }
}

void KeloOffline::feedFeatures(int h, int count, std::vector<FeatureVector>& rows) {
  if (count < 1) throw std::domain_error("hop<1");
  rows.clear();
  generator_->makeFeature(rows, featureKind_, h, count, poolMedian);
  OfflineHmm* decoder = offlineDecoder();
  if (decoder == nullptr) throw std::domain_error("p_hmm null");
  decoder->clearFeatures();
  for (const FeatureVector& row : rows) decoder->addFeature(row);
}

void KeloOffline::decodeHypothesis(int h, int count) {
  Hypothesis& hyp = hypotheses_[static_cast<std::size_t>(h)];
  feedFeatures(h, count, hyp.rows);
  OfflineHmm* decoder = offlineDecoder();
  hyp.frames = decoder->numFrames();
  const double logLikelihood = decoder->decode();
  hyp.score = logLikelihood / static_cast<double>(static_cast<float>(hyp.frames));
  hyp.states.resize(static_cast<std::size_t>(hyp.frames));
  hyp.times.resize(static_cast<std::size_t>(hyp.frames));
  hyp.trebleSums.resize(static_cast<std::size_t>(hyp.frames));
  for (std::int32_t t = 0; t < hyp.frames; ++t) {
    const std::size_t i = static_cast<std::size_t>(t);
    hyp.states[i] = decoder->stateAt(t);
    hyp.times[i] = generator_->value(t);
    hyp.trebleSums[i] = hyp.rows[i].size() > kTrebleSum ? static_cast<float>(hyp.rows[i](kTrebleSum)) : 0.0f;
  }
  hyp.basses = trackBass(*model_, hyp.states, hyp.rows);
  decoder->getChosen(hyp.mode, hyp.phase, hyp.tonic);
}

// With two groupings of the pulses to try (beat phase and, for level -1, the
// half-bar phase), the beat phase is decided first among the first `code`
// hypotheses; only its companions a beat apart are decoded after it.
void KeloOffline::decodeByPhase(int count) {
  const int code = meterCode_;
  std::vector<int> first;
  for (int h = 0; h < code; ++h) {
    decodeHypothesis(h, count);
    first.push_back(h);
  }
  const int b = bestHypothesis(first);
  for (int h = 0; h < code; ++h)
    if (h != b) hypotheses_[static_cast<std::size_t>(h)].score = -1e10;
  std::vector<int> candidates{b};
  for (int h = b + code; h < count; h += code) {
    decodeHypothesis(h, count);
    candidates.push_back(h);
  }
  chosen_ = bestHypothesis(candidates);
}

int KeloOffline::bestHypothesis(const std::vector<int>& candidates) const {
  return bestHypothesis(hypotheses_, candidates);
}

int KeloOffline::bestHypothesis(const std::array<Hypothesis, kMaxHypotheses>& hypotheses,
                                const std::vector<int>& candidates) {
  int best = -1;
  for (int h : candidates) {
    if (h < 0 || h >= kMaxHypotheses) continue;
    const Hypothesis& hyp = hypotheses[static_cast<std::size_t>(h)];
    if (hyp.frames <= 0 || !std::isfinite(hyp.score)) continue;
    if (best < 0 || hyp.score > hypotheses[static_cast<std::size_t>(best)].score) best = h;
  }
  return best >= 0 ? best : (candidates.empty() ? 0 : candidates.front());
}

void KeloOffline::emitReports(const Hypothesis& decoded, bool final) {
  if (!model_) throw std::logic_error("KeloOffline: reports need a loaded model");
  const TimeSignature meter = reportedTimeSignature(meterCode_, beatsPerBar_);
  previous_.numerator = meter.numerator;
  previous_.denominator = meter.denominator;
  const auto report = [this](const t_chord& chord) {
    reportChord(chord);
    chordEmitted_ = true;
  };
  const std::size_t frames = std::min<std::size_t>(
      {decoded.states.size(), decoded.basses.size(), decoded.times.size(), decoded.trebleSums.size()});
  const float audible = audibleTrebleSum(decoded.trebleSums);
  for (std::size_t t = 0; t < frames; ++t) {
    std::uint32_t root = 0, chordClass = 0, mode = 0, beat = 0, tonic = 0;
    model_->decomposeState(static_cast<std::uint32_t>(decoded.states[t]), root, chordClass, mode,
                           beat, tonic);
    Frame frame{std::int32_t(root),  std::int32_t(chordClass), std::int32_t(mode),
                std::int32_t(beat),  std::int32_t(tonic),      decoded.basses[t],
                meter.numerator,     meter.denominator};
    const std::int32_t i = tatumCounter_;

    emitTatum(i, decoded.times[t]);
    emitBeat(i);
    emitKeyChange(i, frame);
    emitBarline(i, frame);
    if (onTatumFeature != nullptr && t < decoded.rows.size()) {
      const FeatureVector& row = decoded.rows[t];
      std::vector<float> values(row.begin(), row.end());
      reportTatumFeature(t_tatumFeature{i, values.data(), static_cast<std::int32_t>(values.size())});
    }

    const bool reportable = decoded.trebleSums[t] > audible || !chordEmitted_;
    const std::int32_t type = mergedChordType(model_->chordTypeOf(frame.chordType),
                                              previous_.chordType, frame.root == previous_.root);
    chordQueue_.push(t_chord{i, frame.root, type, frame.bass, 0}, reportable, report);
    frame.chordType = type;

    previous_ = frame;
    ++tatumCounter_;
  }
  if (final && frames > 0) {
    const bool reportable = decoded.trebleSums[frames - 1] > audible || !chordEmitted_;
    chordQueue_.flushLast(reportable, report);
  }
  reportDoneAnalysis();
  segmentOffset_ = samplesReceived_;
}

void KeloOffline::emitTatum(std::int32_t tatum, float sliceTime) {
  const auto position = static_cast<std::int64_t>(sliceTime * kSampleRate) + segmentOffset_;
  reportTatum(t_tatum{static_cast<std::int32_t>(position), tatum});
}

void KeloOffline::emitBeat(std::int32_t tatum) { reportBeat(t_beat{tatum, tatum}); }

void KeloOffline::emitKeyChange(std::int32_t tatum, const Frame& frame) {
  if (frame.tonic != previous_.tonic || frame.mode != previous_.mode)
    reportKeysig(t_keysig{tatum, frame.tonic, frame.mode});
}

void KeloOffline::emitBarline(std::int32_t tatum, const Frame& frame) {
  if (frame.beat != 0) return;
  reportBarline(t_barline{tatum, barCounter_, frame.numerator, frame.denominator});
  ++barCounter_;
}

void KeloOffline::emitChordUnqueued(std::int32_t tatum, const Frame& frame, bool reportable) {
  if (!model_) throw std::logic_error("KeloOffline: reports need a loaded model");
  if (!reportable) return;
  const bool chordChanged = frame.root != previous_.root || frame.chordType != previous_.chordType;
  if (!chordChanged && frame.bass == previous_.bass) return;
  reportChord(t_chord{tatum, frame.root, model_->chordTypeOf(frame.chordType), frame.bass, 0});
  chordEmitted_ = true;
}

void KeloOffline::startSegment() {
  featureRows_.clear();
  if (generator_) generator_->advance();
  if (model_) model_->clearFeatures();
  // Its frames must stay those of the generator's segment.
  if (trackerBeats_) trackerBeats_->reset();
  samplePending_ = false;
}

void KeloOffline::resetFeatureGenerator() {
  if (generator_) generator_->reset();
}

int KeloOffline::nextBarPhase() const {
  const int beats = model_ ? static_cast<int>(model_->beatCount()) : 0;
  if (beats <= 0) return 0;
  const int phase = hypotheses_[static_cast<std::size_t>(chosen_)].phase;
  return ((frameCount_ + phase) % beats + beats) % beats;
}

void KeloOffline::partialDecode() {
  if (analyseAndReport(false) != KeloSuccess) return;
  int period = 0, toNext = 0;
  generator_->lastBeat(&period, &toNext);
  OfflineHmm* decoder = offlineDecoder();
  if (decoder == nullptr) throw std::runtime_error("KELO Cannot be initialized");
  const int barPhase = nextBarPhase();
  startSegment();
  generator_->setBeatParams(period, toNext);
  if (setMeter(level_, chosen_, meterCode_) != KeloSuccess)
    std::printf("OOPS! %s %d \n", __FILE__, __LINE__);
  // The grouping is fixed from here on.
  trackerBeats_.reset();
  decoder->setFixed(-1, barPhase, -1);
}

float KeloOffline::duration() const {
  return static_cast<float>(samplesReceived_) / kSampleRate;
}

KeloOffline& KeloOffline::setSliceParameter(int frameLength) {
  sliceParameter_ = frameLength;
  return *this;
}

KeloOffline& KeloOffline::setBlockSize(int hop) {
  blockSize_ = hop;
  return *this;
}

}  // namespace kelo
