// fuzz-deps: audiostyle smf
// Feeds arbitrary bytes to the audio style reader (MThd, MTrk, CASM, AASM,
// AFil). Whatever it accepts and can write again must read back from what
// was written, and write the same bytes a second time.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "CAudioStyleDecorator.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CAudioStyleDecorator style;
  if (Result::failed(style.Parse(data, size))) return 0;
  std::vector<std::uint8_t> first;
  if (Result::failed(style.Write(first))) return 0;  // e.g. no tracks, or a recording without parts
  CAudioStyleDecorator again;
  if (Result::failed(again.Parse(first.data(), first.size()))) std::abort();
  std::vector<std::uint8_t> second;
  if (Result::failed(again.Write(second)) || second != first) std::abort();

  // The audio chunks alone, as an export writes them from a model.
  std::vector<std::uint8_t> audio;
  CAudioStyleDecorator writer;
  writer.WriteAudioChunks(&again.GetAudioInfo(), audio);
  return 0;
}
