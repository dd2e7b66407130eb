#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "BlockOnsetDetector.h"
#include "BlockOnsetStages.h"
#include "OnsetTestSignals.h"

using namespace onsettest;

namespace {

struct DetectorDeleter {
  void operator()(BlockOnsetDetector* d) const { onsetDetectorDestroy(d); }
};
using DetectorPtr = std::unique_ptr<BlockOnsetDetector, DetectorDeleter>;

DetectorPtr makeDetector() {
  DetectorPtr d(onsetDetectorCreate());
  EXPECT_NE(d, nullptr);
  return d;
}

// How the style export walks a section: blocks of 32, the last one shorter;
// an attack is placed 80 samples before the block that reports it.
std::vector<long> attackPoints(BlockOnsetDetector* d, const std::vector<int16_t>& mono) {
  std::vector<long> out;
  for (std::size_t start = 0; start < mono.size(); start += 32) {
    const int n = static_cast<int>(std::min<std::size_t>(32, mono.size() - start));
    if (onsetDetectorProcess(d, mono.data() + start, n) != 0) break;
    if (onsetDetectorHasOnset(d, 0) == 1) {
      out.push_back(std::min<long>(std::max<long>(static_cast<long>(start) - 80, 0),
                                   static_cast<long>(mono.size())));
    }
  }
  return out;
}

std::vector<long> attackPoints(const std::vector<int16_t>& mono) {
  auto d = makeDetector();
  return attackPoints(d.get(), mono);
}

// Index of the first 32-sample block (0-based) that reports an onset.
long firstReportingBlock(const std::vector<int16_t>& mono) {
  auto d = makeDetector();
  for (std::size_t start = 0; start + 32 <= mono.size(); start += 32) {
    onsetDetectorProcess(d.get(), mono.data() + start, 32);
    if (onsetDetectorHasOnset(d.get(), 0)) return static_cast<long>(start / 32);
  }
  return -1;
}

// The reported position follows the attack by one to three blocks.
constexpr long kReportLagMin = 0;
constexpr long kReportLagMax = 3 * 32;

}  // namespace

TEST(BlockOnsetDetector, ReportsEachClickOfATrainShortlyAfterIt) {
  Stereo16 s = silence(44100 * 3);
  std::vector<long> clicks;
  for (long t = 5000; t < 44100 * 3 - 2000; t += 11025) {
    clicks.push_back(t + (t % 7));
    addClick(s, static_cast<std::size_t>(clicks.back()), 0.6);
  }
  const auto found = attackPoints(monoMix(s));
  ASSERT_EQ(found.size(), clicks.size());
  for (std::size_t i = 0; i < clicks.size(); ++i) {
    EXPECT_GE(found[i] - clicks[i], kReportLagMin) << i;
    EXPECT_LE(found[i] - clicks[i], kReportLagMax) << i;
  }
}

TEST(BlockOnsetDetector, ReportsDecayingNoiseBursts) {
  Stereo16 s = silence(44100 * 3);
  const std::vector<long> bursts = {8000, 40000, 75000, 110000};
  for (std::size_t i = 0; i < bursts.size(); ++i) addNoiseBurst(s, bursts[i], 0.25, 0.04, 10 + i);
  const auto found = attackPoints(monoMix(s));
  ASSERT_EQ(found.size(), bursts.size());
  for (std::size_t i = 0; i < bursts.size(); ++i) {
    EXPECT_GE(found[i] - bursts[i], kReportLagMin) << i;
    EXPECT_LE(found[i] - bursts[i], kReportLagMax) << i;
  }
}

TEST(BlockOnsetDetector, SilenceNeverReports) {
  auto d = makeDetector();
  const std::vector<int16_t> zeros(44100 * 7, 0);  // longer than the ring
  EXPECT_TRUE(attackPoints(d.get(), zeros).empty());
  for (int i = 0; i < d->ringSize; ++i) ASSERT_EQ(d->ring[i], 0) << i;
}

TEST(BlockOnsetDetector, AttacksCloserThanTheMinimumGapMerge) {
  // 10 ms apart: well inside the 34-value (25 ms) gap.
  Stereo16 close = silence(44100);
  addClick(close, 20000, 0.6);
  addClick(close, 20441, 0.9);
  EXPECT_EQ(attackPoints(monoMix(close)).size(), 1u);
  // 100 ms apart: two attacks.
  Stereo16 apart = silence(44100);
  addClick(apart, 20000, 0.6);
  addClick(apart, 24410, 0.6);
  EXPECT_EQ(attackPoints(monoMix(apart)).size(), 2u);
}

TEST(BlockOnsetDetector, FirstBlockNeverReports) {
  Stereo16 s = silence(32);
  addClick(s, 0, 1.0);
  auto d = makeDetector();
  const auto mono = monoMix(s);
  ASSERT_EQ(onsetDetectorProcess(d.get(), mono.data(), 32), 0);
  EXPECT_EQ(onsetDetectorHasOnset(d.get(), 0), 0);
  EXPECT_EQ(d->lastStart, 0);
  EXPECT_EQ(d->lastCount, 1);
}

TEST(BlockOnsetDetector, AttackInTheBlockThatWritesRingEntryZeroIsReported) {
  // Find where a click after silence is reported, then move it (by whole
  // blocks of silence, which leave the detector's state unchanged) so that
  // the report falls on the block that wraps the ring to entry 0.
  const long clickAt = 20000;
  Stereo16 probe = silence(30000);
  addClick(probe, clickAt, 0.7);
  const long reportBlock = firstReportingBlock(monoMix(probe));
  ASSERT_GT(reportBlock, 0);

  const long wrapBlock = ONSET_DETECTOR_RING_SIZE;  // 0-based: block 8321 of the walk
  const long shifted = clickAt + 32 * (wrapBlock - reportBlock);
  Stereo16 s = silence(static_cast<std::size_t>(shifted + 20000));
  addClick(s, static_cast<std::size_t>(shifted), 0.7);
  const auto mono = monoMix(s);

  auto d = makeDetector();
  for (long b = 0; b < wrapBlock; ++b) {
    ASSERT_EQ(onsetDetectorProcess(d.get(), mono.data() + 32 * b, 32), 0);
    ASSERT_EQ(onsetDetectorHasOnset(d.get(), 0), 0) << b;
  }
  ASSERT_EQ(onsetDetectorProcess(d.get(), mono.data() + 32 * wrapBlock, 32), 0);
  EXPECT_EQ(d->lastStart, 0);
  EXPECT_GE(d->ring[0], 1);
  EXPECT_EQ(onsetDetectorHasOnset(d.get(), 0), 1);
}

TEST(BlockOnsetDetector, ShortLastBlockDoesNotReportAStaleEntry) {
  // A click early on leaves a mark at ring entry B. After the ring has gone
  // round once more, entry B is the next to be written; a short block then
  // completes no value and must not answer with that old mark.
  Stereo16 s = silence(30000);
  addClick(s, 10000, 0.7);
  auto probe = monoMix(s);
  const long markBlock = firstReportingBlock(probe);
  ASSERT_GT(markBlock, 0);

  const long blocks = markBlock + ONSET_DETECTOR_RING_SIZE;  // last full block: markBlock - 1 + 8320
  std::vector<int16_t> mono(static_cast<std::size_t>(blocks * 32 + 10), 0);
  std::copy(probe.begin(), probe.end(), mono.begin());
  auto d = makeDetector();
  for (long b = 0; b < blocks; ++b) ASSERT_EQ(onsetDetectorProcess(d.get(), mono.data() + 32 * b, 32), 0);
  ASSERT_EQ(d->writePos, markBlock);
  ASSERT_GE(d->ring[markBlock], 1);  // the stale mark is still there
  ASSERT_EQ(onsetDetectorProcess(d.get(), mono.data() + 32 * blocks, 10), 0);
  EXPECT_EQ(d->lastCount, 0);
  EXPECT_EQ(onsetDetectorHasOnset(d.get(), 0), 0);
  EXPECT_EQ(onsetDetectorHasOnset(d.get(), 1000), 0);
}

TEST(BlockOnsetDetector, ShortBlocksCarryTheirSamplesOver) {
  // Feeding the same samples in uneven blocks completes the same values.
  Stereo16 s = silence(20000);
  addClick(s, 9000, 0.7);
  addNoiseBurst(s, 15000, 0.05, 0.01, 4, 0.3);
  const auto mono = monoMix(s);
  auto whole = makeDetector();
  auto uneven = makeDetector();
  std::vector<int32_t> ringWhole, ringUneven;
  for (std::size_t start = 0; start + 32 <= mono.size(); start += 32) {
    onsetDetectorProcess(whole.get(), mono.data() + start, 32);
  }
  const std::size_t usable = mono.size() / 32 * 32;
  const int pattern[] = {7, 50, 1, 128, 33, 0, 31, 96};
  std::size_t pos = 0;
  for (int i = 0; pos < usable; ++i) {
    const int n = static_cast<int>(std::min<std::size_t>(pattern[i % 8], usable - pos));
    ASSERT_EQ(onsetDetectorProcess(uneven.get(), mono.data() + pos, n), 0);
    pos += static_cast<std::size_t>(n);
  }
  EXPECT_EQ(whole->writePos, uneven->writePos);
  // Marks depend on how values are grouped per call only through the walk's
  // first index; the onset function itself must be identical.
  EXPECT_EQ(whole->envelope->slow.state, uneven->envelope->slow.state);
  EXPECT_EQ(whole->envelope->fast.state, uneven->envelope->fast.state);
  EXPECT_EQ(whole->envelope->ratioMean.state, uneven->envelope->ratioMean.state);
  EXPECT_EQ(whole->envelope->lowPass.z1, uneven->envelope->lowPass.z1);
}

TEST(BlockOnsetDetector, OversizedBlockIsRejectedAndChangesNothing) {
  auto d = makeDetector();
  std::vector<int16_t> block(129, 1000);
  onsetDetectorProcess(d.get(), block.data(), 100);
  const auto detectorBefore = *d;
  const auto envelopeBefore = *d->envelope;
  const auto peakBefore = *d->peak;
  EXPECT_EQ(onsetDetectorProcess(d.get(), block.data(), 129), -1);
  EXPECT_EQ(onsetDetectorProcess(d.get(), block.data(), -1), -1);
  EXPECT_EQ(onsetDetectorProcess(d.get(), nullptr, 5), -1);
  EXPECT_EQ(onsetDetectorProcess(nullptr, block.data(), 5), -1);
  EXPECT_EQ(std::memcmp(&detectorBefore, d.get(), sizeof detectorBefore), 0);
  EXPECT_EQ(std::memcmp(&envelopeBefore, d->envelope, sizeof envelopeBefore), 0);
  EXPECT_EQ(std::memcmp(&peakBefore, d->peak, sizeof peakBefore), 0);
  EXPECT_EQ(onsetDetectorProcess(d.get(), block.data(), 128), 0);
}

TEST(BlockOnsetDetector, FullScaleSquareWaveRunsClean) {
  // Every sample swings the whole 16-bit range: the products inside the
  // envelope stage would overflow 32 bits if formed there.
  for (int halfPeriod : {1, 3, 220}) {
    std::vector<int16_t> mono(44100 * 2);
    for (std::size_t i = 0; i < mono.size(); ++i) mono[i] = (i / halfPeriod) % 2 ? -32768 : 32767;
    auto d = makeDetector();
    attackPoints(d.get(), mono);
    for (int i = 0; i < 128; ++i) {
      EXPECT_GE(d->ratio[i], 0);
      EXPECT_GE(d->mean[i], 0);
    }
    EXPECT_GE(d->envelope->envelope, 0);
    EXPECT_GE(d->envelope->slow.state, 0);
    // The sample-rate square drives the smoothed envelope past what the
    // low-pass can take at its 2^16 scale: the saturating path is exercised.
    if (halfPeriod == 1) {
      EXPECT_GT(d->envelope->smooth.state, 32767);
      // ...and the onset function follows the clipped envelope instead of
      // wrapping to negative values and dying at 0.
      EXPECT_GT(d->envelope->slow.state, 30000);
    }
  }
}

TEST(BlockOnsetDetector, ClearAndResetStartTheMarksAfresh) {
  Stereo16 s = silence(44100);
  addClick(s, 10000, 0.7);
  const auto mono = monoMix(s);
  auto d = makeDetector();
  const auto first = attackPoints(d.get(), mono);
  ASSERT_EQ(first.size(), 1u);
  ASSERT_EQ(onsetDetectorReset(d.get()), 0);
  EXPECT_EQ(d->writePos, 0);
  EXPECT_EQ(d->lastStart, 0);
  EXPECT_EQ(d->peak->gap, 34);
  EXPECT_EQ(d->envelope->envelope, 0);
  // After a reset (the long averages keep their memory) the same click is
  // found again at the same place.
  EXPECT_EQ(attackPoints(d.get(), mono), first);
  ASSERT_EQ(onsetDetectorClear(d.get()), 0);
  EXPECT_EQ(d->writePos, 0);
  for (int i = 0; i < d->ringSize; ++i) ASSERT_EQ(d->ring[i], 0);
  EXPECT_EQ(onsetDetectorHasOnset(d.get(), 0), 0);
  EXPECT_EQ(onsetDetectorClear(nullptr), -1);
  EXPECT_EQ(onsetDetectorReset(nullptr), -1);
  onsetDetectorDestroy(nullptr);
  EXPECT_EQ(onsetDetectorHasOnset(nullptr, 0), 0);
  EXPECT_EQ(onsetDetectorStartup(), 0);
  onsetDetectorShutdown();
}

TEST(BlockOnsetDetector, HasOnsetLooksOnlyAtTheLastBlocksValues) {
  auto d = makeDetector();
  std::vector<int16_t> zeros(128, 0);
  onsetDetectorProcess(d.get(), zeros.data(), 128);  // four values: entries 0..3
  onsetDetectorProcess(d.get(), zeros.data(), 128);  // entries 4..7
  ASSERT_EQ(d->lastStart, 4);
  ASSERT_EQ(d->lastCount, 4);
  d->ring[3] = 500;  // a mark just before the last block
  EXPECT_EQ(onsetDetectorHasOnset(d.get(), 0), 0);
  EXPECT_EQ(onsetDetectorHasOnset(d.get(), 32 * 100), 0);
  d->ring[7] = 500;  // the last value of the last block
  EXPECT_EQ(onsetDetectorHasOnset(d.get(), 0), 0);  // one entry asked for
  EXPECT_EQ(onsetDetectorHasOnset(d.get(), 128), 1);
  d->ring[7] = 0;
  d->ring[4] = 1;
  EXPECT_EQ(onsetDetectorHasOnset(d.get(), 0), 1);
}

TEST(BlockOnsetDetector, PeakMachineMarksARiseFromBelowItsMeanOncePerGap) {
  OnsetPeakStage p;
  onsetPeakStageInit(&p);
  // A flat ratio at its mean, then a sharp rise to twice the mean.
  const int n = 6;
  const int32_t ratio[n] = {8192, 8192, 8192, 12000, 16384, 16000};
  const int32_t rise[n] = {0, 0, 0, 3808, 4384, 0};
  const int32_t mean[n] = {8192, 8192, 8192, 8192, 8192, 8192};
  auto marksOf = [&p]() {
    int marks = 0;
    for (int i = 0; i < p.count; ++i) marks += p.output[i] > 0;
    return marks;
  };
  onsetPeakStageRun(&p, ratio, rise, mean, n);
  ASSERT_EQ(marksOf(), 1);
  ASSERT_GE(p.firstMarked, 3);
  EXPECT_EQ(p.output[p.firstMarked], ratio[p.firstMarked]);

  // The same rise again within the minimum gap is not marked.
  onsetPeakStageRun(&p, ratio, rise, mean, n);
  EXPECT_EQ(marksOf(), 0);

  // After 34 quiet values it is.
  const int32_t flatRatio[40] = {}, flatRise[40] = {};
  int32_t flatMean[40];
  std::fill(flatMean, flatMean + 40, 8192);
  for (int i = 0; i < 40; i += 4) onsetPeakStageRun(&p, flatRatio + i, flatRise + i, flatMean + i, 4);
  onsetPeakStageRun(&p, ratio, rise, mean, n);
  EXPECT_EQ(marksOf(), 1);

  // No values: nothing changes.
  const OnsetPeakStage before = p;
  onsetPeakStageRun(&p, ratio, rise, mean, 0);
  EXPECT_EQ(std::memcmp(&before, &p, sizeof p), 0);
}

TEST(BlockOnsetDetector, PeakListCollectsStrongMarksWithinTheComputedRange) {
  auto d = makeDetector();
  int32_t positions[8];
  EXPECT_EQ(onsetDetectorPeakList(d.get(), positions, 8), 0);
  EXPECT_EQ(onsetDetectorPeakList(nullptr, positions, 8), -1);
  d->peak->queryStart = 0;
  d->peak->count = 128;  // range 0 .. 128 / 32
  d->peak->output[0] = 7;
  d->peak->output[1] = 6;
  d->peak->output[2] = 429;
  d->peak->output[3] = 305;
  EXPECT_EQ(onsetDetectorPeakList(d.get(), positions, 8), 2);
  EXPECT_EQ(positions[0], 0);
  EXPECT_EQ(positions[1], 64);
  EXPECT_EQ(onsetDetectorPeakList(d.get(), positions, 3), -1);
}
