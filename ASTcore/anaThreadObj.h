#pragma once
// The analysis worker: analyses audio files on the analysis thread with a
// project core of its own and writes each result as an ".awi" file beside
// its audio file. It reports through queued signals; nothing it does touches
// the project the user is editing.

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "AnalysisOptions.h"
#include "CASTcore.h"
#include "ResultCode.h"

class IF_audioFileMngr;

class anaThreadObj : public QObject {
  Q_OBJECT

 public:
  // `audioFiles` is the audio-file service (the audio layer's) that checks
  // and copies each recording; the worker owns it from here on. Without one
  // every file fails at its check.
  explicit anaThreadObj(IF_audioFileMngr* audioFiles);
  ~anaThreadObj() override;

  void setOptions(std::uint64_t packed);

  // Analyses every file of `files`, then every audio file of `dirs`; stops
  // at the first failing file. Emits signalAnalyzed() or signalErr().
  ResultCode analyzeProcTh(const QStringList& dirs, const QStringList& files);
  // The stages of one file.
  ResultCode analyzeOnsetTh(const std::wstring& path);

  ResultCode doCreateWavInfoTh(const std::wstring& path);
  ResultCode doSegmenterTh(const QString& workPath);
  // The fallback grid: the whole file as one bar of equal beats.
  ResultCode forceBeatAs1Bar(const QString& workPath);
  ResultCode doAnalyzeOnsetTh(const QString& workPath, std::vector<float>& onsetTimes);
  ResultCode doUpdateBeat(const std::vector<float>& beatTimes);
  // The first entry at or after `address` (0 below 11 or when none is).
  ResultCode indexAtAddress(const std::vector<float>& times, std::uint64_t address, std::uint64_t& index);

  // May be called from any thread: the running analysis stops at its next
  // check and the current file gets no ".awi".
  void abort();
  bool wasAborted() const { return abortFlag != 0; }

  QString errorString() const { return core.lastError; }
  bool hasEngineException() const { return core.hasException(); }

 signals:
  void signalAnalyzed();
  void signalErr();
  void signalProgress(unsigned char all, unsigned char no, unsigned char val);

 public slots:
  void thruProgress(const unsigned char percent);

 private:
  friend class anaThreadObjTestAccess;

  bool aborted() const { return abortFlag != 0; }
  // Refuses, with the user's message, a recording of `frames` frames that
  // the analysis cannot take: one without audio, or one over its limit.
  ResultCode analysable(std::uint64_t frames);
  void progress(unsigned char value);
  void setErrorOnce(const QString& text);

  CASTcore core;
  std::unique_ptr<IF_audioFileMngr> audioFiles;
  std::atomic<std::uint8_t> abortFlag{0};
  AnalysisOptions options;
  std::uint8_t fileNo = 0;
  std::uint8_t fileCount = 0;
  std::atomic<std::uint8_t> progLo{0};
  std::atomic<std::uint8_t> progHi{100};
};
