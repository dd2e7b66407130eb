#pragma once
// One style section of the CASM chunk: the names that share its channel
// set-up (the Sdec text), one channel table per style channel and, in the
// first format version, one byte pair per channel. Also used for the Sdec of
// every audio wave format.

#include <cstdint>
#include <string>
#include <vector>

#include "CCnttData.h"
#include "CCtabData.h"
#include "ResultCode.h"

using NameList = std::vector<std::string>;
using CtabList = std::vector<CCtabData*>;
using CnttList = std::vector<CCnttData*>;

class CSection {
 public:
  CSection() = default;
  // Deletes every table and byte pair.
  virtual ~CSection();
  CSection(const CSection&) = delete;

  // Deep copy. When an entry cannot be allocated the section is left as it
  // was; CopyFrom reports that.
  CSection& operator=(const CSection& other);
  // As operator=; 0x80000001 when a table or pair could not be allocated
  // (nothing changed).
  ResultCode CopyFrom(const CSection& other);
  // Same names in order, pairwise equal tables and pairs.
  bool operator==(const CSection& other) const;
  bool operator!=(const CSection& other) const { return !(*this == other); }

  // Deletes all tables and pairs and empties the names; 0.
  ResultCode Clear();
  // A "Dummy" section with the default table and pair of channels 0..15.
  // 2 / 4 no memory for a table / pair; 3 / 5 + c their InitDefault.
  ResultCode InitDefault();

  ResultCode ClearNames();
  // Names from a ','-separated text of n bytes; empty parts add no name and
  // blanks are kept. Null text or n = 0 -> 0x80000001.
  ResultCode SetNamesFromText(const char* text, std::uint64_t n);
  ResultCode SetNames(const NameList& names);
  ResultCode GetNames(NameList& names) const;
  // The names joined with ','; no terminator. Empty names at the start add
  // nothing, any later name (empty or not) is preceded by a ','.
  ResultCode GetNamesText(std::vector<std::uint8_t>& text) const;

  // Take ownership; null -> 0x80000001.
  ResultCode AddCtab(CCtabData* table);
  ResultCode AddCntt(CCnttData* entry);
  ResultCode ClearCtabs();
  ResultCode ClearCntts();
  CtabList& GetCtabList() { return tables_; }
  const CtabList& GetCtabList() const { return tables_; }
  CnttList& GetCnttList() { return cntts_; }
  const CnttList& GetCnttList() const { return cntts_; }
  // The first entry of that source channel, or null.
  CCtabData* FindCtab(std::uint8_t channel) const;
  CCnttData* FindCntt(std::uint8_t channel) const;
  // CCtabData::SyncRangeFlags on every table; 1 + c.
  ResultCode SyncRangeFlags();

  static ResultCode ClearTableList(CtabList& list);
  static ResultCode ClearCnttList(CnttList& list);
  static ResultCode ClearNameList(NameList& list);

 private:
  NameList names_;
  CtabList tables_;
  CnttList cntts_;
};
