#pragma once
// The onset analyzer manager: runs the import's onset detector over a work
// copy and returns the onset times in seconds with the recording's length.
// Keeps nothing between runs but its last-error text and exception flag.

#include <QString>

#include <atomic>
#include <cstdint>
#include <vector>

#include "IF_onsetAnalyzer.h"
#include "ISeekable.h"

class onsetAnalyzer : public IF_onsetAnalyzer {
 public:
  // An analyzer with an empty error text and a clear flag; owned by the
  // caller.
  static IF_onsetAnalyzer* create();

  // `frames` is written first, so it holds the work copy's length even when
  // the detection fails. Onset times are appended after what `onsetTimes`
  // already holds. 0x80000003 with "onset analyze process returens some
  // error!" when the work copy cannot be read or the detection fails (an
  // allocation failure also sets the exception flag). An exception the
  // detector throws while analysing passes through; its buffers are freed
  // on the way.
  ResultCode analyse(const QString& path, std::uint64_t& frames, std::vector<float>& onsetTimes) override;

  // The text stays until clearError, also across successful runs.
  QString lastError() const override { return errorText; }
  void clearError() override;
  bool hasException() const override { return exceptFlag != 0; }

 private:
  onsetAnalyzer() = default;

  // 0, 0x80000003 when the detector cannot be prepared, 0x80000004 when the
  // times cannot be stored.
  ResultCode detect(ISeekable<float>& source, std::int64_t frameCount, std::vector<float>& onsetTimes);

  QString errorText;
  std::atomic<std::uint8_t> exceptFlag{0};
};
