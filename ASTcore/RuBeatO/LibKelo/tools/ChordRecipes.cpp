#include "ChordRecipes.h"

namespace kelomodel {

namespace {

const std::vector<int> kMaj = {0, 4, 7}, kMaj6 = {0, 4, 7, 9}, kMaj7 = {0, 4, 7, 11},
                       kAdd9 = {0, 2, 4, 7}, kMaj9 = {0, 2, 4, 7, 11}, kAug = {0, 4, 8},
                       kMin = {0, 3, 7}, kMin6 = {0, 3, 7, 9}, kMin7 = {0, 3, 7, 10},
                       kMinAdd9 = {0, 2, 3, 7}, kMinMaj7 = {0, 3, 7, 11}, kDim = {0, 3, 6},
                       kDim7 = {0, 3, 6, 9}, kDom7 = {0, 4, 7, 10}, kDom7F5 = {0, 4, 6, 10},
                       kDom9 = {0, 2, 4, 7, 10}, kSus4 = {0, 5, 7}, kSus2 = {0, 2, 7},
                       kMinMaj7F5 = {0, 3, 6, 11}, kHalfDim = {0, 3, 6, 10}, kMin9 = {0, 2, 3, 7, 10},
                       kNone = {};

}  // namespace

const std::vector<ChordRecipe>& chordRecipes() {
  static const std::vector<ChordRecipe> recipes = {
      {"0", kMaj, 10, 12, ""},        {"1", kMaj6, 10, 12, ""},      {"2", kMaj7, 10, 12, ""},
      {"4", kAdd9, 10, 12, ""},       {"5", kMaj9, 15, 6, ""},       {"7", kAug, 10, 12, ""},
      {"8", kMin, 10, 12, ""},        {"9", kMin6, 10, 12, ""},      {"10", kMin7, 10, 12, ""},
      {"12", kMinAdd9, 10, 12, ""},   {"15", kMinMaj7, 10, 12, ""},  {"17", kDim, 10, 12, ""},
      {"18", kDim7, 10, 12, ""},      {"19", kDom7, 10, 12, ""},     {"21", kDom7F5, 7, 6, ""},
      {"22", kDom9, 10, 12, ""},      {"32", kSus4, 10, 12, ""},     {"33", kSus2, 10, 12, ""},
      {"34", kNone, 10, 12, ""},      {"37", kMinMaj7F5, 10, 12, ""},
      {"1_2_5", kSus2, 15, 6, ""},    {"maj_9", kAdd9, 15, 6, ""},   {"min_9", kMinAdd9, 15, 6, ""},
      {"maj7_9", kMaj9, 15, 6, "5"},  {"7f5", kDom7F5, 7, 6, "21"},  {"mm7", kMinMaj7, 5, 6, ""},
      {"aug", kAug, 10, 12, ""},      {"dim", kDim, 10, 12, ""},     {"dim7", kDim7, 10, 12, ""},
      {"hdim7", kHalfDim, 10, 12, ""}, {"maj", kMaj, 10, 12, ""},    {"maj6", kMaj6, 10, 12, ""},
      {"maj7", kMaj7, 10, 12, ""},    {"maj9", kMaj9, 10, 12, ""},   {"min", kMin, 10, 12, ""},
      {"min6", kMin6, 10, 12, ""},    {"min7", kMin7, 10, 12, ""},   {"min9", kMin9, 10, 12, ""},
      {"minmaj7", kMinMaj7, 10, 12, ""}, {"N", kNone, 10, 12, ""},  {"sus2", kSus2, 10, 12, ""},
      {"sus4", kSus4, 10, 12, ""},
  };
  return recipes;
}

const std::string& builtinChordList() {
  static const std::string list = "17 0\n2 1\n7 2\n8 3\n19 4\n0 5\n10 6";
  return list;
}

}  // namespace kelomodel
