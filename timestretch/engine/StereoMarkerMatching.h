#pragma once
// Transient markers of the whole-signal pre-analysis: found per channel from
// the flux values of the frames' band blocks, paired between the channels so
// that both place their markers at the same frames, completed by copies of
// the markers that found no partner, and finally given their times and the
// widths of the frame spans around them.

#include <cstdint>
#include <vector>

#include "CSMSRegion.h"
#include "CTimeMachineParams.h"
#include "MarkerSet.h"

// Empties the marker sets and sizes their per-frame detection values to the
// channels' frame counts (right only when given); nothing when the
// pre-analysis is off. Marker arrays then grow with the markers. Returns 0;
// throws -1 when storage cannot be had.
int AllocateMarkerArrays(bool preAnalysis, MarkerSet& left, std::int64_t leftFrames, MarkerSet* right,
                         std::int64_t rightFrames);

// Finds the markers of one channel's analysed frames: copies the three
// detection values (band block entries 40, 41 and 42) of every frame and,
// when `detect`, makes a marker (at frame + 5) for every strict local
// maximum above 40 over nine frames, then merges markers closer than 9
// frames. Returns 0; throws -1 when storage cannot be had.
int BuildTransientMarkers(MarkerSet& markers, const CSMSRegion& frames, bool detect);

// Pairs the markers of equal class of the two channels in four passes
// (exact, near with a strong marker winning, offset by up to 3, wide up to
// 7 frames), moving positions so that paired markers coincide. The flags
// (one per marker, zero on entry) mark the paired ones. Returns 0.
int MatchMarkers(MarkerSet& left, MarkerSet& right, std::vector<std::int32_t>& pairedLeft,
                 std::vector<std::int32_t>& pairedRight);

// Makes both lists equal: a marker without a partner is copied (type
// kTransient) into the other list, including the trailing markers of the
// longer list. Returns 0; throws -1 when storage cannot be had.
int MergeMarkers(MarkerSet& left, MarkerSet& right, std::vector<std::int32_t>& pairedLeft,
                 std::vector<std::int32_t>& pairedRight);

// What the widths and times depend on besides the markers.
struct MarkerWindowContext {
  const CSMSRegion* frames = nullptr;       // the channel's analysed frames (their times)
  const CTimeMachineParams* params = nullptr;  // StretchRatio, read in the set's time mode
  double hopSeconds = 0.0;                  // the engine's hop in seconds
  double sampleRate = 44100.0;
  std::int64_t hopSamples = 256;            // the engine's hop in samples
};

// Fills the four width arrays and the times of every marker: spans of up to
// 8 frames (2 when neighbours are closer than 6 frames, the gap shrunk by
// a ratio below 1), times snapped to the hop grid, widths rescaled from
// analysis to engine frames. Returns 0; throws -1 when storage cannot be had.
int MarkerWindows(MarkerSet& markers, const MarkerWindowContext& context);
