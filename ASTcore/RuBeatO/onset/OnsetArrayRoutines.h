#pragma once
// The onset chain's stages applied to whole arrays, and small helpers over
// onset grids: merging and thinning onset flags on a grid of 128-sample
// cells. Signed 64-bit fixed-point arithmetic as in the signal chain.

#include <cstdint>
#include <vector>

namespace onset {

// Each element becomes the follower's output; the follower starts at 0.
void followEnvelope(std::int64_t* values, std::int64_t count, std::int64_t attack, std::int64_t release);
// Each element x becomes x - (c * previous input) / 16, the first previous
// input being 0.
void preEmphasize(std::int64_t* values, std::int64_t count, std::int64_t coefficient);
// Negative elements become 0.
void halfWaveRectify(std::int64_t* values, std::int64_t count);
// Each element becomes the mean of the `window` inputs centred on it
// (inputs beyond either end count as 0). A window below 1 changes nothing.
void centredMovingMean(std::int64_t* values, std::int64_t count, std::int64_t window);
// sum / count, 0 for an empty array.
std::int64_t meanOfCells(const std::int64_t* values, std::int64_t count);
// The chain's normalisation of a slope c by a slow mean b: c * 8192 / b
// when b is at least 129, else c * 64.
std::int64_t normalisingDivision(std::int64_t c, std::int64_t b);
// out[f] = the mean of `hop` values taken at every second sample from
// sample 2 * f * hop on (one channel of interleaved pairs); values past
// the data count as 0, so frames beyond it are 0.
void frameMeansOfEverySecondValue(std::int64_t* out, std::int64_t frames, const std::int32_t* samples,
                                  std::int64_t sampleCount, std::int64_t hop);
// The chain's lead-in pulse: 4000, 8000, 4000, then zeros.
void leadInPattern(std::int64_t* values, std::int64_t count);

// Clears, for every flagged cell in order, the flags of the count - 1 cells
// after it (count below 2 changes nothing).
void thinByCount(std::vector<bool>& flags, int count);

// Puts two onset lists (sample positions, ascending) on one grid of
// length / 128 cells: cell i stands for position 128 * (i + 1) and is
// flagged for a list when the list's next unmatched position lies in
// 128 * (i + 1) .. 128 * (i + 2) - 1 (one match per cell). The flags of
// both lists are combined, thinned to one per 10 cells, and, when any
// remain, `out` is replaced by the flagged cells' positions; otherwise it
// is left as it was.
void mergeOnsetLists(std::vector<std::int64_t>& out, const std::vector<std::int64_t>& first,
                     const std::vector<std::int64_t>& second, std::int64_t length);

}  // namespace onset
