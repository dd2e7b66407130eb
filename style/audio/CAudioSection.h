#pragma once
// One audio section entry of an audio style (the ASEG chunk): the long
// names of the audio section numbers that play one recording (Adec), its
// channel tables (Atab; the first one's name record names the recording),
// its mix track (AMix) and the resolution of that track.

#include <cstdint>
#include <string>
#include <vector>

#include "CAMixData.h"
#include "CAtabData.h"
#include "CSection.h"
#include "ResultCode.h"

using AtabList = std::vector<CAtabData*>;

class CAudioSection {
 public:
  static constexpr std::uint16_t kDefaultResolution = 1920;

  // No names, no tables, no mix, resolution 1920.
  CAudioSection() = default;
  // Deletes the tables and the mix.
  virtual ~CAudioSection();
  CAudioSection(const CAudioSection&) = delete;

  // Tables, mix and names copied; the resolution stays this object's own. On
  // failure the object is left as it was (CopyFrom reports it).
  CAudioSection& operator=(const CAudioSection& other);
  // As operator=. 1 no memory.
  ResultCode CopyFrom(const CAudioSection& other);

  // Clear, names {"Dummy"}, one table reset for channel 0 and a mix with an
  // empty track; the resolution is kept. 2 no memory for the table; 3 + c
  // its reset or the mix's track; 4 no memory for the mix.
  ResultCode Init();
  // Deletes the tables and the mix and empties the names; 0.
  ResultCode Clear();

  // --- names (the Adec text) ---
  ResultCode ClearNames();
  // Names from a ','-separated text; empty pieces are skipped. Null text or
  // length 0 -> 0x80000001 with the names unchanged.
  ResultCode SetDecoration(const char* text, std::uint64_t length);
  // Joined with ',' and split again; an empty result empties the names.
  ResultCode SetNames(const NameList& names);
  ResultCode GetDecorationText(std::vector<std::uint8_t>& text) const;
  ResultCode GetNames(NameList& names) const;
  std::uint64_t GetNameCount() const { return names_.size(); }
  bool HasNoNames() const { return names_.empty(); }
  // Appends the long name of an audio section number.
  void AddSectionNumber(std::int64_t number);
  // Removes the first name equal to the number's long name; nothing for a
  // negative number.
  void RemoveSectionNumber(std::int64_t number);

  // --- tables ---
  // Takes ownership; null -> 0x80000001.
  ResultCode AddAtab(CAtabData* table);
  ResultCode ClearAtabs() { return DeleteAtabList(atabs_); }
  AtabList& GetAtabList() { return atabs_; }
  const AtabList& GetAtabList() const { return atabs_; }
  // The first table of that source channel, or null.
  CAtabData* FindAtab(std::uint8_t headByte) const;

  // --- mix ---
  // Takes ownership and deletes the mix held before (unless it is the same
  // object); null -> 0x80000001.
  ResultCode SetMixData(CAMixData* mix);
  CAMixData* GetMixData() const { return mixData_; }
  ResultCode DeleteMixData() { return DeleteMixData(&mixData_); }

  ResultCode SetResolution(std::uint16_t ticks) { resolution_ = ticks; return Result::kOk; }
  ResultCode GetResolution(std::uint16_t& ticks) const { ticks = resolution_; return Result::kOk; }

  static ResultCode DeleteAtabList(AtabList& list);
  // Deletes *mix and nulls it; a null argument -> 0x80000001.
  static ResultCode DeleteMixData(CAMixData** mix);
  static ResultCode ClearNameList(NameList& list);

 private:
  NameList names_;
  AtabList atabs_;
  CAMixData* mixData_ = nullptr;
  std::uint16_t resolution_ = kDefaultResolution;
};
