#pragma once
// The streaming chord and key engine: mono audio arrives block by block,
// the online beat tracker follows the beat, and at every decision tatum (a
// tracker pulse selected by the meter setting) the audio since the previous
// one becomes a pitch class profile that the fixed-lag decoder takes in.
// Tatums, beats, bar lines (always 4/4), keys and chords are reported
// while the audio is still arriving, the decoder's lag in decision tatums
// behind it; finish() flushes what the lag still holds.
//
// Nothing in the program's import uses it; the import runs the semi-offline
// engine. Every buffer belongs to the engine object: engines side by side
// do not see each other.

#include <memory>
#include <string>

#include "IKelo.h"

namespace kelo {

class KeloOnline_impl;

class KeloOnline : public IKelo {
 public:
  KeloOnline();
  ~KeloOnline() override;

  // Loads the model with a fixed-lag decoder of `lag` decision tatums (at
  // least 2) and builds the tracker and profile front end; the block size
  // and the double are not used (the engine works in blocks of 180
  // samples). `beatsPerBar` may be 1..4 or BeatsPerBarNotGiven (4).
  // Returns 0, KeloInvalidParameter for a lag or beats per bar outside
  // these, or the model loader's status (the engine is then not
  // initialised). Every counter, the chord history and the filter history
  // start over.
  int init(int lag, std::string modelPath, int blockSize, int beatsPerBar, double) override;

  // Stores the pulse level (>= 1 every tracker pulse, 0 every other, < 0
  // every fourth) and the pulse phase; the meter code is not used. Returns
  // 0, or KeloNotInitialised before a successful init.
  int setMeter(int level, int phase, int meterCode) override;

  // Decodes what the lag still holds, reports it and then the end. Returns
  // 0, or KeloNotInitialised before a successful init.
  int finish() override;

  // Appends `count` mono samples at 44100 Hz; reports may be delivered
  // during the call. Returns 0, or KeloNotInitialised before a successful
  // init (nothing is stored then); a null pointer or a count below 1 adds
  // nothing.
  int process(const float* samples, int count) override;

 private:
  friend class KeloOnline_impl;
  std::unique_ptr<KeloOnline_impl> impl;
};

}  // namespace kelo
