#pragma once
// Turns a recording into the per-bar feature rows of the song analysis, in
// two passes over the source:
//  1. the engine stage streams the recording, mixed to mono in blocks of 180
//     frames, through the chord/key engine, whose reports build the bar and
//     sixteenth-note grid (BarSixteenthSlicer) and the beat times;
//  2. the feature stage reads it again in hops, pools the frame features of
//     every hop per grid cell, joins the cells of each bar and reduces the
//     rows to `ndim` standardised columns.
// Progress goes to the listener (0 to 25, then 25 to 50) and its abort byte
// is read after every block and hop.
//
// One generator serves one run at a time on the caller's thread; stop() may
// be called from another thread.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "BarFeatures.h"
#include "SoundingSpan.h"
#include "ISeekable.h"

namespace kelo {
class IKelo;
}

namespace MzMir {

class IProgress;

class FeatureGenerator {
 public:
  // Makes the engine of one run; null when it cannot be made.
  using EngineFactory = std::function<std::shared_ptr<kelo::IKelo>()>;

  // Throws std::domain_error "hopsize must be positive" / "framelen must be
  // positive". The engine is the program's chord/key engine.
  FeatureGenerator(int hopSize, int frameLength);

  // n >= 1, else std::domain_error "ndim must be positive".
  FeatureGenerator& setNdim(int n);
  // The listener of the next runs (not owned; null for none).
  FeatureGenerator& setProgress(IProgress* listener);
  // Another engine for the next runs (a scripted one in tests).
  FeatureGenerator& setEngineFactory(EngineFactory factory);

  // The whole run. `features` gets one row per bar, `barTimes` the bar
  // starts and then the end of the analysed audio, `barTatums` the tatum
  // index of each bar's opening bar line. meter0 is the beats per bar (-1:
  // unknown), meter1..3 the engine's level, phase and meter code. Throws
  // std::runtime_error "KELO Cannot be initialized", "Cannot load KELO",
  // "Aborted", "Unsupported number of channels" (before reading anything,
  // for other than 1 or 2 channels), std::domain_error "Unsupported meter".
  // After stop() it returns early; whatever it had not written yet stays
  // untouched.
  void generate(FeatureMatrix& features, std::vector<double>& barTimes, std::vector<std::int32_t>& barTatums,
                ISeekable<float>& source, int meter0, int meter1, int meter2, int meter3);

  // Makes a run in progress return at its next block or hop.
  void stop() { running = false; }

  // Beat times in seconds of the last engine stage, without those in
  // leading and trailing silence (SoundingSpan.h).
  std::vector<float> beatTimes;
  // The bars of the last run that hold sound: [first, end) of its bars.
  BarRange soundingBars;

 private:
  // Returns false when the run was stopped.
  bool runKelo(std::vector<double>& barTimes, std::vector<std::int32_t>& barTatums, ISeekable<float>& source,
               int meter0, int meter1, int meter2, int meter3);
  void runFeatures(FeatureMatrix& features, ISeekable<float>& source);
  void checkAbort() const;

  std::vector<std::int64_t> frameIndices;
  std::int32_t hopSize;
  std::int32_t frameLength;
  float gridRate = 44100.0f;
  std::int32_t gridPerBar = 16;
  std::int32_t ndim = 5;
  IProgress* listener = nullptr;
  std::atomic<bool> running{true};
  EngineFactory engineFactory;
};

}  // namespace MzMir
