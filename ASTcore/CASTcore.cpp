// Core construction, project lifecycle, waves, paths and error state.

#include "CASTcore.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <new>

#include "ASTundo.h"
#include "AnalysisUtil.h"
#include "ISeekable.h"
#include "IndexPairBuffer.h"
#include "SignChangeSegmenter.h"
#include "TempWaveFiles.h"
#include "IF_onsetAnalyzer.h"
#include "IF_prjMngr.h"
#include "IF_segmenter.h"
#include "IF_styMngr.h"
#include "IF_timeStretch.h"

CASTcore::CASTcore() {
  createManagers();
  if (styMngr) {
    styParam = {styMngr->maxAttackPoints(), styMngr->maxBeatPoints(), styMngr->maxSyncPoints()};
  }
  try {
    undoStack = std::make_unique<ASTundo>();
  } catch (...) {
    exceptFlag = 1;  // every edit is then refused
  }
  const QString resources = applicationDir() + "/../Resources";
  templatePath = resources + "/Empty.sty";
  metro1Path = resources + "/Metro1.wav";
  metro2Path = resources + "/Metro2.wav";
  if (styMngr) styMngr->setTemplatePath(templatePath);
}

CASTcore::~CASTcore() {
  allInfo.clearWavList();
  styMngr.reset();
  timeStretch.reset();
  segmenter.reset();
  onsetAnalyzer.reset();
  prjMngr.reset();
  undoStack.reset();
}

QString CASTcore::applicationDir() {
  if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath();
  return QFileInfo(QFile::symLinkTarget("/proc/self/exe")).absolutePath();
}

ResultCode CASTcore::copyInto(CASTcore& scratch) const {
  try {
    return scratch.allInfo.assign(allInfo);
  } catch (...) {
    scratch.exceptFlag = 1;
    return Result::fail(1);
  }
}

ResultCode CASTcore::copyFrom(const CASTcore& other) {
  const ResultCode rc = setAllInfo(other.allInfo);
  if (Result::failed(rc)) return rc;
  tempPath = other.tempPath;
  templatePath = other.templatePath;
  metro1Path = other.metro1Path;
  metro2Path = other.metro2Path;
  if (styMngr) styMngr->setTemplatePath(templatePath);
  return Result::kOk;
}

ResultCode CASTcore::newProject() {
  ResultCode rc = allInfo.clearWavList();
  if (Result::failed(rc)) return Result::nest(1, rc);
  rc = allInfo.resetSecInfo();
  if (Result::failed(rc)) return Result::nest(2, rc);
  rc = allInfo.resetComnInfo();
  if (Result::failed(rc)) return Result::nest(3, rc);
  clearUndo();
  resetRenderState();
  return Result::kOk;
}

ResultCode CASTcore::openProject(const std::wstring& path) {
  if (!prjMngr) return Result::fail(1);
  try {
    // The file is read into a scratch core, so a failure leaves this model
    // and its undo history untouched.
    CASTcore scratch;
    if (!scratch.prjMngr) return Result::fail(2);
    ResultCode rc = scratch.allInfo.clearWavList();
    if (Result::failed(rc)) return Result::nest(3, rc);
    rc = scratch.allInfo.resetSecInfo();
    if (Result::failed(rc)) return Result::nest(4, rc);
    rc = scratch.allInfo.resetComnInfo();
    if (Result::failed(rc)) return Result::nest(5, rc);
    rc = scratch.prjMngr->readProject(path);
    if (Result::failed(rc)) {
      setLastErrorOnce(scratch.prjMngr->lastError());
      if (scratch.prjMngr->hasException()) exceptFlag = 1;
      return Result::nest(6, rc);
    }
    allInfo.assign(scratch.allInfo);
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(2);
  }
  clearUndo();
  resetRenderState();
  return Result::kOk;
}

ResultCode CASTcore::saveProject(const std::wstring& path) {
  if (!prjMngr) return Result::fail(1);
  const ResultCode rc = prjMngr->writeProject(path);
  if (Result::failed(rc)) {
    // The cause (no space, folder not writable) is for the user.
    setLastErrorOnce(prjMngr->lastError());
    return Result::nest(2, rc);
  }
  clearUndo();
  return Result::kOk;
}

ResultCode CASTcore::saveAwi(const std::wstring& path, std::uint8_t wavNo) {
  if (!prjMngr) return Result::fail(1);
  const ResultCode rc = prjMngr->writeAwi(path, wavNo);
  if (!Result::failed(rc)) return Result::kOk;
  setLastErrorOnce(prjMngr->lastError());
  return Result::nest(2, rc);
}

ResultCode CASTcore::loadAwi(const std::wstring& path, std::uint8_t wavNo) {
  if (!prjMngr) return Result::fail(1);
  const ResultCode rc = prjMngr->readAwi(path, wavNo);
  if (!Result::failed(rc)) return Result::kOk;
  setLastErrorOnce(prjMngr->lastError());
  return Result::nest(2, rc);
}

bool CASTcore::isModified() const { return undoStack && undoStack->isModified(); }

ResultCode CASTcore::addWavList(WavInfo* info) {
  try {
    CASTcore scratch;
    ResultCode rc = copyInto(scratch);
    if (Result::failed(rc)) return Result::nest(1, rc);
    rc = scratch.allInfo.addWavInfo(info);
    if (Result::failed(rc)) return Result::nest(2, rc);
    rc = setAllInfo(scratch.allInfo);
    if (Result::failed(rc)) {
      scratch.allInfo.detachWavInfo(static_cast<std::uint8_t>(scratch.allInfo.wavCount() - 1));
      return Result::nest(3, rc);
    }
    return Result::kOk;
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(1);
  }
}

ResultCode CASTcore::addAnalyzedFile(WavInfo* info, const QString& awiPath, std::uint64_t audioLength) {
  bool attached = false;
  std::unique_ptr<CASTcore> scratch;
  // On every failure after the append the record goes back to the caller.
  auto giveBack = [&](ResultCode rc) {
    if (attached) scratch->allInfo.detachWavInfo(static_cast<std::uint8_t>(scratch->allInfo.wavCount() - 1));
    return rc;
  };
  try {
    scratch = std::make_unique<CASTcore>();
    ResultCode rc = copyInto(*scratch);
    if (Result::failed(rc)) return Result::nest(1, rc);
    const auto wavNo = static_cast<std::uint8_t>(allInfo.wavCount());
    rc = scratch->allInfo.addWavInfo(info);
    if (Result::failed(rc)) return Result::nest(2, rc);
    attached = true;

    ResultCode inner = Result::kOk;
    if (!scratch->prjMngr) {
      inner = Result::fail(1);
    } else {
      rc = scratch->prjMngr->readAwi(awiPath.toStdWString(), wavNo);
      if (Result::failed(rc)) {
        setLastErrorOnce(scratch->prjMngr->lastError());
        inner = Result::nest(2, rc);
      }
    }
    if (Result::failed(inner)) return giveBack(Result::nest(3, inner));

    std::uint64_t mainTempo = 0;
    scratch->calcSecTempo(3, mainTempo);

    WavInfo* wave = nullptr;
    rc = scratch->allInfo.getWavInfo(wavNo, &wave);
    if (Result::failed(rc)) return giveBack(Result::nest(5, rc));
    const float end = AnalysisUtil().samplesToSeconds(audioLength);
    if (!wave->beatTime.empty() && wave->beatTime.back() > end) {
      setLastErrorOnce("Illegal analyzed file!");
      return giveBack(Result::fail(6));
    }
    if (!wave->onsetTime.empty() && wave->onsetTime.back() > end) {
      setLastErrorOnce("Illegal analyzed file!");
      return giveBack(Result::fail(7));
    }
    rc = setAllInfo(scratch->allInfo);
    if (Result::failed(rc)) return giveBack(Result::nest(8, rc));
    return Result::kOk;
  } catch (...) {
    exceptFlag = 1;
    if (scratch) giveBack(0);
    return Result::fail(9);
  }
}

ResultCode CASTcore::removeWave(std::uint8_t wavNo) {
  try {
    CASTcore scratch;
    ResultCode rc = copyInto(scratch);
    if (Result::failed(rc)) return Result::nest(1, rc);
    rc = scratch.allInfo.deleteWavInfo(wavNo);
    if (Result::failed(rc)) return Result::nest(2, rc);
    for (std::uint8_t slot = 0; slot < kSectionCount; ++slot) {
      const SecInfo* sec = nullptr;
      if (Result::failed(scratch.allInfo.getSecInfo(slot, &sec))) return Result::fail(3);
      if (sec->wavNo == wavNo) {
        // A reset slot points at no wave; on wave 0 a later grid refresh
        // would take it for a section of that wave and derive a tempo from it.
        rc = scratch.updateSecInfo(slot, SecInfo());
        if (Result::failed(rc)) return Result::nest(4, rc);
      } else if (sec->wavNo > wavNo && sec->wavNo != SecInfo::kNoWave) {
        SecInfo moved = *sec;
        --moved.wavNo;
        rc = scratch.updateSecInfo(slot, moved);
        if (Result::failed(rc)) return Result::nest(5, rc);
      }
    }
    rc = setAllInfo(scratch.allInfo);
    return Result::failed(rc) ? Result::nest(6, rc) : Result::kOk;
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(1);
  }
}

ResultCode CASTcore::detachWave(std::uint8_t wavNo) {
  const ResultCode rc = allInfo.detachWavInfo(wavNo);
  return Result::failed(rc) ? Result::nest(1, rc) : Result::kOk;
}

ResultCode CASTcore::clearWaveList() { return allInfo.clearWavList(); }

ResultCode CASTcore::resetCommonInfo() { return allInfo.resetComnInfo(); }

ResultCode CASTcore::getWaveInfo(std::uint8_t wavNo, WavInfo** out) { return allInfo.getWavInfo(wavNo, out); }

ResultCode CASTcore::setWaveInfo(std::uint8_t wavNo, const WavInfo& info) {
  if (wavNo >= allInfo.wavCount()) return Result::fail(1);
  try {
    return allInfo.setWavInfo(wavNo, info);
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(1);
  }
}

ResultCode CASTcore::setWaveFileName(std::uint8_t wavNo, const std::wstring& name) {
  try {
    return allInfo.setWavFileName(wavNo, name);
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(1);
  }
}

ResultCode CASTcore::getExtList(int wavNo, std::vector<std::uint64_t>** out) {
  return allInfo.getExtList(wavNo, out);
}

ResultCode CASTcore::setExtList(int wavNo, const std::vector<std::uint64_t>& list) {
  try {
    return allInfo.setExtList(wavNo, list);
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(1);
  }
}

ComnInfo CASTcore::getCommonInfo() const {
  const ComnInfo* comn = nullptr;
  allInfo.getComnInfo(&comn);
  return *comn;
}

void CASTcore::setLastErrorOnce(const QString& text) {
  if (lastError.isEmpty()) lastError = text;
}

void CASTcore::clearLastError() {
  lastError.clear();
  exceptFlag = 0;
  if (styMngr) styMngr->clearError();
  if (timeStretch) timeStretch->clearError();
  if (segmenter) segmenter->clearError();
  if (onsetAnalyzer) onsetAnalyzer->clearError();
  if (prjMngr) prjMngr->clearError();
}

bool CASTcore::hasException() const {
  if (styMngr && styMngr->hasException()) return true;
  if (timeStretch && timeStretch->hasException()) return true;
  if (segmenter && segmenter->hasException()) return true;
  if (onsetAnalyzer && onsetAnalyzer->hasException()) return true;
  if (prjMngr && prjMngr->hasException()) return true;
  return exceptFlag != 0;
}

void CASTcore::undo() {
  if (undoStack) undoStack->undo();
}

void CASTcore::redo() {
  if (undoStack) undoStack->redo();
}

void CASTcore::clearUndo() {
  if (undoStack) undoStack->clear();
}

bool CASTcore::canUndo() const { return undoStack && undoStack->canUndo(); }

bool CASTcore::canRedo() const { return undoStack && undoStack->canRedo(); }

void CASTcore::setUndoLimit(int limit) {
  if (undoStack) undoStack->setUndoLimit(limit);
}

int CASTcore::undoCount() const { return undoStack ? undoStack->count() : 0; }

QString CASTcore::undoText() const { return undoStack ? undoStack->undoText() : QString(); }

std::uint8_t CASTcore::isSecRendered(std::uint8_t slot) const {
  return slot < kSectionCount ? secRendered[slot] : 0;
}

void CASTcore::resetRenderState() {
  secRendered.fill(0);
  clearStretchRatios();
}

void CASTcore::clearStretchRatios() {
  for (auto& ratios : stretchRatios) ratios.clear();
}

void CASTcore::setStyleParam1(std::uint64_t value) {
  styParam[0] = value;
  if (styMngr) styMngr->setMaxAttackPoints(value);
}

void CASTcore::setStyleParam2(std::uint64_t value) {
  styParam[1] = value;
  if (styMngr) styMngr->setMaxBeatPoints(value);
}

void CASTcore::setStyleParam3(std::uint64_t value) {
  styParam[2] = value;
  if (styMngr) styMngr->setMaxSyncPoints(value);
}

ResultCode CASTcore::getPath(std::uint8_t slot, QString& out) const {
  switch (slot) {
    case 0:
      out = workFolder();
      return out.isEmpty() ? Result::fail(2) : Result::kOk;
    case 1: out = templatePath; return Result::kOk;
    case 2: out = metro1Path; return Result::kOk;
    case 3: out = metro2Path; return Result::kOk;
    default: return Result::fail(1);
  }
}

QString CASTcore::workFolder(QString* whyNot) const {
  return tempPath.isEmpty() ? TempWaveFiles::workFolder(whyNot) : tempPath;
}

ResultCode CASTcore::setPath(std::uint8_t slot, std::uint8_t base, const QString& name) {
  QString result;
  if (base == 255) {
    if (name.isEmpty()) return Result::fail(1);
    result = name;
  } else {
    QString dir;
    if (base <= 17) {
      dir = QStandardPaths::writableLocation(static_cast<QStandardPaths::StandardLocation>(base));
    } else if (base == 253) {
      dir = applicationDir();
    } else if (base == 254) {
      dir = QDir::current().canonicalPath();
    } else {
      return Result::fail(2);
    }
    result = dir.isEmpty() ? QString() : dir + "/" + name;
  }
  switch (slot) {
    case 0: tempPath = result; break;
    case 1:
      templatePath = result + "/Empty.sty";
      if (styMngr) styMngr->setTemplatePath(templatePath);
      break;
    case 2: metro1Path = result + "/Metro1.wav"; break;
    case 3: metro2Path = result + "/Metro2.wav"; break;
    default: return Result::fail(3);
  }
  return Result::kOk;
}

QObject* CASTcore::segmenterObject() const { return segmenter ? segmenter->asQObject() : nullptr; }

ResultCode CASTcore::scanZeroCross(ISeekable<float>& source, std::vector<std::uint64_t>& out, std::uint8_t mode) {
  try {
    constexpr int kWindow = 100;
    IndexPairBuffer window(kWindow);
    SignChangeSegmenter segmenter(out, mode);
    const std::uint32_t channels = std::max<std::uint32_t>(1, source.channels());
    constexpr std::uint64_t kBlock = 4096;
    std::vector<float> block(kBlock * channels);
    std::uint64_t frame = 0;
    for (;;) {
      const std::uint64_t got = source.read(block.data(), kBlock);
      if (got == 0) break;
      for (std::uint64_t i = 0; i < got; ++i, ++frame) {
        const float left = block[i * channels] * 32768.0f;
        const float right = block[i * channels + (channels > 1 ? 1 : 0)] * 32768.0f;
        segmenter.push(window.pushAverage(frame < kWindow, left, right));
      }
      // A short read is not the end: only a read of no frames is.
    }
    return Result::kOk;
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(1);
  }
}
