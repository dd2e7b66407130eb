#pragma once
// How far the spread of a frame's magnitudes (as the sync analysis measures
// it) can lie from the spread of a spectrum made of its neighbours alone:
// frames t-3, t-1, t+1 and t+3, each turned round to frame t's place (which
// leaves its magnitudes as they are) and mixed with the weights of cubic
// interpolation, -1/16, 9/16, 9/16, -1/16.
//
// The mixed spectrum is the transform of the turned frames mixed alike; it
// differs from the frame's own by the transform of d, the frame's samples
// times the window's error of interpolation (plus, in the first and last
// three hops of the frame, samples turned round from beyond its ends, where
// the window is close to 0). A magnitude moves by no more than its bin's
// value, the spread (a standard deviation) by no more than the root mean
// square of the magnitudes' moves, and Parseval turns that into at most
// sqrt(2) |d|. The window is smooth but for its peak, so |d| stays below a
// hundredth of the frame's norm.
//
// |d|^2 is bounded by a sum over the blocks of one hop that the frames
// cover: each block's energy (an exact integer) times the largest squared
// weight that d gives a sample of the block; a pass over 38 blocks instead
// of a transform.

#include <cstdint>
#include <vector>

class MidFrameBound {
 public:
  // Frames as FrameCutter cuts them; frameLength must be a multiple of an
  // even hop (so that the Nyquist term turns by whole turns) of at least 8
  // hops. Throws std::domain_error otherwise.
  MidFrameBound(const std::int16_t* samples, int sampleCount, int frameLength, int hop);

  // Neighbours of frame t and their weights in the mix.
  static constexpr int kNeighbours = 4;
  static constexpr int kOffsets[kNeighbours] = {-3, -1, 1, 3};
  static constexpr float kWeights[kNeighbours] = {-1.0f / 16, 9.0f / 16, 9.0f / 16, -1.0f / 16};

  // The largest distance between the spread of frame t and that of the mix
  // of its neighbours (all exact), for t >= 3.
  double distance(int t) const;

 private:
  int blocksPerFrame_;
  std::vector<double> blockEnergy_;  // block b: samples hop * b - frameLength / 2 onwards
  // Per block from 3 hops before the frame to 3 after it: the largest
  // squared weight d gives a sample of the block (doubled where a position
  // of d holds two samples).
  std::vector<double> weight_;
};
