#include <gtest/gtest.h>

#include "AudioTestSupport.h"
#include "CAudioInfo.h"
#include "NoThrowAlloc.h"

using namespace AudioTest;

TEST(AudioSectionEntry, InitKeepsTheResolution) {
  CAudioSection s;
  s.SetResolution(480);
  s.SetDecoration("Main A", 6);
  ASSERT_EQ(s.Init(), 0u);
  NameList names;
  s.GetNames(names);
  EXPECT_EQ(names, NameList{"Dummy"});
  ASSERT_EQ(s.GetAtabList().size(), 1u);
  std::uint8_t head = 9;
  s.GetAtabList()[0]->GetHeadByte(head);
  EXPECT_EQ(head, 0);
  EXPECT_EQ(s.FindAtab(0), s.GetAtabList()[0]);
  EXPECT_EQ(s.FindAtab(1), nullptr);
  ASSERT_NE(s.GetMixData(), nullptr);
  EXPECT_TRUE(s.GetMixData()->GetTrack()->GetEventList().empty());
  std::uint16_t resolution = 0;
  s.GetResolution(resolution);
  EXPECT_EQ(resolution, 480);
}

TEST(AudioSectionEntry, DecorationSplitsAtCommasAndSkipsEmptyPieces) {
  CAudioSection s;
  ASSERT_EQ(s.SetDecoration(",Main A,,Main B,", 16), 0u);
  NameList names;
  s.GetNames(names);
  EXPECT_EQ(names, (NameList{"Main A", "Main B"}));
  Bytes text;
  s.GetDecorationText(text);
  EXPECT_EQ(text, Text("Main A,Main B"));
  EXPECT_EQ(s.SetDecoration("x", 0), 0x80000001u);
  EXPECT_EQ(s.GetNameCount(), 2u);
  s.SetDecoration(",", 1);
  EXPECT_TRUE(s.HasNoNames());
  s.AddSectionNumber(3);
  s.AddSectionNumber(0);
  s.RemoveSectionNumber(3);
  s.GetNames(names);
  EXPECT_EQ(names, NameList{"Main A"});
}

TEST(AudioSectionEntry, CopyTakesTablesMixAndNamesButNotTheResolution) {
  CAudioSection source;
  source.Init();
  source.SetResolution(480);
  source.GetMixData()->SetVolume(33);
  source.GetAtabList()[0]->SetBlock(U8("rec"), 3);
  CAudioSection copy;
  copy = source;
  std::uint16_t resolution = 0;
  copy.GetResolution(resolution);
  EXPECT_EQ(resolution, 1920);
  ASSERT_EQ(copy.GetAtabList().size(), 1u);
  EXPECT_NE(copy.GetAtabList()[0], source.GetAtabList()[0]);
  EXPECT_EQ(*copy.GetAtabList()[0], *source.GetAtabList()[0]);
  std::uint8_t volume = 0;
  copy.GetMixData()->GetVolume(volume);
  EXPECT_EQ(volume, 33);
  CAudioSection empty;
  copy = empty;
  EXPECT_EQ(copy.GetMixData(), nullptr);
  EXPECT_TRUE(copy.GetAtabList().empty());
  EXPECT_EQ(copy.SetMixData(nullptr), 0x80000001u);
  EXPECT_EQ(CAudioSection::DeleteMixData(nullptr), 0x80000001u);
}

TEST(AudioInfoModel, PerSectionValuesAndFlags) {
  CAudioInfo info;
  EXPECT_TRUE(info.GetSectionList().empty());
  EXPECT_TRUE(info.GetFileList().empty());
  EXPECT_EQ(info.GetFirstFlaggedValue(), 80);
  EXPECT_TRUE(info.FlaggedValuesEqual());
  info.SetSectionValue(3, 1, 100);
  info.SetSectionValue(7, 1, 100);
  EXPECT_TRUE(info.FlaggedValuesEqual());
  info.SetSectionValue(7, 1, 90);
  EXPECT_FALSE(info.FlaggedValuesEqual());
  EXPECT_EQ(info.GetFirstFlaggedValue(), 100);
  info.SetFlaggedValues(64);
  EXPECT_EQ(info.GetSectionValue(3), 64);
  EXPECT_EQ(info.GetSectionValue(7), 64);
  EXPECT_EQ(info.GetSectionValue(4), 80);
  info.SetSectionValue(20, 1, 5);
  info.SetSectionValue(-1, 1, 5);
  EXPECT_EQ(info.GetSectionFlag(20), 0);
  info.SetAllSectionValues(70);
  EXPECT_EQ(info.GetSectionValue(3), 70);
  EXPECT_EQ(info.GetSectionFlag(3), 0);
}

TEST(AudioInfoModel, DistinctEntriesAndCopies) {
  CAudioInfo info;
  auto* s = new CAudioSection;
  s->Init();
  s->SetResolution(480);
  info.GetSectionList().push_back(s);
  info.GetSectionList().push_back(nullptr);
  auto* f = new CAudioFile;
  f->Init();
  info.GetFileList().push_back(f);
  EXPECT_EQ(info.GetDistinctSection(0), s);
  EXPECT_EQ(info.GetSection(5), nullptr);
  info.SetSectionValue(2, 1, 10);

  CAudioInfo copy;
  copy = info;
  ASSERT_EQ(copy.GetSectionList().size(), 1u);  // null entries are left out
  std::uint16_t resolution = 0;
  copy.GetSection(0)->GetResolution(resolution);
  EXPECT_EQ(resolution, 1920);
  ASSERT_EQ(copy.GetFileList().size(), 1u);
  EXPECT_NE(copy.GetFile(0), f);
  EXPECT_EQ(copy.GetSectionFlag(2), 0);  // the per-section bytes are not copied

  // A copy that cannot allocate leaves the target as it was.
  NoThrowAlloc::FailAfter(1);
  EXPECT_EQ(copy.CopyFrom(info), 0x80000001u);
  NoThrowAlloc::FailAfter(0);
  EXPECT_EQ(copy.GetSectionList().size(), 1u);

  info.GetSectionList()[1] = s;  // the same entry twice (not owned twice: reset below)
  EXPECT_EQ(info.GetDistinctSection(1), nullptr);
  info.GetSectionList().pop_back();
  info.Reset();
  EXPECT_TRUE(info.GetSectionList().empty());
  EXPECT_TRUE(info.GetFileList().empty());
}
