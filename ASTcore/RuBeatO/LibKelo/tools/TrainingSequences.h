#pragma once
// Sequences of chord events for fitting one emission density: target
// chords (the chord type being modelled, random roots) alternate with
// context chords of common types, so that the analysis frames at the edges
// of a target see its neighbours as in real music. Each sequence is turned
// into one joint chroma feature per event by the engine's beat-slice front
// end, the event starts standing in for beats.

#include <cstddef>
#include <string>
#include <vector>

#include <boost/numeric/ublas/vector.hpp>

#include "GeneratorRandom.h"

namespace kelomodel {

using Feature = boost::numeric::ublas::vector<double>;

struct ChordSequence {
  std::vector<float> audio;
  std::vector<std::size_t> starts;  // sample of each event's start
  std::vector<int> roots;           // root of each event
  std::vector<bool> isTarget;
};

// `targets` target events, synthesised with a new random timbre per
// sequence and a random voicing per event.
ChordSequence synthesisedSequence(GeneratorRandom& rng, const std::vector<int>& intervals, int targets);

// The same plan played by a GM instrument (with a GM bass under it),
// rendered by fluidsynth; empty audio when rendering is not possible.
ChordSequence renderedSequence(GeneratorRandom& rng, const std::vector<int>& intervals, int targets,
                               int program, int bassProgram, const std::string& workDir,
                               const std::string& name);

// One 26-value joint chroma per event, through the engine's front end.
std::vector<Feature> jointChromaPerEvent(const ChordSequence& sequence);

// The feature read from `root` upwards (both chromas rotated), so that
// every chord of a type looks as if its root were pitch class 0.
Feature rotatedToRoot(const Feature& f, int root);

}  // namespace kelomodel
