#pragma once
// The segmenter manager: runs the song analysis over a work copy and keeps
// its segments, beat times and time signature until the next run.
//
// execute runs on the analysis thread; requestAbort may come from any other
// thread, while a run is under way or before it starts. A request stops the
// run under way, or the next one at once; every run clears it as it ends,
// so a request never reaches beyond the run it stopped.

#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "IF_segmenter.h"

class SegmenterWriter;

class segmenter : public IF_segmenter {
  Q_OBJECT

 public:
  // A segmenter with no results, time signature 4/4 and clear flags; owned
  // by the caller.
  static IF_segmenter* create();

  QObject* asQObject() override { return this; }

  // 0 after a complete or stopped run. 0x80000001 when the work copy cannot
  // be read as a WAV file (last-error text set; results kept). Exceptions of
  // the analysis ("Aborted" among them) pass through to the caller with the
  // previous results kept.
  ResultCode execute(const QString& path, std::uint64_t meter) override;

  const std::vector<SegItem>& results() const override { return segments; }
  void setResults(const std::vector<SegItem>& items) override { segments = items; }
  void getBeats(std::vector<float>& beats, std::int32_t& numerator, std::int32_t& denominator) override;

  QString lastError() const override { return errorText; }
  void clearError() override;
  bool hasException() const override { return exceptFlag != 0; }

  void requestAbort() override;

 public slots:
  void thruProgress(const unsigned char percent) override;

 private:
  segmenter();

  // Makes `writer` the one an abort request reaches, for one run.
  class ActiveWriter;
  class RequestClearedAtEnd;

  std::vector<SegItem> segments;
  std::vector<float> beatTimes;
  // Traced by the beat query; nothing fills them.
  QStringList infoList;
  QStringList beatInfoList;
  QStringList featureList;
  std::int32_t numerator = 4;
  std::int32_t denominator = 4;

  std::atomic<std::uint8_t> abortRequest{0};
  std::mutex writerMutex;               // guards activeWriter
  SegmenterWriter* activeWriter = nullptr;

  QString errorText;
  std::atomic<std::uint8_t> exceptFlag{0};
};
