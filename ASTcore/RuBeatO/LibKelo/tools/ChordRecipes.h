#pragma once
// What each emission text of the built-in model describes: the pitch
// classes of its chord above the root (empty for "no chord"), the number of
// mixture components, the digits it is written with, and the text it
// shares, if any.

#include <string>
#include <vector>

namespace kelomodel {

struct ChordRecipe {
  std::string key;
  std::vector<int> intervals;  // above the root; empty: no chord sounds
  int components;
  int digits;
  std::string sameTextAs;  // key whose text this one repeats, or empty
};

// Every emission key of the built-in model, in a fixed order.
const std::vector<ChordRecipe>& chordRecipes();

// "17 0\n2 1\n..." : the model's chord classes.
const std::string& builtinChordList();

}  // namespace kelomodel
