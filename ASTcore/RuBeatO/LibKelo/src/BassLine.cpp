#include "BassLine.h"

#include <algorithm>
#include <array>

#include "KeloHmm.h"

namespace kelo {

namespace {

constexpr int kPitches = 12;

struct ChordOf {
  std::uint32_t root = 0, chordClass = 0, beat = 0;
};

ChordOf chordOf(const KeloHmm& model, std::int32_t state) {
  ChordOf c;
  std::uint32_t mode = 0, tonic = 0;
  model.decomposeState(static_cast<std::uint32_t>(state), c.root, c.chordClass, mode, c.beat, tonic);
  return c;
}

// Bass evidence of pitch class k: its own bass chroma plus two tenths of the
// semitone below, whose energy partly belongs to k in a low register.
std::array<double, kPitches> observation(const FeatureVector& f) {
  std::array<double, kPitches> o{};
  for (int k = 0; k < kPitches; ++k) {
    const double below = 0.1 * (f.size() > 11 ? f((k + 11) % kPitches) : 0.0);
    o[k] = (f.size() > 11 ? f(k) : 0.0) + below + below;
  }
  return o;
}

int firstLargest(const std::array<double, kPitches>& d) {
  int best = 0;
  for (int k = 1; k < kPitches; ++k)
    if (d[k] > d[best]) best = k;
  return best;
}

}  // namespace

float bassStayWeight(std::uint32_t beatPosition) {
  static constexpr float weights[] = {0.5f, 0.99f, 0.7f, 0.99f};
  return beatPosition < 4 ? weights[beatPosition] : 0.99f;
}

std::vector<std::int32_t> trackBass(const KeloHmm& model, const std::vector<std::int32_t>& states,
                                    const std::vector<FeatureVector>& rows) {
  const std::size_t frames = std::min(states.size(), rows.size());
  std::vector<std::int32_t> basses(frames, 0);
  if (frames == 0) return basses;

  std::array<double, kPitches> delta = observation(rows[0]);
  std::vector<std::uint8_t> back(frames * kPitches, 0);
  ChordOf previous = chordOf(model, states[0]);
  for (std::size_t t = 1; t < frames; ++t) {
    const ChordOf now = chordOf(model, states[t]);
    const float w = bassStayWeight(now.beat);
    // The first frame never counts as the same chord.
    const bool held = t >= 2 && now.root == previous.root && now.chordClass == previous.chordClass;
    const float stay = held ? w : 0.1f;
    const float change = 1.0f - w;
    const std::array<double, kPitches> o = observation(rows[t]);
    std::array<double, kPitches> next{};
    for (int k = 0; k < kPitches; ++k) {
      float best = std::max(static_cast<float>(delta[0]) + (k == 0 ? stay : change), -1e30f);
      int from = 0;
      for (int j = 1; j < kPitches; ++j) {
        const float candidate = static_cast<float>(delta[j]) + (j == k ? stay : change);
        if (candidate > best) {
          best = candidate;
          from = j;
        }
      }
      next[k] = static_cast<double>(best) + o[k];
      back[t * kPitches + k] = static_cast<std::uint8_t>(from);
    }
    // Keep the scores near 0 over long recordings.
    const double top = static_cast<double>(static_cast<float>(next[firstLargest(next)]));
    for (double& v : next) v -= top;
    delta = next;
    previous = now;
  }

  int bass = firstLargest(delta);
  basses[frames - 1] = bass;
  for (std::size_t t = frames - 1; t >= 1; --t) {
    bass = back[t * kPitches + bass];
    basses[t - 1] = bass;
  }
  return basses;
}

}  // namespace kelo
