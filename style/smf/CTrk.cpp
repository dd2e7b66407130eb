#include "CTrk.h"

#include <vector>

#include "NoThrowAlloc.h"

namespace {

// Copies of the non-null events of `source`, or 1 when one cannot be made
// (then `copies` is empty).
ResultCode CopyEvents(const EventList& source, EventList& copies) {
  for (const CEvnt* e : source) {
    if (!e) continue;
    CEvnt* copy = NoThrowAlloc::TryNew<CEvnt>();
    if (!copy || Result::failed(copy->CopyFrom(*e))) {
      delete copy;
      CTrk::ClearEventList(copies);
      return Result::fail(1);
    }
    copies.push_back(copy);
  }
  return Result::kOk;
}

// A null entry sorts as time 0 so that the sort order stays consistent.
std::uint64_t TimeOf(const CEvnt* e) {
  std::uint64_t t = 0;
  if (e) e->GetTime(t);
  return t;
}

}  // namespace

CTrk::~CTrk() { ClearEventList(events_); }

CTrk& CTrk::operator=(const CTrk& other) {
  CopyFrom(other);
  return *this;
}

ResultCode CTrk::CopyFrom(const CTrk& other) {
  if (this == &other) return Result::kOk;
  EventList copies;
  if (Result::failed(CopyEvents(other.events_, copies))) return Result::fail(1);
  ClearEventList(events_);
  events_.swap(copies);
  return Result::kOk;
}

ResultCode CTrk::Merge(const CTrk& other) {
  EventList copies;
  if (Result::failed(CopyEvents(other.events_, copies))) return Result::fail(1);
  while (!copies.empty()) {
    CEvnt* e = copies.front();
    copies.pop_front();
    const ResultCode rc = InsertEvent(e);
    if (Result::failed(rc)) {
      delete e;
      ClearEventList(copies);
      return Result::nest(2, rc);
    }
  }
  const ResultCode rc = RebuildEndOfTrack();
  if (Result::failed(rc)) return Result::nest(3, rc);
  const ResultCode sorted = SortByTime();
  if (Result::failed(sorted)) return Result::nest(4, sorted);
  return Result::kOk;
}

ResultCode CTrk::Clear() { return ClearEventList(events_); }

ResultCode CTrk::ClearEventList(EventList& list) {
  for (CEvnt* e : list) delete e;
  list.clear();
  return Result::kOk;
}

ResultCode CTrk::AppendEvent(CEvnt* event) {
  if (!event) return Result::fail(1);
  events_.push_back(event);
  return Result::kOk;
}

ResultCode CTrk::InsertEvent(CEvnt* event) {
  if (!event) return Result::fail(1);
  const std::uint64_t t = TimeOf(event);
  for (auto it = events_.end(); it != events_.begin();) {
    --it;
    if (!*it) return Result::fail(3);
    if (TimeOf(*it) <= t) {
      events_.insert(std::next(it), event);
      return Result::kOk;
    }
  }
  events_.push_front(event);
  return Result::kOk;
}

ResultCode CTrk::InsertEventBeforeEqual(CEvnt* event) {
  if (!event) return Result::fail(1);
  const std::uint64_t t = TimeOf(event);
  for (auto it = events_.begin(); it != events_.end(); ++it) {
    if (!*it) return Result::fail(3);
    if (TimeOf(*it) >= t) {
      events_.insert(it, event);
      return Result::kOk;
    }
  }
  events_.push_back(event);
  return Result::kOk;
}

ResultCode CTrk::RemoveEvent(CEvnt* event) {
  if (!event) return Result::fail(1);
  for (auto it = events_.begin(); it != events_.end(); ++it) {
    if (!*it) return Result::fail(2);
    if (*it == event) {
      events_.erase(it);
      delete event;
      return Result::kOk;
    }
  }
  return Result::fail(4);
}

ResultCode CTrk::RebuildEndOfTrack() {
  const std::vector<CEvnt*> snapshot(events_.begin(), events_.end());
  std::uint64_t end = 0;
  for (CEvnt* e : snapshot) {
    if (!e) continue;
    std::uint8_t status = 0;
    std::uint64_t time = 0;
    ResultCode rc = e->GetStatus(status);
    if (Result::failed(rc)) return Result::nest(1, rc);
    rc = e->GetTime(time);
    if (Result::failed(rc)) return Result::nest(2, rc);
    std::uint64_t candidate = time;
    if (status == EventStatus::kNoteOn) {
      std::uint64_t duration = 0;
      rc = e->GetDuration(duration);
      if (Result::failed(rc)) return Result::nest(3, rc);
      candidate = time + duration;
    }
    if (candidate > end) end = candidate;
    if (status == EventStatus::kMeta) {
      std::uint8_t type = 0;
      rc = e->GetMetaType(type);
      if (Result::failed(rc)) return Result::nest(4, rc);
      if (type == MetaType::kEndOfTrack) {
        rc = RemoveEvent(e);
        if (Result::failed(rc)) return Result::nest(5, rc);
      }
    }
  }
  CEvnt* eot = NoThrowAlloc::TryNew<CEvnt>();
  if (!eot) return Result::fail(10);
  eot->SetStatus(EventStatus::kMeta);
  eot->SetMetaType(MetaType::kEndOfTrack);
  eot->SetTime(end);
  const ResultCode rc = InsertEvent(eot);
  if (Result::failed(rc)) {
    delete eot;
    return Result::nest(11, rc);
  }
  return Result::kOk;
}

ResultCode CTrk::SortByTime() {
  events_.sort([](const CEvnt* a, const CEvnt* b) { return TimeOf(a) < TimeOf(b); });
  return Result::kOk;
}

ResultCode CTrk::SortByTimeAndNoteOrder() {
  events_.sort([](const CEvnt* a, const CEvnt* b) {
    const std::uint64_t ta = TimeOf(a), tb = TimeOf(b);
    if (ta != tb) return ta < tb;
    if (!a || !b) return false;
    std::uint8_t sa = 0, sb = 0;
    a->GetStatus(sa);
    b->GetStatus(sb);
    const auto isNote = [](std::uint8_t s) {
      return s == EventStatus::kNoteOff || s == EventStatus::kNoteOn;
    };
    if (!isNote(sa) || !isNote(sb)) return false;
    if (sa != sb) return sa == EventStatus::kNoteOff;
    if (sa == EventStatus::kNoteOn) {
      std::uint8_t da[4], db[4];
      a->GetShortData(da);
      b->GetShortData(db);
      return da[1] == 0 && db[1] != 0;
    }
    return false;
  });
  return Result::kOk;
}

ResultCode CTrk::GetLastEventTime(std::uint64_t& ticks) const {
  if (events_.empty() || !events_.back()) return Result::kOk;
  return events_.back()->GetTime(ticks);
}
