#pragma once
// The offline chord and key engine: collects the audio it is given and, at
// finish() (or at a partial decode asked for by the semi-offline front end),
// analyses what has arrived: beat-synchronous joint chroma features from
// the beat-slice generator, the meter when it was not given, a Viterbi
// decode of the chord/key/bar model under one or several pulse-grouping
// hypotheses, a bass line, and the reports (tatums, beats, keys, bar lines,
// chords).
//
// The beat tracker runs in half-beat mode, so its pulses are half beats of
// a simple meter or, when the tracker counts every other eighth note of a
// compound meter, its eighths; a hypothesis groups every H-th pulse into a
// beat starting at pulse h. Which pulses are beats is decided apart from
// the chord path, which scores the groupings almost alike where chords
// change seldom: in a simple meter a second detector, fed the same hops
// without the half-beat split until the grouping is fixed, lists the
// tracker's own beats and the pulses on them are the beats; in a compound
// meter the beats are the pulses on which new sound starts. Whether the
// pulses group in twos or threes, when the caller leaves it open, is read
// from where the accents fall within the bar (see PulseAccents.h); the
// periodicity estimate then picks the bar length. An estimated
// compound bar of two or four beats is decoded both ways and the better
// path kept. After a partial decode the chosen grouping, the beat
// tracker's tempo and phase and the bar phase are carried into the next
// segment, as are the tatum and bar counters and the chord history, so the
// reports of consecutive segments join without a jump.

#include <array>
#include <cstdint>
#include <iosfwd>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "FrameFeatureExtractor.h"
#include "IKelo.h"
#include "KeloChordQueue.h"

namespace RuBeatO {
class CBeatDetect;
}

namespace kelo {

class BeatSliceFeatureGenerator;
class KeloHmm;
class OfflineHmm;
class PitchRise;
class SpectralFeature;

class KeloOffline : public IKelo {
 public:
  // The most hypotheses the engine forms: twice the compound pulse count.
  static constexpr int kMaxHypotheses = 6;

  // One decoded frame as the reports see it.
  struct Frame {
    std::int32_t root;
    std::int32_t chordType;  // a chord class until the chord step types it
    std::int32_t mode;
    std::int32_t beat;       // position in the bar, 0 = first beat
    std::int32_t tonic;
    std::int32_t bass;
    std::int32_t numerator;
    std::int32_t denominator;
  };

  // The decoded path of one hypothesis, per frame.
  struct Hypothesis {
    double score = 0.0;  // log-likelihood per frame; not a number without frames
    std::int32_t frames = 0;
    std::vector<std::int32_t> states;
    std::vector<std::int32_t> basses;
    std::vector<float> times;       // slice start in seconds within the segment
    std::vector<float> trebleSums;  // component 25 of the joint feature
    std::vector<FeatureVector> rows;
    std::int32_t mode = 0, phase = 0, tonic = 0;  // the decoder's choice
  };

  KeloOffline();
  ~KeloOffline() override;

  // Stores the settings, creates the feature generator and loads the model
  // (built-in texts for an empty path). Returns 6 for 0 beats per bar, 3 when
  // memory runs out, the loader's status when the model does not load, else
  // 0. Negative beats per bar other than -1 count as not given; beats per
  // bar the model has no tables for are mapped onto 2, 3 or 4.
  int init(int lag, std::string modelPath, int blockSize, int beatsPerBar, double) override;

  // Level -1, 0 or 1; meter code -1, 1, 2 or 3 (1, a pulse per beat, is
  // decoded as simple); otherwise 6 and nothing stored.
  int setMeter(int level, int phase, int meterCode) override;

  // Analyses the current segment and reports it, including the chord that
  // only the end of the recording releases. Returns 0, 5 before init, or
  // the loader's status when no usable model is loaded (nothing reported).
  int finish() override;

  // Appends samples to the feature generator. Returns 0, 5 before init.
  int process(const float* samples, int count) override;

  // Reports everything so far and opens a new segment that continues the
  // beat grid, the pulse grouping and the bar phase. Throws
  // std::runtime_error "KELO Cannot be initialized" when the model's decoder
  // is not an offline decoder. Does nothing without a usable model.
  virtual void partialDecode();

  // Drops the segment's features: the generator moves on to a new segment
  // (keeping its beat count) and the decoder forgets its inputs.
  virtual void startSegment();

  // Restarts the generator's beat count from 0 (after startSegment).
  virtual void resetFeatureGenerator();

  // When set, each analysis first writes the normalised semitone powers of
  // every beat slice as text, a row per line. Not owned.
  void setFeatureDumpStream(std::ostream* stream) { featureDump_ = stream; }

  // The first best-scoring hypothesis among `candidates` that decoded at
  // least one frame with a finite score; the first candidate when none did.
  static int bestHypothesis(const std::array<Hypothesis, kMaxHypotheses>& hypotheses,
                            const std::vector<int>& candidates);

  // Reports the frames of a decoded hypothesis as one segment: tatum, beat,
  // key changes, bar lines, per-tatum features and chords, then the end of
  // the analysis. `final` also releases the last queued chord. Needs a
  // loaded model.
  void emitReports(const Hypothesis& decoded, bool final);

  // The steps of the report emission, each on its own; `tatum` is the
  // index reported, `frame` the decoded frame (chord type still its class).
  // A tatum at `sliceTime` seconds into the segment.
  void emitTatum(std::int32_t tatum, float sliceTime);
  void emitBeat(std::int32_t tatum);
  // A key signature when tonic or mode differ from the previous frame's.
  void emitKeyChange(std::int32_t tatum, const Frame& frame);
  // A bar line, numbered on, when the frame is on the first beat of a bar.
  void emitBarline(std::int32_t tatum, const Frame& frame);
  // The chord of `frame` reported at once, without the triad/seventh merge
  // and the queue, when `reportable` and its root, class or bass differ
  // from the previous frame's; sets the chord-emitted flag. Needs a model.
  void emitChordUnqueued(std::int32_t tatum, const Frame& frame, bool reportable);
  // The frame the next report compares with.
  const Frame& previousFrame() const { return previous_; }
  void setPreviousFrame(const Frame& frame) { previous_ = frame; }
  bool chordEmitted() const { return chordEmitted_; }
  int barCounter() const { return barCounter_; }

  float sampleRate() const { return 44100.0f; }
  int blockSize() const { return blockSize_; }
  int meterCode() const { return meterCode_; }
  int beatsPerBar() const { return beatsPerBar_; }
  int frameCount() const { return frameCount_; }
  int chosenHypothesis() const { return chosen_; }
  // Loader status of the last model load.
  int loaderStatus() const { return loaderStatus_; }
  // Duration received so far in seconds.
  float duration() const;
  const Hypothesis& chosen() const { return hypotheses_[static_cast<std::size_t>(chosen_)]; }
  const std::vector<FeatureVector>& featureRows() const { return featureRows_; }
  boost::shared_ptr<KeloHmm> model() const { return model_; }
  boost::shared_ptr<BeatSliceFeatureGenerator> featureGenerator() const { return generator_; }
  // Bar phase the next segment starts with.
  int nextBarPhase() const;
  KeloOffline& setSliceParameter(int frameLength);
  KeloOffline& setBlockSize(int hop);

 private:
  // Loads the model with `beats` positions; sets loaderStatus_.
  void loadModel(int beats);
  bool modelUsable() const;
  OfflineHmm* offlineDecoder() const;
  // Runs the analysis of the current segment; false when no usable model.
  bool analyse();
  // Loads the model for `beats` unless it has them; false when unusable.
  bool loadModelFor(int beats);
  // Decodes the hypotheses of `count` groupings and sets the chosen one.
  void decodeHypotheses(int count);
  // Between an estimated compound bar of two and of four beats, keeps the
  // one whose best decode scores higher per frame; false when no model is
  // usable afterwards.
  bool chooseCompoundBar(int count);
  void estimateMeter();
  // Whether a second opinion on a compound reading of the accents hears a
  // simple meter: where `pulses` are too few for the periodicity, the
  // onsets at the pulses (counted from `first`) accenting every second
  // one; over more the periodicity (`estimator`), with every meter open to
  // it, or those onsets where something starts on every pulse.
  bool secondOpinionHearsASimpleMeter(const SpectralFeature& estimator, std::size_t pulses, std::uint32_t first);
  // Whether, where the accents say two pulses a beat, the periodicity hears
  // a compound meter over four bars of 12/8 or more and the onsets at the
  // pulses accent every third one clearly.
  bool onsetsAndPeriodicityHearACompoundMeter(const SpectralFeature& estimator, std::size_t pulses,
                                              std::uint32_t first);
  // The meter code the periodicity picks with every meter open to it.
  static int periodicityMeter(const SpectralFeature& estimator);
  // The tracker's onset observation at each pulse; none without a tracker.
  std::vector<double> trackerOnsetsAtPulses();
  // Adds the half beats to the generator's pulses when they are the beats
  // themselves (see pulsesAreBeats), or puts the eighths in their place
  // when the tracker's beat is dotted (see dottedBeatBarParity).
  void placeHalfPulses();
  void decideHalfPulses(const std::list<int>& found);
  // New pitches at each of the tracker's pulses (see PitchRise), while
  // the pitches are kept.
  std::vector<double> pitchRisesAt(const std::list<int>& pulses);
  // The generator's (and the tracker's) frames a minute, and one frame's
  // length in seconds.
  double framesPerMinute() const;
  double secondsOfAFrame() const;
  // The tracker's beats over what it was given (inferred first if need
  // be), and its onset observation at `frame`, the most within `steps`
  // of its decimation steps either side.
  std::vector<int> trackerBeatFrames();
  double trackerOnsetAround(double frame, int steps) const;
  // Whether the tracker's beat is one and a half of the song's (see
  // dottedBeatBarParity); sets where the first bar is expected.
  bool trackerBeatIsDotted();
  // Whether the tracker's beat is a fast waltz's bar (see
  // beatsComeAsSlowlyAsAFastWaltzsBars); sets where the first bar is
  // expected and how long it is.
  bool trackerBeatIsABar(const std::list<int>& found);
  void placeDottedBeatEighths(const std::list<int>& found);
  void keepTrackerBeats(const std::list<int>& found);
  void dumpFeatures();
  void feedFeatures(int h, int count, std::vector<FeatureVector>& rows);
  void decodeHypothesis(int h, int count);
  void decodeByPhase(int count);
  int bestHypothesis(const std::vector<int>& candidates) const;
  int analyseAndReport(bool final);
  // The hypothesis of a two-pulse grouping whose beats are the tracker's
  // own beats, or -1 when it cannot tell.
  int trackerBeatHypothesis();
  // The grouping of `count` pulses whose beats carry the most new sound,
  // or -1 with too few pulses to tell.
  int accentHypothesis(int count);

  std::ostream* featureDump_ = nullptr;
  std::string modelPath_;
  std::int32_t beatsPerBar_ = -1;
  std::int32_t meterCode_ = -1;
  // Placed: half pulses between the tracker's; DottedBeats: eighths, three
  // to the tracker's beat, in place of its pulses; TrackerBeats: the
  // tracker's beats alone, its pulses between them left out.
  enum class HalfPulses { Undecided, None, Placed, DottedBeats, TrackerBeats };
  HalfPulses halfPulses_ = HalfPulses::Undecided;
  // Frame, in the next stretch, of a half pulse beyond this one's end; -1
  // for none.
  int carriedHalfPulse_ = -1;
  // With DottedBeats: the eighths beyond the last stretch's end and where
  // its next bar begins, both in the next stretch's frames, its last bar's
  // length, and the grouping whose beats open the bars (-1 when unknown).
  // The first stretch's pitches, kept until the decision above is made.
  std::unique_ptr<PitchRise> pitchRise_;
  std::vector<int> carriedEighths_;
  int nextBar_ = -1;
  int barFrames_ = 0;
  int dottedGrouping_ = -1;
  // The decoder's bar phase, on the first stretch, that puts the bar lines
  // of three beats on the dotted beats' strong beats or on the beat of a
  // bass that plays once a bar (-1 when unknown).
  int firstBarPhase_ = -1;
  std::int32_t tatumCounter_ = 0;
  std::int32_t barCounter_ = 0;
  std::int64_t samplesReceived_ = 0;
  std::int32_t level_ = 0;
  std::int32_t phase_ = -1;
  std::int32_t loaderStatus_ = 0;
  std::vector<FeatureVector> featureRows_;
  boost::shared_ptr<BeatSliceFeatureGenerator> generator_;
  // Lists the tracker's beats without the half-beat split; dropped once
  // the pulse grouping is fixed.
  boost::shared_ptr<RuBeatO::CBeatDetect> trackerBeats_;
  float pendingSample_ = 0.0f;
  bool samplePending_ = false;
  boost::shared_ptr<KeloHmm> model_;
  std::int32_t featureKind_ = 4;
  std::int32_t sliceParameter_ = 16384;
  std::int32_t blockSize_ = 0;
  bool chordEmitted_ = false;
  std::int32_t chosen_ = 0;
  std::array<Hypothesis, kMaxHypotheses> hypotheses_;
  std::int64_t segmentOffset_ = 0;
  std::int32_t frameCount_ = 0;
  Frame previous_{-1, -1, -1, -1, -1, -1, 4, 4};
  KeloChordQueue chordQueue_;
};

}  // namespace kelo
