#pragma once
// One part of a song found by the song analysis.

#include <cstdint>

struct SongSegment {
  float start = 0.0f;         // seconds
  float end = 0.0f;           // seconds
  std::int32_t barTatum = 0;  // tatum index of the bar line where it starts
  // Equal labels mark recurring parts of the song; labels are numbered 0,
  // 1, 2, ... in order of first appearance.
  std::int32_t label = 0;
};
