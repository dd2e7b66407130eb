#include "BeatInterpolator.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace RuBeatO {

namespace {
constexpr int32_t kOneBeat = 32768;
constexpr int32_t kTicksPerBeat = 24;

int32_t wrapBeat(int32_t f) { return ((f % kOneBeat) + kOneBeat) % kOneBeat; }
}  // namespace

void BeatInterpolator::setPeriod(int32_t fpb, bool force) {
  const int32_t p = fpb * 8192;
  if (force) {
    target = p;
  } else {
    const int32_t tol = p / 10;
    if (std::abs(2 * target - p) < tol) {
      target = fpb * 4096;
    } else if (std::abs(target - fpb * 16384) < tol) {
      target = fpb * 16384;
    } else {
      target = p;
      if (octave >= 1)
        target = fpb * 4096;
      else if (octave < 0)
        target = fpb * 16384;
    }
  }
  measured = p;
}

int32_t BeatInterpolator::setOctave(int32_t k) {
  k = std::max(-1, std::min(1, k));
  if (k > octave)
    target >>= (k - octave);
  else if (k < octave)
    target <<= (octave - k);
  octave = k;
  return k;
}

int32_t BeatInterpolator::setFraction(float v) {
  const int32_t taken = static_cast<int32_t>(v * 8192.0f / 1000.0f);
  fraction = kOneBeat - taken;
  return taken;
}

int32_t BeatInterpolator::framesSinceBeat() const {
  return static_cast<int32_t>((static_cast<int64_t>(period) * fraction) >> 28);
}

int32_t BeatInterpolator::tick() const { return (fraction * kTicksPerBeat / kOneBeat) % kTicksPerBeat; }

float BeatInterpolator::periodFrames() const { return static_cast<float>(period / 8192); }

bool BeatInterpolator::isOnBeat() const { return (fraction * kTicksPerBeat / kOneBeat) % kTicksPerBeat == 0; }

void BeatInterpolator::advance() {
  const int32_t inc = static_cast<int32_t>((int64_t(1) << 28) / std::max(1, period));
  fraction = wrapBeat(fraction + inc);
  period = static_cast<int32_t>((15 * static_cast<int64_t>(period) + target) / 16);

  int32_t e = error;
  if (beatPending) {
    const int32_t r = std::max(1, (measured / 2 + target) / std::max(1, measured));
    const int64_t scaled = (int64_t(r) * fraction + kOneBeat / 2) % kOneBeat;
    int32_t wrapped = static_cast<int32_t>(scaled) - kOneBeat / 2;
    if (wrapped == -kOneBeat / 2) wrapped = kOneBeat / 2;
    e = wrapped;
    error = e / r;
  }
  const int32_t s = inc / 16;
  if (e != 0) {
    if (e > s) {
      fraction = wrapBeat(fraction - s);
      error = e - s;
    } else if (e < -s) {
      fraction = wrapBeat(fraction + s);
      error = e + s;
    }
  }
  beatPending = false;
}

}  // namespace RuBeatO
