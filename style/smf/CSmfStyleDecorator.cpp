#include "CSmfStyleDecorator.h"

#include <algorithm>
#include <cstring>

#include "CSectionDecorator.h"
#include "CTrkDecorator.h"
#include "NoThrowAlloc.h"
#include "SectionNames.h"

namespace {

const std::uint8_t kSff1[4] = {'S', 'F', 'F', '1'};
const std::uint8_t kSff2[4] = {'S', 'F', 'F', '2'};

std::uint64_t TimeOf(const CEvnt* e) {
  std::uint64_t t = 0;
  e->GetTime(t);
  return t;
}

}  // namespace

// ------------------------------------------------------ loading and saving

ResultCode CSmfStyleDecorator::Load(const std::vector<std::uint8_t>& bytes) {
  if (bytes.empty()) return Result::fail(1);
  const ResultCode rc = LoadBuffer(bytes.data(), bytes.size());
  return Result::failed(rc) ? Result::nest(2, rc) : Result::kOk;
}

ResultCode CSmfStyleDecorator::LoadBuffer(const std::uint8_t* bytes, std::uint64_t size) {
  ResultCode rc = Parse(bytes, size);
  if (Result::failed(rc)) return Result::nest(1, rc);
  if (sections_.empty()) return rc;
  rc = ReadFormatVersion();
  if (Result::failed(rc)) return Result::nest(2, rc);
  rc = ConvertSections();
  if (Result::failed(rc)) return Result::nest(3, rc);
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::ReadFormatVersion() {
  std::uint8_t text[4] = {0, 0, 0, 0};
  std::uint64_t size = sizeof text;
  const ResultCode rc = GetFormatMarkerText(text, &size);
  if (Result::failed(rc)) return Result::nest(1, rc);
  std::uint8_t kind = 0;
  if (size == 4) CTrkDecorator::ClassifyFormatText(text, size, &kind);
  if (kind == 1) {
    bool pairs = false;
    HasCnttData(&pairs);
    formatVersion_ = pairs ? 1 : 0;
    return Result::kOk;
  }
  if (kind == 2) {
    formatVersion_ = 2;
    return Result::kOk;
  }
  return Result::fail(3);
}

ResultCode CSmfStyleDecorator::ConvertSections() {
  if (formatVersion_ != 1) return Result::kOk;
  const ResultCode rc = ApplyCnttToTables(sections_);
  return Result::failed(rc) ? Result::nest(2, rc) : Result::kOk;
}

ResultCode CSmfStyleDecorator::Save(std::vector<std::uint8_t>& out) {
  ResultCode rc = PrepareSave();
  if (Result::failed(rc)) return Result::nest(1, rc);
  rc = Serialize(out);
  return Result::failed(rc) ? Result::nest(2, rc) : Result::kOk;
}

ResultCode CSmfStyleDecorator::GetFormatVersion(std::uint8_t* version) const {
  if (!version) return Result::fail(1);
  *version = formatVersion_;
  return Result::kOk;
}

// --------------------------------------------------- sections by id and name

ResultCode CSmfStyleDecorator::RemoveSectionsNotInMask(std::uint64_t mask) {
  ResultCode result = Result::kOk;
  for (std::uint8_t id = 0; id < 24; ++id) {
    if (mask & (std::uint64_t{1} << id)) continue;
    const char* name = StyleIdPrintedName(id);
    if (name) {
      RemoveSectionByName(name);
    } else {
      result = Result::fail(1);
    }
  }
  return result;
}

ResultCode CSmfStyleDecorator::RemoveSectionByName(const std::string& name) {
  for (auto it = sections_.begin(); it != sections_.end(); ++it) {
    CSection* s = *it;
    if (!s) continue;
    NameList names;
    s->GetNames(names);
    const auto found = std::find(names.begin(), names.end(), name);
    if (found == names.end()) continue;
    names.erase(found);
    if (names.empty()) {
      delete s;
      sections_.erase(it);
    } else {
      s->SetNames(names);
    }
    return Result::kOk;
  }
  return Result::fail(1);
}

ResultCode CSmfStyleDecorator::GetMarkerSection(const CEvnt* event, std::uint8_t* id) const {
  if (!event || !id) return Result::fail(1);
  *id = kStyleIdNone;
  std::uint64_t n = 0;
  ResultCode rc = event->GetExDataSize(n);
  if (Result::failed(rc)) return Result::nest(2, rc);
  if (n == 0) return Result::kOk;
  std::vector<std::uint8_t> text;
  rc = event->GetExData(text);
  if (Result::failed(rc)) return Result::nest(3, rc);
  rc = SectionIdFromName(reinterpret_cast<const char*>(text.data()), text.size(), id);
  return Result::failed(rc) ? Result::nest(4, rc) : Result::kOk;
}

ResultCode CSmfStyleDecorator::SectionIdFromName(const char* text, std::uint64_t length, std::uint8_t* id) {
  if (!id) return Result::fail(1);
  return StyleIdFromText(text, length, *id);
}

ResultCode CSmfStyleDecorator::SectionIdToName(std::uint8_t id, std::string* name) {
  const char* text = StyleIdLongName(id);
  if (!text || !name) return Result::fail(1);
  *name = text;
  return Result::kOk;
}

// ------------------------------------------------------------------- events

ResultCode CSmfStyleDecorator::FindMetaEvents(std::uint8_t type, EventPtrList& events) const {
  events.clear();
  for (const CTrk* t : tracks_) {
    if (!t) continue;
    for (CEvnt* e : t->GetEventList()) {
      if (!e) continue;
      std::uint8_t status = 0, meta = 0;
      ResultCode rc = e->GetStatus(status);
      if (Result::failed(rc)) return Result::nest(3, rc);
      if (status != EventStatus::kMeta) continue;
      rc = e->GetMetaType(meta);
      if (Result::failed(rc)) return Result::nest(4, rc);
      if (meta == type) events.push_back(e);
    }
  }
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::FindFormatMarker(const TrackVector& tracks, std::uint8_t* text, std::uint64_t* size) {
  if (!text || !size) return Result::fail(1);
  for (const CTrk* t : tracks) {
    if (t) return CTrkDecorator::GetFormatMarker(*t, text, size);
  }
  return Result::fail(2);
}

ResultCode CSmfStyleDecorator::GetFormatMarkerText(std::uint8_t* text, std::uint64_t* size) const {
  if (!text || !size) return Result::fail(1);
  const ResultCode rc = FindFormatMarker(tracks_, text, size);
  return Result::failed(rc) ? Result::nest(3, rc) : Result::kOk;
}

ResultCode CSmfStyleDecorator::GetEndTime(std::uint64_t* time) const {
  if (!time) return Result::fail(1);
  *time = 0;
  for (const CTrk* t : tracks_) {
    if (!t || t->GetEventList().empty()) continue;
    const CEvnt* last = t->GetEventList().back();
    bool eot = false;
    const ResultCode rc = IsEndOfTrack(last, &eot);
    if (Result::failed(rc)) return Result::nest(1, rc);
    if (!eot) return Result::fail(2);
    *time = std::max(*time, TimeOf(last));
  }
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::IsEndOfTrack(const CEvnt* event, bool* flag) {
  if (!event || !flag) return Result::fail(1);
  *flag = false;
  std::uint8_t status = 0, type = 0;
  ResultCode rc = event->GetStatus(status);
  if (Result::failed(rc)) return Result::nest(2, rc);
  rc = event->GetMetaType(type);
  if (Result::failed(rc)) return Result::nest(3, rc);
  *flag = status == EventStatus::kMeta && type == MetaType::kEndOfTrack;
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::IsSectionMarker(const CEvnt* event, bool* flag, std::uint8_t* id) const {
  if (!event || !flag || !id) return Result::fail(1);
  *flag = false;
  *id = kStyleIdNone;
  std::uint8_t status = 0, type = 0;
  ResultCode rc = event->GetStatus(status);
  if (Result::failed(rc)) return Result::nest(2, rc);
  if (status != EventStatus::kMeta) return Result::kOk;
  rc = event->GetMetaType(type);
  if (Result::failed(rc)) return Result::nest(3, rc);
  *flag = type == MetaType::kMarker;
  if (Result::failed(GetMarkerSection(event, id))) *id = kStyleIdNone;
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::IsSectionControlChange(const CEvnt* event, bool* flag, std::uint8_t* id) {
  if (!flag || !id) return Result::fail(3);
  *flag = false;
  *id = kStyleIdNone;
  if (!event) return Result::kOk;
  std::uint8_t status = 0, data[4];
  ResultCode rc = event->GetStatus(status);
  if (Result::failed(rc)) return Result::nest(1, rc);
  if (status != EventStatus::kControlChange) return Result::kOk;
  rc = event->GetShortData(data);
  if (Result::failed(rc)) return Result::nest(2, rc);
  if (data[0] != 3) return Result::kOk;
  *id = data[1];
  *flag = data[1] < 24;
  return Result::kOk;
}

// --------------------------------------------------- format version changes

ResultCode CSmfStyleDecorator::ChangeFormatVersion(std::uint8_t version) {
  const std::uint8_t current = formatVersion_;
  if (version == current) return Result::kOk;
  ResultCode rc = Result::kOk;
  if (current == 2) {
    rc = ConvertTablesFromVersion2(version);
    if (Result::failed(rc)) return Result::nest(4, rc);
  } else if (current == 1) {
    rc = ConvertTablesFromVersion1(version);
    if (Result::failed(rc)) return Result::nest(3, rc);
  } else {
    rc = ConvertTablesFromVersion0(version);
    if (Result::failed(rc)) return Result::nest(2, rc);
  }
  if (version == 2) {
    rc = ReplaceFormatMarkerText(kSff2, 4);
    if (Result::failed(rc)) return Result::nest(8, rc);
    if (current < 2) {
      rc = RetagTablesToCtb2();
      if (Result::failed(rc)) return Result::nest(9, rc);
    }
  } else {
    rc = ReplaceFormatMarkerText(kSff1, 4);
    if (Result::failed(rc)) return Result::nest(6, rc);
    if (current == 2) {
      rc = RetagTablesToCtab();
      if (Result::failed(rc)) return Result::nest(7, rc);
    }
  }
  if (version == 1) {
    formatVersion_ = 1;
    return Result::kOk;
  }
  rc = ClearAllCntt();
  if (Result::failed(rc)) return Result::nest(10, rc);
  formatVersion_ = version;
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::ForEachSection(ResultCode (*op)(CSection&), unsigned step) {
  for (CSection* s : sections_) {
    if (!s) continue;
    const ResultCode rc = op(*s);
    if (Result::failed(rc)) return Result::nest(step, rc);
  }
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::ConvertTablesFromVersion0(std::uint8_t version) {
  if (version == 0) return Result::kOk;
  if (version > 2) return Result::fail(1);
  return ForEachSection(&CSectionDecorator::ConvertCodesToCtb2, version == 1 ? 2 : 3);
}

ResultCode CSmfStyleDecorator::ConvertTablesFromVersion1(std::uint8_t version) {
  if (version == 1 || version == 2) return Result::kOk;
  if (version != 0) return Result::fail(1);
  return ForEachSection(&CSectionDecorator::ConvertCodesToCtab, 2);
}

ResultCode CSmfStyleDecorator::ConvertTablesFromVersion2(std::uint8_t version) {
  if (version == 2) return Result::kOk;
  if (version == 1) {
    return ForEachSection([](CSection& s) { return CSectionDecorator::ClearRangeCode2(s, 1); }, 4);
  }
  if (version != 0) return Result::fail(1);
  const ResultCode rc = ForEachSection(&CSectionDecorator::ConvertCodesToCtab, 2);
  if (Result::failed(rc)) return rc;
  return ForEachSection([](CSection& s) { return CSectionDecorator::ClearRangeCode2(s, 0); }, 3);
}

ResultCode CSmfStyleDecorator::PrepareSave() {
  if (formatVersion_ != 1) return Result::kOk;
  const ResultCode rc = BuildCnttFromTables(sections_);
  return Result::failed(rc) ? Result::nest(3, rc) : Result::kOk;
}

ResultCode CSmfStyleDecorator::HasCnttData(bool* flag) const {
  if (!flag) return Result::fail(1);
  *flag = std::any_of(sections_.begin(), sections_.end(),
                      [](const CSection* s) { return s && !s->GetCnttList().empty(); });
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::RetagTablesToCtab() { return ForEachSection(&CSectionDecorator::ConvertIdsToCtab, 2); }
ResultCode CSmfStyleDecorator::RetagTablesToCtb2() { return ForEachSection(&CSectionDecorator::ConvertIdsToCtb2, 2); }
ResultCode CSmfStyleDecorator::ClearAllCntt() {
  return ForEachSection([](CSection& s) { return s.ClearCntts(); }, 2);
}
ResultCode CSmfStyleDecorator::ConvertAllCodesToCtb2() {
  return ForEachSection(&CSectionDecorator::ConvertCodesToCtb2, 2);
}
ResultCode CSmfStyleDecorator::ConvertAllCodesToCtab() {
  return ForEachSection(&CSectionDecorator::ConvertCodesToCtab, 2);
}

ResultCode CSmfStyleDecorator::ClearAllRangeCode2(std::uint8_t mode) {
  for (CSection* s : sections_) {
    if (!s) continue;
    const ResultCode rc = CSectionDecorator::ClearRangeCode2(*s, mode);
    if (Result::failed(rc)) return Result::nest(2, rc);
  }
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::ApplyCnttToTables(SectionVector& sections) {
  for (CSection* s : sections) {
    if (!s) continue;
    const ResultCode rc = CSectionDecorator::ApplyCnttToTables(*s);
    if (Result::failed(rc)) return Result::nest(2, rc);
  }
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::BuildCnttFromTables(SectionVector& sections) {
  for (CSection* s : sections) {
    if (!s) continue;
    const ResultCode rc = CSectionDecorator::BuildCnttFromTables(*s);
    if (Result::failed(rc)) return Result::nest(2, rc);
  }
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::SyncAllRangeFlags() {
  for (CSection* s : sections_) {
    if (!s) continue;
    const ResultCode rc = s->SyncRangeFlags();
    if (Result::failed(rc)) return Result::nest(1, rc);
  }
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::ReplaceFormatMarkerText(const std::uint8_t* text, std::uint64_t n) {
  if (!text || n == 0) return Result::fail(1);
  const ResultCode rc = ReplaceFormatMarkerInTracks(tracks_, text, n);
  return Result::failed(rc) ? Result::nest(3, rc) : Result::kOk;
}

ResultCode CSmfStyleDecorator::ReplaceFormatMarkerInTracks(TrackVector& tracks, const std::uint8_t* text,
                                                           std::uint64_t n) {
  if (!text || n == 0) return Result::fail(1);
  for (CTrk* t : tracks) {
    if (t && Result::succeeded(CTrkDecorator::ReplaceFormatMarker(*t, text, n))) return Result::kOk;
  }
  return Result::fail(2);
}

// ------------------------------------------------------------------- tracks

ResultCode CSmfStyleDecorator::SerializeUntil(std::vector<std::uint8_t>& out, std::uint64_t endTime) {
  out.clear();
  ResultCode rc = WriteMThd(out, HeaderToWrite());
  if (Result::failed(rc)) return Result::nest(3, rc);
  rc = WriteTracksUntil(out, tracks_, endTime);
  return Result::failed(rc) ? Result::nest(4, rc) : Result::kOk;
}

ResultCode CSmfStyleDecorator::ImportTracks(const CSmf& other, std::uint8_t version) {
  if (other.GetTracks().empty()) return Result::fail(1);
  if (version > 2) return Result::fail(10);
  CTrk* merged = NoThrowAlloc::TryNew<CTrk>();
  if (!merged) return Result::fail(4);
  const auto fail = [merged](ResultCode code) {
    delete merged;
    return code;
  };
  for (const CTrk* t : other.GetTracks()) {
    if (!t) return fail(Result::fail(5));
    const ResultCode rc = merged->Merge(*t);
    if (Result::failed(rc)) return fail(Result::nest(6, rc));
  }
  const std::uint8_t* marker = version == 2 ? kSff2 : kSff1;
  std::uint8_t found[4];
  std::uint64_t size = sizeof found;
  CTrkDecorator::GetFormatMarker(*merged, found, &size);
  if (size == 4) {
    const ResultCode rc = CTrkDecorator::ReplaceFormatMarker(*merged, marker, 4);
    if (Result::failed(rc)) return fail(Result::nest(7, rc));
  } else {
    const ResultCode rc = CTrkDecorator::AddFormatMarker(*merged, marker, 4);
    if (Result::failed(rc)) return fail(Result::nest(8, rc));
  }
  ResultCode rc = CTrkDecorator::ExpandSectionMarkerNames(*merged);
  if (Result::failed(rc)) return fail(Result::nest(9, rc));
  rc = ClearTracks(tracks_);
  if (Result::failed(rc)) return fail(Result::nest(3, rc));
  tracks_.push_back(merged);
  header_.format = 0;
  header_.trackCount = static_cast<std::uint16_t>(tracks_.size());
  header_.division = other.GetHeader().division;
  formatVersion_ = version;
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::SortAllTracks() {
  for (CTrk* t : tracks_) {
    if (t) t->SortByTimeAndNoteOrder();
  }
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::RemoveTrackNamesAtStart() {
  for (CTrk* t : tracks_) {
    if (!t) continue;
    EventList& list = t->GetEventList();
    for (auto it = list.begin(); it != list.end();) {
      CEvnt* e = *it;
      bool name = false;
      if (e && TimeOf(e) == 0 && Result::succeeded(IsTrackNameEvent(e, name)) && name) {
        delete e;
        it = list.erase(it);
      } else {
        ++it;
      }
    }
  }
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::GetNoteOnTimes(std::vector<std::uint64_t>& times) const {
  times.clear();
  for (const CTrk* t : tracks_) {
    if (!t) continue;
    for (const CEvnt* e : t->GetEventList()) {
      if (!e) continue;
      std::uint8_t status = 0, data[4];
      e->GetStatus(status);
      e->GetShortData(data);
      if (status == EventStatus::kNoteOn && data[1] != 0) times.push_back(TimeOf(e));
    }
  }
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::FindTimeSignatures(EventPtrList& events) const {
  return FindMetaEvents(MetaType::kTimeSignature, events);
}

ResultCode CSmfStyleDecorator::FindTempoEvents(EventPtrList& events) const {
  return FindMetaEvents(MetaType::kTempo, events);
}

ResultCode CSmfStyleDecorator::GetBarLength(std::uint64_t* ticks) const {
  if (!ticks) return Result::fail(1);
  *ticks = 0;
  EventPtrList signatures;
  ResultCode rc = FindTimeSignatures(signatures);
  if (Result::failed(rc)) return Result::nest(1, rc);
  if (signatures.empty()) return Result::nest(1, Result::fail(1));
  std::vector<std::uint8_t> first;
  for (const CEvnt* e : signatures) {
    std::vector<std::uint8_t> payload;
    e->GetExData(payload);
    if (payload.size() != 4) return Result::fail(7);
    if (first.empty()) first = payload;
    if (payload != first) return Result::fail(8);
  }
  if (header_.division & 0x8000) return Result::fail(10);
  if (first[1] > 31) return Result::fail(9);
  *ticks = (std::uint64_t{header_.division} * first[0] * 4) >> first[1];
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::CopyTempoToSectionStarts() {
  EventPtrList tempos;
  ResultCode rc = FindTempoEvents(tempos);
  if (Result::failed(rc)) return Result::nest(2, rc);
  if (tempos.empty()) return Result::fail(1);
  std::vector<std::uint64_t> tempoTimes;
  for (const CEvnt* e : tempos) tempoTimes.push_back(TimeOf(e));
  const CEvnt* first = tempos.front();
  for (CTrk* t : tracks_) {
    if (!t) continue;
    std::vector<std::uint64_t> starts;
    for (const CEvnt* e : t->GetEventList()) {
      bool flag = false;
      std::uint8_t id = 0;
      if (e && Result::succeeded(IsSectionControlChange(e, &flag, &id)) && flag) starts.push_back(TimeOf(e));
    }
    for (std::uint64_t time : starts) {
      if (std::find(tempoTimes.begin(), tempoTimes.end(), time) != tempoTimes.end()) continue;
      CEvnt* copy = NoThrowAlloc::TryNew<CEvnt>();
      if (!copy || Result::failed(copy->CopyFrom(*first))) {
        delete copy;
        return Result::fail(3);
      }
      copy->SetTime(time);
      rc = t->InsertEventBeforeEqual(copy);
      if (Result::failed(rc)) {
        delete copy;
        return Result::nest(4, rc);
      }
      tempoTimes.push_back(time);
    }
  }
  return Result::kOk;
}

// ------------------------------------------------------------ section names

ResultCode CSmfStyleDecorator::KeepAudioSectionNames() {
  for (CSection* s : sections_) {
    if (!s) continue;
    NameList names, kept;
    s->GetNames(names);
    for (const std::string& name : names) {
      const std::int32_t number = SectionNameToNumber(name.c_str());
      if (number >= 0 && IsSupportedAudioSection(static_cast<std::uint32_t>(number))) kept.push_back(name);
    }
    if (kept.empty()) {
      const ResultCode rc = s->InitDefault();
      if (Result::failed(rc)) return Result::nest(2, rc);
    } else {
      s->SetNames(kept);
    }
  }
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::GetSectionNamesSorted(NameList& names) const {
  static const char* const kGroups[] = {"Main", "Fill", "Intro", "Ending", "Break Fill"};
  constexpr std::size_t kGroupCount = sizeof kGroups / sizeof kGroups[0];
  std::vector<NameList> groups(kGroupCount + 1);
  for (const CSection* s : sections_) {
    if (!s) continue;
    NameList sectionNames;
    s->GetNames(sectionNames);
    for (const std::string& name : sectionNames) {
      std::size_t g = 0;
      while (g < kGroupCount && name.compare(0, std::strlen(kGroups[g]), kGroups[g]) != 0) ++g;
      groups[g].push_back(name);
    }
  }
  names.clear();
  for (const NameList& g : groups) names.insert(names.end(), g.begin(), g.end());
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::RenameFillInBA(NameList& names) {
  for (std::string& name : names) {
    if (name == "Fill In BA") name = "Break Fill";
  }
  return Result::kOk;
}

std::uint64_t CSmfStyleDecorator::FindSectionOfAudioNumber(std::int32_t number) const {
  const std::string wanted = SectionNumberToName(number);
  if (wanted.empty()) return kStyleIdNone;
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    if (!sections_[i]) continue;
    NameList names;
    if (Result::failed(sections_[i]->GetNames(names))) continue;
    if (std::find(names.begin(), names.end(), wanted) != names.end()) return i;
  }
  return kStyleIdNone;
}

// ------------------------------------------------------------ section marks

ResultCode CSmfStyleDecorator::CollectMarks(bool controlChanges, SectionRecordList* records,
                                            EventPtrList* events) const {
  if (records) records->clear();
  if (events) events->clear();
  for (const CTrk* t : tracks_) {
    if (!t) continue;
    for (CEvnt* e : t->GetEventList()) {
      if (!e) continue;
      bool flag = false;
      std::uint8_t id = kStyleIdNone;
      const ResultCode rc =
          controlChanges ? IsSectionControlChange(e, &flag, &id) : IsSectionMarker(e, &flag, &id);
      if (Result::failed(rc)) return Result::nest(2, rc);
      if (!flag || id >= 24) continue;
      if (records) records->push_back({id, TimeOf(e)});
      if (events) events->push_back(e);
    }
  }
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::FindSectionControlChanges(EventPtrList& events) const {
  return CollectMarks(true, nullptr, &events);
}

ResultCode CSmfStyleDecorator::FindSectionMarkers(EventPtrList& events) const {
  return CollectMarks(false, nullptr, &events);
}

ResultCode CSmfStyleDecorator::GetSectionControlChangeRecords(SectionRecordList& records) const {
  return CollectMarks(true, &records, nullptr);
}

ResultCode CSmfStyleDecorator::GetSectionMarkerRecords(SectionRecordList& records) const {
  return CollectMarks(false, &records, nullptr);
}

ResultCode CSmfStyleDecorator::RemoveRepeatedMarks(bool controlChanges, bool* seen) {
  if (!seen) return Result::fail(1);
  bool first = true;
  std::uint64_t previousTime = 0;
  for (CTrk* t : tracks_) {
    if (!t) continue;
    EventList& list = t->GetEventList();
    for (auto it = list.begin(); it != list.end();) {
      CEvnt* e = *it;
      bool flag = false;
      std::uint8_t id = kStyleIdNone;
      const ResultCode rc = !e ? Result::kOk
                            : controlChanges ? IsSectionControlChange(e, &flag, &id)
                                             : IsSectionMarker(e, &flag, &id);
      if (Result::failed(rc)) return Result::nest(2, rc);
      if (!flag || id >= 24) {
        ++it;
        continue;
      }
      const std::uint64_t time = TimeOf(e);
      const bool remove = !first && (time == previousTime || seen[id]);
      first = false;
      previousTime = time;
      seen[id] = true;
      if (remove) {
        delete e;
        it = list.erase(it);
      } else {
        ++it;
      }
    }
  }
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::RemoveRepeatedSectionControlChanges(bool* seen) { return RemoveRepeatedMarks(true, seen); }
ResultCode CSmfStyleDecorator::RemoveRepeatedSectionMarkers(bool* seen) { return RemoveRepeatedMarks(false, seen); }

ResultCode CSmfStyleDecorator::MoveSectionMarkersFirst() {
  for (CTrk* t : tracks_) {
    if (!t) continue;
    EventList& list = t->GetEventList();
    // Stable: equal times keep their order except that section markers go first.
    list.sort([this](const CEvnt* a, const CEvnt* b) {
      const std::uint64_t ta = a ? TimeOf(a) : 0, tb = b ? TimeOf(b) : 0;
      if (ta != tb) return ta < tb;
      const auto isSectionMarker = [this](const CEvnt* e) {
        bool flag = false;
        std::uint8_t id = kStyleIdNone;
        return e && Result::succeeded(IsSectionMarker(e, &flag, &id)) && flag && id < 24;
      };
      return isSectionMarker(a) && !isSectionMarker(b);
    });
  }
  return Result::kOk;
}

CTrk* CSmfStyleDecorator::TrackOf(const CEvnt* event) const {
  for (CTrk* t : tracks_) {
    if (!t) continue;
    const EventList& list = t->GetEventList();
    if (std::find(list.begin(), list.end(), event) != list.end()) return t;
  }
  return nullptr;
}

ResultCode CSmfStyleDecorator::ReconcileSectionMarks(const EventPtrList& controlChanges, const EventPtrList& markers) {
  SectionRecordList ccRecords, markerRecords;
  for (const CEvnt* e : controlChanges) {
    bool flag = false;
    std::uint8_t id = kStyleIdNone;
    if (e && Result::succeeded(IsSectionControlChange(e, &flag, &id)) && flag) ccRecords.push_back({id, TimeOf(e)});
  }
  for (const CEvnt* e : markers) {
    bool flag = false;
    std::uint8_t id = kStyleIdNone;
    if (e && Result::succeeded(IsSectionMarker(e, &flag, &id)) && flag && id < 24) {
      markerRecords.push_back({id, TimeOf(e)});
    }
  }
  const auto has = [](const SectionRecordList& list, const SectionRecord& r) {
    return std::find(list.begin(), list.end(), r) != list.end();
  };
  for (CEvnt* e : markers) {
    bool flag = false;
    std::uint8_t id = kStyleIdNone;
    if (!e || Result::failed(IsSectionMarker(e, &flag, &id)) || !flag || id >= 24) continue;
    const char* name = StyleIdLongName(id);
    ResultCode rc = e->SetExData(reinterpret_cast<const std::uint8_t*>(name), std::strlen(name));
    if (Result::failed(rc)) return Result::nest(2, rc);
    const SectionRecord r{id, TimeOf(e)};
    if (has(ccRecords, r)) continue;
    const std::uint8_t data[4] = {3, id, 0, 0};
    rc = AddChannelEventBeforeEqual(TrackOf(e), r.time, EventStatus::kControlChange, data);
    if (Result::failed(rc)) return Result::nest(3, rc);
    ccRecords.push_back(r);
  }
  for (const CEvnt* e : controlChanges) {
    bool flag = false;
    std::uint8_t id = kStyleIdNone;
    if (!e || Result::failed(IsSectionControlChange(e, &flag, &id)) || !flag) continue;
    const SectionRecord r{id, TimeOf(e)};
    if (has(markerRecords, r)) continue;
    const ResultCode rc = AddSectionMarker(TrackOf(e), r.time, id);
    if (Result::failed(rc)) return Result::nest(4, rc);
    markerRecords.push_back(r);
  }
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::TidySectionEvents() {
  bool seenControlChanges[24] = {};
  bool seenMarkers[24] = {};
  ResultCode rc = RemoveRepeatedSectionControlChanges(seenControlChanges);
  if (Result::failed(rc)) return Result::nest(1, rc);
  rc = RemoveRepeatedSectionMarkers(seenMarkers);
  if (Result::failed(rc)) return Result::nest(2, rc);
  EventPtrList controlChanges, markers;
  rc = FindSectionControlChanges(controlChanges);
  if (Result::failed(rc)) return Result::nest(3, rc);
  rc = FindSectionMarkers(markers);
  if (Result::failed(rc)) return Result::nest(4, rc);
  rc = ReconcileSectionMarks(controlChanges, markers);
  if (Result::failed(rc)) return Result::nest(5, rc);
  rc = MoveSectionMarkersFirst();
  if (Result::failed(rc)) return Result::nest(6, rc);
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::AddSectionControlChanges() {
  EventPtrList markers;
  ResultCode rc = FindSectionMarkers(markers);
  if (Result::failed(rc)) return Result::nest(1, rc);
  for (const CEvnt* e : markers) {
    std::uint8_t id = kStyleIdNone;
    rc = GetMarkerSection(e, &id);
    if (Result::failed(rc)) return Result::nest(2, rc);
    const std::uint8_t data[4] = {3, id, 0, 0};
    // Before the events of the marker's time, so that it never lands behind
    // an end of track at that time.
    rc = AddChannelEventBeforeEqual(TrackOf(e), TimeOf(e), EventStatus::kControlChange, data);
    if (Result::failed(rc)) return Result::nest(3, rc);
  }
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::AddSectionMarker(CTrk* track, std::uint64_t time, std::uint8_t id) {
  const char* name = StyleIdLongName(id);
  if (!name) return Result::fail(1);
  if (!track) return Result::kOk;
  CEvnt* e = NoThrowAlloc::TryNew<CEvnt>();
  if (!e) return Result::fail(2);
  e->SetStatus(EventStatus::kMeta);
  e->SetMetaType(MetaType::kMarker);
  e->SetTime(time);
  ResultCode rc = e->SetExData(reinterpret_cast<const std::uint8_t*>(name), std::strlen(name));
  if (Result::failed(rc)) {
    delete e;
    return Result::nest(3, rc);
  }
  rc = CTrkDecorator::InsertEventBeforeEqual(*track, e);
  if (Result::failed(rc)) {
    delete e;
    return Result::nest(4, rc);
  }
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::AddChannelEventAt(CTrk* track, std::uint64_t time, std::uint8_t status,
                                                 const std::uint8_t data[4], bool beforeEqual) {
  if (!track) return Result::kOk;
  CEvnt* e = NoThrowAlloc::TryNew<CEvnt>();
  if (!e) return Result::fail(1);
  const std::uint8_t none[4] = {0, 0, 0, 0};
  const std::uint8_t* d = data ? data : none;
  ResultCode rc = 0;
  unsigned step = 0;
  if (Result::failed(rc = e->SetStatus(status & 0xF0))) step = 2;
  else if (Result::failed(rc = e->SetChannel(status & 0x0F))) step = 2;
  else if (Result::failed(rc = e->SetTime(time))) step = 3;
  else if (Result::failed(rc = e->SetShortData(d[0], d[1], d[2], d[3]))) step = 4;
  else if (Result::failed(rc = beforeEqual ? track->InsertEventBeforeEqual(e) : track->InsertEvent(e))) step = 5;
  if (step) {
    delete e;
    return Result::nest(step, rc);
  }
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::AddChannelEvent(CTrk* track, std::uint64_t time, std::uint8_t status,
                                               const std::uint8_t data[4]) {
  return AddChannelEventAt(track, time, status, data, false);
}

ResultCode CSmfStyleDecorator::AddChannelEventBeforeEqual(CTrk* track, std::uint64_t time, std::uint8_t status,
                                                          const std::uint8_t data[4]) {
  return AddChannelEventAt(track, time, status, data, true);
}

ResultCode CSmfStyleDecorator::GetFirstSectionStart(std::uint64_t* time) const {
  if (!time) return Result::fail(1);
  *time = ~std::uint64_t{0};
  for (const CTrk* t : tracks_) {
    if (!t) continue;
    for (const CEvnt* e : t->GetEventList()) {
      if (!e) continue;
      bool cc = false, marker = false;
      std::uint8_t id = kStyleIdNone, markerId = kStyleIdNone;
      IsSectionControlChange(e, &cc, &id);
      IsSectionMarker(e, &marker, &markerId);
      if (cc || (marker && markerId < 24)) {
        *time = std::min(*time, TimeOf(e));
        break;
      }
    }
  }
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::AppendEndRecord(SectionRecordList& records) const {
  std::uint64_t end = 0;
  const ResultCode rc = GetEndTime(&end);
  if (Result::failed(rc)) return Result::nest(1, rc);
  records.push_back({kStyleIdNone, end});
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::FindOffBarSections(const SectionRecordList& records, std::uint64_t barLength,
                                                  std::vector<std::uint8_t>& ids) {
  ids.clear();
  if (barLength == 0) return Result::fail(1);
  for (const SectionRecord& r : records) {
    if (r.id < 24 && r.time % barLength != 0) ids.push_back(r.id);
  }
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::FindDuplicateSections(const SectionRecordList& records, std::vector<std::uint8_t>& ids) {
  ids.clear();
  for (std::size_t i = 0; i < records.size(); ++i) {
    for (std::size_t j = i + 1; j < records.size(); ++j) {
      if (records[i].id < 24 && records[i] == records[j]) ids.push_back(records[i].id);
    }
  }
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::FindConflictingSections(const SectionRecordList& records,
                                                       std::vector<std::pair<std::uint8_t, std::uint8_t>>& pairs) {
  pairs.clear();
  for (std::size_t i = 0; i < records.size(); ++i) {
    for (std::size_t j = i + 1; j < records.size(); ++j) {
      const SectionRecord& a = records[i];
      const SectionRecord& b = records[j];
      if (a.id < 24 && b.id < 24 && a.time == b.time && a.id != b.id) pairs.emplace_back(a.id, b.id);
    }
  }
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::FindRepeatedSections(const SectionRecordList& records, std::vector<std::uint8_t>& ids) {
  ids.clear();
  for (std::size_t i = 0; i < records.size(); ++i) {
    for (std::size_t j = i + 1; j < records.size(); ++j) {
      if (records[i].id < 24 && records[i].id == records[j].id && records[i].time != records[j].time) {
        ids.push_back(records[i].id);
      }
    }
  }
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::SetEndTime(std::uint64_t time) {
  // Check every track first so that a refusal changes nothing.
  for (const CTrk* t : tracks_) {
    if (!t || t->GetEventList().empty()) continue;
    bool eot = false;
    IsEndOfTrack(t->GetEventList().back(), &eot);
    if (!eot) return Result::fail(4);
    if (TimeOf(t->GetEventList().back()) > time) return Result::fail(3);
  }
  for (CTrk* t : tracks_) {
    if (!t || t->GetEventList().empty()) continue;
    CEvnt* last = t->GetEventList().back();
    const std::uint64_t oldEnd = TimeOf(last);
    for (CEvnt* e : t->GetEventList()) {
      if (!e || e == last || TimeOf(e) < oldEnd) continue;
      bool cc = false, marker = false;
      std::uint8_t ccId = kStyleIdNone, markerId = kStyleIdNone;
      IsSectionControlChange(e, &cc, &ccId);
      IsSectionMarker(e, &marker, &markerId);
      const bool mark = cc || (marker && markerId < 24);
      const bool mainA = (cc && ccId == 0) || (marker && markerId == 0);
      if (mark && !mainA) e->SetTime(time);
    }
    last->SetTime(time);
    t->SortByTime();
  }
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::AppendMainA() {
  EventPtrList markers;
  ResultCode rc = FindSectionMarkers(markers);
  if (Result::failed(rc)) return Result::nest(1, rc);
  for (const CEvnt* e : markers) {
    std::uint8_t id = kStyleIdNone;
    rc = GetMarkerSection(e, &id);
    if (Result::failed(rc)) return Result::nest(2, rc);
    if (id == 0) return Result::kOk;
  }
  CTrk* track = nullptr;
  for (CTrk* t : tracks_) {
    if (t) {
      track = t;
      break;
    }
  }
  if (!track) return Result::fail(15);
  std::uint64_t end = 0, bar = 0;
  rc = GetEndTime(&end);
  if (Result::failed(rc)) return Result::nest(3, rc);
  rc = GetBarLength(&bar);
  if (Result::failed(rc)) return Result::nest(4, rc);
  if (bar == 0) return Result::nest(4, Result::fail(11));
  const std::uint64_t start = (end + bar - 1) / bar * bar;
  // An end off the bar line goes to the bar line first: the end of track has
  // to stay every track's last event, behind the new Main A, for the final
  // move one bar on.
  if (start > end) {
    rc = SetEndTime(start);
    if (Result::failed(rc)) return Result::nest(7, rc);
  }
  const std::uint8_t data[4] = {3, 0, 0, 0};
  rc = AddChannelEventBeforeEqual(track, start, EventStatus::kControlChange, data);
  if (Result::failed(rc)) return Result::nest(6, rc);
  rc = AddSectionMarker(track, start, 0);
  if (Result::failed(rc)) return Result::nest(5, rc);
  rc = SetEndTime(start + bar);
  if (Result::failed(rc)) return Result::nest(7, rc);
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::GetSectionStarts(bool controlChanges, std::uint8_t* ids, std::uint64_t* bars,
                                                std::size_t n) const {
  if (!ids || !bars || n < 1 || n > 25) return Result::fail(1);
  std::fill(ids, ids + n, 255);
  std::fill(bars, bars + n, 0);
  std::uint64_t bar = 0, end = 0;
  ResultCode rc = GetBarLength(&bar);
  if (Result::failed(rc)) return Result::nest(1, rc);
  if (bar == 0) return Result::fail(9);
  rc = GetEndTime(&end);
  if (Result::failed(rc)) return Result::nest(2, rc);
  SectionRecordList records;
  rc = CollectMarks(controlChanges, &records, nullptr);
  if (Result::failed(rc)) return Result::nest(3, rc);
  std::size_t used = 0;
  for (; used < n && used < records.size(); ++used) {
    ids[used] = records[used].id;
    bars[used] = records[used].time / bar;
  }
  const std::uint64_t endBar = end / bar;
  for (std::size_t k = 0; k < n; ++k) {
    if (k >= static_cast<std::size_t>(kTrackSlotCount)) {
      bars[k] = endBar;
      continue;
    }
    const std::uint8_t id = TrackSlotToStyleId(static_cast<std::uint32_t>(k));
    if (std::find(ids, ids + used, id) != ids + used) continue;
    if (used >= n) return Result::fail(8);
    ids[used] = id;
    bars[used] = endBar;
    ++used;
  }
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::GetSectionStartsFromMarkers(std::uint8_t* ids, std::uint64_t* bars,
                                                           std::size_t n) const {
  return GetSectionStarts(false, ids, bars, n);
}

ResultCode CSmfStyleDecorator::GetSectionStartsFromControlChanges(std::uint8_t* ids, std::uint64_t* bars,
                                                                  std::size_t n) const {
  return GetSectionStarts(true, ids, bars, n);
}

ResultCode CSmfStyleDecorator::GetSectionIdsFromControlChanges(std::uint8_t* ids, std::size_t n) const {
  if (!ids) return Result::fail(1);
  SectionRecordList records;
  const ResultCode rc = GetSectionControlChangeRecords(records);
  if (Result::failed(rc)) return Result::nest(3, rc);
  if (records.empty()) return Result::fail(2);
  std::fill(ids, ids + n, 255);
  for (std::size_t i = 0; i < n && i < records.size(); ++i) ids[i] = records[i].id;
  return Result::kOk;
}

namespace {

constexpr std::size_t kSecondSectionIndex[3] = {2, 0, 0};

// The variant of SetRange1Preset for a channel (1..16) and part mode in a
// preset group; 0 when the channel is left alone.
std::uint8_t PresetVariant(int group, std::uint8_t channel, std::uint8_t mode) {
  const bool wide = channel == 9 || (channel >= 12 && channel <= 16);
  const bool narrow = channel == 10 || channel == 11;
  if (group == 0) {
    if (wide) return static_cast<std::uint8_t>(3 + mode);  // modes 0..2 (0,3,0), 3 (1,0,0)
    if (narrow && mode >= 2) return static_cast<std::uint8_t>(mode - 1);
    return 0;
  }
  if (wide) return static_cast<std::uint8_t>(9 + mode);
  if (narrow && mode >= 2) return static_cast<std::uint8_t>(5 + mode);
  return 0;
}

ResultCode ApplyPresetGroup(CSection& section, int group, const PartPresetSet& presets) {
  for (const PartPreset& p : presets) {
    const std::uint8_t variant = PresetVariant(group, p.channel, p.mode);
    if (variant == 0) continue;
    CCtabData* table = section.FindCtab(static_cast<std::uint8_t>(p.channel - 1));
    if (!table) continue;
    const ResultCode rc = CSmfStyleDecorator::SetRange1Preset(table, variant);
    if (Result::failed(rc)) return rc;
  }
  return Result::kOk;
}

bool ValidPresets(const PartPresetSet& presets) {
  if (presets.empty()) return false;
  return std::all_of(presets.begin(), presets.end(),
                     [](const PartPreset& p) { return p.channel >= 1 && p.channel <= 16 && p.mode <= 3; });
}

}  // namespace

ResultCode CSmfStyleDecorator::NameSectionsFromControlChanges(std::uint8_t mode) {
  if (mode > 2) return Result::fail(1);
  if (sections_.size() < 4) return Result::fail(2);
  for (CSection* s : sections_) {
    if (s) s->ClearNames();
  }
  SectionRecordList records;
  const ResultCode rc = GetSectionControlChangeRecords(records);
  if (Result::failed(rc)) return Result::nest(3, rc);
  std::string first, second;
  for (const SectionRecord& r : records) {
    const std::string name = StyleIdLongName(r.id);
    const bool toSecond = r.id == 9 || r.id == 15 || r.id == 21 || r.id == 10 || r.id == 16 || r.id == 22;
    std::string& text = toSecond ? second : first;
    if (!text.empty()) text += ',';
    text += name;
  }
  if (!first.empty() && sections_[1]) sections_[1]->SetNamesFromText(first.data(), first.size());
  CSection* other = sections_[kSecondSectionIndex[mode]];
  if (!second.empty() && other) other->SetNamesFromText(second.data(), second.size());
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::ApplyPartPresets(std::uint8_t mode, const PartPresetSet& presets) {
  if (mode > 2) return Result::fail(1);
  if (!ValidPresets(presets)) return Result::fail(2);
  if (sections_.size() < 4) return Result::fail(3);
  if (!sections_[1]) return Result::fail(5);
  ResultCode rc = ApplyPresetGroup(*sections_[1], 0, presets);
  if (Result::failed(rc)) return Result::nest(5, rc);
  CSection* second = sections_[kSecondSectionIndex[mode]];
  if (!second) return Result::fail(6);
  rc = ApplyPresetGroup(*second, 1, presets);
  if (Result::failed(rc)) return Result::nest(7, rc);
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::SetSplitHighForParts(const PartPresetSet& presets) {
  if (!ValidPresets(presets)) return Result::fail(1);
  if (sections_.size() < 4) return Result::fail(2);
  for (CSection* s : sections_) {
    if (!s) return Result::fail(3);
    for (const PartPreset& p : presets) {
      CCtabData* table = s->FindCtab(static_cast<std::uint8_t>(p.channel - 1));
      if (table) table->SetSplitHigh(p.mode == 0 ? 127 : 95);
    }
  }
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::GetSilentSectionMask(std::uint64_t* mask) const {
  if (!mask) return Result::fail(1);
  *mask = 0;
  SectionRecordList records, markers;
  ResultCode rc = GetSectionControlChangeRecords(records);
  if (Result::failed(rc)) return Result::nest(2, rc);
  rc = GetSectionMarkerRecords(markers);
  if (Result::failed(rc)) return Result::nest(3, rc);
  records.insert(records.end(), markers.begin(), markers.end());
  rc = AppendEndRecord(records);
  if (Result::failed(rc)) return Result::nest(4, rc);
  std::stable_sort(records.begin(), records.end(),
                   [](const SectionRecord& a, const SectionRecord& b) { return a.time < b.time; });
  std::vector<std::uint64_t> notes;
  GetNoteOnTimes(notes);
  bool sounding[24] = {};
  for (std::size_t i = 0; i < records.size(); ++i) {
    const SectionRecord& r = records[i];
    if (r.id >= 24) continue;
    std::size_t j = i + 1;
    while (j < records.size() && records[j].time <= r.time) ++j;
    if (j == records.size()) continue;
    const std::uint64_t next = records[j].time;
    for (std::uint64_t t : notes) {
      if (t != 0 && t >= r.time && t < next) {
        sounding[r.id] = true;
        break;
      }
    }
  }
  for (std::uint8_t id = 0; id < 24; ++id) {
    if (!sounding[id]) *mask |= std::uint64_t{1} << id;
  }
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::SetRange1Preset(CCtabData* table, std::uint8_t variant) {
  struct Triple {
    std::uint8_t b0, code, flag;
  };
  static const Triple kVariants[12] = {{0, 3, 0}, {1, 0, 0}, {0, 3, 0}, {0, 3, 0}, {0, 3, 0}, {1, 0, 0},
                                       {0, 1, 1}, {1, 0, 0}, {1, 2, 0}, {0, 1, 0}, {0, 1, 1}, {1, 0, 0}};
  if (!table) return Result::fail(1);
  if (variant < 1 || variant > 12) return Result::fail(5);
  const Triple& v = kVariants[variant - 1];
  ResultCode rc = table->SetB0(1, v.b0);
  if (Result::failed(rc)) return Result::nest(2, rc);
  rc = table->SetB1Code(1, v.code);
  if (Result::failed(rc)) return Result::nest(3, rc);
  rc = table->SetB1Flag(1, v.flag);
  if (Result::failed(rc)) return Result::nest(4, rc);
  return Result::kOk;
}

ResultCode CSmfStyleDecorator::CheckSectionEvents(SectionCheckReport* report) const {
  if (!report) return Result::fail(3);
  *report = SectionCheckReport{};
  std::uint64_t bar = 0;
  ResultCode rc = GetBarLength(&bar);
  if (Result::failed(rc)) return Result::nest(1, rc);
  if (bar == 0) return Result::fail(2);
  SectionRecordList ccs, markers;
  rc = GetSectionControlChangeRecords(ccs);
  if (Result::failed(rc)) return Result::nest(4, rc);
  rc = GetSectionMarkerRecords(markers);
  if (Result::failed(rc)) return Result::nest(5, rc);
  FindOffBarSections(ccs, bar, report->offBarControlChangeIds);
  FindOffBarSections(markers, bar, report->offBarMarkerIds);
  // Either form of one section at one time is one mark.
  SectionRecordList all = ccs;
  for (const SectionRecord& r : markers) {
    if (std::find(all.begin(), all.end(), r) == all.end()) all.push_back(r);
  }
  std::stable_sort(all.begin(), all.end(),
                   [](const SectionRecord& a, const SectionRecord& b) { return a.time < b.time; });
  FindConflictingSections(all, report->conflicts);
  return Result::kOk;
}
