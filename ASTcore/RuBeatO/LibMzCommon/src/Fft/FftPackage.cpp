#include "FftPackage.h"

#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "FftKernelChoice.h"

namespace Fft {

// ---- Unchecked package ------------------------------------------------------

template <typename Real, Variant V>
void Package<Real, V>::makewt(int nw, int* ip, Real* w) {
  detail::makeTwiddleTable<Real, V>(nw, ip, w);
}

template <typename Real, Variant V>
void Package<Real, V>::makect(int nc, int* ip, Real* c) {
  detail::makeCosineTable(nc, ip, c);
}

template <typename Real, Variant V>
void Package<Real, V>::cdft(int n, int isgn, Real* a, int* ip, Real* w) {
  static_assert(V == Variant::Current, "the earlier variant has no complex transform");
  using Core = detail::Kernels<Real, V>;
  int nw = ip[0];
  if (n > (nw << 2)) {
    nw = n >> 2;
    makewt(nw, ip, w);
  }
  if (isgn >= 0) {
    Core::fftComplexForward(n, a, ip, nw, w);
  } else {
    Core::fftComplexBackward(n, a, ip, nw, w);
  }
}

template <typename Real, Variant V>
void Package<Real, V>::rdft(int n, int isgn, Real* a, int* ip, Real* w) {
  using Core = detail::Kernels<Real, V>;
  int nw = ip[0];
  if (n > (nw << 2)) {
    nw = n >> 2;
    makewt(nw, ip, w);
  }
  int nc = ip[1];
  if (n > (nc << 2)) {
    nc = n >> 2;
    makect(nc, ip, w + nw);
  }
  if (isgn >= 0) {
    if (n > 4) {
      Core::fftComplexForward(n, a, ip, nw, w);
      Core::fftRealPostForward(n, a, nc, w + nw);
    } else if (n == 4) {
      Core::fftComplexForward(n, a, ip, nw, w);
    }
    const Real d = a[0] - a[1];
    a[0] += a[1];
    a[1] = d;
  } else {
    a[1] = Real(0.5) * (a[0] - a[1]);
    a[0] -= a[1];
    if (n > 4) {
      Core::fftRealPreBackward(n, a, nc, w + nw);
      Core::fftComplexBackward(n, a, ip, nw, w);
    } else if (n == 4) {
      Core::fftComplexBackward(n, a, ip, nw, w);
    }
  }
}

template struct Package<float, Variant::Current>;
template struct Package<double, Variant::Current>;
// The earlier variant has only its real transform and the table builders.
template void Package<double, Variant::Earlier>::rdft(int, int, double*, int*, double*);
template void Package<double, Variant::Earlier>::makewt(int, int*, double*);
template void Package<double, Variant::Earlier>::makect(int, int*, double*);

// ---- Sizes --------------------------------------------------------------------

namespace {

constexpr int kMaxLength = 1 << 30;

bool isPowerOfTwo(std::int64_t v) { return v > 0 && (v & (v - 1)) == 0; }

}  // namespace

bool isValidLength(int n) { return n >= 2 && n <= kMaxLength && isPowerOfTwo(n); }

std::size_t ipLengthFor(int n) {
  if (n < 2) return 2;
  std::size_t root = static_cast<std::size_t>(std::sqrt(static_cast<double>(n / 2)));
  while (root * root < static_cast<std::size_t>(n / 2)) ++root;
  return 2 + root;
}

std::size_t rdftTableLengthFor(int n) { return n < 2 ? 0 : static_cast<std::size_t>(n / 2); }

std::size_t cdftTableLengthFor(int n) { return n < 4 ? 0 : static_cast<std::size_t>(n / 4); }

// ---- Checked entry points -----------------------------------------------------

namespace {

[[noreturn]] void refuse(const char* op, const std::string& why) {
  throw std::invalid_argument(std::string(op) + ": " + why);
}

// Verifies one call before any array is touched. `realTransform` adds the
// cosine table behind the complex one.
void checkCall(const char* op, int n, const void* a, std::size_t aLength, const int* ip,
               std::size_t ipLength, const void* w, std::size_t wLength, bool realTransform) {
  if (!isValidLength(n)) refuse(op, "n must be a power of two and at least 2, got " + std::to_string(n));
  if (!a || !ip || !w) refuse(op, "null array");
  if (aLength < static_cast<std::size_t>(n)) refuse(op, "data array shorter than n");
  if (ipLength < ipLengthFor(n)) refuse(op, "ip shorter than 2 + sqrt(n/2)");
  const std::size_t needW = realTransform ? rdftTableLengthFor(n) : cdftTableLengthFor(n);
  if (wLength < needW) refuse(op, "w shorter than the table of this length");

  // The sizes of the tables that the call will use, cached or rebuilt.
  const std::int64_t cachedNw = ip[0];
  if (cachedNw < 0 || (cachedNw != 0 && !isPowerOfTwo(cachedNw))) {
    refuse(op, "ip[0] holds no table size (set ip[0] = 0 before the first call)");
  }
  std::int64_t nw = cachedNw;
  std::int64_t nc = 1;
  if (n > 4 * nw) {
    nw = n / 4;
  } else if (realTransform) {
    nc = ip[1];
    if (!isPowerOfTwo(nc)) refuse(op, "ip[1] holds no table size (set ip[0] = 0 to rebuild)");
  }
  std::int64_t used = nw;
  if (realTransform && n > 4) {
    if (n > 4 * nc) nc = n / 4;
    used += nc;
  }
  if (static_cast<std::uint64_t>(used) > wLength) {
    refuse(op, "the tables cached in ip/w need more of w than it holds");
  }
}

template <typename Package, typename Real>
void checkedReal(const char* op, int n, int isgn, Real* a, std::size_t aLength, int* ip,
                 std::size_t ipLength, Real* w, std::size_t wLength) {
  checkCall(op, n, a, aLength, ip, ipLength, w, wLength, true);
  Package::rdft(n, isgn, a, ip, w);
}

template <typename Package, typename Real>
void checkedComplex(const char* op, int n, int isgn, Real* a, std::size_t aLength, int* ip,
                    std::size_t ipLength, Real* w, std::size_t wLength) {
  checkCall(op, n, a, aLength, ip, ipLength, w, wLength, false);
  Package::cdft(n, isgn, a, ip, w);
}

}  // namespace

void rdft(int n, int isgn, float* a, std::size_t aLength, int* ip, std::size_t ipLength, float* w,
          std::size_t wLength) {
  checkedReal<SinglePrecision>("rdft", n, isgn, a, aLength, ip, ipLength, w, wLength);
}

void rdft(int n, int isgn, double* a, std::size_t aLength, int* ip, std::size_t ipLength, double* w,
          std::size_t wLength) {
  checkedReal<DoublePrecisionSync>("rdft", n, isgn, a, aLength, ip, ipLength, w, wLength);
}

void cdft(int n, int isgn, float* a, std::size_t aLength, int* ip, std::size_t ipLength, float* w,
          std::size_t wLength) {
  checkedComplex<SinglePrecision>("cdft", n, isgn, a, aLength, ip, ipLength, w, wLength);
}

void cdft(int n, int isgn, double* a, std::size_t aLength, int* ip, std::size_t ipLength, double* w,
          std::size_t wLength) {
  checkedComplex<DoublePrecisionSync>("cdft", n, isgn, a, aLength, ip, ipLength, w, wLength);
}

void RealFft(int n, int isgn, double* a, std::size_t aLength, int* ip, std::size_t ipLength, double* w,
             std::size_t wLength) {
  checkedReal<DoublePrecisionTimeStretch>("RealFft", n, isgn, a, aLength, ip, ipLength, w, wLength);
}

// ---- Work arrays ----------------------------------------------------------------

template <typename Real, Variant V>
WorkArrays<Real, V>::WorkArrays(int maxLength)
    : maxLength_(maxLength),
      ip_(isValidLength(maxLength) ? ipLengthFor(maxLength)
                                   : throw std::invalid_argument(
                                         "WorkArrays: maxLength must be a power of two and at least 2"),
          0),
      w_(rdftTableLengthFor(maxLength) + kTableAlignment / sizeof(Real), Real(0)),
      wOffset_((kTableAlignment - reinterpret_cast<std::uintptr_t>(w_.data()) % kTableAlignment) %
               kTableAlignment / sizeof(Real)) {}

template class WorkArrays<float, Variant::Current>;
template class WorkArrays<double, Variant::Current>;
template class WorkArrays<double, Variant::Earlier>;

void rdft(int n, int isgn, float* a, std::size_t aLength, WorkArrays<float>& work) {
  rdft(n, isgn, a, aLength, work.ip(), work.ipLength(), work.w(), work.wLength());
}

void rdft(int n, int isgn, double* a, std::size_t aLength, WorkArrays<double>& work) {
  rdft(n, isgn, a, aLength, work.ip(), work.ipLength(), work.w(), work.wLength());
}

void cdft(int n, int isgn, float* a, std::size_t aLength, WorkArrays<float>& work) {
  cdft(n, isgn, a, aLength, work.ip(), work.ipLength(), work.w(), work.wLength());
}

void cdft(int n, int isgn, double* a, std::size_t aLength, WorkArrays<double>& work) {
  cdft(n, isgn, a, aLength, work.ip(), work.ipLength(), work.w(), work.wLength());
}

void RealFft(int n, int isgn, double* a, std::size_t aLength, WorkArrays<double, Variant::Earlier>& work) {
  RealFft(n, isgn, a, aLength, work.ip(), work.ipLength(), work.w(), work.wLength());
}

}  // namespace Fft
