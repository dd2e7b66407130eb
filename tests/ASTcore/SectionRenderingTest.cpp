#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "RenderFixture.h"

namespace {

using SectionRendering = RenderFixture;

// The spectral engine lets an attack out on its output frame grid and
// rebuilds its first samples from the analysed frames, so a click's first
// loud sample may land a few milliseconds (here up to 200 frames, 4.5 ms)
// from its exact place; a drift would grow beat by beat far past that.
constexpr double kClickTolerance = 200.0;

constexpr std::uint64_t kBar120 = 88200;  // one 4/4 bar at 120 beats per minute
constexpr std::uint64_t kBeat120 = 22050;

// First frame at or after `from` whose left sample is loud: a click.
std::int64_t clickAfter(const std::vector<std::int16_t>& s, std::int64_t from) {
  for (std::int64_t f = std::max<std::int64_t>(0, from); 2 * f < static_cast<std::int64_t>(s.size()); ++f) {
    if (std::abs(s[2 * f]) > 10000) return f;
  }
  return -1;
}

}  // namespace

TEST_F(SectionRendering, MainAAt100RendersFourBarsAt120WithoutAnUndoStep) {
  load(TestAudio::clickTrack(12.0, 0.6), 0.6);  // a click on every beat at 100
  ASSERT_EQ(core.setSecInfo(3, span(1, 17)), 0u);
  ASSERT_EQ(slot(3).barNum, 4);
  ASSERT_EQ(slot(3).barFit, 1);
  const int steps = core.undoCount();
  const QString stepText = core.undoText();

  std::uint8_t ratioFlag = 0;
  ASSERT_EQ(core.renderAudition(3, &ratioFlag), 0u) << core.lastError.toStdString();
  EXPECT_EQ(ratioFlag, 0);
  EXPECT_EQ(core.isSecRendered(3), 1);
  EXPECT_EQ(core.undoCount(), steps);
  EXPECT_EQ(core.undoText(), stepText);

  // Every bar is its own region and comes out exactly as long as its ratio
  // asks; together they make four bars at 120.
  const std::vector<double>& ratios = CASTcoreTestAccess::ratios(core, 3);
  ASSERT_EQ(ratios.size(), 4u);
  std::vector<std::uint64_t> lines{beat(1), beat(5), beat(9), beat(13), beat(17)};
  std::uint64_t expected = 0;
  for (int i = 0; i < 4; ++i) {
    const std::uint64_t bar = std::uint64_t(std::ceil(ratios[i] * double(lines[i + 1] - lines[i])));
    EXPECT_NEAR(double(bar), double(kBar120), 1.0);
    expected += bar;
  }
  EXPECT_EQ(slot(3).holdValue, expected);

  const QByteArray file = WavBytes::readAll(TempWaveFiles::sectionPath(TestEnv::tempDir(), 3));
  ASSERT_GT(file.size(), 44);
  EXPECT_TRUE(TempWaveFiles::sectionPath(TestEnv::tempDir(), 3).endsWith("/AST_temp_Main A.wav"));
  EXPECT_EQ(WavBytes::getLE(file, 40, 4), expected * 4);
  EXPECT_EQ(std::uint64_t(file.size()), 44 + expected * 4);

  // The clicks now fall on the beats of 120.
  const std::vector<std::int16_t> out = samplesOf(file, 44);
  for (int b = 0; b < 16; ++b) {
    const std::int64_t at = clickAfter(out, b * std::int64_t(kBeat120) - 100);
    EXPECT_NEAR(double(at), double(b * kBeat120), kClickTolerance) << "beat " << b;
  }
}

TEST_F(SectionRendering, RatioOutOfRangeClearsTheRenderingAndNamesTheRatio) {
  load(TestAudio::clickTrack(12.0, 0.6), 0.6);
  ASSERT_EQ(core.setSecInfo(3, span(1, 17)), 0u);
  std::uint8_t ratioFlag = 0;
  ASSERT_EQ(core.renderAudition(3, &ratioFlag), 0u);
  const QByteArray before = WavBytes::readAll(TempWaveFiles::sectionPath(TestEnv::tempDir(), 3));
  ASSERT_GT(slot(3).holdValue, 0u);

  ASSERT_EQ(core.updateTempo(250), 0u);  // every bar would need a ratio of 0.4
  const int steps = core.undoCount();
  EXPECT_EQ(core.renderAudition(3, &ratioFlag), 0u);
  EXPECT_EQ(ratioFlag, 1);
  EXPECT_EQ(slot(3).holdValue, 0u);
  EXPECT_EQ(core.isSecRendered(3), 0);
  EXPECT_EQ(core.undoCount(), steps);
  EXPECT_EQ(WavBytes::readAll(TempWaveFiles::sectionPath(TestEnv::tempDir(), 3)), before) << "no new file";

  const QRegularExpression text("^Stretch ratio error! \\[Main A : (0\\.\\d+)\\]\r\n$");
  const auto match = text.match(core.lastError);
  ASSERT_TRUE(match.hasMatch()) << core.lastError.toStdString();
  const std::vector<double>& ratios = CASTcoreTestAccess::ratios(core, 3);
  EXPECT_EQ(match.captured(1).toDouble(), *std::min_element(ratios.begin(), ratios.end()))
      << "the ratio farthest from 1.0";
  EXPECT_NEAR(match.captured(1).toDouble(), 0.4, 1e-3);
}

TEST_F(SectionRendering, WholeSectionEndingAtTheAudioEndIsCutOneFrameBefore) {
  load(TestAudio::noise(10.0, 0.5), 0.5);  // waveEnd 441000
  SecInfo s = span(4, 4);
  s.manualBar = 1;  // not bar-fitted: rendered as one region
  s.setAreaCount(4);
  s.endAdrs = 441000;
  ASSERT_EQ(core.setSecInfo(4, s), 0u);
  ASSERT_EQ(slot(4).barFit, 0);
  std::uint8_t ratioFlag = 0;
  ASSERT_EQ(core.renderAudition(4, &ratioFlag), 0u) << core.lastError.toStdString();
  const std::vector<double> ratios = CASTcoreTestAccess::ratios(core, 4);
  ASSERT_EQ(ratios.size(), 1u);
  EXPECT_DOUBLE_EQ(ratios[0], 4.0 * kBar120 / (441000.0 - 1 - 88200));
  EXPECT_EQ(slot(4).holdValue, std::uint64_t(std::ceil(ratios[0] * (441000.0 - 1 - 88200))));
  EXPECT_NEAR(double(slot(4).holdValue), 4.0 * kBar120, 1.0);

  s.endAdrs = 440900;  // elsewhere the section ends where it says
  ASSERT_EQ(core.setSecInfo(4, s), 0u);
  ASSERT_EQ(core.renderAudition(4, &ratioFlag), 0u);
  EXPECT_DOUBLE_EQ(CASTcoreTestAccess::ratios(core, 4)[0], 4.0 * kBar120 / (440900.0 - 88200));
  EXPECT_EQ(workingWave(4).size(), 2 * slot(4).holdValue);
}

// At the project's own tempo every bar keeps its length, so the working
// wave is the padding followed by an exact copy of the section.
TEST_F(SectionRendering, IntroPickupIsPaddedToOneWholeBar) {
  load(TestAudio::noise(10.0, 0.5), 0.5);
  SecInfo s = span(2, 10);
  s.pickupSw = 1;
  s.pickupNum = 2;  // one beat before the first bar
  ASSERT_EQ(core.setSecInfo(0, s), 0u);
  std::uint8_t ratioFlag = 0;
  ASSERT_EQ(core.renderAudition(0, &ratioFlag), 0u) << core.lastError.toStdString();
  std::vector<std::int16_t> expected(2 * (kBar120 - kBeat120), 0);
  const auto section = sourceFrames(kBeat120, 10 * kBeat120);
  expected.insert(expected.end(), section.begin(), section.end());
  EXPECT_EQ(workingWave(0), expected);
  EXPECT_EQ(slot(0).holdValue, 3 * kBar120);
  EXPECT_EQ(CASTcoreTestAccess::ratios(core, 0).size(), 3u) << "the pickup bar is a region of its own";
}

// The export counts a pickup in use as a bar of its own in every slot, so
// the working wave of a main section holds it as one too, and all of the
// section after it.
TEST_F(SectionRendering, PickupOutsideAnIntroIsABarOfItsOwn) {
  load(TestAudio::noise(10.0, 0.5), 0.5);
  SecInfo s = span(2, 10);
  s.pickupSw = 1;
  s.pickupNum = 2;  // one beat before the first bar
  ASSERT_EQ(core.setSecInfo(3, s), 0u);
  ASSERT_EQ(slot(3).barNum, 2);
  std::uint8_t ratioFlag = 0;
  ASSERT_EQ(core.renderAudition(3, &ratioFlag), 0u) << core.lastError.toStdString();
  std::vector<std::int16_t> expected(2 * (kBar120 - kBeat120), 0);
  const auto section = sourceFrames(kBeat120, 10 * kBeat120);
  expected.insert(expected.end(), section.begin(), section.end());
  EXPECT_EQ(workingWave(3), expected);
  EXPECT_EQ(slot(3).holdValue, 3 * kBar120) << "the bars the export will count: barNum + 1";
}

TEST_F(SectionRendering, IntroShortFirstBarIsPaddedInFront) {
  load(TestAudio::noise(10.0, 0.5), 0.5);
  SecInfo s = span(2, 12);  // 10 beats: a 2-beat bar, then two whole ones
  s.pickupSw = 1;
  ASSERT_EQ(core.setSecInfo(1, s), 0u);
  ASSERT_EQ(slot(1).barNum, 3);
  std::uint8_t ratioFlag = 0;
  ASSERT_EQ(core.renderAudition(1, &ratioFlag), 0u) << core.lastError.toStdString();
  std::vector<std::int16_t> expected(2 * 2 * kBeat120, 0);
  const auto section = sourceFrames(2 * kBeat120, 12 * kBeat120);
  expected.insert(expected.end(), section.begin(), section.end());
  EXPECT_EQ(workingWave(1), expected);
}

TEST_F(SectionRendering, EndingShortLastBarIsPaddedBehind) {
  load(TestAudio::noise(10.0, 0.5), 0.5);
  SecInfo s = span(2, 12);
  s.pickupSw = 1;
  ASSERT_EQ(core.setSecInfo(12, s), 0u);
  std::uint8_t ratioFlag = 0;
  ASSERT_EQ(core.renderAudition(12, &ratioFlag), 0u) << core.lastError.toStdString();
  std::vector<std::int16_t> expected = sourceFrames(2 * kBeat120, 12 * kBeat120);
  expected.resize(expected.size() + 2 * 2 * kBeat120, 0);
  EXPECT_EQ(workingWave(12), expected);
  EXPECT_TRUE(TempWaveFiles::sectionPath(TestEnv::tempDir(), 12).endsWith("/AST_temp_Ending 1.wav"));
}

TEST_F(SectionRendering, PickupLongerThanTheFirstBarGetsNoPadding) {
  load(TestAudio::clickTrack(10.0, 0.5), 0.5);  // a click on every beat at 120
  SecInfo s = span(6, 14);
  s.pickupSw = 1;
  s.pickupNum = 10;  // five beats
  ASSERT_EQ(core.setSecInfo(2, s), 0u);

  std::vector<std::uint64_t> cuts;
  ASSERT_EQ(core.makeBarCuts(slot(2), cuts, 441000), 0u);
  std::uint64_t pad = 1, firstBar = 0;
  std::uint8_t pickup = 0, atStart = 0, atEnd = 0;
  ASSERT_EQ(core.pickupPadding(4, 2, slot(2), pad, pickup, kBar120, firstBar, atStart, atEnd, cuts), 0u);
  EXPECT_EQ(pad, 0u);
  EXPECT_EQ(pickup, 1);
  EXPECT_EQ(firstBar, 5 * kBeat120) << "the pickup is a region as long as itself";

  std::uint8_t ratioFlag = 0;
  ASSERT_EQ(core.renderAudition(2, &ratioFlag), 0u) << core.lastError.toStdString();
  const std::vector<std::int16_t> out = workingWave(2);
  ASSERT_EQ(out.size(), 2 * 3 * kBar120) << "the pickup squeezed into one bar, then two bars";
  // Five pickup clicks in the first bar, from its very start, then one per beat.
  for (int b = 0; b < 5; ++b) {
    EXPECT_NEAR(double(clickAfter(out, b * 17640 - 100)), b * 17640.0, kClickTolerance) << "pickup beat " << b;
  }
  for (int b = 4; b < 12; ++b) {
    EXPECT_NEAR(double(clickAfter(out, b * std::int64_t(kBeat120) - 100)), double(b * kBeat120), kClickTolerance)
        << "beat " << b;
  }
}

TEST_F(SectionRendering, UnreadableWorkCopyIsAnErrorNotAShortSection) {
  load(TestAudio::noise(10.0, 0.5), 0.5);
  ASSERT_EQ(core.setSecInfo(3, span(2, 10)), 0u);

  // The range is read exactly.
  std::vector<std::uint8_t> bytes{9, 9};
  ASSERT_EQ(core.readSectionSamples(3, bytes), 0u);
  const auto expected = WavBytes::toBytes(sourceFrames(2 * kBeat120, 10 * kBeat120));
  ASSERT_EQ(bytes.size(), 2 + expected.size());
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), bytes.begin() + 2)) << "appended after what was there";

  // A work copy that ends inside the section.
  ASSERT_TRUE(TestAudio::writeWav(TempWaveFiles::sourcePath(TestEnv::tempDir()), sourceFrames(0, 5 * kBeat120)));
  bytes.assign(2, 9);
  EXPECT_EQ(core.readSectionSamples(3, bytes), 0x80000003u);
  EXPECT_EQ(bytes.size(), 2u);

  // No work copy at all: the rendering fails and says so.
  ASSERT_TRUE(QFile::remove(TempWaveFiles::sourcePath(TestEnv::tempDir())));
  QFile::remove(TempWaveFiles::sectionPath(TestEnv::tempDir(), 3));
  std::uint8_t ratioFlag = 0;
  const ResultCode rc = core.renderAudition(3, &ratioFlag);
  EXPECT_TRUE(Result::failed(rc));
  EXPECT_EQ(rc & 0xFu, 0x7u) << "failed in the stretch step";
  EXPECT_TRUE(core.lastError.startsWith("Export sty process returns some error! [Main A : "));
  EXPECT_EQ(slot(3).holdValue, 0u);
  EXPECT_EQ(core.isSecRendered(3), 0);
  EXPECT_FALSE(QFile::exists(TempWaveFiles::sectionPath(TestEnv::tempDir(), 3)));
}

namespace {

// A style manager still carrying the exception of some earlier operation.
class ExceptionalStyleManager : public FakeStyleManager {
 public:
  bool hasException() const override { return true; }
};

}  // namespace

TEST_F(SectionRendering, AFailureIsNotCalledMemoryFullForAnotherManagersFlag) {
  load(TestAudio::noise(10.0, 0.5), 0.5);
  ASSERT_EQ(core.setSecInfo(3, span(2, 10)), 0u);
  CASTcoreTestAccess::setStyleManager(core, new ExceptionalStyleManager);
  ASSERT_TRUE(QFile::remove(TempWaveFiles::sourcePath(TestEnv::tempDir())));
  std::uint8_t ratioFlag = 0;
  EXPECT_TRUE(Result::failed(core.renderAudition(3, &ratioFlag)));
  EXPECT_TRUE(core.lastError.startsWith("Export sty process returns some error! [Main A : "))
      << core.lastError.toStdString();
}

TEST_F(SectionRendering, RefusedSectionsNameTheirProblem) {
  load(TestAudio::noise(4.0, 0.5), 0.5);
  std::uint8_t ratioFlag = 0;
  EXPECT_EQ(core.renderAudition(3, &ratioFlag), 0x80000002u) << "no wave behind the slot";
  SecInfo s = span(0, 4);
  s.used = 0;
  ASSERT_EQ(core.setSecInfo(3, s), 0u);
  EXPECT_EQ(core.renderAudition(3, &ratioFlag), 0x80000003u);

  s = span(0, 4);
  s.manualBar = 1;
  s.endAdrs = 200000;  // past the audio's end
  s.setAreaCount(1);
  ASSERT_EQ(core.setSecInfo(3, s), 0u);
  EXPECT_EQ(core.renderAudition(3, &ratioFlag), 0x80000004u);
  EXPECT_EQ(core.lastError, "section area error! [Main A : 0 : 200000]");

  core.clearLastError();
  s.endAdrs = 88200;
  s.setAreaCount(0);
  ASSERT_EQ(core.setSecInfo(3, s), 0u);
  EXPECT_EQ(core.renderAudition(3, &ratioFlag), 0x80000005u);
  EXPECT_EQ(core.lastError, "section area is too short! [Main A]");

  // A tempo of 0 never reaches the bar-length division.
  ASSERT_EQ(core.setSecInfo(3, span(0, 4)), 0u);
  ComnInfo* comn = nullptr;
  CASTcoreTestAccess::model(core).getComnInfo(&comn);
  comn->tempo = 0;
  EXPECT_TRUE(Result::failed(core.renderAudition(3, &ratioFlag)));
  EXPECT_EQ(ratioFlag, 0);

  CASTcoreTestAccess::setStyleManager(core, nullptr);
  EXPECT_EQ(core.renderAudition(3, &ratioFlag), 0x80000001u);
}
