#pragma once
// The windowed samples of a frame that lies wholly inside the recording, in
// single precision: out[i] = samples[i] * window[i]. Every product is exact
// but for one rounding, so any width of vector gives the same values.

#include <cstdint>

void cutFrame(const std::int16_t* samples, const float* window, int length, float* out);
