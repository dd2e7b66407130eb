#pragma once
// The meters the chord/key model can decode: two or three tracker pulses
// per beat (simple or compound) and 2, 3 or 4 beats per bar. A meter given
// by a caller or estimated outside that range is mapped onto it instead of
// failing the analysis: a compound bar given as its eighths (6, 9, 12) is
// read as dotted beats, a longer bar is halved while it divides evenly
// (8 -> 4, 6 -> 3) or cut in thirds (9 -> 3), a single beat becomes two,
// anything else decodes as four beats; pulse counts other than 2 and 3 are
// treated as simple.

namespace kelo {

struct ModelMeter {
  int code;   // 2 simple or 3 compound
  int beats;  // 2, 3 or 4
};

// `code` and `beats` as set or estimated (neither -1).
ModelMeter modelMeter(int code, int beats);

// The beat count a model is loaded with before the meter is known:
// `beats` mapped as above, 4 when it is not given (negative).
int modelBeatsBeforeEstimate(int code, int beats);

}  // namespace kelo
