#include "AllInfo.h"

namespace {

constexpr ResultCode kBadIndex = Result::fail(1);
// The slot's wave is not in the list: step 2 failing on a missing index.
constexpr ResultCode kMissingWave = Result::nest(2, Result::fail(1));

}  // namespace

ResultCode AllInfo::assign(const AllInfo& source) {
  if (this == &source) return Result::kOk;
  std::vector<std::unique_ptr<WavInfo>> copies;
  copies.reserve(source.wavList.size());
  for (const auto& w : source.wavList) copies.push_back(std::make_unique<WavInfo>(*w));
  std::array<SecInfo, kSectionCount> sections;
  for (int i = 0; i < kSectionCount; ++i) sections[i] = source.secInfo[i];
  // Everything is copied before anything is replaced, so an allocation
  // failure leaves this model as it was.
  wavList = std::move(copies);
  secInfo = std::move(sections);
  comnInfo = source.comnInfo;
  return Result::kOk;
}

ResultCode AllInfo::clearWavList() {
  wavList.clear();
  return Result::kOk;
}

ResultCode AllInfo::getWavInfo(std::uint8_t wavNo, WavInfo** out) {
  if (out) *out = nullptr;
  if (!validWave(wavNo)) return kBadIndex;
  if (out) *out = wavList[wavNo].get();
  return Result::kOk;
}

ResultCode AllInfo::getWavInfo(std::uint8_t wavNo, const WavInfo** out) const {
  if (out) *out = nullptr;
  if (!validWave(wavNo)) return kBadIndex;
  if (out) *out = wavList[wavNo].get();
  return Result::kOk;
}

ResultCode AllInfo::addWavInfo(WavInfo* info) {
  if (!info || wavList.size() >= kMaxWaves) return kBadIndex;
  wavList.emplace_back(info);
  return Result::kOk;
}

ResultCode AllInfo::deleteWavInfo(std::uint8_t wavNo) {
  if (!validWave(wavNo)) return kBadIndex;
  wavList.erase(wavList.begin() + wavNo);
  return Result::kOk;
}

ResultCode AllInfo::detachWavInfo(std::uint8_t wavNo) {
  if (!validWave(wavNo)) return kBadIndex;
  wavList[wavNo].release();
  wavList.erase(wavList.begin() + wavNo);
  return Result::kOk;
}

ResultCode AllInfo::setWavInfo(std::uint8_t wavNo, const WavInfo& source) {
  if (!validWave(wavNo)) return kBadIndex;
  *wavList[wavNo] = source;
  return Result::kOk;
}

ResultCode AllInfo::setWavFileName(std::uint8_t wavNo, const std::wstring& name) {
  if (!validWave(wavNo)) return kBadIndex;
  wavList[wavNo]->fileName = name;
  return Result::kOk;
}

ResultCode AllInfo::setBeatTime(std::uint8_t wavNo, const std::vector<float>& times) {
  if (!validWave(wavNo)) return kBadIndex;
  wavList[wavNo]->beatTime = times;
  return Result::kOk;
}

ResultCode AllInfo::setOnsetTime(std::uint8_t wavNo, const std::vector<float>& times) {
  if (!validWave(wavNo)) return kBadIndex;
  wavList[wavNo]->onsetTime = times;
  return Result::kOk;
}

ResultCode AllInfo::setBarLen(std::uint8_t wavNo, float barLen) {
  if (!validWave(wavNo)) return kBadIndex;
  wavList[wavNo]->barLen = barLen;
  return Result::kOk;
}

ResultCode AllInfo::getExtList(int wavNo, std::vector<std::uint64_t>** out) {
  if (out) *out = nullptr;
  if (!validWave(wavNo)) return kBadIndex;
  if (out) *out = &wavList[wavNo]->extList;
  return Result::kOk;
}

ResultCode AllInfo::setExtList(int wavNo, const std::vector<std::uint64_t>& list) {
  if (!validWave(wavNo)) return kBadIndex;
  wavList[wavNo]->extList = list;
  return Result::kOk;
}

ResultCode AllInfo::getWavTempo(int wavNo, std::uint64_t* tempo) const {
  if (tempo) *tempo = 120;
  if (!validWave(wavNo)) return kBadIndex;
  if (tempo) *tempo = wavList[wavNo]->tempo;
  return Result::kOk;
}

ResultCode AllInfo::setWavTempo(int wavNo, std::uint64_t tempo) {
  if (!validWave(wavNo)) return kBadIndex;
  wavList[wavNo]->tempo = tempo;
  return Result::kOk;
}

ResultCode AllInfo::getSecInfo(std::uint8_t slot, SecInfo** out) {
  if (out) *out = nullptr;
  if (slot >= kSectionCount) return kBadIndex;
  if (out) *out = &secInfo[slot];
  return Result::kOk;
}

ResultCode AllInfo::getSecInfo(std::uint8_t slot, const SecInfo** out) const {
  if (out) *out = nullptr;
  if (slot >= kSectionCount) return kBadIndex;
  if (out) *out = &secInfo[slot];
  return Result::kOk;
}

ResultCode AllInfo::setSecInfo(std::uint8_t slot, const SecInfo& source) {
  if (slot >= kSectionCount) return kBadIndex;
  secInfo[slot] = source;
  return Result::kOk;
}

ResultCode AllInfo::resetSecInfo() {
  for (auto& s : secInfo) s.reset();
  return Result::kOk;
}

ResultCode AllInfo::isSecUsed(std::uint8_t slot, bool* used) const {
  if (used) *used = false;
  if (slot >= kSectionCount) return kBadIndex;
  if (used) *used = secInfo[slot].used != 0;
  return Result::kOk;
}

ResultCode AllInfo::getSecWavInfo(std::uint8_t slot, WavInfo** out) {
  SecInfo* sec = nullptr;
  return getSecAndWavInfo(slot, &sec, out);
}

ResultCode AllInfo::getSecAndWavInfo(std::uint8_t slot, SecInfo** sec, WavInfo** wav) {
  if (sec) *sec = nullptr;
  if (wav) *wav = nullptr;
  if (slot >= kSectionCount || !wav) return kBadIndex;
  if (sec) *sec = &secInfo[slot];
  const std::uint8_t wavNo = secInfo[slot].wavNo;
  if (!validWave(wavNo)) return kMissingWave;
  *wav = wavList[wavNo].get();
  return Result::kOk;
}

ResultCode AllInfo::isWavUsed(std::uint8_t wavNo, bool* used) const {
  bool found = false;
  for (const auto& s : secInfo) {
    if (s.used && s.wavNo == wavNo) found = true;
  }
  if (used) *used = found;
  return Result::kOk;
}

ResultCode AllInfo::getComnInfo(ComnInfo** out) {
  if (out) *out = &comnInfo;
  return Result::kOk;
}

ResultCode AllInfo::getComnInfo(const ComnInfo** out) const {
  if (out) *out = &comnInfo;
  return Result::kOk;
}

ResultCode AllInfo::setComnInfo(const ComnInfo& source) {
  comnInfo = source;
  return Result::kOk;
}

ResultCode AllInfo::resetComnInfo() {
  comnInfo = ComnInfo();
  return Result::kOk;
}

ResultCode AllInfo::setVolume(std::uint8_t value) {
  if (!ComnInfo::isValidLevel(value)) return Result::fail(1);
  comnInfo.volume = value;
  return Result::kOk;
}

ResultCode AllInfo::setPan(std::uint8_t value) {
  if (!ComnInfo::isValidLevel(value)) return Result::fail(1);
  comnInfo.pan = value;
  return Result::kOk;
}

ResultCode AllInfo::setRevSend(std::uint8_t value) {
  if (!ComnInfo::isValidLevel(value)) return Result::fail(1);
  comnInfo.revSend = value;
  return Result::kOk;
}

ResultCode AllInfo::setTempo(std::int64_t tempo) {
  if (!ComnInfo::isValidTempo(tempo)) return Result::fail(1);
  comnInfo.tempo = static_cast<std::uint64_t>(tempo);
  return Result::kOk;
}

ResultCode AllInfo::setTimeSig(std::uint8_t num, std::uint8_t den) {
  if (!ComnInfo::isValidNumerator(num)) return Result::fail(1);
  if (!ComnInfo::isValidDenominator(den)) return Result::fail(2);
  comnInfo.timeSigNum = num;
  comnInfo.timeSigDen = den;
  return Result::kOk;
}

ResultCode AllInfo::setNormDepth(std::uint8_t value) {
  if (!ComnInfo::isValidPercent(value)) return Result::fail(1);
  comnInfo.normDepth = value;
  return Result::kOk;
}

ResultCode AllInfo::setNormSw(std::uint8_t value) {
  if (!ComnInfo::isValidPercent(value)) return Result::fail(1);
  comnInfo.normSw = value;
  return Result::kOk;
}

ResultCode AllInfo::getTimeSig(std::uint8_t* num, std::uint8_t* den) const {
  if (num) *num = comnInfo.timeSigNum;
  if (den) *den = comnInfo.timeSigDen;
  return Result::kOk;
}
