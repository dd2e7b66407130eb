#pragma once
// The audio part of an audio style in memory: the audio section entries
// (AASM) and the recordings (AFil), both lists owning their entries, plus
// a byte per audio section number 0..19 with a flag each.
//
// The assignment of recordings to audio sections lives in
// CAudioInfoDecorator, which adds no data: a model made as a
// CAudioInfoDecorator can be held through a CAudioInfo pointer and reach
// those operations by a static_cast.

#include <cstdint>
#include <vector>

#include "CAudioFile.h"
#include "CAudioSection.h"
#include "ResultCode.h"

using AudioSectionList = std::vector<CAudioSection*>;
using AudioFileList = std::vector<CAudioFile*>;

class CAudioInfo {
 public:
  static constexpr int kSectionCount = 20;
  static constexpr std::uint8_t kDefaultSectionValue = 80;

  // Reset state.
  CAudioInfo();
  // Deletes every section and file.
  virtual ~CAudioInfo();
  CAudioInfo(const CAudioInfo&) = delete;

  // Sections and files replaced by copies (each section is copied into a new
  // entry, so it has the resolution 1920); `flag` copied; the per-section
  // bytes are not. On failure the object is left as it was.
  CAudioInfo& operator=(const CAudioInfo& other);
  // As operator=. 1 no memory for a section; 2 + c copying a file.
  ResultCode CopyFrom(const CAudioInfo& other);

  // Deletes every section and file, flag 0, all values 80, all flags 0; 0.
  ResultCode Reset();
  ResultCode ClearSections() { return DeleteSectionList(sections_); }
  ResultCode ClearFiles() { return DeleteFileList(files_); }
  static ResultCode DeleteSectionList(AudioSectionList& list);
  static ResultCode DeleteFileList(AudioFileList& list);

  // The lists themselves: entries appended to them are owned by the model.
  AudioSectionList& GetSectionList() { return sections_; }
  const AudioSectionList& GetSectionList() const { return sections_; }
  AudioFileList& GetFileList() { return files_; }
  const AudioFileList& GetFileList() const { return files_; }
  // The i-th entry or null.
  CAudioSection* GetSection(std::uint64_t i) const;
  CAudioFile* GetFile(std::uint64_t i) const;
  // The i-th entry when no earlier entry is the same object; else null.
  CAudioSection* GetDistinctSection(std::uint64_t i) const;
  CAudioFile* GetDistinctFile(std::uint64_t i) const;

  std::uint8_t GetFlag() const { return flag_; }

  // --- per audio section number 0..19; other numbers are ignored ---
  void SetSectionValue(std::int64_t number, std::uint8_t flag, std::uint8_t value);
  void SetSectionFlag(std::int64_t number, std::uint8_t flag);
  // The value of every flagged number.
  void SetFlaggedValues(std::uint8_t value);
  // All 20 values, all flags cleared.
  void SetAllSectionValues(std::uint8_t value);
  // True when every flagged number has the same value (also when none is).
  bool FlaggedValuesEqual() const;
  // The value of the lowest flagged number, 80 when none is flagged.
  std::uint8_t GetFirstFlaggedValue() const;
  // 80 / 0 for numbers outside 0..19.
  std::uint8_t GetSectionValue(std::int64_t number) const;
  std::uint8_t GetSectionFlag(std::int64_t number) const;

 protected:
  AudioSectionList sections_;
  AudioFileList files_;
  std::uint8_t flag_ = 0;
  std::uint8_t sectionValues_[kSectionCount];
  std::uint8_t sectionFlags_[kSectionCount];
};
