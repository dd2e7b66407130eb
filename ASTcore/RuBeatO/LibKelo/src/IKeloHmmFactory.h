#pragma once
// Makes loaded chord/key models.

#include <cstdint>

#include "KeloHmm.h"

namespace kelo {

class IKeloHmmFactory {
 public:
  // A new model (the caller owns it) for a key-aware or chord-only state
  // space with `beatsPerBar` beat positions, loaded as far as possible;
  // `featureKind` receives the feature type its emissions consume. The
  // model is returned even when loading failed: check lastError().
  virtual KeloHmm* create(std::int32_t& featureKind, bool keyAware, std::int32_t unused,
                          std::uint32_t beatsPerBar) = 0;

  virtual ~IKeloHmmFactory() = default;

  // Result of the last create: 0 loaded, 1 a text missing or malformed,
  // 6 a chordlist that does not define every class.
  virtual std::uint32_t lastError() const = 0;
};

}  // namespace kelo
