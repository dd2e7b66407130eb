#include "FixedBiquad.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "FixedBiquadStep.h"

namespace {

constexpr float kPi = 3.1415927f;
constexpr float kButterworthDamping = 0.70710677f;

// Float coefficients before conversion; c3 and c4 carry the sign with which
// the feedback is added.
struct FloatCoefficients {
  float c[5] = {1.0f, 0.0f, 0.0f, 0.0f, 0.0f};
};

FloatCoefficients identity() { return FloatCoefficients{}; }

using FixedBiquadStep::saturate32;
using FixedBiquadStep::scaleUp;

// Second-order shelving filters on the prewarped K and the linear gain V >= 1
// (low shelf for `high` false). Gain 0 is handled by the caller.
FloatCoefficients shelf2(bool high, bool boost, float K, float V) {
  const float r2 = std::sqrt(2.0f);
  const float r2v = std::sqrt(2.0f * V);
  const float K2 = K * K;
  FloatCoefficients f;
  float b0, b1, b2, a1, a2;
  if (!high) {
    if (boost) {
      const float D = 1.0f + r2 * K + K2;
      b0 = (1.0f + r2v * K + V * K2) / D;
      b1 = 2.0f * (V * K2 - 1.0f) / D;
      b2 = (1.0f - r2v * K + V * K2) / D;
      a1 = 2.0f * (K2 - 1.0f) / D;
      a2 = (1.0f - r2 * K + K2) / D;
    } else {
      const float D = 1.0f + r2v * K + V * K2;
      b0 = (1.0f + r2 * K + K2) / D;
      b1 = 2.0f * (K2 - 1.0f) / D;
      b2 = (1.0f - r2 * K + K2) / D;
      a1 = 2.0f * (V * K2 - 1.0f) / D;
      a2 = (1.0f - r2v * K + V * K2) / D;
    }
  } else {
    if (boost) {
      const float D = 1.0f + r2 * K + K2;
      b0 = (V + r2v * K + K2) / D;
      b1 = 2.0f * (K2 - V) / D;
      b2 = (V - r2v * K + K2) / D;
      a1 = 2.0f * (K2 - 1.0f) / D;
      a2 = (1.0f - r2 * K + K2) / D;
    } else {
      const float D = V + r2v * K + K2;
      b0 = (1.0f + r2 * K + K2) / D;
      b1 = 2.0f * (K2 - 1.0f) / D;
      b2 = (1.0f - r2 * K + K2) / D;
      const float E = 1.0f + std::sqrt(2.0f / V) * K + K2 / V;
      a1 = 2.0f * (K2 / V - 1.0f) / E;
      a2 = (1.0f - std::sqrt(2.0f / V) * K + K2 / V) / E;
    }
  }
  f.c[0] = b0;
  f.c[1] = b1;
  f.c[2] = b2;
  f.c[3] = -a1;
  f.c[4] = -a2;
  return f;
}

FloatCoefficients designFloat(int type, float q, float freq, float gain, float fs) {
  if (!(freq > 0.0f) || !(fs > 0.0f) || !(freq < fs / 2.0f) || type < 1 || type > 12) {
    return identity();
  }
  const float K = std::tan(kPi * freq / fs);
  const float V = std::pow(10.0f, std::fabs(gain) / 20.0f);
  const bool boost = gain > 0.0f;
  const bool cut = gain < 0.0f;
  const float K2 = K * K;
  FloatCoefficients f;
  float* c = f.c;
  c[0] = c[1] = c[2] = c[3] = c[4] = 0.0f;

  switch (type) {
    case 1: {  // peak
      if (!boost && !cut) return identity();
      if (boost) {
        const float D = 1.0f + K / q + K2;
        c[0] = (1.0f + V * K / q + K2) / D;
        c[1] = 2.0f * (K2 - 1.0f) / D;
        c[2] = (1.0f - V * K / q + K2) / D;
        c[3] = -c[1];
        c[4] = -(1.0f - K / q + K2) / D;
      } else {
        const float D = 1.0f + V * K / q + K2;
        c[0] = (1.0f + K / q + K2) / D;
        c[1] = 2.0f * (K2 - 1.0f) / D;
        c[2] = (1.0f - K / q + K2) / D;
        c[3] = -c[1];
        c[4] = -(1.0f - V * K / q + K2) / D;
      }
      break;
    }
    case 2: {  // band-pass, or notch for a negative gain
      const float D = 1.0f + K / q + K2;
      if (!cut) {
        c[0] = (K / q) / D;
        c[1] = 0.0f;
        c[2] = -(K / q) / D;
        c[3] = 2.0f * (1.0f - K2) / D;
        c[4] = -(1.0f - K / q + K2) / D;
      } else {
        c[0] = c[2] = (1.0f + K2) / D;
        c[1] = 2.0f * (K2 - 1.0f) / D;
        c[3] = -c[1];
        c[4] = -(1.0f - K / q + K2) / D;
      }
      break;
    }
    case 3:
    case 4:
      if (!boost && !cut) return identity();
      return shelf2(type == 4, boost, K, V);
    case 5:
    case 6: {  // Butterworth low-pass / high-pass; q is not used
      if (cut) return identity();
      const float D = 1.0f + K / kButterworthDamping + K2;
      if (type == 5) {
        c[0] = K2 / D;
        c[1] = 2.0f * c[0];
        c[2] = c[0];
      } else {
        c[0] = 1.0f / D;
        c[1] = -2.0f / D;
        c[2] = 1.0f / D;
      }
      c[3] = 2.0f * (1.0f - K2) / D;
      c[4] = (K / kButterworthDamping - 1.0f - K2) / D;
      break;
    }
    case 7:  // first-order low-pass
      if (cut) return identity();
      c[0] = c[1] = K / (K + 1.0f);
      c[3] = (1.0f - K) / (K + 1.0f);
      break;
    case 8:  // first-order high-pass
      if (cut) return identity();
      c[0] = 1.0f / (K + 1.0f);
      c[1] = -1.0f / (K + 1.0f);
      c[3] = (1.0f - K) / (K + 1.0f);
      break;
    case 9:
      if (!boost && !cut) return identity();
      if (boost) {
        c[0] = (1.0f + V * K) / (1.0f + K);
        c[1] = (V * K - 1.0f) / (1.0f + K);
        c[3] = (1.0f - K) / (1.0f + K);
      } else {
        c[0] = (1.0f + K) / (1.0f + V * K);
        c[1] = (K - 1.0f) / (1.0f + V * K);
        c[3] = (1.0f - V * K) / (1.0f + V * K);
      }
      break;
    case 10:
      if (!boost && !cut) return identity();
      if (boost) {
        c[0] = (K + V) / (1.0f + K);
        c[1] = (K - V) / (1.0f + K);
        c[3] = (1.0f - K) / (1.0f + K);
      } else {
        c[0] = (1.0f + K) / (K + V);
        c[1] = (K - 1.0f) / (K + V);
        c[3] = (V - K) / (K + V);
      }
      break;
    case 11: {
      if (!boost && !cut) return identity();
      const float Kp = K / V;
      if (boost) {
        c[0] = (K + 1.0f) / (Kp + 1.0f);
        c[1] = (K - 1.0f) / (Kp + 1.0f);
        c[3] = (1.0f - Kp) / (1.0f + Kp);
      } else {
        c[0] = (Kp + 1.0f) / (1.0f + K);
        c[1] = (Kp - 1.0f) / (1.0f + K);
        c[3] = (1.0f - K) / (1.0f + K);
      }
      break;
    }
    case 12:
      if (!boost && !cut) return identity();
      if (boost) {
        c[0] = V * (K + 1.0f) / (1.0f + V * K);
        c[1] = V * (K - 1.0f) / (1.0f + V * K);
        c[3] = (1.0f - V * K) / (1.0f + V * K);
      } else {
        c[0] = (K + 1.0f / V) / (1.0f + K);
        c[1] = (K - 1.0f / V) / (1.0f + K);
        c[3] = (1.0f - K) / (1.0f + K);
      }
      break;
    default:
      return identity();
  }
  return f;
}

// Largest magnitude a design may have: beyond it the shift would leave the
// 32-bit range and the filter could not run.
constexpr float kLargestCoefficient = 268435456.0f;  // 2^28

void convert(const FloatCoefficients& in, BiquadRecord* rec) {
  float m = 0.0f;
  for (float v : in.c) {
    if (!std::isfinite(v)) {
      convert(identity(), rec);
      return;
    }
    m = std::fmax(m, std::fabs(v));
  }
  if (m >= kLargestCoefficient) {
    convert(identity(), rec);
    return;
  }
  int j = 3;
  while (std::ldexp(m, j) >= 4.0f) --j;
  const float scale = std::ldexp(1.0f, 28 + j);
  int32_t* words[5] = {&rec->c0, &rec->c1, &rec->c2, &rec->c3, &rec->c4};
  for (int i = 0; i < 5; ++i) *words[i] = static_cast<int32_t>(in.c[i] * scale);
  rec->shift = 4 - j;
}

}  // namespace

extern "C" {

int32_t biquadMul(int32_t x, int32_t c) { return FixedBiquadStep::multiply(x, c); }

void designBiquad(int type, BiquadRecord* rec, float q, float freq, float gain, float fs) {
  if (rec == nullptr || !(q > 0.0f)) return;
  convert(designFloat(type, q, freq, gain, fs), rec);
}

void designBiquadFs(int type, BiquadRecord* rec, float q, float freq, float gain, float fs) {
  designBiquad(type, rec, q, freq, gain, fs);
  if (rec != nullptr) rec->z1 = 0;
}

void designBiquad44k(int type, BiquadRecord* rec, float q, float freq, float gain) {
  designBiquadFs(type, rec, q, freq, gain, 44100.0f);
}

void designBiquadNoReset(int type, BiquadRecord* rec, float q, float freq, float gain, float fs) {
  designBiquad(type, rec, q, freq, gain, fs);
}

int designFirstOrder44k(int type, FirstOrderRecord* rec, float q, float freq, float gain) {
  if (rec == nullptr) return 0;
  if (!(q > 0.0f)) return rec->shift;
  BiquadRecord scratch{};
  designBiquad(type, &scratch, q, freq, gain, 44100.0f);
  rec->c0 = scratch.c0;
  rec->c1 = scratch.c1;
  rec->c2 = scratch.c3;
  rec->z = 0;
  rec->shift = scratch.shift;
  return rec->shift;
}

void designBiquadFromParams(const BiquadParams* p, BiquadRecord* rec) {
  if (p == nullptr) return;
  designBiquadFs(p->type, rec, p->q, p->freq, p->gain, 44100.0f);
}

void runBiquad(const int32_t* in, BiquadRecord* rec, int32_t* out, int n) {
  if (in == nullptr || rec == nullptr || out == nullptr) return;
  // The record is read once: `out` may lie in the same memory as the record,
  // and each store would otherwise make every coefficient be read again.
  FixedBiquadStep::Section section{rec->c0, rec->c1, rec->c2, rec->c3, rec->c4, rec->shift, rec->z1, rec->z2};
  for (int i = 0; i < n; ++i) out[i] = section.step(in[i]);
  rec->z1 = section.z1;
  rec->z2 = section.z2;
}

void runFirstOrder(const int32_t* in, FirstOrderRecord* rec, int32_t* out, int n) {
  if (in == nullptr || rec == nullptr || out == nullptr) return;
  int32_t z = rec->z;
  for (int i = 0; i < n; ++i) {
    const int32_t x = in[i];
    const int32_t y = scaleUp(int64_t{biquadMul(x, rec->c0)} + z, rec->shift);
    z = saturate32(int64_t{biquadMul(x, rec->c1)} + biquadMul(y, rec->c2));
    out[i] = y;
  }
  rec->z = z;
}

}  // extern "C"
