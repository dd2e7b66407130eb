#include "CFft.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

#include "Fft/FftPackage.h"

namespace {

// Five float buffers of 2n values, each aligned to 16 bytes so that the
// windowing and doubling loops can run four samples at a time.
class CFftBuffers {
 public:
  static constexpr int kCount = 5;

  explicit CFftBuffers(std::uint64_t n) {
    const std::uint64_t m = 2 * n;
    for (int i = 0; i < kCount; ++i) {
      Buffer& b = buffers_[i];
      b.raw = std::malloc(static_cast<std::size_t>(m * sizeof(float) + 60));
      if (!b.raw) {
        release();
        throw std::bad_alloc();
      }
      b.count = m;
      const std::uintptr_t addr = reinterpret_cast<std::uintptr_t>(b.raw);
      b.aligned = reinterpret_cast<float*>((addr + 15) & ~static_cast<std::uintptr_t>(15));
    }
  }
  ~CFftBuffers() { release(); }
  CFftBuffers(const CFftBuffers&) = delete;
  CFftBuffers& operator=(const CFftBuffers&) = delete;

  float* get(int i) const { return buffers_[i].aligned; }
  std::uint64_t count(int i) const { return buffers_[i].count; }

 private:
  struct Buffer {
    void* raw = nullptr;
    std::uint64_t count = 0;
    float* aligned = nullptr;
  };

  void release() {
    for (int i = kCount - 1; i >= 0; --i) {
      std::free(buffers_[i].raw);
      buffers_[i].raw = nullptr;
    }
  }

  Buffer buffers_[kCount];
};

bool isPowerOfTwoOfAtLeastTwo(std::uint64_t n) { return n >= 2 && (n & (n - 1)) == 0; }

}  // namespace

class CFftImpl {
 public:
  CFftImpl(std::uint64_t n_, std::uint64_t hop_)
      : buffers(n_),
        n(n_),
        hop(hop_),
        window(buffers.get(2)),
        work(buffers.get(0)),
        w(buffers.get(4)),
        wLength(5 * n_ / 4),
        ip(nullptr),
        ipLength(static_cast<std::uint64_t>(std::sqrt(static_cast<float>(n_)) + 2.0f)) {
    for (std::uint64_t k = 0; k < n; ++k) window[k] = 1.0f;
    ip = new int[ipLength];
    ip[0] = 0;
    ip[1] = 0;
  }
  ~CFftImpl() { delete[] ip; }
  CFftImpl(const CFftImpl&) = delete;
  CFftImpl& operator=(const CFftImpl&) = delete;

  CFftBuffers buffers;
  std::uint64_t n;
  std::uint64_t hop;
  float* window;
  float* work;
  float* w;
  std::uint64_t wLength;
  int* ip;
  std::uint64_t ipLength;
};

CFft::CFft(std::uint64_t n, std::uint64_t hop) : impl_(nullptr) {
  // The package's sizes are int; larger transforms would not fit its tables.
  if (!isPowerOfTwoOfAtLeastTwo(n) || n > (1u << 30)) {
    throw std::invalid_argument("CFft: transform size must be a power of two of at least 2");
  }
  impl_ = new CFftImpl(n, hop);
}

CFft::~CFft() { delete impl_; }

std::int32_t CFft::MakeWindow(std::uint64_t length, std::uint32_t type) {
  if (type > BartlettHann) return -1;
  if (length > impl_->buffers.count(2)) {
    throw std::out_of_range("CFft::MakeWindow: window longer than the window buffer");
  }
  float* win = impl_->window;
  if (length == 1) {
    // One sample has no shape; the formulas would divide by zero.
    win[0] = 1.0f;
    return 0;
  }
  const double twoPi = 6.283185307179586;
  const double fourPi = 12.566370614359172;
  const float d = static_cast<float>(length - 1);
  for (std::uint64_t i = 0; i < length; ++i) {
    const float fi = static_cast<float>(i);
    double v = 0.0;
    switch (type) {
      case Hamming:
        v = 0.54 - 0.46 * std::cos(twoPi * fi / d);
        break;
      case Hann:
        v = 0.5 - 0.5 * std::cos(twoPi * fi / d);
        break;
      case Blackman:
        v = 0.42 - 0.5 * std::cos(twoPi * fi / d) + 0.08 * std::cos(fourPi * fi / d);
        break;
      default: {
        const float x = fi / d - 0.5f;
        v = 0.62 - 0.48 * std::fabs(x) + 0.38 * std::cos(6.28318 * x);
        break;
      }
    }
    win[i] = static_cast<float>(v);
  }
  return 0;
}

void CFft::Transform(const float* in, std::uint64_t len, std::int32_t direction, bool applyWindow,
                     std::int32_t stride) {
  if (stride < 1) throw std::invalid_argument("CFft::Transform: stride must be positive");
  if (!in && len > 0) throw std::invalid_argument("CFft::Transform: null input");
  const std::uint64_t n = impl_->n;
  float* work = impl_->work;
  std::memset(work, 0, static_cast<std::size_t>(impl_->buffers.count(0)) * sizeof(float));

  const std::uint64_t step = static_cast<std::uint64_t>(stride);
  if (n * step <= len) {
    for (std::uint64_t k = 0; k < n; ++k) work[k] = in[k * step];
  } else {
    // A short input is zero-padded.
    for (std::uint64_t k = 0, i = 0; i < len; ++k, i += step) work[k] = in[i];
  }
  if (applyWindow) {
    const float* win = impl_->window;
    for (std::uint64_t k = 0; k < n; ++k) work[k] *= win[k];
  }
  const int isgn = direction == -1 ? 1 : -1;
  for (std::uint64_t k = 0; k < n; ++k) work[k] *= 2.0f;
  Fft::rdft(static_cast<int>(n), isgn, work, static_cast<std::size_t>(impl_->buffers.count(0)), impl_->ip,
            static_cast<std::size_t>(impl_->ipLength), impl_->w,
            static_cast<std::size_t>(impl_->buffers.count(4)));
}

void CFft::GetMagnitude(float* out) const {
  if (!out) return;
  const std::uint64_t half = impl_->n / 2;
  const float* work = impl_->work;
  out[0] = std::fabs(work[0]);
  for (std::uint64_t k = 1; k < half; ++k) {
    const float re = work[2 * k];
    const float im = work[2 * k + 1];
    out[k] = std::sqrt(re * re + im * im);
  }
}

void CFft::ComputeMagnitude(float* out, const float* in, std::uint64_t len, std::int32_t direction,
                            bool applyWindow, std::int32_t stride) {
  Transform(in, len, direction, applyWindow, stride);
  GetMagnitude(out);
}

void CFft::Spectrogram(std::vector<std::vector<float>>& out, const float* in, std::uint64_t len) {
  const std::uint64_t n = impl_->n;
  const std::uint64_t hop = impl_->hop;
  if (hop == 0) throw std::invalid_argument("CFft::Spectrogram: hop must be positive");
  if (!in && len > 0) throw std::invalid_argument("CFft::Spectrogram: null input");
  MakeWindow(n, Hamming);
  if (len == 0) return;

  std::uint64_t frames = 1;
  if (len > n) {
    frames += static_cast<std::uint64_t>(std::ceil(static_cast<float>(len - n) / static_cast<float>(hop)));
  }
  std::vector<float> frame(static_cast<std::size_t>(n));
  for (std::uint64_t f = 0; f < frames; ++f) {
    const std::uint64_t start = f * hop;
    for (std::uint64_t k = 0; k < n; ++k) {
      frame[k] = start + k < len ? in[start + k] : 0.0f;
    }
    Transform(frame.data(), n, -1, true, 1);
    out.emplace_back(static_cast<std::size_t>(n / 2));
    GetMagnitude(out.back().data());
  }
}

std::uint64_t CFft::GetSize() const { return impl_->n; }

std::uint64_t CFft::GetHop() const { return impl_->hop; }

float CFft::GetFloatValue() const { return 0.0f; }
