#include <gtest/gtest.h>

#include "CSmf.h"
#include "NoThrowAlloc.h"
#include "SmfBytes.h"

using namespace SmfBytes;

namespace {

// Parses one MTrk body behind a format-0 header.
std::vector<EventView> ParseTrack(const Bytes& body, ResultCode* code = nullptr) {
  CSmf smf;
  const Bytes file = Cat({MThd(0, 1, 480), Chunk("MTrk", body)});
  const ResultCode rc = smf.Parse(file.data(), file.size());
  if (code) *code = rc;
  if (smf.GetTracks().empty()) return {};
  return Views(*smf.GetTrack(0));
}

EventView Channel(std::uint64_t time, int status, int channel, int d0, int d1) {
  return EventView{time, status, channel, 0, d0, d1, {}};
}

EventView EndOfTrack(std::uint64_t time) { return EventView{time, 0xFF, 0, 0x2F, 0, 0, {}}; }

}  // namespace

TEST(CSmfRead, HeaderAndTwoTracks) {
  const Bytes file = Cat({Text("MThd"), Of({0, 0, 0, 6, 0x00, 0x01, 0x00, 0x02, 0x01, 0xE0}),
                          Chunk("MTrk", Of({0x00, 0xFF, 0x2F, 0x00})),
                          Chunk("MTrk", Of({0x00, 0x91, 0x40, 0x50, 0x00, 0xFF, 0x2F, 0x00}))});
  CSmf smf;
  ASSERT_EQ(smf.Load(file), 0u);
  EXPECT_EQ(smf.GetHeader().format, 1);
  EXPECT_EQ(smf.GetHeader().trackCount, 2);
  EXPECT_EQ(smf.GetHeader().division, 480);
  ASSERT_EQ(smf.GetTracks().size(), 2u);
  EXPECT_EQ(Views(*smf.GetTrack(1)), (std::vector<EventView>{Channel(0, 0x90, 1, 0x40, 0x50), EndOfTrack(0)}));
  EXPECT_EQ(smf.GetTrack(2), nullptr);
}

TEST(CSmfRead, HeaderMustHoldSixBytes) {
  CSmf smf;
  const Bytes seven = Cat({Text("MThd"), Of({0, 0, 0, 7, 0, 1, 0, 2, 1, 0xE0, 0})});
  EXPECT_EQ(smf.Parse(seven.data(), seven.size()), Result::nest(6, Result::fail(3)));
  const Bytes cut = Cat({Text("MThd"), Of({0, 0, 0, 6, 0, 1, 0, 2})});
  EXPECT_EQ(smf.Parse(cut.data(), cut.size()), Result::nest(6, Result::fail(3)));
  EXPECT_EQ(smf.Parse(nullptr, 4), 0x80000001u);
  EXPECT_EQ(smf.Load({}), 0x80000001u);
}

TEST(CSmfRead, RunningStatusAndTheKeptEndOfTrack) {
  EXPECT_EQ(ParseTrack(Of({0x00, 0x90, 0x3C, 0x64, 0x60, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00})),
            (std::vector<EventView>{Channel(0, 0x90, 0, 0x3C, 0x64), Channel(96, 0x90, 0, 0x3C, 0x00), EndOfTrack(96)}));
}

TEST(CSmfRead, AnEarlyEndOfTrackIsDroppedAndANewOneCloses) {
  ResultCode rc = 1;
  EXPECT_EQ(ParseTrack(Of({0x00, 0xFF, 0x2F, 0x00, 0x00, 0x90, 0x3C, 0x64}), &rc),
            (std::vector<EventView>{Channel(0, 0x90, 0, 0x3C, 0x64), EndOfTrack(0)}));
  EXPECT_EQ(rc, 0u);
  // No end of track at all: one is added at the last event's time.
  EXPECT_EQ(ParseTrack(Of({0x10, 0xC3, 0x05})),
            (std::vector<EventView>{Channel(16, 0xC0, 3, 5, 0), EndOfTrack(16)}));
}

TEST(CSmfRead, RunningStatusSurvivesMetaAndSysEx) {
  const auto events = ParseTrack(Of({0x00, 0x90, 0x3C, 0x64, 0x00, 0xFF, 0x01, 0x00, 0x00, 0x3E, 0x64,
                                     0x00, 0xF0, 0x03, 0x7E, 0x7F, 0xF7, 0x00, 0x40, 0x00}));
  ASSERT_EQ(events.size(), 6u);
  EXPECT_EQ(events[1], (EventView{0, 0xFF, 0, 0x01, 0, 0, {}}));
  EXPECT_EQ(events[2], Channel(0, 0x90, 0, 0x3E, 0x64));
  EXPECT_EQ(events[3], (EventView{0, 0xF0, 0, 0, 0, 0, Of({0x7E, 0x7F, 0xF7})}));
  EXPECT_EQ(events[4], Channel(0, 0x90, 0, 0x40, 0x00));
}

TEST(CSmfRead, StatusBytesThatAreNotAllowedFail) {
  ResultCode rc = 0;
  auto events = ParseTrack(Of({0x00, 0x3C, 0x64}), &rc);
  EXPECT_EQ(rc, Result::nest(7, Result::nest(5, Result::fail(10))));
  EXPECT_EQ(events, (std::vector<EventView>{EndOfTrack(0)}));  // closed all the same
  ParseTrack(Of({0x00, 0xF1, 0x00}), &rc);
  EXPECT_EQ(rc, Result::nest(7, Result::nest(5, Result::fail(10))));
}

TEST(CSmfRead, EveryReadIsBoundedByTheTrackChunk) {
  // A meta payload that runs out of its chunk into the next one fails
  // instead of swallowing the next chunk's bytes.
  const Bytes file = Cat({MThd(0, 2, 480), Chunk("MTrk", Of({0x00, 0xFF, 0x01, 0x05, 'a', 'b'})),
                          Chunk("MTrk", Of({0x00, 0xFF, 0x2F, 0x00}))});
  CSmf smf;
  const ResultCode rc = smf.Parse(file.data(), file.size());
  EXPECT_EQ(rc, Result::nest(7, Result::nest(5, Result::nest(5, Result::fail(4)))));
  ASSERT_EQ(smf.GetTracks().size(), 1u);
  EXPECT_EQ(Views(*smf.GetTrack(0)), (std::vector<EventView>{EndOfTrack(0)}));

  // A note whose data bytes lie past the chunk end.
  ResultCode code = 0;
  ParseTrack(Of({0x00, 0x90, 0x3C}), &code);
  EXPECT_EQ(code, Result::nest(7, Result::nest(5, Result::nest(7, Result::fail(2)))));
  // A delta time that does not end inside the chunk.
  ParseTrack(Of({0x00, 0x90, 0x3C, 0x10, 0x81}), &code);
  EXPECT_EQ(code, Result::nest(7, Result::nest(5, Result::nest(3, Result::fail(2)))));
}

TEST(CSmfRead, TruncatedFilesAreNotTakenAsComplete) {
  const Bytes whole = Cat({MThd(0, 1, 480), Chunk("MTrk", Of({0x00, 0x90, 0x3C, 0x64, 0x00, 0xFF, 0x2F, 0x00}))});
  for (std::size_t cut = 15; cut < whole.size(); ++cut) {
    CSmf smf;
    const Bytes part(whole.begin(), whole.begin() + static_cast<long>(cut));
    EXPECT_TRUE(Result::failed(smf.Parse(part.data(), part.size()))) << "cut at " << cut;
  }
  // A skipped chunk whose size runs past the end fails as well.
  const Bytes skipped = Cat({MThd(0, 0, 480), Text("MHhd"), Of({0, 0, 0, 9, 1, 2})});
  CSmf smf;
  EXPECT_EQ(smf.Parse(skipped.data(), skipped.size()), Result::nest(9, Result::fail(3)));
}

TEST(CSmfRead, UnknownChunkFailsWhileAKnownForeignOneIsSkipped) {
  const Bytes track = Chunk("MTrk", Of({0x00, 0xFF, 0x2F, 0x00}));
  const Bytes known = Cat({MThd(0, 1, 96), Chunk("MHhd", Of({1, 2, 3})), track});
  CSmf smf;
  EXPECT_EQ(smf.Parse(known.data(), known.size()), 0u);
  EXPECT_EQ(smf.GetTracks().size(), 1u);
  EXPECT_EQ(smf.GetHeader().division, 96);

  const Bytes unknown = Cat({MThd(0, 1, 96), Chunk("XXXX", Of({1, 2, 3})), track});
  EXPECT_EQ(smf.Parse(unknown.data(), unknown.size()), Result::nest(5, Result::fail(3)));
  EXPECT_TRUE(smf.GetTracks().empty());  // the old tracks went at the start of the parse
}

TEST(CSmfRead, NoChunkOrderIsRequired) {
  const Bytes file = Cat({Chunk("MTrk", Of({0x00, 0xFF, 0x2F, 0x00})), MThd(1, 5, 120), MThd(0, 7, 240)});
  CSmf smf;
  ASSERT_EQ(smf.Parse(file.data(), file.size()), 0u);
  EXPECT_EQ(smf.GetTracks().size(), 1u);
  EXPECT_EQ(smf.GetHeader().trackCount, 7);
  EXPECT_EQ(smf.GetHeader().division, 240);
}

TEST(CSmfRead, AnEventThatCannotBeAllocatedFailsTheTrack) {
  const Bytes file = Cat({MThd(0, 1, 480), Chunk("MTrk", Of({0x00, 0x90, 0x3C, 0x64, 0x00, 0xFF, 0x2F, 0x00}))});
  CSmf smf;
  NoThrowAlloc::FailAfter(2);  // the track, then the note
  const ResultCode rc = smf.Parse(file.data(), file.size());
  NoThrowAlloc::FailAfter(0);
  EXPECT_EQ(rc, Result::nest(7, Result::nest(5, Result::nest(7, Result::fail(5)))));
}
