#include "CAudioStyleWaveFormat.h"

#include <cstring>

#include "ByteFieldAccess.h"
#include "NoThrowAlloc.h"

CAudioStyleWaveFormat::~CAudioStyleWaveFormat() {
  ClearSyncroPointList(syncroPoints_);
  delete section_;
}

CAudioStyleWaveFormat& CAudioStyleWaveFormat::operator=(const CAudioStyleWaveFormat& other) {
  CopyFrom(other);
  return *this;
}

ResultCode CAudioStyleWaveFormat::CopyFrom(const CAudioStyleWaveFormat& other) {
  if (this == &other) return Result::kOk;
  // Everything new is built first, so a failed allocation changes nothing.
  SyncroPointList points;
  for (const CSyncroPoint* p : other.syncroPoints_) {
    if (!p) continue;
    CSyncroPoint* copy = NoThrowAlloc::TryNew<CSyncroPoint>();
    if (!copy) {
      ClearSyncroPointList(points);
      return Result::fail(1);
    }
    *copy = *p;
    points.push_back(copy);
  }
  CSection* section = NoThrowAlloc::TryNew<CSection>();
  if (!section || (other.section_ && Result::failed(section->CopyFrom(*other.section_)))) {
    delete section;
    ClearSyncroPointList(points);
    return Result::fail(1);
  }
  formatTag_ = other.formatTag_;
  std::memcpy(originalTempo_, other.originalTempo_, sizeof originalTempo_);
  std::memcpy(tempo2_, other.tempo2_, sizeof tempo2_);
  std::memcpy(tempo3_, other.tempo3_, sizeof tempo3_);
  std::memcpy(originalTimeSignature_, other.originalTimeSignature_, sizeof originalTimeSignature_);
  field6_ = other.field6_;
  numberOfBars_ = other.numberOfBars_;
  field8_ = other.field8_;
  field9_ = other.field9_;
  field10_ = other.field10_;
  field11_ = other.field11_;
  ClearSyncroPointList(syncroPoints_);
  syncroPoints_.swap(points);
  delete section_;
  section_ = section;
  return Result::kOk;
}

bool CAudioStyleWaveFormat::operator==(const CAudioStyleWaveFormat& o) const {
  if (formatTag_ != o.formatTag_ || std::memcmp(originalTempo_, o.originalTempo_, sizeof originalTempo_) != 0 ||
      std::memcmp(tempo2_, o.tempo2_, sizeof tempo2_) != 0 || std::memcmp(tempo3_, o.tempo3_, sizeof tempo3_) != 0 ||
      std::memcmp(originalTimeSignature_, o.originalTimeSignature_, sizeof originalTimeSignature_) != 0 ||
      field6_ != o.field6_ || numberOfBars_ != o.numberOfBars_ || field8_ != o.field8_ || field9_ != o.field9_ ||
      field10_ != o.field10_ || field11_ != o.field11_ || syncroPoints_.size() != o.syncroPoints_.size()) {
    return false;
  }
  for (std::size_t i = 0; i < syncroPoints_.size(); ++i) {
    const CSyncroPoint* a = syncroPoints_[i];
    const CSyncroPoint* b = o.syncroPoints_[i];
    if (!a || !b) {
      if (a != b) return false;
      continue;
    }
    if (*a != *b) return false;
  }
  if (!section_ || !o.section_) return section_ == o.section_;
  return *section_ == *o.section_;
}

void CAudioStyleWaveFormat::ClearFixedFields() {
  formatTag_ = 0;
  std::memset(originalTempo_, 0, sizeof originalTempo_);
  std::memset(tempo2_, 0, sizeof tempo2_);
  std::memset(tempo3_, 0, sizeof tempo3_);
  std::memset(originalTimeSignature_, 0, sizeof originalTimeSignature_);
  field6_ = 1;
  numberOfBars_ = 0;
  field8_ = field9_ = field10_ = field11_ = 0;
}

ResultCode CAudioStyleWaveFormat::Clear() {
  ClearFixedFields();
  ClearSyncroPointList(syncroPoints_);
  DeleteSection();
  return Result::kOk;
}

ResultCode CAudioStyleWaveFormat::Reset() {
  Clear();
  CSection* section = NoThrowAlloc::TryNew<CSection>();
  if (!section) return Result::fail(4);
  const ResultCode rc = section->InitDefault();
  if (Result::failed(rc)) {
    delete section;
    return Result::nest(2, rc);
  }
  section_ = section;
  return Result::kOk;
}

ResultCode CAudioStyleWaveFormat::SetOriginalTempo(const std::uint8_t* bytes, std::uint64_t n) {
  return ByteField::Store(originalTempo_, sizeof originalTempo_, 0, bytes, n);
}
ResultCode CAudioStyleWaveFormat::GetOriginalTempo(std::uint8_t* buffer, std::uint64_t& n) const {
  return ByteField::Fetch(originalTempo_, sizeof originalTempo_, buffer, n);
}
ResultCode CAudioStyleWaveFormat::SetTempo2(const std::uint8_t* bytes, std::uint64_t n) {
  return ByteField::Store(tempo2_, sizeof tempo2_, 0, bytes, n);
}
ResultCode CAudioStyleWaveFormat::GetTempo2(std::uint8_t* buffer, std::uint64_t& n) const {
  return ByteField::Fetch(tempo2_, sizeof tempo2_, buffer, n);
}
ResultCode CAudioStyleWaveFormat::SetTempo3(const std::uint8_t* bytes, std::uint64_t n) {
  return ByteField::Store(tempo3_, sizeof tempo3_, 0, bytes, n);
}
ResultCode CAudioStyleWaveFormat::GetTempo3(std::uint8_t* buffer, std::uint64_t& n) const {
  return ByteField::Fetch(tempo3_, sizeof tempo3_, buffer, n);
}
ResultCode CAudioStyleWaveFormat::SetOriginalTimeSignature(const std::uint8_t* bytes, std::uint64_t n) {
  return ByteField::Store(originalTimeSignature_, sizeof originalTimeSignature_, 0, bytes, n);
}
ResultCode CAudioStyleWaveFormat::GetOriginalTimeSignature(std::uint8_t* buffer, std::uint64_t& n) const {
  return ByteField::Fetch(originalTimeSignature_, sizeof originalTimeSignature_, buffer, n);
}

ResultCode CAudioStyleWaveFormat::CopyTempoBytes(std::uint8_t (&field)[3], const std::uint8_t* bytes,
                                                 std::uint64_t n) {
  return ByteField::Store(field, sizeof field, 0, bytes, n);
}

ResultCode CAudioStyleWaveFormat::CopyTimeSignatureBytes(std::uint8_t (&field)[4], const std::uint8_t* bytes,
                                                         std::uint64_t n) {
  return ByteField::Store(field, sizeof field, 0, bytes, n);
}

ResultCode CAudioStyleWaveFormat::AddSyncroPoint(CSyncroPoint* point) {
  if (!point) return Result::fail(1);
  syncroPoints_.push_back(point);
  return Result::kOk;
}

ResultCode CAudioStyleWaveFormat::DropLastSyncroPoint() {
  if (!syncroPoints_.empty()) syncroPoints_.pop_back();
  return Result::kOk;
}

ResultCode CAudioStyleWaveFormat::ClearSyncroPoints() { return ClearSyncroPointList(syncroPoints_); }

CSyncroPoint* CAudioStyleWaveFormat::GetSyncroPoint(std::uint64_t i) const {
  return i < syncroPoints_.size() ? syncroPoints_[i] : nullptr;
}

ResultCode CAudioStyleWaveFormat::ClearSyncroPointList(SyncroPointList& list) {
  for (CSyncroPoint* p : list) delete p;
  list.clear();
  return Result::kOk;
}

ResultCode CAudioStyleWaveFormat::DeleteSyncroPoint(CSyncroPoint** point) {
  if (!point) return Result::fail(1);
  delete *point;
  *point = nullptr;
  return Result::kOk;
}

ResultCode CAudioStyleWaveFormat::SetSection(CSection* section) {
  if (!section) return Result::fail(1);
  if (section != section_) delete section_;
  section_ = section;
  return Result::kOk;
}

ResultCode CAudioStyleWaveFormat::DeleteSection() {
  delete section_;
  section_ = nullptr;
  return Result::kOk;
}
