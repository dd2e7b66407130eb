#pragma once
// Small routines over the structure rounds' countdown columns and per-bar
// value sequences (countdown 0 at a segment's last position), beside the
// consensus: a plain vote threshold for boundaries, and the conversions
// between per-position and per-segment values.

#include <utility>
#include <vector>

// Segments (start, end) cut after every position p of 1 .. N-2 whose column
// has more than trunc(0.2 * M) zero countdowns (M the width of column 0);
// fewer than 3 columns give the single segment (0, N).
std::vector<std::pair<int, int>> thresholdSegmentBoundaries(const std::vector<std::vector<int>>& columns);

// The value of every position that starts a segment (position 0 and every
// position after a zero countdown), in order. Positions run while both a
// value and the previous position's countdown exist.
void segmentStartValues(std::vector<int>& out, const std::vector<int>& values, const std::vector<int>& countdown);

// One value per position of `countdown`: values[c], c being the number of
// zero countdowns before the position (the segment index). Throws
// std::out_of_range when `values` has no entry for a segment.
void expandSegmentValues(std::vector<int>& out, const std::vector<int>& values, const std::vector<int>& countdown);
