#pragma once
// One track: an ordered list of owned events. The inserting operations keep
// the list in time order; AppendEvent does not (the MTrk reader appends in
// file order and sorts afterwards).

#include <cstdint>
#include <list>

#include "CEvnt.h"
#include "ResultCode.h"

using EventList = std::list<CEvnt*>;

class CTrk {
 public:
  CTrk() = default;
  // Deletes every event.
  virtual ~CTrk();
  CTrk(const CTrk&) = delete;

  // Replaces the own events by copies of the other's non-null events, in
  // their order. When a copy cannot be allocated the track is left as it was;
  // CopyFrom reports that.
  CTrk& operator=(const CTrk& other);
  // As operator=; 0x80000001 when an event or payload could not be copied
  // (the track then keeps its own events unchanged).
  ResultCode CopyFrom(const CTrk& other);

  // Copies every non-null event of `other` into this track in time order,
  // then rebuilds the end of track and sorts by time. All or nothing: 1 an
  // event could not be copied (nothing added); 2 + c inserting; 3 + c
  // rebuilding the end of track; 4 + c sorting.
  ResultCode Merge(const CTrk& other);

  // Deletes every event; 0.
  ResultCode Clear();
  static ResultCode ClearEventList(EventList& list);

  EventList& GetEventList() { return events_; }
  const EventList& GetEventList() const { return events_; }

  // The insertion operations take ownership on success only; on failure the
  // event stays the caller's.
  // Appends without ordering; null -> 1.
  ResultCode AppendEvent(CEvnt* event);
  // Inserts after every event at the same or an earlier time. Null event 1;
  // a null entry met in the list 3.
  ResultCode InsertEvent(CEvnt* event);
  // Inserts before every event at the same or a later time; same codes.
  ResultCode InsertEventBeforeEqual(CEvnt* event);

  // Unlinks and deletes `event`. Null 1; a null entry met before it 2; the
  // event is not in the track 4 (nothing deleted).
  ResultCode RemoveEvent(CEvnt* event);

  // Replaces every end-of-track event by one at the latest end of any event
  // (time, plus the duration for note-ons; a removed end-of-track counts
  // too), placed after every other event of that time.
  ResultCode RebuildEndOfTrack();

  // Stable sort by ascending time.
  ResultCode SortByTime();
  // Stable sort by time; at equal times a note-off precedes a note-on and a
  // note-on of velocity 0 precedes one with a velocity; other pairs keep
  // their order.
  ResultCode SortByTimeAndNoteOrder();

  // Time of the last event in the list; an empty list or a null last entry
  // leaves `ticks` untouched. Always 0.
  ResultCode GetLastEventTime(std::uint64_t& ticks) const;

 protected:
  EventList events_;
};
