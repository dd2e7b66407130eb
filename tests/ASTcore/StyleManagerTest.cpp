#include <gtest/gtest.h>

#include <QFile>

#include <algorithm>

#include <memory>
#include <string>

#include "BuiltResources.h"
#include "CAudioFile.h"
#include "CAudioStyleDecorator.h"
#include "CAudioStyleWaveFormat.h"
#include "CAudioWaveForm.h"
#include "CAudioWaveInfo.h"
#include "DefaultAnalysisInfoText.h"
#include "TempDir.h"
#include "TestAudio.h"
#include "styMngr.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A style manager holding one recording, `clicks` clicks a quarter second
// apart (2 bars of 4/4 at 120 BPM when clicks is 16), assigned to `slot`.
class StyleManager : public ::testing::Test {
 protected:
  void SetUp() override { manager.reset(static_cast<styMngr*>(styMngr::create())); }

  void addRecording(std::uint8_t slot, int clicks, const QString& name) {
    const double seconds = clicks * 0.25;
    const QString path = TestEnv::tempPath(name + ".wav");
    ASSERT_TRUE(TestAudio::writeWav(path, TestAudio::clickTrack(seconds, 0.25, 0.0)));
    const std::string text = DefaultAnalysisInfoText::text();
    const QByteArray base = name.toUtf8();
    const QByteArray wave = path.toUtf8();
    std::uint8_t volume = 0, pan = 64, reverb = 0;
    ASSERT_EQ(manager->setSectionAudio(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
                                       reinterpret_cast<const std::uint8_t*>(base.data()), base.size(),
                                       reinterpret_cast<const std::uint8_t*>(wave.data()), wave.size(),
                                       manager->getAudioSectionNumber(slot), &volume, &pan, &reverb),
              0u);
    info.length[slot] = static_cast<std::uint64_t>(seconds * 44100);
    info.bars[slot] = static_cast<std::uint64_t>(clicks / 8);
  }

  ResultCode write(std::uint16_t& attack, std::uint16_t& beat, std::uint16_t& sync) {
    attack = beat = sync = 0;
    EXPECT_EQ(manager->setSectionFormats(info), 0u);
    std::uint64_t written = 0;
    manager->setTemplatePath(resourcePath("Empty.sty"));
    return manager->writeStyleFile(TestEnv::tempPath("out.aus").toStdWString(), &written, &attack, &beat, &sync);
  }

  void parse(CAudioStyleDecorator& style) {
    QFile f(TestEnv::tempPath("out.aus"));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray data = f.readAll();
    EXPECT_EQ(style.Parse(Bytes(data.begin(), data.end())), 0u);
  }

  std::unique_ptr<styMngr> manager;
  ExportSectionInfo info;
};

}  // namespace

TEST_F(StyleManager, EveryClickIsOneAttack) {
  const TestAudio::Stereo16 clicks = TestAudio::clickTrack(4.0, 0.25, 0.125);
  std::vector<std::int16_t> left, right;
  for (std::size_t i = 0; i < clicks.size(); i += 2) {
    left.push_back(clicks[i]);
    right.push_back(clicks[i + 1]);
  }
  std::vector<std::uint64_t> attacks;
  ASSERT_EQ(manager->detectAttacks(left.data(), right.data(), left.size(), attacks), 0u);
  ASSERT_EQ(attacks.size(), 16u);
  for (std::size_t i = 0; i < attacks.size(); ++i) {
    const double click = (0.125 + 0.25 * i) * 44100;
    EXPECT_NEAR(static_cast<double>(attacks[i]), click, 96.0) << i;  // within a few blocks of 32
  }
  EXPECT_EQ(manager->detectAttacks(nullptr, right.data(), 1, attacks), 0x80000001u);
}

TEST_F(StyleManager, AttackLimitMarksOnlySectionsThatLosePoints) {
  addRecording(3, 16, "AST_temp_Main A");
  std::uint16_t attack = 0, beat = 0, sync = 0;
  manager->setMaxAttackPoints(16);
  ASSERT_EQ(write(attack, beat, sync), 0u);
  EXPECT_EQ(attack, 0) << "exactly the limit keeps every point";
  manager->setMaxAttackPoints(15);
  ASSERT_EQ(write(attack, beat, sync), 0u);
  EXPECT_EQ(attack, 1u << 3);
  CAudioStyleDecorator style;
  parse(style);
  ASSERT_EQ(style.GetAudioInfo().GetFileList().size(), 1u);
  CAudioWaveInfo* waveInfo = style.GetAudioInfo().GetFileList().front()->GetWaveForm()->GetWaveInfo();
  ASSERT_NE(waveInfo, nullptr);
  EXPECT_EQ(waveInfo->GetAttackPointList().size(), 15u);
}

TEST_F(StyleManager, BeatPointsAreEvenlySpacedToTheSectionEnd) {
  addRecording(3, 16, "AST_temp_Main A");
  std::uint16_t attack = 0, beat = 0, sync = 0;
  ASSERT_EQ(write(attack, beat, sync), 0u);
  EXPECT_EQ(beat, 0);
  CAudioStyleDecorator style;
  parse(style);
  CAudioWaveInfo* waveInfo = style.GetAudioInfo().GetFileList().front()->GetWaveForm()->GetWaveInfo();
  const auto& points = waveInfo->GetBeatPointList();
  ASSERT_EQ(points.size(), 9u) << "2 bars of 4 beats: 9 points";
  std::uint64_t position = 1;
  points.front()->GetPosition(position);
  EXPECT_EQ(position, 0u);
  points.back()->GetPosition(position);
  EXPECT_EQ(position, 4u * 44100);
  points[4]->GetPosition(position);
  EXPECT_EQ(position, 2u * 44100);

  manager->setMaxBeatPoints(8);
  ASSERT_EQ(write(attack, beat, sync), 0u);
  EXPECT_EQ(beat, 1u << 3);
}

TEST_F(StyleManager, SyncLimitMarksOnlySectionsThatLosePoints) {
  addRecording(3, 16, "AST_temp_Main A");
  std::uint16_t attack = 0, beat = 0, sync = 0;
  ASSERT_EQ(write(attack, beat, sync), 0u);
  EXPECT_EQ(sync, 0);
  CAudioStyleDecorator style;
  parse(style);
  CAudioStyleWaveFormat* format =
      style.GetAudioInfo().GetFileList().front()->GetWaveForm()->GetStyleWaveFormat();
  const std::size_t found = format->GetSyncroPointList().size();
  ASSERT_GT(found, 4u);
  manager->setMaxSyncPoints(found);
  ASSERT_EQ(write(attack, beat, sync), 0u);
  EXPECT_EQ(sync, 0) << "exactly the limit drops nothing";
  manager->setMaxSyncPoints(found - 1);
  ASSERT_EQ(write(attack, beat, sync), 0u);
  EXPECT_EQ(sync, 1u << 3);
}

TEST_F(StyleManager, FormatsAreRefusedBeforeADivisionByZero) {
  addRecording(3, 16, "AST_temp_Main A");
  info.denominator = 3;
  EXPECT_EQ(manager->setSectionFormats(info), 0x80000007u);
  info.denominator = 4;
  info.tempo = 0;
  EXPECT_TRUE(Result::failed(manager->setSectionFormats(info)));
}

TEST_F(StyleManager, WithoutRecordingsTheTemplateKeepsFourFour) {
  manager->setTemplatePath(resourcePath("Empty.sty"));
  Bytes smf;
  ASSERT_EQ(manager->buildTemplateSmf(smf), 0u);
  const Bytes signature = {0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08};
  EXPECT_NE(std::search(smf.begin(), smf.end(), signature.begin(), signature.end()), smf.end());
  manager->setTemplatePath(TestEnv::tempPath("none.sty"));
  EXPECT_EQ(manager->buildTemplateSmf(smf), 0x80000002u);
}

TEST(StyleManagerTables, StyleIdNamesAreFoundCaseSensitively) {
  EXPECT_EQ(styMngr::styleIdNameInText(0, "Main A,Fill In AA"), 0);
  EXPECT_EQ(styMngr::styleIdNameInText(1, "Main A,Fill In AA"), 0);
  EXPECT_EQ(styMngr::styleIdNameInText(6, "Main A,Fill In AA"), 1);
  EXPECT_EQ(styMngr::styleIdNameInText(0, "main a"), 1);
  EXPECT_EQ(styMngr::styleIdNameInText(2, "anything"), 1) << "id 2 has no name";
  EXPECT_EQ(styMngr::styleIdNameInText(20, "Main A"), 1);
  std::unique_ptr<IF_styMngr> manager(styMngr::create());
  EXPECT_EQ(manager->getAudioSectionNumber(11), 17);
  EXPECT_EQ(manager->getStyleSectionId(7), 1);
  EXPECT_EQ(manager->getStyleSectionId(15), 0);
  EXPECT_EQ(manager->maxAttackPoints(), 1024u);
}
