#include "anaThreadObj.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cmath>

#include "ASTprotoSettings.h"
#include "AnalysedWaveName.h"
#include "AnalysisUtil.h"
#include "IF_audioFileMngr.h"
#include "PeakPicker.h"
#include "SongAnalyzer.h"
#include "TempWaveFiles.h"
#include "UnreadableFileName.h"
#include "WavSeekerSeq.h"

namespace {

// Says how long the recording is (whole seconds, rounded up: a recording a
// frame over the limit does not read as the limit itself) and what the
// analysis takes.
QString tooLongMessage(std::uint64_t frames) {
  const auto rate = static_cast<std::uint64_t>(AnalysisUtil::kSampleRate);
  const std::uint64_t seconds = (frames + rate - 1) / rate;
  return QString("The recording is too long to analyze: it lasts %1 min %2 s, and the limit is %3 min.")
      .arg(seconds / 60)
      .arg(seconds % 60)
      .arg(SongAnalyzer::kMaxMinutes);
}

}  // namespace

anaThreadObj::anaThreadObj(IF_audioFileMngr* files) : audioFiles(files) {
  // The segmenter reports on the analysis thread; the relay must run there
  // too, not be queued to the thread this object was made on.
  if (QObject* seg = core.segmenterObject()) {
    connect(seg, SIGNAL(signalProgress(unsigned char)), this, SLOT(thruProgress(unsigned char)),
            Qt::DirectConnection);
  }
}

anaThreadObj::~anaThreadObj() = default;

void anaThreadObj::setOptions(std::uint64_t packed) { options = AnalysisOptions::unpack(packed); }

void anaThreadObj::abort() {
  abortFlag = 1;
  core.abortSegmenter();
}

void anaThreadObj::thruProgress(const unsigned char percent) {
  const int lo = progLo;
  const int hi = progHi;
  emit signalProgress(fileCount, fileNo, static_cast<unsigned char>(lo + ((hi - lo) * percent) / 100));
}

void anaThreadObj::progress(unsigned char value) { emit signalProgress(fileCount, fileNo, value); }

void anaThreadObj::setErrorOnce(const QString& text) {
  if (core.lastError.isEmpty()) core.lastError = text;
}

ResultCode anaThreadObj::analyzeProcTh(const QStringList& dirs, const QStringList& files) {
  core.clearLastError();
  progLo = 0;
  progHi = 100;
  QStringList collected;
  const QStringList filters = {"*.wav", "*.aif", "*.aiff"};
  for (const QString& dir : dirs) {
    const QDir listing(dir, QString(), QDir::Name | QDir::IgnoreCase);
    for (const QString& name : listing.entryList(filters)) collected << listing.absolutePath() + "/" + name;
  }
  fileCount = static_cast<std::uint8_t>(files.size() + collected.size());
  fileNo = 0;
  for (const QString& path : files + collected) {
    if (path.isEmpty()) {
      setErrorOnce("#0055 error at anaThreadObj <empty file>");
      emit signalErr();
      return Result::fail(1);
    }
    ++fileNo;
    const ResultCode rc = analyzeOnsetTh(path.toStdWString());
    if (Result::failed(rc)) {
      setErrorOnce("#0056 error at analyzeProcTh()");
      emit signalErr();
      return Result::nest(2, rc);
    }
  }
  qDebug() << "analyze finished";
  emit signalAnalyzed();
  return Result::kOk;
}

ResultCode anaThreadObj::analyzeOnsetTh(const std::wstring& path) {
  if (!audioFiles) return Result::fail(1);
  std::uint64_t frames = 0;
  ResultCode rc = audioFiles->checkFile(path, frames);
  if (Result::failed(rc)) {
    // A name whose bytes the locale cannot decode was not found, not a file
    // of a wrong format: the user renames it rather than converts it.
    const QString name = QString::fromStdWString(path);
    core.lastError =
        UnreadableFileName::holds(name) ? UnreadableFileName::message(name) : "#0057 audio file format error!";
    return Result::nest(2, rc);
  }
  // A recording the analysis cannot take is refused before any work, with
  // its reason: analysed anyway, it would get a made-up one-bar grid saved
  // as its analysis.
  rc = analysable(frames);
  if (Result::failed(rc)) return Result::nest(2, rc);
  core.clearWaveList();
  core.resetSections();
  core.resetCommonInfo();
  core.clearUndo();
  qDebug() << "create wavInfo started";
  progress(0);

  if (aborted()) return Result::kOk;
  rc = doCreateWavInfoTh(path);
  if (Result::failed(rc)) {
    setErrorOnce("#0058 error at doCreateWavInfoTh()");
    return Result::nest(3, rc);
  }
  // Without a folder of its own the work copy would lie in the shared
  // temporary folder, under the one name every copy of the program uses.
  QString whyNot;
  const QString workFolder = core.workFolder(&whyNot);
  if (workFolder.isEmpty()) {
    setErrorOnce(whyNot);
    setErrorOnce("#0059 error at analyzeProcTh() copyWorkWav");
    return Result::nest(3, Result::fail(1));
  }
  const QString workPath = TempWaveFiles::sourcePath(workFolder);
  rc = audioFiles->copyFile(path, workPath);
  if (Result::failed(rc)) {
    // The system's reason (no space left in the temporary folder) is for
    // the user, as a failed save gives it.
    setErrorOnce(audioFiles->lastError());
    setErrorOnce("#0059 error at analyzeProcTh() copyWorkWav");
    return Result::nest(3, rc);
  }
  qDebug() << "segmenter started";
  progress(5);

  if (aborted()) return Result::kOk;
  const bool segmented = Result::succeeded(doSegmenterTh(workPath));
  if (!segmented) {
    progLo = 0;
    progHi = 100;
    rc = forceBeatAs1Bar(workPath);
    if (Result::failed(rc)) {
      setErrorOnce("error at analyzeOnsetTh() doSegmenterTh - forceBeatAs1Bar");
      return Result::nest(4, rc);
    }
  }

  std::vector<float> beatTimes;
  std::uint8_t num = 4, den = 4;
  core.getBeatSecondList(beatTimes, num, den);
  // A failed run leaves the segmenter holding the beats of the previous
  // file of this run; this file keeps its fallback grid instead.
  if (!segmented) beatTimes.clear();
  rc = core.setTimeSig(num, den);
  if (Result::failed(rc)) {
    setErrorOnce("#0061 error at getBeatSecondList()");
    return Result::nest(4, rc);
  }
  qDebug() << "onset analyser started";
  progress(85);

  if (aborted()) return Result::kOk;
  std::vector<float> onsetTimes;
  rc = doAnalyzeOnsetTh(workPath, onsetTimes);
  if (Result::failed(rc)) {
    setErrorOnce("#0062 error at doAnalyzeOnsetTh()");
    return Result::nest(5, rc);
  }
  qDebug() << "compensatePoints started";
  progress(90);

  if (aborted()) return Result::kOk;
  if (!beatTimes.empty()) {
    PeakPicker().run(beatTimes, onsetTimes, core.getCommonInfo().tempo);
    qDebug() << "divBeatDnUp started";
    progress(93);
    if (aborted()) return Result::kOk;
    if (Result::failed(doUpdateBeat(beatTimes))) {
      rc = forceBeatAs1Bar(workPath);
      if (Result::failed(rc)) {
        setErrorOnce("error at analyzeOnsetTh() doUpdateBeat - forceBeatAs1Bar");
        return Result::nest(7, rc);
      }
    }
    if (Result::failed(core.addLastAdrsAsBeat(0))) {
      rc = forceBeatAs1Bar(workPath);
      if (Result::failed(rc)) {
        setErrorOnce("error at analyzeOnsetTh() addLastAdrsAsBeat - forceBeatAs1Bar");
        return Result::nest(7, rc);
      }
    }
  }
  // The fallback grid (one entry per beat of one bar) needs the same
  // re-division and metre as an analysed one, or it is read as half a bar.
  std::uint16_t division = 1;
  QString message;
  core.divBeatDnUp(1, 0, 3, 0, division, message);
  if (options.fixedMeter == 1) core.setBeatRange(options.beatsPerBar, options.beatUnit);
  qDebug() << "segToSec started";
  progress(95);

  if (aborted()) return Result::kOk;
  rc = core.makeInitSecAsgnBySegLbl(0, 0, 0);
  if (Result::failed(rc)) {
    setErrorOnce("#0064 error at makeInitSecAsgnBySegLbl()");
    return Result::nest(8, rc);
  }
  rc = core.refreshSecBars(0, 3, QString());
  if (Result::failed(rc)) return Result::nest(9, rc);
  qDebug() << "writer awi start";
  progress(98);

  if (aborted()) return Result::kOk;
  const QString audio = QString::fromStdWString(path);
  rc = core.saveAwi(AnalysedWaveName::pathFor(audio).toStdWString(), 0);
  if (Result::failed(rc)) {
    setErrorOnce("#0065 error at saveAwi()");
    return Result::nest(9, rc);
  }
  progress(100);
  saveAudioFilePath(QFileInfo(audio).path());
  return Result::kOk;
}

ResultCode anaThreadObj::analysable(std::uint64_t frames) {
  if (frames == 0) {
    core.lastError = "The recording holds no audio.";
    return Result::fail(1);
  }
  if (SongAnalyzer::isTooLong(frames, static_cast<float>(AnalysisUtil::kSampleRate))) {
    core.lastError = tooLongMessage(frames);
    return Result::fail(2);
  }
  return Result::kOk;
}

ResultCode anaThreadObj::doCreateWavInfoTh(const std::wstring& path) {
  if (aborted()) return Result::kOk;
  if (path.empty()) {
    setErrorOnce("#0066 error at doCreateWavInfoTh() <empty file path>");
    return Result::fail(1);
  }
  auto* record = new (std::nothrow) WavInfo;
  if (!record) {
    setErrorOnce("#0067 error at doCreateWavInfoTh() <creation wavInfo>");
    return Result::fail(2);
  }
  record->fileName = path;
  const ResultCode rc = core.addWavList(record);
  if (Result::failed(rc)) {
    delete record;
    setErrorOnce("#0068 error at doCreateWavInfoTh() addWavList");
    return Result::nest(4, rc);
  }
  return Result::kOk;
}

ResultCode anaThreadObj::doSegmenterTh(const QString& workPath) {
  if (aborted()) return Result::kOk;
  progress(10);
  progLo = 10;
  progHi = 80;
  try {
    const ResultCode rc = core.doSegmenter(workPath, options.pack());
    if (Result::failed(rc)) return Result::nest(7, rc);
  } catch (const std::runtime_error& e) {
    core.lastError = QString::fromUtf8(e.what());
    // Anything that escapes the segmenter is a failure: the fallback grid
    // is used rather than reporting success without beats.
    return core.lastError == "Aborted" ? Result::fail(6) : Result::fail(7);
  } catch (...) {
    return Result::fail(7);
  }
  qDebug() << "doSegmenterTh() segmenter";
  progress(80);
  progLo = 0;
  progHi = 100;
  return Result::kOk;
}

ResultCode anaThreadObj::forceBeatAs1Bar(const QString& workPath) {
  const std::uint64_t length = WavSeekerSeq(workPath).length();
  std::uint8_t num = 4, den = 4;
  if (options.fixedMeter == 1) {
    num = options.beatsPerBar;
  } else {
    const ResultCode rc = core.getTimeSig(num, den);
    if (Result::failed(rc)) return Result::nest(1, rc);
  }
  const AnalysisUtil util;
  std::vector<float> times = {0.0f};
  for (int i = 1; i < num; ++i) {
    const float frame = std::trunc(static_cast<float>(i) * static_cast<float>(length) / num);
    times.push_back(util.samplesToSeconds(static_cast<std::uint64_t>(frame)));
  }
  times.push_back(util.samplesToSeconds(length));
  const ResultCode rc = core.updateBeat(0, times);
  if (Result::failed(rc)) {
    setErrorOnce("error at doUpdateBeat() updateBeat");
    return Result::nest(2, rc);
  }
  return Result::kOk;
}

ResultCode anaThreadObj::doAnalyzeOnsetTh(const QString& workPath, std::vector<float>& onsetTimes) {
  if (aborted()) return Result::kOk;
  qDebug() << "onset analyzer path 1";
  std::uint64_t frames = 0;
  ResultCode rc = core.analyzeOnset(workPath, frames, onsetTimes);
  if (Result::failed(rc)) {
    setErrorOnce(QString("#0069 error at doAnalyzeOnsetTh() analyzeOnset [%1]").arg(rc, 0, 16));
    return Result::nest(2, rc);
  }
  const float end = AnalysisUtil().samplesToSeconds(frames);
  if (onsetTimes.empty() || onsetTimes.front() != 0.0f) onsetTimes.insert(onsetTimes.begin(), 0.0f);
  if (onsetTimes.back() != end) onsetTimes.push_back(end);
  qDebug() << "onset analyzer path 2";
  if (aborted()) return Result::kOk;
  rc = core.updateOnset(0, onsetTimes);
  if (Result::failed(rc)) {
    setErrorOnce(QString("#0070 error at doAnalyzeOnsetTh() updateOnset [%1]").arg(rc, 0, 16));
    return Result::nest(5, rc);
  }
  return Result::kOk;
}

ResultCode anaThreadObj::doUpdateBeat(const std::vector<float>& beatTimes) {
  qDebug() << "divide Beat Dn/Up path 1";
  if (aborted()) return Result::kOk;
  ResultCode rc = core.updateBeat(0, beatTimes);
  if (Result::failed(rc)) {
    setErrorOnce("#0071 error at doUpdateBeat() updateBeat");
    return Result::nest(1, rc);
  }
  qDebug() << "divide Beat Dn/Up path 2";
  if (aborted()) return Result::kOk;
  rc = core.estimateBarLen(0);
  if (Result::failed(rc)) {
    setErrorOnce("#0072 error at doUpdateBeat() estimateBarLen");
    return Result::nest(2, rc);
  }
  qDebug() << "divide Beat Dn/Up path 3";
  for (std::uint8_t slot = 0; slot < CASTcore::kSectionCount; ++slot) {
    if (aborted()) return Result::kOk;
    SecInfo* sec = nullptr;
    rc = core.getSecInfo(slot, &sec);
    if (Result::failed(rc) || !sec) {
      setErrorOnce("#0073 error at doUpdateBeat() getSecInfo");
      return Result::nest(3, rc);
    }
    const SecInfo copy = *sec;
    rc = core.updateSecInfo(slot, copy);
    if (Result::failed(rc)) {
      setErrorOnce("#0074 error at doUpdateBeat() updateSecInfo");
      return Result::nest(4, rc);
    }
  }
  return Result::kOk;
}

ResultCode anaThreadObj::indexAtAddress(const std::vector<float>& times, std::uint64_t address,
                                        std::uint64_t& index) {
  index = 0;
  if (address < 11) return Result::kOk;
  const AnalysisUtil util;
  for (std::size_t i = 0; i < times.size(); ++i) {
    if (util.secondsToSamples(times[i]) >= address) {
      index = i;
      break;
    }
  }
  return Result::kOk;
}
