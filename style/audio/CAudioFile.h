#pragma once
// One recording of an audio style (the ADSg chunk): its 50-byte name record
// and its wave container. The name record is a fixed field, not a
// terminated string; all 50 bytes are the recording's identity, and the
// same bytes stand in the first channel table of the recording's audio
// section.
//
// The audio section numbers that play the recording are the names of the
// CSection inside the style description (the Sdec list).

#include <cstdint>
#include <string>
#include <vector>

#include "CAudioWaveForm.h"
#include "CSection.h"
#include "ResultCode.h"

class CAudioFile {
 public:
  static constexpr int kNameRecordSize = 50;

  // Zero name record, no wave form.
  CAudioFile();
  // Deletes the wave form.
  virtual ~CAudioFile();
  CAudioFile(const CAudioFile&) = delete;

  // The name record, and a new wave form copying the other's (an empty one
  // of type "WAVE" when the other has none). On failure the object is left
  // as it was (CopyFrom reports it).
  CAudioFile& operator=(const CAudioFile& other);
  // As operator=. 1 no memory; 2 + c copying the wave form.
  ResultCode CopyFrom(const CAudioFile& other);

  // Zero name record and a new default wave form (CAudioWaveForm::Init).
  // 4 no memory; 2 + c its Init (the file is then left without wave form).
  ResultCode Init();
  // Zero name record, wave form deleted; 0.
  ResultCode Clear();

  // The byte-field rules of ByteFieldAccess.h, 50 bytes, zero fill.
  ResultCode SetNameRecord(const std::uint8_t* bytes, std::uint64_t n);
  ResultCode GetNameRecord(std::uint8_t* buffer, std::uint64_t& n) const;

  // Takes ownership and deletes the wave form held before (unless it is the
  // same object); null -> 0x80000001.
  ResultCode SetWaveForm(CAudioWaveForm* waveForm);
  CAudioWaveForm* GetWaveForm() const { return waveForm_; }
  ResultCode DeleteWaveForm();

  // --- the Sdec names of the recording ---
  // Each fails with 1 without wave form, 2 without style description, 3
  // without its CSection, and 4 + c when the CSection operation fails.
  // Names from a ','-separated text; empty pieces are skipped.
  ResultCode SetSectionNamesText(const char* text, std::uint64_t n);
  // The names joined with ',' and split again; an empty result clears them.
  ResultCode SetSectionNames(const NameList& names);
  ResultCode ClearSectionNames();
  ResultCode GetSectionNamesText(std::vector<std::uint8_t>& text) const;
  ResultCode GetSectionNames(NameList& names) const;
  // Appends the long name of an audio section number; nothing when a part
  // is missing.
  void AddSectionNumber(std::int64_t number);
  // Removes the first name equal to the number's long name; nothing for a
  // negative number.
  void RemoveSectionNumber(std::int64_t number);
  // 0 when a part is missing.
  std::uint64_t GetSectionNameCount() const;
  bool HasNoSectionNames() const { return GetSectionNameCount() == 0; }

 private:
  ResultCode FindSection(CSection*& section) const;

  std::uint8_t nameRecord_[kNameRecordSize];
  CAudioWaveForm* waveForm_ = nullptr;
};
