#include "FftTrigTransforms.h"

#include <cstdint>
#include <stdexcept>
#include <string>

#include "FftKernelChoice.h"
#include "FftPackage.h"

namespace Fft {

namespace {

template <typename Real>
using CoreOf = detail::Kernels<Real, Variant::Current>;

// Pre-twiddle of the cosine transforms (also undoes itself with the
// conjugate loop of the sine version).
template <typename Real>
void fftCosinePost(int n, Real* a, int nc, const Real* c) {
  const int m = n >> 1;
  const int ks = nc / n;
  int kk = 0;
  for (int j = 1; j < m; ++j) {
    const int k = n - j;
    kk += ks;
    const Real wkr = c[kk] - c[nc - kk];
    const Real wki = c[kk] + c[nc - kk];
    const Real xr = wki * a[j] - wkr * a[k];
    a[j] = wkr * a[j] + wki * a[k];
    a[k] = xr;
  }
  a[m] *= c[0];
}

template <typename Real>
void fftSinePost(int n, Real* a, int nc, const Real* c) {
  const int m = n >> 1;
  const int ks = nc / n;
  int kk = 0;
  for (int j = 1; j < m; ++j) {
    const int k = n - j;
    kk += ks;
    const Real wkr = c[kk] - c[nc - kk];
    const Real wki = c[kk] + c[nc - kk];
    const Real xr = wki * a[k] - wkr * a[j];
    a[k] = wkr * a[k] + wki * a[j];
    a[j] = xr;
  }
  a[m] *= c[0];
}

// The forward real transform of n values without its DC/Nyquist step.
template <typename Real>
void realForwardCore(int n, Real* a, int* ip, int nw, Real* w, int nc) {
  if (n > 4) {
    CoreOf<Real>::fftComplexForward(n, a, ip, nw, w);
    CoreOf<Real>::fftRealPostForward(n, a, nc, w + nw);
  } else if (n == 4) {
    CoreOf<Real>::fftComplexForward(n, a, ip, nw, w);
  }
}

template <typename Real>
void realBackwardCore(int n, Real* a, int* ip, int nw, Real* w, int nc) {
  if (n > 4) {
    CoreOf<Real>::fftRealPreBackward(n, a, nc, w + nw);
    CoreOf<Real>::fftComplexBackward(n, a, ip, nw, w);
  } else if (n == 4) {
    CoreOf<Real>::fftComplexBackward(n, a, ip, nw, w);
  }
}

// Tables of ddct/ddst: complex table n/4, cosine table n.
template <typename Real>
void quarterTables(int n, int* ip, Real* w, int& nw, int& nc) {
  nw = ip[0];
  if (n > (nw << 2)) {
    nw = n >> 2;
    Package<Real>::makewt(nw, ip, w);
  }
  nc = ip[1];
  if (n > nc) {
    nc = n;
    Package<Real>::makect(nc, ip, w + nw);
  }
}

// Tables of dfct/dfst: complex table n/8, cosine table n/2.
template <typename Real>
void eighthTables(int n, int* ip, Real* w, int& nw, int& nc) {
  nw = ip[0];
  if (n > (nw << 3)) {
    nw = n >> 3;
    Package<Real>::makewt(nw, ip, w);
  }
  nc = ip[1];
  if (n > (nc << 1)) {
    nc = n >> 1;
    Package<Real>::makect(nc, ip, w + nw);
  }
}

}  // namespace

template <typename Real>
void TrigTransforms<Real>::ddct(int n, int isgn, Real* a, int* ip, Real* w) {
  int nw = 0, nc = 0;
  quarterTables(n, ip, w, nw, nc);
  if (isgn < 0) {
    const Real xr = a[n - 1];
    for (int j = n - 2; j >= 2; j -= 2) {
      a[j + 1] = a[j] - a[j - 1];
      a[j] += a[j - 1];
    }
    a[1] = a[0] - xr;
    a[0] += xr;
    realBackwardCore(n, a, ip, nw, w, nc);
  }
  fftCosinePost(n, a, nc, w + nw);
  if (isgn >= 0) {
    realForwardCore(n, a, ip, nw, w, nc);
    const Real xr = a[0] - a[1];
    a[0] += a[1];
    for (int j = 2; j < n; j += 2) {
      a[j - 1] = a[j] - a[j + 1];
      a[j] += a[j + 1];
    }
    a[n - 1] = xr;
  }
}

template <typename Real>
void TrigTransforms<Real>::ddst(int n, int isgn, Real* a, int* ip, Real* w) {
  int nw = 0, nc = 0;
  quarterTables(n, ip, w, nw, nc);
  if (isgn < 0) {
    const Real xr = a[n - 1];
    for (int j = n - 2; j >= 2; j -= 2) {
      a[j + 1] = -a[j] - a[j - 1];
      a[j] -= a[j - 1];
    }
    a[1] = a[0] + xr;
    a[0] -= xr;
    realBackwardCore(n, a, ip, nw, w, nc);
  }
  fftSinePost(n, a, nc, w + nw);
  if (isgn >= 0) {
    realForwardCore(n, a, ip, nw, w, nc);
    const Real xr = a[0] - a[1];
    a[0] += a[1];
    for (int j = 2; j < n; j += 2) {
      a[j - 1] = -a[j] - a[j + 1];
      a[j] -= a[j + 1];
    }
    a[n - 1] = -xr;
  }
}

template <typename Real>
void TrigTransforms<Real>::dfct(int n, Real* a, Real* t, int* ip, Real* w) {
  int nw = 0, nc = 0;
  eighthTables(n, ip, w, nw, nc);
  int m = n >> 1;
  Real yi = a[m];
  Real xi = a[0] + a[n];
  a[0] -= a[n];
  t[0] = xi - yi;
  t[m] = xi + yi;
  if (n > 2) {
    int mh = m >> 1;
    for (int j = 1; j < mh; ++j) {
      const int k = m - j;
      const Real xr = a[j] - a[n - j];
      xi = a[j] + a[n - j];
      const Real yr = a[k] - a[n - k];
      yi = a[k] + a[n - k];
      a[j] = xr;
      a[k] = yr;
      t[j] = xi - yi;
      t[k] = xi + yi;
    }
    t[mh] = a[mh] + a[n - mh];
    a[mh] -= a[n - mh];
    fftCosinePost(m, a, nc, w + nw);
    realForwardCore(m, a, ip, nw, w, nc);
    a[n - 1] = a[0] - a[1];
    a[1] = a[0] + a[1];
    for (int j = m - 2; j >= 2; j -= 2) {
      a[2 * j + 1] = a[j] + a[j + 1];
      a[2 * j - 1] = a[j] - a[j + 1];
    }
    int l = 2;
    m = mh;
    while (m >= 2) {
      fftCosinePost(m, t, nc, w + nw);
      realForwardCore(m, t, ip, nw, w, nc);
      a[n - l] = t[0] - t[1];
      a[l] = t[0] + t[1];
      int k = 0;
      for (int j = 2; j < m; j += 2) {
        k += l << 2;
        a[k - l] = t[j] - t[j + 1];
        a[k + l] = t[j] + t[j + 1];
      }
      l <<= 1;
      mh = m >> 1;
      for (int j = 0; j < mh; ++j) {
        k = m - j;
        t[j] = t[m + k] - t[m + j];
        t[k] = t[m + k] + t[m + j];
      }
      t[mh] = t[m + mh];
      m = mh;
    }
    a[l] = t[0];
    a[n] = t[2] - t[1];
    a[0] = t[2] + t[1];
  } else {
    a[1] = a[0];
    a[2] = t[0];
    a[0] = t[1];
  }
}

template <typename Real>
void TrigTransforms<Real>::dfst(int n, Real* a, Real* t, int* ip, Real* w) {
  int nw = 0, nc = 0;
  eighthTables(n, ip, w, nw, nc);
  if (n > 2) {
    int m = n >> 1;
    int mh = m >> 1;
    for (int j = 1; j < mh; ++j) {
      const int k = m - j;
      const Real xr = a[j] + a[n - j];
      const Real xi = a[j] - a[n - j];
      const Real yr = a[k] + a[n - k];
      const Real yi = a[k] - a[n - k];
      a[j] = xr;
      a[k] = yr;
      t[j] = xi + yi;
      t[k] = xi - yi;
    }
    t[0] = a[mh] - a[n - mh];
    a[mh] += a[n - mh];
    a[0] = a[m];
    fftSinePost(m, a, nc, w + nw);
    realForwardCore(m, a, ip, nw, w, nc);
    a[n - 1] = a[1] - a[0];
    a[1] = a[0] + a[1];
    for (int j = m - 2; j >= 2; j -= 2) {
      a[2 * j + 1] = a[j] - a[j + 1];
      a[2 * j - 1] = -a[j] - a[j + 1];
    }
    int l = 2;
    m = mh;
    while (m >= 2) {
      fftSinePost(m, t, nc, w + nw);
      realForwardCore(m, t, ip, nw, w, nc);
      a[n - l] = t[1] - t[0];
      a[l] = t[0] + t[1];
      int k = 0;
      for (int j = 2; j < m; j += 2) {
        k += l << 2;
        a[k - l] = -t[j] - t[j + 1];
        a[k + l] = t[j] - t[j + 1];
      }
      l <<= 1;
      mh = m >> 1;
      for (int j = 1; j < mh; ++j) {
        k = m - j;
        t[j] = t[m + k] + t[m + j];
        t[k] = t[m + k] - t[m + j];
      }
      t[0] = t[m + mh];
      m = mh;
    }
    a[l] = t[0];
  }
  a[0] = 0;
}

template struct TrigTransforms<float>;
template struct TrigTransforms<double>;

// ---- Checked entry points ---------------------------------------------------

namespace {

bool isPowerOfTwo(std::int64_t v) { return v > 0 && (v & (v - 1)) == 0; }

[[noreturn]] void refuse(const char* op, const std::string& why) {
  throw std::invalid_argument(std::string(op) + ": " + why);
}

// `eighth` selects the table sizes of dfct/dfst (n/8 and n/2) over those of
// ddct/ddst (n/4 and n). aNeed and tNeed are the data and work lengths.
void checkCall(const char* op, int n, bool eighth, const void* a, std::size_t aLength, std::size_t aNeed,
               const void* t, std::size_t tLength, std::size_t tNeed, const int* ip, std::size_t ipLength,
               const void* w, std::size_t wLength) {
  if (!isValidLength(n)) refuse(op, "n must be a power of two and at least 2, got " + std::to_string(n));
  if (!a || !ip || !w || (tNeed > 0 && !t)) refuse(op, "null array");
  if (aLength < aNeed) refuse(op, "data array too short");
  if (tLength < tNeed) refuse(op, "work array t too short");
  const int ipSize = eighth ? n / 2 : n;
  if (ipLength < ipLengthFor(ipSize)) refuse(op, "ip too short");

  const std::int64_t cachedNw = ip[0];
  if (cachedNw < 0 || (cachedNw != 0 && !isPowerOfTwo(cachedNw))) {
    refuse(op, "ip[0] holds no table size (set ip[0] = 0 before the first call)");
  }
  const std::int64_t nwFactor = eighth ? 8 : 4;
  std::int64_t nw = cachedNw;
  std::int64_t nc = 1;
  if (n > nwFactor * nw) {
    nw = n / nwFactor;
  } else {
    // Cached tables: the bit-reversal indices of that size live in ip too.
    if (ipLength < ipLengthFor(static_cast<int>(4 * cachedNw))) refuse(op, "ip shorter than its cached table");
    nc = ip[1];
    if (!isPowerOfTwo(nc)) refuse(op, "ip[1] holds no table size (set ip[0] = 0 to rebuild)");
  }
  const std::int64_t wantNc = eighth ? n / 2 : n;
  if (nc < wantNc) nc = wantNc;
  if (static_cast<std::uint64_t>(nw + nc) > wLength) refuse(op, "w too short for the tables");
}

}  // namespace

#define FFT_CHECKED_QUARTER(op, Real)                                                                  \
  void op(int n, int isgn, Real* a, std::size_t aLength, int* ip, std::size_t ipLength, Real* w,     \
          std::size_t wLength) {                                                                      \
    checkCall(#op, n, false, a, aLength, static_cast<std::size_t>(n < 0 ? 0 : n),                    \
              nullptr, 0, 0, ip, ipLength, w, wLength);                                               \
    TrigTransforms<Real>::op(n, isgn, a, ip, w);                                                      \
  }

FFT_CHECKED_QUARTER(ddct, float)
FFT_CHECKED_QUARTER(ddct, double)
FFT_CHECKED_QUARTER(ddst, float)
FFT_CHECKED_QUARTER(ddst, double)

#undef FFT_CHECKED_QUARTER

void dfct(int n, float* a, std::size_t aLength, float* t, std::size_t tLength, int* ip, std::size_t ipLength,
          float* w, std::size_t wLength) {
  checkCall("dfct", n, true, a, aLength, static_cast<std::size_t>(n < 0 ? 0 : n) + 1, t, tLength,
            static_cast<std::size_t>(n < 0 ? 0 : n / 2) + 1, ip, ipLength, w, wLength);
  TrigTransforms<float>::dfct(n, a, t, ip, w);
}

void dfct(int n, double* a, std::size_t aLength, double* t, std::size_t tLength, int* ip,
          std::size_t ipLength, double* w, std::size_t wLength) {
  checkCall("dfct", n, true, a, aLength, static_cast<std::size_t>(n < 0 ? 0 : n) + 1, t, tLength,
            static_cast<std::size_t>(n < 0 ? 0 : n / 2) + 1, ip, ipLength, w, wLength);
  TrigTransforms<double>::dfct(n, a, t, ip, w);
}

void dfst(int n, float* a, std::size_t aLength, float* t, std::size_t tLength, int* ip, std::size_t ipLength,
          float* w, std::size_t wLength) {
  checkCall("dfst", n, true, a, aLength, static_cast<std::size_t>(n < 0 ? 0 : n), t, tLength,
            static_cast<std::size_t>(n < 0 ? 0 : n / 2), ip, ipLength, w, wLength);
  TrigTransforms<float>::dfst(n, a, t, ip, w);
}

void dfst(int n, double* a, std::size_t aLength, double* t, std::size_t tLength, int* ip,
          std::size_t ipLength, double* w, std::size_t wLength) {
  checkCall("dfst", n, true, a, aLength, static_cast<std::size_t>(n < 0 ? 0 : n), t, tLength,
            static_cast<std::size_t>(n < 0 ? 0 : n / 2), ip, ipLength, w, wLength);
  TrigTransforms<double>::dfst(n, a, t, ip, w);
}

}  // namespace Fft
