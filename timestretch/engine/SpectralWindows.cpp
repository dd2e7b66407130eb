#include "SpectralWindows.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

void cosineSum(std::int64_t N, const double* a, int terms, float* out) {
  const double period = N > 1 ? static_cast<double>(N - 1) : 1.0;
  for (std::int64_t n = 0; n < N; ++n) {
    const double x = 2.0 * kPi * static_cast<double>(n) / period;
    double v = 0.0;
    for (int k = 0; k < terms; ++k) v += a[k] * std::cos(k * x);
    out[n] = static_cast<float>(v);
  }
}

void kaiser(std::int64_t N, double alpha, float* out) {
  const std::int64_t h = N / 2;
  const double c = static_cast<double>(N) / 2.0;
  const double beta = kPi * alpha;
  const double denominator = BesselI0(beta);
  const std::int64_t last = (N % 2 == 1) ? h : h - 1;
  for (std::int64_t n = 0; n <= last; ++n) {
    const double r = static_cast<double>(n) / c;
    out[h + n] = static_cast<float>(BesselI0(beta * std::sqrt(1.0 - r * r)) / denominator);
  }
  for (std::int64_t i = 0; i < h; ++i) out[i] = out[N - 1 - i];
}

// Rising 2n/(N-1) up to the middle and the mirror image after it; every
// entry is set, also the one just after the middle of an odd length.
void triangular(std::int64_t N, float* out) {
  if (N == 1) {
    out[0] = 1.0f;
    return;
  }
  const double d = static_cast<double>(N - 1);
  const std::int64_t middle = N / 2;
  for (std::int64_t n = 0; n <= middle; ++n) out[n] = static_cast<float>(2.0 * n / d);
  for (std::int64_t m = 0; m <= N - 2 - middle; ++m) out[N - 1 - m] = static_cast<float>(2.0 * m / d);
}

void normaliseToSumTwo(std::int64_t N, float* out) {
  double sum = 0.0;
  for (std::int64_t n = 0; n < N; ++n) sum += out[n];
  if (sum == 0.0) return;
  const double scale = 2.0 / sum;
  for (std::int64_t n = 0; n < N; ++n) out[n] = static_cast<float>(out[n] * scale);
}

}  // namespace

double BesselI0(double x) {
  double sum = 1.0;
  double term = 1.0;  // (x/2)^k / k!
  for (int k = 1; k < 50; ++k) {
    term *= (x / 2.0) / k;
    sum += term * term;
  }
  return sum;
}

namespace SpectralWindows {

double KaiserAlpha(int type) {
  static const double kAlpha[] = {1.7, 1.8, 1.9, 2.0, 2.5, 3.0, 3.5};
  return kAlpha[type - kKaiserFirst];
}

int Make(std::int64_t N, int type, float* out) {
  if (N < 1 || !out) return 0;
  static const double kHammingTerms[] = {0.54, -0.46};
  static const double kBH61[] = {0.44959, -0.49364, 0.05677};
  static const double kBH67[] = {0.42323, -0.49755, 0.07922};
  static const double kBH74[] = {0.40217, -0.49703, 0.09892, -0.00188};
  static const double kBH92[] = {0.35875, -0.48829, 0.14128, -0.01168};
  switch (type) {
    case kHamming:
      cosineSum(N, kHammingTerms, 2, out);
      break;
    case kBlackmanHarris67:
      cosineSum(N, kBH67, 3, out);
      break;
    case kBlackmanHarris74:
      cosineSum(N, kBH74, 4, out);
      break;
    case kBlackmanHarris92:
      cosineSum(N, kBH92, 4, out);
      break;
    case kTriangular:
      triangular(N, out);
      break;
    default:
      if (type >= kKaiserFirst && type <= kKaiserLast)
        kaiser(N, KaiserAlpha(type), out);
      else
        cosineSum(N, kBH61, 3, out);
      break;
  }
  normaliseToSumTwo(N, out);
  return 0;
}

}  // namespace SpectralWindows

int BlackmanHarris61Window(std::int64_t N, float* out) {
  return SpectralWindows::Make(N, SpectralWindows::kBlackmanHarris61, out);
}
int BlackmanHarris67Window(std::int64_t N, float* out) {
  return SpectralWindows::Make(N, SpectralWindows::kBlackmanHarris67, out);
}
int BlackmanHarris74Window(std::int64_t N, float* out) {
  return SpectralWindows::Make(N, SpectralWindows::kBlackmanHarris74, out);
}
int BlackmanHarris92Window(std::int64_t N, float* out) {
  return SpectralWindows::Make(N, SpectralWindows::kBlackmanHarris92, out);
}
int HammingWindow(std::int64_t N, float* out) { return SpectralWindows::Make(N, SpectralWindows::kHamming, out); }
int TriangularWindow(std::int64_t N, float* out) {
  return SpectralWindows::Make(N, SpectralWindows::kTriangular, out);
}
