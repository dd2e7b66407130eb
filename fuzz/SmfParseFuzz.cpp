// fuzz-deps: smf
// Feeds arbitrary bytes to the Standard MIDI File reader; whatever it
// accepts must serialise, and a file we wrote must read back to the same
// bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "CSmf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CSmf smf;
  if (Result::failed(smf.Parse(data, size))) return 0;
  std::vector<std::uint8_t> first;
  if (Result::failed(smf.Serialize(first))) return 0;  // e.g. a file without tracks
  CSmf again;
  if (Result::failed(again.Load(first))) std::abort();
  std::vector<std::uint8_t> second;
  if (Result::failed(again.Serialize(second)) || second != first) std::abort();
  return 0;
}
