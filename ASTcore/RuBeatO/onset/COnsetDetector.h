#pragma once
// The onset detector of an import: finds the note onsets of a whole recording
// as sample positions, in fixed-point arithmetic.
//
// Calling order: construct, zero an OnsetWork (value-initialise it or memset
// it), Init, Analyze (once, or again with other settings: the signal chain
// runs only the first time), Release, destroy. The detector object holds no
// state of its own; everything lives in the caller's work area, which is the
// caller's alone during these calls.
//
// Failures are thrown as the integer -1 (bad records, a work area that was
// not initialised or is too small, allocation in Init, a source that fails or
// delivers fewer frames than announced); allocation failures of the signal
// chain's own filters propagate as std::bad_alloc.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ISeekable.h"

// The recording: [2] sample count (frames), [3] sample rate, [4] bits per
// sample; [0], [1], [5] are not read and [6] conventionally repeats the count.
struct OnsetAudioInfo {
  std::int64_t reserved0;
  std::int64_t reserved1;
  std::int64_t sampleCount;
  std::int64_t sampleRate;
  std::int64_t bitsPerSample;
  std::int64_t reserved5;
  std::int64_t sampleCountCopy;

  // Field by position, 0 to 6; another index throws std::domain_error.
  std::int64_t& operator[](std::size_t index);
  const std::int64_t& operator[](std::size_t index) const;
};

// The analysed span: [0] start, [1] and [2] end (set by Analyze), [3] beats
// per bar, [4] beats, [5] ticks (960 per beat), [6] bars. Its length in beats
// is ticks / 960 + bars * beatsPerBar + beats.
struct OnsetTempoInfo {
  std::int64_t startPosition;
  std::int64_t endPosition;
  std::int64_t endPositionCopy;
  std::int64_t beatsPerBar;
  std::int64_t beats;
  std::int64_t ticks;
  std::int64_t bars;

  // Field by position, 0 to 6; another index throws std::domain_error.
  std::int64_t& operator[](std::size_t index);
  const std::int64_t& operator[](std::size_t index) const;

  // ticks / 960 + bars * beatsPerBar + beats.
  double lengthInBeats() const;
};

// [0] preset (0 to 7; above 7 uses 7), [1] sensitivity for grid-marked
// frames, [2] grid index (divisions per beat 1, 3, 2, 6, 4, 12, 8; above 6
// uses 6), [5] sensitivity for all frames. A sensitivity x means a threshold
// of 100 - x on the 0..128 onset strength, 0 meaning 128 (off).
struct OnsetSettings {
  std::uint16_t presetIndex;
  std::uint16_t gridSensitivity;
  std::uint16_t gridIndex;
  std::uint16_t unused3;
  std::uint16_t unused4;
  std::uint16_t allSensitivity;
  std::uint16_t unused6;
  std::uint16_t unused7;

  // Field by position, 0 to 7; another index throws std::domain_error.
  std::uint16_t& operator[](std::size_t index);
  const std::uint16_t& operator[](std::size_t index) const;
};

// Capacity of the diagnostic peak list.
constexpr std::size_t kOnsetPeakListSize = 1024;

// The detector's work area. Plain data: the caller zeroes it before Init and
// passes it through; its layout is the detector's business.
struct OnsetWork {
  double sampleRate;
  std::int64_t hop;            // samples per frame (128 at 44100 Hz)
  std::int64_t frameCount;     // frames of the recording, rounded
  std::int64_t totalLength;    // samples including the lead-in
  std::int64_t sampleCount;    // frames the source must deliver
  std::int64_t analysisFrames; // frames of lead-in and recording together

  std::int16_t peakThreshold;
  std::int16_t gridThreshold;
  std::int32_t sensitivityGrid;
  std::int32_t sensitivityAll;
  std::int32_t toleranceDivisor;
  std::int32_t divisions;
  double spanBeats;
  double framesPerBeat;
  std::int64_t spanStart;
  std::int64_t spanEnd;
  std::int64_t startFrame;
  std::int64_t endFrame;

  std::int32_t state;  // 0 not yet detected, 1 curve and strength filled

  // Frame envelope, then onset strength; one value per frame of the chain.
  std::int64_t* curve;
  std::int64_t curveCapacity;
  // Per frame: peak strength 0..128, or -1 on the rising edge of a peak.
  std::int16_t* strength;
  // Per frame: strengths after grid alignment and placement.
  std::int16_t* marked;
  std::int64_t frameCapacity;

  std::int64_t peakList[kOnsetPeakListSize];
  std::int64_t peakCount;
  std::int64_t firstOnsetFrame;
};

class COnsetDetector {
 public:
  // Samples of silence (with a two-sample marker pulse) put before the
  // recording; they give the first frames a reference peak.
  static constexpr std::int64_t kLeadIn = 2048;

  COnsetDetector() = default;
  ~COnsetDetector() = default;

  // Prepares a zeroed work area for the recording described by `audio` and
  // allocates its buffers (frees buffers it already holds first). Requires a
  // sample count of 0 or more and a sample rate of at least 344 Hz.
  // Throws the integer -1 on any failure; the work area then holds no buffer.
  void Init(OnsetWork& work, const OnsetAudioInfo& audio);

  // The first time, reads the recording Init was given (that many frames,
  // from frame 0, in blocks) from `source`; then appends the onset sample
  // positions, lead-in removed, in time order to `onsets` (positions inside
  // the lead-in become 0). Sets tempo [0] to 0 and [1], [2] to audio's sample
  // count. Throws the integer -1 for a work area without fitting buffers or a
  // source that fails or comes back short.
  void Analyze(ISeekable<float>& source, OnsetWork& work, const OnsetAudioInfo& audio,
               std::vector<std::int64_t>& onsets, OnsetTempoInfo& tempo,
               const OnsetSettings& settings);

  // Frees the work area's buffers; safe on a zeroed or released area.
  void Release(OnsetWork& work);

  // Recomputes rate, hop, frame counts and lengths for `audio` without
  // allocating. Analyze refuses (throws -1) when they no longer fit the
  // buffers. Throws -1 for records Init would refuse.
  void Reset(OnsetWork& work, const OnsetAudioInfo& audio);

  // Stores the settings part of an analysis (sensitivities, span in beats,
  // grid divisions, tolerance; span from tempo [0] and [1]) and marks the
  // work area detected. Returns true when the signal chain had not run yet:
  // a later Analyze then works on an empty curve.
  bool ApplySettings(OnsetWork& work, const OnsetTempoInfo& tempo, const OnsetSettings& settings);
};
