#pragma once
// The listener of a song analysis: progress, the events of the chord and key
// engine, the segments as they are found, and the end of a complete run.
//
// Every call comes on the thread that runs the analysis, from inside
// SongAnalyzer::analyze. A record pointer is valid only during the call; an
// implementation that keeps a value copies it. A run that stops early
// (abort, exception) makes none of the later calls, done() included.

#include <atomic>
#include <cstdint>

#include "KeloTypes.h"
#include "SongSegment.h"

namespace MzMir {

class IProgress {
 public:
  IProgress() = default;
  virtual ~IProgress() = default;

  IProgress(const IProgress&) = delete;
  IProgress& operator=(const IProgress&) = delete;

  // Once, after the last segment of a complete run.
  virtual void done() = 0;

  // Percent of the run, 0 to 100, rising; 0 first and 100 last.
  virtual void progress(int percent) = 0;

  // Events of the chord and key engine, in the order the engine emits them.
  virtual void onChord(const kelo::t_chord* chord) = 0;
  virtual void onBarline(const kelo::t_barline* barline) = 0;
  virtual void onTatum(const kelo::t_tatum* tatum) = 0;
  virtual void onBeat(const kelo::t_beat* beat) = 0;
  virtual void onKeysig(const kelo::t_keysig* keysig) = 0;

  // Each segment, in time order, before the final progress(100).
  virtual void onSegment(const SongSegment* segment) = 0;

  // Non-zero asks the running analysis to stop: it reads this byte at each
  // of its progress points while reading the recording and then throws
  // std::runtime_error("Aborted"). Any thread may set it at any time.
  std::atomic<std::uint8_t> abort{0};
};

}  // namespace MzMir
