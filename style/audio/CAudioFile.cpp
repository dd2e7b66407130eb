#include "CAudioFile.h"

#include <cstring>

#include "ByteFieldAccess.h"
#include "NoThrowAlloc.h"
#include "SectionNameText.h"

CAudioFile::CAudioFile() { std::memset(nameRecord_, 0, sizeof nameRecord_); }

CAudioFile::~CAudioFile() { delete waveForm_; }

CAudioFile& CAudioFile::operator=(const CAudioFile& other) {
  CopyFrom(other);
  return *this;
}

ResultCode CAudioFile::CopyFrom(const CAudioFile& other) {
  if (this == &other) return Result::kOk;
  CAudioWaveForm* waveForm = NoThrowAlloc::TryNew<CAudioWaveForm>();
  if (!waveForm) return Result::fail(1);
  if (other.waveForm_) {
    const ResultCode rc = waveForm->CopyFrom(*other.waveForm_);
    if (Result::failed(rc)) {
      delete waveForm;
      return Result::nest(2, rc);
    }
  }
  std::memcpy(nameRecord_, other.nameRecord_, sizeof nameRecord_);
  delete waveForm_;
  waveForm_ = waveForm;
  return Result::kOk;
}

ResultCode CAudioFile::Init() {
  std::memset(nameRecord_, 0, sizeof nameRecord_);
  DeleteWaveForm();
  CAudioWaveForm* waveForm = NoThrowAlloc::TryNew<CAudioWaveForm>();
  if (!waveForm) return Result::fail(4);
  const ResultCode rc = waveForm->Init();
  if (Result::failed(rc)) {
    delete waveForm;
    return Result::nest(2, rc);
  }
  waveForm_ = waveForm;
  return Result::kOk;
}

ResultCode CAudioFile::Clear() {
  std::memset(nameRecord_, 0, sizeof nameRecord_);
  return DeleteWaveForm();
}

ResultCode CAudioFile::SetNameRecord(const std::uint8_t* bytes, std::uint64_t n) {
  return ByteField::Store(nameRecord_, sizeof nameRecord_, 0, bytes, n);
}

ResultCode CAudioFile::GetNameRecord(std::uint8_t* buffer, std::uint64_t& n) const {
  return ByteField::Fetch(nameRecord_, sizeof nameRecord_, buffer, n);
}

ResultCode CAudioFile::SetWaveForm(CAudioWaveForm* waveForm) {
  if (!waveForm) return Result::fail(1);
  if (waveForm != waveForm_) delete waveForm_;
  waveForm_ = waveForm;
  return Result::kOk;
}

ResultCode CAudioFile::DeleteWaveForm() {
  delete waveForm_;
  waveForm_ = nullptr;
  return Result::kOk;
}

ResultCode CAudioFile::FindSection(CSection*& section) const {
  section = nullptr;
  if (!waveForm_) return Result::fail(1);
  const CAudioStyleWaveFormat* styleFormat = waveForm_->GetStyleWaveFormat();
  if (!styleFormat) return Result::fail(2);
  section = styleFormat->GetSection();
  if (!section) return Result::fail(3);
  return Result::kOk;
}

ResultCode CAudioFile::SetSectionNamesText(const char* text, std::uint64_t n) {
  CSection* section = nullptr;
  ResultCode rc = FindSection(section);
  if (Result::failed(rc)) return rc;
  rc = section->SetNamesFromText(text, n);
  return Result::failed(rc) ? Result::nest(4, rc) : Result::kOk;
}

ResultCode CAudioFile::SetSectionNames(const NameList& names) {
  CSection* section = nullptr;
  ResultCode rc = FindSection(section);
  if (Result::failed(rc)) return rc;
  const std::string text = SectionNameText::Join(names);
  rc = text.empty() ? section->ClearNames() : section->SetNamesFromText(text.data(), text.size());
  return Result::failed(rc) ? Result::nest(4, rc) : Result::kOk;
}

ResultCode CAudioFile::ClearSectionNames() {
  CSection* section = nullptr;
  ResultCode rc = FindSection(section);
  if (Result::failed(rc)) return rc;
  rc = section->ClearNames();
  return Result::failed(rc) ? Result::nest(4, rc) : Result::kOk;
}

ResultCode CAudioFile::GetSectionNamesText(std::vector<std::uint8_t>& text) const {
  CSection* section = nullptr;
  ResultCode rc = FindSection(section);
  if (Result::failed(rc)) return rc;
  rc = section->GetNamesText(text);
  return Result::failed(rc) ? Result::nest(4, rc) : Result::kOk;
}

ResultCode CAudioFile::GetSectionNames(NameList& names) const {
  CSection* section = nullptr;
  ResultCode rc = FindSection(section);
  if (Result::failed(rc)) return rc;
  rc = section->GetNames(names);
  return Result::failed(rc) ? Result::nest(4, rc) : Result::kOk;
}

void CAudioFile::AddSectionNumber(std::int64_t number) {
  NameList names;
  if (Result::failed(GetSectionNames(names))) return;
  const std::string text = SectionNameText::Join(names) + "," + SectionNameText::NumberToName(number);
  SetSectionNamesText(text.data(), text.size());
}

void CAudioFile::RemoveSectionNumber(std::int64_t number) {
  if (number < 0) return;
  NameList names;
  if (Result::failed(GetSectionNames(names))) return;
  const std::string name = SectionNameText::NumberToName(number);
  for (auto it = names.begin(); it != names.end(); ++it) {
    if (*it == name) {
      names.erase(it);
      SetSectionNames(names);
      return;
    }
  }
}

std::uint64_t CAudioFile::GetSectionNameCount() const {
  NameList names;
  if (Result::failed(GetSectionNames(names))) return 0;
  return names.size();
}
