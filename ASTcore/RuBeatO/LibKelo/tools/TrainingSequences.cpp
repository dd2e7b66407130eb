#include "TrainingSequences.h"

#include <list>

#include "BeatSliceFeatureGenerator.h"
#include "ChordEventSynth.h"
#include "FluidChordRenderer.h"

namespace kelomodel {

namespace {

constexpr int kFrameLength = 16384;
constexpr int kHop = 180;
constexpr int kJointChroma = 4;
constexpr int kPoolMedian = 0;

const std::vector<std::vector<int>>& contextChords() {
  static const std::vector<std::vector<int>> chords = {
      {0, 4, 7}, {0, 3, 7}, {0, 4, 7, 10}, {0, 3, 7, 10}, {0, 5, 7}, {0, 4, 7, 11}};
  return chords;
}

struct PlannedEvent {
  double start, length;
  int root;
  bool target;
  std::vector<int> notes;
};

std::vector<PlannedEvent> plan(GeneratorRandom& rng, const std::vector<int>& intervals, int targets) {
  std::vector<PlannedEvent> events;
  double t = 0.0;
  for (int i = 0; i < 2 * targets; ++i) {
    PlannedEvent e;
    e.target = (i % 2) == 1;
    e.start = t;
    e.length = e.target ? rng.uniform(0.45, 1.0) : rng.uniform(0.3, 0.8);
    e.root = rng.below(12);
    const std::vector<int>& chord =
        e.target ? intervals : contextChords()[std::size_t(rng.below(int(contextChords().size())))];
    e.notes = voiceChord(rng, e.root, chord);
    events.push_back(e);
    t += e.length;
  }
  return events;
}

ChordSequence layout(const std::vector<PlannedEvent>& events) {
  ChordSequence s;
  for (const auto& e : events) {
    s.starts.push_back(std::size_t(e.start * kSampleRate));
    s.roots.push_back(e.root);
    s.isTarget.push_back(e.target);
  }
  return s;
}

}  // namespace

ChordSequence synthesisedSequence(GeneratorRandom& rng, const std::vector<int>& intervals, int targets) {
  const std::vector<PlannedEvent> events = plan(rng, intervals, targets);
  ChordSequence s = layout(events);
  const double total = events.back().start + events.back().length;
  s.audio.assign(std::size_t((total + 0.2) * kSampleRate), 0.0f);
  const Timbre timbre = randomTimbre(rng);
  const double drums = rng.chance(0.6) ? rng.uniform(0.05, 0.4) : 0.0;
  for (const auto& e : events) {
    const std::size_t start = std::size_t(e.start * kSampleRate);
    const std::size_t length = std::size_t(e.length * kSampleRate);
    addNotes(s.audio, e.notes, start, length, timbre, rng);
    if (drums > 0.0 || e.notes.empty()) addPercussion(s.audio, start, length, drums > 0.0 ? drums : 0.3, rng);
  }
  normalisePeak(s.audio, 0.5f);
  return s;
}

ChordSequence renderedSequence(GeneratorRandom& rng, const std::vector<int>& intervals, int targets, int program,
                               int bassProgram, const std::string& workDir, const std::string& name) {
  const std::vector<PlannedEvent> events = plan(rng, intervals, targets);
  ChordSequence s = layout(events);
  std::vector<MidiNote> notes;
  for (const auto& e : events) {
    for (int key : e.notes) {
      const bool bass = key < 48;
      notes.push_back({e.start, e.start + e.length, bass ? 1 : 0, bass ? key + 12 : key, 60 + rng.below(50)});
    }
    // "No chord" events are played by the drum kit alone.
    if (e.notes.empty()) notes.push_back({e.start, e.start + 0.1, 9, 35 + rng.below(12), 100});
  }
  s.audio = renderNotes(notes, {program, bassProgram}, workDir, name);
  return s;
}

std::vector<Feature> jointChromaPerEvent(const ChordSequence& sequence) {
  kelo::BeatSliceFeatureGenerator front(kFrameLength, kHop);
  front.pushSamples(sequence.audio.data(), int(sequence.audio.size()));
  std::list<int> beats;
  for (std::size_t start : sequence.starts) beats.push_back(int(start / kHop));
  front.flushAtBeats(beats);
  std::vector<Feature> out;
  front.makeFeature(out, kJointChroma, 0, 1, kPoolMedian);
  return out;
}

Feature rotatedToRoot(const Feature& f, int root) {
  Feature v(f);
  for (int i = 0; i < 12; ++i) {
    v(std::size_t(i)) = f(std::size_t((root + i) % 12));
    v(std::size_t(12 + i)) = f(std::size_t(12 + (root + i) % 12));
  }
  return v;
}

}  // namespace kelomodel
