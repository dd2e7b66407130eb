// The frame features of the song analysis: sparse filters against a dense
// weighted sum, the filter bank's refusals, the sliding frame, and a sine's
// pitch class and band.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <stdexcept>
#include <vector>

#include "FrameFeatureMaker.h"

namespace {

std::vector<double> sine(std::size_t n, double freq, std::size_t offset = 0) {
  std::vector<double> s(n);
  for (std::size_t i = 0; i < n; ++i) s[i] = 0.5 * std::sin(2.0 * M_PI * freq * double(i + offset) / 44100.0);
  return s;
}

std::size_t argmax(const std::vector<double>& v, std::size_t from, std::size_t to) {
  return static_cast<std::size_t>(std::max_element(v.begin() + long(from), v.begin() + long(to)) - v.begin());
}

}  // namespace

TEST(FilterBank, SparseRunsGiveTheDenseWeightedSum) {
  std::mt19937 gen(3);
  std::uniform_real_distribution<float> u(0.0f, 1.0f);
  MzMir::FilterBank bank;
  std::vector<std::vector<float>> dense(4, std::vector<float>(64, 0.0f));
  for (int k = 0; k < 4; ++k) {
    // A run with zeros inside it and outside it.
    for (int i = 10 * k + 3; i < 10 * k + 20; ++i) dense[k][i] = (i % 5 == 0) ? 0.0f : u(gen);
    bank.setWindow(k, dense[k]);
  }
  std::vector<float> x(64);
  for (float& v : x) v = u(gen) - 0.5f;
  bank.apply(x.data());
  ASSERT_EQ(bank.output().size(), 4u);
  for (int k = 0; k < 4; ++k) {
    double sum = 0.0;
    for (int i = 0; i < 64; ++i) sum += double(x[i]) * dense[k][i];
    EXPECT_NEAR(bank.output()[k], sum, 1e-5);
  }
}

TEST(FilterBank, RefusesBadIndexesAndLengthsAndReadsNothingForUnsetFilters) {
  MzMir::FilterBank bank;
  EXPECT_THROW(bank.setWindow(-1, {1.0f}), std::domain_error);
  std::vector<float> w(8, 0.0f);
  w[2] = 1.0f;
  bank.setWindow(5, w);
  EXPECT_EQ(bank.size(), 6u);
  try {
    bank.setWindow(0, std::vector<float>(9, 1.0f));
    FAIL();
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(), "FilterBank::setWindow - data size must be consistent across filter indices!");
  }
  EXPECT_EQ(bank.size(), 6u);
  bank.setWindow(6, std::vector<float>(8, 0.0f));  // no positive weight
  const std::vector<float> x(8, 2.0f);
  bank.apply(x.data());
  EXPECT_EQ(bank.output(), (std::vector<double>{0, 0, 0, 0, 0, 2.0, 0}));
}

TEST(FrameFeatureMaker, ASineLightsItsPitchClassAndItsBand) {
  struct Case {
    double freq;
    std::size_t pitchClass;
    std::size_t band;  // the triangle centred nearest the tone
  };
  for (const Case c : {Case{440.0, 9, 2}, Case{261.63, 0, 1}, Case{1000.0, 11, 8}}) {
    MzMir::FrameFeatureMaker maker(8192);
    maker.init(44100.0f);
    const std::vector<double> f = maker.compute(sine(8192, c.freq));
    ASSERT_EQ(f.size(), 34u);
    EXPECT_EQ(argmax(f, 22, 34) - 22, c.pitchClass) << c.freq;
    EXPECT_EQ(argmax(f, 0, 22), c.band) << c.freq;
    const double top = f[22 + c.pitchClass];
    for (std::size_t p = 22; p < 34; ++p)
      if (p != 22 + c.pitchClass) {
        EXPECT_LT(f[p], 0.05 * top) << c.freq << " class " << p - 22;
      }
  }
}

TEST(FrameFeatureMaker, TheFrameSlidesAndOnlyTheLastSamplesOfALongBlockCount) {
  const std::vector<double> s = sine(3 * 8192, 440.0);
  MzMir::FrameFeatureMaker whole(8192), hops(8192), longBlock(8192);
  for (auto* m : {&whole, &hops, &longBlock}) m->init(44100.0f);
  const std::vector<double> last(s.end() - 8192, s.end());
  const std::vector<double> a = whole.compute(last);
  std::vector<double> b;
  for (std::size_t i = 0; i < s.size(); i += 1024)
    b = hops.compute(std::vector<double>(s.begin() + long(i), s.begin() + long(i + 1024)));
  const std::vector<double> c = longBlock.compute(s);
  for (std::size_t k = 0; k < a.size(); ++k) {
    EXPECT_NEAR(b[k], a[k], 1e-6 * (1.0 + std::abs(a[k])));
    EXPECT_NEAR(c[k], a[k], 1e-6 * (1.0 + std::abs(a[k])));
  }
  // The first frame of a run holds zeros ahead of the audio.
  MzMir::FrameFeatureMaker fresh(8192);
  fresh.init(44100.0f);
  const std::vector<double> first = fresh.compute(std::vector<double>(s.begin(), s.begin() + 1024));
  EXPECT_LT(first[31], 0.5 * a[31]);
}
