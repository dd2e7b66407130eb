#pragma once
// Runs the song-structure analysis over a recording's work copy and keeps
// its segments, beats and time signature.

#include <QObject>
#include <QString>

#include <cstdint>
#include <vector>

#include "ResultCode.h"
#include "SegItem.h"

class IF_segmenter : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;

  // The object itself, for connecting its signals.
  virtual QObject* asQObject() = 0;

  // Runs the analysis synchronously. `meter`: bits 0-7 are 1 when a time
  // signature is given, bits 8-15 its numerator, bits 16-23 its denominator.
  virtual ResultCode execute(const QString& path, std::uint64_t meter) = 0;

  virtual const std::vector<SegItem>& results() const = 0;
  virtual void setResults(const std::vector<SegItem>& items) = 0;

  // Beat times in seconds and the metre found by the last run.
  virtual void getBeats(std::vector<float>& beats, std::int32_t& numerator,
                        std::int32_t& denominator) = 0;

  virtual QString lastError() const = 0;
  virtual void clearError() = 0;
  virtual bool hasException() const = 0;

  // Asks a running analysis (on another thread) to stop.
  virtual void requestAbort() = 0;

 signals:
  void signalProgress(const unsigned char percent);
  void signalStop();

 public slots:
  virtual void thruProgress(const unsigned char percent) = 0;
};
