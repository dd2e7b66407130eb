#include "PeakCurveFit.h"

#include <cmath>
#include <cstdint>
#include <utility>

void PeakCurveFit::SetValuePoint(int row, double x, double y) {
  for (int k = 0; k < kSize; ++k) matrix_[row][k] = std::pow(x, kOrder - k);
  rhs_[row] = y;
}

void PeakCurveFit::SetZeroSlope(int row, double x) {
  for (int k = 0; k < kSize; ++k) {
    const int power = kOrder - k;
    matrix_[row][k] = power > 0 ? power * std::pow(x, power - 1) : 0.0;
  }
  rhs_[row] = 0.0;
}

bool PeakCurveFit::Solve() {
  auto a = matrix_;
  auto b = rhs_;
  std::array<std::uint16_t, kSize> used{};
  for (int step = 0; step < kSize; ++step) {
    double largest = 0.0;
    int row = -1, column = -1;
    for (int j = 0; j < kSize; ++j) {
      if (used[j]) continue;
      for (int k = 0; k < kSize; ++k) {
        if (!used[k] && std::fabs(a[j][k]) > largest) {
          largest = std::fabs(a[j][k]);
          row = j;
          column = k;
        }
      }
    }
    // No pivot left: the points do not determine the curve.
    if (row < 0 || !(largest > 1e-12)) return false;
    used[column] = 1;
    if (row != column) {
      std::swap(a[row], a[column]);
      std::swap(b[row], b[column]);
    }
    const double inverse = 1.0 / a[column][column];
    for (double& v : a[column]) v *= inverse;
    b[column] *= inverse;
    for (int j = 0; j < kSize; ++j) {
      if (j == column) continue;
      const double factor = a[j][column];
      for (int k = 0; k < kSize; ++k) a[j][k] -= a[column][k] * factor;
      b[j] -= b[column] * factor;
    }
  }
  // Every pivot was moved onto the diagonal, so the reduced system is the
  // identity and the right-hand side holds the coefficients in order.
  for (int k = 0; k < kSize; ++k) {
    if (!std::isfinite(b[k])) return false;
    coefficients_[k] = b[k];
  }
  return true;
}

double PeakCurveFit::Evaluate(double x) const {
  double sum = 0.0;
  for (int k = 0; k < kSize; ++k) sum = sum * x + coefficients_[k];
  return sum;
}
