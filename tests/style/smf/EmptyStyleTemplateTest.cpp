// Our template style "Empty.sty" as the build generates it into Resources/,
// and its adaptation for an export.

#include <gtest/gtest.h>

#include <string>

#include "BuiltResources.h"
#include "CSmfStyleDecoratorForASFF.h"
#include "SectionNames.h"
#include "SmfBytes.h"

using namespace SmfBytes;

namespace {

class EmptyStyle : public ::testing::Test {
 protected:
  void SetUp() override {
    bytes = resourceBytes("Empty.sty");
    ASSERT_FALSE(bytes.empty()) << "Resources/Empty.sty is missing: build the EmptyStyle target";
    ASSERT_EQ(style.Load(bytes), 0u);
  }

  // (time, text) of the section markers of the first track, in list order.
  std::vector<std::pair<std::uint64_t, std::string>> SectionMarkers() const {
    std::vector<std::pair<std::uint64_t, std::string>> out;
    for (const EventView& v : Views(*style.GetTrack(0))) {
      if (v.status != 0xFF || v.metaType != 0x06) continue;
      const std::string text(v.payload.begin(), v.payload.end());
      if (text != "SFF2") out.emplace_back(v.time, text);
    }
    return out;
  }

  Bytes bytes;
  CSmfStyleDecoratorForASFF style;
};

}  // namespace

TEST_F(EmptyStyle, HoldsVersionTwoFifteenMarkersAndTheirSections) {
  std::uint8_t version = 0;
  style.GetFormatVersion(&version);
  EXPECT_EQ(version, 2);
  EXPECT_EQ(style.GetHeader().division, 960);
  ASSERT_EQ(style.GetTracks().size(), 1u);

  const auto events = Views(*style.GetTrack(0));
  ASSERT_GE(events.size(), 4u);
  EXPECT_EQ(events[0], (EventView{0, 0xFF, 0, 0x06, 0, 0, Text("SFF2")}));
  EXPECT_EQ(events[1], (EventView{0, 0xFF, 0, 0x51, 0, 0, Of({0x07, 0xA1, 0x20})}));
  EXPECT_EQ(events[2], (EventView{0, 0xFF, 0, 0x58, 0, 0, Of({4, 2, 24, 8})}));
  EXPECT_EQ(events.back(), (EventView{0, 0xFF, 0, 0x2F, 0, 0, {}}));

  const auto markers = SectionMarkers();
  ASSERT_EQ(markers.size(), 15u);
  EXPECT_EQ(events.size(), 3u + 15u + 1u);
  for (int slot = 0; slot < 15; ++slot) {
    EXPECT_EQ(markers[slot].first, 0u);
    EXPECT_EQ(markers[slot].second, StyleIdPrintedName(TrackSectionOrder[slot]));
  }

  ASSERT_EQ(style.GetSections().size(), 15u);
  for (int slot = 0; slot < 15; ++slot) {
    const CSection& s = *style.GetSection(static_cast<std::uint64_t>(slot));
    NameList names;
    s.GetNames(names);
    EXPECT_EQ(names, (NameList{StyleIdPrintedName(TrackSectionOrder[slot])}));
    EXPECT_TRUE(s.GetCnttList().empty());
    EXPECT_EQ(s.GetCtabList().size(), 16u);
  }
}

TEST_F(EmptyStyle, SaveAndReloadAreStable) {
  Bytes saved;
  ASSERT_EQ(style.Save(saved), 0u);
  EXPECT_EQ(saved, bytes);
}

TEST_F(EmptyStyle, AdaptedForAnExportOfThreeSections) {
  // 4/4 at 120 bpm: Intro A 2 bars, Fill In AA 1, Main A 4, all others empty.
  ASSERT_EQ(style.SetTempo(60000000 / 120), 0u);
  ASSERT_EQ(style.SetTimeSignature(0x04021808), 0u);
  const std::uint64_t ticksPerBar = (3840 / 4) * 4;
  std::uint64_t position = ticksPerBar;
  for (std::uint8_t id : TrackSectionOrder) {
    const std::uint64_t bars = id == 3 ? 2 : id == 1 ? 1 : id == 0 ? 4 : 0;
    if (bars > 0) {
      ASSERT_EQ(style.MoveSectionMarker(id, position), 0u);
    } else {
      ASSERT_EQ(style.RemoveSectionMarker(id), 0u);
    }
    position += bars * ticksPerBar;
  }
  ASSERT_EQ(style.SetEndOfTrackTime(position), 0u);
  EXPECT_EQ(position, 30720u);

  EXPECT_EQ(SectionMarkers(), (std::vector<std::pair<std::uint64_t, std::string>>{
                                  {3840, "Intro A"}, {11520, "Fill In AA"}, {15360, "Main A"}}));
  const auto events = Views(*style.GetTrack(0));
  EXPECT_EQ(events[1].payload, Of({0x07, 0xA1, 0x20}));
  EXPECT_EQ(events.back(), (EventView{30720, 0xFF, 0, 0x2F, 0, 0, {}}));
  EXPECT_EQ(style.RemoveSectionMarker(9), 0x80000002u);  // already gone

  Bytes saved;
  ASSERT_EQ(style.Save(saved), 0u);
  CSmfStyleDecoratorForASFF reread;
  ASSERT_EQ(reread.Load(saved), 0u);
  EXPECT_EQ(Views(*reread.GetTrack(0)), events);
  EXPECT_EQ(reread.GetSections().size(), 15u);  // every section of the template is kept
  Bytes again;
  ASSERT_EQ(reread.Save(again), 0u);
  EXPECT_EQ(again, saved);
}

TEST_F(EmptyStyle, TimeSignatureBytesAndSearchFailures) {
  ASSERT_EQ(style.SetTimeSignature(0x03021808), 0u);
  EventPtrList signatures;
  style.FindTimeSignatures(signatures);
  Bytes payload;
  signatures.front()->GetExData(payload);
  EXPECT_EQ(payload, Of({3, 2, 0x18, 8}));
  ASSERT_EQ(style.SetTempo(0x1234567), 0u);  // only the low 24 bits
  EventPtrList tempos;
  style.FindTempoEvents(tempos);
  tempos.front()->GetExData(payload);
  EXPECT_EQ(payload, Of({0x23, 0x45, 0x67}));

  // The "SFF2" marker is no section and is passed over.
  EXPECT_EQ(style.MoveSectionMarker(2, 100), 0x80000002u);
  // So is an empty marker, even when the id asked for is the one of no
  // section.
  auto* blank = new CEvnt;
  blank->SetStatus(0xFF);
  blank->SetMetaType(0x06);
  ASSERT_EQ(style.GetTrack(0)->InsertEventBeforeEqual(blank), 0u);
  const std::size_t count = style.GetTrack(0)->GetEventList().size();
  EXPECT_EQ(style.RemoveSectionMarker(kStyleIdNone), 0x80000002u);
  EXPECT_EQ(style.MoveSectionMarker(kStyleIdNone, 100), 0x80000002u);
  EXPECT_EQ(style.GetTrack(0)->GetEventList().size(), count);
  EXPECT_EQ(style.GetTrack(0)->GetEventList().front(), blank);
  CSmfStyleDecoratorForASFF empty;
  EXPECT_EQ(empty.SetTempo(1), 0x80000002u);
  EXPECT_EQ(empty.MoveSectionMarker(0, 1), 0x80000001u);
  EXPECT_EQ(empty.SetEndOfTrackTime(1), 0x80000001u);
}

TEST_F(EmptyStyle, MovingAMarkerPastTheEndTakesTheEndOfTrackAlong) {
  ASSERT_EQ(style.MoveSectionMarker(0, 5000), 0u);
  const auto events = Views(*style.GetTrack(0));
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events[events.size() - 2], (EventView{5000, 0xFF, 0, 0x06, 0, 0, Text("Main A")}));
  EXPECT_EQ(events.back(), (EventView{5000, 0xFF, 0, 0x2F, 0, 0, {}}));
}

TEST_F(EmptyStyle, TheEndOfTrackIsNotSetBeforeTheLastEvent) {
  ASSERT_EQ(style.MoveSectionMarker(0, 3840), 0u);
  EXPECT_EQ(style.SetEndOfTrackTime(1000), 0x80000007u);
  EXPECT_EQ(Views(*style.GetTrack(0)).back().time, 3840u);
  EXPECT_EQ(style.SetEndOfTrackTime(3840), 0u);
  EXPECT_EQ(style.SetEndOfTrackTime(9000), 0u);
  EXPECT_EQ(Views(*style.GetTrack(0)).back().time, 9000u);
}
