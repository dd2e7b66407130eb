#pragma once
// Receives the chord/key engine's reports during a song analysis: keeps the
// tatum positions, bar lines and beat times, follows the meter the bar lines
// announce and, when the engine has finished, divides every tatum interval
// from the first bar line on into sixteenth-note steps. That grid is the
// time base of the song-structure features. Every report is also handed on
// to the analysis listener.
//
// The static callbacks are installed on the engine with the slicer as their
// user pointer; they run on the engine's thread, inside its process() and
// finish().

#include <cstdint>
#include <vector>

#include "KeloTypes.h"

namespace MzMir {
class IProgress;
}

class BarSixteenthSlicer {
 public:
  // `listener` (not owned) may be null.
  BarSixteenthSlicer(float sampleRate, MzMir::IProgress* listener, std::int32_t beatsPerBar = 4,
                     std::int32_t subdivision = 4);

  // Engine callbacks; `user` is the slicer. Each returns 0.
  static int _onChord(kelo::t_chord chord, double value, void* user);
  // Throws std::domain_error("Unsupported meter") for a denominator other
  // than 4 or 8; the bar line stays recorded, the listener is not told.
  static int _onBarline(kelo::t_barline barline, double value, void* user);
  static int _onTatum(kelo::t_tatum tatum, void* user);
  static int _onBeat(kelo::t_beat beat, double value, void* user);
  static int _onKeysig(kelo::t_keysig keysig, double value, void* user);
  static int _onDoneAnalysis(int status, void* user);

  void addBarline(const kelo::t_barline& barline);
  // Grid from the first bar line up to one tatum before the last one.
  void buildSixteenthGrid();
  // Appends the steps of the tatum interval that ends at the last bar line
  // and that bar line itself, so the bar it closes is whole on the grid.
  // Call once, after buildSixteenthGrid; does nothing while the grid is
  // empty.
  void completeLastBar();

  std::int32_t gridPerBar() const { return subdivision * beatsPerBar; }

  std::vector<std::int32_t> tatums;    // sample position per tatum index
  std::vector<std::int32_t> barlines;  // tatum index per bar line
  std::vector<float> grid;             // seconds
  std::vector<float> beatTimes;        // seconds
  float sampleRate;
  MzMir::IProgress* listener;
  std::int32_t beatsPerBar;
  std::int32_t subdivision;

 private:
  void appendSteps(std::size_t k);
};
