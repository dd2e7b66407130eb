// The core's part of a style export: every used section's working wave goes
// to the style manager with its bars and length, and the manager writes the
// file.

#include "CASTcore.h"
#include "IF_styMngr.h"

ResultCode CASTcore::assignAllSectionAudio() {
  if (!styMngr) return Result::fail(1);
  styMngr->resetStyle();
  for (std::uint8_t slot = 0; slot < kSectionCount; ++slot) {
    bool used = false;
    if (Result::failed(allInfo.isSecUsed(slot, &used))) return Result::fail(1);
    if (used && Result::failed(assignSectionAudio(slot))) return Result::fail(2);
  }
  return Result::kOk;
}

ResultCode CASTcore::exportStyle(const std::wstring& path, std::uint64_t* written, std::uint16_t* attackMask,
                                 std::uint16_t* beatMask, std::uint16_t* syncMask) {
  if (written) *written = 0;
  if (!styMngr) return Result::fail(1);
  try {
    styMngr->resetStyle();
    for (std::uint8_t slot = 0; slot < kSectionCount; ++slot) {
      const SecInfo* sec = nullptr;
      if (Result::failed(allInfo.getSecInfo(slot, &sec))) return Result::nest(2, Result::fail(1));
      if (sec->used && Result::failed(assignSectionAudio(slot))) return Result::nest(2, Result::fail(2));
    }
    const ComnInfo common = getCommonInfo();
    ResultCode rc = Result::kOk;
    if (common.normSw != 0) {
      rc = normalizeSectionWaves();
      if (Result::failed(rc)) return Result::nest(3, rc);
    }
    std::uint8_t num = 4, den = 4;
    rc = allInfo.getTimeSig(&num, &den);
    if (Result::failed(rc)) return Result::nest(4, rc);

    ExportSectionInfo info;
    info.tempo = common.tempo;
    info.numerator = num;
    info.denominator = den;
    for (std::uint8_t slot = 0; slot < kSectionCount; ++slot) {
      const SecInfo* sec = nullptr;
      rc = allInfo.getSecInfo(slot, &sec);
      if (Result::failed(rc)) return Result::nest(5, rc);
      if (!sec) return Result::fail(5);
      // A used section without a rendered length was never rendered.
      if (sec->used && sec->holdValue == 0) return Result::fail(6);
      info.bars[slot] = sec->barNum + ((sec->pickupSw && sec->pickupNum) ? 1 : 0);
      info.length[slot] = sec->holdValue;
    }
    rc = styMngr->setSectionFormats(info);
    if (Result::failed(rc)) return Result::nest(7, rc);
    const ResultCode r = styMngr->writeStyleFile(path, written, attackMask, beatMask, syncMask);
    exceptFlag = styMngr->hasException() ? 1 : 0;
    if (r == 0) return Result::kOk;
    // The cause (no space, folder not writable) is for the user.
    setLastErrorOnce(styMngr->lastError());
    return Result::nest(8, r);
  } catch (...) {
    lastError += styMngr->lastError();
    exceptFlag = 1;
    return Result::fail(9);
  }
}
