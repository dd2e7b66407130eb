#pragma once
// The song analysis behind the core's segmenter: beats, bar lines and the
// labelled segments of a whole recording.
//
// Use: construct, configure through the chaining setters, setProgress,
// analyze (synchronous, on the caller's thread), then getBeats and
// getSegments. One analyzer may run several times; each run replaces the
// results of the one before as it reaches them.
//
// A run streams the recording through the chord/key engine, which reports
// tatums, beats and bar lines; the bars are cut into sixteenth-note cells
// whose spectral features make one row per bar; ten rounds of a
// semi-Markov structure model label the bars, and their consensus gives the
// segments. Each run restarts the calling thread's random sequence, so the
// same recording gives the same segments every time.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "FeatureGenerator.h"
#include "IProgress.h"
#include "ISeekable.h"
#include "SongSegment.h"

struct SongAnalyzerImpl;
struct StructureSettings;

class SongAnalyzer {
 public:
  // Defaults: input limit 60 minutes, mixture weight prior 0.01,
  // observation priors 1.0, 0.01, 0.01, feature dimension 5, inference
  // parameters 0.1 and 0.9, 20 states, 5 mixtures, meter {4, 0, -1, 2}.
  SongAnalyzer();
  ~SongAnalyzer();

  SongAnalyzer(const SongAnalyzer&) = delete;
  SongAnalyzer& operator=(const SongAnalyzer&) = delete;

  // Builder setters: each returns the analyzer; a value outside its range
  // leaves the stored one unchanged.
  SongAnalyzer& setMixtureWeightPrior(double prior);                 // > 0
  SongAnalyzer& setObservationPriors(double a, double b, double c);  // each > 0
  SongAnalyzer& setFeatureDimension(int dimension);                  // >= 1
  SongAnalyzer& setInferenceParamC(double value);                    // > 0
  SongAnalyzer& setInferenceParamD(double value);                    // > 0
  SongAnalyzer& setNumStates(int states);                            // 1 .. 63
  SongAnalyzer& setNumMixtures(int mixtures);                        // 1 .. 63

  // beatsPerBar (-1: unknown), the engine's pulse level and phase (0, -1),
  // and the denominator code: 1 half note, 2 quarter note, 3 eighth note,
  // -1 unknown.
  SongAnalyzer& setMeter(int beatsPerBar, int level, int phase, int denominatorCode);

  // The listener of the next runs (not owned; null for none).
  SongAnalyzer& setProgress(MzMir::IProgress* listener);

  // Another chord/key engine for the next runs (a scripted one in tests).
  SongAnalyzer& setEngineFactory(MzMir::FeatureGenerator::EngineFactory factory);

  // The longest recording analyze() takes, in minutes.
  static constexpr std::int32_t kMaxMinutes = 60;
  // True when analyze() refuses a source of `frames` frames at `rate` Hz as
  // longer than kMaxMinutes; callers ask before they spend time on such a
  // recording.
  static bool isTooLong(std::uint64_t frames, float rate);

  // Analyses the whole source (1 or 2 channels; two passes, each from
  // seek(0)). Throws std::runtime_error "Cannot analyze waveform this long"
  // (isTooLong), "Unsupported number of channels", "Aborted"
  // (the listener's abort byte: read after every block and hop of reading
  // and before every structure round), "KELO Cannot be initialized",
  // "Cannot load KELO"; std::domain_error "Unsupported meter" and, for a
  // sample rate outside (0, 192 kHz], "Fs should be >0 and <=192kHz";
  // std::bad_alloc. A run stopped by abort() returns without results.
  void analyze(ISeekable<float>& source);

  // Beat times of the last run, seconds, rising.
  std::vector<float> getBeats() const;

  // Segments of the last run, in time order; they tile the time from the
  // first bar line to the end of the recording.
  void getSegments(std::vector<SongSegment>& out) const;

  // The structure model's settings the next run uses, as the setters left
  // them.
  const StructureSettings& structureSettings() const;

  // Makes a run in progress (on another thread) stop at its next check and
  // return without results.
  void abort();

 private:
  std::unique_ptr<SongAnalyzerImpl> impl;
};
