#pragma once
// The Standard MIDI File part of a style: the MThd header and the MTrk
// tracks, read from a byte buffer into tracks of events with absolute times
// and written back.
//
// The reader is tolerant where style files need it: running status goes on
// across meta and system exclusive events, chunks with other known ids are
// stepped over, and a missing or misplaced end-of-track event is repaired so
// that every track ends with exactly one. It is strict elsewhere: the header
// body is 6 bytes, an id outside the chunk-id table fails, system common and
// real-time status bytes fail, and a chunk that runs past the end of the data
// (a truncated file) fails. Every read inside a track is bounded by its
// chunk.
//
// The writer encodes each track's events in list order with delta times and
// running status; events out of time order are refused.

#include <cstdint>
#include <vector>

#include "CChunkBase.h"
#include "CHead.h"
#include "CTrk.h"
#include "ResultCode.h"

using TrackVector = std::vector<CTrk*>;

class CSmf : public CChunkBase {
 public:
  // Format 0, no tracks, division 480, running status on.
  CSmf();
  // Deletes every track.
  ~CSmf() override;
  CSmf(const CSmf&) = delete;
  CSmf& operator=(const CSmf&) = delete;

  // Drops whatever a derived object holds beside the header and tracks
  // (nothing here); called by Reset. Returns 0 or a failure code.
  virtual ResultCode Clear();

  // --- object and track list ---
  CHead& GetHeader() { return header_; }
  const CHead& GetHeader() const { return header_; }
  ResultCode SetHeader(const CHead& head);
  TrackVector& GetTracks() { return tracks_; }
  const TrackVector& GetTracks() const { return tracks_; }
  // Null when `index` is not below the track count.
  CTrk* GetTrack(std::uint64_t index) const;
  // Takes ownership; 1 null track.
  ResultCode AddTrack(CTrk* track);
  // Deletes the track and erases it from the list; 1 empty list or a track
  // that is not in the list.
  ResultCode RemoveTrack(CTrk* track);
  // Deletes every track of `tracks` and empties it; 0.
  static ResultCode ClearTracks(TrackVector& tracks);
  // Deletes every track, header back to format 0, 0 tracks, division 480,
  // then Clear(); 5 + c when Clear fails.
  ResultCode Reset();
  // Replaces all tracks by one holding copies of all their events. 1 no
  // tracks; 2 no memory; 3 + c clearing the new track; 4 + c rebuilding its
  // end of track; 5 + c copying the events.
  ResultCode MergeTracks();
  // Replaces all tracks by one track per channel in use, in channel order
  // (meta and system exclusive events carry channel 0). 1 no memory; 2 + c
  // clearing a new track; 3 + c reading a channel; 4 + c copying an event.
  ResultCode SplitTracksByChannel();
  // The writer omits a repeated status byte while this is 1.
  std::uint8_t GetRunningStatusFlag() const { return runningStatus_; }

  // --- reading ---
  // Parse over the vector's bytes. 1 empty vector; 2 + c parse.
  ResultCode Load(const std::vector<std::uint8_t>& bytes);
  // Reads MThd and MTrk chunks in any order from offset 0 to the end, after
  // deleting the existing tracks; other known chunks are stepped over.
  // 1 null or size 0; 5 + c id lookup; 6 + c MThd; 7 + c MTrk; 9 + c skipping.
  // After a failure the object keeps what was read up to it.
  ResultCode Parse(const std::uint8_t* bytes, std::uint64_t size);
  // Header chunk after its id. 1 null; 2 + c size read; 3 a size other than
  // 6 or fewer than 6 bytes left.
  ResultCode ReadMThd(const std::uint8_t* bytes, std::uint64_t size, std::uint64_t& position, CHead& head);
  // Track chunk after its id: a new track is appended to `tracks` at once,
  // then filled. 1 null; 2 no memory; 3 + c clearing; 4 + c size read;
  // 5 + c events.
  ResultCode ReadMTrk(const std::uint8_t* bytes, std::uint64_t size, std::uint64_t& position,
                      TrackVector& tracks);
  // Decodes `length` bytes of MTrk events from `position` into `track` and
  // closes the track with exactly one end-of-track event (the data's own
  // when it is the last event, else a new one at the last event's time).
  // Reads never pass position + length. 1 null; 2 length 0; 3 + c delta;
  // 4 + c status byte; 5 + c meta event; 6 + c system exclusive; 7..9 + c
  // channel message data; 10 a status byte that is not allowed or running
  // status without a status; 15 the length runs past the buffer. On any
  // failure the position is set to the end of the events.
  ResultCode ReadTrackEvents(const std::uint8_t* bytes, std::uint64_t size, std::uint64_t& position,
                             std::uint64_t length, CTrk* track);
  // Steps over a chunk body after its id. 1 null; 2 + c size read; 3 the
  // body runs past the end of the data.
  ResultCode SkipChunk(const std::uint8_t* bytes, std::uint64_t size, std::uint64_t& position);

  // --- writing ---
  // Empties `out`, then appends MThd (with the real number of tracks) and one
  // MTrk per track. 3 + c MThd; 4 + c MTrk.
  ResultCode Serialize(std::vector<std::uint8_t>& out);
  // "MThd", size 6, format, track count, division. 1 + c id; 2 + c size.
  ResultCode WriteMThd(std::vector<std::uint8_t>& out, const CHead& head);
  // One MTrk chunk per track. 1 no tracks; 2 + c a track (also a null one).
  ResultCode WriteMTrk(std::vector<std::uint8_t>& out, const TrackVector& tracks);
  // 1 null track; 2 + c id; 3 + c placeholder; 4 + c events.
  ResultCode WriteTrackChunk(std::vector<std::uint8_t>& out, const CTrk* track);
  // The encoded events of a track, without framing. 1 null track; 2 + c a
  // time; 3 an event earlier than its predecessor; 4 + c encoding.
  ResultCode WriteTrackEvents(std::vector<std::uint8_t>& out, const CTrk* track);
  // One event with the given delta time; `runningStatus` is the status byte
  // that may be omitted (0 for none) and is updated. 1 null; 2 + c status;
  // 3 + c channel; 4 + c meta; 5 + c system exclusive; 6..8 + c channel
  // message; 9 a status that cannot be encoded.
  ResultCode EncodeEvent(std::vector<std::uint8_t>& out, const CEvnt* event, std::uint64_t delta,
                         std::uint8_t& runningStatus);
  ResultCode EncodeMetaEvent(std::vector<std::uint8_t>& out, const CEvnt* event, std::uint64_t delta);
  ResultCode EncodeSysExEvent(std::vector<std::uint8_t>& out, const CEvnt* event, std::uint64_t delta);
  // A channel message with `dataBytes` (1 or 2) data bytes.
  ResultCode EncodeChannelEvent(std::vector<std::uint8_t>& out, const CEvnt* event, std::uint64_t delta,
                                int dataBytes, std::uint8_t& runningStatus);
  // The tracks cut at `endTime`: each track becomes an MTrk chunk with its
  // events before that time (track names and "Triplet" markers at time 0
  // left out, end-of-track events dropped) closed by an end-of-track event
  // at `endTime`, or at its own end when the track ends earlier.
  // 1 no tracks or a null track; 2 + c a track; 4 + c events; 6 + c the
  // closing delta; 7 + c classifying an event.
  ResultCode WriteTracksUntil(std::vector<std::uint8_t>& out, const TrackVector& tracks, std::uint64_t endTime);
  ResultCode WriteTrackUntil(std::vector<std::uint8_t>& out, const CTrk* track, std::uint64_t endTime);
  // Appends 00 FF 2F 00.
  ResultCode AppendEndOfTrack(std::vector<std::uint8_t>& out);

  static ResultCode ReadU8(const std::uint8_t* bytes, std::uint64_t size, std::uint64_t& position,
                           std::uint8_t& value);
  static ResultCode AppendU8(std::vector<std::uint8_t>& out, std::uint8_t value);

  // flag = a track-name meta event (FF 03); a null event gives 0 and false.
  static ResultCode IsTrackNameEvent(const CEvnt* event, bool& flag);
  // flag = a marker whose payload begins with "Triplet".
  static ResultCode IsTripletMarker(const CEvnt* event, bool& flag);

 protected:
  // The stored header with the real number of tracks, as every writer puts
  // it in MThd.
  CHead HeaderToWrite() const;

  CHead header_;
  TrackVector tracks_;
  std::uint8_t runningStatus_ = 1;

 private:
  ResultCode ReadMetaEvent(const std::uint8_t* bytes, std::uint64_t end, std::uint64_t& position,
                           std::uint64_t time, CTrk* track, bool& atLastEvent, bool& endKept);
  ResultCode ReadSysExEvent(const std::uint8_t* bytes, std::uint64_t end, std::uint64_t& position,
                            std::uint8_t status, std::uint64_t time, CTrk* track);
  ResultCode ReadChannelEvent(const std::uint8_t* bytes, std::uint64_t end, std::uint64_t& position,
                              std::uint8_t status, int dataBytes, std::uint64_t time, CTrk* track);
};
