#include "anaThread.h"

#include <new>

#include "IF_audioFileMngr.h"
#include "anaThreadObj.h"

anaThread::anaThread(IF_audioFileMngr* audioFiles) {
  // The service is released to the worker only once the worker exists.
  std::unique_ptr<IF_audioFileMngr> service(audioFiles);
  obj.reset(new (std::nothrow) anaThreadObj(service.release()));
}

anaThread::~anaThread() {
  abort();
  wait();
}

void anaThread::setFileLists(const QStringList& dirs, const QStringList& files) {
  dirList = dirs;
  fileList = files;
}

void anaThread::setOptions(std::uint64_t packed) { options = AnalysisOptions::unpack(packed); }

void anaThread::abort() {
  {
    QMutexLocker lock(&stopMutex);
    stopFlag = 1;
    stopped.wakeAll();
  }
  abortWorker();
}

void anaThread::abortWorker() {
  if (obj) obj->abort();
}

QString anaThread::errorString() const { return obj ? obj->errorString() : QString("object creation error!"); }

bool anaThread::hasEngineException() const { return obj && obj->hasEngineException(); }

bool anaThread::wasAborted() const { return obj && obj->wasAborted(); }

void anaThread::run() {
  if (stopFlag) {
    stopFlag = 0;
    return;
  }
  if (obj) {
    obj->setOptions(options.pack());
    const ResultCode rc = obj->analyzeProcTh(QStringList(dirList), QStringList(fileList));
    if (Result::failed(rc)) {
      stopFlag = 1;
      obj->abort();
      return;
    }
  }
  QMutexLocker lock(&stopMutex);
  while (!stopFlag) stopped.wait(&stopMutex);
  stopFlag = 0;
}
