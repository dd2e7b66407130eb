#pragma once
// The energy envelope of a recording, built block by block while it is read:
// the mean square of the mono mix (the mean of the channels) over each hop of
// frames. Blocks may have any size; the envelope does not depend on how the
// recording was cut into them.

#include <cstddef>
#include <cstdint>
#include <vector>

class EnergyEnvelope {
 public:
  // `hop` frames per envelope value (at least 1).
  explicit EnergyEnvelope(std::size_t hop);

  // Adds `frames` interleaved frames of `channels` (at least 1) channels.
  void push(const float* interleaved, std::size_t frames, std::uint32_t channels);

  // Closes a partial last hop as the mean over the frames it holds. Further
  // pushes start a new hop.
  void finish();

  // One value per completed hop: value n covers frames [n * hop, (n+1) * hop).
  const std::vector<float>& energy() const { return values; }
  std::size_t hop() const { return hopFrames; }
  std::uint64_t framesPushed() const { return pushed; }

 private:
  std::size_t hopFrames;
  std::vector<float> values;
  double partialSum = 0.0;
  std::size_t partialFrames = 0;
  std::uint64_t pushed = 0;
};
