// The FFT package: in-place real and complex transforms of power-of-two
// length over plain arrays, shared by every part of the program that needs a
// Fourier transform (the spectral front end, the sync analysis and the
// time-stretch engine).
//
// Transforms (n Real values, unscaled in both directions):
// - rdft, forward (isgn >= 0): R[k] = sum a[j] cos(2 pi jk/n) for 0 <= k <= n/2
//   and I[k] = sum a[j] sin(2 pi jk/n) for 0 < k < n/2 (a positive sine sum),
//   packed as a[0] = R[0], a[1] = R[n/2], a[2k] = R[k], a[2k+1] = I[k].
//   Backward (isgn < 0) takes that layout back to n samples; backward after
//   forward gives n/2 times the input.
// - cdft: the n/2 complex values (a[2j], a[2j+1]) transformed with
//   exp(+2 pi i jk/(n/2)) for isgn >= 0 and exp(-...) for isgn < 0; backward
//   after forward gives n/2 times the input.
//
// Work arrays belong to the caller: `ip` (int) and `w` (Real). The package
// keeps its twiddle and cosine tables in them and rebuilds them only when a
// call needs more than is cached (ip[0] = 0 forces a rebuild; set it before
// the first call). A table built for a size serves every smaller size, so a
// caller that runs several sizes sizes the arrays for the largest. Calls
// sharing one pair of work arrays must not overlap.
//
// Two ways in:
// - The checked entry points below (Fft::rdft, Fft::cdft, Fft::RealFft and the
//   WorkArrays overloads) verify the length and the array sizes on every
//   call and throw std::invalid_argument instead of touching memory they do
//   not own. The rest of the program calls these.
// - Package<Real, Variant> holds the unchecked routines with the classic
//   argument lists (n, isgn, a, ip, w), for callers that prove the sizes
//   themselves.

#pragma once

#include <cstddef>
#include <vector>

namespace Fft {

// The current variant keeps a bit-reversal table in ip and works
// depth-first above 512 values; the earlier variant (the time-stretch
// engine's) rebuilds its bit-reversal indices at every call and recurses.
// Both give the same transform up to rounding.
enum class Variant { Current, Earlier };

// The unchecked package. The caller guarantees a power-of-two n >= 2, a data
// array of n values, ip of ipLengthFor(n) entries and w of
// rdftTableLengthFor(n) (rdft) or cdftTableLengthFor(n) (cdft) entries, and
// that no other call uses the same ip/w at the same time.
template <typename Real, Variant V = Variant::Current>
struct Package {
  // Complex DFT of the n/2 values of a, in place (current variant only).
  static void cdft(int n, int isgn, Real* a, int* ip, Real* w);
  // Real DFT of the n values of a, in place, in the packed layout above.
  static void rdft(int n, int isgn, Real* a, int* ip, Real* w);
  // Builds the complex-FFT table of nw entries in w; sets ip[0] = nw, ip[1] = 1.
  static void makewt(int nw, int* ip, Real* w);
  // Builds the cosine table of nc entries at c (= w + ip[0]); sets ip[1] = nc.
  static void makect(int nc, int* ip, Real* c);
};

// The package's three instances.
using SinglePrecision = Package<float, Variant::Current>;              // spectral front end
using DoublePrecisionSync = Package<double, Variant::Current>;         // sync analysis
using DoublePrecisionTimeStretch = Package<double, Variant::Earlier>;  // time-stretch engine

// ---- Sizes ---------------------------------------------------------------

// True for a power of two of at least 2.
bool isValidLength(int n);
// Entries of ip needed for transforms of up to n values: 2 + sqrt(n/2), rounded up.
std::size_t ipLengthFor(int n);
// Entries of w needed by rdft of n values (n/2) and by cdft (n/4).
std::size_t rdftTableLengthFor(int n);
std::size_t cdftTableLengthFor(int n);

// ---- Checked entry points -------------------------------------------------
// Each checks that n is a power of two of at least 2, that no pointer is
// null, that a holds n values, that ip and w are long enough for n and for
// the tables already cached in them, and that the cached sizes in ip[0] and
// ip[1] are sizes the package could have written. Any failure throws
// std::invalid_argument and leaves every array untouched.

void rdft(int n, int isgn, float* a, std::size_t aLength, int* ip, std::size_t ipLength, float* w,
          std::size_t wLength);
void rdft(int n, int isgn, double* a, std::size_t aLength, int* ip, std::size_t ipLength, double* w,
          std::size_t wLength);
void cdft(int n, int isgn, float* a, std::size_t aLength, int* ip, std::size_t ipLength, float* w,
          std::size_t wLength);
void cdft(int n, int isgn, double* a, std::size_t aLength, int* ip, std::size_t ipLength, double* w,
          std::size_t wLength);
// The real transform of the time-stretch instance. Its tables differ from
// those of the double rdft above: never share ip/w between the two.
void RealFft(int n, int isgn, double* a, std::size_t aLength, int* ip, std::size_t ipLength, double* w,
             std::size_t wLength);

// Work arrays sized for real or complex transforms of up to maxLength
// values, with no table cached yet. The two variants lay out their tables
// differently, so the variant is part of the type: arrays filled by one
// variant must never be handed to the other. One object serves one thread
// at a time.
template <typename Real, Variant V = Variant::Current>
class WorkArrays {
 public:
  // Throws std::invalid_argument unless maxLength is a power of two >= 2.
  explicit WorkArrays(int maxLength);

  int maxLength() const { return maxLength_; }
  int* ip() { return ip_.data(); }
  Real* w() { return w_.data() + wOffset_; }
  std::size_t ipLength() const { return ip_.size(); }
  std::size_t wLength() const { return w_.size() - kTableAlignment / sizeof(Real); }
  // Drops the cached tables; the next transform rebuilds them.
  void forgetTables() { ip_[0] = 0; }

 private:
  // The tables start on a cache line: the kernels read them a 32-byte
  // vector at a time, and a vector split over two lines costs a second
  // access.
  static constexpr std::size_t kTableAlignment = 64;

  int maxLength_;
  std::vector<int> ip_;
  std::vector<Real> w_;
  std::size_t wOffset_;
};

void rdft(int n, int isgn, float* a, std::size_t aLength, WorkArrays<float>& work);
void rdft(int n, int isgn, double* a, std::size_t aLength, WorkArrays<double>& work);
void cdft(int n, int isgn, float* a, std::size_t aLength, WorkArrays<float>& work);
void cdft(int n, int isgn, double* a, std::size_t aLength, WorkArrays<double>& work);
void RealFft(int n, int isgn, double* a, std::size_t aLength, WorkArrays<double, Variant::Earlier>& work);

}  // namespace Fft
