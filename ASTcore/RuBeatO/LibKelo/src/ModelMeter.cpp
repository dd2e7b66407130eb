#include "ModelMeter.h"

namespace kelo {

namespace {
constexpr int kSimple = 2;
constexpr int kCompound = 3;
}  // namespace

ModelMeter modelMeter(int code, int beats) {
  ModelMeter m{code == kCompound ? kCompound : kSimple, beats};
  if (m.code == kCompound && m.beats > 4 && m.beats % 3 == 0) m.beats /= 3;
  while (m.beats > 4) {
    if (m.beats % 2 == 0) {
      m.beats /= 2;
    } else if (m.beats % 3 == 0) {
      m.beats /= 3;
    } else {
      m.beats = 4;
    }
  }
  if (m.beats < 2) m.beats = m.beats == 1 ? 2 : 4;
  return m;
}

int modelBeatsBeforeEstimate(int code, int beats) {
  return beats < 0 ? 4 : modelMeter(code, beats).beats;
}

}  // namespace kelo
