// The working waves around a rendering: names, fades, normalisation, the
// hand-over to the style manager and the accessors of the audition player.

#include <QFile>

#include <algorithm>
#include <cstdlib>

#include "DefaultAnalysisInfoText.h"
#include "RenderFixture.h"

namespace {

using SectionWaves = RenderFixture;

int peak(const std::vector<std::int16_t>& s) {
  int p = 0;
  for (std::int16_t v : s) p = std::max(p, std::abs(int(v)));
  return p;
}

// One second of frames that are all 1000 but one, which is `peakValue`.
TestAudio::Stereo16 waveWithPeak(std::int16_t peakValue) {
  TestAudio::Stereo16 s(2 * 44100, 1000);
  s[2 * 500] = peakValue;
  return s;
}

}  // namespace

TEST(TempWaveFiles, NamesComeFromTheSectionNameTable) {
  EXPECT_EQ(TempWaveFiles::sourcePath("/t"), "/t/AST_temp.wav");
  EXPECT_EQ(TempWaveFiles::sectionPath("/t", 7), "/t/AST_temp_Fill In A.wav");
  EXPECT_EQ(TempWaveFiles::sectionBaseName(0), "AST_temp_Intro 1");
  EXPECT_EQ(TempWaveFiles::sectionFileName(14), "AST_temp_Ending 3.wav");
  EXPECT_EQ(TempWaveFiles::sectionFileName(16), "AST_temp_Down Beat.wav");
  EXPECT_TRUE(TempWaveFiles::sectionPath("/t", 15).isEmpty()) << "entry 15 has no name";
  EXPECT_TRUE(TempWaveFiles::sectionFileName(19).isEmpty());
  EXPECT_TRUE(TempWaveFiles::sectionFileName(-1).isEmpty());
}

TEST(SectionFades, TwentyFrameFadesFollowTheSquareLaw) {
  std::vector<std::uint8_t> bytes = WavBytes::toBytes(std::vector<std::int16_t>(2 * 1000, 10000));
  CASTcore::fadeEdges(bytes, 20, 3);
  const QByteArray raw(reinterpret_cast<const char*>(bytes.data()), int(bytes.size()));
  const auto out = RenderFixture::samplesOf(raw, 0);
  for (int i = 0; i < 20; ++i) {
    const int expected = 10000 * i * i / 400;  // exact: 10000 / 400 = 25
    EXPECT_EQ(out[2 * i], expected) << i;
    EXPECT_EQ(out[2 * i + 1], expected);
    EXPECT_EQ(out[2 * (999 - i)], expected) << "from the end " << i;
  }
  EXPECT_EQ(out[2 * 20], 10000);
  EXPECT_EQ(out[2 * 979], 10000);

  std::vector<std::uint8_t> shortBuffer = WavBytes::toBytes(std::vector<std::int16_t>(2 * 19, -5));
  const auto copy = shortBuffer;
  CASTcore::fadeEdges(shortBuffer, 20, 3);
  EXPECT_EQ(shortBuffer, copy) << "fewer frames than the fade: untouched";
}

TEST_F(SectionWaves, NormalisationRaisesButNeverAttenuates) {
  load(TestAudio::noise(10.0, 0.5), 0.5);
  ASSERT_EQ(core.setSecInfo(3, span(0, 4)), 0u);
  ASSERT_EQ(core.setSecInfo(4, span(4, 8)), 0u);
  const QString dir = TestEnv::tempDir();
  struct Row { std::uint8_t depth; int peakA, peakB, quietA, quietB; };
  // Gains: depth 100 each to its own peak; depth 0 both by the overall
  // peak; depth 50 half of each.
  const Row rows[] = {
      {100, 32767, 32767, 1999, 3999},
      {0, 32767, 16383, 1999, 1999},
      {50, 32767, 24575, 1999, 2999},
  };
  for (const Row& r : rows) {
    ASSERT_TRUE(TestAudio::writeWav(TempWaveFiles::sectionPath(dir, 3), waveWithPeak(16384)));
    ASSERT_TRUE(TestAudio::writeWav(TempWaveFiles::sectionPath(dir, 4), waveWithPeak(-8192)));
    CASTcoreTestAccess::setRendered(core, 3, 1);
    CASTcoreTestAccess::setRendered(core, 4, 1);
    ASSERT_EQ(core.setNormDepth(r.depth), 0u);
    ASSERT_EQ(core.normalizeSectionWaves(), 0u);
    const auto a = workingWave(3), b = workingWave(4);
    EXPECT_EQ(peak(a), r.peakA) << "depth " << int(r.depth);
    EXPECT_EQ(peak(b), r.peakB) << "depth " << int(r.depth);
    EXPECT_EQ(a[0], r.quietA);
    EXPECT_EQ(b[0], r.quietB);
    EXPECT_EQ(core.isSecRendered(3), 0) << "a rewritten wave is no longer the rendered one";
  }

  // A wave already at full scale keeps every byte and its rendered flag.
  ASSERT_TRUE(TestAudio::writeWav(TempWaveFiles::sectionPath(dir, 3), waveWithPeak(-32768)));
  const QByteArray before = WavBytes::readAll(TempWaveFiles::sectionPath(dir, 3));
  CASTcoreTestAccess::setRendered(core, 3, 1);
  ASSERT_EQ(core.setNormDepth(100), 0u);
  ASSERT_EQ(core.normalizeSectionWaves(), 0u);
  EXPECT_EQ(WavBytes::readAll(TempWaveFiles::sectionPath(dir, 3)), before);
  EXPECT_EQ(core.isSecRendered(3), 1);

  ASSERT_TRUE(QFile::remove(TempWaveFiles::sectionPath(dir, 4)));
  EXPECT_EQ(core.normalizeSectionWaves(), 0x80000003u) << "a used slot without its wave";
}

TEST_F(SectionWaves, HandOverPassesTheWaveAndLeavesTheCommonRecordAlone) {
  load(TestAudio::noise(4.0, 0.5), 0.5);
  EXPECT_EQ(core.assignSectionAudio(7), 0x80000002u) << "no wave behind the slot";
  ASSERT_EQ(core.setSecInfo(7, span(0, 4)), 0u);
  const QString path = TempWaveFiles::sectionPath(TestEnv::tempDir(), 7);
  EXPECT_EQ(core.assignSectionAudio(7), 0x80000006u);
  EXPECT_EQ(core.lastError, path + "\r\ndoes not exist.");

  ASSERT_TRUE(TestAudio::writeWav(path, waveWithPeak(100)));
  ASSERT_EQ(core.setVolume(100), 0u);
  const ComnInfo before = core.getCommonInfo();
  const int steps = core.undoCount();
  ASSERT_EQ(core.assignSectionAudio(7), 0u);
  EXPECT_EQ(style->lastName, "AST_temp_Fill In A");
  EXPECT_EQ(QString::fromUtf8(style->lastPath.c_str()), path);
  EXPECT_EQ(style->lastSection, 107);
  EXPECT_EQ(style->lastText,
            "$SFormatTag$,0x0001,\n$OriginalTempo$,500000,\n$OriginalTimeSignature$,4,2,24,8,\n$PPQ$,480,\n"
            "$SampleSize$,22050,\n$NumberOfBars$,1,\n$SyncroPoint$,0,\n$BeatPoint$,0,\n$OnsetPoint$,0,\n"
            "$AttackPoint$,0,\n$TempoInfo$,0,\n$Volume$,80,\n");
  EXPECT_EQ(style->lastText, DefaultAnalysisInfoText::text());
  EXPECT_TRUE(core.getCommonInfo() == before) << "the manager's volume stays out of the project";
  EXPECT_EQ(core.undoCount(), steps);

  SecInfo unused = slot(7);
  unused.used = 0;
  ASSERT_EQ(core.setSecInfo(7, unused), 0u);
  EXPECT_EQ(core.assignSectionAudio(7), 0x80000003u);
  CASTcoreTestAccess::setStyleManager(core, nullptr);
  EXPECT_EQ(core.assignSectionAudio(7), 0x80000001u);
}

TEST_F(SectionWaves, AccessorsReportMissingWavesWithTheirCodes) {
  load(TestAudio::noise(2.0, 0.5), 0.5);
  SecInfo* sec = nullptr;
  WavInfo* wave = nullptr;
  EXPECT_EQ(core.getSecWave(15, &sec, &wave), 0x80000001u);
  EXPECT_EQ(core.getSecWave(3, nullptr, &wave), 0x80000001u);
  EXPECT_EQ(core.getSecWave(3, &sec, &wave), 0x880000012u);
  EXPECT_EQ(core.getSecWaveOnly(3, &wave), 0x880000012u);
  ASSERT_EQ(core.setSecInfo(3, span(0, 2)), 0u);
  ASSERT_EQ(core.getSecWave(3, &sec, &wave), 0u);
  EXPECT_EQ(sec, &slot(3));
  EXPECT_EQ(wave->fileName, L"song.wav");

  std::uint8_t used = 9;
  EXPECT_EQ(core.isWaveUsed(0, &used), 0u);
  EXPECT_EQ(used, 1);
  std::uint64_t value = 0;
  EXPECT_EQ(core.audioEndFrame(0, &value), 0u);
  EXPECT_EQ(value, 88200u);
  EXPECT_EQ(core.audioEndFrame(1, &value), Result::nest(1, 0x80000001u));
  EXPECT_EQ(CASTcore::wideToUtf8(L"F\u00fcll"), "F\xc3\xbcll");
}

TEST_F(SectionWaves, SnappingWalksBackToTheNearestGridEntry) {
  load(TestAudio::noise(2.0, 0.5), 0.5);  // entries every 11025 frames
  std::uint8_t back = 9;
  std::uint64_t diff = 9;
  ASSERT_EQ(core.snapAddressToBeat(0, 0, 2, 44100, &back, &diff), 0u);
  EXPECT_EQ(back, 0);
  EXPECT_EQ(diff, 0u);
  ASSERT_EQ(core.snapAddressToBeat(0, 0, 2, 40000, &back, &diff), 0u);
  EXPECT_EQ(back, 0) << "44100 is nearer than 33075";
  EXPECT_EQ(std::int64_t(diff), 4100);
  ASSERT_EQ(core.snapAddressToBeat(0, 0, 2, 36000, &back, &diff), 0u);
  EXPECT_EQ(back, 1);
  EXPECT_EQ(std::int64_t(diff), -2925);
  // An address past grid entry 2 * beats: that entry is the nearest one,
  // walking back only goes farther away.
  ASSERT_EQ(core.snapAddressToBeat(0, 0, 2, 50000, &back, &diff), 0u);
  EXPECT_EQ(back, 0);
  EXPECT_EQ(std::int64_t(diff), -5900);
  ASSERT_EQ(core.snapAddressToBeat(0, 0, 0, 500, &back, &diff), 0u);
  EXPECT_EQ(back, 0);
  EXPECT_EQ(std::int64_t(diff), -500) << "no beats: the first entry";
  EXPECT_EQ(core.snapAddressToBeat(0, 0, 5, 0, &back, &diff), 0x80000002u) << "past the grid";
  EXPECT_EQ(core.snapAddressToBeat(2, 0, 1, 0, &back, &diff), Result::nest(1, 0x80000001u));
}
