#include <gtest/gtest.h>

#include <string>

#include "CTrk.h"
#include "CTrkDecorator.h"
#include "NoThrowAlloc.h"
#include "SmfBytes.h"

using namespace SmfBytes;

namespace {

CEvnt* Note(std::uint64_t time, int status, int key, int velocity, std::uint64_t duration = 0) {
  auto* e = new CEvnt;
  e->SetStatus(static_cast<std::uint8_t>(status));
  e->SetTime(time);
  e->SetShortData(static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(velocity));
  e->SetDuration(duration);
  return e;
}

CEvnt* Meta(std::uint64_t time, int type, const std::string& text = "") {
  auto* e = new CEvnt;
  e->SetStatus(0xFF);
  e->SetMetaType(static_cast<std::uint8_t>(type));
  e->SetTime(time);
  e->SetExData(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  return e;
}

std::vector<std::uint64_t> Times(const CTrk& t) {
  std::vector<std::uint64_t> out;
  for (const CEvnt* e : t.GetEventList()) {
    std::uint64_t v = 0;
    e->GetTime(v);
    out.push_back(v);
  }
  return out;
}

std::vector<std::string> MarkerTexts(const CTrk& t) {
  std::vector<std::string> out;
  for (const CEvnt* e : t.GetEventList()) {
    Bytes p;
    e->GetExData(p);
    out.emplace_back(p.begin(), p.end());
  }
  return out;
}

struct AllocationFailureGuard {
  ~AllocationFailureGuard() { NoThrowAlloc::FailAfter(0); }
};

}  // namespace

TEST(CEvnt, PayloadIsCopiedAndBoundedByTheCallersBuffer) {
  CEvnt e;
  const Bytes data = Text("hello");
  ASSERT_EQ(e.SetExData(data.data(), data.size()), 0u);
  std::uint8_t small[3];
  std::uint64_t len = 0;
  EXPECT_EQ(e.GetExData(small, sizeof small, len), 0x80000002u);
  EXPECT_EQ(len, 5u);
  std::uint8_t big[8] = {};
  EXPECT_EQ(e.GetExData(big, sizeof big, len), 0u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(big), len), "hello");
  EXPECT_EQ(e.GetExData(nullptr, 8, len), 0x80000001u);
  EXPECT_EQ(e.SetExData(nullptr, 2), 0x80000001u);

  CEvnt copy;
  copy = e;
  Bytes p;
  copy.GetExData(p);
  EXPECT_EQ(p, data);
  e.ClearExData();
  copy.GetExData(p);
  EXPECT_EQ(p, data);  // the copy owns its own bytes
}

TEST(CEvnt, PayloadThatCannotBeAllocatedLeavesItEmpty) {
  AllocationFailureGuard guard;
  CEvnt e;
  const Bytes data = Text("abc");
  e.SetExData(data.data(), data.size());
  NoThrowAlloc::FailAfter(1);
  EXPECT_EQ(e.SetExData(data.data(), data.size()), 0x80000003u);
  std::uint64_t n = 9;
  e.GetExDataSize(n);
  EXPECT_EQ(n, 0u);
}

TEST(CTrkInsertion, EqualTimesKeepInsertionOrderOrComeFirst) {
  CTrk after, before;
  for (int i = 0; i < 3; ++i) {
    after.InsertEvent(Note(10, 0x90, 60 + i, 1));
    before.InsertEventBeforeEqual(Note(10, 0x90, 60 + i, 1));
  }
  std::vector<int> a, b;
  for (const CEvnt* e : after.GetEventList()) a.push_back(View(*e).d0);
  for (const CEvnt* e : before.GetEventList()) b.push_back(View(*e).d0);
  EXPECT_EQ(a, (std::vector<int>{60, 61, 62}));
  EXPECT_EQ(b, (std::vector<int>{62, 61, 60}));
}

TEST(CTrkInsertion, EarliestGoesToTheFrontLatestToTheBack) {
  CTrk t;
  t.InsertEvent(Note(50, 0x90, 1, 1));
  t.InsertEvent(Note(100, 0x90, 1, 1));
  t.InsertEvent(Note(5, 0x90, 1, 1));
  t.InsertEventBeforeEqual(Note(200, 0x90, 1, 1));
  t.InsertEventBeforeEqual(Note(70, 0x90, 1, 1));
  EXPECT_EQ(Times(t), (std::vector<std::uint64_t>{5, 50, 70, 100, 200}));
  EXPECT_EQ(t.InsertEvent(nullptr), 0x80000001u);
  EXPECT_EQ(t.InsertEventBeforeEqual(nullptr), 0x80000001u);
  EXPECT_EQ(t.AppendEvent(nullptr), 0x80000001u);
}

TEST(CTrkRemoval, AnEventNotInTheTrackIsReportedNotFound) {
  CTrk t;
  CEvnt* a = Note(100, 0x90, 1, 1);
  CEvnt* b = Note(300, 0x90, 1, 1);
  t.AppendEvent(a);
  t.AppendEvent(b);
  CEvnt between;
  between.SetTime(200);
  CEvnt later;
  later.SetTime(400);
  EXPECT_EQ(t.RemoveEvent(&between), 0x80000004u);
  EXPECT_EQ(t.RemoveEvent(&later), 0x80000004u);
  EXPECT_EQ(t.GetEventList().size(), 2u);
  EXPECT_EQ(t.RemoveEvent(a), 0u);
  EXPECT_EQ(Times(t), (std::vector<std::uint64_t>{300}));
  EXPECT_EQ(t.RemoveEvent(nullptr), 0x80000001u);
  CTrk empty;
  EXPECT_EQ(empty.RemoveEvent(&later), 0x80000004u);
}

TEST(CTrkEndOfTrack, RebuildLeavesOneAtTheLatestEnd) {
  CTrk t;
  t.AppendEvent(Meta(100, 0x2F));
  t.AppendEvent(Note(150, 0x90, 60, 100, 100));
  t.AppendEvent(Meta(200, 0x2F));
  ASSERT_EQ(t.RebuildEndOfTrack(), 0u);
  ASSERT_EQ(t.GetEventList().size(), 2u);
  const EventView last = View(*t.GetEventList().back());
  EXPECT_EQ(last.status, 0xFF);
  EXPECT_EQ(last.metaType, 0x2F);
  EXPECT_EQ(last.time, 250u);

  // A removed end of track still counts: the end never moves earlier.
  CTrk u;
  u.AppendEvent(Note(10, 0x90, 60, 100));
  u.AppendEvent(Meta(500, 0x2F));
  u.RebuildEndOfTrack();
  EXPECT_EQ(Times(u), (std::vector<std::uint64_t>{10, 500}));

  CTrk empty;
  ASSERT_EQ(empty.RebuildEndOfTrack(), 0u);
  ASSERT_EQ(empty.GetEventList().size(), 1u);
  EXPECT_EQ(View(*empty.GetEventList().front()).time, 0u);
}

TEST(CTrkSort, NoteOrderAtOneTick) {
  CTrk t;
  t.AppendEvent(Note(0, 0xB0, 7, 1));
  t.AppendEvent(Note(10, 0x90, 60, 100));
  t.AppendEvent(Note(10, 0x90, 60, 0));
  t.AppendEvent(Note(10, 0x80, 62, 0));
  t.AppendEvent(Note(5, 0xB0, 10, 1));
  t.AppendEvent(Note(5, 0xB0, 11, 1));
  ASSERT_EQ(t.SortByTimeAndNoteOrder(), 0u);
  std::vector<std::pair<int, int>> got;
  for (const CEvnt* e : t.GetEventList()) {
    const EventView v = View(*e);
    got.emplace_back(v.status, v.status == 0xB0 ? v.d0 : v.d1);
  }
  EXPECT_EQ(got, (std::vector<std::pair<int, int>>{{0xB0, 7}, {0xB0, 10}, {0xB0, 11}, {0x80, 0}, {0x90, 0}, {0x90, 100}}));

  CTrk s;
  s.AppendEvent(Note(20, 0x90, 1, 1));
  s.AppendEvent(Note(10, 0x90, 2, 1));
  s.AppendEvent(Note(20, 0x80, 3, 1));
  s.SortByTime();
  std::vector<int> keys;
  for (const CEvnt* e : s.GetEventList()) keys.push_back(View(*e).d0);
  EXPECT_EQ(keys, (std::vector<int>{2, 1, 3}));  // stable: the note-off stays after
  std::uint64_t last = 0;
  s.GetLastEventTime(last);
  EXPECT_EQ(last, 20u);
}

TEST(CTrkCopy, CopiesAreDeepAndMergeKeepsTimeOrder) {
  CTrk a;
  a.AppendEvent(Note(0, 0x90, 60, 100));
  a.AppendEvent(Meta(0, 0x06, "Main A"));
  a.AppendEvent(Meta(480, 0x2F));
  CTrk b;
  ASSERT_EQ(b.CopyFrom(a), 0u);
  EXPECT_EQ(Views(b), Views(a));

  CTrk c;
  c.AppendEvent(Note(240, 0x90, 64, 90));
  c.AppendEvent(Meta(960, 0x2F));
  ASSERT_EQ(b.Merge(c), 0u);
  EXPECT_EQ(Times(b), (std::vector<std::uint64_t>{0, 0, 240, 960}));
  EXPECT_EQ(View(*b.GetEventList().back()).metaType, 0x2F);
}

TEST(CTrkCopy, AnEventThatCannotBeAllocatedFailsTheCopyAndTheMerge) {
  AllocationFailureGuard guard;
  CTrk source;
  source.AppendEvent(Note(0, 0x90, 60, 100));
  source.AppendEvent(Note(10, 0x90, 62, 100));
  source.AppendEvent(Meta(20, 0x2F));

  CTrk target;
  target.AppendEvent(Note(5, 0xC0, 3, 0));
  NoThrowAlloc::FailAfter(2);  // the second event of the copy
  EXPECT_EQ(target.CopyFrom(source), 0x80000001u);
  ASSERT_EQ(target.GetEventList().size(), 1u);  // left as it was
  EXPECT_EQ(View(*target.GetEventList().front()).status, 0xC0);

  NoThrowAlloc::FailAfter(3);
  EXPECT_EQ(target.Merge(source), 0x80000001u);
  EXPECT_EQ(target.GetEventList().size(), 1u);

  // A payload that cannot be copied counts as a lost event too.
  CTrk withText;
  withText.AppendEvent(Meta(0, 0x06, "Intro A"));
  NoThrowAlloc::FailAfter(2);
  EXPECT_EQ(target.CopyFrom(withText), 0x80000001u);
}

TEST(CTrkDecorator, FormatMarkerIsFoundAddedAndReplaced) {
  CTrk t;
  t.AppendEvent(Meta(0, 0x06, "SFF3"));
  t.AppendEvent(Meta(0, 0x06, "SFF1x"));
  t.AppendEvent(Meta(0, 0x01, "SFF1"));
  t.AppendEvent(Meta(0, 0x06, "SFF2"));
  std::uint8_t text[4] = {};
  std::uint64_t size = 4;
  ASSERT_EQ(CTrkDecorator::GetFormatMarker(t, text, &size), 0u);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(text), 4), "SFF2");

  const Bytes sff1 = Text("SFF1");
  ASSERT_EQ(CTrkDecorator::ReplaceFormatMarker(t, sff1.data(), 4), 0u);
  EXPECT_EQ(MarkerTexts(t).back(), "SFF1");
  EXPECT_EQ(CTrkDecorator::ReplaceFormatMarker(t, sff1.data(), 3), 0x80000006u);
  size = 3;
  EXPECT_EQ(CTrkDecorator::GetFormatMarker(t, text, &size), 0x80000002u);

  CTrk empty;
  size = 4;
  EXPECT_EQ(CTrkDecorator::GetFormatMarker(empty, text, &size), 0u);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(CTrkDecorator::ReplaceFormatMarker(empty, sff1.data(), 4), 0x80000006u);
  ASSERT_EQ(CTrkDecorator::AddFormatMarker(empty, sff1.data(), 4), 0u);
  size = 4;
  CTrkDecorator::GetFormatMarker(empty, text, &size);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(CTrkDecorator::AddFormatMarker(empty, sff1.data(), 5), 0x80000001u);

  std::uint8_t kind = 9;
  EXPECT_EQ(CTrkDecorator::ClassifyFormatText(sff1.data(), 4, &kind), 0u);
  EXPECT_EQ(kind, 1);
  const Bytes sff2 = Text("SFF2x");
  CTrkDecorator::ClassifyFormatText(sff2.data(), 4, &kind);
  EXPECT_EQ(kind, 2);
  CTrkDecorator::ClassifyFormatText(sff2.data(), 5, &kind);
  EXPECT_EQ(kind, 0);
  EXPECT_EQ(CTrkDecorator::ClassifyFormatText(sff2.data(), 0, &kind), 0x80000001u);
}

TEST(CTrkDecorator, ShortSectionMarkerNamesAreExpanded) {
  CTrk t;
  for (const char* s : {"FAB", "MD", "Main A", "Intro D", "ID", "ED", "M", "Fill BA", "IC", "EB"}) {
    t.AppendEvent(Meta(0, 0x06, s));
  }
  t.AppendEvent(Meta(0, 0x01, "MA"));  // not a marker
  ASSERT_EQ(CTrkDecorator::ExpandSectionMarkerNames(t), 0u);
  EXPECT_EQ(MarkerTexts(t), (std::vector<std::string>{"Fill In AB", "Main D", "Main A", "Intro D", "ID", "ED", "M",
                                                      "Fill In BA", "Intro C", "Ending B", "MA"}));
}
