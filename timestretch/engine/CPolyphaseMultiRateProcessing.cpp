#include "CPolyphaseMultiRateProcessing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>
#include <vector>

namespace {

// The six low-pass tables, designed as Kaiser-windowed sincs whose cutoff and
// window shape put the -3 dB and -60 dB points where the engine needs them,
// scaled to their (deliberately unnormalised) sums of coefficients.
struct TableDesign {
  int taps;
  double cutoff;  // fraction of the higher rate
  double beta;    // Kaiser window shape
  double sum;
};

enum TableId { k70A, k70B, k70C, k110, k170, k50, kTableCount };

constexpr TableDesign kDesigns[kTableCount] = {
    {70, 0.068533, 9.4000, 0.99919738},   // factor 4 at 44100 Hz
    {70, 0.087000, 6.5867, 1.01422766},   // factor 4 at 22050 Hz
    {70, 0.176933, 11.5067, 1.00007893},  // factor 2 at 11025 Hz
    {110, 0.091467, 9.4000, 0.99243512},  // decimation by 4 at 11025 Hz
    {170, 0.044733, 5.3733, 0.96632375},  // factor 8
    {50, 0.136267, 15.2267, 0.99999996},  // factor 2 at 44100 or 22050 Hz
};

std::vector<double> designTable(const TableDesign& d) {
  std::vector<double> h(static_cast<std::size_t>(d.taps));
  const double centre = (d.taps - 1) / 2.0;
  const double windowNorm = std::cyl_bessel_i(0.0, d.beta);
  double total = 0.0;
  for (int k = 0; k < d.taps; ++k) {
    const double t = k - centre;  // never 0: every table has an even length
    const double sinc = std::sin(2.0 * M_PI * d.cutoff * t) / (M_PI * t);
    const double r = 2.0 * k / (d.taps - 1) - 1.0;
    const double window = std::cyl_bessel_i(0.0, d.beta * std::sqrt(std::max(0.0, 1.0 - r * r))) / windowNorm;
    h[static_cast<std::size_t>(k)] = sinc * window;
    total += sinc * window;
  }
  for (double& v : h) v *= d.sum / total;
  // Exact symmetry keeps the phase strictly linear despite rounding.
  for (int k = 0; k < d.taps / 2; ++k)
    h[static_cast<std::size_t>(d.taps - 1 - k)] = h[static_cast<std::size_t>(k)];
  return h;
}

const std::vector<double>& table(TableId id) {
  static const std::array<std::vector<double>, kTableCount> tables = [] {
    std::array<std::vector<double>, kTableCount> t;
    for (int i = 0; i < kTableCount; ++i) t[static_cast<std::size_t>(i)] = designTable(kDesigns[i]);
    return t;
  }();
  return tables[static_cast<std::size_t>(id)];
}

// -1 when the combination has no table.
int selectTable(int mode, int factor, double rate) {
  if (mode != CPolyphaseMultiRateProcessing::kDecimate && mode != CPolyphaseMultiRateProcessing::kInterpolate)
    return -1;
  const bool decimate = mode == CPolyphaseMultiRateProcessing::kDecimate;
  const bool r44 = rate == 44100.0, r22 = rate == 22050.0, r11 = rate == 11025.0;
  if (!r44 && !r22 && !r11) return -1;
  switch (factor) {
    case 8:
      return k170;
    case 4:
      if (r44) return k70A;
      if (r22) return k70B;
      return decimate ? k110 : -1;
    case 2:
      return r11 ? k70C : k50;
    default:
      return -1;
  }
}

}  // namespace

CPolyphaseMultiRateProcessing::CPolyphaseMultiRateProcessing(int mode, int factor, double sampleRate)
    : factor(factor) {
  delayLine = new (std::nothrow) double[kMaxTaps]();
  if (!delayLine) throw -1;
  coefficients = new (std::nothrow) double[kMaxTaps]();
  if (!coefficients) {
    delete[] delayLine;
    throw -1;
  }
  const int id = selectTable(mode, factor, sampleRate);
  if (id < 0) {
    // A filter that silently produces nothing would leave a band empty.
    delete[] coefficients;
    delete[] delayLine;
    throw kRefused;
  }
  const std::vector<double>& t = table(static_cast<TableId>(id));
  taps = static_cast<int>(t.size());
  std::copy(t.begin(), t.end(), coefficients);
  if (mode == kInterpolate) phaseLength = taps / factor;
}

CPolyphaseMultiRateProcessing::~CPolyphaseMultiRateProcessing() {
  delete[] coefficients;
  delete[] delayLine;
}

void CPolyphaseMultiRateProcessing::Decimate(int count, const float* in, float* out, std::int64_t* outCount) {
  const int m = factor;
  const int n = taps;
  if (!HasTable() || m < 1 || m > count) {
    *outCount = 0;
    return;
  }
  std::int64_t produced = 0;
  for (int read = 0; count - read >= m; read += m) {
    for (int i = n - 1; i >= m; --i) delayLine[i] = delayLine[i - m];
    for (int j = 0; j < m; ++j) delayLine[m - 1 - j] = static_cast<double>(in[read + j]);
    double y = 0.0;
    for (int k = 0; k < n; ++k) y += coefficients[k] * delayLine[k];
    out[produced++] = static_cast<float>(y);
  }
  *outCount = produced;
}

void CPolyphaseMultiRateProcessing::Interpolate(int count, const float* in, float* out, std::int64_t* outCount) {
  const int m = factor;
  const int l = phaseLength;
  if (count < 1 || !HasTable() || l < 1) {
    *outCount = 0;
    return;
  }
  std::int64_t produced = 0;
  for (int s = 0; s < count; ++s) {
    for (int i = l - 1; i >= 1; --i) delayLine[i] = delayLine[i - 1];
    delayLine[0] = static_cast<double>(in[s]);
    for (int p = 0; p < m; ++p) {
      double y = 0.0;
      for (int k = 0; k < l; ++k) y += coefficients[p + k * m] * delayLine[k];
      out[produced++] = static_cast<float>(y * m);
    }
  }
  *outCount = produced;
}
