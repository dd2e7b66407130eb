#pragma once
// Shared pieces of the audio style tests: byte builders, the analysis info
// text the project core sends, and small readers of the model.

#include <cstdint>
#include <string>

#include "ByteBuilders.h"

namespace AudioTest {

using ByteBuilders::Bytes;
using ByteBuilders::Cat;
using ByteBuilders::Chunk;
using ByteBuilders::Of;
using ByteBuilders::Text;
using ByteBuilders::U32BE;

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
