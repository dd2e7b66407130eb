// fuzz-deps: astcore
// Feeds arbitrary bytes, as a file, to the core's own readers of its working
// WAV files: the whole-data reader and the frame source the analysis and
// playback read. Neither may return more than the file holds.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "AnalysisUtil.h"
#include "FuzzInputFile.h"
#include "WavSeekerSeq.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& input = fuzzinput::writeInput("WorkWavReadFuzz", data, size);
  const QString path = QString::fromStdString(input);

  std::vector<std::uint8_t> bytes;
  std::uint32_t dataSize = 0;
  std::uint8_t exceptFlag = 0;
  if (Result::succeeded(AnalysisUtil().readWavFile(path.toStdWString(), bytes, dataSize, exceptFlag)) &&
      (dataSize > size || bytes.size() < dataSize)) {
    std::abort();
  }

  WavSeekerSeq source(path);
  const std::uint64_t frames = source.length();
  if (frames * 4 > size) std::abort();
  std::vector<float> block(2 * 256);
  std::uint64_t total = 0;
  source.seek(0);
  for (std::uint64_t got = 1; got > 0; total += got) {
    got = source.read(block.data(), 256);
    if (got > 256) std::abort();
  }
  if (total > frames) std::abort();
  source.seek(frames / 2);
  source.read(block.data(), 256);
  return 0;
}
