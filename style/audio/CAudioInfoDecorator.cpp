// Assignment of recordings to audio sections.

#include "CAudioInfoDecorator.h"

#include <algorithm>
#include <cstring>

#include "NoThrowAlloc.h"
#include "SectionNameText.h"

namespace {

bool IsAudioSectionNumber(std::int64_t number) { return number >= 0 && number < CAudioInfo::kSectionCount; }

// The name made into a 50-byte record: at most 50 bytes, zero-padded.
void MakeNameRecord(const std::uint8_t* name, std::uint64_t length, std::uint8_t (&record)[CAudioFile::kNameRecordSize]) {
  std::memset(record, 0, sizeof record);
  if (name) std::memcpy(record, name, static_cast<std::size_t>(std::min<std::uint64_t>(length, sizeof record)));
}

bool NamesHold(const NameList& names, std::int64_t number) {
  return std::any_of(names.begin(), names.end(),
                     [number](const std::string& n) { return SectionNameText::NameToNumber(n) == number; });
}

std::int64_t FirstNameNumber(const NameList& names) {
  return names.empty() ? -1 : SectionNameText::NameToNumber(names.front());
}

// The file's Sdec section, or null when a part is missing.
CSection* SdecSection(const CAudioFile* file) {
  if (!file || !file->GetWaveForm() || !file->GetWaveForm()->GetStyleWaveFormat()) return nullptr;
  return file->GetWaveForm()->GetStyleWaveFormat()->GetSection();
}

}  // namespace

ResultCode CAudioInfoDecorator::SetSectionAudio(const std::uint8_t* text, std::uint64_t textLength,
                                                const std::uint8_t* name, std::uint64_t nameLength,
                                                const std::uint8_t* wavPath, std::uint64_t wavPathLength,
                                                std::int64_t audioSectionNumber, std::uint8_t* volume,
                                                std::uint8_t* pan, std::uint8_t* effectDepth) {
  if (!text || textLength == 0) return Result::fail(1);
  if (!name || nameLength == 0) return Result::fail(2);
  if (!wavPath || wavPathLength == 0) return Result::fail(3);
  if (!IsAudioSectionNumber(audioSectionNumber)) return Result::fail(4);
  if (!pan || !effectDepth) return Result::fail(10);
  const std::int64_t number = audioSectionNumber;

  UnlinkSections(number);
  UnlinkFiles(number);

  // A recording already in the style for another section only gains the
  // number; its analysis was read with its first assignment.
  CAudioSection* knownSection = SectionOfNameRecord(name, nameLength, nullptr);
  CAudioFile* knownFile = FileOfNameRecord(name, nameLength, nullptr);
  if (knownSection && knownFile) {
    knownSection->AddSectionNumber(number);
    knownFile->AddSectionNumber(number);
    return Result::kOk;
  }

  ResultCode rc = FindOrCreateSection(name, nameLength, number);
  if (Result::failed(rc)) return Result::nest(5, rc);
  rc = FindOrCreateFile(name, nameLength, wavPath, wavPathLength, number);
  if (Result::failed(rc)) return Result::nest(6, rc);
  CAudioSection* section = FindSectionByNumber(number);
  if (!section) return Result::fail(7);
  CAudioFile* file = FindFileBySection(number);
  if (!file) return Result::fail(8);
  rc = ParseInfoText(text, textLength, section, file, volume, *pan, *effectDepth);
  if (Result::failed(rc)) return Result::nest(9, rc);
  return Result::kOk;
}

ResultCode CAudioInfoDecorator::SetSectionAudioFromStrings(const std::vector<std::uint8_t>& text,
                                                           const std::string& name, const std::string& wavPath,
                                                           std::int64_t number, std::uint8_t volume,
                                                           std::uint8_t pan, std::uint8_t effectDepth) {
  const ResultCode rc =
      SetSectionAudio(text.data(), text.size(), reinterpret_cast<const std::uint8_t*>(name.data()), name.size(),
                      reinterpret_cast<const std::uint8_t*>(wavPath.data()), wavPath.size(), number, &volume, &pan,
                      &effectDepth);
  return Result::failed(rc) ? Result::nest(1, rc) : Result::kOk;
}

CAudioFile* CAudioInfoDecorator::FindFileBySection(std::int64_t number) const {
  if (number < 0) return nullptr;
  CAudioFile* found = nullptr;
  for (CAudioFile* f : files_) {
    const CSection* section = SdecSection(f);
    if (!section) continue;
    NameList names;
    if (Result::failed(section->GetNames(names))) continue;
    if (NamesHold(names, number)) found = f;
  }
  return found;
}

CAudioSection* CAudioInfoDecorator::FindSectionByNumber(std::int64_t number) const {
  if (number < 0) return nullptr;
  CAudioSection* found = nullptr;
  for (CAudioSection* s : sections_) {
    if (!s) continue;
    NameList names;
    if (Result::failed(s->GetNames(names))) continue;
    if (NamesHold(names, number)) found = s;
  }
  return found;
}

CAudioSection* CAudioInfoDecorator::SectionOfNameRecord(const std::uint8_t* name, std::uint64_t length,
                                                        std::int64_t* number) const {
  std::uint8_t record[CAudioFile::kNameRecordSize];
  MakeNameRecord(name, length, record);
  for (CAudioSection* s : sections_) {
    if (!s || s->GetAtabList().empty() || !s->GetAtabList().front()) continue;
    std::uint8_t block[CAtabData::kNameRecordSize];
    std::uint64_t n = sizeof block;
    if (Result::failed(s->GetAtabList().front()->GetBlock(block, n)) || n != sizeof block) continue;
    if (std::memcmp(block, record, sizeof record) != 0) continue;
    if (number) {
      NameList names;
      s->GetNames(names);
      *number = FirstNameNumber(names);
    }
    return s;
  }
  return nullptr;
}

CAudioFile* CAudioInfoDecorator::FileOfNameRecord(const std::uint8_t* name, std::uint64_t length,
                                                  std::int64_t* number) const {
  std::uint8_t record[CAudioFile::kNameRecordSize];
  MakeNameRecord(name, length, record);
  for (CAudioFile* f : files_) {
    if (!f) continue;
    std::uint8_t own[CAudioFile::kNameRecordSize];
    std::uint64_t n = sizeof own;
    if (Result::failed(f->GetNameRecord(own, n)) || n != sizeof own) continue;
    if (std::memcmp(own, record, sizeof record) != 0) continue;
    if (number) {
      NameList names;
      f->GetSectionNames(names);
      *number = FirstNameNumber(names);
    }
    return f;
  }
  return nullptr;
}

bool CAudioInfoDecorator::FindSectionByNameRecord(const std::uint8_t* name, std::uint64_t length,
                                                  std::int64_t& number) const {
  return SectionOfNameRecord(name, length, &number) != nullptr;
}

bool CAudioInfoDecorator::FindFileByNameRecord(const std::uint8_t* name, std::uint64_t length,
                                               std::int64_t& number) const {
  return FileOfNameRecord(name, length, &number) != nullptr;
}

ResultCode CAudioInfoDecorator::FindOrCreateSection(const std::uint8_t* name, std::uint64_t length,
                                                    std::int64_t number) {
  if (!name || length == 0) return Result::fail(1);
  if (!IsAudioSectionNumber(number)) return Result::fail(2);
  CAudioSection* section = FindSectionByNumber(number);
  if (!section) {
    section = NoThrowAlloc::TryNew<CAudioSection>();
    if (!section) return Result::fail(3);
    sections_.push_back(section);
  }
  ResultCode rc = section->Init();
  if (Result::failed(rc)) {
    sections_.erase(std::find(sections_.begin(), sections_.end(), section));
    delete section;
    return Result::nest(4, rc);
  }
  const std::string sectionName = SectionNameText::NumberToName(number);
  rc = section->SetDecoration(sectionName.data(), sectionName.size());
  if (Result::failed(rc)) return Result::nest(5, rc);
  if (!section->GetAtabList().empty() && section->GetAtabList().front()) {
    rc = section->GetAtabList().front()->SetBlock(name, length);
    if (Result::failed(rc)) return Result::nest(6, rc);
  }
  return Result::kOk;
}

ResultCode CAudioInfoDecorator::FindOrCreateFile(const std::uint8_t* name, std::uint64_t length,
                                                 const std::uint8_t* wavPath, std::uint64_t wavPathLength,
                                                 std::int64_t number) {
  if (!name || length == 0) return Result::fail(1);
  if (!wavPath || wavPathLength == 0) return Result::fail(2);
  if (!IsAudioSectionNumber(number)) return Result::fail(3);
  CAudioFile* file = FindFileBySection(number);
  if (!file) {
    file = NoThrowAlloc::TryNew<CAudioFile>();
    if (!file) return Result::fail(5);
    const ResultCode rc = file->Init();
    if (Result::failed(rc)) {
      delete file;
      return Result::nest(4, rc);
    }
    files_.push_back(file);
  }
  CSection* section = SdecSection(file);
  if (!section) return Result::fail(10);
  CAudioWaveData* data = file->GetWaveForm()->GetWaveData();
  ResultCode rc = section->InitDefault();
  if (Result::failed(rc)) return Result::nest(6, rc);
  const std::string sectionName = SectionNameText::NumberToName(number);
  rc = section->SetNamesFromText(sectionName.data(), sectionName.size());
  if (Result::failed(rc)) return Result::nest(7, rc);
  rc = file->SetNameRecord(name, length);
  if (Result::failed(rc)) return Result::nest(8, rc);
  if (data) {
    // The caller's length bounds the path; a terminating zero inside it
    // ends it earlier.
    const void* zero = std::memchr(wavPath, 0, static_cast<std::size_t>(wavPathLength));
    const std::size_t n = zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - wavPath)
                               : static_cast<std::size_t>(wavPathLength);
    rc = data->SetFilePath(std::string(reinterpret_cast<const char*>(wavPath), n));
    if (Result::failed(rc)) return Result::nest(9, rc);
  }
  return Result::kOk;
}

// The whole list is walked, so the number leaves every entry that holds it
// even when an earlier entry had to be deleted.
ResultCode CAudioInfoDecorator::UnlinkSections(std::int64_t number) {
  for (auto it = sections_.begin(); it != sections_.end();) {
    CAudioSection* s = *it;
    if (!s) {
      ++it;
      continue;
    }
    NameList names;
    const ResultCode rc = s->GetNames(names);
    if (Result::failed(rc)) return Result::nest(1, rc);
    if (NamesHold(names, number)) s->RemoveSectionNumber(number);
    if (s->HasNoNames()) {
      it = sections_.erase(it);
      delete s;
    } else {
      ++it;
    }
  }
  return Result::kOk;
}

// A file without its Sdec section counts as having no names.
ResultCode CAudioInfoDecorator::UnlinkFiles(std::int64_t number) {
  for (auto it = files_.begin(); it != files_.end();) {
    CAudioFile* f = *it;
    if (!f) {
      ++it;
      continue;
    }
    if (SdecSection(f)) {
      NameList names;
      const ResultCode rc = f->GetSectionNames(names);
      if (Result::failed(rc)) return Result::nest(1, rc);
      if (NamesHold(names, number)) f->RemoveSectionNumber(number);
    }
    if (f->HasNoSectionNames()) {
      it = files_.erase(it);
      delete f;
    } else {
      ++it;
    }
  }
  return Result::kOk;
}

ResultCode CAudioInfoDecorator::ApplyMix(CAMixData* mix, std::uint8_t volume, std::uint8_t pan,
                                         std::uint8_t effectDepth) {
  if (!mix) return Result::fail(1);
  ResultCode rc = mix->SetVolume(volume);
  if (Result::failed(rc)) return Result::nest(2, rc);
  if (Result::failed(rc = mix->SetPan(pan))) return Result::nest(3, rc);
  if (Result::failed(rc = mix->SetEffectDepth(effectDepth))) return Result::nest(4, rc);
  return Result::kOk;
}

ResultCode CAudioInfoDecorator::GetRepeatCount(std::int64_t number, std::uint8_t lengthInBars,
                                               std::uint8_t& count) const {
  count = 0;
  if (lengthInBars == 0) return Result::fail(1);
  const CAudioFile* file = FindFileBySection(number);
  if (!file) return Result::fail(2);
  const CAudioWaveForm* waveForm = file->GetWaveForm();
  const CAudioStyleWaveFormat* styleFormat = waveForm ? waveForm->GetStyleWaveFormat() : nullptr;
  std::uint16_t bars = 0;
  if (styleFormat) styleFormat->GetNumberOfBars(bars);
  if (bars == 0) return Result::fail(3);
  if (bars <= lengthInBars) count = static_cast<std::uint8_t>(lengthInBars / bars - 1);
  return lengthInBars % bars != 0 ? Result::fail(4) : Result::kOk;
}

ResultCode CAudioInfoDecorator::ClearSections() {
  const ResultCode rc = CAudioInfo::ClearSections();
  return Result::failed(rc) ? Result::nest(1, rc) : Result::kOk;
}

ResultCode CAudioInfoDecorator::ClearFiles() {
  const ResultCode rc = CAudioInfo::ClearFiles();
  return Result::failed(rc) ? Result::nest(1, rc) : Result::kOk;
}
