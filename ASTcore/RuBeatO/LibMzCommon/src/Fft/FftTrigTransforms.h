// Trigonometric transforms of the FFT package: discrete cosine and sine
// transforms built on its real transform core, for float and double.
//
// All are unscaled and in place (n a power of two of at least 2):
// - ddct, isgn < 0 (DCT-II):  C[k] = sum_{j<n} a[j] cos(pi (j + 1/2) k / n), 0 <= k < n
//   ddct, isgn >= 0 (DCT-III): C[k] = sum_{j<n} a[j] cos(pi j (k + 1/2) / n)
//   Undo ddct(n, -1) by halving a[0], running ddct(n, +1) and scaling by 2/n.
// - ddst, isgn < 0: S[k] = sum_{j<n} a[j] sin(pi (j + 1/2) k / n) for 0 < k <= n, S[n] in a[0].
//   ddst, isgn >= 0: S[k] = sum_{j=1..n} A[j] sin(pi j (k + 1/2) / n), 0 <= k < n, with
//   A[j] = a[j] for j < n and A[n] = a[0]. Inverted as ddct.
// - dfct: C[k] = sum_{j=0..n} a[j] cos(pi j k / n), 0 <= k <= n; a holds n + 1 values and t
//   n/2 + 1 values of work. Halving a[0] and a[n] first makes it its own inverse up to 2/n.
// - dfst: S[k] = sum_{j=1..n-1} a[j] sin(pi j k / n), 0 < k < n; a[0] is work and 0 on
//   return, t holds n/2 values of work. Its own inverse up to 2/n.
//
// The tables live in the caller's ip/w exactly as for rdft (the same arrays
// may serve both, sized for the largest need):
//   ddct/ddst: ip >= 2 + sqrt(n/2), w >= 5n/4;  dfct/dfst: ip >= 2 + sqrt(n/4), w >= 5n/8.

#pragma once

#include <cstddef>

namespace Fft {

// Unchecked: the caller guarantees the sizes above and a valid ip (ip[0] = 0
// before the first call with fresh arrays).
template <typename Real>
struct TrigTransforms {
  static void ddct(int n, int isgn, Real* a, int* ip, Real* w);
  static void ddst(int n, int isgn, Real* a, int* ip, Real* w);
  static void dfct(int n, Real* a, Real* t, int* ip, Real* w);
  static void dfst(int n, Real* a, Real* t, int* ip, Real* w);
};

// Checked: refuse (std::invalid_argument, nothing touched) a length that is
// no power of two of at least 2, null arrays, arrays shorter than the sizes
// above, and cached table sizes in ip that the package could not have
// written or that do not fit in w.
void ddct(int n, int isgn, float* a, std::size_t aLength, int* ip, std::size_t ipLength, float* w,
          std::size_t wLength);
void ddct(int n, int isgn, double* a, std::size_t aLength, int* ip, std::size_t ipLength, double* w,
          std::size_t wLength);
void ddst(int n, int isgn, float* a, std::size_t aLength, int* ip, std::size_t ipLength, float* w,
          std::size_t wLength);
void ddst(int n, int isgn, double* a, std::size_t aLength, int* ip, std::size_t ipLength, double* w,
          std::size_t wLength);
void dfct(int n, float* a, std::size_t aLength, float* t, std::size_t tLength, int* ip, std::size_t ipLength,
          float* w, std::size_t wLength);
void dfct(int n, double* a, std::size_t aLength, double* t, std::size_t tLength, int* ip,
          std::size_t ipLength, double* w, std::size_t wLength);
void dfst(int n, float* a, std::size_t aLength, float* t, std::size_t tLength, int* ip, std::size_t ipLength,
          float* w, std::size_t wLength);
void dfst(int n, double* a, std::size_t aLength, double* t, std::size_t tLength, int* ip,
          std::size_t ipLength, double* w, std::size_t wLength);

}  // namespace Fft
