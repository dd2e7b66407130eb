// fuzz-deps: audiostyle smf
// Feeds arbitrary bytes to the audio style loader, which also converts the
// first version's tables. Whatever loads and can be written again must load
// from what was written.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "CAudioStyle.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> bytes(data, data + size);
  CAudioStyle style;
  if (Result::failed(style.Load(bytes))) return 0;
  std::vector<std::uint8_t> written;
  if (Result::failed(style.Write(written))) return 0;  // e.g. no tracks, or a recording without parts
  CAudioStyle again;
  if (Result::failed(again.Load(written))) std::abort();
  return 0;
}
