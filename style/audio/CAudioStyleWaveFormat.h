#pragma once
// The style-specific description of one recording (the Sfmt chunk): format
// tag, original tempo and time signature, bar count, further values that
// are only carried, the synchronisation points, and a CSection whose name
// list names the audio sections that play the recording (the Sdec list).
//
// Tempo fields are 3 bytes of microseconds per quarter note, most
// significant first; the time signature is the 4-byte payload of a MIDI
// FF 58 event. Byte-field setters and getters follow ByteFieldAccess.h.

#include <cstdint>
#include <vector>

#include "CSection.h"
#include "CSyncroPoint.h"
#include "ResultCode.h"

using SyncroPointList = std::vector<CSyncroPoint*>;

class CAudioStyleWaveFormat {
 public:
  // Fixed fields 0 except field6 = 1; no points, no section.
  CAudioStyleWaveFormat() = default;
  // Deletes the points and the section.
  virtual ~CAudioStyleWaveFormat();
  CAudioStyleWaveFormat(const CAudioStyleWaveFormat&) = delete;

  // Deep copy; when an allocation fails the object is left as it was
  // (CopyFrom reports that).
  CAudioStyleWaveFormat& operator=(const CAudioStyleWaveFormat& other);
  // As operator=. The copy always holds a section: a copy of the other's, or
  // a new empty one when the other has none. 1 no memory (nothing changed).
  ResultCode CopyFrom(const CAudioStyleWaveFormat& other);
  // Fixed fields, points pairwise in order, and sections (two missing
  // sections are equal).
  bool operator==(const CAudioStyleWaveFormat& other) const;
  bool operator!=(const CAudioStyleWaveFormat& other) const { return !(*this == other); }

  // Fixed fields back to their constructed values, points deleted, and a new
  // default "Dummy" section (CSection::InitDefault). 4 no memory; 2 + c the
  // section's initialisation (the section is then null).
  ResultCode Reset();
  // As Reset, leaving no section.
  ResultCode Clear();

  ResultCode SetFormatTag(std::uint16_t v) { formatTag_ = v; return Result::kOk; }
  ResultCode GetFormatTag(std::uint16_t& v) const { v = formatTag_; return Result::kOk; }
  ResultCode SetField6(std::uint16_t v) { field6_ = v; return Result::kOk; }
  ResultCode GetField6(std::uint16_t& v) const { v = field6_; return Result::kOk; }
  ResultCode SetNumberOfBars(std::uint16_t v) { numberOfBars_ = v; return Result::kOk; }
  ResultCode GetNumberOfBars(std::uint16_t& v) const { v = numberOfBars_; return Result::kOk; }
  ResultCode SetField8(std::uint64_t v) { field8_ = v; return Result::kOk; }
  ResultCode GetField8(std::uint64_t& v) const { v = field8_; return Result::kOk; }
  ResultCode SetField9(std::uint64_t v) { field9_ = v; return Result::kOk; }
  ResultCode GetField9(std::uint64_t& v) const { v = field9_; return Result::kOk; }
  ResultCode SetField10(std::uint64_t v) { field10_ = v; return Result::kOk; }
  ResultCode GetField10(std::uint64_t& v) const { v = field10_; return Result::kOk; }
  ResultCode SetField11(std::uint64_t v) { field11_ = v; return Result::kOk; }
  ResultCode GetField11(std::uint64_t& v) const { v = field11_; return Result::kOk; }

  ResultCode SetOriginalTempo(const std::uint8_t* bytes, std::uint64_t n);
  ResultCode GetOriginalTempo(std::uint8_t* buffer, std::uint64_t& n) const;
  ResultCode SetTempo2(const std::uint8_t* bytes, std::uint64_t n);
  ResultCode GetTempo2(std::uint8_t* buffer, std::uint64_t& n) const;
  ResultCode SetTempo3(const std::uint8_t* bytes, std::uint64_t n);
  ResultCode GetTempo3(std::uint8_t* buffer, std::uint64_t& n) const;
  ResultCode SetOriginalTimeSignature(const std::uint8_t* bytes, std::uint64_t n);
  ResultCode GetOriginalTimeSignature(std::uint8_t* buffer, std::uint64_t& n) const;

  // The setter rule between plain buffers: `field` (3 / 4 bytes) is zeroed
  // and min(n, width) bytes of `bytes` are copied in.
  static ResultCode CopyTempoBytes(std::uint8_t (&field)[3], const std::uint8_t* bytes, std::uint64_t n);
  static ResultCode CopyTimeSignatureBytes(std::uint8_t (&field)[4], const std::uint8_t* bytes, std::uint64_t n);

  // Takes ownership; null -> 0x80000001.
  ResultCode AddSyncroPoint(CSyncroPoint* point);
  // Takes the last point out of the list without deleting it; the caller
  // owns it afterwards. Nothing for an empty list.
  ResultCode DropLastSyncroPoint();
  ResultCode ClearSyncroPoints();
  SyncroPointList& GetSyncroPointList() { return syncroPoints_; }
  const SyncroPointList& GetSyncroPointList() const { return syncroPoints_; }
  // The i-th point or null.
  CSyncroPoint* GetSyncroPoint(std::uint64_t i) const;
  static ResultCode ClearSyncroPointList(SyncroPointList& list);
  // Deletes *point and nulls it; a null argument -> 0x80000001.
  static ResultCode DeleteSyncroPoint(CSyncroPoint** point);

  // Takes ownership and deletes the section held before (unless it is the
  // same object); null -> 0x80000001.
  ResultCode SetSection(CSection* section);
  CSection* GetSection() const { return section_; }
  ResultCode DeleteSection();

 private:
  void ClearFixedFields();

  std::uint16_t formatTag_ = 0;
  std::uint8_t originalTempo_[3] = {0, 0, 0};
  std::uint8_t tempo2_[3] = {0, 0, 0};
  std::uint8_t tempo3_[3] = {0, 0, 0};
  std::uint8_t originalTimeSignature_[4] = {0, 0, 0, 0};
  std::uint16_t field6_ = 1;
  std::uint16_t numberOfBars_ = 0;
  std::uint64_t field8_ = 0;
  std::uint64_t field9_ = 0;
  std::uint64_t field10_ = 0;
  std::uint64_t field11_ = 0;
  SyncroPointList syncroPoints_;
  CSection* section_ = nullptr;
};
