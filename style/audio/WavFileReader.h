#pragma once
// Reads the sample data of a RIFF WAVE file laid out as "RIFF", size,
// "WAVE", a "fmt " chunk, then directly the "data" chunk. The format fields
// are not looked at here.
//
// Every size the file states is checked against the bytes the file really
// holds before anything is allocated, and every read is checked: a file
// shorter than its chunks say is refused, never returned short.

#include <cstdint>
#include <string>
#include <vector>

#include "CChunkBase.h"
#include "ResultCode.h"

class WavFileReader : public CChunkBase {
 public:
  ~WavFileReader() override = default;

  // Appends the body of the "data" chunk to `out`; after a failure `out` is
  // as it was. `path` is UTF-8.
  // 1 the file cannot be opened; 2 no memory; 3 + c a chunk id that cannot
  // be read or is not in the id table; 4 "RIFF", "fmt " or "data" expected
  // and another known id found; 5 + c a little-endian size that cannot be
  // read; 6 a size of 0; 7 no "WAVE" form; 8 the file ends before the
  // "fmt " or "data" body it announces.
  ResultCode Read(std::vector<std::uint8_t>& out, const std::string& path);
};
