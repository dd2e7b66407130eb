#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>

#include "CSmfStyleDecorator.h"
#include "SectionNames.h"

TEST(SectionNameToNumber, PrefixFormsInNumberOrder) {
  EXPECT_EQ(SectionNameToNumber("Main A"), 0);
  EXPECT_EQ(SectionNameToNumber("Mai"), -1);
  EXPECT_EQ(SectionNameToNumber("MAx"), 0);
  EXPECT_EQ(SectionNameToNumber("Intro D"), 11);
  EXPECT_EQ(SectionNameToNumber("ID"), -1);
  EXPECT_EQ(SectionNameToNumber("ED"), -1);
  EXPECT_EQ(SectionNameToNumber("Break Fill"), 17);
  EXPECT_EQ(SectionNameToNumber("Break"), -1);
  EXPECT_EQ(SectionNameToNumber("Fill AB"), 16);
  EXPECT_EQ(SectionNameToNumber("FDC"), 19);
  EXPECT_EQ(SectionNameToNumber("Fill In BA,Main A"), 17);  // the first name counts
  EXPECT_EQ(SectionNameToNumber(nullptr), -1);
}

TEST(SectionStringToNumber, SubstringFormsGiveTheLowestNumber) {
  EXPECT_EQ(SectionStringToNumber("Fill In BA,Main A"), 0);
  EXPECT_EQ(SectionStringToNumber("xx Main B"), 1);
  EXPECT_EQ(SectionNameToNumber("xx Main B"), -1);
  EXPECT_EQ(SectionStringToNumber("EndingC"), 14);
  EXPECT_EQ(SectionStringToNumber("my Break Fill"), 17);
  EXPECT_EQ(SectionStringToNumber("nothing"), -1);
}

TEST(SectionNumberToName, UnknownNumbersGiveTheEmptyTextWithoutMemory) {
  EXPECT_STREQ(SectionNumberToName(20), "");
  EXPECT_STREQ(SectionNumberToName(5), "Fill In BB");
  EXPECT_STREQ(SectionNumberToName(20), "");
  EXPECT_STREQ(SectionNumberToName(-1), "Dummy");
  EXPECT_STREQ(SectionNumberToName(-7), "");
  // Names round-trip through both numberings.
  for (std::int32_t n = 0; n < 20; ++n) EXPECT_EQ(SectionNameToNumber(SectionNumberToName(n)), n);
  // Callers on other threads get their own answers.
  std::string a, b;
  std::thread t1([&a] { for (int i = 0; i < 1000; ++i) a = SectionNumberToName(i % 2 ? 20 : 0); });
  std::thread t2([&b] { for (int i = 0; i < 1000; ++i) b = SectionNumberToName(13); });
  t1.join();
  t2.join();
  EXPECT_EQ(a, "");
  EXPECT_EQ(b, "Ending B");
}

TEST(StyleSectionIds, ParserFormsAndLongNames) {
  std::uint8_t id = 0;
  const auto parse = [&id](const std::string& text) {
    const ResultCode rc = CSmfStyleDecorator::SectionIdFromName(text.data(), text.size(), &id);
    return std::make_pair(rc, id);
  };
  EXPECT_EQ(parse("MA"), std::make_pair(ResultCode{0}, std::uint8_t{0}));
  EXPECT_EQ(parse("Break Fill").second, 8);
  EXPECT_EQ(parse("Break").second, 5);
  EXPECT_EQ(parse("Breakdown").second, 5);
  EXPECT_EQ(parse("Break D").second, 23);
  EXPECT_EQ(parse("Fill In AB").second, 2);
  EXPECT_EQ(parse("Fill In BA").second, 8);
  EXPECT_EQ(parse("Dummy"), std::make_pair(ResultCode{0x80000002}, std::uint8_t{24}));
  EXPECT_EQ(parse("ID").first, 0x80000002u);
  EXPECT_EQ(parse("Ending E").first, 0x80000002u);
  EXPECT_EQ(CSmfStyleDecorator::SectionIdFromName(nullptr, 3, &id), 0x80000001u);
  EXPECT_EQ(id, 24);
  for (std::uint8_t i = 0; i < 24; ++i) {
    std::string name;
    ASSERT_EQ(CSmfStyleDecorator::SectionIdToName(i, &name), 0u);
    EXPECT_EQ(parse(name).second, i) << name;
  }
  std::string name;
  EXPECT_EQ(CSmfStyleDecorator::SectionIdToName(24, &name), 0x80000001u);
}

TEST(StyleSectionIds, NumberingsAgree) {
  EXPECT_EQ(AudioSectionToStyleId(17), 8);
  EXPECT_EQ(AudioSectionToStyleId(20), 255);
  EXPECT_EQ(TrackSlotToStyleId(9), 8);
  EXPECT_EQ(TrackSlotToStyleId(15), 255);
  EXPECT_EQ(IsSupportedAudioSection(17), 1);
  EXPECT_EQ(IsSupportedAudioSection(16), 0);
  EXPECT_EQ(IsSupportedAudioSection(11), 0);
  EXPECT_EQ(IsSupportedAudioSection(25), 0);
  // Every audio section's name parses to its style id, and the built ones
  // are exactly the track slots.
  int built = 0;
  for (std::uint32_t n = 0; n < 20; ++n) {
    const std::string name = SectionNumberToName(static_cast<std::int32_t>(n));
    std::uint8_t id = 0;
    CSmfStyleDecorator::SectionIdFromName(name.data(), name.size(), &id);
    EXPECT_EQ(AudioSectionToStyleId(n), id) << name;
    if (IsSupportedAudioSection(n)) {
      ++built;
      EXPECT_NE(StyleIdPrintedName(id), nullptr);
      EXPECT_NE(std::find(TrackSectionOrder, TrackSectionOrder + 15, id), TrackSectionOrder + 15);
    }
  }
  EXPECT_EQ(built, 15);
}

TEST(StyleSectionIds, NextIdTablesCheckEveryId) {
  std::uint8_t table[24];
  std::fill(table, table + 24, 77);
  std::vector<std::uint8_t> work;
  ASSERT_EQ(BuildNextTrackSlotTable(table, 24, 15, work), 0u);
  EXPECT_EQ(table[3], 1);    // Intro A -> Fill In AA
  EXPECT_EQ(table[8], 4);    // Fill In BA -> Ending A
  EXPECT_EQ(table[16], 77);  // Ending C: beyond the preset entries, no successor
  EXPECT_EQ(table[14], 255);
  const std::uint8_t ids[3] = {2, 30, 1};
  std::uint8_t small[4] = {9, 9, 9, 9};
  EXPECT_EQ(BuildNextIdTable(small, 4, 3, ids), 0x80000002u);
  EXPECT_EQ(small[0], 9);  // nothing written
  EXPECT_EQ(BuildNextIdTable(small, 2, 3, ids), 0x80000001u);
  const std::uint8_t ok[3] = {2, 255, 1};
  ASSERT_EQ(BuildNextIdTable(small, 4, 3, ok), 0u);
  EXPECT_EQ(small[2], 255);
  EXPECT_EQ(BuildNextIdTable(small, 4, 0, ok), 0u);
}
