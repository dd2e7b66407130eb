#include <gtest/gtest.h>

#include "AudioTestSupport.h"
#include "CAudioFile.h"
#include "NoThrowAlloc.h"

using namespace AudioTest;

namespace {

CAudioPoint* Point(std::uint64_t position, std::uint16_t beat, std::uint16_t tick) {
  auto* p = new CAudioPoint;
  p->SetPosition(position);
  p->SetBeatIndex(beat);
  p->SetTickOffset(tick);
  return p;
}

// A recording with a value in every part.
void Fill(CAudioFile& file) {
  ASSERT_EQ(file.Init(), 0u);
  const Bytes name = Text("Song take 3");
  file.SetNameRecord(name.data(), name.size());
  CAudioWaveForm* wf = file.GetWaveForm();
  CAudioStyleWaveFormat* sf = wf->GetStyleWaveFormat();
  sf->SetNumberOfBars(4);
  sf->SetField10(22050);
  const Bytes tempo = Of({0x07, 0xA1, 0x20});
  sf->SetOriginalTempo(tempo.data(), 3);
  auto* sync = new CSyncroPoint;
  sync->SetPosition(1234);
  sync->SetPackedTime(0x0102ABCD);
  sf->AddSyncroPoint(sync);
  file.SetSectionNamesText("Main A,Main B", 13);
  CAudioWaveInfo* info = wf->GetWaveInfo();
  info->AddBeatPoint(Point(0, 0, 0));
  info->AddOnsetPoint(Point(300, 0, 96));
  info->AddAttackPoint(Point(400, 1, 5));
  info->AddPoint2(Point(500, 2, 6));
  auto* t = new CAudioTempo;
  t->SetPosition(10);
  t->SetTempo(tempo.data(), 3);
  info->AddTempo(t);
  info->SetVolume(99);
  const Bytes pcm = Of({1, 2, 3, 4});
  wf->GetWaveData()->SetBytes(pcm.data(), pcm.size());
  wf->GetWaveData()->SetFilePath("/rec/take3.wav");
}

}  // namespace

TEST(AudioWaveModel, ByteFieldsFollowTheirWidths) {
  CAudioFile file;
  const Bytes longName(60, 'x');
  ASSERT_EQ(file.SetNameRecord(longName.data(), 60), 0u);
  Bytes out(60, 0);
  std::uint64_t n = 60;
  file.GetNameRecord(out.data(), n);
  EXPECT_EQ(n, 50u);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 50), Bytes(50, 'x'));
  file.SetNameRecord(U8("ab"), 2);
  n = 50;
  file.GetNameRecord(out.data(), n);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 50), NameRecord("ab"));
  n = 10;
  file.GetNameRecord(out.data(), n);
  EXPECT_EQ(n, 10u);
  EXPECT_EQ(file.SetNameRecord(nullptr, 3), 0x80000001u);

  CAudioStyleWaveFormat sf;
  const Bytes four = Of({1, 2, 3, 4});
  sf.SetOriginalTempo(four.data(), 2);
  std::uint8_t tempo[3];
  n = 3;
  sf.GetOriginalTempo(tempo, n);
  EXPECT_EQ(Bytes(tempo, tempo + 3), Of({1, 2, 0}));
  sf.SetOriginalTempo(four.data(), 4);
  sf.GetOriginalTempo(tempo, n);
  EXPECT_EQ(Bytes(tempo, tempo + 3), Of({1, 2, 3}));
  EXPECT_EQ(sf.SetTempo2(four.data(), 0), 0x80000001u);
  n = 0;
  EXPECT_EQ(sf.GetTempo3(tempo, n), 0x80000001u);

  CAudioWaveForm wf;
  wf.SetType(U8("AB"), 2);
  std::uint8_t type[4];
  n = 4;
  wf.GetType(type, n);
  EXPECT_EQ(Bytes(type, type + 4), Text("AB  "));

  CSyncroPoint p;
  std::uint32_t packed = 0;
  p.GetPackedTime(packed);
  EXPECT_EQ(packed, 0x04040000u);
  p.SetPackedTime(0xAABB1234);
  std::uint8_t a = 0, b = 0;
  std::uint16_t tick = 0;
  p.GetByteA(a);
  p.GetByteB(b);
  p.GetTickOffset(tick);
  EXPECT_EQ(a, 0xAA);
  EXPECT_EQ(b, 0xBB);
  EXPECT_EQ(tick, 0x1234);
}

TEST(AudioWaveModel, ListsOwnTheirRecords) {
  CAudioStyleWaveFormat sf;
  EXPECT_EQ(sf.DropLastSyncroPoint(), 0u);
  for (int i = 0; i < 5; ++i) sf.AddSyncroPoint(new CSyncroPoint);
  EXPECT_EQ(sf.GetSyncroPoint(5), nullptr);
  EXPECT_NE(sf.GetSyncroPoint(4), nullptr);
  CSyncroPoint* last = sf.GetSyncroPoint(4);
  sf.DropLastSyncroPoint();
  EXPECT_EQ(sf.GetSyncroPointList().size(), 4u);
  CAudioStyleWaveFormat::DeleteSyncroPoint(&last);
  EXPECT_EQ(last, nullptr);
  EXPECT_EQ(sf.AddSyncroPoint(nullptr), 0x80000001u);
  EXPECT_EQ(CAudioStyleWaveFormat::DeleteSyncroPoint(nullptr), 0x80000001u);

  CAudioWaveInfo info;
  info.AddBeatPoint(Point(1, 1, 1));
  info.AddTempo(new CAudioTempo);
  info.SetVolume(3);
  EXPECT_EQ(info.AddAttackPoint(nullptr), 0x80000001u);
  info.Clear();
  EXPECT_EQ(info.GetBeatPoint(0), nullptr);
  std::uint8_t volume = 0;
  info.GetVolume(volume);
  EXPECT_EQ(volume, 80);
}

TEST(AudioWaveModel, SectionNumbersOfARecording) {
  CAudioFile file;
  file.Init();
  file.ClearSectionNames();
  EXPECT_TRUE(file.HasNoSectionNames());
  file.AddSectionNumber(0);
  NameList names;
  file.GetSectionNames(names);
  EXPECT_EQ(names, NameList{"Main A"});
  file.AddSectionNumber(1);
  file.RemoveSectionNumber(7);  // not there: unchanged
  file.RemoveSectionNumber(-1);
  file.GetSectionNames(names);
  EXPECT_EQ(names, (NameList{"Main A", "Main B"}));
  file.RemoveSectionNumber(0);
  file.GetSectionNames(names);
  EXPECT_EQ(names, NameList{"Main B"});
  file.SetSectionNames({});
  EXPECT_EQ(file.GetSectionNameCount(), 0u);

  // Without the parts that hold the names nothing changes and the steps tell why.
  CAudioFile bare;
  bare.AddSectionNumber(0);
  EXPECT_EQ(bare.GetSectionNameCount(), 0u);
  EXPECT_EQ(bare.ClearSectionNames(), 0x80000001u);
  bare.SetWaveForm(new CAudioWaveForm);
  EXPECT_EQ(bare.ClearSectionNames(), 0x80000002u);
  bare.GetWaveForm()->SetStyleWaveFormat(new CAudioStyleWaveFormat);
  EXPECT_EQ(bare.ClearSectionNames(), 0x80000003u);
  EXPECT_EQ(bare.SetSectionNamesText(nullptr, 0), 0x80000003u);
  bare.GetWaveForm()->GetStyleWaveFormat()->SetSection(new CSection);
  EXPECT_EQ(bare.SetSectionNamesText(nullptr, 0), Result::nest(4, Result::fail(1)));
}

TEST(AudioWaveModel, CopiesAreDeepAndEqual) {
  CAudioFile source;
  Fill(source);
  CAudioFile copy;
  copy = source;
  const CAudioWaveForm* a = source.GetWaveForm();
  const CAudioWaveForm* b = copy.GetWaveForm();
  ASSERT_NE(a, b);
  EXPECT_EQ(*a->GetWaveFormat(), *b->GetWaveFormat());
  EXPECT_EQ(*a->GetStyleWaveFormat(), *b->GetStyleWaveFormat());
  EXPECT_EQ(*a->GetWaveInfo(), *b->GetWaveInfo());
  EXPECT_EQ(*a->GetWaveData(), *b->GetWaveData());
  EXPECT_NE(a->GetStyleWaveFormat()->GetSyncroPoint(0), b->GetStyleWaveFormat()->GetSyncroPoint(0));
  Bytes n1(50), n2(50);
  std::uint64_t n = 50;
  source.GetNameRecord(n1.data(), n);
  copy.GetNameRecord(n2.data(), n);
  EXPECT_EQ(n1, n2);

  b->GetWaveInfo()->GetOnsetPoint(0)->SetTickOffset(1);
  EXPECT_NE(*a->GetWaveInfo(), *b->GetWaveInfo());
  b->GetStyleWaveFormat()->GetSection()->SetNamesFromText("Main C", 6);
  EXPECT_NE(*a->GetStyleWaveFormat(), *b->GetStyleWaveFormat());
}

TEST(AudioWaveModel, CopyOfMissingPartsMakesNewEmptyOnes) {
  CAudioWaveForm source;
  source.SetWaveInfo(new CAudioWaveInfo);
  CAudioWaveForm copy;
  copy.Init();
  copy = source;
  ASSERT_NE(copy.GetStyleWaveFormat(), nullptr);
  std::uint16_t field6 = 0;
  copy.GetStyleWaveFormat()->GetField6(field6);
  EXPECT_EQ(field6, 1);
  EXPECT_TRUE(copy.GetStyleWaveFormat()->GetSyncroPointList().empty());
  EXPECT_EQ(copy.GetStyleWaveFormat()->GetSection(), nullptr);
  EXPECT_EQ(*copy.GetWaveFormat(), CAudioWaveFormat());
}

TEST(AudioWaveModel, ACopyThatCannotAllocateReportsAndChangesNothing) {
  CAudioFile source;
  Fill(source);
  CAudioFile target;
  target.Init();
  target.SetNameRecord(U8("keep"), 4);
  // Fail each allocation of the copy in turn: every failure is reported and
  // the target keeps its own recording.
  for (unsigned k = 1; k < 400; ++k) {
    NoThrowAlloc::FailAfter(k);
    const ResultCode rc = target.CopyFrom(source);
    NoThrowAlloc::FailAfter(0);
    if (Result::succeeded(rc)) break;
    Bytes name(50);
    std::uint64_t n = 50;
    target.GetNameRecord(name.data(), n);
    EXPECT_EQ(name, NameRecord("keep")) << k;
    EXPECT_TRUE(target.GetWaveForm()->GetWaveInfo()->GetBeatPointList().empty()) << k;
  }
  EXPECT_EQ(*target.GetWaveForm()->GetWaveInfo(), *source.GetWaveForm()->GetWaveInfo());
}

TEST(AudioWaveModel, PartSettersReplaceWhatTheyHeld) {
  // The leak checker of the sanitized build fails this test if a replaced
  // part is not deleted.
  CAudioFile file;
  file.Init();
  CAudioWaveForm* wf = file.GetWaveForm();
  EXPECT_EQ(wf->SetWaveFormat(new CAudioWaveFormat), 0u);
  EXPECT_EQ(wf->SetStyleWaveFormat(new CAudioStyleWaveFormat), 0u);
  EXPECT_EQ(wf->SetWaveData(new CAudioWaveData), 0u);
  EXPECT_EQ(wf->SetWaveInfo(new CAudioWaveInfo), 0u);
  EXPECT_EQ(wf->SetWaveInfo(wf->GetWaveInfo()), 0u);  // the same part stays
  EXPECT_EQ(wf->SetWaveInfo(nullptr), 0x80000001u);
  wf->GetStyleWaveFormat()->SetSection(new CSection);
  EXPECT_EQ(wf->GetStyleWaveFormat()->SetSection(new CSection), 0u);
  EXPECT_EQ(file.SetWaveForm(new CAudioWaveForm), 0u);
  EXPECT_EQ(file.GetWaveForm()->GetWaveData(), nullptr);
}
