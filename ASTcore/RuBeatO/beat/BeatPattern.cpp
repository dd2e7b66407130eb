// Accent template: weight normalisation and cached beat profiles.

#include "BeatPattern.h"

#include <cmath>
#include <numeric>
#include <stdexcept>

namespace RuBeatO {

BeatPattern::BeatPattern(int nBeat) {
  if (nBeat <= 0) throw std::domain_error("nBeat should be greater than 0");
  _pattern.assign(static_cast<size_t>(nBeat), 0.0f);
}

BeatPattern::BeatPattern(const std::vector<float>& pattern) {
  if (pattern.empty()) throw std::domain_error("_pattern.size() should be greater than 0");
  assign(pattern);
}

void BeatPattern::assign(const std::vector<float>& pattern) {
  if (pattern.empty()) throw std::domain_error("beatPattern.size() should be greater than 0");
  _pattern = pattern;
  profiles.clear();
  const double sum = std::accumulate(_pattern.begin(), _pattern.end(), 0.0);
  if (sum > 0.0 && 1.0 + sum != sum) {
    for (float& w : _pattern) w = static_cast<float>(w / sum);
  } else {
    for (float& w : _pattern) w = 0.0f;
  }
}

float BeatPattern::score(const std::vector<float>& obs, float given_fpb) {
  if (obs.empty()) return 0.0f;
  if (given_fpb <= 0.0f) throw std::domain_error("given_fpb should be positive");

  auto found = profiles.find(given_fpb);
  if (found == profiles.end()) {
    const size_t nBeat = _pattern.size();
    std::vector<float> profile(obs.size(), 0.0f);
    double norm = 0.0;
    for (size_t i = 0; i < obs.size(); ++i) {
      const float beatPosition = static_cast<float>(i) / given_fpb;
      const long b = static_cast<long>(static_cast<double>(beatPosition) + 0.5);
      if (b == 0) continue;
      const float distance = (given_fpb * static_cast<float>(b) - static_cast<float>(i)) / 5.0f;
      profile[i] = _pattern[static_cast<size_t>(b) % nBeat] * std::exp(-(distance * distance));
      norm += static_cast<double>(profile[i]) * profile[i];
    }
    const float scale = static_cast<float>(1.0 / (std::sqrt(norm) + 1e-10));
    for (float& v : profile) v *= scale;
    found = profiles.emplace(given_fpb, std::move(profile)).first;
  }
  if (found->second.size() != obs.size())
    throw std::logic_error("obsNormalizedProfile.size() is not consistent");

  float dot = 0.0f;
  for (size_t i = 0; i < obs.size(); ++i) dot += found->second[i] * obs[i];
  return dot;
}

}  // namespace RuBeatO
