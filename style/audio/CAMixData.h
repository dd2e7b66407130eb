#pragma once
// The mix track of an audio section (the AMix chunk): an owned MIDI track
// whose events at time 0 give the section's time signature (FF 58), volume
// (controller 7), pan (controller 10), effect depth (controller 91) and the
// end of track. The operations find such an event and replace its value,
// or add it.
//
// Events made here have time 0, channel 0 and duration 0. A track holds at
// most one time signature at time 0, and an added control change goes
// before a closing end-of-track event, so the track always encodes as a
// well-formed event list.

#include <cstdint>

#include "CTrk.h"
#include "ResultCode.h"

class CAMixData {
 public:
  static constexpr std::uint8_t kVolumeController = 7;
  static constexpr std::uint8_t kPanController = 10;
  static constexpr std::uint8_t kEffectDepthController = 91;

  // No track.
  CAMixData() = default;
  // Deletes the track.
  virtual ~CAMixData();
  CAMixData(const CAMixData&) = delete;

  // CopyTrackFrom.
  CAMixData& operator=(const CAMixData& other);
  // Replaces the track by a new one holding copies of the other's events
  // (an empty track when the other has none). 1 no memory: the own track is
  // kept unchanged.
  ResultCode CopyTrackFrom(const CAMixData& other);

  // Deletes the track; 0.
  ResultCode ClearTrack();
  // Replaces the track by a new empty one. 3 no memory (no track left);
  // 2 + c clearing it.
  ResultCode ResetTrack();
  // Takes ownership; the track held before is deleted (unless it is the
  // same one). Null -> 0x80000001.
  ResultCode SetTrack(CTrk* track);
  CTrk* GetTrack() const { return track_; }
  // Deletes *track and nulls it; a null argument -> 0x80000001.
  static ResultCode DeleteTrack(CTrk** track);

  // The time signature payload (n >= 4 bytes) of the FF 58 event at time 0:
  // the first one found gets the payload and any further one at time 0 is
  // deleted; without one, a new event goes to the front. 1 null bytes or
  // n < 4; 2 no track; 3..5 + c reading an event; 6 + c setting the
  // payload; 0x0A no memory; 7..9 + c setting up the new event.
  ResultCode SetTimeSignature(const std::uint8_t* bytes, std::uint64_t n);
  // Copies the payload of the first FF 58 event with a payload: all of it
  // when it fits, n becoming its length; otherwise the first n bytes. No
  // such event: 0 with nothing copied. 1 null buffer or n < 4; 2 no track;
  // 3..6 + c reading the event.
  ResultCode GetTimeSignature(std::uint8_t* buffer, std::uint64_t& n) const;

  // The second data byte of the first control change of the controller is
  // set, or a new control change is added. 1 + c.
  ResultCode SetVolume(std::uint8_t value);
  ResultCode SetPan(std::uint8_t value);
  ResultCode SetEffectDepth(std::uint8_t value);
  // value = 0 first; 1 + c, e.g. 1 + 5 when the track has no such event.
  ResultCode GetVolume(std::uint8_t& value) const;
  ResultCode GetPan(std::uint8_t& value) const;
  ResultCode GetEffectDepth(std::uint8_t& value) const;

  // 2 no track; 3, 4 + c reading an event; 5 + c setting its data; 8 no
  // memory; 6, 7 + c setting up the new event.
  ResultCode SetController(std::uint8_t controller, std::uint8_t value);
  // 2 no track; 3, 4 + c reading an event; 5 no such event.
  ResultCode GetController(std::uint8_t controller, std::uint8_t& value) const;

  // Adds an end-of-track event at the end unless the track has one, at the
  // time of the last event. 1 no track; 2, 3 + c reading an event; 6 no
  // memory; 4, 5 + c setting up the new event.
  ResultCode EnsureEndOfTrack();

 private:
  CTrk* track_ = nullptr;
};
