// Configuration record of the pitch class profile front end, handed whole to
// its spectral method. The semitone power analysis reads binsPerOctave,
// octaves, fs, lowestNote, frameSize, oversample and refFreq; the profile
// fold reads binsPerOctave, octaves and normalize. floatA, flagA, flagB,
// intA, intB and the three fixed flags are carried along for the spectral
// method's interface; nothing reads them.

#pragma once

#include <cstdint>

namespace Hpcp {

struct HpcpParams {
  int32_t binsPerOctave = 12;
  int32_t octaves = 6;
  float fs = 44100.0f;
  int32_t lowestNote = 24;  // MIDI note of the first semitone ("C0")
  float floatA = 48.0f;
  int32_t frameSize = 16384;  // samples at fs
  bool flagA = false;
  bool flagB = false;
  int32_t intA = 10;
  int32_t oversample = 3;  // spectrum oversampling ratio
  bool fixedFlag0 = false;
  bool fixedFlag1 = true;
  bool fixedFlag2 = true;
  bool normalize = true;
  float refFreq = 440.0f;  // frequency of MIDI note 69
  int32_t intB = 0;
};

}  // namespace Hpcp
