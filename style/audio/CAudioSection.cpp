#include "CAudioSection.h"

#include "NoThrowAlloc.h"
#include "SectionNameText.h"

CAudioSection::~CAudioSection() { Clear(); }

CAudioSection& CAudioSection::operator=(const CAudioSection& other) {
  CopyFrom(other);
  return *this;
}

ResultCode CAudioSection::CopyFrom(const CAudioSection& other) {
  if (this == &other) return Result::kOk;
  AtabList tables;
  for (const CAtabData* t : other.atabs_) {
    if (!t) continue;
    CAtabData* copy = NoThrowAlloc::TryNew<CAtabData>();
    if (!copy) {
      DeleteAtabList(tables);
      return Result::fail(1);
    }
    copy->CopyFrom(*t);
    tables.push_back(copy);
  }
  CAMixData* mix = nullptr;
  if (other.mixData_) {
    mix = NoThrowAlloc::TryNew<CAMixData>();
    if (!mix || Result::failed(mix->CopyTrackFrom(*other.mixData_))) {
      delete mix;
      DeleteAtabList(tables);
      return Result::fail(1);
    }
  }
  DeleteAtabList(atabs_);
  atabs_.swap(tables);
  delete mixData_;
  mixData_ = mix;
  names_ = other.names_;
  return Result::kOk;
}

ResultCode CAudioSection::Init() {
  Clear();
  names_.assign(1, "Dummy");
  CAtabData* table = NoThrowAlloc::TryNew<CAtabData>();
  if (!table) return Result::fail(2);
  ResultCode rc = table->Reset(0);
  if (Result::failed(rc)) {
    delete table;
    return Result::nest(3, rc);
  }
  atabs_.push_back(table);
  CAMixData* mix = NoThrowAlloc::TryNew<CAMixData>();
  if (!mix) return Result::fail(4);
  rc = mix->ResetTrack();
  if (Result::failed(rc)) {
    delete mix;
    return Result::nest(3, rc);
  }
  mixData_ = mix;
  return Result::kOk;
}

ResultCode CAudioSection::Clear() {
  DeleteAtabList(atabs_);
  DeleteMixData(&mixData_);
  names_.clear();
  return Result::kOk;
}

ResultCode CAudioSection::ClearNames() { return ClearNameList(names_); }

ResultCode CAudioSection::SetDecoration(const char* text, std::uint64_t length) {
  if (!text || length == 0) return Result::fail(1);
  NameList names;
  std::string part;
  for (std::uint64_t i = 0; i < length; ++i) {
    if (text[i] == ',') {
      if (!part.empty()) names.push_back(part);
      part.clear();
    } else {
      part.push_back(text[i]);
    }
  }
  if (!part.empty()) names.push_back(part);
  names_.swap(names);
  return Result::kOk;
}

ResultCode CAudioSection::SetNames(const NameList& names) {
  const std::string text = SectionNameText::Join(names);
  if (text.empty()) return ClearNames();
  return SetDecoration(text.data(), text.size());
}

ResultCode CAudioSection::GetDecorationText(std::vector<std::uint8_t>& text) const {
  const std::string joined = SectionNameText::Join(names_);
  text.assign(joined.begin(), joined.end());
  return Result::kOk;
}

ResultCode CAudioSection::GetNames(NameList& names) const {
  names = names_;
  return Result::kOk;
}

void CAudioSection::AddSectionNumber(std::int64_t number) {
  const std::string text = SectionNameText::Join(names_) + "," + SectionNameText::NumberToName(number);
  SetDecoration(text.data(), text.size());
}

void CAudioSection::RemoveSectionNumber(std::int64_t number) {
  if (number < 0) return;
  const std::string name = SectionNameText::NumberToName(number);
  for (auto it = names_.begin(); it != names_.end(); ++it) {
    if (*it == name) {
      NameList rest = names_;
      rest.erase(rest.begin() + (it - names_.begin()));
      SetNames(rest);
      return;
    }
  }
}

ResultCode CAudioSection::AddAtab(CAtabData* table) {
  if (!table) return Result::fail(1);
  atabs_.push_back(table);
  return Result::kOk;
}

CAtabData* CAudioSection::FindAtab(std::uint8_t headByte) const {
  for (CAtabData* t : atabs_) {
    if (!t) continue;
    std::uint8_t head = 0;
    if (Result::failed(t->GetHeadByte(head))) return nullptr;
    if (head == headByte) return t;
  }
  return nullptr;
}

ResultCode CAudioSection::SetMixData(CAMixData* mix) {
  if (!mix) return Result::fail(1);
  if (mix != mixData_) delete mixData_;
  mixData_ = mix;
  return Result::kOk;
}

ResultCode CAudioSection::DeleteAtabList(AtabList& list) {
  for (CAtabData* t : list) delete t;
  list.clear();
  return Result::kOk;
}

ResultCode CAudioSection::DeleteMixData(CAMixData** mix) {
  if (!mix) return Result::fail(1);
  delete *mix;
  *mix = nullptr;
  return Result::kOk;
}

ResultCode CAudioSection::ClearNameList(NameList& list) {
  list.clear();
  return Result::kOk;
}
