#include "CTrkDecorator.h"

#include <cstring>
#include <string>
#include <vector>

#include "NoThrowAlloc.h"

namespace {

bool IsFormatText(const std::vector<std::uint8_t>& text) {
  return text.size() == 4 && (std::memcmp(text.data(), "SFF1", 4) == 0 ||
                              std::memcmp(text.data(), "SFF2", 4) == 0);
}

// Reads a marker event's payload. `isMarker` is false for other events and
// for markers with an empty payload. `base` is the step number of the status
// read; meta type, payload length and copy follow it.
ResultCode ReadMarker(const CEvnt& e, unsigned base, bool& isMarker, std::vector<std::uint8_t>& text) {
  isMarker = false;
  std::uint8_t status = 0, type = 0;
  ResultCode rc = e.GetStatus(status);
  if (Result::failed(rc)) return Result::nest(base, rc);
  if (status != EventStatus::kMeta) return Result::kOk;
  rc = e.GetMetaType(type);
  if (Result::failed(rc)) return Result::nest(base + 1, rc);
  if (type != MetaType::kMarker) return Result::kOk;
  std::uint64_t n = 0;
  rc = e.GetExDataSize(n);
  if (Result::failed(rc)) return Result::nest(base + 2, rc);
  if (n == 0) return Result::kOk;
  rc = e.GetExData(text);
  if (Result::failed(rc)) return Result::nest(base + 3, rc);
  isMarker = true;
  return Result::kOk;
}

struct ShortForm {
  const char* form;
  const char* longName;
};

// Compared in this order; the first form the text begins with wins.
const ShortForm kShortForms[] = {
    {"IA", "Intro A"},       {"IB", "Intro B"},       {"IC", "Intro C"},
    {"MA", "Main A"},        {"MB", "Main B"},        {"MC", "Main C"},
    {"MD", "Main D"},        {"EA", "Ending A"},      {"EB", "Ending B"},
    {"EC", "Ending C"},      {"Fill AA", "Fill In AA"}, {"FAA", "Fill In AA"},
    {"Fill BB", "Fill In BB"}, {"FBB", "Fill In BB"}, {"Fill CC", "Fill In CC"},
    {"FCC", "Fill In CC"},   {"Fill DD", "Fill In DD"}, {"FDD", "Fill In DD"},
    {"Fill AB", "Fill In AB"}, {"FAB", "Fill In AB"}, {"Fill BA", "Fill In BA"},
    {"FBA", "Fill In BA"},   {"Fill CD", "Fill In CD"}, {"FCD", "Fill In CD"},
    {"Fill DC", "Fill In DC"}, {"FDC", "Fill In DC"},
};

}  // namespace

ResultCode CTrkDecorator::InsertEventBeforeEqual(CTrk& track, CEvnt* event) {
  return track.InsertEventBeforeEqual(event);
}

ResultCode CTrkDecorator::AddFormatMarker(CTrk& track, const std::uint8_t* bytes, std::uint64_t n) {
  if (!bytes || n != 4) return Result::fail(1);
  CEvnt* e = NoThrowAlloc::TryNew<CEvnt>();
  if (!e) return Result::fail(2);
  ResultCode rc = 0;
  unsigned step = 0;
  if (Result::failed(rc = e->SetStatus(EventStatus::kMeta))) step = 3;
  else if (Result::failed(rc = e->SetTime(0))) step = 4;
  else if (Result::failed(rc = e->SetMetaType(MetaType::kMarker))) step = 5;
  else if (Result::failed(rc = e->SetExData(bytes, n))) step = 6;
  else if (Result::failed(rc = track.InsertEvent(e))) step = 7;
  if (step) {
    delete e;
    return Result::nest(step, rc);
  }
  return Result::kOk;
}

ResultCode CTrkDecorator::GetFormatMarker(const CTrk& track, std::uint8_t* out, std::uint64_t* size) {
  if (!out || !size) return Result::fail(1);
  if (*size < 4) return Result::fail(2);
  *size = 0;
  std::vector<std::uint8_t> text;
  for (const CEvnt* e : track.GetEventList()) {
    if (!e) continue;
    bool isMarker = false;
    const ResultCode rc = ReadMarker(*e, 4, isMarker, text);
    if (Result::failed(rc)) return rc;
    if (isMarker && IsFormatText(text)) {
      std::memcpy(out, text.data(), 4);
      *size = 4;
      return Result::kOk;
    }
  }
  return Result::kOk;
}

ResultCode CTrkDecorator::ClassifyFormatText(const std::uint8_t* text, std::uint64_t n, std::uint8_t* kind) {
  if (!text || n == 0 || !kind) return Result::fail(1);
  *kind = 0;
  if (n != 4) return Result::kOk;
  if (std::memcmp(text, "SFF1", 4) == 0) *kind = 1;
  else if (std::memcmp(text, "SFF2", 4) == 0) *kind = 2;
  return Result::kOk;
}

ResultCode CTrkDecorator::ReplaceFormatMarker(CTrk& track, const std::uint8_t* text, std::uint64_t n) {
  if (!text || n == 0) return Result::fail(1);
  if (n < 4) return Result::fail(6);  // a marker is replaced only by a text of 4 or more bytes
  std::vector<std::uint8_t> payload;
  for (CEvnt* e : track.GetEventList()) {
    if (!e) continue;
    bool isMarker = false;
    const ResultCode rc = ReadMarker(*e, 3, isMarker, payload);
    if (Result::failed(rc)) return rc;
    if (isMarker && IsFormatText(payload)) {
      const ResultCode set = e->SetExData(text, n);
      return Result::failed(set) ? Result::nest(8, set) : Result::kOk;
    }
  }
  return Result::fail(6);
}

ResultCode CTrkDecorator::ExpandSectionMarkerNames(CTrk& track) {
  std::vector<std::uint8_t> text;
  for (CEvnt* e : track.GetEventList()) {
    if (!e) continue;
    bool isMarker = false;
    const ResultCode rc = ReadMarker(*e, 3, isMarker, text);
    if (Result::failed(rc)) return rc;
    if (!isMarker) continue;
    for (const ShortForm& f : kShortForms) {
      const std::size_t len = std::strlen(f.form);
      if (text.size() >= len && std::memcmp(text.data(), f.form, len) == 0) {
        const std::size_t longLen = std::strlen(f.longName);
        const ResultCode set =
            e->SetExData(reinterpret_cast<const std::uint8_t*>(f.longName), longLen);
        if (Result::failed(set)) return Result::nest(8, set);
        break;
      }
    }
  }
  return Result::kOk;
}
