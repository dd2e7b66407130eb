#include <gtest/gtest.h>

#include <string>

#include "CSmfStyleDecorator.h"
#include "SmfBytes.h"

using namespace SmfBytes;

namespace {

Bytes MetaBytes(int delta, int type, const Bytes& payload) {
  return Cat({Of({delta, 0xFF, type, static_cast<int>(payload.size())}), payload});
}

Bytes Marker(const std::string& text, int delta = 0) { return MetaBytes(delta, 0x06, Text(text)); }

Bytes EndOfTrack(int delta = 0) { return Of({delta, 0xFF, 0x2F, 0x00}); }

// A Ctb2 body for the channel with the given b1 value in all three ranges.
Bytes Ctb2Body(int channel, int b1) {
  return Cat({Of({channel}), Text("Part    "), Of({8, 0, 0x0F, 0xFF, 3, 0xFF, 0xFF, 0xFF, 0xFF, 0, 2, 0, 127}),
              Of({0, b1, 7, 0, 0x7F, 1}), Of({0, b1, 7, 0, 0x7F, 1}), Of({0, b1, 7, 0, 0x7F, 1}), Bytes(7, 0)});
}

Bytes Cseg(const std::string& names, const Bytes& tables) {
  return Chunk("CSEG", Cat({Chunk("Sdec", Text(names)), tables}));
}

// A style: one track with the given events, then a CASM of the given CSEGs.
Bytes Style(const Bytes& events, const Bytes& csegs, bool withCasm = true) {
  return Cat({MThd(0, 1, 480), Chunk("MTrk", events), withCasm ? Chunk("CASM", csegs) : Bytes{}});
}

NameList NamesOf(const CSmfStyle& style) {
  NameList all;
  for (const CSection* s : style.GetSections()) {
    NameList names;
    s->GetNames(names);
    all.insert(all.end(), names.begin(), names.end());
  }
  return all;
}

int B1Of(const CSection& s, int table, int range) {
  std::uint8_t v = 0;
  s.GetCtabList()[table]->GetB1(static_cast<std::uint8_t>(range), v);
  return v;
}

}  // namespace

TEST(StyleLoad, FormatVersionFollowsTheMarkerAndTheBytePairs) {
  const Bytes tables = Cseg("Main A", Chunk("Ctb2", Ctb2Body(2, 0x02)));
  CSmfStyleDecorator v2;
  ASSERT_EQ(v2.Load(Style(Cat({Marker("SFF2"), EndOfTrack()}), tables)), 0u);
  std::uint8_t version = 9;
  v2.GetFormatVersion(&version);
  EXPECT_EQ(version, 2);

  CSmfStyleDecorator v0;
  ASSERT_EQ(v0.Load(Style(Cat({Marker("SFF1"), EndOfTrack()}), tables)), 0u);
  v0.GetFormatVersion(&version);
  EXPECT_EQ(version, 0);

  // Byte pairs: version 1, and the pair's value lands in all three ranges.
  const Bytes ctab = Cat({Of({2}), Text("Chord1  "), Of({11, 0, 0x0F, 0xFF, 3, 0xFF, 0xFF, 0xFF, 0xFF, 0, 2}),
                          Of({0, 0x02, 7, 0, 0x7F, 3}), Of({0})});
  const Bytes withPairs = Cseg("Main A", Cat({Chunk("Ctab", ctab), Chunk("Cntt", Of({2, 0x84}))}));
  CSmfStyleDecorator v1;
  ASSERT_EQ(v1.Load(Style(Cat({Marker("SFF1"), EndOfTrack()}), withPairs)), 0u);
  v1.GetFormatVersion(&version);
  EXPECT_EQ(version, 1);
  for (int r = 0; r < 3; ++r) EXPECT_EQ(B1Of(*v1.GetSection(0), 0, r), 0x84);
  EXPECT_EQ(v1.GetFormatVersion(nullptr), 0x80000001u);
}

TEST(StyleLoad, WithoutCasmTheVersionIsNotRead) {
  CSmfStyleDecorator s;
  ASSERT_EQ(s.Load(Style(Cat({Marker("SFF1"), EndOfTrack()}), {}, false)), 0u);
  std::uint8_t version = 0;
  s.GetFormatVersion(&version);
  EXPECT_EQ(version, 2);
}

TEST(StyleLoad, OnlyTheFirstTrackIsAskedForTheMarker) {
  const Bytes file = Cat({MThd(1, 2, 480), Chunk("MTrk", EndOfTrack()), Chunk("MTrk", Cat({Marker("SFF2"), EndOfTrack()})),
                          Chunk("CASM", Cseg("Main A", Chunk("Ctb2", Ctb2Body(0, 0))))});
  CSmfStyleDecorator s;
  EXPECT_EQ(s.Load(file), Result::nest(2, Result::nest(2, Result::fail(3))));
}

TEST(StyleSave, SaveAndReloadAreStable) {
  const Bytes file = Style(Cat({Marker("SFF2"), MetaBytes(0, 0x51, Of({7, 0xA1, 0x20})), Marker("Main A"),
                                Of({0x60, 0x99, 36, 100}), Of({0x60, 0x89, 36, 0}), EndOfTrack()}),
                           Cat({Cseg("Main A,Main B", Cat({Chunk("Ctb2", Ctb2Body(0, 0)), Chunk("Ctb2", Ctb2Body(9, 0x81))})),
                                Cseg("Intro A", Chunk("Ctb2", Ctb2Body(1, 3)))}));
  CSmfStyleDecorator s;
  ASSERT_EQ(s.Load(file), 0u);
  Bytes saved;
  ASSERT_EQ(s.Save(saved), 0u);
  EXPECT_EQ(saved, file);
  CSmfStyleDecorator again;
  ASSERT_EQ(again.Load(saved), 0u);
  Bytes twice;
  ASSERT_EQ(again.Save(twice), 0u);
  EXPECT_EQ(twice, saved);
}

TEST(StyleSave, AVersionOneStyleRebuildsItsBytePairs) {
  CSmfStyleDecorator s;
  const Bytes tables = Cseg("Main A", Cat({Chunk("Ctb2", Ctb2Body(2, 0x02)), Chunk("Cntt", Of({2, 0x05}))}));
  ASSERT_EQ(s.Load(Style(Cat({Marker("SFF1"), EndOfTrack()}), tables)), 0u);
  for (std::uint8_t r = 0; r < 3; ++r) s.GetSection(0)->GetCtabList()[0]->SetB1(r, 0x83);
  Bytes saved;
  ASSERT_EQ(s.Save(saved), 0u);
  CSmfStyleDecorator reread;
  ASSERT_EQ(reread.Load(saved), 0u);
  EXPECT_TRUE(*reread.GetSection(0) == *s.GetSection(0));
  std::uint8_t value = 0;
  reread.GetSection(0)->GetCnttList()[0]->GetValue(value);
  EXPECT_EQ(value, 0x83);
}

TEST(StyleSections, RemovalByMaskAndName) {
  const Bytes file = Style(Cat({Marker("SFF2"), EndOfTrack()}),
                           Cat({Cseg("Main A,Main B", Chunk("Ctb2", Ctb2Body(0, 0))), Cseg("Main A", Chunk("Ctb2", Ctb2Body(0, 0))),
                                Cseg("Intro A", Chunk("Ctb2", Ctb2Body(0, 0)))}));
  CSmfStyleDecorator s;
  ASSERT_EQ(s.Load(file), 0u);
  EXPECT_EQ(s.RemoveSectionsNotInMask(0xFFFFFE), 0u);
  EXPECT_EQ(NamesOf(s), (NameList{"Main B", "Main A", "Intro A"}));
  EXPECT_EQ(s.RemoveSectionsNotInMask(0xFFFFFB), 0x80000001u);
  EXPECT_EQ(s.GetSections().size(), 3u);
  EXPECT_EQ(s.RemoveSectionsNotInMask(0xFFFFFF), 0u);
  EXPECT_EQ(s.RemoveSectionsNotInMask(0xFFFFFE & ~(1u << 3)), 0u);  // Main A and Intro A
  EXPECT_EQ(NamesOf(s), (NameList{"Main B"}));
  EXPECT_EQ(s.RemoveSectionByName("Main A"), 0x80000001u);
  EXPECT_EQ(s.RemoveSectionByName("Main B"), 0u);
  EXPECT_TRUE(s.GetSections().empty());
}

TEST(StyleVersion, ChangingTheVersionConvertsMarkerTablesAndPairs) {
  CSmfStyleDecorator s;
  ASSERT_EQ(s.Load(Style(Cat({Marker("SFF2"), EndOfTrack()}), Cseg("Main A", Chunk("Ctb2", Ctb2Body(3, 0x81))))), 0u);
  ASSERT_EQ(s.ChangeFormatVersion(0), 0u);
  std::uint8_t text[4];
  std::uint64_t size = 4;
  s.GetFormatMarkerText(text, &size);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(text), 4), "SFF1");
  std::uint8_t id[4];
  std::uint64_t n = 4;
  s.GetSection(0)->GetCtabList()[0]->GetId(id, n);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(id), 4), "Ctab");
  EXPECT_EQ(B1Of(*s.GetSection(0), 0, 1), 3);  // code 1 with flag becomes 3
  std::uint8_t version = 9;
  s.GetFormatVersion(&version);
  EXPECT_EQ(version, 0);
  ASSERT_EQ(s.ChangeFormatVersion(2), 0u);
  EXPECT_EQ(B1Of(*s.GetSection(0), 0, 1), 0x81);
  EXPECT_EQ(s.ChangeFormatVersion(3), Result::nest(4, Result::fail(1)));

  Bytes saved;
  ASSERT_EQ(s.Save(saved), 0u);
  CSmfStyleDecorator reread;
  ASSERT_EQ(reread.Load(saved), 0u);
  reread.GetFormatVersion(&version);
  EXPECT_EQ(version, 2);
}

TEST(StyleEvents, MarkersMetaEventsAndEndTime) {
  CSmfStyleDecorator s;
  ASSERT_EQ(s.Load(Style(Cat({Marker("SFF2"), MetaBytes(0, 0x58, Of({3, 2, 24, 8})), Marker("FAB", 0x60),
                              Of({0, 0xB0, 3, 6}), Marker("Dummy"), EndOfTrack(0x40)}), {}, false)), 0u);
  EventPtrList signatures;
  ASSERT_EQ(s.FindTimeSignatures(signatures), 0u);
  EXPECT_EQ(signatures.size(), 1u);
  std::uint64_t bar = 0;
  ASSERT_EQ(s.GetBarLength(&bar), 0u);
  EXPECT_EQ(bar, 1440u);
  std::uint64_t end = 0;
  ASSERT_EQ(s.GetEndTime(&end), 0u);
  EXPECT_EQ(end, 160u);

  SectionRecordList markers, ccs;
  s.GetSectionMarkerRecords(markers);
  s.GetSectionControlChangeRecords(ccs);
  EXPECT_EQ(markers, (SectionRecordList{{2, 96}}));
  EXPECT_EQ(ccs, (SectionRecordList{{6, 96}}));
  std::uint64_t first = 0;
  s.GetFirstSectionStart(&first);
  EXPECT_EQ(first, 96u);

  ASSERT_EQ(s.TidySectionEvents(), 0u);
  s.GetSectionMarkerRecords(markers);
  s.GetSectionControlChangeRecords(ccs);
  EXPECT_EQ(markers, (SectionRecordList{{6, 96}, {2, 96}}));
  EXPECT_EQ(ccs, (SectionRecordList{{2, 96}, {6, 96}}));
  SectionCheckReport report;
  ASSERT_EQ(s.CheckSectionEvents(&report), 0u);
  EXPECT_EQ(report.offBarMarkerIds, (std::vector<std::uint8_t>{6, 2}));
  ASSERT_EQ(report.conflicts.size(), 1u);
}

TEST(StyleEvents, ABarLengthOfZeroIsRefused) {
  CSmfStyleDecorator s;
  ASSERT_EQ(s.Load(Style(Cat({MetaBytes(0, 0x58, Of({0, 2, 24, 8})), Marker("Main A"), EndOfTrack()}), {}, false)), 0u);
  std::uint8_t ids[15];
  std::uint64_t bars[15];
  EXPECT_EQ(s.GetSectionStartsFromMarkers(ids, bars, 15), 0x80000009u);
  EXPECT_EQ(s.GetSectionStartsFromControlChanges(ids, bars, 15), 0x80000009u);
  SectionCheckReport report;
  EXPECT_EQ(s.CheckSectionEvents(&report), 0x80000002u);
  EXPECT_EQ(s.GetSectionStartsFromMarkers(ids, bars, 26), 0x80000001u);
}

TEST(StyleEvents, SectionStartsAndAppendedMainA) {
  CSmfStyleDecorator s;
  const Bytes fillIn = Marker("Fill In AA");
  ASSERT_EQ(s.Load(Style(Cat({MetaBytes(0, 0x58, Of({4, 2, 24, 8})), Marker("Intro A"), Of({0x00, 0x90, 60, 100}),
                              Of({0x8F}), fillIn, EndOfTrack(0x00)}), {}, false)),
            0u);
  // Intro A at 0, Fill In AA at 1920 (0x8F 0x00), end at 1920.
  std::uint8_t ids[15];
  std::uint64_t bars[15];
  ASSERT_EQ(s.GetSectionStartsFromMarkers(ids, bars, 15), 0u);
  EXPECT_EQ(ids[0], 3);
  EXPECT_EQ(ids[1], 1);
  EXPECT_EQ(bars[1], 1u);
  EXPECT_EQ(ids[2], 0);  // Main A appended with the end bar
  EXPECT_EQ(bars[2], 1u);
  std::uint64_t silent = 0;
  ASSERT_EQ(s.GetSilentSectionMask(&silent), 0u);
  EXPECT_EQ(silent & (1u << 3), 1u << 3);  // the note at tick 0 does not count
  EXPECT_EQ(silent & (1u << 1), 1u << 1);

  ASSERT_EQ(s.AppendMainA(), 0u);
  SectionRecordList markers;
  s.GetSectionMarkerRecords(markers);
  // Main A takes the old end; a mark that stood at the old end moves on with it.
  EXPECT_EQ(markers, (SectionRecordList{{3, 0}, {0, 1920}, {1, 3840}}));
  std::uint64_t end = 0;
  s.GetEndTime(&end);
  EXPECT_EQ(end, 3840u);
  ASSERT_EQ(s.AppendMainA(), 0u);  // already there: nothing added
  s.GetSectionMarkerRecords(markers);
  EXPECT_EQ(markers.size(), 3u);
}

TEST(StyleEvents, MainAIsAppendedAtTheNextBarLineWhenTheEndIsOffIt) {
  CSmfStyleDecorator s;
  // 4/4 at 480 ticks: bars of 1920; Intro A at 0, the end at 1000.
  ASSERT_EQ(s.Load(Style(Cat({MetaBytes(0, 0x58, Of({4, 2, 24, 8})), Marker("Intro A"), Of({0x00, 0x90, 60, 100}),
                              EndOfTrack(0)}),
                         {}, false)),
            0u);
  s.GetTrack(0)->GetEventList().back()->SetTime(1000);
  ASSERT_EQ(s.AppendMainA(), 0u);
  SectionRecordList markers, controlChanges;
  s.GetSectionMarkerRecords(markers);
  s.GetSectionControlChangeRecords(controlChanges);
  EXPECT_EQ(markers, (SectionRecordList{{3, 0}, {0, 1920}}));
  EXPECT_EQ(controlChanges, (SectionRecordList{{0, 1920}}));
  std::uint64_t end = 0;
  ASSERT_EQ(s.GetEndTime(&end), 0u);  // the end of track is still the last event
  EXPECT_EQ(end, 3840u);
}

TEST(StyleEvents, SectionControlChangesStayBeforeTheEndOfTrack) {
  CSmfStyleDecorator s;
  // Markers at the tick of the end of track, as in our template.
  ASSERT_EQ(s.Load(Style(Cat({Marker("Main A"), Marker("Intro A"), EndOfTrack()}), {}, false)), 0u);
  ASSERT_EQ(s.AddSectionControlChanges(), 0u);
  std::uint64_t end = 99;
  ASSERT_EQ(s.GetEndTime(&end), 0u);
  EXPECT_EQ(end, 0u);
  Bytes saved;
  ASSERT_EQ(s.Save(saved), 0u);
  CSmfStyleDecorator back;
  ASSERT_EQ(back.Load(saved), 0u);
  SectionRecordList controlChanges;
  back.GetSectionControlChangeRecords(controlChanges);
  EXPECT_EQ(controlChanges.size(), 2u);
  EXPECT_EQ(Views(*back.GetTrack(0)), Views(*s.GetTrack(0)));
}

TEST(StyleEvents, ImportMergesTracksWithMarkerAndLongNames) {
  CSmf other;
  const Bytes file = Cat({MThd(1, 2, 96), Chunk("MTrk", Cat({Marker("MA"), EndOfTrack(0x10)})),
                          Chunk("MTrk", Cat({Of({0x08, 0x90, 60, 1}), EndOfTrack(0x20)}))});
  ASSERT_EQ(other.Load(file), 0u);
  CSmfStyleDecorator s;
  ASSERT_EQ(s.ImportTracks(other, 1), 0u);
  ASSERT_EQ(s.GetTracks().size(), 1u);
  EXPECT_EQ(s.GetHeader().division, 96);
  std::uint8_t text[4];
  std::uint64_t size = 4;
  s.GetFormatMarkerText(text, &size);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(text), size), "SFF1");
  SectionRecordList markers;
  s.GetSectionMarkerRecords(markers);
  EXPECT_EQ(markers, (SectionRecordList{{0, 0}}));
  std::uint64_t end = 0;
  ASSERT_EQ(s.GetEndTime(&end), 0u);
  EXPECT_EQ(end, 40u);
  CSmf empty;
  EXPECT_EQ(s.ImportTracks(empty, 1), 0x80000001u);
}

TEST(StyleSections, NamesPresetsAndAudioNumbers) {
  CSmfStyleDecorator s;
  for (const char* name : {"Intro A", "Main A", "Fill In BA", "Ending B"}) {
    auto* section = new CSection;
    section->InitDefault();
    section->SetNames({name});
    s.GetSections().push_back(section);
  }
  EXPECT_EQ(s.FindSectionOfAudioNumber(17), 2u);
  EXPECT_EQ(s.FindSectionOfAudioNumber(16), 24u);
  EXPECT_EQ(s.FindSectionOfAudioNumber(40), 24u);
  NameList sorted;
  s.GetSectionNamesSorted(sorted);
  EXPECT_EQ(sorted, (NameList{"Main A", "Fill In BA", "Intro A", "Ending B"}));
  CSmfStyleDecorator::RenameFillInBA(sorted);
  EXPECT_EQ(sorted[1], "Break Fill");

  const PartPresetSet presets{{9, 3}, {10, 2}, {2, 0}};
  ASSERT_EQ(s.ApplyPartPresets(0, presets), 0u);
  std::uint8_t b0 = 9;
  s.GetSection(1)->GetCtabList()[8]->GetB0(1, b0);
  EXPECT_EQ(b0, 1);                                  // (1,0,0)
  EXPECT_EQ(B1Of(*s.GetSection(1), 9, 1), 0x03);     // channel 10 mode 2: (0,3,0)
  EXPECT_EQ(B1Of(*s.GetSection(2), 9, 1), 0x81);     // second group: (0,1,1)
  EXPECT_EQ(s.ApplyPartPresets(3, presets), 0x80000001u);
  EXPECT_EQ(s.ApplyPartPresets(0, {}), 0x80000002u);
  ASSERT_EQ(s.SetSplitHighForParts(presets), 0u);
  std::uint8_t split = 0;
  s.GetSection(3)->GetCtabList()[8]->GetSplitHigh(split);
  EXPECT_EQ(split, 95);
  s.GetSection(3)->GetCtabList()[1]->GetSplitHigh(split);
  EXPECT_EQ(split, 127);

  s.GetSection(0)->SetNames({"Intro D", "Break"});
  ASSERT_EQ(s.KeepAudioSectionNames(), 0u);
  EXPECT_EQ(NamesOf(s).front(), "Dummy");
}
