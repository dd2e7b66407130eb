#pragma once
// What a chord and key engine reports, kept in the order it came: the
// engine's tatum, beat, key, bar line, chord and end callbacks all aimed at
// one record.

#include <map>
#include <vector>

#include "IKelo.h"

struct KeloReports {
  std::vector<kelo::t_tatum> tatums;
  std::vector<kelo::t_beat> beats;
  std::vector<kelo::t_keysig> keys;
  std::vector<kelo::t_barline> bars;
  std::vector<kelo::t_chord> chords;
  int done = 0;

  // Points the engine's reports (all but the tatum features) at this record.
  void listenTo(kelo::IKelo& e) {
    e.onTatum = [](kelo::t_tatum t, void* u) { return of(u).tatums.push_back(t), 0; };
    e.onBeat = [](kelo::t_beat b, double, void* u) { return of(u).beats.push_back(b), 0; };
    e.onKeysig = [](kelo::t_keysig k, double, void* u) { return of(u).keys.push_back(k), 0; };
    e.onBarline = [](kelo::t_barline b, double, void* u) { return of(u).bars.push_back(b), 0; };
    e.onChord = [](kelo::t_chord c, double, void* u) { return of(u).chords.push_back(c), 0; };
    e.onDoneAnalysis = [](int, void* u) { return ++of(u).done, 0; };
    e.userTatum = e.userBeat = e.userKeysig = e.userBarline = e.userChord = e.userDoneAnalysis = this;
  }

  // The time of each reported tatum in seconds at `rate`, by its index; a
  // tatum reported again holds its last time.
  std::map<int, double> tatumSeconds(double rate = 44100.0) const {
    std::map<int, double> times;
    for (const auto& t : tatums) times[t.index] = t.samplePosition / rate;
    return times;
  }

  // Everything in one flat list, for comparing two runs.
  std::vector<int> flat() const {
    std::vector<int> v;
    for (const auto& t : tatums) v.insert(v.end(), {1, t.samplePosition, t.index});
    for (const auto& b : beats) v.insert(v.end(), {2, b.tatum, b.tatumAgain});
    for (const auto& k : keys) v.insert(v.end(), {3, k.tatum, k.tonic, k.mode});
    for (const auto& b : bars) v.insert(v.end(), {4, b.tatum, b.barNumber, b.numerator, b.denominator});
    for (const auto& c : chords) v.insert(v.end(), {5, c.tatum, c.root, c.chordType, c.bass, c.reserved});
    v.push_back(done);
    return v;
  }

 private:
  static KeloReports& of(void* user) { return *static_cast<KeloReports*>(user); }
};
