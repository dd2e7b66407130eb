#include <gtest/gtest.h>

#include <vector>

#include "AudioTestSupport.h"
#include "CAMixData.h"
#include "CAtabData.h"
#include "CSmf.h"
#include "NoThrowAlloc.h"

using namespace AudioTest;

namespace {

// (status, meta type or first data byte, payload or second data byte) of
// every event, for comparing track contents.
struct Ev {
  int status, kind, value;
  Bytes payload;
  bool operator==(const Ev& o) const {
    return status == o.status && kind == o.kind && value == o.value && payload == o.payload;
  }
};

std::vector<Ev> Events(const CAMixData& mix) {
  std::vector<Ev> out;
  for (const CEvnt* e : mix.GetTrack()->GetEventList()) {
    std::uint8_t s = 0, m = 0, d[4];
    e->GetStatus(s);
    e->GetMetaType(m);
    e->GetShortData(d);
    Ev ev{s, s == 0xFF ? m : d[0], s == 0xFF ? 0 : d[1], {}};
    e->GetExData(ev.payload);
    out.push_back(ev);
  }
  return out;
}

const Bytes kTimeSignature = Of({4, 2, 24, 8});

}  // namespace

TEST(AMixTrack, SectionMixEncodesToTheDocumentedBytes) {
  CAMixData mix;
  ASSERT_EQ(mix.ResetTrack(), 0u);
  ASSERT_EQ(mix.SetTimeSignature(kTimeSignature.data(), 4), 0u);
  ASSERT_EQ(mix.SetVolume(100), 0u);
  ASSERT_EQ(mix.SetPan(64), 0u);
  ASSERT_EQ(mix.SetEffectDepth(40), 0u);
  ASSERT_EQ(mix.EnsureEndOfTrack(), 0u);
  // The AMix body: resolution 1920, then the track's events with running status.
  CSmf encoder;
  Bytes body = Of({0x07, 0x80});
  ASSERT_EQ(encoder.WriteTrackEvents(body, mix.GetTrack()), 0u);
  EXPECT_EQ(body, Of({0x07, 0x80, 0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08, 0x00, 0xB0, 0x07, 0x64, 0x00, 0x0A,
                      0x40, 0x00, 0x5B, 0x28, 0x00, 0xFF, 0x2F, 0x00}));
  // A second end of track is never added.
  ASSERT_EQ(mix.EnsureEndOfTrack(), 0u);
  EXPECT_EQ(mix.GetTrack()->GetEventList().size(), 5u);
}

TEST(AMixTrack, ReplacingValuesKeepsOneEventEachAndTheEndLast) {
  CAMixData mix;
  mix.ResetTrack();
  mix.SetTimeSignature(kTimeSignature.data(), 4);
  mix.SetPan(64);
  mix.EnsureEndOfTrack();
  // A payload of another length replaces the time signature instead of adding one.
  const Bytes five = Of({3, 2, 24, 8, 0});
  ASSERT_EQ(mix.SetTimeSignature(five.data(), 5), 0u);
  ASSERT_EQ(mix.SetPan(20), 0u);
  // A controller the track lacks goes before the closing end of track.
  ASSERT_EQ(mix.SetVolume(90), 0u);
  const std::vector<Ev> expected = {
      {0xFF, 0x58, 0, five}, {0xB0, 10, 20, {}}, {0xB0, 7, 90, {}}, {0xFF, 0x2F, 0, {}}};
  EXPECT_EQ(Events(mix), expected);

  std::uint8_t value = 1;
  EXPECT_EQ(mix.GetVolume(value), 0u);
  EXPECT_EQ(value, 90);
  EXPECT_EQ(mix.GetEffectDepth(value), Result::nest(1, Result::fail(5)));
  EXPECT_EQ(value, 0);

  Bytes buffer(8, 0xEE);
  std::uint64_t n = 8;
  ASSERT_EQ(mix.GetTimeSignature(buffer.data(), n), 0u);
  EXPECT_EQ(n, 5u);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 5), five);
  n = 4;
  ASSERT_EQ(mix.GetTimeSignature(buffer.data(), n), 0u);
  EXPECT_EQ(n, 4u);
  n = 2;
  EXPECT_EQ(mix.GetTimeSignature(buffer.data(), n), 0x80000001u);
}

TEST(AMixTrack, DuplicateTimeSignaturesAtTheStartAreMerged) {
  CAMixData mix;
  mix.ResetTrack();
  for (int i = 0; i < 2; ++i) {
    CEvnt* e = new CEvnt;
    e->SetStatus(0xFF);
    e->SetMetaType(0x58);
    e->SetExData(kTimeSignature.data(), 4);
    mix.GetTrack()->AppendEvent(e);
  }
  const Bytes threeFour = Of({3, 2, 24, 8});
  ASSERT_EQ(mix.SetTimeSignature(threeFour.data(), 4), 0u);
  const std::vector<Ev> expected = {{0xFF, 0x58, 0, threeFour}};
  EXPECT_EQ(Events(mix), expected);
}

TEST(AMixTrack, MissingTrackAndBadArgumentsAreReported) {
  CAMixData mix;
  std::uint64_t n = 4;
  Bytes buffer(4);
  EXPECT_EQ(mix.SetTimeSignature(kTimeSignature.data(), 4), 0x80000002u);
  EXPECT_EQ(mix.SetTimeSignature(kTimeSignature.data(), 3), 0x80000001u);
  EXPECT_EQ(mix.GetTimeSignature(buffer.data(), n), 0x80000002u);
  EXPECT_EQ(mix.SetVolume(1), Result::nest(1, Result::fail(2)));
  EXPECT_EQ(mix.EnsureEndOfTrack(), 0x80000001u);
  EXPECT_EQ(mix.SetTrack(nullptr), 0x80000001u);
  EXPECT_EQ(CAMixData::DeleteTrack(nullptr), 0x80000001u);
  // An empty track has no time signature to give: nothing copied.
  mix.ResetTrack();
  buffer.assign(4, 0xEE);
  EXPECT_EQ(mix.GetTimeSignature(buffer.data(), n), 0u);
  EXPECT_EQ(buffer, Of({0xEE, 0xEE, 0xEE, 0xEE}));
}

TEST(AMixTrack, SetTrackAndCopiesOwnTheirTracks) {
  CAMixData mix;
  mix.ResetTrack();
  mix.SetVolume(5);
  ASSERT_EQ(mix.SetTrack(new CTrk), 0u);  // the former track is deleted (checked by the leak checker)
  EXPECT_TRUE(mix.GetTrack()->GetEventList().empty());
  mix.SetVolume(7);

  CAMixData copy;
  copy = mix;
  ASSERT_NE(copy.GetTrack(), mix.GetTrack());
  EXPECT_EQ(Events(copy), Events(mix));
  CAMixData none;
  copy = none;  // a mix without track copies as an empty track
  ASSERT_NE(copy.GetTrack(), nullptr);
  EXPECT_TRUE(copy.GetTrack()->GetEventList().empty());

  // A copy that cannot allocate reports it and keeps the track it had.
  NoThrowAlloc::FailAfter(1);
  EXPECT_EQ(copy.CopyTrackFrom(mix), 0x80000001u);
  NoThrowAlloc::FailAfter(0);
  EXPECT_TRUE(copy.GetTrack()->GetEventList().empty());
}

TEST(AtabTable, AResetToAnUnknownChannelChangesNothing) {
  CAtabData t;
  EXPECT_EQ(t.Reset(16), 0x80000002u);
  EXPECT_EQ(t, CAtabData());
}

TEST(AtabTable, GroupsPadAndPairsRaiseTheirCount) {
  CAtabData t;
  const Bytes pad = Text("Pad");
  ASSERT_EQ(t.SetName(pad.data(), 3), 0u);
  std::uint8_t name[8];
  std::uint64_t n = 8;
  t.GetName(name, n);
  EXPECT_EQ(Bytes(name, name + 8), Text("Pad     "));
  ASSERT_EQ(t.SetBlock(pad.data(), 3), 0u);
  Bytes block(60, 0xEE);
  n = 60;
  t.GetBlock(block.data(), n);
  EXPECT_EQ(n, 50u);
  EXPECT_EQ(Bytes(block.begin(), block.begin() + 50), NameRecord("Pad"));
  EXPECT_EQ(t.SetBlock(nullptr, 3), 0x80000001u);

  std::uint8_t count = 9;
  t.GetPairCount(count);
  EXPECT_EQ(count, 0);
  ASSERT_EQ(t.SetPairSecond(2, 9), 0u);
  t.GetPairCount(count);
  EXPECT_EQ(count, 3);
  t.SetPairFirst(0, 1);
  t.GetPairCount(count);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(t.SetPairFirst(4, 1), 0x80000001u);
  EXPECT_EQ(t.SetB3(3, 1), 0x80000001u);

  CAtabData copy;
  copy.CopyFrom(t);
  EXPECT_EQ(copy, t);
}
