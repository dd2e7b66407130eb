#pragma once
// The chord and key engine as the program drives it: the offline engine
// behind a front end that re-blocks whatever the caller passes into blocks
// of exactly 180 samples and, every `lag` blocks or so, asks the offline
// engine for a partial decode, so that the reports of the early part of a
// long recording go out while the rest is still arriving. The offline
// engine's reports are relayed to this object's callbacks; the end of the
// analysis is reported once, by finish().

#include <array>
#include <cstdint>
#include <iosfwd>
#include <string>

#include <boost/shared_ptr.hpp>

#include "IKelo.h"

namespace kelo {

class KeloOffline;

class KeloSemiOffline : public IKelo {
 public:
  // Samples per block handed to the offline engine, whatever block size the
  // caller announces.
  static constexpr int kBlock = 180;
  // Partial-decode period in blocks until setLag.
  static constexpr int kDefaultLag = 22050;

  KeloSemiOffline();
  ~KeloSemiOffline() override;

  // Creates a new offline engine (replacing the previous one) wired to this
  // front end and initialises it with the same arguments. Returns its
  // result; on success the front end is initialised for good (a later
  // failing init leaves the flag, and the failing engine reports the
  // failure from finish).
  int init(int lag, std::string modelPath, int blockSize, int beatsPerBar, double) override;

  // 5 before a successful init, else the offline engine's setMeter.
  int setMeter(int level, int phase, int meterCode) override;

  // Analyses the rest and reports it, then reports the end of the analysis
  // (once per call). 5 before init, else the offline engine's result.
  // Samples short of a whole block are left out.
  int finish() override;

  // Re-blocks and feeds the samples, running partial decodes on their
  // schedule (their reports are delivered from inside this call). 5 before
  // init, 6 for null samples with a positive count, else 0. Exceptions of a
  // partial decode pass through.
  int process(const float* samples, int count) override;

  // Starts the beat count of the analysis again from the next block; the
  // reports' counters go on.
  virtual void reset();

  // Partial-decode period from a lag in seconds-like units: at least 3000
  // blocks; 15 gives 28255. Returns 0.
  int setLag(int x);

  void setFeatureDumpStream(std::ostream* stream);

  // Relay one report of the offline engine to this object's callbacks.
  void forwardChord(const t_chord& chord) const { reportChord(chord); }
  void forwardBarline(const t_barline& barline) const { reportBarline(barline); }
  void forwardTatum(const t_tatum& tatum) const { reportTatum(tatum); }
  void forwardBeat(const t_beat& beat) const { reportBeat(beat); }
  void forwardKeysig(const t_keysig& keysig) const { reportKeysig(keysig); }
  void forwardTatumFeature(const t_tatumFeature& feature) const { reportTatumFeature(feature); }

  int lag() const { return lag_; }
  bool initialised() const { return initialised_; }
  int blocksFed() const { return blocksFed_; }
  int samplesSinceDecode() const { return samplesSinceDecode_; }
  int remainderCount() const { return remainderCount_; }
  boost::shared_ptr<KeloOffline> engine() const { return inner_; }

 protected:
  // The offline engine init() wires up; a new one per init.
  virtual boost::shared_ptr<KeloOffline> createEngine() const;

 private:
  void feedBlock(const float* block);

  std::int32_t samplesSinceDecode_ = 0;
  std::int32_t lag_ = kDefaultLag;
  bool initialised_ = false;
  std::int32_t blocksFed_ = 0;
  std::int32_t remainderCount_ = 0;
  std::array<float, kBlock> remainder_{};
  boost::shared_ptr<KeloOffline> inner_;
};

}  // namespace kelo
