#include "TimeDomainStretch.h"

#include <algorithm>
#include <new>

namespace TimeDomainStretch {

void crossFade(const double* a, const double* b, std::int64_t n, double* out) {
  if (n <= 0) return;
  const double g = 1.0 / static_cast<double>(n);
  for (std::int64_t i = 0; i < n; ++i) {
    const double w = static_cast<double>(i) * g;
    out[i] = b[i] * w + a[i] * (1.0 - w);
  }
}

void repeatPeriod(const double* x, std::int64_t p, double* out) {
  if (p <= 0) return;
  std::copy(x, x + p, out);
  crossFade(x + p, x, p, out + p);
}

void dropPeriod(const double* x, std::int64_t p, double* out) { crossFade(x, x + p, p, out); }

void finishToLength(StretchedAudio& out, bool stereo, std::int64_t length) {
  if (length < 0) length = 0;
  try {
    out.left.resize(static_cast<std::size_t>(length), 0.0f);
    if (stereo) out.right.resize(static_cast<std::size_t>(length), 0.0f);
    else out.right.clear();
  } catch (const std::bad_alloc&) {
    throw -1;
  }
  out.produced = length;
}

}  // namespace TimeDomainStretch
