#include "WavSeekerSeq.h"

#include <algorithm>
#include <string>

#include "AnalysisUtil.h"

WavSeekerSeq::WavSeekerSeq(const QString& path)
    : fileName(path), file(QString::fromStdWString(path.toStdWString())), stream(&file) {
  open();
}

WavSeekerSeq::~WavSeekerSeq() {
  if (file.isOpen()) file.close();
}

void WavSeekerSeq::open() {
  if (file.isOpen()) file.close();
  frames = 0;
  position = 0;
  dataStart = 0;

  AnalysisUtil util;
  std::uint64_t declared = 0;
  std::uint8_t exceptFlag = 0;
  openRc = util.openWav(file, stream, declared, exceptFlag);
  if (Result::failed(openRc)) {
    if (file.isOpen()) file.close();
    return;
  }
  dataStart = file.pos();
  // A truncated file holds fewer frames than its header says; report those
  // it has, so callers size their work by what can really be read.
  const qint64 available = std::max<qint64>(0, file.size() - dataStart);
  frames = std::min<std::uint64_t>(declared,
                                    static_cast<std::uint64_t>(available) / AnalysisUtil::kBytesPerFrame);
}

void WavSeekerSeq::seek(std::uint64_t frame) {
  if (frame == 0) {
    open();
    return;
  }
  if (!isOpen()) return;
  const std::uint64_t target = std::min(frame, frames);
  if (!file.seek(dataStart + static_cast<qint64>(target * AnalysisUtil::kBytesPerFrame))) return;
  stream.resetStatus();
  position = target;
}

std::uint64_t WavSeekerSeq::read(float* dst, std::uint64_t n) {
  if (!dst) return 0;
  std::uint64_t got = 0;
  if (isOpen()) {
    const std::uint64_t want = std::min(n, frames - position);
    std::uint8_t exceptFlag = 0;
    AnalysisUtil util;
    if (Result::failed(util.readWavSamples(stream, want, dst, got, exceptFlag))) got = 0;
    position += got;
  }
  std::fill(dst + static_cast<std::size_t>(got) * chans, dst + static_cast<std::size_t>(n) * chans,
            0.0f);
  return got;
}

std::uint64_t WavSeekerSeq::length() { return frames; }

float WavSeekerSeq::sampleRate() { return rate; }

std::uint32_t WavSeekerSeq::channels() { return chans; }
