#include "CAMixData.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "NoThrowAlloc.h"

namespace {

// Status and, for a meta event, its type; `statusStep` + c / `typeStep` + c
// when reading fails.
ResultCode ReadKind(const CEvnt* e, std::uint8_t& status, std::uint8_t& meta, unsigned statusStep,
                    unsigned typeStep) {
  status = 0;
  meta = 0;
  ResultCode rc = e->GetStatus(status);
  if (Result::failed(rc)) return Result::nest(statusStep, rc);
  if (status == EventStatus::kMeta && Result::failed(rc = e->GetMetaType(meta))) return Result::nest(typeStep, rc);
  return Result::kOk;
}

bool IsMeta(std::uint8_t status, std::uint8_t meta, std::uint8_t type) {
  return status == EventStatus::kMeta && meta == type;
}

}  // namespace

CAMixData::~CAMixData() { delete track_; }

CAMixData& CAMixData::operator=(const CAMixData& other) {
  CopyTrackFrom(other);
  return *this;
}

ResultCode CAMixData::CopyTrackFrom(const CAMixData& other) {
  if (this == &other) return Result::kOk;
  CTrk* track = NoThrowAlloc::TryNew<CTrk>();
  if (!track || (other.track_ && Result::failed(track->CopyFrom(*other.track_)))) {
    delete track;
    return Result::fail(1);
  }
  delete track_;
  track_ = track;
  return Result::kOk;
}

ResultCode CAMixData::ClearTrack() { return DeleteTrack(&track_); }

ResultCode CAMixData::ResetTrack() {
  ClearTrack();
  CTrk* track = NoThrowAlloc::TryNew<CTrk>();
  if (!track) return Result::fail(3);
  const ResultCode rc = track->Clear();
  if (Result::failed(rc)) {
    delete track;
    return Result::nest(2, rc);
  }
  track_ = track;
  return Result::kOk;
}

ResultCode CAMixData::SetTrack(CTrk* track) {
  if (!track) return Result::fail(1);
  if (track != track_) delete track_;
  track_ = track;
  return Result::kOk;
}

ResultCode CAMixData::DeleteTrack(CTrk** track) {
  if (!track) return Result::fail(1);
  delete *track;
  *track = nullptr;
  return Result::kOk;
}

ResultCode CAMixData::SetTimeSignature(const std::uint8_t* bytes, std::uint64_t n) {
  if (!bytes || n < 4) return Result::fail(1);
  if (!track_) return Result::fail(2);
  EventList& events = track_->GetEventList();
  CEvnt* found = nullptr;
  for (auto it = events.begin(); it != events.end();) {
    CEvnt* e = *it;
    std::uint8_t status = 0, meta = 0;
    std::uint64_t time = 0;
    if (e) {
      ResultCode rc = ReadKind(e, status, meta, 3, 4);
      if (Result::failed(rc)) return rc;
      if (Result::failed(rc = e->GetTime(time))) return Result::nest(5, rc);
    }
    if (!e || !IsMeta(status, meta, MetaType::kTimeSignature) || time != 0) {
      ++it;
      continue;
    }
    if (!found) {
      found = e;
      ++it;
      continue;
    }
    // A second time signature at the start would contradict the first.
    delete e;
    it = events.erase(it);
  }
  if (found) {
    const ResultCode rc = found->SetExData(bytes, n);
    if (Result::failed(rc)) return Result::nest(6, rc);
    return Result::kOk;
  }
  CEvnt* e = NoThrowAlloc::TryNew<CEvnt>();
  if (!e) return Result::fail(10);
  ResultCode rc = e->SetStatus(EventStatus::kMeta);
  unsigned step = Result::failed(rc) ? 7 : 0;
  if (!step && Result::failed(rc = e->SetMetaType(MetaType::kTimeSignature))) step = 8;
  if (!step && Result::failed(rc = e->SetExData(bytes, n))) step = 9;
  if (step) {
    delete e;
    return Result::nest(step, rc);
  }
  events.push_front(e);
  return Result::kOk;
}

ResultCode CAMixData::GetTimeSignature(std::uint8_t* buffer, std::uint64_t& n) const {
  if (!buffer || n < 4) return Result::fail(1);
  if (!track_) return Result::fail(2);
  for (const CEvnt* e : track_->GetEventList()) {
    if (!e) continue;
    std::uint8_t status = 0, meta = 0;
    ResultCode rc = ReadKind(e, status, meta, 3, 4);
    if (Result::failed(rc)) return rc;
    if (!IsMeta(status, meta, MetaType::kTimeSignature)) continue;
    std::uint64_t length = 0;
    if (Result::failed(rc = e->GetExDataSize(length))) return Result::nest(5, rc);
    if (length == 0) continue;
    std::vector<std::uint8_t> payload;
    if (Result::failed(rc = e->GetExData(payload))) return Result::nest(6, rc);
    if (payload.size() <= n) {
      std::copy(payload.begin(), payload.end(), buffer);
      n = payload.size();
    } else {
      std::copy(payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(n), buffer);
    }
    return Result::kOk;
  }
  return Result::kOk;
}

ResultCode CAMixData::SetVolume(std::uint8_t value) {
  const ResultCode rc = SetController(kVolumeController, value);
  return Result::failed(rc) ? Result::nest(1, rc) : Result::kOk;
}
ResultCode CAMixData::SetPan(std::uint8_t value) {
  const ResultCode rc = SetController(kPanController, value);
  return Result::failed(rc) ? Result::nest(1, rc) : Result::kOk;
}
ResultCode CAMixData::SetEffectDepth(std::uint8_t value) {
  const ResultCode rc = SetController(kEffectDepthController, value);
  return Result::failed(rc) ? Result::nest(1, rc) : Result::kOk;
}
ResultCode CAMixData::GetVolume(std::uint8_t& value) const {
  const ResultCode rc = GetController(kVolumeController, value);
  return Result::failed(rc) ? Result::nest(1, rc) : Result::kOk;
}
ResultCode CAMixData::GetPan(std::uint8_t& value) const {
  const ResultCode rc = GetController(kPanController, value);
  return Result::failed(rc) ? Result::nest(1, rc) : Result::kOk;
}
ResultCode CAMixData::GetEffectDepth(std::uint8_t& value) const {
  const ResultCode rc = GetController(kEffectDepthController, value);
  return Result::failed(rc) ? Result::nest(1, rc) : Result::kOk;
}

ResultCode CAMixData::SetController(std::uint8_t controller, std::uint8_t value) {
  if (!track_) return Result::fail(2);
  EventList& events = track_->GetEventList();
  for (CEvnt* e : events) {
    if (!e) continue;
    std::uint8_t status = 0;
    ResultCode rc = e->GetStatus(status);
    if (Result::failed(rc)) return Result::nest(3, rc);
    if (status != EventStatus::kControlChange) continue;
    std::uint8_t data[4];
    if (Result::failed(rc = e->GetShortData(data))) return Result::nest(4, rc);
    if (data[0] != controller) continue;
    if (Result::failed(rc = e->SetShortData(controller, value, 0, 0))) return Result::nest(5, rc);
    return Result::kOk;
  }
  CEvnt* e = NoThrowAlloc::TryNew<CEvnt>();
  if (!e) return Result::fail(8);
  ResultCode rc = e->SetStatus(EventStatus::kControlChange);
  unsigned step = Result::failed(rc) ? 6 : 0;
  if (!step && Result::failed(rc = e->SetShortData(controller, value, 0, 0))) step = 7;
  if (step) {
    delete e;
    return Result::nest(step, rc);
  }
  // An end of track closing the list stays last.
  auto at = events.end();
  if (!events.empty() && events.back()) {
    std::uint8_t status = 0, meta = 0;
    if (Result::succeeded(ReadKind(events.back(), status, meta, 3, 4)) &&
        IsMeta(status, meta, MetaType::kEndOfTrack)) {
      at = std::prev(events.end());
    }
  }
  events.insert(at, e);
  return Result::kOk;
}

ResultCode CAMixData::GetController(std::uint8_t controller, std::uint8_t& value) const {
  value = 0;
  if (!track_) return Result::fail(2);
  for (const CEvnt* e : track_->GetEventList()) {
    if (!e) continue;
    std::uint8_t status = 0;
    ResultCode rc = e->GetStatus(status);
    if (Result::failed(rc)) return Result::nest(3, rc);
    if (status != EventStatus::kControlChange) continue;
    std::uint8_t data[4];
    if (Result::failed(rc = e->GetShortData(data))) return Result::nest(4, rc);
    if (data[0] != controller) continue;
    value = data[1];
    return Result::kOk;
  }
  return Result::fail(5);
}

ResultCode CAMixData::EnsureEndOfTrack() {
  if (!track_) return Result::fail(1);
  EventList& events = track_->GetEventList();
  for (const CEvnt* e : events) {
    if (!e) continue;
    std::uint8_t status = 0, meta = 0;
    const ResultCode rc = ReadKind(e, status, meta, 2, 3);
    if (Result::failed(rc)) return rc;
    if (IsMeta(status, meta, MetaType::kEndOfTrack)) return Result::kOk;
  }
  std::uint64_t last = 0;
  track_->GetLastEventTime(last);
  CEvnt* e = NoThrowAlloc::TryNew<CEvnt>();
  if (!e) return Result::fail(6);
  ResultCode rc = e->SetStatus(EventStatus::kMeta);
  unsigned step = Result::failed(rc) ? 4 : 0;
  if (!step && Result::failed(rc = e->SetMetaType(MetaType::kEndOfTrack))) step = 5;
  if (step) {
    delete e;
    return Result::nest(step, rc);
  }
  e->SetTime(last);
  events.push_back(e);
  return Result::kOk;
}
