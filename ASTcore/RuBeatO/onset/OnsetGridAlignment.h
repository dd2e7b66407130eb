#pragma once
// The stages of the import onset detector after the signal chain: aligning
// peak strengths to a beat grid and moving each peak to the start of its
// rising edge.
//
// A frame that lies on the grid gets 300 added to its strength; the final
// selection reads such a value as "on the grid" and subtracts the 300 again.
// Every index these stages touch is checked against the array: a grid that
// runs past the last frame marks nothing there.

#include <cstdint>

namespace onset {

// Value added to a frame that lies on the grid.
constexpr std::int16_t kGridMark = 300;

struct GridLayout {
  std::int64_t startFrame;      // first anchor
  std::int64_t endFrame;        // anchors stop once one reaches this frame
  std::int64_t frameCount;      // the closing anchor of the recording
  double framesPerBeat;         // predicted distance of anchors
  std::int32_t divisions;       // grid points per beat
  std::int32_t toleranceDivisor;// search tolerance = framesPerBeat / this
  std::int16_t peakThreshold;   // strength an anchor needs
  std::int16_t gridThreshold;   // strength preferred at a division point
};

// Marks anchors (strong peaks near each predicted beat) and the division
// points between them in `values` (frame strengths, `frames` entries), in
// place. A layout with fewer than one frame per beat or no divisions marks
// nothing.
void markGrid(std::int16_t* values, std::int64_t frames, const GridLayout& layout);

// Clears `placed` and writes every positive value of `values` at the first
// frame of the rising edge (run of -1 frames) that ends just before it, going
// back no further than two frames after the previous positive value; without
// such a run the value stays at its frame. A positive value at frame 0 stays.
void placeOnRisingEdges(const std::int16_t* values, std::int16_t* placed, std::int64_t frames);

}  // namespace onset
