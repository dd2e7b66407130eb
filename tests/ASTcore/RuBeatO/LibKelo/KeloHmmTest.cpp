// The chord/key state space against a brute-force enumeration: a mixed-radix
// counter stepping root fastest, then class, beat, mode and tonic, so the
// n-th tuple it yields must be state n.

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <boost/make_shared.hpp>

#include "KeloHmm.h"

namespace {

using kelo::KeloHmm;

struct Tuple {
  std::uint32_t root, chordClass, mode, beat, tonic;
};

// Chord types deliberately unlike the class indices, so a label that printed
// the class instead of its type shows.
const std::vector<std::int32_t> kTypes = {0, 8, 19, 2, 10, 17, 58, 31, 44};

KeloHmm makeModel(bool keyAware, std::uint32_t classes,
                  std::uint32_t beatsPerBar) {
  KeloHmm model(keyAware, 0, beatsPerBar);
  for (std::uint32_t c = 0; c < classes; ++c)
    model.addClass(kTypes[c], static_cast<std::int32_t>(c));
  return model;
}

// Every tuple of the space in state order, built by counting.
std::vector<Tuple> enumerate(std::uint32_t classes, std::uint32_t beats,
                             std::uint32_t modes, std::uint32_t tonics) {
  std::vector<Tuple> all;
  for (std::uint32_t t = 0; t < tonics; ++t)
    for (std::uint32_t m = 0; m < modes; ++m)
      for (std::uint32_t b = 0; b < beats; ++b)
        for (std::uint32_t c = 0; c < classes; ++c)
          for (std::uint32_t r = 0; r < 12; ++r) all.push_back({r, c, m, b, t});
  return all;
}

struct Shape {
  bool keyAware;
  std::uint32_t classes;
  std::uint32_t beatsPerBar;
};

// Printed as its values: the default byte dump would show the padding
// after `keyAware`, which differs from build to build.
void PrintTo(const Shape& s, std::ostream* os) {
  *os << (s.keyAware ? "key-aware" : "key-free") << ' ' << s.classes << " classes " << s.beatsPerBar << " beats";
}

const std::vector<Shape> kShapes = {
    {true, 7, 4}, {true, 1, 1}, {true, 3, 3}, {true, 9, 2},
    {false, 7, 4}, {false, 1, 5}, {false, 4, 3},
};

class KeloHmmSpace : public ::testing::TestWithParam<Shape> {};

TEST_P(KeloHmmSpace, EveryTupleMapsToItsPositionInTheEnumerationAndBack) {
  const Shape s = GetParam();
  const KeloHmm model = makeModel(s.keyAware, s.classes, s.beatsPerBar);
  const std::vector<Tuple> all =
      enumerate(s.classes, s.keyAware ? s.beatsPerBar : 1, s.keyAware ? 2 : 1,
                s.keyAware ? 12 : 1);
  ASSERT_EQ(model.stateCount(), all.size());
  for (std::size_t n = 0; n < all.size(); ++n) {
    const Tuple& e = all[n];
    ASSERT_EQ(model.stateIndex(e.root, e.chordClass, e.mode, e.beat, e.tonic),
              n);
    Tuple d{99, 99, 99, 99, 99};
    model.decomposeState(static_cast<std::uint32_t>(n), d.root, d.chordClass,
                         d.mode, d.beat, d.tonic);
    ASSERT_EQ(d.root, e.root) << n;
    ASSERT_EQ(d.chordClass, e.chordClass) << n;
    ASSERT_EQ(d.mode, e.mode) << n;
    ASSERT_EQ(d.beat, e.beat) << n;
    ASSERT_EQ(d.tonic, e.tonic) << n;
    ASSERT_TRUE(model.isValid(static_cast<std::int32_t>(e.root),
                              static_cast<std::int32_t>(e.chordClass),
                              static_cast<std::int32_t>(e.mode),
                              static_cast<std::int32_t>(e.beat),
                              static_cast<std::int32_t>(e.tonic)));
  }
}

TEST_P(KeloHmmSpace, RootAndClassOfAStateComeFromItsChordBlockAlone) {
  const Shape s = GetParam();
  const KeloHmm model = makeModel(s.keyAware, s.classes, s.beatsPerBar);
  const std::uint32_t block = 12 * s.classes;
  for (std::uint32_t n = 0; n < model.stateCount(); ++n) {
    std::uint32_t r, c, m, b, t;
    model.decomposeState(n, r, c, m, b, t);
    ASSERT_EQ(r + 12 * c, n % block);
    ASSERT_EQ(n - n % block,
              block * (b + model.beatCount() * (m + model.modeCount() * t)));
  }
}

TEST_P(KeloHmmSpace, StateLabelsSpellRootAndChordTypeNumberForEveryState) {
  static const char* const kSharpNames[12] = {"C",  "C#", "D",  "D#",
                                              "E",  "F",  "F#", "G",
                                              "G#", "A",  "A#", "B"};
  const Shape s = GetParam();
  const KeloHmm model = makeModel(s.keyAware, s.classes, s.beatsPerBar);
  const std::vector<Tuple> all =
      enumerate(s.classes, model.beatCount(), model.modeCount(),
                model.tonicCount());
  for (std::size_t n = 0; n < all.size(); ++n) {
    const std::string expected = std::string(kSharpNames[all[n].root]) + ":" +
                                 std::to_string(kTypes[all[n].chordClass]);
    ASSERT_EQ(model.stateLabel(static_cast<std::uint32_t>(n)), expected) << n;
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, KeloHmmSpace, ::testing::ValuesIn(kShapes));

TEST(KeloHmm, BuiltInShapeHasTheCountsAndSizeOfTheShippedModel) {
  const KeloHmm model = makeModel(true, 7, 4);
  EXPECT_EQ(model.modeCount(), 2u);
  EXPECT_EQ(model.beatCount(), 4u);
  EXPECT_EQ(model.tonicCount(), 12u);
  EXPECT_EQ(model.rootCount(), 12u);
  EXPECT_EQ(model.classCount(), 7u);
  EXPECT_EQ(model.stateCount(), 8064u);
  EXPECT_EQ(model.stateIndex(11, 6, 1, 3, 11), 8063u);
  EXPECT_EQ(model.classList().size(), 7u);
}

TEST(KeloHmm, ModelWithoutKeysReducesToRootPlusTwelveTimesClass) {
  const KeloHmm model = makeModel(false, 5, 4);
  EXPECT_EQ(model.modeCount(), 1u);
  EXPECT_EQ(model.beatCount(), 1u);
  EXPECT_EQ(model.tonicCount(), 1u);
  EXPECT_EQ(model.stateCount(), 60u);
  for (std::uint32_t n = 0; n < 60; ++n) {
    std::uint32_t r, c, m = 7, b = 7, t = 7;
    model.decomposeState(n, r, c, m, b, t);
    EXPECT_EQ(r + 12 * c, n);
    EXPECT_EQ(m + b + t, 0u);
    EXPECT_EQ(model.stateIndex(r, c, 0, 0, 0), n);
  }
}

TEST(KeloHmm, IsValidRejectsANegativeCoordinateAndOneEqualToItsCount) {
  const KeloHmm model = makeModel(true, 3, 4);
  const std::int32_t counts[5] = {12, 3, 2, 4, 12};
  for (int axis = 0; axis < 5; ++axis) {
    for (std::int32_t bad : {-1, counts[axis], counts[axis] + 1}) {
      std::int32_t v[5] = {0, 0, 0, 0, 0};
      v[axis] = bad;
      EXPECT_FALSE(model.isValid(v[0], v[1], v[2], v[3], v[4]))
          << "axis " << axis << " value " << bad;
    }
    std::int32_t last[5] = {0, 0, 0, 0, 0};
    last[axis] = counts[axis] - 1;
    EXPECT_TRUE(model.isValid(last[0], last[1], last[2], last[3], last[4]));
  }
}

TEST(KeloHmm, ChordDiffersOnlyWhenRootOrClassDiffer) {
  const KeloHmm model = makeModel(true, 2, 3);
  const std::vector<Tuple> all = enumerate(2, 3, 2, 12);
  for (std::size_t a = 0; a < all.size(); a += 7) {
    for (std::size_t b = 0; b < all.size(); ++b) {
      const bool differs = all[a].root != all[b].root ||
                           all[a].chordClass != all[b].chordClass;
      ASSERT_EQ(model.chordDiffers(static_cast<std::uint32_t>(a),
                                   static_cast<std::uint32_t>(b)),
                differs)
          << a << " " << b;
    }
  }
}

TEST(KeloHmm, ChordLabelsPrintTheTypeNumberNotItsName) {
  KeloHmm model(true, 0, 4);
  model.addClass(17, 0);
  model.addClass(8, 1);
  model.addClass(58, 2);
  model.addClass(10, 3);
  model.addClass(0, 4);
  EXPECT_EQ(model.chordLabel(0, 0), "C:17");
  EXPECT_EQ(model.chordLabel(9, 1), "A:8");
  EXPECT_EQ(model.chordLabel(11, 2), "B:58");
  EXPECT_EQ(model.chordLabel(1, 3), "C#:10");
  EXPECT_EQ(model.chordLabel(0, 4), "C:0");
  EXPECT_EQ(model.chordLabel(10, 4), "A#:0");
  // Beat, mode and tonic do not enter the label.
  EXPECT_EQ(model.stateLabel(model.stateIndex(3, 1, 1, 2, 7)), "D#:8");
}

TEST(KeloHmm, ChordTypesFollowTheClassIndexNotTheOrderOfTheLines) {
  KeloHmm model(true, 0, 4);
  model.addClass(19, 2);
  model.addClass(8, 0);
  model.addClass(0, 1);
  EXPECT_EQ(model.chordTypeOf(0), 8);
  EXPECT_EQ(model.chordTypeOf(1), 0);
  EXPECT_EQ(model.chordTypeOf(2), 19);
  ASSERT_EQ(model.classList().size(), 3u);
  EXPECT_EQ(model.classList().front(), KeloHmm::ClassEntry(19, 2));
  EXPECT_EQ(model.classList().back(), KeloHmm::ClassEntry(0, 1));
}

TEST(KeloHmm, OutOfRangeClassOrRootThrowsInsteadOfReadingPastTheTables) {
  const KeloHmm model = makeModel(true, 3, 4);
  EXPECT_THROW(model.chordTypeOf(3), std::out_of_range);
  EXPECT_THROW(model.chordTypeOf(-1), std::out_of_range);
  EXPECT_THROW(model.chordLabel(12, 0), std::out_of_range);
  EXPECT_THROW(model.chordLabel(0, 3), std::out_of_range);
}

TEST(KeloHmm, ModelWithoutClassesRefusesStateArithmeticInsteadOfDividingByZero) {
  const KeloHmm model(true, 0, 4);
  EXPECT_EQ(model.stateCount(), 0u);
  std::uint32_t r, c, m, b, t;
  EXPECT_THROW(model.decomposeState(0, r, c, m, b, t), std::domain_error);
  EXPECT_THROW(model.stateLabel(0), std::domain_error);
  EXPECT_THROW(model.chordDiffers(0, 1), std::domain_error);
}

class CountingDecoder : public kelo::IKeloHmm {
 public:
  std::int32_t setEmission(std::int32_t,
                           boost::shared_ptr<kelo::JointHpcpPowPdf>) override {
    return 0;
  }
  std::int32_t setTransition(std::int32_t, std::int32_t, std::int32_t,
                             std::int32_t, double) override {
    return 0;
  }
  std::int32_t clearFeatures() override {
    ++clears;
    return 0;
  }
  int clears = 0;
};

TEST(KeloHmm, ClearFeaturesReachesTheDecoderAndIsHarmlessWithoutOne) {
  KeloHmm model = makeModel(true, 2, 4);
  EXPECT_FALSE(model.decoder());
  model.clearFeatures();  // no decoder yet

  auto decoder = boost::make_shared<CountingDecoder>();
  model.setDecoder(decoder);
  EXPECT_EQ(model.decoder().get(), decoder.get());
  EXPECT_EQ(model.getDecoder().get(), decoder.get());
  model.clearFeatures();
  model.clearFeatures();
  EXPECT_EQ(decoder->clears, 2);
}

TEST(KeloHmm, ReleasingTheModelReleasesItsDecoder) {
  auto decoder = boost::make_shared<CountingDecoder>();
  {
    KeloHmm model = makeModel(true, 1, 4);
    model.setDecoder(decoder);
    EXPECT_EQ(decoder.use_count(), 2);
  }
  EXPECT_EQ(decoder.use_count(), 1);
}

}  // namespace
