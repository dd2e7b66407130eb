// An accent template over a few beats (the first beat of a group of four
// weighs double, say): laid on a given beat spacing it becomes a profile of
// Gaussian bumps, one per beat, and score() measures how well an onset curve
// matches that profile. Profiles are cached per spacing.

#pragma once

#include <map>
#include <vector>

namespace RuBeatO {

class BeatPattern {
 public:
  // nBeat zero weights. Throws std::domain_error for nBeat <= 0.
  explicit BeatPattern(int nBeat);
  // The given weights, normalised as assign() does. Throws
  // std::domain_error for an empty pattern.
  explicit BeatPattern(const std::vector<float>& pattern);

  // Copies the weights and divides them by their sum when that sum is
  // positive and not so large that adding 1 is lost; otherwise all weights
  // become 0. Throws std::domain_error for an empty pattern. Clears the
  // cached profiles, which depend on the weights.
  void assign(const std::vector<float>& pattern);

  // Dot product of obs with the unit-norm profile for beats every
  // given_fpb samples (beat b at b * given_fpb, b >= 1, weighted by
  // pattern[b mod nBeat], Gaussian width 5 samples). An empty obs gives 0.
  // Throws std::domain_error for given_fpb <= 0, and std::logic_error when
  // a profile cached for this spacing has another length than obs.
  float score(const std::vector<float>& obs, float given_fpb);

  const std::vector<float>& weights() const { return _pattern; }

 private:
  std::vector<float> _pattern;
  std::map<float, std::vector<float>> profiles;
};

}  // namespace RuBeatO
