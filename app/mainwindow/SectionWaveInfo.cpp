#include "SectionWaveInfo.h"

#include <array>

#include "AnalysisUtil.h"
#include "CASTcore.h"

SectionWaveInfo::SectionWaveInfo(CASTcore* owner, std::uint32_t section) : core(owner) {
  if (!core || section > 14) return;
  const auto slot = static_cast<std::uint8_t>(section);
  SecInfo* sec = nullptr;
  WavInfo* wave = nullptr;
  std::uint8_t num = 4;
  std::uint8_t den = 4;
  if (core->getSecInfo(slot, &sec) != 0 || !sec) return;
  if (core->getSecWaveOnly(slot, &wave) != 0 || !wave) return;
  if (core->getTimeSig(num, den) != 0) return;
  sectionIndex = static_cast<int>(section);
  bars = sec->barNum;
  tempo = static_cast<double>(core->getCommonInfo().tempo);
  numerator = num;
  denominator = den;
  startSample = static_cast<int>(static_cast<std::uint32_t>(sec->startAdrs));
  secondStart = static_cast<int>(static_cast<std::uint32_t>(sec->endAdrs));
  const AnalysisUtil util;  // the core's conversion, single precision
  startSeconds = util.samplesToSeconds(static_cast<std::uint32_t>(startSample));
  secondSeconds = util.samplesToSeconds(static_cast<std::uint32_t>(secondStart));
  manualBars = sec->manualBar != 0;
}

bool sectionBarsExceedLimit(const SectionWaveInfo& record) {
  static constexpr std::array<unsigned, 15> kMaxBars{{32, 32, 32, 32, 32, 32, 32, 1, 1, 1, 1, 1, 32, 32, 32}};
  const unsigned limit =
      (record.sectionIndex < 0 || record.sectionIndex > 14) ? 1u : kMaxBars[static_cast<std::size_t>(record.sectionIndex)];
  return static_cast<unsigned>(record.bars) > limit;
}
