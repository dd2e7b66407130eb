#include "IKelo.h"

#include <limits>

namespace kelo {

namespace {
// Every value-carrying report says 1.0; receivers may weigh reports by it.
constexpr double kReportValue = 1.0;
}  // namespace

TimeSignature reportedTimeSignature(int meterCode, int beatsPerBar) {
  switch (meterCode) {
    case MeterSimple:
      return {beatsPerBar, 4};
    case MeterCompound: {
      const std::int64_t eighths = 3 * static_cast<std::int64_t>(beatsPerBar);
      constexpr std::int64_t hi = std::numeric_limits<std::int32_t>::max();
      constexpr std::int64_t lo = std::numeric_limits<std::int32_t>::min();
      const std::int64_t held = eighths > hi ? hi : (eighths < lo ? lo : eighths);
      return {static_cast<std::int32_t>(held), 8};
    }
    default:
      return {4, 4};
  }
}

bool isPulseLevel(int level) { return level >= -1 && level <= 1; }

bool isSettableMeterCode(int meterCode) {
  return meterCode == MeterNotGiven || meterCode == MeterSimple ||
         meterCode == MeterCompound;
}

IKelo::~IKelo() = default;

void IKelo::reportChord(const t_chord& chord) const {
  if (onChord) onChord(chord, kReportValue, userChord);
}

void IKelo::reportBarline(const t_barline& barline) const {
  if (onBarline) onBarline(barline, kReportValue, userBarline);
}

void IKelo::reportTatum(const t_tatum& tatum) const {
  if (onTatum) onTatum(tatum, userTatum);
}

void IKelo::reportBeat(const t_beat& beat) const {
  if (onBeat) onBeat(beat, kReportValue, userBeat);
}

void IKelo::reportKeysig(const t_keysig& keysig) const {
  if (onKeysig) onKeysig(keysig, kReportValue, userKeysig);
}

void IKelo::reportDoneAnalysis() const {
  if (onDoneAnalysis) onDoneAnalysis(0, userDoneAnalysis);
}

void IKelo::reportTatumFeature(const t_tatumFeature& feature) const {
  if (onTatumFeature) onTatumFeature(feature, userTatumFeature);
}

}  // namespace kelo
