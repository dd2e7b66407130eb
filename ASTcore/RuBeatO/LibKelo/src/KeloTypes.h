#pragma once
// The plain records the chord and key engine hands to its callbacks, passed
// by value. Every field is a signed 32-bit integer unless stated; tatum
// indices count the engine's beat-tracker pulses from 0 since its
// initialisation.

#include <cstdint>

namespace kelo {

// One beat-tracker pulse.
struct t_tatum {
  std::int32_t samplePosition;  // at 44100 Hz, from the first sample fed
  std::int32_t index;           // 0, 1, 2, ...
};

// A beat: the tatum it falls on, carried twice.
struct t_beat {
  std::int32_t tatum;
  std::int32_t tatumAgain;
};

// A bar line on the tatum of the bar's first beat.
struct t_barline {
  std::int32_t tatum;
  std::int32_t barNumber;    // 0 for the first bar line, then +1 per bar
  std::int32_t numerator;    // time signature, e.g. 3 for 3/4
  std::int32_t denominator;  // note value of a beat: 2, 4 or 8
};

// The key from a tatum on.
struct t_keysig {
  std::int32_t tatum;
  std::int32_t tonic;  // pitch class 0..11, C = 0
  std::int32_t mode;   // 0 major, 1 minor
};

// A chord from a tatum on.
struct t_chord {
  std::int32_t tatum;
  std::int32_t root;       // pitch class 0..11
  std::int32_t chordType;  // index into the chord-type names, 0..58
  std::int32_t bass;       // pitch class 0..11
  std::int32_t reserved;   // always 0
};

// A per-tatum feature vector; the floats belong to the engine and are valid
// only during the call.
struct t_tatumFeature {
  std::int32_t tatum;
  const float* values;
  std::int32_t count;
};

}  // namespace kelo
