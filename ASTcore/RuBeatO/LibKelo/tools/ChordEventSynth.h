#pragma once
// Synthetic chord events for fitting the emission densities: additive tones
// with a random timbre (number of partials, spectral roll-off, envelope,
// slight detuning), voicings of 3 to 5 notes over several octaves above a
// bass that is mostly the root, and some percussive noise.

#include <cstddef>
#include <vector>

#include "GeneratorRandom.h"

namespace kelomodel {

constexpr int kSampleRate = 44100;

struct Timbre {
  int partials;
  double rolloff;      // partial h has amplitude h^-rolloff
  double attack;       // seconds
  double decay;        // seconds to fall by 1/e; large for sustained tones
  double detuneCents;  // largest detuning of a note
  double bassLevel;    // bass amplitude relative to an upper note
};

Timbre randomTimbre(GeneratorRandom& rng);

// MIDI notes of one voicing of the chord: the bass first (the root with
// probability `rootBass`, else another chord tone), then 3 to 5 upper notes
// spread over C3..C6. An empty chord yields no notes.
std::vector<int> voiceChord(GeneratorRandom& rng, int root, const std::vector<int>& intervals,
                            double rootBass = 0.8);

// Adds the notes, sounding from `start` for `length` samples.
void addNotes(std::vector<float>& audio, const std::vector<int>& notes, std::size_t start,
              std::size_t length, const Timbre& timbre, GeneratorRandom& rng);

// Adds a few drum-like hits (low thumps and noise bursts) in the span.
void addPercussion(std::vector<float>& audio, std::size_t start, std::size_t length, double level,
                   GeneratorRandom& rng);

// Scales the whole signal to the given peak.
void normalisePeak(std::vector<float>& audio, float peak);

}  // namespace kelomodel
