// The built-in model texts: every key the engine and its model folder know
// is there, and every text reads completely as what it claims to be
// (normalised weights, unit mean directions, log normalisers that follow
// from the concentrations by an independent Bessel evaluation, square count
// tables with positive diagonals).

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <sstream>
#include <string>

#include <boost/math/special_functions/bessel.hpp>

#include "JointHpcpPowPdf.h"
#include "KeloModelMap.h"

namespace {

struct EmissionKey {
  const char* key;
  std::size_t components;
};

// The keys of the built-in model and the number of components of each of
// their two mixtures.
const EmissionKey kEmissionKeys[] = {
    {"0", 10},  {"1", 10},  {"2", 10},  {"4", 10},      {"5", 15},      {"7", 10},      {"8", 10},
    {"9", 10},  {"10", 10}, {"12", 10}, {"15", 10},     {"17", 10},     {"18", 10},     {"19", 10},
    {"21", 7},  {"22", 10}, {"32", 10}, {"33", 10},     {"34", 10},     {"37", 10},     {"1_2_5", 15},
    {"maj_9", 15}, {"min_9", 15}, {"maj7_9", 15}, {"7f5", 7}, {"mm7", 5}, {"aug", 10},  {"dim", 10},
    {"dim7", 10}, {"hdim7", 10}, {"maj", 10}, {"maj6", 10}, {"maj7", 10}, {"maj9", 10}, {"min", 10},
    {"min6", 10}, {"min7", 10}, {"min9", 10}, {"minmaj7", 10}, {"N", 10}, {"sus2", 10}, {"sus4", 10}};

double logNormaliser12(double kappa) {
  return 5.0 * std::log(kappa) - 6.0 * std::log(2.0 * M_PI) - std::log(boost::math::cyl_bessel_i(5.0, kappa));
}

void expectValidMixture(const Mixture_vMF& m, std::size_t components, const std::string& what) {
  ASSERT_EQ(m.weights.size(), components) << what;
  ASSERT_EQ(m.components.size(), components) << what;
  double sum = 0.0;
  for (std::size_t k = 0; k < components; ++k) {
    const Vmf& c = m.components[k];
    EXPECT_GT(m.weights(k), 0.0) << what;
    sum += m.weights(k);
    ASSERT_EQ(c.mean.size(), 12u) << what;
    EXPECT_NEAR(boost::numeric::ublas::norm_2(c.mean), 1.0, 1e-5) << what << " component " << k;
    EXPECT_GT(c.kappa, 0.0) << what;
    // Stored through single precision.
    // Six significant digits at least, through single precision.
    EXPECT_NEAR(c.logNormalizer, logNormaliser12(c.kappa), 6e-6 * std::fabs(c.logNormalizer) + 1e-9)
        << what << " component " << k;
  }
  EXPECT_NEAR(sum, 1.0, 1e-5) << what;
}

}  // namespace

TEST(KeloModelMap, EveryEmissionTextReadsCompletelyAsTwoValidMixtures) {
  const kelo::KeloModelMap& map = kelo::initModelResources();
  EXPECT_EQ(map.emissionTexts.size(), 42u);
  std::map<std::string, std::set<std::string>> keysOfText;
  for (const EmissionKey& e : kEmissionKeys) {
    const auto it = map.emissionTexts.find(e.key);
    ASSERT_NE(it, map.emissionTexts.end()) << e.key;
    ASSERT_FALSE(it->second.empty());
    EXPECT_NE(it->second.back(), '\n') << e.key;
    keysOfText[it->second].insert(e.key);
    std::istringstream in(it->second);
    kelo::JointHpcpPowPdf pdf;
    pdf.load(in);
    ASSERT_FALSE(in.fail()) << e.key;
    in >> std::ws;
    EXPECT_TRUE(in.eof()) << e.key << ": text goes on after the treble mixture";
    expectValidMixture(pdf.bassMixture, e.components, std::string(e.key) + " bass");
    expectValidMixture(pdf.trebleMixture, e.components, std::string(e.key) + " treble");
  }
  // Only the two marked pairs share a text.
  const std::set<std::set<std::string>> shared = {{"5", "maj7_9"}, {"21", "7f5"}};
  for (const auto& t : keysOfText)
    if (t.second.size() > 1) {
      EXPECT_EQ(shared.count(t.second), 1u) << *t.second.begin() << " shares its text";
    }
  EXPECT_EQ(keysOfText.size(), 40u);
  EXPECT_EQ(map.emissionTexts.count("3"), 0u);
}

TEST(KeloModelMap, TransitionTablesAreSquareCountsWithPositiveDiagonals) {
  const kelo::KeloModelMap& map = kelo::initModelResources();
  EXPECT_EQ(map.transitionTexts.size(), 18u);
  for (const char* mode : {"major", "minor"})
    for (int beats = 2; beats <= 4; ++beats)
      for (int position = 0; position < beats; ++position) {
        const std::string key = std::string("transition.") + mode + "." + std::to_string(beats) + "." +
                                std::to_string(position);
        const auto it = map.transitionTexts.find(key);
        ASSERT_NE(it, map.transitionTexts.end()) << key;
        std::istringstream rows(it->second);
        std::string line;
        int r = 0;
        while (std::getline(rows, line)) {
          std::istringstream in(line);
          long count = 0;
          int c = 0;
          while (in >> count) {
            EXPECT_GE(count, 0) << key;
            if (c == r) {
              EXPECT_GT(count, 0) << key << " diagonal " << r;
            }
            ++c;
          }
          EXPECT_TRUE(in.eof()) << key << " row " << r;
          EXPECT_EQ(c, 84) << key << " row " << r;
          ++r;
        }
        EXPECT_EQ(r, 84) << key;
        EXPECT_NE(it->second.back(), '\n') << key;
      }
  EXPECT_EQ(map.transitionTexts.count("transition.major.5.0"), 0u);
}

TEST(KeloModelMap, ChordListNamesSevenClassesAndTheMapIsBuiltOnce) {
  const kelo::KeloModelMap& map = kelo::initModelResources();
  EXPECT_EQ(&map, &kelo::initModelResources());
  std::istringstream in(map.chordListText);
  std::set<int> classes;
  int type = 0, chordClass = 0, lines = 0;
  while (in >> type >> chordClass) {
    ++lines;
    classes.insert(chordClass);
    EXPECT_EQ(map.emissionTexts.count(std::to_string(type)), 1u) << type;
  }
  EXPECT_EQ(lines, 7);
  EXPECT_EQ(classes, (std::set<int>{0, 1, 2, 3, 4, 5, 6}));
}
