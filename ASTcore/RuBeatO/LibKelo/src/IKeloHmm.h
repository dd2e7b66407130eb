#pragma once
// The decoder side of a chord/key model: what the model loader hands the
// emission densities and transition weights to, and what a model owns. The
// whole-sequence decoder and the fixed-lag decoder both implement it.

#include <cstdint>

#include <boost/shared_ptr.hpp>

namespace kelo {

class JointHpcpPowPdf;

class IKeloHmm {
 public:
  // Stores the emission density of chord class `chordClass`. Returns 0, or
  // -1 when the class is not below the decoder's class count.
  virtual std::int32_t setEmission(std::int32_t chordClass,
                                   boost::shared_ptr<JointHpcpPowPdf> pdf) = 0;

  // Adds one transition weight of the table for (key mode, beat position),
  // between key-relative chord states. Returns 0, or -1 when the weight is
  // not positive.
  virtual std::int32_t setTransition(std::int32_t mode, std::int32_t position,
                                     std::int32_t from, std::int32_t to,
                                     double weight) = 0;

  // Drops every queued feature vector (a decoder that queues none does
  // nothing). Returns 0.
  virtual std::int32_t clearFeatures() = 0;

  virtual ~IKeloHmm() = default;
};

}  // namespace kelo
