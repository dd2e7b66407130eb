// Marker detection, stereo pairing and windows. Pairing works in four
// passes of growing tolerance; a strong marker's position wins over a plain
// one, otherwise both move to a position between them.

#include "StereoMarkerMatching.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

namespace {

constexpr float kDetectionFloor = 40.0f;
constexpr float kStrongLevel = 100.0f;
constexpr int kReach = 4;          // frames on each side of a local maximum
constexpr std::int32_t kLead = 5;  // a marker sits this many frames after its detection frame
constexpr std::int32_t kMergeDistance = 8;

struct Candidate {
  std::int32_t position;
  std::uint8_t type;
  int kind;
  double strength;
};

bool strictMaximum(const std::vector<double>& v, std::int64_t k) {
  for (int o = 1; o <= kReach; ++o)
    if (!(v[k] > v[k - o] && v[k] > v[k + o])) return false;
  return true;
}

// Of two markers closer than the merge distance, the index of the one that
// stays.
std::size_t survivor(const std::vector<Candidate>& c, const std::vector<std::int32_t>& classes, std::size_t i,
                     std::size_t j) {
  if (classes[i] == 0 || classes[j] == 0) return i;
  if (c[i].kind != c[j].kind) {
    const std::size_t lower = c[i].kind < c[j].kind ? i : j;
    const std::size_t higher = lower == i ? j : i;
    const double weak = c[lower].strength, strong = c[higher].strength;
    if ((weak > 600.0 && strong < 150.0) || (weak > 5000.0 && strong < 300.0)) return lower;
    return higher;
  }
  return c[j].strength > c[i].strength ? j : i;
}

void pair(std::vector<std::int32_t>& pairedLeft, std::int64_t i, std::vector<std::int32_t>& pairedRight,
          std::int64_t r) {
  pairedLeft[static_cast<std::size_t>(i)] = 1;
  pairedRight[static_cast<std::size_t>(r)] = 1;
}

// Where both markers go in the wide pass when neither is strong, as an offset
// from the left position; false when d pairs nothing.
bool wideTarget(std::int32_t d, std::int32_t* offset) {
  switch (d) {
    case 4: *offset = 1; return true;
    case -4: *offset = -3; return true;
    case 5: *offset = 2; return true;
    case -5: *offset = -3; return true;
    case 6: *offset = 2; return true;
    case -6: *offset = -4; return true;
    case 7: *offset = 3; return true;
    case -7: *offset = -4; return true;
    case -8: *offset = -4; return true;
    default: return false;
  }
}

void copyMarker(MarkerSet& to, std::int64_t at, const MarkerSet& from, std::int64_t k,
                std::vector<std::int32_t>& toPaired) {
  to.Insert(at, from.positions[static_cast<std::size_t>(k)], from.classes[static_cast<std::size_t>(k)],
            MarkerSet::kTransient);
  toPaired.insert(toPaired.begin() + at, 1);
}

}  // namespace

int AllocateMarkerArrays(bool preAnalysis, MarkerSet& left, std::int64_t leftFrames, MarkerSet* right,
                         std::int64_t rightFrames) {
  if (!preAnalysis) return 0;
  try {
    auto prepare = [](MarkerSet& m, std::int64_t frames) {
      m.Clear();
      constexpr std::size_t kFirstRoom = 100;
      m.positions.reserve(kFirstRoom);
      m.classes.reserve(kFirstRoom);
      m.types.reserve(kFirstRoom);
      for (auto& d : m.detection) d.assign(static_cast<std::size_t>(std::max<std::int64_t>(frames, 0)), 0.0);
    };
    prepare(left, leftFrames);
    if (right) prepare(*right, rightFrames);
  } catch (const std::bad_alloc&) {
    throw -1;
  }
  return 0;
}

int BuildTransientMarkers(MarkerSet& markers, const CSMSRegion& frames, bool detect) {
  try {
    const std::int64_t n = frames.frameCount();
    for (int v = 0; v < 3; ++v) markers.detection[v].assign(static_cast<std::size_t>(n), 0.0);
    for (std::int64_t k = 0; k < n; ++k) {
      const SMSFrame* f = frames.frame(k);
      if (!f || !f->Has(SMSFrame::kBandBlock) || !f->bandBlock) continue;
      for (int v = 0; v < 3; ++v) markers.detection[v][static_cast<std::size_t>(k)] = f->bandBlock[40 + v];
    }
    if (n < 9 || !detect) return 0;
    const auto& v40 = markers.detection[0];
    const auto& v41 = markers.detection[1];
    const auto& v42 = markers.detection[2];
    std::vector<Candidate> found;
    for (std::int64_t k = kReach; k <= n - 5; ++k) {
      bool made = false;
      Candidate c{static_cast<std::int32_t>(k + kLead), MarkerSet::kTransient, 0, 0.0};
      if (v41[k] > kDetectionFloor && strictMaximum(v41, k)) {
        c.type = MarkerSet::kTransient;
        c.kind = 2;
        c.strength = v41[k];
        made = true;
      }
      bool quiet = true;
      for (std::int64_t o = -kReach; o <= kReach; ++o) quiet = quiet && v40[k + o] <= kDetectionFloor;
      if (quiet && v42[k] > kDetectionFloor && strictMaximum(v42, k)) {
        c.type = v42[k] > kStrongLevel ? MarkerSet::kStrongTransient : MarkerSet::kTransient;
        c.kind = 3;
        c.strength = v42[k];
        made = true;
      }
      if (v40[k] > kDetectionFloor && strictMaximum(v40, k)) {
        c.type = v40[k] > kStrongLevel ? MarkerSet::kStrongTransient : MarkerSet::kTransient;
        c.kind = 1;
        c.strength = v40[k];
        made = true;
      }
      if (made) found.push_back(c);
    }
    std::vector<std::int32_t> classes(found.size(), 1);
    std::size_t i = 0;
    while (i + 1 < found.size()) {
      const std::size_t j = i + 1;
      if (found[i].position + kMergeDistance < found[j].position) {
        ++i;
        continue;
      }
      const std::size_t keep = survivor(found, classes, i, j);
      const std::size_t drop = keep == i ? j : i;
      if (found[drop].type == MarkerSet::kStrongTransient) found[keep].type = MarkerSet::kStrongTransient;
      found.erase(found.begin() + static_cast<std::ptrdiff_t>(drop));
      classes.erase(classes.begin() + static_cast<std::ptrdiff_t>(drop));
    }
    markers.Truncate(0);
    for (std::size_t m = 0; m < found.size(); ++m) markers.Add(found[m].position, classes[m], found[m].type);
  } catch (const std::bad_alloc&) {
    throw -1;
  }
  return 0;
}

int MatchMarkers(MarkerSet& L, MarkerSet& R, std::vector<std::int32_t>& pairedLeft,
                 std::vector<std::int32_t>& pairedRight) {
  pairedLeft.resize(static_cast<std::size_t>(L.count), 0);
  pairedRight.resize(static_cast<std::size_t>(R.count), 0);
  auto& lp = L.positions;
  auto& rp = R.positions;
  for (int pass = 1; pass <= 4; ++pass) {
    for (std::int64_t i = 0; i < L.count; ++i) {
      if (pairedLeft[i]) continue;
      for (std::int64_t r = 0; r < R.count; ++r) {
        if (pairedRight[r] || L.classes[i] != R.classes[r]) continue;
        if (pass >= 2 && r != R.count - 1 && rp[r + 1] < lp[i]) continue;
        if ((pass == 2 || pass == 3) && r >= 2 && rp[r - 1] > lp[i]) continue;
        const std::int32_t d = rp[r] - lp[i];
        const bool strongLeft = L.types[i] == MarkerSet::kStrongTransient;
        const bool strongRight = R.types[r] == MarkerSet::kStrongTransient;
        if (pass == 1) {
          if (d == 0) pair(pairedLeft, i, pairedRight, r);
        } else if (pass == 2) {
          if (std::abs(d) > 2) continue;
          if (strongLeft && !strongRight) {
            rp[r] = lp[i];
            pair(pairedLeft, i, pairedRight, r);
          } else if (strongRight && !strongLeft && !pairedLeft[i]) {
            lp[i] = rp[r];
            pair(pairedLeft, i, pairedRight, r);
          }
        } else if (pass == 3) {
          // Offsets of the left and right marker per difference -3..3.
          static const std::int32_t leftMove[7] = {-2, -1, 0, 0, 0, 1, 1};
          static const std::int32_t rightMove[7] = {1, 1, 0, 0, -1, -1, -2};
          if (std::abs(d) > 3 || d == 0) continue;
          if (d == 1) {
            rp[r] = lp[i];
          } else if (d == -1) {
            lp[i] = rp[r];
          } else {
            lp[i] += leftMove[d + 3];
            rp[r] += rightMove[d + 3];
          }
          pair(pairedLeft, i, pairedRight, r);
        } else {
          if (d > 7) break;
          if (std::abs(d) < 8 && strongLeft && !strongRight) {
            rp[r] = lp[i];
          } else if (std::abs(d) < 8 && strongLeft && strongRight) {
            lp[i] += d / 4;
            rp[r] = lp[i];
          } else if (std::abs(d) < 8 && strongRight && !strongLeft && !pairedLeft[i]) {
            lp[i] = rp[r];
          } else {
            std::int32_t offset = 0;
            if (!wideTarget(d, &offset)) continue;
            lp[i] += offset;
            rp[r] = lp[i];
          }
          pair(pairedLeft, i, pairedRight, r);
        }
      }
    }
  }
  return 0;
}

int MergeMarkers(MarkerSet& L, MarkerSet& R, std::vector<std::int32_t>& pairedLeft,
                 std::vector<std::int32_t>& pairedRight) {
  try {
    pairedLeft.resize(static_cast<std::size_t>(L.count), 0);
    pairedRight.resize(static_cast<std::size_t>(R.count), 0);
    std::int64_t k = 0;
    while (k < L.count && k < R.count) {
      const std::int32_t l = L.positions[k], r = R.positions[k];
      if (l < r) {
        copyMarker(R, k, L, k, pairedRight);
        pairedLeft[k] = 1;
      } else if (r < l) {
        copyMarker(L, k, R, k, pairedLeft);
        pairedRight[k] = 1;
      }
      ++k;
    }
    // The longer list's trailing markers reach the other channel as well.
    for (; k < L.count; ++k) copyMarker(R, k, L, k, pairedRight);
    for (; k < R.count; ++k) copyMarker(L, k, R, k, pairedLeft);
    L.times.assign(static_cast<std::size_t>(L.count), 0.0);
    R.times.assign(static_cast<std::size_t>(R.count), 0.0);
    std::vector<std::int32_t>().swap(pairedLeft);
    std::vector<std::int32_t>().swap(pairedRight);
  } catch (const std::bad_alloc&) {
    throw -1;
  }
  return 0;
}

int MarkerWindows(MarkerSet& m, const MarkerWindowContext& c) {
  try {
    const auto n = static_cast<std::size_t>(m.count);
    m.beforeWidth.assign(n, MarkerSet::kDefaultWidth);
    m.beforeRest.assign(n, MarkerSet::kDefaultRest);
    m.afterWidth.assign(n, MarkerSet::kDefaultWidth);
    m.afterRest.assign(n, MarkerSet::kDefaultRest);
    m.times.assign(n, 0.0);
  } catch (const std::bad_alloc&) {
    throw -1;
  }
  const std::int64_t frameCount = c.frames ? c.frames->frameCount() : 0;
  auto frameTime = [&](std::int32_t position) {
    if (frameCount <= 0) return 0.0;
    const std::int64_t at = std::clamp<std::int64_t>(position, 0, frameCount - 1);
    return c.frames->frame(at)->time;
  };
  for (std::int64_t j = 0; j + 1 < m.count; ++j) {
    double g = m.positions[j + 1] - m.positions[j];
    if (c.params) {
      const double ratio = c.params->GetParam(CTimeMachineParams::StretchRatio, frameTime(m.positions[j + 1]));
      if (ratio < 1.0) g = std::trunc(g * ratio);
    }
    if (g < 6.0) {
      m.afterWidth[j] = m.beforeWidth[j + 1] = m.afterRest[j] = m.beforeRest[j + 1] = 2.0;
    } else {
      const double h = std::min(std::floor((g - 2.0) / 2.0), 8.0);
      m.afterWidth[j] = m.beforeWidth[j + 1] = h;
      m.afterRest[j] = m.beforeRest[j + 1] = std::clamp((g - 2.0 * h) * 0.5, 2.0, 8.0);
    }
  }
  const double p = c.hopSeconds;
  for (std::int64_t j = 0; j < m.count; ++j)
    m.times[j] = p > 0.0 ? std::trunc(frameTime(m.positions[j]) / p + 0.5 + 1e-8) * p : frameTime(m.positions[j]);
  const double q = c.hopSamples > 0 ? (c.sampleRate / 44100.0 * 256.0) / static_cast<double>(c.hopSamples) : 1.0;
  for (auto* v : {&m.beforeWidth, &m.beforeRest, &m.afterWidth, &m.afterRest})
    for (double& w : *v) w = std::trunc(w * q + 1e-8);
  return 0;
}
