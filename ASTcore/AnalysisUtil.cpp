#include "AnalysisUtil.h"

#include <QDataStream>
#include <QFile>
#include <QIODevice>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "SignChangeSegmenter.h"
#include "WholeWrite.h"

namespace {

constexpr std::uint32_t kChannels = 2;
constexpr std::uint32_t kRate = 44100;
constexpr std::uint32_t kBytesPerSecond = kRate * AnalysisUtil::kBytesPerFrame;
constexpr std::uint32_t kRiffOverhead = AnalysisUtil::kWavHeaderBytes - 8;
constexpr float kSampleScale = 1.0f / 32768.0f;

// Frames converted per raw read; 16 KiB on the stack, so reading never
// allocates.
constexpr std::uint64_t kBlockFrames = 4096;
// Largest single raw transfer; QDataStream counts bytes in an int.
constexpr std::uint64_t kMaxTransfer = 1u << 30;

bool readTag(QDataStream& s, const char* tag) {
  char buf[4];
  return s.readRawData(buf, 4) == 4 && std::memcmp(buf, tag, 4) == 0;
}

bool readU32(QDataStream& s, std::uint32_t& v) {
  quint32 x = 0;
  s >> x;
  v = x;
  return s.status() == QDataStream::Ok;
}

bool readU16(QDataStream& s, std::uint16_t& v) {
  quint16 x = 0;
  s >> x;
  v = x;
  return s.status() == QDataStream::Ok;
}

// The header, read in file order; `dataBytes` is the data size it declares.
ResultCode parseHeader(QDataStream& s, std::uint32_t& dataBytes) {
  dataBytes = 0;
  std::uint32_t riffSize = 0, u32 = 0;
  std::uint16_t u16 = 0;
  if (!readTag(s, "RIFF")) return Result::fail(0x1);
  if (!readU32(s, riffSize)) return Result::fail(0x2);
  if (!readTag(s, "WAVE")) return Result::fail(0x3);
  if (!readTag(s, "fmt ")) return Result::fail(0x4);
  if (!readU32(s, u32) || u32 != 16) return Result::fail(0x5);
  if (!readU16(s, u16) || u16 != 1) return Result::fail(0x6);
  if (!readU16(s, u16) || u16 != kChannels) return Result::fail(0x7);
  if (!readU32(s, u32) || u32 != kRate) return Result::fail(0x8);
  if (!readU32(s, u32) || u32 != kBytesPerSecond) return Result::fail(0x9);
  if (!readU16(s, u16) || u16 != AnalysisUtil::kBytesPerFrame) return Result::fail(0xA);
  if (!readU16(s, u16) || u16 != 16) return Result::fail(0xB);
  if (!readTag(s, "data")) return Result::fail(0xC);
  if (!readU32(s, u32)) return Result::fail(0xD);
  if (std::uint64_t{riffSize} < std::uint64_t{u32} + kRiffOverhead) return Result::fail(0xD);
  dataBytes = u32;
  return Result::kOk;
}

std::int16_t sampleAt(const std::uint8_t* p) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

void putSample(std::uint8_t* p, std::int16_t v) {
  const auto u = static_cast<std::uint16_t>(v);
  p[0] = static_cast<std::uint8_t>(u & 0xFF);
  p[1] = static_cast<std::uint8_t>(u >> 8);
}

// Truncates a value in sample units to 16 bits, clamping what does not fit.
std::int16_t toSample(double v) {
  if (!(v > -32768.0)) return -32768;
  if (v > 32767.0) return 32767;
  return static_cast<std::int16_t>(v);
}

float midOf(const std::uint8_t* frame) {
  return (sampleAt(frame) * kSampleScale + sampleAt(frame + 2) * kSampleScale) / 2.0f;
}

}  // namespace

AnalysisUtil::AnalysisUtil() = default;

AnalysisUtil::~AnalysisUtil() = default;

float AnalysisUtil::samplesToSeconds(std::uint64_t samples) const {
  return static_cast<float>(static_cast<double>(samples) / kSampleRate);
}

std::uint64_t AnalysisUtil::secondsToSamples(float seconds) const {
  const double frames = std::ceil(static_cast<double>(seconds) * kSampleRate);
  if (!(frames > 0.0)) return 0;
  if (frames >= 18446744073709551615.0) return std::numeric_limits<std::uint64_t>::max();
  return static_cast<std::uint64_t>(frames);
}

ResultCode AnalysisUtil::checkBeatAt(std::uint64_t address, const WavInfo& wave,
                                     std::uint8_t& halfBeat) const {
  halfBeat = 0;
  if (address == 0) return Result::kOk;
  // Every index would be "another grid entry" and the modulo below would
  // divide by zero.
  if (wave.beatDiv == 0) return Result::fail(5);
  if (wave.beatTime.empty()) return Result::fail(4);

  const std::size_t div = wave.beatDiv;
  for (std::size_t k = 0; k < wave.beatTime.size(); ++k) {
    const std::uint64_t a = secondsToSamples(wave.beatTime[k]);
    if (a == address) {
      const std::size_t r = k % (2 * div);
      if (r == 0) return Result::kOk;
      if (r == div) {
        halfBeat = 1;
        return Result::kOk;
      }
      return Result::fail(2);
    }
    if (address < a) return Result::fail(3);
  }
  return Result::fail(4);
}

ResultCode AnalysisUtil::getBeatParity(const std::vector<float>& list, std::uint64_t address,
                                       std::uint8_t step, std::uint8_t& parity) const {
  parity = 0;
  if (list.empty()) return Result::fail(1);
  // A zero step would never leave the first entry.
  if (step == 0) return Result::fail(2);

  const std::size_t d = step;
  const double t = static_cast<double>(address) / kSampleRate;
  for (std::size_t k = 0; k < list.size(); k += d) {
    if (list[k] < t) continue;
    if (k == 0) return Result::kOk;
    // The first entry at or after t, or the one before it when that is as
    // near; for an ascending list the test always settles here or at the
    // next visited entry.
    if (list[k] - t >= t - list[k - d]) {
      parity = static_cast<std::uint8_t>(((k - d) / d) % 2);
      return Result::kOk;
    }
  }
  parity = static_cast<std::uint8_t>(((list.size() - 1) / d) % 2);
  return Result::kOk;
}

ResultCode AnalysisUtil::appendCurvePoint(WavInfo& wave, double tolerance) const {
  if (wave.onsetTime.empty() || wave.beatTime.empty()) return Result::kOk;
  std::vector<float>& beats = wave.beatTime;
  const float end = wave.onsetTime.back();
  const std::size_t n = beats.size();

  if (n < 5) {
    if (end != beats.back()) beats.push_back(end);
    return Result::kOk;
  }

  const double meanInterval = (static_cast<double>(beats[n - 1]) - beats[n - 2] +
                               (static_cast<double>(beats[n - 2]) - beats[n - 3]) +
                               (static_cast<double>(beats[n - 3]) - beats[n - 4])) /
                              3.0;
  // A grid whose last entries coincide has no interval to compare with.
  if (meanInterval == 0.0 || !std::isfinite(meanInterval)) return Result::kOk;
  const double g = (static_cast<double>(end) - beats[n - 1] - meanInterval) / meanInterval;
  if (-tolerance < g && g < tolerance) beats.push_back(end);
  return Result::kOk;
}

ResultCode AnalysisUtil::parseWavHeader(QDataStream& stream, std::uint64_t& frames) const {
  frames = 0;
  std::uint32_t dataBytes = 0;
  const ResultCode rc = parseHeader(stream, dataBytes);
  if (Result::failed(rc)) return rc;
  frames = dataBytes / kBytesPerFrame;
  return Result::kOk;
}

ResultCode AnalysisUtil::openWav(QIODevice& device, QDataStream& stream, std::uint64_t& frames,
                                 std::uint8_t& exceptFlag) const {
  frames = 0;
  try {
    if (!device.open(QIODevice::ReadOnly)) return Result::fail(1);
    stream.setDevice(&device);
    stream.setByteOrder(QDataStream::LittleEndian);
    stream.resetStatus();
    const ResultCode rc = parseWavHeader(stream, frames);
    if (Result::failed(rc)) return Result::nest(2, rc);
    return Result::kOk;
  } catch (const std::exception&) {
    exceptFlag = 1;
    return Result::fail(3);
  }
}

ResultCode AnalysisUtil::probeWav(QIODevice& device, std::uint64_t& frames) const {
  frames = 0;
  QDataStream stream;
  std::uint8_t exceptFlag = 0;
  const ResultCode rc = openWav(device, stream, frames, exceptFlag);
  if (device.isOpen()) device.close();
  if (Result::failed(rc)) {
    frames = 0;
    return Result::nest(1, rc);
  }
  return Result::kOk;
}

ResultCode AnalysisUtil::readWavSamples(QDataStream& stream, std::uint64_t frames, float* buffer,
                                        std::uint64_t& framesRead, std::uint8_t& exceptFlag) const {
  (void)exceptFlag;
  framesRead = 0;
  if (!buffer) return Result::kOk;

  std::uint8_t raw[kBlockFrames * kBytesPerFrame];
  float* out = buffer;
  while (framesRead < frames) {
    const std::uint64_t want = std::min(frames - framesRead, kBlockFrames);
    const int got = stream.readRawData(reinterpret_cast<char*>(raw),
                                       static_cast<int>(want * kBytesPerFrame));
    const std::uint64_t whole = got > 0 ? static_cast<std::uint64_t>(got) / kBytesPerFrame : 0;
    const std::uint8_t* in = raw;
    for (std::uint64_t i = 0; i < 2 * whole; ++i, in += 2) *out++ = sampleAt(in) * kSampleScale;
    framesRead += whole;
    if (whole < want) break;
  }
  std::fill(out, buffer + 2 * frames, 0.0f);
  return Result::kOk;
}

ResultCode AnalysisUtil::readWavFile(const std::wstring& path, std::vector<std::uint8_t>& data,
                                     std::uint32_t& size, std::uint8_t& exceptFlag) const {
  data.clear();
  size = 0;
  QFile file(QString::fromStdWString(path));
  if (!file.open(QIODevice::ReadOnly)) return Result::fail(1);
  QDataStream stream(&file);
  stream.setByteOrder(QDataStream::LittleEndian);
  std::uint32_t declared = 0;
  const ResultCode rc = parseHeader(stream, declared);
  if (Result::failed(rc)) return Result::nest(2, rc);

  const std::uint32_t bytes = declared - declared % kBytesPerFrame;
  // A header may claim up to 4 GiB; believe it only as far as the file goes.
  const qint64 available = file.size() - file.pos();
  if (available < 0 || static_cast<std::uint64_t>(available) < bytes) return Result::fail(4);

  try {
    data.resize(bytes);
  } catch (const std::bad_alloc&) {
    exceptFlag = 1;
    return Result::fail(3);
  }

  std::uint64_t done = 0;
  while (done < bytes) {
    const std::uint64_t chunk = std::min<std::uint64_t>(bytes - done, kMaxTransfer);
    const int got = stream.readRawData(reinterpret_cast<char*>(data.data() + done),
                                       static_cast<int>(chunk));
    if (got != static_cast<int>(chunk)) {
      data.clear();
      return Result::fail(4);
    }
    done += chunk;
  }
  file.close();
  size = bytes;
  return Result::kOk;
}

ResultCode AnalysisUtil::writeWavFile(const std::wstring& path, const std::uint8_t* bytes,
                                      std::uint32_t size, QString* reason) const {
  if (size > std::numeric_limits<std::uint32_t>::max() - kRiffOverhead || (!bytes && size > 0)) {
    return Result::fail(4);
  }
  QFile file(QString::fromStdWString(path));
  const auto failed = [&file, reason](int step) {
    if (reason) *reason = WholeWrite::reason(file);
    file.close();
    return Result::fail(step);
  };
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return failed(1);

  QDataStream stream(&file);
  stream.setByteOrder(QDataStream::LittleEndian);
  stream.writeRawData("RIFF", 4);
  stream << quint32(size + kRiffOverhead);
  stream.writeRawData("WAVEfmt ", 8);
  stream << quint32(16) << quint16(1) << quint16(kChannels) << quint32(kRate)
         << quint32(kBytesPerSecond) << quint16(kBytesPerFrame) << quint16(16);
  stream.writeRawData("data", 4);
  stream << quint32(size);
  // QDataStream marks any short write of the header in its status.
  bool ok = stream.status() == QDataStream::Ok;

  std::uint64_t done = 0;
  while (ok && done < size) {
    const std::uint64_t chunk = std::min<std::uint64_t>(size - done, kMaxTransfer);
    ok = stream.writeRawData(reinterpret_cast<const char*>(bytes + done),
                             static_cast<int>(chunk)) == static_cast<int>(chunk);
    done += chunk;
  }
  if (!ok) return failed(2);
  // The last bytes may still sit in the file's buffer: a full disk shows up
  // only here.
  if (!file.flush()) return failed(3);
  file.close();
  if (file.error() != QFileDevice::NoError) return failed(3);
  return Result::kOk;
}

void AnalysisUtil::smoothStereo16(std::uint8_t* bytes, std::uint64_t byteCount) const {
  constexpr std::uint64_t kWindow = 100;
  constexpr std::uint64_t kHalf = kWindow / 2;
  const std::uint64_t count = byteCount / kBytesPerFrame;
  if (!bytes || count < 151) return;

  auto frame = [bytes](std::uint64_t i) { return bytes + i * kBytesPerFrame; };
  // The window's original mid values by frame index modulo 100: frames that
  // were already rewritten are still needed for later windows.
  float ring[kWindow];
  double sum = 0.0;
  for (std::uint64_t f = kWindow - kHalf; f < kWindow + kHalf; ++f) {
    ring[f % kWindow] = midOf(frame(f));
    sum += ring[f % kWindow];
  }
  const std::uint64_t lastFrame = count - 51;
  for (std::uint64_t i = kWindow;; ++i) {
    std::uint8_t* p = frame(i);
    putSample(p, toSample(static_cast<double>(ring[i % kWindow]) * 32768.0));
    putSample(p + 2, toSample(sum / static_cast<double>(kWindow) * 32768.0));
    if (i == lastFrame) break;
    // Slide: frame i - 50 leaves, frame i + 50 (not yet rewritten) enters;
    // both share one ring slot.
    const std::uint64_t slot = (i + kHalf) % kWindow;
    sum -= ring[slot];
    ring[slot] = midOf(frame(i + kHalf));
    sum += ring[slot];
  }
}

void AnalysisUtil::scanZeroCross16(const std::uint8_t* bytes, std::uint64_t byteCount,
                                   std::vector<std::uint64_t>& out, std::uint8_t mode) const {
  constexpr std::uint64_t kFirst = 50;
  out.clear();
  const std::uint64_t count = byteCount / kBytesPerFrame;
  if (!bytes || count < 101) return;

  SignChangeSegmenter segmenter(out, mode);
  for (std::uint64_t i = kFirst; i + 50 < count; ++i) {
    segmenter.push(sampleAt(bytes + i * kBytesPerFrame + 2) * kSampleScale);
  }
  // The segmenter counts from the first sample it was given.
  for (auto& index : out) index += kFirst;
}

void AnalysisUtil::markFrames16(std::uint8_t* bytes, std::uint64_t byteCount,
                                const std::vector<std::uint64_t>& frames) const {
  const std::uint64_t count = byteCount / kBytesPerFrame;
  if (!bytes) return;
  for (std::uint64_t i : frames) {
    if (i < count) putSample(bytes + i * kBytesPerFrame + 2, 0);
  }
}
