#pragma once
// Turns the rounds of song-structure inference into one labelled
// segmentation of the bars, and simplifies a label sequence.
//
// A round gives, per bar, a label and a countdown: the number of bars that
// follow it in the round's segment (0 at a segment's last bar). Segments are
// (start, end) pairs covering bars start to end - 1. Plain functions on
// plain vectors; nothing is kept between calls.

#include <cstdint>
#include <utility>
#include <vector>

using RoundRuns = std::vector<std::vector<int>>;

// Boundaries where the rounds agree (decodeSegmentBoundaries over the
// countdown columns); each fused segment's per-round label is the mode of
// that round's labels inside it, and segments whose per-round labels differ
// in less than 1 - agreement of the rounds share a label. Both outputs get
// one value per bar (the length of round 0), or stay empty with no rounds.
void fuseRoundSegmentations(std::vector<int>& countdownOut, std::vector<int>& labelOut, const RoundRuns& countdownRuns,
                            const RoundRuns& labelRuns, double agreement);

// Column p holds the rounds' countdowns at bar p. A short semi-Markov
// decoding over the share of rounds that end a segment at each bar, with
// gaps of 1 to 8 bars (2, 4 and 8 favoured). Returns segments tiling 0..N.
std::vector<std::pair<int, int>> decodeSegmentBoundaries(const RoundRuns& columns);

// Most frequent value, the smallest among ties; 0 for an empty input.
int modeOfLabels(const std::vector<int>& values);

// Label 0 for the first row; each later row takes the label of the nearest
// earlier row (share of differing places) when that distance is below
// `threshold`, otherwise a new label.
std::vector<int> clusterSegmentLabels(const RoundRuns& rows, double threshold);

// Per-bar labels in `labelOut`: the segments' labels (segments read from
// `countdown`) with recurring pairs merged and renumbered by first
// appearance.
void relabelSegments(const std::vector<int>& countdown, std::vector<int>& labelOut, const std::vector<int>& labels);

// A pair of one-segment labels that recurs at least twice becomes one new
// label; repeated until no pair recurs, then labels are renumbered 0, 1, ...
// by first appearance. Sequences shorter than 4 come back unchanged.
void mergeRecurringLabelPairs(std::vector<int>& out, const std::vector<int>& segmentLabels);
