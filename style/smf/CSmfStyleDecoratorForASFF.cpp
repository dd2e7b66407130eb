#include "CSmfStyleDecoratorForASFF.h"

#include <algorithm>

#include "SectionNames.h"

namespace {

// The code GetMarkerSection gives for a text that names no section.
constexpr ResultCode kNotASectionName = Result::nest(4, Result::fail(2));

}  // namespace

ResultCode CSmfStyleDecoratorForASFF::SetFirstMetaPayload(std::uint8_t type, const std::uint8_t* bytes,
                                                          std::uint64_t n) {
  EventPtrList events;
  ResultCode rc = FindMetaEvents(type, events);
  if (Result::failed(rc)) return Result::nest(1, rc);
  if (events.empty()) return Result::fail(2);
  if (!events.front()) return Result::fail(3);
  rc = events.front()->SetExData(bytes, n);
  return Result::failed(rc) ? Result::nest(4, rc) : Result::kOk;
}

ResultCode CSmfStyleDecoratorForASFF::SetTempo(std::uint64_t v) {
  const std::uint8_t bytes[3] = {static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
                                 static_cast<std::uint8_t>(v)};
  return SetFirstMetaPayload(MetaType::kTempo, bytes, sizeof bytes);
}

ResultCode CSmfStyleDecoratorForASFF::SetTimeSignature(std::uint64_t v) {
  const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                                 static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
  return SetFirstMetaPayload(MetaType::kTimeSignature, bytes, sizeof bytes);
}

ResultCode CSmfStyleDecoratorForASFF::FindSectionMarker(std::uint8_t id, CTrk** track, CEvnt** marker) const {
  if (tracks_.empty()) return Result::fail(1);
  for (CTrk* t : tracks_) {
    if (!t) return Result::fail(3);
    for (CEvnt* e : t->GetEventList()) {
      if (!e) return Result::fail(4);
      std::uint8_t status = 0, type = 0;
      ResultCode rc = e->GetStatus(status);
      if (Result::failed(rc)) return Result::nest(3, rc);
      if (status != EventStatus::kMeta) continue;
      rc = e->GetMetaType(type);
      if (Result::failed(rc)) return Result::nest(4, rc);
      if (type != MetaType::kMarker) continue;
      std::uint8_t found = kStyleIdNone;
      rc = GetMarkerSection(e, &found);
      if (rc == kNotASectionName) continue;
      if (Result::failed(rc)) return Result::nest(5, rc);
      // An empty marker names no section either, whatever id is asked for.
      if (found == kStyleIdNone) continue;
      if (found == id) {
        *track = t;
        *marker = e;
        return Result::kOk;
      }
    }
  }
  return Result::fail(2);
}

ResultCode CSmfStyleDecoratorForASFF::MoveSectionMarker(std::uint8_t id, std::uint64_t tick) {
  CTrk* track = nullptr;
  CEvnt* marker = nullptr;
  const ResultCode rc = FindSectionMarker(id, &track, &marker);
  if (Result::failed(rc)) return rc;
  marker->SetTime(tick);
  ExtendEndOfTrack(tick);
  track->SortByTime();
  return Result::kOk;
}

ResultCode CSmfStyleDecoratorForASFF::RemoveSectionMarker(std::uint8_t id) {
  CTrk* track = nullptr;
  CEvnt* marker = nullptr;
  const ResultCode rc = FindSectionMarker(id, &track, &marker);
  if (Result::failed(rc)) return rc;
  track->RemoveEvent(marker);
  return Result::kOk;
}

ResultCode CSmfStyleDecoratorForASFF::ExtendEndOfTrack(std::uint64_t tick) {
  if (tracks_.empty()) return Result::fail(1);
  for (CTrk* t : tracks_) {
    if (!t) return Result::fail(3);
    if (t->GetEventList().empty() || !t->GetEventList().back()) return Result::fail(4);
    CEvnt* last = t->GetEventList().back();
    std::uint8_t status = 0, type = 0;
    ResultCode rc = last->GetStatus(status);
    if (Result::failed(rc)) return Result::nest(3, rc);
    if (status != EventStatus::kMeta) continue;
    rc = last->GetMetaType(type);
    if (Result::failed(rc)) return Result::nest(4, rc);
    if (type != MetaType::kEndOfTrack) continue;
    std::uint64_t time = 0;
    rc = last->GetTime(time);
    if (Result::failed(rc)) return Result::nest(5, rc);
    if (time < tick) {
      rc = last->SetTime(tick);
      return Result::failed(rc) ? Result::nest(6, rc) : Result::kOk;
    }
  }
  return Result::fail(2);
}

ResultCode CSmfStyleDecoratorForASFF::SetEndOfTrackTime(std::uint64_t tick) {
  if (tracks_.empty()) return Result::fail(1);
  for (CTrk* t : tracks_) {
    if (!t) return Result::fail(3);
    if (t->GetEventList().empty() || !t->GetEventList().back()) return Result::fail(4);
    CEvnt* last = t->GetEventList().back();
    std::uint8_t status = 0, type = 0;
    ResultCode rc = last->GetStatus(status);
    if (Result::failed(rc)) return Result::nest(3, rc);
    if (status != EventStatus::kMeta) continue;
    rc = last->GetMetaType(type);
    if (Result::failed(rc)) return Result::nest(4, rc);
    if (type != MetaType::kEndOfTrack) continue;
    // The end of track may not come before what it ends.
    for (const CEvnt* e : t->GetEventList()) {
      std::uint64_t time = 0;
      if (e && e != last && Result::succeeded(e->GetTime(time)) && time > tick) return Result::fail(7);
    }
    rc = last->SetTime(tick);
    return Result::failed(rc) ? Result::nest(5, rc) : Result::kOk;
  }
  return Result::fail(2);
}
