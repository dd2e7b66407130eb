#include "ExportStyle.h"

#include <QFile>

#include "CASTcore.h"

ExportStyle::ExportStyle(std::function<std::uint64_t()> job, CASTcore* core, const QString& path, void* owner)
    : QObject(nullptr), job(std::move(job)), core(core), outputPath(path), owner(owner) {}

ExportStyle::~ExportStyle() = default;

void ExportStyle::doExport() {
  core->clearLastError();
  const std::uint64_t prepared = job ? job() : 0;
  // Checked before the file is opened: a stopped export leaves whatever was
  // at the path as it was.
  if (stopFlag.load() != 0) {
    endedByStop = true;
    emit errorOnPreparation(static_cast<unsigned long>(prepared != 0 ? prepared : Result::fail(10)));
    return;
  }
  if (prepared != 0) {
    emit errorOnPreparation(static_cast<unsigned long>(prepared));
    return;
  }
  writtenBytes = 0;
  attackMask = 0;
  std::uint16_t beatMask = 0;
  std::uint16_t syncMask = 0;
  ResultCode code = core->exportStyle(outputPath.toStdWString(), &writtenBytes, &attackMask, &beatMask, &syncMask);
  if (core->hasException()) {
    // A file written while something failed inside cannot be trusted. Only
    // an export that succeeded has put its file at the path: after a failed
    // one the file there is an earlier style, which stays.
    if (!Result::failed(code)) {
      if (QFile::exists(outputPath)) QFile::remove(outputPath);
      // A removed file is never reported as a success.
      code = Result::fail(9);
    }
    writtenBytes = 0;
  }
  if (code == 0 && attackMask == 0) {
    emit done(0);
  } else {
    emit errorOnPreparation(static_cast<unsigned long>(code));
  }
}
