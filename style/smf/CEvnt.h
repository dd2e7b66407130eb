#pragma once
// One MIDI event of a track held in memory with an absolute time. The file
// encoding (delta times, running status) belongs to CSmf.

#include <cstdint>
#include <memory>
#include <vector>

#include "ResultCode.h"

// Status values an event holds. Channel messages keep only the kind; the
// channel is held apart.
namespace EventStatus {
constexpr std::uint8_t kNoteOff = 0x80;
constexpr std::uint8_t kNoteOn = 0x90;
constexpr std::uint8_t kPolyPressure = 0xA0;
constexpr std::uint8_t kControlChange = 0xB0;
constexpr std::uint8_t kProgramChange = 0xC0;
constexpr std::uint8_t kChannelPressure = 0xD0;
constexpr std::uint8_t kPitchBend = 0xE0;
constexpr std::uint8_t kSysEx = 0xF0;
constexpr std::uint8_t kSysExEscape = 0xF7;
constexpr std::uint8_t kMeta = 0xFF;
}  // namespace EventStatus

namespace MetaType {
constexpr std::uint8_t kTrackName = 0x03;
constexpr std::uint8_t kMarker = 0x06;
constexpr std::uint8_t kEndOfTrack = 0x2F;
constexpr std::uint8_t kTempo = 0x51;
constexpr std::uint8_t kTimeSignature = 0x58;
}  // namespace MetaType

class CEvnt {
 public:
  CEvnt() = default;
  virtual ~CEvnt() = default;
  CEvnt(const CEvnt&) = delete;

  // Copies every field and a fresh copy of the payload. When the payload
  // cannot be allocated the target's payload is empty; CopyFrom reports it.
  CEvnt& operator=(const CEvnt& other);
  // As operator=, reporting 0x80000001 when the payload could not be copied.
  ResultCode CopyFrom(const CEvnt& other);

  ResultCode SetStatus(std::uint8_t status);
  ResultCode GetStatus(std::uint8_t& status) const;
  ResultCode SetChannel(std::uint8_t channel);
  ResultCode GetChannel(std::uint8_t& channel) const;
  ResultCode SetMetaType(std::uint8_t type);
  ResultCode GetMetaType(std::uint8_t& type) const;
  ResultCode SetTime(std::uint64_t ticks);
  ResultCode GetTime(std::uint64_t& ticks) const;
  ResultCode SetDuration(std::uint64_t ticks);
  ResultCode GetDuration(std::uint64_t& ticks) const;

  // The four channel-message data bytes, in order.
  ResultCode SetShortData(std::uint8_t d0, std::uint8_t d1, std::uint8_t d2 = 0, std::uint8_t d3 = 0);
  // `data` receives 4 bytes; null -> 0x80000001.
  ResultCode GetShortData(std::uint8_t* data) const;

  // Replaces the payload by a copy of n bytes (n = 0 empties it). Null bytes
  // with n > 0 -> 0x80000001; no memory -> 0x80000003 with the payload empty.
  ResultCode SetExData(const std::uint8_t* bytes, std::uint64_t n);
  // Copies the payload into `buffer`, which holds `capacity` bytes, and sets
  // `length` to the payload length. Null buffer -> 0x80000001; a capacity
  // below the payload length -> 0x80000002 (nothing copied, `length` still
  // tells the size needed).
  ResultCode GetExData(std::uint8_t* buffer, std::uint64_t capacity, std::uint64_t& length) const;
  // The whole payload as a vector (replacing its contents); always 0.
  ResultCode GetExData(std::vector<std::uint8_t>& out) const;
  ResultCode GetExDataSize(std::uint64_t& length) const;
  ResultCode ClearExData();

 private:
  std::uint8_t status_ = 0;
  std::uint8_t channel_ = 0;
  std::uint8_t metaType_ = 0;
  std::uint64_t time_ = 0;
  std::uint64_t duration_ = 0;
  std::uint8_t data_[4] = {0, 0, 0, 0};
  std::uint64_t payloadLength_ = 0;
  std::unique_ptr<std::uint8_t[]> payload_;
};
