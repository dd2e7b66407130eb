#pragma once
// One recording's wave container (the AWav chunk): a 4-byte type ("WAVE")
// and four owned parts: the PCM format (Afmt), the style description
// (Sfmt), the sample bytes (Adat) and the analysis results (AInf). A part
// may be missing (null).

#include <cstdint>

#include "CAudioStyleWaveFormat.h"
#include "CAudioWaveData.h"
#include "CAudioWaveFormat.h"
#include "CAudioWaveInfo.h"
#include "ResultCode.h"

class CAudioWaveForm {
 public:
  // Type "WAVE", no parts.
  CAudioWaveForm();
  // Deletes the four parts.
  virtual ~CAudioWaveForm();
  CAudioWaveForm(const CAudioWaveForm&) = delete;

  // Type copied; every part replaced by a copy of the other's, or by a newly
  // constructed one where the other has none. On failure the object is left
  // as it was (CopyFrom reports it).
  CAudioWaveForm& operator=(const CAudioWaveForm& other);
  // As operator=. 1 no memory; 2 + c copying the sample bytes.
  ResultCode CopyFrom(const CAudioWaveForm& other);

  // Type "WAVE" and a fresh set of parts: the default format, a reset style
  // description, empty sample data and analysis results with volume 80.
  // 4 / 7 / 0x0A / 0x0D no memory for format / style description / data /
  // info; 5 + c the style description's reset.
  ResultCode Init();
  // Type "WAVE", the four parts deleted; 0.
  ResultCode Clear();

  // The byte-field rules of ByteFieldAccess.h, 4 bytes, blank fill.
  ResultCode SetType(const std::uint8_t* bytes, std::uint64_t n);
  ResultCode GetType(std::uint8_t* buffer, std::uint64_t& n) const;

  // The setters take ownership and delete the part held before (unless it
  // is the same object); null -> 0x80000001.
  ResultCode SetWaveFormat(CAudioWaveFormat* part);
  ResultCode SetStyleWaveFormat(CAudioStyleWaveFormat* part);
  ResultCode SetWaveData(CAudioWaveData* part);
  ResultCode SetWaveInfo(CAudioWaveInfo* part);
  CAudioWaveFormat* GetWaveFormat() const { return format_; }
  CAudioStyleWaveFormat* GetStyleWaveFormat() const { return styleFormat_; }
  CAudioWaveData* GetWaveData() const { return data_; }
  CAudioWaveInfo* GetWaveInfo() const { return info_; }
  ResultCode DeleteWaveFormat();
  ResultCode DeleteStyleWaveFormat();
  ResultCode DeleteWaveData();
  ResultCode DeleteWaveInfo();

 private:
  std::uint8_t type_[4];
  CAudioWaveFormat* format_ = nullptr;
  CAudioStyleWaveFormat* styleFormat_ = nullptr;
  CAudioWaveData* data_ = nullptr;
  CAudioWaveInfo* info_ = nullptr;
};
