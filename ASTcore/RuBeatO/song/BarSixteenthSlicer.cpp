#include "BarSixteenthSlicer.h"

#include <stdexcept>

#include "IProgress.h"

namespace {
BarSixteenthSlicer& self(void* user) { return *static_cast<BarSixteenthSlicer*>(user); }
}  // namespace

BarSixteenthSlicer::BarSixteenthSlicer(float sampleRate, MzMir::IProgress* listener, std::int32_t beatsPerBar,
                                       std::int32_t subdivision)
    : sampleRate(sampleRate), listener(listener), beatsPerBar(beatsPerBar), subdivision(subdivision) {}

int BarSixteenthSlicer::_onChord(kelo::t_chord chord, double, void* user) {
  BarSixteenthSlicer& s = self(user);
  if (s.listener) s.listener->onChord(&chord);
  return 0;
}

int BarSixteenthSlicer::_onBarline(kelo::t_barline barline, double, void* user) {
  self(user).addBarline(barline);
  return 0;
}

int BarSixteenthSlicer::_onTatum(kelo::t_tatum tatum, void* user) {
  BarSixteenthSlicer& s = self(user);
  s.tatums.push_back(tatum.samplePosition);
  if (s.listener) s.listener->onTatum(&tatum);
  return 0;
}

int BarSixteenthSlicer::_onBeat(kelo::t_beat beat, double, void* user) {
  BarSixteenthSlicer& s = self(user);
  if (beat.tatum >= 0 && static_cast<std::size_t>(beat.tatum) < s.tatums.size())
    s.beatTimes.push_back(static_cast<float>(s.tatums[static_cast<std::size_t>(beat.tatum)]) / s.sampleRate);
  if (s.listener) s.listener->onBeat(&beat);
  return 0;
}

int BarSixteenthSlicer::_onKeysig(kelo::t_keysig keysig, double, void* user) {
  BarSixteenthSlicer& s = self(user);
  if (s.listener) s.listener->onKeysig(&keysig);
  return 0;
}

int BarSixteenthSlicer::_onDoneAnalysis(int, void* user) {
  self(user).buildSixteenthGrid();
  return 0;
}

void BarSixteenthSlicer::addBarline(const kelo::t_barline& barline) {
  barlines.push_back(barline.tatum);
  switch (barline.denominator) {
    case 8:
      // Compound meters count dotted quarters, each of six sixteenths.
      if (barline.numerator % 3 == 0) {
        subdivision = 6;
        beatsPerBar = barline.numerator / 3;
      } else {
        subdivision = 2;
        beatsPerBar = barline.numerator;
      }
      break;
    case 4:
      subdivision = 4;
      beatsPerBar = barline.numerator;
      break;
    default:
      throw std::domain_error("Unsupported meter");
  }
  if (listener) listener->onBarline(&barline);
}

void BarSixteenthSlicer::appendSteps(std::size_t k) {
  const std::int32_t a = tatums[k];
  const std::int32_t b = tatums[k + 1];
  if (b <= a || subdivision <= 0) return;
  for (std::int32_t j = 0; j < subdivision; ++j) {
    // 64-bit product: a tatum interval times the step count may pass 2^31.
    const auto step = static_cast<std::int64_t>(j) * (b - a) / subdivision;
    grid.push_back(static_cast<float>(a + step) / sampleRate);
  }
}

void BarSixteenthSlicer::buildSixteenthGrid() {
  grid.clear();
  if (barlines.empty()) return;
  const std::int64_t first = barlines.front();
  const std::int64_t last = barlines.back();
  if (first < 0 || first >= last - 1) return;
  for (std::int64_t k = first; k <= last - 2; ++k) {
    // A bar line ahead of the tatums reported cannot be placed.
    if (static_cast<std::size_t>(k + 1) >= tatums.size()) break;
    appendSteps(static_cast<std::size_t>(k));
  }
}

void BarSixteenthSlicer::completeLastBar() {
  if (grid.empty()) return;
  const auto last = static_cast<std::size_t>(barlines.back());
  if (last >= tatums.size()) return;
  appendSteps(last - 1);
  grid.push_back(static_cast<float>(tatums[last]) / sampleRate);
}
