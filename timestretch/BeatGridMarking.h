#pragma once
// Marks a grid of beat positions on an onset table: an onset near each grid
// position is strengthened by 300, and where none is near (and marking is
// on) a weak onset of 301 is written at the position. The grid itself is
// the caller's: nothing in the job sets it.

#include <cstdint>

struct BeatGrid {
  std::int64_t spacing = 0;   // frames between grid positions (must be > 0)
  std::int64_t first = 0;     // first grid position (frame)
  std::int64_t last = 0;      // grid positions run up to this frame
  bool markMissing = true;    // write 301 where no onset is near
  std::int64_t minimumStrength = 5;
  std::int64_t windowDivisor = 5;
};

// Walks the grid over `onsets` (`frames` entries); positions and windows
// outside the table are skipped. Then zeroes `second` (`frames` entries),
// copies the first onset entry into it, and turns a leading run of zeros of
// the onset table into 65535. Returns the number of grid positions marked.
std::int64_t MarkBeatGrid(std::uint16_t* onsets, std::uint16_t* second, std::int64_t frames, const BeatGrid& grid);
