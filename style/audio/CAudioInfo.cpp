#include "CAudioInfo.h"

#include <algorithm>
#include <cstring>

#include "NoThrowAlloc.h"

namespace {

bool ValidNumber(std::int64_t n) { return n >= 0 && n < CAudioInfo::kSectionCount; }

template <typename Entry>
Entry* At(const std::vector<Entry*>& list, std::uint64_t i) {
  return i < list.size() ? list[i] : nullptr;
}

template <typename Entry>
Entry* Distinct(const std::vector<Entry*>& list, std::uint64_t i) {
  if (i >= list.size()) return nullptr;
  Entry* e = list[i];
  if (std::find(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(i), e) != list.begin() + static_cast<std::ptrdiff_t>(i)) {
    return nullptr;
  }
  return e;
}

}  // namespace

CAudioInfo::CAudioInfo() { Reset(); }

CAudioInfo::~CAudioInfo() {
  DeleteSectionList(sections_);
  DeleteFileList(files_);
}

CAudioInfo& CAudioInfo::operator=(const CAudioInfo& other) {
  CopyFrom(other);
  return *this;
}

ResultCode CAudioInfo::CopyFrom(const CAudioInfo& other) {
  if (this == &other) return Result::kOk;
  AudioSectionList sections;
  for (const CAudioSection* s : other.sections_) {
    if (!s) continue;
    CAudioSection* copy = NoThrowAlloc::TryNew<CAudioSection>();
    if (!copy || Result::failed(copy->CopyFrom(*s))) {
      delete copy;
      DeleteSectionList(sections);
      return Result::fail(1);
    }
    sections.push_back(copy);
  }
  AudioFileList files;
  for (const CAudioFile* f : other.files_) {
    if (!f) continue;
    CAudioFile* copy = NoThrowAlloc::TryNew<CAudioFile>();
    const ResultCode rc = copy ? copy->CopyFrom(*f) : Result::fail(1);
    if (Result::failed(rc)) {
      delete copy;
      DeleteSectionList(sections);
      DeleteFileList(files);
      return Result::nest(2, rc);
    }
    files.push_back(copy);
  }
  DeleteSectionList(sections_);
  DeleteFileList(files_);
  sections_.swap(sections);
  files_.swap(files);
  flag_ = other.flag_;
  return Result::kOk;
}

ResultCode CAudioInfo::Reset() {
  DeleteSectionList(sections_);
  DeleteFileList(files_);
  flag_ = 0;
  std::memset(sectionValues_, kDefaultSectionValue, sizeof sectionValues_);
  std::memset(sectionFlags_, 0, sizeof sectionFlags_);
  return Result::kOk;
}

ResultCode CAudioInfo::DeleteSectionList(AudioSectionList& list) {
  for (CAudioSection* s : list) delete s;
  list.clear();
  return Result::kOk;
}

ResultCode CAudioInfo::DeleteFileList(AudioFileList& list) {
  for (CAudioFile* f : list) delete f;
  list.clear();
  return Result::kOk;
}

CAudioSection* CAudioInfo::GetSection(std::uint64_t i) const { return At(sections_, i); }
CAudioFile* CAudioInfo::GetFile(std::uint64_t i) const { return At(files_, i); }
CAudioSection* CAudioInfo::GetDistinctSection(std::uint64_t i) const { return Distinct(sections_, i); }
CAudioFile* CAudioInfo::GetDistinctFile(std::uint64_t i) const { return Distinct(files_, i); }

void CAudioInfo::SetSectionValue(std::int64_t number, std::uint8_t flag, std::uint8_t value) {
  if (!ValidNumber(number)) return;
  sectionFlags_[number] = flag;
  sectionValues_[number] = value;
}

void CAudioInfo::SetSectionFlag(std::int64_t number, std::uint8_t flag) {
  if (ValidNumber(number)) sectionFlags_[number] = flag;
}

void CAudioInfo::SetFlaggedValues(std::uint8_t value) {
  for (int i = 0; i < kSectionCount; ++i) {
    if (sectionFlags_[i]) sectionValues_[i] = value;
  }
}

void CAudioInfo::SetAllSectionValues(std::uint8_t value) {
  std::memset(sectionValues_, value, sizeof sectionValues_);
  std::memset(sectionFlags_, 0, sizeof sectionFlags_);
}

bool CAudioInfo::FlaggedValuesEqual() const {
  int first = -1;
  for (int i = 0; i < kSectionCount; ++i) {
    if (!sectionFlags_[i]) continue;
    if (first < 0) first = i;
    else if (sectionValues_[i] != sectionValues_[first]) return false;
  }
  return true;
}

std::uint8_t CAudioInfo::GetFirstFlaggedValue() const {
  for (int i = 0; i < kSectionCount; ++i) {
    if (sectionFlags_[i]) return sectionValues_[i];
  }
  return kDefaultSectionValue;
}

std::uint8_t CAudioInfo::GetSectionValue(std::int64_t number) const {
  return ValidNumber(number) ? sectionValues_[number] : kDefaultSectionValue;
}

std::uint8_t CAudioInfo::GetSectionFlag(std::int64_t number) const {
  return ValidNumber(number) ? sectionFlags_[number] : 0;
}
