// Rendering the sections of an export side by side.

#include <memory>

#include "ASTAudition.h"
#include "CASTcore.h"
#include "SecInfo.h"
#include "TempWaveFiles.h"
#include "WavInfo.h"
#include "audioFileMngr.h"

ResultCode ASTAudition::makeStretchedSectionWaves(CASTcore* core, const std::vector<std::uint8_t>& sections,
                                                  std::uint8_t* ratioError,
                                                  const std::atomic<std::uint8_t>* stop) {
  QString folder;
  core->getPath(0, folder);
  // The work copy of each recording goes where the core renders from, once
  // for all the sections on it.
  auto copyRecording = [core, &folder](std::uint8_t slot) -> ResultCode {
    SecInfo* sec = nullptr;
    WavInfo* wave = nullptr;
    const ResultCode rc = core->getSecWave(slot, &sec, &wave);
    if (Result::failed(rc) || !sec || !wave) return Result::nest(1, rc);
    std::unique_ptr<IF_audioFileMngr> files(audioFileMngr::create());
    if (!files) return Result::fail(2);
    const ResultCode copied = files->copyFile(wave->fileName, TempWaveFiles::sourcePath(folder));
    return Result::failed(copied) ? Result::nest(2, copied) : Result::kOk;
  };
  return core->renderSections(sections, copyRecording, ratioError, stop);
}
