// The time-stretch engine's real FFT service: a record that holds the
// package's work arrays (time-stretch instance) and a data buffer for
// transforms of up to 8192 values.
//
// Transforms are in place and unscaled, in the packed layout of rdft
// (a[0] = DC, a[1] = Nyquist, a[2k] / a[2k+1] = cosine / sine sums); isgn >= 0
// is forward, isgn < 0 backward. Cached tables are dropped at the record's
// first use of each of the sizes 512, 1024, 2048, 4096 and 8192, and whenever
// any other size differs from the previous such size; otherwise they are
// reused (the package enlarges them by itself when a larger size comes).
//
// A record and its first-use state belong to one thread at a time: each
// thread has its own shared record, and a caller may own further records.
// Every entry throws std::invalid_argument, touching nothing, for n that is
// no power of two between 2 and 8192 or a null array.

#pragma once

#include <cstdint>

class FftWorkRecord {
 public:
  static constexpr int kMaxLength = 8192;

  // Leaves no table cached (ip[0] = 0).
  FftWorkRecord();
  ~FftWorkRecord() {}

  // data[0 .. n-1] converted to double, transformed, rounded back to float.
  void RealFftFloat(int n, int isgn, float* data);
  // The same on doubles.
  void RealFftDouble(int n, int isgn, double* data);

  // Transforms of the record's own buffer a[0 .. size-1].
  void RealFft512(int isgn);
  void RealFft1024(int isgn);
  void RealFft2048(int isgn);
  void RealFft4096(int isgn);
  void RealFft8192(int isgn);
  void RealFftAnySize(int n, int isgn);

  // The package's real transform (time-stretch instance) with no size step;
  // a, ip and w must be at least as long as the record's own arrays.
  void RealFft(int n, int isgn, double* a, int* ip, double* w);

  // Table sizes and bit-reversal scratch, data buffer, table area.
  std::int32_t ip[66];
  alignas(64) double a[kMaxLength + 1];
  alignas(64) double w[kMaxLength * 5 / 4];

 private:
  void sizeStep(int n);

  // First-use state of the size step: one flag per fixed size, and the last
  // other size used.
  bool fixedSizeUsed[5] = {false, false, false, false, false};
  bool otherSizeUsed = false;
  int lastOtherSize = 0;
};

// The calling thread's record, shared by every caller of the time-stretch
// engine on that thread; made on the thread's first call and released when
// the thread ends. Transforms on two threads never share a record.
FftWorkRecord& sharedFftWorkRecord();
