#pragma once
// Generated test audio: clicks, tones and noise, and a plain reference WAV
// writer that is independent of the program's own WAV code.

#include <QString>

#include <cstdint>
#include <vector>

namespace TestAudio {

// Interleaved stereo 16-bit frames.
using Stereo16 = std::vector<std::int16_t>;

// `seconds` of silence with a short decaying click (2 ms) at every
// `interval` seconds starting at `first`; `accentEvery` > 0 makes every
// n-th click louder.
Stereo16 clickTrack(double seconds, double interval, double first = 0.0,
                    int accentEvery = 0, int sampleRate = 44100);

// A sine tone of the given frequency and peak amplitude (0..1).
Stereo16 sine(double seconds, double freq, double amplitude = 0.5, int sampleRate = 44100);

// Deterministic white noise of the given peak amplitude.
Stereo16 noise(double seconds, double amplitude, unsigned seed = 1, int sampleRate = 44100);

// Writes a canonical 44-byte-header PCM WAV with the given layout. Returns
// false when the file cannot be written.
bool writeWav(const QString& path, const std::vector<std::int16_t>& interleaved,
              int channels = 2, int sampleRate = 44100);

// Renders a short pop-like song (drums, bass, chords; a verse and a chorus
// of `bars` / 2 bars each, 4/4) from a generated MIDI file with fluidsynth
// and the General MIDI sound font into a 16-bit stereo 44100 Hz WAV at
// `wavPath`. Returns false when fluidsynth or the sound font is missing.
bool renderSong(const QString& wavPath, int bars, int bpm);

}  // namespace TestAudio
