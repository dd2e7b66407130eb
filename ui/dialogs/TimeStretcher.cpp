// The stretch job's checks, the rendering through the audition, the
// measuring of the written file and the beat grid over it.

#include "TimeStretcher.h"

#include <QFile>

#include <cmath>

#include "ASTAudition.h"
#include "AnalysisUtil.h"
#include "CASTcore.h"
#include "SectionWaveInfo.h"
#include "TempoRatio.h"

TimeStretcher::TimeStretcher(CASTcore* core, ASTAudition* audition, const QString& path, std::uint32_t section,
                             std::uint32_t wave, QObject* owner)
    : QObject(nullptr), mCore(core), mAudition(audition), mPath(path), mSection(section), mWave(wave), mOwner(owner) {}

TimeStretcher::~TimeStretcher() = default;

void TimeStretcher::fail(unsigned long code, const QString& text) {
  mErrorText = text;
  emit done(code, mErrorText);
}

void TimeStretcher::doTimeStretch() {
  const QString noSection = QStringLiteral("no section is specified!");
  const QString ratioError = QStringLiteral("stretch ratio error!");
  if (mSection >= 15) return fail(0x80000001, noSection);
  const auto slot = static_cast<std::uint8_t>(mSection);
  const SectionWaveInfo record(mCore, mSection);
  SecInfo* sec = nullptr;
  if (record.sectionIndex < 0 || mCore->getSecInfo(slot, &sec) != 0 || !sec) return fail(0x80000002, noSection);
  if (sec->used == 0) return fail(0x80000003, QStringLiteral("trimming on is required!"));
  if ((record.secondSeconds - record.startSeconds) * 10000.0 < 1.0)
    return fail(0x80000004, QStringLiteral("Selected range of waveform is too short."));
  const double sectionSeconds = calcTempo(static_cast<unsigned>(record.numerator),
                                          static_cast<unsigned>(record.denominator),
                                          static_cast<unsigned>(record.bars), record.tempo);
  const double ratio = calcRatio(sectionSeconds, std::fabs(record.secondSeconds - record.startSeconds));
  if (isRatioOutOfRange(ratio * 100.0)) return fail(0x80000005, ratioError);

  if (!mCore->isSecRendered(slot)) {
    std::uint8_t limited = 0;
    if (mAudition->makeStretchedSectionWave(mCore, slot, &limited) != 0)
      return fail(0x80000006, QStringLiteral("stretch erro ") + mCore->lastError);
    if (limited) return fail(0x80000007, ratioError);
  }

  mSampleCount = 0;
  QFile file(mPath);
  const AnalysisUtil util;
  if (util.probeWav(file, mSampleCount) != 0) return fail(0x80000008, ratioError);

  std::uint8_t numerator = 4, denominator = 4;
  if (mCore->getTimeSig(numerator, denominator) != 0) return fail(0x80000009, ratioError);

  std::uint64_t bars = sec->barNum;
  if (mSection <= 2 && sec->pickupSw != 0 && sec->pickupNum != 0) ++bars;
  const std::uint64_t beats = numerator * bars;
  for (std::uint64_t k = 0; k < beats; ++k) {
    mGridList.push_back(static_cast<std::uint64_t>(
        std::floor(static_cast<double>(k) * static_cast<double>(mSampleCount) / static_cast<double>(beats))));
  }
  if (!mGridList.empty() && mGridList.back() != mSampleCount) mGridList.push_back(mSampleCount - 1);
  emit done(0, mErrorText);
}
