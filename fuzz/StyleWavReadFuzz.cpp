// fuzz-deps: audiostyle smf
// Feeds arbitrary bytes, as a file, to the style layer's WAV readers: the
// sample data reader and the format reader. Whatever the data reader
// accepts is part of the file; a refused read leaves the output as it was.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "CAudioStyle.h"
#include "CAudioWaveFormat.h"
#include "WavFileReader.h"

namespace {

// One file per fuzzing process, rewritten for every input and removed when
// the process ends.
struct InputFile {
  std::string path;
  InputFile() {
    char name[] = "/tmp/StyleWavReadFuzz-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) std::abort();
    close(fd);
    path = name;
  }
  ~InputFile() { std::remove(path.c_str()); }
};

const std::string& inputPath() {
  static const InputFile file;
  return file.path;
}

void writeInput(const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(inputPath().c_str(), "wb");
  if (!f || (size > 0 && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  writeInput(data, size);
  const std::vector<std::uint8_t> marker = {0xA5};
  std::vector<std::uint8_t> samples = marker;
  WavFileReader reader;
  if (Result::failed(reader.Read(samples, inputPath()))) {
    if (samples != marker) std::abort();
  } else if (samples.size() - marker.size() > size) {
    std::abort();
  }
  CAudioStyle style;
  CAudioWaveFormat format;
  style.ReadWaveFormat(&format, inputPath());
  std::vector<std::uint8_t> bytes;
  style.ReadWaveFile(bytes, inputPath());
  return 0;
}
