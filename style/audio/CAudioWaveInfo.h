#pragma once
// The analysis results of one recording (the AInf chunk): beat, onset and
// attack points, tempo entries, a second point list and a volume byte. The
// lists own their records.

#include <cstdint>
#include <vector>

#include "CAudioPoint.h"
#include "CAudioTempo.h"
#include "ResultCode.h"

using AudioPointList = std::vector<CAudioPoint*>;
using AudioTempoList = std::vector<CAudioTempo*>;

class CAudioWaveInfo {
 public:
  static constexpr std::uint8_t kDefaultVolume = 80;

  // Empty lists, volume 80.
  CAudioWaveInfo() = default;
  // Deletes the records of all five lists.
  virtual ~CAudioWaveInfo();
  CAudioWaveInfo(const CAudioWaveInfo&) = delete;

  // Deep copy; on a failed allocation the object is left as it was.
  CAudioWaveInfo& operator=(const CAudioWaveInfo& other);
  // As operator=; 1 no memory (nothing changed).
  ResultCode CopyFrom(const CAudioWaveInfo& other);
  // Every list pairwise equal in order, and the same volume.
  bool operator==(const CAudioWaveInfo& other) const;
  bool operator!=(const CAudioWaveInfo& other) const { return !(*this == other); }

  // Deletes the records of all lists and sets the volume to 80; 0.
  ResultCode Clear();
  ResultCode Reset() { return Clear(); }

  // Add* take ownership (null -> 0x80000001); Clear* delete the records;
  // Get*(i) give the i-th record or null.
  ResultCode AddBeatPoint(CAudioPoint* p);
  ResultCode ClearBeatPoints() { return ClearPointList(beatPoints_); }
  AudioPointList& GetBeatPointList() { return beatPoints_; }
  const AudioPointList& GetBeatPointList() const { return beatPoints_; }
  CAudioPoint* GetBeatPoint(std::uint64_t i) const;

  ResultCode AddOnsetPoint(CAudioPoint* p);
  ResultCode ClearOnsetPoints() { return ClearPointList(onsetPoints_); }
  AudioPointList& GetOnsetPointList() { return onsetPoints_; }
  const AudioPointList& GetOnsetPointList() const { return onsetPoints_; }
  CAudioPoint* GetOnsetPoint(std::uint64_t i) const;

  ResultCode AddAttackPoint(CAudioPoint* p);
  ResultCode ClearAttackPoints() { return ClearPointList(attackPoints_); }
  AudioPointList& GetAttackPointList() { return attackPoints_; }
  const AudioPointList& GetAttackPointList() const { return attackPoints_; }
  CAudioPoint* GetAttackPoint(std::uint64_t i) const;

  ResultCode AddTempo(CAudioTempo* t);
  ResultCode ClearTempos() { return ClearTempoList(tempos_); }
  AudioTempoList& GetTempoList() { return tempos_; }
  const AudioTempoList& GetTempoList() const { return tempos_; }
  CAudioTempo* GetTempo(std::uint64_t i) const;

  ResultCode AddPoint2(CAudioPoint* p);
  ResultCode ClearPoints2() { return ClearPointList(points2_); }
  AudioPointList& GetPoints2List() { return points2_; }
  const AudioPointList& GetPoints2List() const { return points2_; }
  CAudioPoint* GetPoint2(std::uint64_t i) const;

  ResultCode SetVolume(std::uint8_t v) { volume_ = v; return Result::kOk; }
  ResultCode GetVolume(std::uint8_t& v) const { v = volume_; return Result::kOk; }

  // Delete the records of a list and empty it; 0.
  static ResultCode ClearPointList(AudioPointList& list);
  static ResultCode ClearTempoList(AudioTempoList& list);

 private:
  AudioPointList beatPoints_;
  AudioPointList onsetPoints_;
  AudioPointList attackPoints_;
  AudioTempoList tempos_;
  AudioPointList points2_;
  std::uint8_t volume_ = kDefaultVolume;
};
