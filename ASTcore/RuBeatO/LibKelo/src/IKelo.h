#pragma once
// The one interface through which the rest of the program drives the chord
// and key engine. A client feeds mono audio at 44100 Hz in blocks and gets
// the engine's findings back through seven plain function-pointer callbacks,
// each handed its own opaque user pointer and a record passed by value.
//
// Callbacks are public fields with no setters: a client assigns them directly
// at any time before the reports it wants. A null callback is skipped; the
// engine's counters (tatum index, bar number) advance exactly as if it were
// set. The engine never frees or inspects a user pointer.
//
// An engine object is used by one thread at a time; every report is delivered
// synchronously on that thread, from inside process() (at a partial decode)
// or finish().

#include <cstdint>
#include <string>

#include "KeloTypes.h"

namespace kelo {

// Every callback returns an int that the engine ignores. The double value is
// always 1.0.
using ChordCallback = int (*)(t_chord chord, double value, void* user);
using BarlineCallback = int (*)(t_barline barline, double value, void* user);
using TatumCallback = int (*)(t_tatum tatum, void* user);
using BeatCallback = int (*)(t_beat beat, double value, void* user);
using KeysigCallback = int (*)(t_keysig keysig, double value, void* user);
// The status is always 0.
using DoneAnalysisCallback = int (*)(int status, void* user);
using TatumFeatureCallback = int (*)(t_tatumFeature feature, void* user);

// Result codes shared by every engine operation that returns one. Any other
// nonzero value from init() is the model loader's status, passed on unchanged.
constexpr int KeloSuccess = 0;
constexpr int KeloOutOfMemory = 3;       // while initialising
constexpr int KeloNotInitialised = 5;    // no successful init() yet
constexpr int KeloInvalidParameter = 6;  // see init() and setMeter()

// Meter codes of setMeter(). The engine's own estimate may replace the code
// and can produce 1, which reports like any unknown code.
constexpr int MeterNotGiven = -1;  // estimate at analysis time
constexpr int MeterSimple = 2;     // beats per bar over 4
constexpr int MeterCompound = 3;   // 3 x beats per bar over 8

// Beats per bar meaning "not given" in init().
constexpr int BeatsPerBarNotGiven = -1;

// The time signature a bar line reports for a meter code: simple gives
// (beats per bar, 4), compound (3 x beats per bar, 8), any other code 4/4.
// A compound numerator too large for 32 bits is held at the largest value.
struct TimeSignature {
  std::int32_t numerator;
  std::int32_t denominator;
};
TimeSignature reportedTimeSignature(int meterCode, int beatsPerBar);

// The values setMeter() accepts: levels -1, 0, 1 and the meter codes -1, 2, 3.
bool isPulseLevel(int level);
bool isSettableMeterCode(int meterCode);

class IKelo {
 public:
  IKelo() = default;
  virtual ~IKelo();

  // User pointers usually point at the client or at a front end wrapping
  // this engine; a copy would report to the original's receivers.
  IKelo(const IKelo&) = delete;
  IKelo& operator=(const IKelo&) = delete;

  // Prepares the engine for a new recording and returns a result code.
  // An empty `modelPath` selects the built-in model texts, otherwise it names
  // a directory of model files. `blockSize` is the number of samples per
  // process() call the client will make (the program uses 180).
  // `beatsPerBar` 0 is rejected with KeloInvalidParameter; BeatsPerBarNotGiven
  // lets the engine estimate it. The offline engines ignore `lag` and the
  // final double.
  virtual int init(int lag, std::string modelPath, int blockSize,
                   int beatsPerBar, double) = 0;

  // Sets how many tracker pulses make one analysed beat (`level` -1, 0 or 1),
  // the pulse phase (-1 lets the engine choose, >= 0 fixes it) and the meter
  // code. Returns KeloInvalidParameter, storing nothing, when the level or the
  // meter code is outside its set. Takes effect at the next analysis.
  virtual int setMeter(int level, int phase, int meterCode) = 0;

  // Analyses everything received so far and delivers every report.
  virtual int finish() = 0;

  // Appends `count` mono samples at 44100 Hz.
  virtual int process(const float* samples, int count) = 0;

  // The seven callbacks, then the seven user pointers; user k goes back to
  // callback k. All null after construction.
  ChordCallback onChord = nullptr;
  BarlineCallback onBarline = nullptr;
  TatumCallback onTatum = nullptr;
  BeatCallback onBeat = nullptr;
  KeysigCallback onKeysig = nullptr;
  DoneAnalysisCallback onDoneAnalysis = nullptr;
  TatumFeatureCallback onTatumFeature = nullptr;

  void* userChord = nullptr;
  void* userBarline = nullptr;
  void* userTatum = nullptr;
  void* userBeat = nullptr;
  void* userKeysig = nullptr;
  void* userDoneAnalysis = nullptr;
  void* userTatumFeature = nullptr;

 protected:
  // Deliver one report to its callback with its user pointer, or do nothing
  // when the callback is null. The callback's result is ignored.
  void reportChord(const t_chord& chord) const;
  void reportBarline(const t_barline& barline) const;
  void reportTatum(const t_tatum& tatum) const;
  void reportBeat(const t_beat& beat) const;
  void reportKeysig(const t_keysig& keysig) const;
  void reportDoneAnalysis() const;
  void reportTatumFeature(const t_tatumFeature& feature) const;
};

}  // namespace kelo
