// fuzz-deps: audiostyle smf
// Feeds arbitrary bytes, as a file, to the style layer's WAV readers: the
// sample data reader and the format reader. Whatever the data reader
// accepts is part of the file; a refused read leaves the output as it was.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "CAudioStyle.h"
#include "CAudioWaveFormat.h"
#include "FuzzInputFile.h"
#include "WavFileReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& input = fuzzinput::writeInput("StyleWavReadFuzz", data, size);
  const std::vector<std::uint8_t> marker = {0xA5};
  std::vector<std::uint8_t> samples = marker;
  WavFileReader reader;
  if (Result::failed(reader.Read(samples, input))) {
    if (samples != marker) std::abort();
  } else if (samples.size() - marker.size() > size) {
    std::abort();
  }
  CAudioStyle style;
  CAudioWaveFormat format;
  style.ReadWaveFormat(&format, input);
  std::vector<std::uint8_t> bytes;
  style.ReadWaveFile(bytes, input);
  return 0;
}
