#pragma once
// A polynomial of order 5 through five points and one zero-slope condition:
// the smooth curve the peak limiter lays over a clipped half-wave. Built for
// one reshape and thrown away after it.

#include <array>

class PeakCurveFit {
 public:
  static constexpr int kOrder = 5;
  static constexpr int kSize = kOrder + 1;

  PeakCurveFit() = default;

  // Row `row` (0..5) asks the curve to pass through (x, y).
  void SetValuePoint(int row, double x, double y);
  // Row `row` asks the curve to have slope 0 at x.
  void SetZeroSlope(int row, double x);
  // Gauss-Jordan elimination with full pivoting. False for a singular
  // system; the coefficients are then unusable.
  bool Solve();
  // sum over k of c[k] x^(5-k).
  double Evaluate(double x) const;

 private:
  std::array<std::array<double, kSize>, kSize> matrix_{};
  std::array<double, kSize> rhs_{};
  std::array<double, kSize> coefficients_{};
};
