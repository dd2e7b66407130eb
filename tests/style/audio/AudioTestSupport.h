#pragma once
// Shared pieces of the audio style tests: byte builders, the analysis info
// text the project core sends, and small readers of the model.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace AudioTest {

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
inline Bytes Chunk(const std::string& id, const Bytes& body) { return Cat({Text(id), U32BE(std::uint32_t(body.size())), body}); }

// The default text, one entry a line.
inline std::string DefaultInfoText() {
  return "$SFormatTag$,0x0001,\n"
         "$OriginalTempo$,500000,\n"
         "$OriginalTimeSignature$,4,2,24,8,\n"
         "$PPQ$,480,\n"
         "$SampleSize$,22050,\n"
         "$NumberOfBars$,1,\n"
         "$SyncroPoint$,0,\n"
         "$BeatPoint$,0,\n"
         "$OnsetPoint$,0,\n"
         "$AttackPoint$,0,\n"
         "$TempoInfo$,0,\n"
         "$Volume$,80,\n";
}

// A 50-byte name record of a text.
inline Bytes NameRecord(const std::string& name) {
  Bytes b(50, 0);
  for (std::size_t i = 0; i < name.size() && i < 50; ++i) b[i] = static_cast<std::uint8_t>(name[i]);
  return b;
}

inline const std::uint8_t* U8(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

}  // namespace AudioTest
