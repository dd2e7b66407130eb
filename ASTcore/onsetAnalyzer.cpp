#include "onsetAnalyzer.h"

#include <memory>
#include <new>

#include "COnsetDetector.h"
#include "WavSeekerSeq.h"

namespace {

const char* const kDetectionError = "onset analyze process returens some error!";

// Frees the detector's buffers however the detection ends.
class WorkRelease {
 public:
  WorkRelease(COnsetDetector& detector, OnsetWork& work) : detector(detector), work(work) {}
  ~WorkRelease() { detector.Release(work); }
  WorkRelease(const WorkRelease&) = delete;
  WorkRelease& operator=(const WorkRelease&) = delete;

 private:
  COnsetDetector& detector;
  OnsetWork& work;
};

}  // namespace

IF_onsetAnalyzer* onsetAnalyzer::create() { return new onsetAnalyzer(); }

ResultCode onsetAnalyzer::analyse(const QString& path, std::uint64_t& frames, std::vector<float>& onsetTimes) {
  WavSeekerSeq source(path);
  frames = source.length();
  // An unreadable work copy would otherwise pass as a recording without
  // onsets.
  ResultCode rc = source.isOpen() ? detect(source, static_cast<std::int64_t>(frames), onsetTimes)
                                  : Result::fail(3);
  if (rc != Result::kOk) {
    errorText = kDetectionError;
    return Result::fail(3);
  }
  return Result::kOk;
}

ResultCode onsetAnalyzer::detect(ISeekable<float>& source, std::int64_t frameCount,
                                 std::vector<float>& onsetTimes) {
  COnsetDetector detector;
  std::unique_ptr<OnsetWork> work;
  try {
    work = std::make_unique<OnsetWork>();  // value-initialised: zeroed
  } catch (const std::bad_alloc&) {
    exceptFlag = 1;
    return Result::fail(3);
  }
  WorkRelease release(detector, *work);

  OnsetAudioInfo audio{0, 0, frameCount, 44100, 16, 0, frameCount};
  OnsetTempoInfo tempo{0, 0, 0, 4, 0, 0, 4};
  const OnsetSettings settings{0, 0, 2, 150, 0, 94, 0, 0};
  try {
    detector.Init(*work, audio);
  } catch (int) {
    exceptFlag = 1;
    return Result::fail(3);
  } catch (const std::bad_alloc&) {
    exceptFlag = 1;
    return Result::fail(3);
  }

  std::vector<std::int64_t> positions;
  detector.Analyze(source, *work, audio, positions, tempo, settings);

  try {
    onsetTimes.reserve(onsetTimes.size() + positions.size());
    for (std::int64_t p : positions) onsetTimes.push_back(static_cast<float>(static_cast<double>(p) / 44100.0));
  } catch (const std::bad_alloc&) {
    exceptFlag = 1;
    return Result::fail(4);
  }
  return Result::kOk;
}

void onsetAnalyzer::clearError() {
  errorText.clear();
  exceptFlag = 0;
}
