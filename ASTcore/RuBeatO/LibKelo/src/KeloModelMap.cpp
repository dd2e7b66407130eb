#include "KeloModelMap.h"

#include "model/KeloBuiltinModelTexts.h"

namespace kelo {

const KeloModelMap& initModelResources() {
  // Built once, then only read: a second analysis (or thread) sees the
  // same finished map.
  static const KeloModelMap map = [] {
    KeloModelMap m;
    for (std::size_t i = 0; i < builtin::kEmissionTextCount; ++i)
      m.emissionTexts[builtin::kEmissionTexts[i].key] = builtin::kEmissionTexts[i].text;
    for (std::size_t i = 0; i < builtin::kTransitionTextCount; ++i)
      m.transitionTexts[builtin::kTransitionTexts[i].key] = builtin::kTransitionTexts[i].text;
    m.chordListText = builtin::kChordListText;
    return m;
  }();
  return map;
}

}  // namespace kelo
