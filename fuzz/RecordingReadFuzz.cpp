// fuzz-deps: qmaudio
// Feeds arbitrary bytes, as a user's recording, to the import's own readers
// of it: the format check, the copy into the work copy, the ranged reader
// and the playback reader. None may read past what it was given room for,
// a copy holds whole stereo frames, and a copy that fails leaves no file.

#include <QFile>
#include <QString>

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "FuzzInputFile.h"
#include "WavSeeker_libSndFile.h"
#include "audioFileMngr.h"

namespace {

// The work copy this process writes: beside the input file, one per process.
const QString& copyPath() {
  static const QString path = QString::fromStdString(fuzzinput::inputPath("RecordingReadFuzz")) + ".copy.wav";
  return path;
}

// Made after the path (its constructor asks for it), so it goes before it.
struct RemoveCopyAtExit {
  RemoveCopyAtExit() { copyPath(); }
  ~RemoveCopyAtExit() { QFile::remove(copyPath()); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static RemoveCopyAtExit removeCopy;
  const std::string& input = fuzzinput::writeInput("RecordingReadFuzz", data, size);
  const std::wstring path = QString::fromStdString(input).toStdWString();
  std::unique_ptr<IF_audioFileMngr> files(audioFileMngr::create());
  if (!files) std::abort();

  std::uint64_t frames = 0;
  const bool checked = Result::succeeded(files->checkFile(path, frames));

  QFile::remove(copyPath());
  if (Result::failed(files->copyFile(path, copyPath()))) {
    if (QFile::exists(copyPath())) std::abort();
  } else {
    // The copy holds whole stereo 16-bit frames, no more than the source.
    std::uint64_t copied = 0;
    if (Result::failed(files->checkFile(copyPath().toStdWString(), copied))) std::abort();
    if (checked && copied > frames) std::abort();
  }

  std::vector<std::uint8_t> bytes;
  const std::uint64_t end = frames > 0 ? frames : 4096;
  if (Result::succeeded(files->readShortBytesRange(path, bytes, end / 3, end + 7)) && bytes.size() % 4 != 0) {
    std::abort();
  }

  WavSeeker_libSndFile reader(path);
  const std::uint64_t length = reader.length();
  const std::size_t channels = reader.channels();
  std::vector<float> block(channels * 256);
  // Compressed formats may announce no length: a bounded number of blocks.
  for (int n = 0; n < 4096; ++n) {
    const std::uint64_t got = reader.read(block.data(), 256);
    if (got > 256) std::abort();
    if (got == 0) break;
  }
  reader.seek(length / 2);
  reader.read(block.data(), 256);
  return 0;
}
