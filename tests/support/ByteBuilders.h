#pragma once
// Builders for the byte images that the file-format tests feed in and
// compare against: listed bytes, text, joined parts, big-endian sizes and
// chunks of an id, a big-endian body size and the body.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace ByteBuilders {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Of(std::initializer_list<int> values) {
  Bytes b;
  for (int v : values) b.push_back(static_cast<std::uint8_t>(v));
  return b;
}

inline Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes b;
  for (const Bytes& p : parts) b.insert(b.end(), p.begin(), p.end());
  return b;
}

inline Bytes U32BE(std::uint32_t n) { return Of({int(n >> 24), int((n >> 16) & 0xFF), int((n >> 8) & 0xFF), int(n & 0xFF)}); }

// id + big-endian body size + body.
inline Bytes Chunk(const std::string& id, const Bytes& body) {
  return Cat({Text(id), U32BE(static_cast<std::uint32_t>(body.size())), body});
}

}  // namespace ByteBuilders
