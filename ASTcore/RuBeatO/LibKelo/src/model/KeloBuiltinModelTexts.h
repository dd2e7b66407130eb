#pragma once
// The generated texts of the built-in chord/key model (see KeloModelMap).
// KeloBuiltinModelTexts.cpp is written by the model generator
// (scripts/make-kelo-model) and committed; do not edit it by hand.

#include <cstddef>

namespace kelo {
namespace builtin {

struct KeyedText {
  const char* key;
  const char* text;
};

extern const KeyedText kEmissionTexts[];
extern const std::size_t kEmissionTextCount;
extern const KeyedText kTransitionTexts[];
extern const std::size_t kTransitionTextCount;
extern const char kChordListText[];

}  // namespace builtin
}  // namespace kelo
