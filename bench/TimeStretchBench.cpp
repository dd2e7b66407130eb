// bench-deps: timestretch PkgConfig::SNDFILE
// Stretches a 16-bit stereo WAV by one ratio through the segment stretcher
// (one region, the spectral engine and the peak limiter, as a stretch job
// runs it) and writes the result, timing the stretch alone.
//
//   TimeStretchBench INPUT.wav OUTPUT.wav RATIO [ONE_BAND]
//
// A fourth argument of 1 runs the engine with one undecimated band. The
// engine runs even at ratio 1 (the output is asked one frame longer and
// cut back), so its own artefacts can be measured there.
//
// Prints "seconds=<stretch time> realtime=<input duration / stretch time>".

#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "RunTimeMachine.h"
#include "SegmentStretcher.h"

namespace {

bool readStereo(const char* path, std::vector<float>& left, std::vector<float>& right, int& rate) {
  SF_INFO info{};
  SNDFILE* f = sf_open(path, SFM_READ, &info);
  if (!f) return false;
  std::vector<short> frames(static_cast<std::size_t>(info.frames) * static_cast<std::size_t>(info.channels));
  const sf_count_t got = sf_readf_short(f, frames.data(), info.frames);
  sf_close(f);
  rate = info.samplerate;
  left.resize(static_cast<std::size_t>(got));
  right.resize(static_cast<std::size_t>(got));
  for (sf_count_t i = 0; i < got; ++i) {
    const std::size_t at = static_cast<std::size_t>(i) * static_cast<std::size_t>(info.channels);
    left[static_cast<std::size_t>(i)] = frames[at];
    right[static_cast<std::size_t>(i)] = frames[at + (info.channels > 1 ? 1 : 0)];
  }
  return true;
}

bool writeStereo(const char* path, const float* left, const float* right, std::int64_t n, int rate) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(path, SFM_WRITE, &info);
  if (!f) return false;
  std::vector<short> frames(static_cast<std::size_t>(2 * n));
  // The conversion truncates towards zero as trunc does, without a call
  // per sample (the peak limiter has brought every sample into range).
  for (std::int64_t i = 0; i < n; ++i) {
    frames[static_cast<std::size_t>(2 * i)] = static_cast<short>(left[i]);
    frames[static_cast<std::size_t>(2 * i + 1)] = static_cast<short>(right[i]);
  }
  const bool ok = sf_writef_short(f, frames.data(), n) == n;
  sf_close(f);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: %s INPUT.wav OUTPUT.wav RATIO [ONE_BAND]\n", argv[0]);
    return 2;
  }
  const double ratio = std::atof(argv[3]);
  std::vector<float> left, right;
  int rate = 0;
  if (!readStereo(argv[1], left, right, rate) || left.empty()) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  const auto n = static_cast<std::int64_t>(left.size());

  StretchRegionList regions;
  auto region = std::make_unique<StretchRegion>();
  region->point.ratio = ratio;
  region->point.start = 0;
  region->end = n;
  region->length = n;
  const std::int64_t wanted = std::llround(static_cast<double>(n) * ratio);
  region->outputLength = wanted == n ? n + 1 : wanted;
  regions.push_back(std::move(region));

  TimeMachineInput in;
  in.left = left.data();
  in.right = right.data();
  in.sampleCount = static_cast<std::uint64_t>(n);
  in.sampleRate = static_cast<std::uint64_t>(rate);
  in.bitsPerSample = 16;
  std::uint16_t options[SegmentStretch::kOptionCount] = {SegmentStretch::kSpectralEngine};
  TimeMachineOutput out;
  const bool oneBand = argc == 5 && std::atoi(argv[4]) == 1;

  const auto start = std::chrono::steady_clock::now();
  std::int64_t produced = 0;
  if (oneBand) {
    // The engine entry directly: the segment stretcher always asks for two
    // bands.
    TimeMapPoint point{ratio, 0};
    std::vector<const TimeMapPoint*> map{&point};
    options[1] = 1;
    produced = RunTimeMachine(&in, map, options, &out);
  } else {
    produced = StretchSegments(&in, regions, options, &out);
  }
  produced = std::min(produced, wanted);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (produced < 1) {
    std::fprintf(stderr, "stretch failed: %lld\n", static_cast<long long>(produced));
    FreeStretchOutput(&out);
    return 1;
  }
  const bool written = writeStereo(argv[2], out.left, out.right, produced, rate);
  FreeStretchOutput(&out);
  if (!written) {
    std::fprintf(stderr, "cannot write %s\n", argv[2]);
    return 1;
  }
  std::printf("seconds=%.3f realtime=%.1f\n", seconds, static_cast<double>(n) / rate / seconds);
  return 0;
}
