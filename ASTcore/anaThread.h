#pragma once
// The thread of one import's analysis. After a successful run it stays
// alive (blocked, not spinning) until its owner calls abort(); after a
// failure it ends by itself.

#include <QMutex>
#include <QStringList>
#include <QThread>
#include <QWaitCondition>

#include <atomic>
#include <cstdint>
#include <memory>

#include "AnalysisOptions.h"

class IF_audioFileMngr;
class anaThreadObj;

class anaThread : public QThread {
  Q_OBJECT

 public:
  // `audioFiles` is handed to the worker, which owns it (see anaThreadObj).
  explicit anaThread(IF_audioFileMngr* audioFiles);
  ~anaThread() override;

  void setFileLists(const QStringList& dirs, const QStringList& files);
  void setOptions(std::uint64_t packed);

  // The worker, for connecting its signals; null when it could not be made.
  anaThreadObj* worker() const { return obj.get(); }

  // Ends the run: stops a running analysis and releases a finished thread.
  void abort();
  // Stops the analysis without releasing the thread.
  void abortWorker();

  QString errorString() const;
  bool hasEngineException() const;
  // True when the run was stopped by an abort (the aborted file got no
  // ".awi"), so the owner can tell it from a completed analysis.
  bool wasAborted() const;

 protected:
  void run() override;

 private:
  std::atomic<std::uint8_t> stopFlag{0};
  QMutex stopMutex;
  QWaitCondition stopped;
  std::unique_ptr<anaThreadObj> obj;
  AnalysisOptions options;
  QStringList dirList;
  QStringList fileList;
};
