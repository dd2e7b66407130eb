#pragma once
// The waveform of one channel, reduced to a (minimum, maximum) pair per
// pixel column at each change of view and drawn as one line per column.

#include <QString>

#include <functional>
#include <utility>
#include <vector>

#include "ISeekable.h"
#include "WaveformPeakCache.h"
#include "wavPainter.h"

class wavPainterSeeker : public wavPainter {
 public:
  wavPainterSeeker(ISeekable<float>* seeker, int channel, std::int64_t sampleCount, int zoom, QWidget* parent,
                   Qt::WindowFlags flags, double scrollOffset);

  ISeekable<float>* mSeeker = nullptr;
  int mChannel = 0;  // 0 left, 1 right
  // Per pixel column: the rows of its minimum and its maximum.
  std::vector<std::pair<int, int>> mColumns;

  // Called once, after the paint, when reading the waveform failed for one
  // or more columns; not again until a preparation succeeds. By default it
  // shows the box "Memory error!".
  std::function<void(const QString& text)> mReportReadFailure;
  // Columns whose reading failed at the last preparation.
  int readFailures() const { return mReadFailures; }

  void prepare() override;
  void drawForeground(QPainter* painter) override;

 private:
  // Block peaks of the recording, for views where a column spans many
  // frames; rebuilt when the seeker or its recording changes.
  WaveformPeakCache mPeaks;
  int mReadFailures = 0;
  bool mFailureReported = false;
};
