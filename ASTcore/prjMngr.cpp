#include "prjMngr.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "CASTcore.h"
#include "RegularFile.h"
#include "WholeWrite.h"

using ProjectFileCodec::Bytes;
using ProjectFileCodec::Content;
using ProjectFileCodec::Kind;

namespace {

QString describe(Kind kind) { return kind == Kind::Project ? "project file" : "analysed-wave file"; }

// What the core holds now: a file read over it changes only what it stores.
Content currentContent(CASTcore& core) {
  Content content;
  for (std::uint8_t slot = 0; slot < AllInfo::kSectionCount; ++slot) {
    const SecInfo* sec = nullptr;
    core.getAllInfo().getSecInfo(slot, &sec);
    content.sections[slot] = *sec;  // keeps what files do not store
  }
  content.common = core.getCommonInfo();
  return content;
}

}  // namespace

IF_prjMngr* prjMngr::create(CASTcore* core) { return new prjMngr(core); }

void prjMngr::clearError() {
  errorText.clear();
  exceptFlag = 0;
}

ResultCode prjMngr::loadFile(const QString& path, Kind kind, Content& content) {
  QFile file;
  QString notRegular;
  if (!RegularFile::openForReading(file, path, &notRegular)) {
    errorText = notRegular.isEmpty() ? QString("Cannot open the %1 \"%2\".").arg(describe(kind), path)
                                     : QString("Cannot open the %1 \"%2\": %3.").arg(describe(kind), path, notRegular);
    return Result::fail(1);
  }
  // Never fetch more than the header declares or the file holds.
  const QByteArray header = file.read(ProjectFileCodec::kHeaderSize);
  const std::uint64_t declared = ProjectFileCodec::declaredFileSize(
      reinterpret_cast<const std::uint8_t*>(header.constData()), static_cast<std::size_t>(header.size()));
  const auto wanted = static_cast<qint64>(std::min<std::uint64_t>(declared, static_cast<std::uint64_t>(file.size())));
  Bytes bytes(header.begin(), header.end());
  if (wanted > header.size()) {
    const QByteArray rest = file.read(wanted - header.size());
    bytes.insert(bytes.end(), rest.begin(), rest.end());
  }
  const ResultCode rc = ProjectFileCodec::parseFile(bytes.data(), bytes.size(), kind, content);
  if (Result::failed(rc)) {
    errorText = QString("The %1 \"%2\" is damaged or incomplete.").arg(describe(kind), path);
  }
  return rc;
}

ResultCode prjMngr::applySectionsAndCommon(const Content& content) {
  if (content.hasSections) {
    for (std::uint8_t slot = 0; slot < AllInfo::kSectionCount; ++slot) {
      const ResultCode rc = core->updateSecInfo(slot, content.sections[slot]);
      if (Result::failed(rc)) return Result::nest(9, Result::nest(12, rc));
    }
  }
  if (content.hasCommon) {
    const ResultCode rc = core->setCommonInfo(content.common);
    if (Result::failed(rc)) return Result::nest(11, Result::nest(4, rc));
  }
  return Result::kOk;
}

ResultCode prjMngr::readProject(const std::wstring& path) {
  if (!core) return Result::fail(1);
  try {
    Content content = currentContent(*core);
    ResultCode rc = loadFile(QString::fromStdWString(path), Kind::Project, content);
    if (Result::failed(rc)) return rc;
    if (content.hasWaves) {
      core->clearWaveList();
      for (const WavInfo& wave : content.waves) {
        auto* record = new WavInfo(wave);
        rc = core->addWavList(record);
        if (Result::failed(rc)) {
          delete record;
          return Result::nest(7, Result::nest(9, rc));
        }
      }
    }
    return applySectionsAndCommon(content);
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(6);
  }
}

ResultCode prjMngr::readAwi(const std::wstring& path, std::uint8_t wavNo) {
  if (!core) return Result::fail(1);
  try {
    Content content = currentContent(*core);
    const QString file = QString::fromStdWString(path);
    ResultCode rc = loadFile(file, Kind::AnalysedWave, content);
    if (Result::failed(rc)) return rc;
    if (content.hasWaves) {
      if (wavNo >= core->waveCount()) {
        errorText = QString("The project has no wave %1 to read \"%2\" into.").arg(wavNo).arg(file);
        return Result::nest(7, Result::nest(9, Result::fail(1)));
      }
      WavInfo wave = content.waves.front();
      // The audio file is expected beside its analysis.
      const QString stored = QString::fromStdWString(wave.fileName);
      wave.fileName = (QFileInfo(file).absolutePath() + "/" + QFileInfo(stored).fileName()).toStdWString();
      rc = core->setWaveInfo(wavNo, wave);
      if (Result::failed(rc)) {
        errorText = QString("The analysis in \"%1\" could not be taken into the project.").arg(file);
        return Result::nest(7, Result::nest(9, rc));
      }
    }
    if (wavNo != 0) return Result::kOk;
    rc = applySectionsAndCommon(content);
    if (Result::failed(rc)) {
      errorText = QString("The sections in \"%1\" could not be taken into the project.").arg(file);
    }
    return rc;
  } catch (...) {
    exceptFlag = 1;
    errorText = QStringLiteral("Not enough memory to read the analysed-wave file.");
    return Result::fail(6);
  }
}

ResultCode prjMngr::buildSectionsBlock(bool forAwi, Bytes& out) {
  std::array<const SecInfo*, AllInfo::kSectionCount> sections{};
  for (std::uint8_t slot = 0; slot < AllInfo::kSectionCount; ++slot) {
    const ResultCode rc = core->getAllInfo().getSecInfo(slot, &sections[slot]);
    if (Result::failed(rc)) return Result::nest(2, rc);
  }
  out = ProjectFileCodec::sectionsBlock(sections, forAwi);
  return Result::kOk;
}

ResultCode prjMngr::saveFile(const QString& path, const Bytes& bytes) {
  const QString refused = RegularFile::cannotReplace(path);
  if (!refused.isEmpty()) {
    errorText = refused;
    return Result::fail(2);
  }
  // A read-only file stays as it is, as the user made it.
  const QFileInfo info(path);
  if (info.exists() && !info.isWritable()) {
    errorText = QString("\"%1\" is write-protected.").arg(path);
    return Result::fail(1);
  }
  QSaveFile file(path);
  // Unbuffered, so a failing write (disk full, size limit) is reported by
  // write() itself; Qt's buffered flush inside commit() can lose it.
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
    errorText = WholeWrite::cannotCreate(path, WholeWrite::reason(file));
    return Result::fail(2);
  }
  const auto size = static_cast<qint64>(bytes.size());
  if (!WholeWrite::writeAll(file, reinterpret_cast<const char*>(bytes.data()), size) || !file.flush() ||
      file.error() != QFileDevice::NoError || !file.commit()) {
    errorText = WholeWrite::cannotWrite(path, WholeWrite::reason(file));
    file.cancelWriting();
    return Result::fail(4);
  }
  return Result::kOk;
}

ResultCode prjMngr::writeProject(const std::wstring& path) {
  if (!core) return Result::nest(1, Result::fail(1));
  try {
    if (core->waveCount() > AllInfo::kMaxWaves) return Result::nest(1, Result::fail(2));
    std::vector<const WavInfo*> waves;
    for (const auto& wave : core->getAllInfo().waves()) waves.push_back(wave.get());
    const Bytes waveBlock = ProjectFileCodec::projectWaveBlock(waves);
    Bytes sections;
    const ResultCode rc = buildSectionsBlock(false, sections);
    if (Result::failed(rc)) return Result::nest(2, rc);
    const Bytes common = ProjectFileCodec::commonBlock(core->getCommonInfo());
    const Bytes file = ProjectFileCodec::assembleFile(Kind::Project, waveBlock, sections, common);
    const ResultCode saved = saveFile(QString::fromStdWString(path), file);
    return Result::failed(saved) ? Result::fail(saved == Result::fail(4) ? 4 : 1) : Result::kOk;
  } catch (...) {
    exceptFlag = 1;
    return Result::nest(1, Result::fail(3));
  }
}

ResultCode prjMngr::writeAwi(const std::wstring& path, std::uint8_t wavNo) {
  if (!core) return Result::nest(1, Result::fail(1));
  try {
    WavInfo* wave = nullptr;
    if (wavNo >= core->waveCount()) return Result::nest(1, Result::fail(4));
    ResultCode rc = core->getWaveInfo(wavNo, &wave);
    if (Result::failed(rc) || !wave) return Result::nest(1, Result::nest(5, rc));
    const Bytes waveBlock = ProjectFileCodec::awiWaveBlock(*wave);
    Bytes sections;
    rc = buildSectionsBlock(true, sections);
    if (Result::failed(rc)) return Result::nest(2, rc);
    const Bytes common = ProjectFileCodec::commonBlock(core->getCommonInfo());
    const Bytes file = ProjectFileCodec::assembleFile(Kind::AnalysedWave, waveBlock, sections, common);
    return saveFile(QString::fromStdWString(path), file);
  } catch (...) {
    exceptFlag = 1;
    return Result::nest(1, Result::fail(7));
  }
}
