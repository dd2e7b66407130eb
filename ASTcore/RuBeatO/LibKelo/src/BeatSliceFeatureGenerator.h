#pragma once
// Turns the chord engine's mono sample stream (44100 Hz) into one feature
// vector per selected beat. Every hop goes to a semitone extractor (a
// semitone-power frame every 4 hops) and to the offline beat detector. At
// the end of a segment of audio the beats are inferred (or given by the
// caller); then every step-th beat from a phase offset is selected, the
// semitone frames are cut at the selected beats, each slice is pooled into
// one semitone vector and mapped to a feature type: the 26-value joint bass
// and treble chroma that the chord/key decoder reads, normalised semitone
// powers, or the octave profile the meter estimator reads.
//
// Beats are detector frames: frame f stands for sample f * hop of the
// segment. Semitone frame k is centred near hop 4k, so a beat at frame f
// opens its slice at semitone frame f / 4, rounded.
//
// Typical use, also for turning recordings into model training data:
//   BeatSliceFeatureGenerator g(16384, 180);
//   g.pushSamples(mono, n);           // any block sizes
//   g.flush();                        // or flushAtBeats(knownBeatFrames)
//   std::vector<FeatureVector> chroma;
//   g.makeFeature(chroma, JointHPCP, 0, 1, poolMedian);  // one per beat
//
// One generator serves one thread at a time.

#include <cstdint>
#include <list>
#include <utility>
#include <vector>

#include <boost/shared_array.hpp>
#include <boost/shared_ptr.hpp>

#include "FrameFeatureExtractor.h"

namespace Hpcp {
class CHpcp;
}
namespace RuBeatO {
class CBeatDetect;
}

namespace kelo {

class SemitoneFrameFeatureExtractor;
class BeatFrameFeatureExtractor;

// The `type` argument of makeFeature.
enum BeatFeatureType : int {
  BassChroma = 0,        // 12 values
  TrebleChroma = 1,      // 12 values
  BassTrebleChroma = 2,  // 24 values: bass, then treble
  SemitonePow = 3,       // 72 values divided by (their Euclidean norm + 0.1)
  JointHPCP = 4,         // 26 values: bass chroma, treble chroma, bass sum, treble sum
  OctaveProfile = 7      // 7 values: the pooled powers spread over octave bands
};

// The `pooling` argument of makeFeature: how the frames of a slice become
// one vector, component by component.
enum Pooling : int {
  poolMedian = 0,         // value of rank K/2 (for even K the upper middle one)
  poolSum = 1,            // sum
  poolMean = 2,           // sum / K
  poolDecayingMean = 3,   // mean weighted e^(-k/10), the slice's first frame weighing 1
  poolRootSumSquares = 4  // square root of the sum of squares
};

class BeatSliceFeatureGenerator {
 public:
  // A slice: a half-open range of the semitone frame list.
  using Slice = std::pair<FeatureList::const_iterator, FeatureList::const_iterator>;

  // frameLength: semitone frame in samples (16384 in the engine; a quarter
  // of it must be a power of two); hop: samples per hop and detector frame
  // (the engine's block size, even). Throws the parameter errors of the
  // pitch class front end, the beat detector and the extractors.
  BeatSliceFeatureGenerator(int frameLength, int hop);
  ~BeatSliceFeatureGenerator();

  BeatSliceFeatureGenerator(const BeatSliceFeatureGenerator&) = delete;
  BeatSliceFeatureGenerator& operator=(const BeatSliceFeatureGenerator&) = delete;

  // Appends `count` samples. Complete hops go to both extractors in stream
  // order; fewer than a hop wait for the next call (also across segments).
  // A count of 0 or below does nothing. Throws std::invalid_argument for a
  // null `samples` with a positive count, and passes on the errors of the
  // front end and the detector.
  void pushSamples(const float* samples, int count);

  // Ends a segment: beat inference over the segment's detector frames, then
  // flushAtBeats with every beat found.
  void flush();

  // Ends a segment with the caller's beats instead of inferred ones:
  // ascending, non-negative detector frames of this segment (any list the
  // detector's inference would give). Pads the semitone frames with frames
  // of 1e-20 when there are fewer than the beats need (at least one frame
  // when there is a beat). Throws std::invalid_argument for a list that is
  // not ascending or holds a negative frame.
  void flushAtBeats(const std::list<int>& beats);

  // Replaces `out` with one vector of `type` per selected beat: beats
  // c = beatOffset, beatOffset + 1, ... of the last flush with c mod step ==
  // offset. Slice i runs from the semitone frame of selected beat i to that
  // of beat i + 1, the last one to the end of the segment; frames of a slice
  // are pooled by `pooling`. An empty slice, and every slice while there is
  // no semitone frame (after advance, before the next flush), gives zeros
  // before the type's mapping. With no selected beat `out` is emptied.
  // Throws std::invalid_argument for a step below 1 or an unknown pooling,
  // std::logic_error "Invalid TYPE" for a type above 7 or below 0 and
  // std::invalid_argument "Cannot use feature other than JointHPCP or
  // SemitonePow" for types 5 and 6 (in all cases after `out` was resized).
  void makeFeature(std::vector<FeatureVector>& out, int type, int offset, int step, int pooling);

  // Time in seconds of selected beat i of the last makeFeature, counted from
  // the start of the segment. Throws std::out_of_range for i outside them.
  float value(int i) const;

  // Starts a new segment: semitone frames and detector frames start again
  // from 0; the beats of the last flush are counted into beatOffset, so the
  // step/offset selection keeps its phase.
  void advance();

  // Back to beat 0, then as advance.
  void reset();

  // Beat period and phase (detector frames) the next inference starts from.
  void setBeatParams(int period, int phase);

  // Beat period and frames to the next beat at the segment's last detector
  // frame, after flush. The detector's errors pass through (before any
  // inference, or with no frame).
  void lastBeat(int* period, int* framesToNextBeat) const;
  int framesToNextBeat() const;
  // Detector frames in the current segment.
  int numFrames() const;

  // Pools a slice of equally long frames with a rule of `Pooling`; an empty
  // slice gives `dimension` zeros, otherwise the result has the length of
  // the slice's first frame. Throws std::invalid_argument for an unknown
  // pooling or a frame shorter than the first.
  static FeatureVector poolFrames(const Slice& slice, int pooling, std::size_t dimension);

  // Maps one pooled semitone vector (the front end's semitone count) to a
  // feature `type`, as makeFeature does for each slice; the same errors for
  // unknown types.
  FeatureVector featureOf(const FeatureVector& pooled, int type) const;

  const FeatureList& getSemitoneFrames() const { return semitoneFrames; }
  const std::list<int>& getBeatFrames() const { return beatFrames; }
  // Half-open semitone frame ranges [first, end) of the last makeFeature,
  // as indices.
  std::vector<std::pair<int, int>> sliceBounds() const;
  int getBeatOffset() const { return beatOffset; }
  int getHop() const { return hop; }
  int getFrameLength() const { return frameLength; }

 private:
  void pushHop(const float* samples);
  void sliceByBeats(int step, int offset);

  boost::shared_ptr<RuBeatO::CBeatDetect> beatDetector;
  boost::shared_ptr<SemitoneFrameFeatureExtractor> semitoneExtractor;
  boost::shared_ptr<BeatFrameFeatureExtractor> beatExtractor;
  int32_t frameLength;
  int32_t hop;
  int32_t divider = 4;
  std::list<int> selectedBeats;
  std::vector<float> beatTimes;
  FeatureList semitoneFrames;
  boost::shared_ptr<Hpcp::CHpcp> hpcp;
  boost::shared_array<float> block;
  int32_t blockFill = 0;
  int32_t beatOffset = 0;
  std::list<int> beatFrames;
  std::vector<Slice> slices;
};

}  // namespace kelo
