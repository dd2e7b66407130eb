#pragma once
// The default channel tables: one complete Ctb2 chunk image per source
// channel 0..15 (id, body length 47, then 57 body bytes: the 47 counted
// bytes and ten zero bytes standing for tailWord and four pairs).

#include <cstdint>

constexpr int kDefaultCtb2Size = 65;
constexpr int kDefaultCtb2BodyOffset = 8;

extern const std::uint8_t DefaultCtb2Table[16][kDefaultCtb2Size];
