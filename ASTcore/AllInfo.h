#pragma once
// The project data model: analysed recordings, 15 section slots and the
// common record. Wave numbers are list positions (a byte; 255 = none).

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ComnInfo.h"
#include "ResultCode.h"
#include "SecInfo.h"
#include "WavInfo.h"

class AllInfo {
 public:
  static constexpr int kSectionCount = 15;
  static constexpr std::size_t kMaxWaves = 255;

  AllInfo() = default;
  ~AllInfo() = default;
  AllInfo(const AllInfo&) = delete;
  AllInfo& operator=(const AllInfo&) = delete;

  // Deep copy: no record or bar array is shared with the source.
  ResultCode assign(const AllInfo& source);

  ResultCode clearWavList();
  ResultCode getWavInfo(std::uint8_t wavNo, WavInfo** out);
  ResultCode getWavInfo(std::uint8_t wavNo, const WavInfo** out) const;
  // Appends the record and takes ownership of it; a full list (255 waves)
  // refuses it with 0x80000001 and the record stays with the caller.
  ResultCode addWavInfo(WavInfo* info);
  ResultCode deleteWavInfo(std::uint8_t wavNo);
  // Removes the record from the list; ownership returns to the caller.
  ResultCode detachWavInfo(std::uint8_t wavNo);
  ResultCode setWavInfo(std::uint8_t wavNo, const WavInfo& source);
  ResultCode setWavFileName(std::uint8_t wavNo, const std::wstring& name);
  ResultCode setBeatTime(std::uint8_t wavNo, const std::vector<float>& times);
  ResultCode setOnsetTime(std::uint8_t wavNo, const std::vector<float>& times);
  ResultCode setBarLen(std::uint8_t wavNo, float barLen);
  ResultCode getExtList(int wavNo, std::vector<std::uint64_t>** out);
  ResultCode setExtList(int wavNo, const std::vector<std::uint64_t>& list);
  ResultCode getWavTempo(int wavNo, std::uint64_t* tempo) const;
  ResultCode setWavTempo(int wavNo, std::uint64_t tempo);
  std::size_t wavCount() const { return wavList.size(); }

  ResultCode getSecInfo(std::uint8_t slot, SecInfo** out);
  ResultCode getSecInfo(std::uint8_t slot, const SecInfo** out) const;
  ResultCode setSecInfo(std::uint8_t slot, const SecInfo& source);
  ResultCode resetSecInfo();
  ResultCode isSecUsed(std::uint8_t slot, bool* used) const;
  // The wave a slot refers to; 0x880000012 when the slot's wave is missing.
  ResultCode getSecWavInfo(std::uint8_t slot, WavInfo** out);
  // Both pointers; the section pointer is set even when the wave is missing.
  ResultCode getSecAndWavInfo(std::uint8_t slot, SecInfo** sec, WavInfo** wav);
  ResultCode isWavUsed(std::uint8_t wavNo, bool* used) const;

  ResultCode getComnInfo(ComnInfo** out);
  ResultCode getComnInfo(const ComnInfo** out) const;
  // Copies all fields without range checks; callers pass checked records.
  ResultCode setComnInfo(const ComnInfo& source);
  ResultCode resetComnInfo();
  ResultCode setVolume(std::uint8_t value);
  ResultCode setPan(std::uint8_t value);
  ResultCode setRevSend(std::uint8_t value);
  ResultCode setTempo(std::int64_t tempo);
  // Checks both values before storing either.
  ResultCode setTimeSig(std::uint8_t num, std::uint8_t den);
  ResultCode setNormDepth(std::uint8_t value);
  ResultCode setNormSw(std::uint8_t value);
  ResultCode getTimeSig(std::uint8_t* num, std::uint8_t* den) const;

  const std::vector<std::unique_ptr<WavInfo>>& waves() const { return wavList; }

 private:
  bool validWave(int wavNo) const { return wavNo >= 0 && static_cast<std::size_t>(wavNo) < wavList.size(); }

  std::vector<std::unique_ptr<WavInfo>> wavList;
  std::array<SecInfo, kSectionCount> secInfo;
  ComnInfo comnInfo;
};
