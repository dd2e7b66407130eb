#include "CAudioWaveInfo.h"

#include "NoThrowAlloc.h"

namespace {

// Copies the non-null records of `source` into `target` (empty on entry);
// false, with `target` emptied, when a record cannot be allocated.
template <typename Record>
bool CopyRecords(const std::vector<Record*>& source, std::vector<Record*>& target) {
  for (const Record* r : source) {
    if (!r) continue;
    Record* copy = NoThrowAlloc::TryNew<Record>();
    if (!copy) {
      for (Record* t : target) delete t;
      target.clear();
      return false;
    }
    *copy = *r;
    target.push_back(copy);
  }
  return true;
}

template <typename Record>
bool SameRecords(const std::vector<Record*>& a, const std::vector<Record*>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!a[i] || !b[i]) {
      if (a[i] != b[i]) return false;
    } else if (*a[i] != *b[i]) {
      return false;
    }
  }
  return true;
}

template <typename Record>
Record* At(const std::vector<Record*>& list, std::uint64_t i) {
  return i < list.size() ? list[i] : nullptr;
}

}  // namespace

CAudioWaveInfo::~CAudioWaveInfo() { Clear(); }

CAudioWaveInfo& CAudioWaveInfo::operator=(const CAudioWaveInfo& other) {
  CopyFrom(other);
  return *this;
}

ResultCode CAudioWaveInfo::CopyFrom(const CAudioWaveInfo& other) {
  if (this == &other) return Result::kOk;
  AudioPointList beats, onsets, attacks, points2;
  AudioTempoList tempos;
  const bool ok = CopyRecords(other.beatPoints_, beats) && CopyRecords(other.onsetPoints_, onsets) &&
                  CopyRecords(other.attackPoints_, attacks) && CopyRecords(other.tempos_, tempos) &&
                  CopyRecords(other.points2_, points2);
  if (!ok) {
    ClearPointList(beats);
    ClearPointList(onsets);
    ClearPointList(attacks);
    ClearTempoList(tempos);
    ClearPointList(points2);
    return Result::fail(1);
  }
  Clear();
  beatPoints_.swap(beats);
  onsetPoints_.swap(onsets);
  attackPoints_.swap(attacks);
  tempos_.swap(tempos);
  points2_.swap(points2);
  volume_ = other.volume_;
  return Result::kOk;
}

bool CAudioWaveInfo::operator==(const CAudioWaveInfo& o) const {
  return SameRecords(beatPoints_, o.beatPoints_) && SameRecords(onsetPoints_, o.onsetPoints_) &&
         SameRecords(attackPoints_, o.attackPoints_) && SameRecords(tempos_, o.tempos_) &&
         SameRecords(points2_, o.points2_) && volume_ == o.volume_;
}

ResultCode CAudioWaveInfo::Clear() {
  ClearPointList(beatPoints_);
  ClearPointList(onsetPoints_);
  ClearPointList(attackPoints_);
  ClearTempoList(tempos_);
  ClearPointList(points2_);
  volume_ = kDefaultVolume;
  return Result::kOk;
}

ResultCode CAudioWaveInfo::AddBeatPoint(CAudioPoint* p) {
  if (!p) return Result::fail(1);
  beatPoints_.push_back(p);
  return Result::kOk;
}
ResultCode CAudioWaveInfo::AddOnsetPoint(CAudioPoint* p) {
  if (!p) return Result::fail(1);
  onsetPoints_.push_back(p);
  return Result::kOk;
}
ResultCode CAudioWaveInfo::AddAttackPoint(CAudioPoint* p) {
  if (!p) return Result::fail(1);
  attackPoints_.push_back(p);
  return Result::kOk;
}
ResultCode CAudioWaveInfo::AddTempo(CAudioTempo* t) {
  if (!t) return Result::fail(1);
  tempos_.push_back(t);
  return Result::kOk;
}
ResultCode CAudioWaveInfo::AddPoint2(CAudioPoint* p) {
  if (!p) return Result::fail(1);
  points2_.push_back(p);
  return Result::kOk;
}

CAudioPoint* CAudioWaveInfo::GetBeatPoint(std::uint64_t i) const { return At(beatPoints_, i); }
CAudioPoint* CAudioWaveInfo::GetOnsetPoint(std::uint64_t i) const { return At(onsetPoints_, i); }
CAudioPoint* CAudioWaveInfo::GetAttackPoint(std::uint64_t i) const { return At(attackPoints_, i); }
CAudioTempo* CAudioWaveInfo::GetTempo(std::uint64_t i) const { return At(tempos_, i); }
CAudioPoint* CAudioWaveInfo::GetPoint2(std::uint64_t i) const { return At(points2_, i); }

ResultCode CAudioWaveInfo::ClearPointList(AudioPointList& list) {
  for (CAudioPoint* p : list) delete p;
  list.clear();
  return Result::kOk;
}

ResultCode CAudioWaveInfo::ClearTempoList(AudioTempoList& list) {
  for (CAudioTempo* t : list) delete t;
  list.clear();
  return Result::kOk;
}
