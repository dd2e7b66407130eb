#pragma once
// Writes the built-in model as C++ source: every text a raw string literal,
// texts that are shared written once, then the key tables.

#include <string>
#include <utility>
#include <vector>

namespace kelomodel {

struct KeyedModelText {
  std::string key;
  std::string text;
  std::string sameTextAs;  // non-empty: this key points at that key's text
};

std::string modelSource(const std::vector<KeyedModelText>& emissions,
                        const std::vector<KeyedModelText>& transitions, const std::string& chordList);

}  // namespace kelomodel
