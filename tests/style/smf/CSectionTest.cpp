#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "CSection.h"
#include "CSectionDecorator.h"
#include "NoThrowAlloc.h"
#include "SmfBytes.h"

using namespace SmfBytes;

namespace {

std::string NameOf(const CCtabData& t) {
  std::uint8_t name[8];
  std::uint64_t n = sizeof name;
  t.GetName(name, n);
  return std::string(reinterpret_cast<char*>(name), n);
}

std::string IdOf(const CCtabData& t) {
  std::uint8_t id[4];
  std::uint64_t n = sizeof id;
  t.GetId(id, n);
  return std::string(reinterpret_cast<char*>(id), n);
}

Bytes RangeOf(const CCtabData& t, int r) {
  Bytes b;
  for (std::uint8_t k = 0; k < 6; ++k) {
    std::uint8_t v = 0;
    t.GetRangeByte(static_cast<std::uint8_t>(r), k, v);
    b.push_back(v);
  }
  return b;
}

std::string Text(const std::vector<std::uint8_t>& v) { return std::string(v.begin(), v.end()); }

}  // namespace

TEST(CSectionNames, TextIsSplitAtCommasWithoutEmptyNames) {
  CSection s;
  ASSERT_EQ(s.SetNamesFromText(",,,", 3), 0u);
  NameList names;
  s.GetNames(names);
  EXPECT_TRUE(names.empty());
  s.SetNamesFromText("Intro A", 7);
  s.GetNames(names);
  EXPECT_EQ(names, (NameList{"Intro A"}));
  s.SetNamesFromText(",Main A,,Main B ,", 17);
  s.GetNames(names);
  EXPECT_EQ(names, (NameList{"Main A", "Main B "}));
  EXPECT_EQ(s.SetNamesFromText(nullptr, 3), 0x80000001u);
  EXPECT_EQ(s.SetNamesFromText("x", 0), 0x80000001u);

  std::vector<std::uint8_t> text{1, 2};
  s.GetNamesText(text);
  EXPECT_EQ(Text(text), "Main A,Main B ");
  CSection none;
  none.GetNamesText(text);
  EXPECT_TRUE(text.empty());
}

TEST(CSectionNames, EveryNameAfterTheFirstWrittenCharacterTakesAComma) {
  CSection s;
  s.SetNames({"", "Main A", "", "Main B", ""});
  std::vector<std::uint8_t> text;
  ASSERT_EQ(s.GetNamesText(text), 0u);
  EXPECT_EQ(Text(text), "Main A,,Main B,");
  // The reader drops the empty parts again.
  CSection back;
  ASSERT_EQ(back.SetNamesFromText(reinterpret_cast<const char*>(text.data()), text.size()), 0u);
  NameList names;
  back.GetNames(names);
  EXPECT_EQ(names, (NameList{"Main A", "Main B"}));
  s.SetNames({"", ""});
  s.GetNamesText(text);
  EXPECT_TRUE(text.empty());
}

TEST(CSectionDefaults, DummySectionWithATablePairPerChannel) {
  CSection s;
  ASSERT_EQ(s.InitDefault(), 0u);
  NameList names;
  s.GetNames(names);
  EXPECT_EQ(names, (NameList{"Dummy"}));
  ASSERT_EQ(s.GetCtabList().size(), 16u);
  ASSERT_EQ(s.GetCnttList().size(), 16u);
  for (std::uint8_t ch = 0; ch < 16; ++ch) {
    std::uint8_t source = 99;
    s.GetCtabList()[ch]->GetSourceChannel(source);
    EXPECT_EQ(source, ch);
  }
}

TEST(CCtabData, DefaultOfAnUnknownChannelKeepsTheConstructedValues) {
  CCtabData t;
  t.SetAttr(5);
  EXPECT_EQ(t.InitDefault(16), 0x80000002u);
  EXPECT_EQ(t, CCtabData());
  EXPECT_EQ(IdOf(t), "    ");
  EXPECT_EQ(NameOf(t), "        ");
  std::uint8_t splitHigh = 0;
  t.GetSplitHigh(splitHigh);
  EXPECT_EQ(splitHigh, 127);
  CCnttData c;
  EXPECT_EQ(c.InitDefault(16), 0x80000002u);
}

TEST(CCtabData, ByteGroupsArePaddedOrCut) {
  CCtabData t;
  t.SetName(reinterpret_cast<const std::uint8_t*>("Bass"), 4);
  EXPECT_EQ(NameOf(t), "Bass    ");
  t.SetName(reinterpret_cast<const std::uint8_t*>("Strings12X"), 10);
  EXPECT_EQ(NameOf(t), "Strings1");
  EXPECT_EQ(t.SetName(nullptr, 3), 0x80000001u);
  std::uint8_t part[3];
  std::uint64_t n = 3;
  ASSERT_EQ(t.GetName(part, n), 0u);
  EXPECT_EQ(n, 3u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(part), 3), "Str");
  n = 0;
  EXPECT_EQ(t.GetName(part, n), 0x80000001u);
  const std::uint8_t mask[1] = {0xAB};
  t.SetMaskB(mask, 1);
  std::uint8_t maskB[5];
  n = 5;
  t.GetMaskB(maskB, n);
  EXPECT_EQ(Bytes(maskB, maskB + 5), Of({0xAB, 0, 0, 0, 0}));
}

TEST(CCtabData, CodeFlagAndPairAccessors) {
  CCtabData t;
  t.SetB1(1, 0x85);
  t.SetB1Code(1, 0x03);
  std::uint8_t b1 = 0;
  t.GetB1(1, b1);
  EXPECT_EQ(b1, 0x83);
  t.SetB1Flag(1, 0x02);  // only bit 0 counts
  t.GetB1(1, b1);
  EXPECT_EQ(b1, 0x03);
  EXPECT_EQ(t.SetB1Code(3, 1), 0x80000001u);
  EXPECT_EQ(t.SetPairFirst(4, 1), 0x80000001u);
  t.SetPairSecond(2, 9);
  std::uint8_t count = 0;
  t.GetPairCount(count);
  EXPECT_EQ(count, 3);
  t.SetPairFirst(0, 1);
  t.GetPairCount(count);
  EXPECT_EQ(count, 3);
}

TEST(CCtabData, EqualityAlsoComparesThePairs) {
  CCtabData a, b;
  a.InitDefault(3);
  b.InitDefault(3);
  EXPECT_EQ(a, b);
  b.SetPairSecond(1, 7);
  EXPECT_NE(a, b);
  b.SetPairSecond(1, 0);
  EXPECT_EQ(a, b);
  b.SetExtD(1);
  EXPECT_NE(a, b);
}

TEST(CCtabData, RangeFlagsFollowRangeOne) {
  CCtabData t;
  t.SetB1(1, 0x81);
  t.SetB1(0, 0x05);
  t.SetB1(2, 0x06);
  t.SetSplitLow(0);
  t.SetSplitHigh(100);
  t.SyncRangeFlags();
  std::uint8_t r0 = 0, r2 = 0;
  t.GetB1(0, r0);
  t.GetB1(2, r2);
  EXPECT_EQ(r0, 0x85);
  EXPECT_EQ(r2, 0x06);
}

TEST(CSectionCopy, DeepCopyAndEquality) {
  CSection a;
  a.InitDefault();
  CSection b;
  b = a;
  EXPECT_TRUE(b == a);
  b.GetCtabList()[0]->SetAttr(1);
  EXPECT_FALSE(b == a);  // the copy owns its own tables

  CSection c;
  c = a;
  c.SetNames({"Dummy", "Main A"});
  EXPECT_FALSE(c == a);
}

TEST(CSectionCopy, AnEntryThatCannotBeAllocatedFailsTheCopy) {
  CSection a;
  a.InitDefault();
  CSection b;
  b.SetNames({"Keep"});
  NoThrowAlloc::FailAfter(5);
  const ResultCode rc = b.CopyFrom(a);
  NoThrowAlloc::FailAfter(0);
  EXPECT_EQ(rc, 0x80000001u);
  NameList names;
  b.GetNames(names);
  EXPECT_EQ(names, (NameList{"Keep"}));
  EXPECT_TRUE(b.GetCtabList().empty());
}

TEST(CSectionDecorator, CodesSurviveTheWayToCtb2AndBack) {
  CSection s;
  for (std::uint8_t code : {3, 4, 6, 5, 2}) {
    auto* t = new CCtabData;
    t->SetSourceChannel(code);
    for (std::uint8_t r = 0; r < 3; ++r) t->SetB1Code(r, code);
    s.AddCtab(t);
  }
  ASSERT_EQ(CSectionDecorator::ConvertCodesToCtb2(s), 0u);
  std::vector<int> after;
  for (const CCtabData* t : s.GetCtabList()) {
    std::uint8_t b1 = 0;
    t->GetB1(1, b1);
    after.push_back(b1);
  }
  EXPECT_EQ(after, (std::vector<int>{0x81, 0x03, 0x06, 0x05, 0x02}));
  ASSERT_EQ(CSectionDecorator::ConvertCodesToCtab(s), 0u);
  after.clear();
  for (const CCtabData* t : s.GetCtabList()) {
    std::uint8_t b1 = 0;
    t->GetB1(0, b1);
    after.push_back(b1);
  }
  EXPECT_EQ(after, (std::vector<int>{3, 4, 3, 5, 2}));
}

TEST(CSectionDecorator, TablesWithABytePairAreNotRecoded) {
  CSection s;
  auto* t = new CCtabData;
  t->SetSourceChannel(2);
  t->SetB1Code(1, 3);
  s.AddCtab(t);
  auto* c = new CCnttData;
  c->SetChannel(2);
  s.AddCntt(c);
  CSectionDecorator::ConvertCodesToCtb2(s);
  std::uint8_t b1 = 0;
  t->GetB1(1, b1);
  EXPECT_EQ(b1, 3);
}

TEST(CSectionDecorator, BytePairsGoIntoTheTablesAndBack) {
  CSection s;
  s.InitDefault();
  auto* orphan = new CCnttData;
  orphan->SetChannel(40);
  orphan->SetValue(0x7F);
  s.AddCntt(orphan);
  s.GetCnttList()[2]->SetValue(0x84);
  CSection before;
  before = s;
  ASSERT_EQ(CSectionDecorator::ApplyCnttToTables(s), 0u);
  for (int r = 0; r < 3; ++r) EXPECT_EQ(RangeOf(*s.GetCtabList()[2], r)[1], 0x84);
  // The orphan pair changed no table; only channel 2's table changed.
  for (std::size_t i = 0; i < 16; ++i) {
    if (i != 2) {
      EXPECT_EQ(*s.GetCtabList()[i], *before.GetCtabList()[i]) << i;
    }
  }
  ASSERT_EQ(CSectionDecorator::BuildCnttFromTables(s), 0u);
  ASSERT_EQ(s.GetCnttList().size(), 16u);
  std::uint8_t value = 0;
  s.GetCnttList()[2]->GetValue(value);
  EXPECT_EQ(value, 0x84);
}

TEST(CSectionDecorator, IdsAreRetaggedAndCode2Cleared) {
  CSection s;
  s.InitDefault();
  s.GetCtabList()[5]->SetId(reinterpret_cast<const std::uint8_t*>("Atab"), 4);
  ASSERT_EQ(CSectionDecorator::ConvertIdsToCtab(s), 0u);
  EXPECT_EQ(IdOf(*s.GetCtabList()[0]), "Ctab");
  EXPECT_EQ(IdOf(*s.GetCtabList()[5]), "Atab");
  ASSERT_EQ(CSectionDecorator::ConvertIdsToCtb2(s), 0u);
  EXPECT_EQ(IdOf(*s.GetCtabList()[15]), "Ctb2");

  CCtabData* t = s.GetCtabList()[0];
  t->SetB0(1, 2);
  t->SetB1(1, 0x85);
  CSectionDecorator::ClearRangeCode2(s, 1);
  EXPECT_EQ(RangeOf(*t, 1)[0], 0);
  EXPECT_EQ(RangeOf(*t, 1)[1], 0x81);
  t->SetB0(2, 2);
  t->SetB1(2, 0x05);
  CSectionDecorator::ClearRangeCode2(s, 2);
  EXPECT_EQ(RangeOf(*t, 2)[1], 0x05);
  EXPECT_TRUE(CSectionDecorator::IsFoldedCode(10));
  EXPECT_FALSE(CSectionDecorator::IsFoldedCode(5));
}
