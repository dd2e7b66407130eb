#pragma once
// The spectral engine's window catalogue. Every window of length N is
// normalised so that its entries add up to 2; cosine terms use the period
// N-1. Types:
//   0 Hamming; 1..7 Kaiser with alpha 1.7, 1.8, 1.9, 2.0, 2.5, 3.0, 3.5;
//   8, 9 three-term and 10, 11 four-term Blackman-Harris (61, 67, 74 and
//   92 dB side lobes); 12 triangular; anything else as type 8.
// Nothing is written for N < 1.

#include <cstdint>

namespace SpectralWindows {

constexpr int kHamming = 0;
constexpr int kKaiserFirst = 1;
constexpr int kKaiserLast = 7;
constexpr int kBlackmanHarris61 = 8;
constexpr int kBlackmanHarris67 = 9;
constexpr int kBlackmanHarris74 = 10;
constexpr int kBlackmanHarris92 = 11;
constexpr int kTriangular = 12;
constexpr int kLastType = 12;

// Kaiser parameter alpha of types 1..7 (the window uses pi * alpha).
double KaiserAlpha(int type);

// Fills out[0 .. N-1] with the window of `type`; returns 0.
int Make(std::int64_t N, int type, float* out);

}  // namespace SpectralWindows

// The zeroth-order modified Bessel function of the first kind by its power
// series with 50 terms: 1 + sum over k = 1..49 of ((x/2)^k / k!)^2.
double BesselI0(double x);

// Single-type window makers, equal to SpectralWindows::Make of their type.
int BlackmanHarris61Window(std::int64_t N, float* out);
int BlackmanHarris67Window(std::int64_t N, float* out);
int BlackmanHarris74Window(std::int64_t N, float* out);
int BlackmanHarris92Window(std::int64_t N, float* out);
int HammingWindow(std::int64_t N, float* out);
int TriangularWindow(std::int64_t N, float* out);
