#include "CombFilterBank.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace Numeric {

namespace {
constexpr float kLevelFloor = 1e-30f;
}  // namespace

CombFilterBank::CombFilterBank(int32_t nPeriod, float halfTime) { setHalfTime(nPeriod, halfTime); }

void CombFilterBank::setHalfTime(int32_t nPeriod, float halfTime) {
  // Checked before anything is released, so a refused call leaves a usable
  // bank behind. The negated test also refuses a NaN half time.
  if (nPeriod < 1) throw std::domain_error("nPeriod must be positive.");
  if (!(halfTime > 0.0f)) throw std::domain_error("half_time must be positive.");

  const size_t n = static_cast<size_t>(nPeriod);
  std::vector<float> newHistory(n * n, 0.0f);
  std::vector<Gains> newCoefficients(n);
  std::vector<float> newNoiseFloor(n, 0.0f);
  newCoefficients[0] = {1.0f, 0.0f};
  for (int32_t k = 1; k < nPeriod; ++k) {
    const float a = powf(0.5f, static_cast<float>(k) / halfTime);
    newCoefficients[k] = {a, 1.0f - a};
    newNoiseFloor[k] = (1.0f - a) * (1.0f - a) / (1.0f - a * a);
  }

  this->nPeriod = nPeriod;
  history.swap(newHistory);
  coefficients.swap(newCoefficients);
  noiseFloor.swap(newNoiseFloor);
  // The ring must match the new row count, or push would step past it.
  index.Reset(nPeriod);
}

void CombFilterBank::push(float x) {
  index.Advance();
  const int32_t current = index.GetPosition();
  for (int32_t k = 1; k < nPeriod; ++k) {
    const Gains& g = coefficients[k];
    cell(current, k) = g.input * x + g.feedback * cell(index.Offset(-k), k);
  }
}

float CombFilterBank::levelTerm() const {
  const float y = cell(index.GetPosition(), 1);
  return std::max(y * y, kLevelFloor);
}

float CombFilterBank::normalise(int32_t k, float meanSquareOverLevel) const {
  return (meanSquareOverLevel - noiseFloor[k]) / (1.0f - noiseFloor[k]);
}

float CombFilterBank::getEnergy(int32_t k) const {
  if (k < 0 || k >= nPeriod) throw std::out_of_range("filter_idx is out of range.");
  if (k == 0) return 0.0f;
  const float p = levelTerm();
  float s = 0.0f;
  for (int32_t j = 0; j < k; ++j) {
    const float y = cell(index.Offset(-j), k);
    s += y * y;
  }
  return normalise(k, s / static_cast<float>(k) / p);
}

void CombFilterBank::getEnergies(boost::numeric::ublas::vector<float>& out) const {
  if (out.size() != static_cast<size_t>(nPeriod)) out.resize(nPeriod, false);
  std::fill(out.begin(), out.end(), 0.0f);
  if (nPeriod < 2) return;  // no resonator, and no column 1 to take the level from

  // One pass over the frames: frame j back belongs to the window of every
  // resonator with a period above j.
  for (int32_t j = 0; j < nPeriod - 1; ++j) {
    const int32_t row = index.Offset(-j);
    for (int32_t k = j + 1; k < nPeriod; ++k) {
      const float y = cell(row, k);
      out[k] += y * y;
    }
  }
  const float p = levelTerm();
  for (int32_t k = 1; k < nPeriod; ++k) out[k] = normalise(k, out[k] / static_cast<float>(k) / p);
  out[0] = 0.0f;
}

void CombFilterBank::filterSequence(int32_t k, const std::vector<float>& in,
                                    std::vector<float>& out, int32_t pad, bool forward) const {
  if (k < 0 || k >= nPeriod) throw std::out_of_range("filter_idx is out of range.");

  // Reading and writing the same vector would overwrite input samples that
  // the backward pass has yet to read.
  std::vector<float> aliasCopy;
  const std::vector<float>& src = (&in == &out) ? (aliasCopy = in) : in;

  const size_t n = src.size();
  const size_t p = static_cast<size_t>(std::max(pad, int32_t{0}));
  const size_t delay = static_cast<size_t>(k);
  out.assign(n + p, 0.0f);

  if (n < delay) {
    std::copy(src.begin(), src.end(), out.begin());
    return;
  }
  const float a = coefficients[k].feedback;
  const float b = coefficients[k].input;

  if (forward) {
    for (size_t i = 0; i < delay; ++i) out[i] = b * src[i];
    for (size_t i = delay; i < n; ++i) out[i] = b * src[i] + a * out[i - delay];
    for (size_t i = n; i < n + p; ++i) out[i] = a * out[i - delay];
    return;
  }

  // Backwards: the input sits after the p decay samples and the recursion
  // looks k samples ahead.
  for (size_t i = n - delay; i < n; ++i) out[p + i] = b * src[i];
  for (size_t i = n - delay; i-- > 0;) out[p + i] = b * src[i] + a * out[p + i + delay];
  for (size_t i = p; i-- > 0;) out[i] = a * out[i + delay];
}

void CombFilterBank::removeDc(int32_t k, const std::vector<float>& filtered,
                              const std::vector<float>& dc, std::vector<float>& out) const {
  if (filtered.size() != dc.size()) {
    throw std::logic_error("Size of dc component and idx component does not match");
  }
  if (k < 0 || k >= nPeriod) throw std::domain_error("Invalid filter_idx");

  const size_t n = filtered.size();
  out.assign(n, 0.0f);
  if (k == 0) return;

  // A sliding window kept in double: differences of a long float running sum
  // would lose the small windows late in a song to cancellation.
  const size_t window = static_cast<size_t>(k);
  double sum = 0.0;
  for (size_t i = 0; i < n; ++i) {
    sum += static_cast<double>(filtered[i]) * filtered[i];
    if (i >= window) sum -= static_cast<double>(filtered[i - window]) * filtered[i - window];
    out[i] = static_cast<float>(std::max(sum, 0.0));
  }
  for (size_t i = 0; i < n; ++i) {
    const float level = std::max(dc[i] * dc[i], kLevelFloor);
    out[i] = normalise(k, out[i] / static_cast<float>(k) / level);
  }
}

}  // namespace Numeric
