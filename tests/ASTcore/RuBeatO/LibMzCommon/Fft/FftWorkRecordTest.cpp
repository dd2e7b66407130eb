// The time-stretch engine's FFT record: results against a direct DFT, the
// float round trip, when its cached tables are thrown away, and that threads
// transforming at once do not share a record.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

#include "Fft/FftWorkRecord.h"

namespace {

const long double kPi = 3.14159265358979323846264338327950288L;

template <typename Real>
std::vector<Real> randomSignal(int n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  std::vector<Real> x(n);
  for (auto& v : x) v = static_cast<Real>(dist(gen));
  return x;
}

// Forward real DFT in the packed layout (positive sine sums).
template <typename Real>
std::vector<long double> naiveForward(const std::vector<Real>& x) {
  const int n = static_cast<int>(x.size());
  std::vector<long double> c(n), s(n);
  for (int t = 0; t < n; ++t) {
    c[t] = std::cos(2 * kPi * t / n);
    s[t] = std::sin(2 * kPi * t / n);
  }
  std::vector<long double> out(n);
  for (int k = 0; k <= n / 2; ++k) {
    long double re = 0, im = 0;
    for (int j = 0; j < n; ++j) {
      const int idx = static_cast<int>((static_cast<long long>(j) * k) % n);
      re += x[j] * c[idx];
      im += x[j] * s[idx];
    }
    if (k == 0) {
      out[0] = re;
    } else if (k == n / 2) {
      out[1] = re;
    } else {
      out[2 * k] = re;
      out[2 * k + 1] = im;
    }
  }
  return out;
}

template <typename Real>
double relativeError(const std::vector<Real>& got, const std::vector<long double>& ref) {
  long double err = 0, norm = 0;
  for (std::size_t i = 0; i < ref.size(); ++i) {
    const long double d = got[i] - ref[i];
    err += d * d;
    norm += ref[i] * ref[i];
  }
  return static_cast<double>(std::sqrt(err / norm));
}

// Spoils every cached table entry: a transform that reuses the tables then
// yields NaN, one that rebuilds them is exact.
void poisonTables(FftWorkRecord& record) {
  const int used = record.ip[0] + record.ip[1];
  for (int i = 0; i < used; ++i) record.w[i] = std::numeric_limits<double>::quiet_NaN();
}

bool anyNaN(const std::vector<float>& v) {
  for (float x : v)
    if (std::isnan(x)) return true;
  return false;
}

// One forward float transform of a fresh random frame through the record:
// true when it matches the direct DFT, false when it came out as NaN.
bool transformIsExact(FftWorkRecord& record, int n, unsigned seed) {
  const auto x = randomSignal<float>(n, seed);
  auto data = x;
  record.RealFftFloat(n, 1, data.data());
  if (anyNaN(data)) return false;
  EXPECT_LT(relativeError(data, naiveForward(x)), 1e-6) << "n " << n;
  return true;
}

TEST(FftWorkRecord, FloatTransformIsTheDoubleResultRoundedToFloat) {
  FftWorkRecord& record = sharedFftWorkRecord();
  for (int n : {2, 4, 8, 16, 64, 8192}) {
    const auto x = randomSignal<float>(n, 10 + n);
    // One guard value on each side: nothing outside data[0 .. n-1] is written.
    std::vector<float> data(n + 2, 7.0f);
    std::copy(x.begin(), x.end(), data.begin() + 1);
    record.RealFftFloat(n, 1, data.data() + 1);
    EXPECT_EQ(data.front(), 7.0f);
    EXPECT_EQ(data.back(), 7.0f);
    std::vector<double> wide(x.begin(), x.end());
    record.RealFftDouble(n, 1, wide.data());
    for (int i = 0; i < n; ++i) EXPECT_EQ(data[i + 1], static_cast<float>(wide[i])) << "n " << n << " i " << i;
    EXPECT_LT(relativeError(wide, naiveForward(x)), 1e-13) << "n " << n;
  }
}

TEST(FftWorkRecord, ForwardThenBackwardGivesHalfTheLengthTimesTheFrame) {
  FftWorkRecord& record = sharedFftWorkRecord();
  for (int n : {4, 32, 128, 8192}) {
    const auto x = randomSignal<float>(n, 20 + n);
    auto data = x;
    record.RealFftFloat(n, 1, data.data());
    record.RealFftFloat(n, -1, data.data());
    for (int i = 0; i < n; ++i) EXPECT_NEAR(data[i], x[i] * (n / 2), 1e-5 * n) << "n " << n << " i " << i;

    const auto y = randomSignal<double>(n, 30 + n);
    auto d = y;
    record.RealFftDouble(n, 1, d.data());
    EXPECT_LT(relativeError(d, naiveForward(y)), 1e-13);
    record.RealFftDouble(n, -1, d.data());
    for (int i = 0; i < n; ++i) EXPECT_NEAR(d[i], y[i] * (n / 2), 1e-11 * n);
  }
}

TEST(FftWorkRecord, FixedSizeEntriesTransformTheRecordsOwnBuffer) {
  FftWorkRecord& record = sharedFftWorkRecord();
  const auto x = randomSignal<double>(8192, 40);
  std::copy(x.begin(), x.end(), record.a);
  record.RealFft8192(1);
  EXPECT_LT(relativeError(std::vector<double>(record.a, record.a + 8192), naiveForward(x)), 1e-13);

  const auto y = randomSignal<double>(64, 41);
  std::copy(y.begin(), y.end(), record.a);
  record.RealFftAnySize(64, 1);
  EXPECT_LT(relativeError(std::vector<double>(record.a, record.a + 64), naiveForward(y)), 1e-13);
}

TEST(FftWorkRecord, FirstUseOfEachFixedSizeDropsTheTablesLaterUsesKeepThem) {
  auto owned = std::make_unique<FftWorkRecord>();
  FftWorkRecord& record = *owned;
  EXPECT_TRUE(transformIsExact(record, 4096, 1));
  EXPECT_EQ(record.ip[0], 1024);
  poisonTables(record);
  EXPECT_FALSE(transformIsExact(record, 4096, 2));  // kept
  // First use of 2048: rebuilt even though the cached tables would serve it.
  poisonTables(record);
  EXPECT_TRUE(transformIsExact(record, 2048, 3));
  EXPECT_EQ(record.ip[0], 512);
  poisonTables(record);
  EXPECT_FALSE(transformIsExact(record, 2048, 4));  // kept
  // 4096 again: its flag is set, but the tables are too small, so the
  // package itself rebuilds them.
  EXPECT_TRUE(transformIsExact(record, 4096, 5));
  EXPECT_EQ(record.ip[0], 1024);
}

TEST(FftWorkRecord, OtherSizesDropTheTablesWheneverTheSizeChanges) {
  auto owned = std::make_unique<FftWorkRecord>();
  FftWorkRecord& record = *owned;
  EXPECT_TRUE(transformIsExact(record, 256, 1));
  EXPECT_EQ(record.ip[0], 64);
  poisonTables(record);
  EXPECT_FALSE(transformIsExact(record, 256, 2));  // same size: kept
  poisonTables(record);
  EXPECT_TRUE(transformIsExact(record, 128, 3));  // smaller, but a change: rebuilt
  EXPECT_EQ(record.ip[0], 32);
  poisonTables(record);
  EXPECT_TRUE(transformIsExact(record, 256, 4));  // changed back: rebuilt
  EXPECT_EQ(record.ip[0], 64);
}

TEST(FftWorkRecord, TwoThreadsTransformingDifferentSizesAtOnceEachGetTheirOwnResult) {
  // Expected spectra from a record of this test's own.
  struct Job {
    int n;
    std::vector<float> input, expected;
    int mismatches = 0;
  };
  std::vector<Job> jobs = {{4096, randomSignal<float>(4096, 60), {}}, {256, randomSignal<float>(256, 61), {}}};
  auto reference = std::make_unique<FftWorkRecord>();
  for (Job& job : jobs) {
    job.expected = job.input;
    reference->RealFftFloat(job.n, 1, job.expected.data());
  }
  auto run = [](Job& job) {
    for (int round = 0; round < 150; ++round) {
      std::vector<float> data = job.input;
      sharedFftWorkRecord().RealFftFloat(job.n, 1, data.data());
      if (data != job.expected) ++job.mismatches;
    }
  };
  std::thread first(run, std::ref(jobs[0]));
  std::thread second(run, std::ref(jobs[1]));
  first.join();
  second.join();
  EXPECT_EQ(jobs[0].mismatches, 0);
  EXPECT_EQ(jobs[1].mismatches, 0);
}

TEST(FftWorkRecord, PackageTransformOnCallerArraysMatchesTheDirectDft) {
  FftWorkRecord local;
  EXPECT_EQ(local.ip[0], 0);
  const auto x = randomSignal<double>(1024, 50);
  std::vector<double> a(FftWorkRecord::kMaxLength + 1, 0.0);
  std::copy(x.begin(), x.end(), a.begin());
  local.RealFft(1024, 1, a.data(), local.ip, local.w);
  EXPECT_LT(relativeError(std::vector<double>(a.begin(), a.begin() + 1024), naiveForward(x)), 1e-13);
}

TEST(FftWorkRecord, SizesOutsideTheRecordAreRefused) {
  FftWorkRecord& record = sharedFftWorkRecord();
  std::vector<float> data(16384, 1.0f);
  std::vector<double> d(16384, 1.0);
  EXPECT_THROW(record.RealFftFloat(16384, 1, data.data()), std::invalid_argument);
  EXPECT_THROW(record.RealFftFloat(12, 1, data.data()), std::invalid_argument);
  EXPECT_THROW(record.RealFftFloat(1, 1, data.data()), std::invalid_argument);
  EXPECT_THROW(record.RealFftFloat(16, 1, nullptr), std::invalid_argument);
  EXPECT_THROW(record.RealFftDouble(16384, 1, d.data()), std::invalid_argument);
  EXPECT_THROW(record.RealFftAnySize(0, 1), std::invalid_argument);
  EXPECT_THROW(record.RealFft(16384, 1, d.data(), record.ip, record.w), std::invalid_argument);
  EXPECT_EQ(data[0], 1.0f);
}

}  // namespace
