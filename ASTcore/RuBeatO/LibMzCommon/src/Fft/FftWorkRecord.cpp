#include "FftWorkRecord.h"

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>

#include "FftKernelChoice.h"
#include "FftPackage.h"

namespace {

constexpr int kFixedSizes[] = {512, 1024, 2048, 4096, 8192};

void checkLength(const char* op, int n) {
  if (!Fft::isValidLength(n) || n > FftWorkRecord::kMaxLength) {
    throw std::invalid_argument(std::string(op) + ": n must be a power of two between 2 and 8192, got " +
                                std::to_string(n));
  }
}

void checkData(const char* op, const void* data) {
  if (!data) throw std::invalid_argument(std::string(op) + ": null array");
}

}  // namespace

FftWorkRecord::FftWorkRecord() { ip[0] = 0; }

void FftWorkRecord::sizeStep(int n) {
  for (int i = 0; i < 5; ++i) {
    if (n == kFixedSizes[i]) {
      if (!fixedSizeUsed[i]) {
        ip[0] = 0;
        fixedSizeUsed[i] = true;
      }
      return;
    }
  }
  if (!otherSizeUsed || lastOtherSize != n) {
    ip[0] = 0;
    otherSizeUsed = true;
    lastOtherSize = n;
  }
}

void FftWorkRecord::RealFftFloat(int n, int isgn, float* data) {
  checkLength("RealFftFloat", n);
  checkData("RealFftFloat", data);
  Fft::detail::convertValuesChosen(n, data, a);
  sizeStep(n);
  Fft::DoublePrecisionTimeStretch::rdft(n, isgn, a, ip, w);
  Fft::detail::convertValuesChosen(n, static_cast<const double*>(a), data);
}

void FftWorkRecord::RealFftDouble(int n, int isgn, double* data) {
  checkLength("RealFftDouble", n);
  checkData("RealFftDouble", data);
  std::copy(data, data + n, a);
  sizeStep(n);
  Fft::DoublePrecisionTimeStretch::rdft(n, isgn, a, ip, w);
  std::copy(a, a + n, data);
}

void FftWorkRecord::RealFft512(int isgn) { RealFftAnySize(512, isgn); }
void FftWorkRecord::RealFft1024(int isgn) { RealFftAnySize(1024, isgn); }
void FftWorkRecord::RealFft2048(int isgn) { RealFftAnySize(2048, isgn); }
void FftWorkRecord::RealFft4096(int isgn) { RealFftAnySize(4096, isgn); }
void FftWorkRecord::RealFft8192(int isgn) { RealFftAnySize(8192, isgn); }

void FftWorkRecord::RealFftAnySize(int n, int isgn) {
  checkLength("RealFftAnySize", n);
  sizeStep(n);
  Fft::DoublePrecisionTimeStretch::rdft(n, isgn, a, ip, w);
}

void FftWorkRecord::RealFft(int n, int isgn, double* data, int* ipArg, double* wArg) {
  checkLength("RealFft", n);
  checkData("RealFft", data);
  checkData("RealFft", ipArg);
  checkData("RealFft", wArg);
  Fft::RealFft(n, isgn, data, kMaxLength + 1, ipArg, sizeof ip / sizeof ip[0], wArg, sizeof w / sizeof w[0]);
}

FftWorkRecord& sharedFftWorkRecord() {
  // On the heap: the record is too large to sit in every thread's static
  // thread-local block.
  thread_local std::unique_ptr<FftWorkRecord> record;
  if (!record) record.reset(new FftWorkRecord);
  return *record;
}
