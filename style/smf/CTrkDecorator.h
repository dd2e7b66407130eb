#pragma once
// Track operations on marker meta events: the 4-character format marker
// ("SFF1" or "SFF2") and the short section marker names. They use only the
// event list, so they work on any CTrk (the tracks of a style are plain CTrk
// objects) and take the track as their first argument.

#include <cstdint>

#include "CTrk.h"
#include "ResultCode.h"

class CTrkDecorator : public CTrk {
 public:
  ~CTrkDecorator() override = default;

  // CTrk::InsertEventBeforeEqual on `track`.
  static ResultCode InsertEventBeforeEqual(CTrk& track, CEvnt* event);

  // Inserts a marker (FF 06) at time 0 holding the n = 4 bytes. 1 null bytes
  // or n other than 4; 2 no memory; 3..6 an event setter; 7 the insertion.
  static ResultCode AddFormatMarker(CTrk& track, const std::uint8_t* bytes, std::uint64_t n);

  // Copies the text of the first marker whose payload is exactly "SFF1" or
  // "SFF2" into `out` (4 bytes) and sets `size` to 4; size 0 and result 0
  // when there is none. 1 null out-parameter; 2 size below 4 on entry.
  static ResultCode GetFormatMarker(const CTrk& track, std::uint8_t* out, std::uint64_t* size);

  // kind 1 for "SFF1", 2 for "SFF2", 0 for any other text or n other than 4.
  // 1 null text, n = 0 or null kind.
  static ResultCode ClassifyFormatText(const std::uint8_t* text, std::uint64_t n, std::uint8_t* kind);

  // Replaces the payload of the first format marker by the n bytes (n >= 4).
  // 1 null text or n = 0; 6 an empty track or no marker replaced; 8 + c the
  // payload could not be set.
  static ResultCode ReplaceFormatMarker(CTrk& track, const std::uint8_t* text, std::uint64_t n);

  // Rewrites short section marker texts ("MA", "FAB", "Fill AB", ...) into
  // the long names ("Main A", "Fill In AB", ...); others stay unchanged.
  static ResultCode ExpandSectionMarkerNames(CTrk& track);
};
