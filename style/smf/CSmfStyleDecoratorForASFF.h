#pragma once
// The style object of an export: the template style loaded, then adapted to
// the project (tempo, time signature, section markers moved or removed, end
// of track) and saved. Ticks are absolute track times.

#include <cstdint>

#include "CSmfStyleDecorator.h"
#include "ResultCode.h"

class CSmfStyleDecoratorForASFF : public CSmfStyleDecorator {
 public:
  CSmfStyleDecoratorForASFF() = default;
  ~CSmfStyleDecoratorForASFF() override = default;

  // The first tempo event's payload := the low 24 bits of the microseconds
  // per quarter note, big-endian. 1 + c searching; 2 no tempo event; 3 a null
  // event; 4 + c setting the payload.
  ResultCode SetTempo(std::uint64_t microsecondsPerQuarter);
  // The first time signature's payload := the 4 bytes of the packed value,
  // most significant first (numerator, denominator power, clocks, 32nds).
  // Codes as SetTempo.
  ResultCode SetTimeSignature(std::uint64_t packed);
  // Moves the first marker of the style id to the tick, moves a too early end
  // of track along and re-sorts the marker's track. 1 no tracks; 2 no such
  // marker; 3..5 + c the search.
  ResultCode MoveSectionMarker(std::uint8_t id, std::uint64_t tick);
  // Deletes the first marker of the style id; codes as MoveSectionMarker.
  ResultCode RemoveSectionMarker(std::uint8_t id);
  // The first track that ends with an end-of-track event gets it at the
  // tick. 1 no tracks; 2 no such track; 3, 4 + c reading; 5 + c setting;
  // 7 the tick lies before another event of that track.
  ResultCode SetEndOfTrackTime(std::uint64_t tick);
  // The first track whose end-of-track event lies before the tick gets it at
  // the tick. 1 no tracks; 2 none moved; 3..6 + c reading and setting.
  ResultCode ExtendEndOfTrack(std::uint64_t tick);

 private:
  ResultCode SetFirstMetaPayload(std::uint8_t type, const std::uint8_t* bytes, std::uint64_t n);
  ResultCode FindSectionMarker(std::uint8_t id, CTrk** track, CEvnt** marker) const;
};
