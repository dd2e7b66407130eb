#pragma once
// Measurements of stretched audio shared by the engine and job tests: the
// frequency of a partial from the phase slope of its demodulated blocks
// (precise to a fraction of a cent), and click positions on an envelope.

#include <cmath>
#include <algorithm>
#include <complex>
#include <cstdint>
#include <vector>

namespace StretchMeasures {

constexpr double kPi = 3.14159265358979323846;

// Frequency of the partial near `nominal` within [from, to): the phase of
// Hann-windowed 4096-sample blocks demodulated at `nominal` turns at the
// difference frequency.
inline double partialFrequency(const std::vector<float>& x, std::size_t from, std::size_t to, double nominal,
                               double fs = 44100.0) {
  constexpr std::size_t kBlock = 4096;
  constexpr std::size_t kStep = 1024;
  std::vector<double> starts, phases;
  double last = 0.0, turns = 0.0;
  for (std::size_t s = from; s + kBlock <= to && s + kBlock <= x.size(); s += kStep) {
    std::complex<double> z;
    for (std::size_t n = 0; n < kBlock; ++n) {
      const double w = 0.5 - 0.5 * std::cos(2.0 * kPi * n / kBlock);
      const double arg = -2.0 * kPi * nominal * static_cast<double>(s + n) / fs;
      z += w * x[s + n] * std::complex<double>(std::cos(arg), std::sin(arg));
    }
    double phase = std::arg(z);
    if (!phases.empty()) {
      while (phase + turns - last > kPi) turns -= 2.0 * kPi;
      while (phase + turns - last < -kPi) turns += 2.0 * kPi;
    }
    last = phase + turns;
    starts.push_back(static_cast<double>(s));
    phases.push_back(last);
  }
  const auto n = static_cast<double>(starts.size());
  double mx = 0, my = 0;
  for (std::size_t i = 0; i < starts.size(); ++i) {
    mx += starts[i];
    my += phases[i];
  }
  mx /= n;
  my /= n;
  double sxy = 0, sxx = 0;
  for (std::size_t i = 0; i < starts.size(); ++i) {
    sxy += (starts[i] - mx) * (phases[i] - my);
    sxx += (starts[i] - mx) * (starts[i] - mx);
  }
  return nominal + (sxx > 0 ? sxy / sxx : 0.0) * fs / (2.0 * kPi);
}

// Level in dB of what is left of x[from, to) once the partials at `freqs`
// (Hz) are taken out: per block of `block` samples the least-squares fit
// of a cosine and a sine at each frequency, against the fitted energy.
// Amplitude or phase that moves within a block, and anything between the
// partials, stays in the residue.
inline double residueDb(const std::vector<float>& x, std::size_t from, std::size_t to,
                        const std::vector<double>& freqs, std::size_t block = 2048, double fs = 44100.0) {
  const std::size_t p = freqs.size(), m = 2 * p;
  // The partials' cosines and sines over one block (the same for every block).
  std::vector<double> basis(block * m);
  for (std::size_t i = 0; i < p; ++i) {
    for (std::size_t n = 0; n < block; ++n) {
      const double arg = 2.0 * kPi * freqs[i] * static_cast<double>(n) / fs;
      basis[n * m + 2 * i] = std::cos(arg);
      basis[n * m + 2 * i + 1] = std::sin(arg);
    }
  }
  double residue = 0.0, fitted = 0.0;
  for (std::size_t s = from; s + block <= to && s + block <= x.size(); s += block) {
    std::vector<double> a(m * (m + 1), 0.0);  // normal equations, right-hand side last
    double energy = 0.0;
    for (std::size_t n = 0; n < block; ++n) {
      const double* b = &basis[n * m];
      const double v = x[s + n];
      energy += v * v;
      for (std::size_t r = 0; r < m; ++r) {
        for (std::size_t c = r; c < m; ++c) a[r * (m + 1) + c] += b[r] * b[c];
        a[r * (m + 1) + m] += b[r] * v;
      }
    }
    for (std::size_t r = 0; r < m; ++r)
      for (std::size_t c = 0; c < r; ++c) a[r * (m + 1) + c] = a[c * (m + 1) + r];
    std::vector<double> projections(m);
    for (std::size_t r = 0; r < m; ++r) projections[r] = a[r * (m + 1) + m];
    for (std::size_t q = 0; q < m; ++q) {  // Gauss-Jordan; the matrix is positive definite
      const double pivot = a[q * (m + 1) + q];
      for (std::size_t c = q; c <= m; ++c) a[q * (m + 1) + c] /= pivot;
      for (std::size_t r = 0; r < m; ++r) {
        if (r == q) continue;
        const double f = a[r * (m + 1) + q];
        for (std::size_t c = q; c <= m; ++c) a[r * (m + 1) + c] -= f * a[q * (m + 1) + c];
      }
    }
    // The least-squares fit's energy is its coefficients against the projections.
    double explained = 0.0;
    for (std::size_t r = 0; r < m; ++r) explained += a[r * (m + 1) + m] * projections[r];
    fitted += explained;
    residue += std::max(energy - explained, 0.0);
  }
  return 10.0 * std::log10((residue + 1e-30) / (fitted + 1e-30));
}

inline double cents(double f, double reference) { return 1200.0 * std::log2(f / reference); }

// Start of every burst whose level rises above `threshold`, at least
// `gap` samples after the previous one.
inline std::vector<std::int64_t> clickStarts(const std::vector<float>& x, float threshold, std::int64_t gap) {
  std::vector<std::int64_t> found;
  std::int64_t lastAbove = -gap - 1;
  for (std::size_t i = 0; i < x.size(); ++i) {
    if (std::fabs(x[i]) < threshold) continue;
    const auto at = static_cast<std::int64_t>(i);
    if (at - lastAbove > gap) found.push_back(at);
    lastAbove = at;
  }
  return found;
}

// Sine partials in 16-bit units.
inline std::vector<float> tones(std::int64_t n, const std::vector<double>& freqs, double amplitude,
                                double fs = 44100.0) {
  std::vector<float> v(static_cast<std::size_t>(n), 0.0f);
  for (double f : freqs)
    for (std::int64_t i = 0; i < n; ++i)
      v[static_cast<std::size_t>(i)] += static_cast<float>(amplitude * std::sin(2.0 * kPi * f * i / fs));
  return v;
}

// Decaying 2 ms clicks every `interval` samples from `first` on.
inline std::vector<float> clicks(std::int64_t n, std::int64_t first, std::int64_t interval, double amplitude) {
  std::vector<float> v(static_cast<std::size_t>(n), 0.0f);
  for (std::int64_t c = first; c < n; c += interval)
    for (std::int64_t k = 0; k < 88 && c + k < n; ++k)
      v[static_cast<std::size_t>(c + k)] =
          static_cast<float>(amplitude * std::exp(-k / 15.0) * std::sin(2.0 * kPi * 3000.0 * k / 44100.0 + 1.0));
  return v;
}

}  // namespace StretchMeasures
