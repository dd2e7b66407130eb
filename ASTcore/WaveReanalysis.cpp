#include "WaveReanalysis.h"

#include "AnalysisUtil.h"

namespace WaveReanalysis {

namespace {

// The section's edge moved to the beat of the new grid nearest to it.
ResultCode snapEdge(CASTcore& core, const SecInfo& sec, std::uint64_t& address) {
  std::uint32_t beat = 0;
  ResultCode rc = core.getBeatPosOfAddress(sec.wavNo, sec.halfBeat, address, beat);
  if (Result::failed(rc)) return rc;
  return core.getAddressOfBeat(sec.wavNo, sec.halfBeat, beat, address);
}

// The section fitted to the new grid of its wave, or false when it no
// longer can be.
bool refit(CASTcore& core, std::uint8_t slot, SecInfo& sec, std::uint64_t audioEnd) {
  const auto limit = static_cast<std::int64_t>(audioEnd);
  auto range = [&sec](std::int64_t& start, std::int64_t& end) {
    start = static_cast<std::int64_t>(sec.startAdrs) + sec.startOfs;
    end = static_cast<std::int64_t>(sec.endAdrs) + sec.endOfs;
  };
  std::int64_t start = 0, end = 0;
  range(start, end);
  if (start < 0 || end > limit || end <= start) return false;
  if (Result::failed(snapEdge(core, sec, sec.startAdrs)) || Result::failed(snapEdge(core, sec, sec.endAdrs)))
    return false;
  range(start, end);
  if (start < 0 || end > limit || end <= start) return false;
  const QString saved = core.lastError;
  const bool fits = !Result::failed(core.checkBeatSetting(slot, sec));
  // Why a section did not fit is no error of the replacement.
  core.lastError = saved;
  return fits;
}

}  // namespace

ResultCode load(const QString& awiPath, WavInfo& out) {
  CASTcore scratch;
  ResultCode rc = scratch.addWavList(new WavInfo);
  if (Result::failed(rc)) return Result::nest(1, rc);
  rc = scratch.loadAwi(awiPath.toStdWString(), 0);
  if (Result::failed(rc)) return Result::nest(1, rc);
  WavInfo* wave = nullptr;
  rc = scratch.getWaveInfo(0, &wave);
  if (Result::failed(rc) || !wave) return Result::nest(1, rc);
  out = *wave;
  return Result::kOk;
}

bool sameAudio(const WavInfo& a, const WavInfo& b) { return a.onsetTime == b.onsetTime; }

ResultCode replace(CASTcore& core, std::uint8_t wavNo, const WavInfo& analysis) {
  if (analysis.onsetTime.empty() || analysis.beatTime.empty()) return Result::fail(1);
  CASTcore scratch;
  ResultCode rc = scratch.copyFrom(core);
  if (Result::failed(rc)) return Result::nest(2, rc);
  WavInfo* wave = nullptr;
  rc = scratch.getWaveInfo(wavNo, &wave);
  if (Result::failed(rc) || !wave) return Result::nest(3, rc);
  WavInfo updated = *wave;
  updated.copyAnalysis(analysis);
  rc = scratch.setWaveInfo(wavNo, updated);
  if (Result::failed(rc)) return Result::nest(3, rc);
  scratch.estimateBarLen(wavNo);
  const std::uint64_t audioEnd = AnalysisUtil().secondsToSamples(updated.onsetTime.back());
  for (std::uint8_t slot = 0; slot < CASTcore::kSectionCount; ++slot) {
    SecInfo* sec = nullptr;
    rc = scratch.getSecInfo(slot, &sec);
    if (Result::failed(rc) || !sec) return Result::nest(4, rc);
    if (sec->wavNo != wavNo || !sec->used) continue;
    SecInfo fitted = *sec;
    if (!refit(scratch, slot, fitted, audioEnd)) {
      fitted = SecInfo();
      fitted.wavNo = wavNo;
    }
    rc = scratch.updateSecInfo(slot, fitted);
    if (Result::failed(rc)) return Result::nest(4, rc);
  }
  rc = core.setAllInfo(scratch.getAllInfo());
  if (Result::failed(rc)) return Result::nest(5, rc);
  core.resetRenderState();
  return Result::kOk;
}

}  // namespace WaveReanalysis
