// Sync analysis: between each pair of consecutive positions of a mono
// recording, the sample where the spectrum is least active. The style
// export takes these quietest points between beats as the synchronisation
// points of a section, bar by bar.
//
// How it works: a magnitude spectrogram (frames centred every `hop` samples,
// Bartlett-Hann window, real FFT) is reduced to one activity value per frame
// (mode 1: the spread of each frame's magnitudes across the bins, summed over
// a few neighbouring frames; any other mode: each bin's variance over those
// frames relative to its mean, summed over the bins). Frames too close to
// either end to have their neighbours get a value above every evaluated
// frame, so they never win. The curve is scaled to 0..1, interpolated to
// one value per sample, and searched between the positions.
//
// Ownership of the returned arrays: every array these functions hand out is
// allocated here, belongs to the caller from then on and is freed only with
// syncRelease (never with free or delete). On entry an output pointer must be
// null or hold an array an earlier call handed out; a successful call
// releases that array and replaces it (with null when the result is empty).
// A call that throws leaves the output pointer and its array as they were.
//
// Nothing here keeps state between calls; one call may run per thread.
// Diagnostics go to the standard output.

#pragma once

#include <cstdint>

// Finds resultCount = positionCount - 1 sync points: result[i] is the first
// sample with the smallest activity within positions[i] + m to
// positions[i+1] - m - 1 (m = 0.015 s of samples, and the range cut to the
// recording), or positions[i] + m when that range is empty.
// The result is empty (count 0, null array) for fewer than 2 positions, for
// fewer than 2 samples, and for a recording too short to have a frame away
// from both ends (about 0.4 s at 44100 Hz).
// Throws std::domain_error for a sample rate below 1, a negative sample or
// position count, a negative position, or a missing array, and std::bad_alloc
// when memory runs out.
void syncAnalyze(std::uint32_t*& result, std::uint32_t& resultCount, const std::int16_t* samples,
                 int sampleCount, const std::int32_t* positions, int positionCount, int sampleRate,
                 int mode);

// Magnitude spectrogram: frameCount = ceil(sampleCount / hop) frames of
// bins = frameLength / 2 values, frame after frame; frame t is centred on
// sample hop * t (samples outside the recording count as 0). Bin 0 holds
// the magnitude of the DC and Nyquist terms together.
// Throws std::domain_error unless frameLength is a power of two of at least 2
// and hop is positive, and for a negative sampleCount or missing samples.
void computeSpectrogram(double*& magnitudes, std::uint32_t& bins, std::uint32_t& frameCount,
                        const std::int16_t* samples, int sampleCount, int frameLength, int hop);

// Activity curve of count = ceil(sampleCount / hop) values, one per frame of
// the spectrogram above (see the header comment for the two modes).
// halfWindowSamples sets how many neighbouring frames count
// (trunc(halfWindowSamples / frameLength + 1.5) on each side) and
// borderSamples how many frames at either end are not evaluated.
// Throws std::domain_error as computeSpectrogram does, and for a negative or
// non-finite halfWindowSamples or borderSamples.
void computeActivityCurve(double*& curve, std::uint32_t& count, const std::int16_t* samples,
                          int sampleCount, int frameLength, int hop, int mode, float halfWindowSamples,
                          float borderSamples);

// Scales a curve in place to (c - min) / max. A curve whose largest value
// is not above 0 becomes all 0.
void normalizeActivityCurve(double* curve, std::uint32_t count);

// Frees an array handed out by the functions above and sets the pointer to
// null; a null pointer is left alone.
void syncRelease(std::uint32_t*& array);
void syncRelease(double*& array);
