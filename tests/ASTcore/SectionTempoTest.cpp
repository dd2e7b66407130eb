// The tempo proposed for a section from its span on the recording's beat
// grid: whole bars of an N BPM grid give N, whatever rounding the grid's
// single-precision times and whole-frame addresses bring.

#include <gtest/gtest.h>

#include <cmath>

#include "CASTcore.h"

namespace {

constexpr int kBeats = 96;

// One wave whose grid (division 1: two entries per beat) holds beats at an
// exact `bpm`, stored as the analysis stores them: single-precision seconds.
void addGrid(CASTcore& core, double bpm) {
  auto* w = new WavInfo;
  w->fileName = L"grid.wav";
  w->beatDiv = 1;
  for (int k = 0; k < 2 * kBeats; ++k) w->beatTime.push_back(static_cast<float>(k * 30.0 / bpm));
  w->onsetTime = {0.0f, static_cast<float>(kBeats * 60.0 / bpm)};
  ASSERT_EQ(core.addWavList(w), 0u);
}

std::uint64_t beatAddress(CASTcore& core, std::uint32_t beat) {
  std::uint64_t address = 0;
  EXPECT_EQ(core.getAddressOfBeat(0, 0, beat, address), 0u);
  return address;
}

// Slot 3 spans beats first..last as the user or the assignment sets it;
// returns the proposed tempo.
std::uint64_t tempoOfSpan(CASTcore& core, std::uint32_t first, std::uint32_t last, std::uint16_t manualBars = 0) {
  SecInfo s;
  s.used = 1;
  s.wavNo = 0;
  s.startAdrs = beatAddress(core, first);
  s.endAdrs = beatAddress(core, last);
  if (manualBars) {
    s.manualBar = 1;
    s.setAreaCount(manualBars);
  }
  EXPECT_EQ(core.setSecInfo(3, s), 0u);
  std::uint64_t tempo = 0;
  EXPECT_EQ(core.calcSecTempo(3, tempo), 0u);
  return tempo;
}

}  // namespace

TEST(SectionTempo, WholeBarsOfAGridGiveItsTempo) {
  for (int bpm : {60, 72, 83, 84, 90, 99, 100, 108, 112, 119, 120, 128, 137, 150, 174, 200, 240}) {
    CASTcore core;
    addGrid(core, bpm);
    struct Span {
      std::uint32_t first, last;
    };
    for (const Span span : {Span{0, 4}, Span{4, 8}, Span{8, 16}, Span{12, 28}, Span{20, 52}, Span{60, 92}}) {
      EXPECT_EQ(tempoOfSpan(core, span.first, span.last), static_cast<std::uint64_t>(bpm))
          << bpm << " BPM, beats " << span.first << ".." << span.last;
    }
    // Manual bars: the stored bar count over the span.
    EXPECT_EQ(tempoOfSpan(core, 16, 48, 8), static_cast<std::uint64_t>(bpm)) << bpm << " BPM, 8 manual bars";
    std::uint64_t waveTempo = 0;
    core.getAllInfo().getWavTempo(0, &waveTempo);
    EXPECT_EQ(waveTempo, static_cast<std::uint64_t>(bpm)) << "the wave keeps the tempo too";
  }
}

// An analysed grid is rarely exact: a 100 BPM song imported through the
// analysis had Main A's eight bars at 19.212 s, a grid of 99.94 BPM. The
// proposal is the whole tempo nearest the grid's, so the phrase is stretched
// by the grid's own error and no more.
TEST(SectionTempo, AGridOffAWholeTempoGivesTheNearest) {
  struct Case {
    double bpm;
    std::uint64_t tempo;
  };
  for (const Case c : {Case{99.94, 100}, Case{99.6, 100}, Case{100.3, 100}, Case{119.2, 119}, Case{83.8, 84}}) {
    CASTcore core;
    addGrid(core, c.bpm);
    EXPECT_EQ(tempoOfSpan(core, 8, 40), c.tempo) << c.bpm;
  }
}
