#pragma once
// Notes and drums for the engine's song tests, mono at 44100 Hz: a plucked
// note (a few harmonics under an exponential decay) and a kick (a 60 Hz
// thump of 0.1 s), each added into a buffer and cut at its end.

#include <cmath>
#include <cstddef>
#include <vector>

namespace SynthNotes {

constexpr double kRate = 44100.0;
constexpr double kPi = 3.14159265358979323846;

inline double midiHz(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

// `decay`: the envelope falls as e^(-decay t).
inline void addNote(std::vector<float>& out, double start, double length, int note, double gain, int harmonics,
                    double decay = 3.0) {
  const auto first = static_cast<std::size_t>(start * kRate);
  const auto count = static_cast<std::size_t>(length * kRate);
  const double w = 2.0 * kPi * midiHz(note) / kRate;
  for (std::size_t i = 0; i < count && first + i < out.size(); ++i) {
    const double env = gain * std::exp(-decay * static_cast<double>(i) / kRate);
    double v = 0.0;
    for (int h = 1; h <= harmonics; ++h) v += std::sin(w * h * static_cast<double>(i)) / h;
    out[first + i] += static_cast<float>(env * v);
  }
}

inline void addKick(std::vector<float>& out, double start, double gain) {
  const auto first = static_cast<std::size_t>(start * kRate);
  for (std::size_t i = 0; i < 4410 && first + i < out.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    out[first + i] += static_cast<float>(gain * std::exp(-40.0 * t) * std::sin(2.0 * kPi * 60.0 * t));
  }
}

}  // namespace SynthNotes
