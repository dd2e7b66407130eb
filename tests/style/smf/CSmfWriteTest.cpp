#include <gtest/gtest.h>

#include <algorithm>

#include "CSmf.h"
#include "SmfBytes.h"

using namespace SmfBytes;

namespace {

CEvnt* SysEx(std::uint64_t time, int status, const Bytes& payload) {
  auto* e = new CEvnt;
  e->SetStatus(static_cast<std::uint8_t>(status));
  e->SetTime(time);
  e->SetExData(payload.data(), payload.size());
  return e;
}

// A two-track file with system exclusive, meta events and running status.
void FillTwoTracks(CSmf& smf) {
  CHead head;
  head.format = 1;
  head.trackCount = 2;
  head.division = 480;
  smf.SetHeader(head);
  auto* conductor = new CTrk;
  conductor->AppendEvent(MetaEvent(0, 0x03, Text("Conductor")));
  conductor->AppendEvent(MetaEvent(0, 0x51, Of({0x07, 0xA1, 0x20})));
  conductor->AppendEvent(MetaEvent(0, 0x58, Of({4, 2, 24, 8})));
  conductor->AppendEvent(MetaEvent(0, 0x06, Text("SFF2")));
  conductor->AppendEvent(MetaEvent(1920, 0x2F, {}));
  auto* music = new CTrk;
  music->AppendEvent(SysEx(0, 0xF0, Of({0x7E, 0x7F, 0x09, 0x01, 0xF7})));
  music->AppendEvent(ChannelEvent(0, 0xC0, 9, 25));
  music->AppendEvent(ChannelEvent(0, 0xB0, 9, 7, 100));
  music->AppendEvent(ChannelEvent(10, 0xB0, 9, 10, 64));
  music->AppendEvent(ChannelEvent(480, 0x90, 9, 36, 100));
  music->AppendEvent(ChannelEvent(600, 0x90, 9, 36, 0));
  music->AppendEvent(MetaEvent(700, 0x01, Text("text")));
  music->AppendEvent(ChannelEvent(960, 0x90, 9, 38, 90));
  music->AppendEvent(ChannelEvent(1000, 0xE0, 9, 0, 64));
  music->AppendEvent(ChannelEvent(1100, 0xA0, 9, 38, 5));
  music->AppendEvent(ChannelEvent(1200, 0xD0, 9, 30));
  music->AppendEvent(ChannelEvent(1440, 0x80, 9, 38, 64));
  music->AppendEvent(SysEx(1500, 0xF7, Of({0x43, 0x10})));
  music->AppendEvent(MetaEvent(1920, 0x2F, {}));
  smf.AddTrack(conductor);
  smf.AddTrack(music);
}

}  // namespace

TEST(CSmfWrite, RunningStatusOmitsRepeatedStatusBytes) {
  CSmf smf;
  CTrk t;
  t.AppendEvent(ChannelEvent(0, 0x90, 0, 0x3C, 0x64));
  t.AppendEvent(ChannelEvent(96, 0x90, 0, 0x3C, 0x00));
  Bytes out;
  ASSERT_EQ(smf.WriteTrackEvents(out, &t), 0u);
  EXPECT_EQ(out, Of({0x00, 0x90, 0x3C, 0x64, 0x60, 0x3C, 0x00}));

  CTrk withMeta;
  withMeta.AppendEvent(ChannelEvent(0, 0x90, 0, 0x3C, 0x64));
  withMeta.AppendEvent(MetaEvent(10, 0x01, {}));
  withMeta.AppendEvent(ChannelEvent(96, 0x90, 0, 0x3C, 0x00));
  out.clear();
  ASSERT_EQ(smf.WriteTrackEvents(out, &withMeta), 0u);
  EXPECT_EQ(out, Of({0x00, 0x90, 0x3C, 0x64, 0x0A, 0xFF, 0x01, 0x00, 0x56, 0x90, 0x3C, 0x00}));
  EXPECT_EQ(smf.GetRunningStatusFlag(), 1);
}

TEST(CSmfWrite, EventsOutOfTimeOrderAreRefused) {
  CSmf smf;
  CTrk t;
  t.AppendEvent(ChannelEvent(0, 0x90, 0, 60, 1));
  t.AppendEvent(ChannelEvent(96, 0x90, 0, 61, 1));
  t.AppendEvent(ChannelEvent(48, 0x90, 0, 62, 1));
  Bytes out;
  EXPECT_EQ(smf.WriteTrackEvents(out, &t), 0x80000003u);
  Bytes file;
  smf.AddTrack(new CTrk);
  smf.GetTrack(0)->CopyFrom(t);
  EXPECT_EQ(smf.Serialize(file), Result::nest(4, Result::nest(2, Result::nest(4, Result::fail(3)))));
}

TEST(CSmfWrite, StatusesThatHaveNoByteFormAreRefused) {
  CSmf smf;
  for (CEvnt* bad : {ChannelEvent(0, 0x91, 0, 1, 1), ChannelEvent(0, 0xF1, 0, 1, 1), ChannelEvent(0, 0x90, 16, 1, 1),
                     ChannelEvent(0, 0x40, 0, 1, 1)}) {
    CTrk t;
    t.AppendEvent(bad);
    Bytes out;
    EXPECT_EQ(smf.WriteTrackEvents(out, &t), Result::nest(4, Result::fail(9)));
  }
}

TEST(CSmfWrite, HeaderCarriesTheRealNumberOfTracks) {
  CSmf smf;
  CHead head;
  head.format = 1;
  head.trackCount = 5;
  head.division = 960;
  smf.SetHeader(head);
  smf.AddTrack(new CTrk);
  Bytes out;
  ASSERT_EQ(smf.Serialize(out), 0u);
  EXPECT_EQ(out, Cat({MThd(1, 1, 960), Chunk("MTrk", {})}));
  EXPECT_EQ(smf.GetHeader().trackCount, 5);  // the stored header is not touched

  CSmf none;
  EXPECT_EQ(none.Serialize(out), Result::nest(4, Result::fail(1)));
}

TEST(CSmfWrite, ParseSerializeParseGivesTheSameEventsAndBytes) {
  CSmf original;
  FillTwoTracks(original);
  Bytes first;
  ASSERT_EQ(original.Serialize(first), 0u);

  CSmf reread;
  ASSERT_EQ(reread.Load(first), 0u);
  ASSERT_EQ(reread.GetTracks().size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(Views(*reread.GetTrack(i)), Views(*original.GetTrack(i))) << "track " << i;
  }
  Bytes second;
  ASSERT_EQ(reread.Serialize(second), 0u);
  EXPECT_EQ(second, first);

  // Spot checks of the encoding: running status inside the second track.
  const Bytes expectedStart = Of({0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7, 0x00, 0xC9, 25, 0x00, 0xB9, 7, 100,
                                  0x0A, 10, 64});
  auto it = std::search(first.begin(), first.end(), expectedStart.begin(), expectedStart.end());
  EXPECT_NE(it, first.end());
}

TEST(CSmfWrite, WritingUntilATimeCutsEachTrack) {
  CSmf smf;
  CTrk t;
  t.AppendEvent(MetaEvent(0, 0x03, Text("name")));
  t.AppendEvent(MetaEvent(0, 0x06, Text("Triplet 1")));
  t.AppendEvent(ChannelEvent(0, 0x90, 0, 60, 100));
  t.AppendEvent(ChannelEvent(100, 0x90, 0, 60, 0));
  t.AppendEvent(ChannelEvent(300, 0x90, 0, 62, 100));
  t.AppendEvent(MetaEvent(400, 0x2F, {}));
  Bytes out;
  ASSERT_EQ(smf.WriteTrackUntil(out, &t, 200), 0u);
  EXPECT_EQ(out, Chunk("MTrk", Of({0x00, 0x90, 60, 100, 0x64, 60, 0x00, 0x64, 0xFF, 0x2F, 0x00})));
  out.clear();
  ASSERT_EQ(smf.WriteTrackUntil(out, &t, 1000), 0u);  // ends with its own end of track
  EXPECT_EQ(out, Chunk("MTrk", Of({0x00, 0x90, 60, 100, 0x64, 60, 0x00, 0x81, 0x48, 62, 100, 0x64, 0xFF, 0x2F, 0x00})));
  EXPECT_EQ(smf.WriteTracksUntil(out, {}, 10), 0x80000001u);
  Bytes tail;
  smf.AppendEndOfTrack(tail);
  EXPECT_EQ(tail, Of({0x00, 0xFF, 0x2F, 0x00}));
}

TEST(CSmfTracks, MergeAndSplitByChannel) {
  CSmf smf;
  FillTwoTracks(smf);
  ASSERT_EQ(smf.MergeTracks(), 0u);
  ASSERT_EQ(smf.GetTracks().size(), 1u);
  const auto merged = Views(*smf.GetTrack(0));
  EXPECT_EQ(merged.size(), 4u + 13u + 1u);
  int ends = 0;
  for (std::size_t i = 1; i < merged.size(); ++i) EXPECT_LE(merged[i - 1].time, merged[i].time);
  for (const auto& v : merged) ends += (v.status == 0xFF && v.metaType == 0x2F);
  EXPECT_EQ(ends, 1);

  ASSERT_EQ(smf.SplitTracksByChannel(), 0u);
  ASSERT_EQ(smf.GetTracks().size(), 2u);  // channel 0 (meta, sysex) and channel 9
  for (const auto& v : Views(*smf.GetTrack(1))) EXPECT_EQ(v.channel, 9);
  EXPECT_EQ(Views(*smf.GetTrack(1)).size(), 10u);

  CTrk* first = smf.GetTrack(0);
  EXPECT_EQ(smf.RemoveTrack(first), 0u);
  EXPECT_EQ(smf.RemoveTrack(first), 0x80000001u);
  EXPECT_EQ(smf.AddTrack(nullptr), 0x80000001u);
  ASSERT_EQ(smf.Reset(), 0u);
  EXPECT_TRUE(smf.GetTracks().empty());
  EXPECT_EQ(smf.GetHeader().division, 480);
  EXPECT_EQ(smf.MergeTracks(), 0x80000001u);
}

TEST(CSmfWrite, ADataByteWithBitSevenKeepsItsStatusByte) {
  // Such bytes are read as they stand; written behind running status they
  // would read back as a new status.
  const Bytes body = Of({0x00, 0x90, 0x3C, 0x64, 0x00, 0x90, 0x80, 0x10, 0x00, 0xFF, 0x2F, 0x00});
  const Bytes file = Cat({MThd(0, 1, 480), Chunk("MTrk", body)});
  CSmf smf;
  ASSERT_EQ(smf.Load(file), 0u);
  Bytes out;
  ASSERT_EQ(smf.Serialize(out), 0u);
  EXPECT_EQ(out, file);
}
