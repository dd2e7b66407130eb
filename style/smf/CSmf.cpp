#include "CSmf.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "NoThrowAlloc.h"

namespace {

// Number of data bytes of a channel-message status (kind in the high
// nibble), or 0 when the status is no channel message.
int DataBytesOf(std::uint8_t status) {
  switch (status & 0xF0) {
    case 0x80: case 0x90: case 0xA0: case 0xB0: case 0xE0: return 2;
    case 0xC0: case 0xD0: return 1;
    default: return 0;
  }
}

}  // namespace

CSmf::CSmf() = default;

CSmf::~CSmf() { ClearTracks(tracks_); }

ResultCode CSmf::Clear() { return Result::kOk; }

// ---------------------------------------------------------------- track list

ResultCode CSmf::SetHeader(const CHead& head) {
  header_.format = head.format;
  header_.trackCount = head.trackCount;
  header_.division = head.division;
  return Result::kOk;
}

CTrk* CSmf::GetTrack(std::uint64_t index) const {
  return index < tracks_.size() ? tracks_[index] : nullptr;
}

ResultCode CSmf::AddTrack(CTrk* track) {
  if (!track) return Result::fail(1);
  tracks_.push_back(track);
  return Result::kOk;
}

ResultCode CSmf::RemoveTrack(CTrk* track) {
  auto it = std::find(tracks_.begin(), tracks_.end(), track);
  if (tracks_.empty() || it == tracks_.end()) return Result::fail(1);
  tracks_.erase(it);
  delete track;
  return Result::kOk;
}

ResultCode CSmf::ClearTracks(TrackVector& tracks) {
  for (CTrk* t : tracks) delete t;
  tracks.clear();
  return Result::kOk;
}

ResultCode CSmf::Reset() {
  ClearTracks(tracks_);
  header_.format = 0;
  header_.trackCount = 0;
  header_.division = 480;
  const ResultCode rc = Clear();
  return Result::failed(rc) ? Result::nest(5, rc) : Result::kOk;
}

ResultCode CSmf::MergeTracks() {
  if (tracks_.empty()) return Result::fail(1);
  CTrk* merged = NoThrowAlloc::TryNew<CTrk>();
  if (!merged) return Result::fail(2);
  ResultCode rc = merged->Clear();
  if (Result::failed(rc)) {
    delete merged;
    return Result::nest(3, rc);
  }
  // Collect all copies first so that a failure leaves the tracks untouched.
  for (const CTrk* t : tracks_) {
    if (!t) continue;
    CTrk part;
    rc = part.CopyFrom(*t);
    if (Result::failed(rc)) {
      delete merged;
      return Result::nest(5, rc);
    }
    EventList& from = part.GetEventList();
    while (!from.empty()) {
      CEvnt* e = from.front();
      from.pop_front();
      rc = merged->InsertEvent(e);
      if (Result::failed(rc)) {
        delete e;
        delete merged;
        return Result::nest(5, rc);
      }
    }
  }
  rc = merged->RebuildEndOfTrack();
  if (Result::failed(rc)) {
    delete merged;
    return Result::nest(4, rc);
  }
  ClearTracks(tracks_);
  tracks_.push_back(merged);
  return Result::kOk;
}

ResultCode CSmf::SplitTracksByChannel() {
  std::array<CTrk*, 16> byChannel{};
  const auto dropAll = [&byChannel]() {
    for (CTrk*& t : byChannel) {
      delete t;
      t = nullptr;
    }
  };
  for (CTrk*& t : byChannel) {
    t = NoThrowAlloc::TryNew<CTrk>();
    if (!t) {
      dropAll();
      return Result::fail(1);
    }
    const ResultCode rc = t->Clear();
    if (Result::failed(rc)) {
      dropAll();
      return Result::nest(2, rc);
    }
  }
  for (const CTrk* t : tracks_) {
    if (!t) continue;
    for (const CEvnt* e : t->GetEventList()) {
      if (!e) continue;
      std::uint8_t channel = 0;
      ResultCode rc = e->GetChannel(channel);
      if (Result::failed(rc)) {
        dropAll();
        return Result::nest(3, rc);
      }
      if (channel >= 16) continue;
      CEvnt* copy = NoThrowAlloc::TryNew<CEvnt>();
      rc = copy ? copy->CopyFrom(*e) : Result::fail(1);
      if (Result::succeeded(rc)) rc = byChannel[channel]->InsertEvent(copy);
      if (Result::failed(rc)) {
        delete copy;
        dropAll();
        return Result::nest(4, rc);
      }
    }
  }
  ClearTracks(tracks_);
  for (CTrk*& t : byChannel) {
    if (t->GetEventList().empty()) {
      delete t;
    } else {
      tracks_.push_back(t);
    }
    t = nullptr;
  }
  return Result::kOk;
}

// ------------------------------------------------------------------- reading

ResultCode CSmf::Load(const std::vector<std::uint8_t>& bytes) {
  if (bytes.empty()) return Result::fail(1);
  const ResultCode rc = Parse(bytes.data(), bytes.size());
  return Result::failed(rc) ? Result::nest(2, rc) : Result::kOk;
}

ResultCode CSmf::Parse(const std::uint8_t* bytes, std::uint64_t size) {
  if (!bytes || size == 0) return Result::fail(1);
  ClearTracks(tracks_);
  std::uint64_t position = 0;
  while (position < size) {
    std::uint8_t code = ChunkCode::kNone;
    ResultCode rc = ReadChunkId(bytes, size, position, code);
    if (Result::failed(rc)) return Result::nest(5, rc);
    if (code == ChunkCode::kMThd) {
      rc = ReadMThd(bytes, size, position, header_);
      if (Result::failed(rc)) return Result::nest(6, rc);
    } else if (code == ChunkCode::kMTrk) {
      rc = ReadMTrk(bytes, size, position, tracks_);
      if (Result::failed(rc)) return Result::nest(7, rc);
    } else {
      rc = SkipChunk(bytes, size, position);
      if (Result::failed(rc)) return Result::nest(9, rc);
    }
  }
  return Result::kOk;
}

ResultCode CSmf::ReadMThd(const std::uint8_t* bytes, std::uint64_t size, std::uint64_t& position,
                          CHead& head) {
  if (!bytes) return Result::fail(1);
  std::uint64_t length = 0;
  const ResultCode rc = ReadU32BE(bytes, size, position, length);
  if (Result::failed(rc)) return Result::nest(2, rc);
  if (length != 6 || size - position < 6) return Result::fail(3);
  std::uint16_t format = 0, count = 0, division = 0;
  ReadU16BE(bytes, size, position, format);
  ReadU16BE(bytes, size, position, count);
  ReadU16BE(bytes, size, position, division);
  head.format = format;
  head.trackCount = count;
  head.division = division;
  return Result::kOk;
}

ResultCode CSmf::ReadMTrk(const std::uint8_t* bytes, std::uint64_t size, std::uint64_t& position,
                          TrackVector& tracks) {
  if (!bytes) return Result::fail(1);
  CTrk* track = NoThrowAlloc::TryNew<CTrk>();
  if (!track) return Result::fail(2);
  ResultCode rc = track->Clear();
  if (Result::failed(rc)) {
    delete track;
    return Result::nest(3, rc);
  }
  tracks.push_back(track);
  std::uint64_t length = 0;
  rc = ReadU32BE(bytes, size, position, length);
  if (Result::failed(rc)) return Result::nest(4, rc);
  rc = ReadTrackEvents(bytes, size, position, length, track);
  return Result::failed(rc) ? Result::nest(5, rc) : Result::kOk;
}

ResultCode CSmf::ReadTrackEvents(const std::uint8_t* bytes, std::uint64_t size, std::uint64_t& position,
                                 std::uint64_t length, CTrk* track) {
  if (!bytes || !track) return Result::fail(1);
  if (length == 0) return Result::fail(2);
  ResultCode result = Result::kOk;
  std::uint64_t end = position + length;
  if (position > size || size - position < length) {
    // A truncated chunk: nothing of it is taken as complete.
    result = Result::fail(15);
    end = size;
    position = size;
  }
  std::uint64_t time = 0;
  std::uint8_t running = 0;
  bool endKept = false;
  bool atLastEvent = false;

  while (Result::succeeded(result) && position < end) {
    std::uint64_t delta = 0;
    ResultCode rc = ReadVarLen(bytes, end, position, delta);
    if (Result::failed(rc)) {
      result = Result::nest(3, rc);
      break;
    }
    time += delta;
    std::uint8_t status = 0;
    rc = ReadU8(bytes, end, position, status);
    if (Result::failed(rc)) {
      result = Result::nest(4, rc);
      break;
    }
    if (status == EventStatus::kSysEx || status == EventStatus::kSysExEscape) {
      rc = ReadSysExEvent(bytes, end, position, status, time, track);
      if (Result::failed(rc)) result = Result::nest(6, rc);
      continue;
    }
    if (status == EventStatus::kMeta) {
      rc = ReadMetaEvent(bytes, end, position, time, track, atLastEvent, endKept);
      if (Result::failed(rc)) result = Result::nest(5, rc);
      continue;
    }
    if (status < 0x80) {
      status = running;
      --position;  // the byte is the first data byte
    }
    const int dataBytes = DataBytesOf(status);
    if (status < 0x80 || dataBytes == 0) {
      result = Result::fail(10);
      break;
    }
    const unsigned step = (status & 0xF0) <= 0x90 ? 7 : (dataBytes == 2 ? 8 : 9);
    rc = ReadChannelEvent(bytes, end, position, status, dataBytes, time, track);
    if (Result::failed(rc)) {
      result = Result::nest(step, rc);
      break;
    }
    running = status;
  }
  if (Result::failed(result)) position = end;

  if (Result::succeeded(result) && endKept) return track->SortByTime();

  CEvnt* eot = NoThrowAlloc::TryNew<CEvnt>();
  ResultCode closing = Result::kOk;
  if (!eot) {
    closing = Result::fail(14);
  } else {
    eot->SetStatus(EventStatus::kMeta);
    eot->SetMetaType(MetaType::kEndOfTrack);
    eot->SetTime(time);
    if (Result::failed(eot->ClearExData())) closing = Result::fail(12);
    else if (Result::failed(track->AppendEvent(eot))) closing = Result::fail(13);
    if (Result::failed(closing)) delete eot;
  }
  track->SortByTime();
  if (Result::failed(closing)) {
    // The track could not be closed: the inner failure, if any, is kept
    // inside the closing step's code.
    return Result::failed(result) ? (result << 4) | closing : closing;
  }
  return result;
}

ResultCode CSmf::ReadMetaEvent(const std::uint8_t* bytes, std::uint64_t end, std::uint64_t& position,
                               std::uint64_t time, CTrk* track, bool& atLastEvent, bool& endKept) {
  if (position + 2 == end) atLastEvent = true;
  std::uint8_t type = 0;
  ResultCode rc = ReadU8(bytes, end, position, type);
  if (Result::failed(rc)) return Result::nest(2, rc);
  std::uint64_t length = 0;
  rc = ReadVarLen(bytes, end, position, length);
  if (Result::failed(rc)) return Result::nest(3, rc);
  if (end - position < length) return Result::fail(4);
  const std::uint8_t* payload = bytes + position;
  position += length;
  if (type == MetaType::kEndOfTrack) {
    if (!atLastEvent) return Result::kOk;  // an early end of track is dropped
    endKept = true;
  }
  CEvnt* e = NoThrowAlloc::TryNew<CEvnt>();
  if (!e) return Result::fail(7);
  e->SetStatus(EventStatus::kMeta);
  e->SetChannel(0);
  e->SetTime(time);
  e->SetMetaType(type);
  rc = e->SetExData(payload, length);
  if (Result::failed(rc)) {
    delete e;
    return Result::nest(5, rc);
  }
  rc = track->AppendEvent(e);
  if (Result::failed(rc)) {
    delete e;
    return Result::nest(6, rc);
  }
  return Result::kOk;
}

ResultCode CSmf::ReadSysExEvent(const std::uint8_t* bytes, std::uint64_t end, std::uint64_t& position,
                                std::uint8_t status, std::uint64_t time, CTrk* track) {
  std::uint64_t length = 0;
  ResultCode rc = ReadVarLen(bytes, end, position, length);
  if (Result::failed(rc)) return Result::nest(2, rc);
  if (end - position < length) return Result::fail(3);
  const std::uint8_t* payload = bytes + position;
  position += length;
  CEvnt* e = NoThrowAlloc::TryNew<CEvnt>();
  if (!e) return Result::fail(6);
  e->SetStatus(status);
  e->SetChannel(0);
  e->SetTime(time);
  rc = e->SetExData(payload, length);
  if (Result::failed(rc)) {
    delete e;
    return Result::nest(4, rc);
  }
  rc = track->AppendEvent(e);
  if (Result::failed(rc)) {
    delete e;
    return Result::nest(5, rc);
  }
  return Result::kOk;
}

ResultCode CSmf::ReadChannelEvent(const std::uint8_t* bytes, std::uint64_t end, std::uint64_t& position,
                                  std::uint8_t status, int dataBytes, std::uint64_t time, CTrk* track) {
  if (end - position < static_cast<std::uint64_t>(dataBytes)) return Result::fail(2);
  const std::uint8_t d0 = bytes[position];
  const std::uint8_t d1 = dataBytes == 2 ? bytes[position + 1] : 0;
  position += dataBytes;
  CEvnt* e = NoThrowAlloc::TryNew<CEvnt>();
  if (!e) return Result::fail(5);
  e->SetStatus(status & 0xF0);
  e->SetChannel(status & 0x0F);
  e->SetTime(time);
  ResultCode rc = e->SetShortData(d0, d1);
  if (Result::failed(rc)) {
    delete e;
    return Result::nest(3, rc);
  }
  rc = track->AppendEvent(e);
  if (Result::failed(rc)) {
    delete e;
    return Result::nest(4, rc);
  }
  return Result::kOk;
}

ResultCode CSmf::SkipChunk(const std::uint8_t* bytes, std::uint64_t size, std::uint64_t& position) {
  if (!bytes) return Result::fail(1);
  std::uint64_t length = 0;
  const ResultCode rc = ReadU32BE(bytes, size, position, length);
  if (Result::failed(rc)) return Result::nest(2, rc);
  if (size - position < length) return Result::fail(3);
  position += length;
  return Result::kOk;
}

// ------------------------------------------------------------------- writing

ResultCode CSmf::Serialize(std::vector<std::uint8_t>& out) {
  out.clear();
  ResultCode rc = WriteMThd(out, HeaderToWrite());
  if (Result::failed(rc)) return Result::nest(3, rc);
  rc = WriteMTrk(out, tracks_);
  if (Result::failed(rc)) return Result::nest(4, rc);
  return Result::kOk;
}

CHead CSmf::HeaderToWrite() const {
  CHead head;
  head.format = header_.format;
  head.division = header_.division;
  head.trackCount = static_cast<std::uint16_t>(std::min<std::size_t>(tracks_.size(), 0xFFFF));
  return head;
}

ResultCode CSmf::WriteMThd(std::vector<std::uint8_t>& out, const CHead& head) {
  ResultCode rc = AppendChunkId(out, ChunkCode::kMThd);
  if (Result::failed(rc)) return Result::nest(1, rc);
  rc = AppendU32BE(out, 6);
  if (Result::failed(rc)) return Result::nest(2, rc);
  AppendU16BE(out, head.format);
  AppendU16BE(out, head.trackCount);
  AppendU16BE(out, head.division);
  return Result::kOk;
}

ResultCode CSmf::WriteMTrk(std::vector<std::uint8_t>& out, const TrackVector& tracks) {
  if (tracks.empty()) return Result::fail(1);
  for (const CTrk* t : tracks) {
    std::vector<std::uint8_t> chunk;
    const ResultCode rc = WriteTrackChunk(chunk, t);
    if (Result::failed(rc)) return Result::nest(2, rc);
    out.insert(out.end(), chunk.begin(), chunk.end());
  }
  return Result::kOk;
}

ResultCode CSmf::WriteTrackChunk(std::vector<std::uint8_t>& out, const CTrk* track) {
  if (!track) return Result::fail(1);
  std::vector<std::uint8_t> chunk;
  ResultCode rc = AppendChunkId(chunk, ChunkCode::kMTrk);
  if (Result::failed(rc)) return Result::nest(2, rc);
  rc = AppendU32BE(chunk, 0);
  if (Result::failed(rc)) return Result::nest(3, rc);
  rc = WriteTrackEvents(chunk, track);
  if (Result::failed(rc)) return Result::nest(4, rc);
  PatchChunkSize(chunk);
  out.insert(out.end(), chunk.begin(), chunk.end());
  return Result::kOk;
}

ResultCode CSmf::WriteTrackEvents(std::vector<std::uint8_t>& out, const CTrk* track) {
  if (!track) return Result::fail(1);
  std::uint64_t previous = 0;
  std::uint8_t running = 0;
  for (const CEvnt* e : track->GetEventList()) {
    std::uint64_t time = 0;
    ResultCode rc = e ? e->GetTime(time) : Result::fail(1);
    if (Result::failed(rc)) return Result::nest(2, rc);
    if (time < previous) return Result::fail(3);
    rc = EncodeEvent(out, e, time - previous, running);
    if (Result::failed(rc)) return Result::nest(4, rc);
    previous = time;
  }
  return Result::kOk;
}

ResultCode CSmf::EncodeEvent(std::vector<std::uint8_t>& out, const CEvnt* event, std::uint64_t delta,
                             std::uint8_t& runningStatus) {
  if (!event) return Result::fail(1);
  std::uint8_t status = 0, channel = 0;
  ResultCode rc = event->GetStatus(status);
  if (Result::failed(rc)) return Result::nest(2, rc);
  rc = event->GetChannel(channel);
  if (Result::failed(rc)) return Result::nest(3, rc);
  if (status == EventStatus::kSysEx || status == EventStatus::kSysExEscape) {
    rc = EncodeSysExEvent(out, event, delta);
    runningStatus = 0;
    return Result::failed(rc) ? Result::nest(5, rc) : Result::kOk;
  }
  if (status == EventStatus::kMeta) {
    rc = EncodeMetaEvent(out, event, delta);
    runningStatus = 0;
    return Result::failed(rc) ? Result::nest(4, rc) : Result::kOk;
  }
  // Only a bare kind 0x80..0xE0 with a channel 0..15 makes a status byte.
  if ((status & 0x0F) != 0 || channel > 15 || DataBytesOf(status) == 0 || status >= 0xF0) {
    return Result::fail(9);
  }
  const int dataBytes = DataBytesOf(status);
  const unsigned step = status <= 0x90 ? 6 : (dataBytes == 2 ? 7 : 8);
  rc = EncodeChannelEvent(out, event, delta, dataBytes, runningStatus);
  return Result::failed(rc) ? Result::nest(step, rc) : Result::kOk;
}

ResultCode CSmf::EncodeMetaEvent(std::vector<std::uint8_t>& out, const CEvnt* event, std::uint64_t delta) {
  if (!event) return Result::fail(1);
  std::uint8_t type = 0;
  ResultCode rc = event->GetMetaType(type);
  if (Result::failed(rc)) return Result::nest(3, rc);
  std::vector<std::uint8_t> payload;
  rc = event->GetExData(payload);
  if (Result::failed(rc)) return Result::nest(5, rc);
  std::vector<std::uint8_t> bytes;
  rc = AppendVarLen(bytes, delta);
  if (Result::failed(rc)) return Result::nest(6, rc);
  AppendU8(bytes, EventStatus::kMeta);
  AppendU8(bytes, type);
  rc = AppendVarLen(bytes, payload.size());
  if (Result::failed(rc)) return Result::nest(9, rc);
  bytes.insert(bytes.end(), payload.begin(), payload.end());
  out.insert(out.end(), bytes.begin(), bytes.end());
  return Result::kOk;
}

ResultCode CSmf::EncodeSysExEvent(std::vector<std::uint8_t>& out, const CEvnt* event, std::uint64_t delta) {
  if (!event) return Result::fail(1);
  std::uint8_t status = 0;
  ResultCode rc = event->GetStatus(status);
  if (Result::failed(rc)) return Result::nest(2, rc);
  std::vector<std::uint8_t> payload;
  rc = event->GetExData(payload);
  if (Result::failed(rc)) return Result::nest(4, rc);
  std::vector<std::uint8_t> bytes;
  rc = AppendVarLen(bytes, delta);
  if (Result::failed(rc)) return Result::nest(5, rc);
  AppendU8(bytes, status);
  rc = AppendVarLen(bytes, payload.size());
  if (Result::failed(rc)) return Result::nest(7, rc);
  bytes.insert(bytes.end(), payload.begin(), payload.end());
  out.insert(out.end(), bytes.begin(), bytes.end());
  return Result::kOk;
}

ResultCode CSmf::EncodeChannelEvent(std::vector<std::uint8_t>& out, const CEvnt* event, std::uint64_t delta,
                                    int dataBytes, std::uint8_t& runningStatus) {
  if (!event) return Result::fail(1);
  std::uint8_t status = 0, channel = 0, data[4];
  ResultCode rc = event->GetStatus(status);
  if (Result::failed(rc)) return Result::nest(2, rc);
  rc = event->GetChannel(channel);
  if (Result::failed(rc)) return Result::nest(3, rc);
  rc = event->GetShortData(data);
  if (Result::failed(rc)) return Result::nest(4, rc);
  std::vector<std::uint8_t> bytes;
  rc = AppendVarLen(bytes, delta);
  if (Result::failed(rc)) return Result::nest(5, rc);
  const std::uint8_t statusByte = static_cast<std::uint8_t>(status | channel);
  // A first data byte with bit 7 set would read back as a status byte, so
  // such an event always carries its status.
  const bool omit = runningStatus_ == 1 && statusByte == runningStatus && !(data[0] & 0x80);
  if (!omit) AppendU8(bytes, statusByte);
  AppendU8(bytes, data[0]);
  if (dataBytes == 2) AppendU8(bytes, data[1]);
  out.insert(out.end(), bytes.begin(), bytes.end());
  runningStatus = statusByte;
  return Result::kOk;
}

ResultCode CSmf::WriteTracksUntil(std::vector<std::uint8_t>& out, const TrackVector& tracks,
                                  std::uint64_t endTime) {
  if (tracks.empty()) return Result::fail(1);
  for (const CTrk* t : tracks) {
    const ResultCode rc = WriteTrackUntil(out, t, endTime);
    if (Result::failed(rc)) return Result::nest(2, rc);
  }
  return Result::kOk;
}

ResultCode CSmf::WriteTrackUntil(std::vector<std::uint8_t>& out, const CTrk* track, std::uint64_t endTime) {
  if (!track) return Result::fail(1);
  std::vector<std::uint8_t> chunk;
  AppendChunkId(chunk, ChunkCode::kMTrk);
  AppendU32BE(chunk, 0);
  std::uint64_t previous = 0;
  std::uint64_t closeAt = endTime;
  std::uint8_t running = 0;
  for (const CEvnt* e : track->GetEventList()) {
    if (!e) continue;
    std::uint64_t time = 0;
    std::uint8_t status = 0, type = 0;
    e->GetTime(time);
    e->GetStatus(status);
    e->GetMetaType(type);
    if (time < previous) return Result::fail(3);
    if (time >= endTime) break;
    if (status == EventStatus::kMeta && type == MetaType::kEndOfTrack) {
      closeAt = time;  // the track ends before the cut
      break;
    }
    if (time == 0) {
      bool name = false, triplet = false;
      ResultCode rc = IsTrackNameEvent(e, name);
      if (Result::succeeded(rc)) rc = IsTripletMarker(e, triplet);
      if (Result::failed(rc)) return Result::nest(7, rc);
      if (name || triplet) continue;
    }
    const ResultCode rc = EncodeEvent(chunk, e, time - previous, running);
    if (Result::failed(rc)) return Result::nest(4, rc);
    previous = time;
  }
  const ResultCode rc = AppendVarLen(chunk, closeAt - previous);
  if (Result::failed(rc)) return Result::nest(6, rc);
  chunk.insert(chunk.end(), {EventStatus::kMeta, MetaType::kEndOfTrack, 0x00});
  PatchChunkSize(chunk);
  out.insert(out.end(), chunk.begin(), chunk.end());
  return Result::kOk;
}

ResultCode CSmf::AppendEndOfTrack(std::vector<std::uint8_t>& out) {
  out.insert(out.end(), {0x00, EventStatus::kMeta, MetaType::kEndOfTrack, 0x00});
  return Result::kOk;
}

ResultCode CSmf::ReadU8(const std::uint8_t* bytes, std::uint64_t size, std::uint64_t& position,
                        std::uint8_t& value) {
  if (!bytes) return Result::fail(1);
  if (position >= size) return Result::fail(2);
  value = bytes[position++];
  return Result::kOk;
}

ResultCode CSmf::AppendU8(std::vector<std::uint8_t>& out, std::uint8_t value) {
  out.push_back(value);
  return Result::kOk;
}

ResultCode CSmf::IsTrackNameEvent(const CEvnt* event, bool& flag) {
  flag = false;
  if (!event) return Result::kOk;
  std::uint8_t status = 0, type = 0;
  ResultCode rc = event->GetStatus(status);
  if (Result::failed(rc)) return Result::nest(1, rc);
  rc = event->GetMetaType(type);
  if (Result::failed(rc)) return Result::nest(2, rc);
  flag = status == EventStatus::kMeta && type == MetaType::kTrackName;
  return Result::kOk;
}

ResultCode CSmf::IsTripletMarker(const CEvnt* event, bool& flag) {
  flag = false;
  if (!event) return Result::kOk;
  std::uint8_t status = 0, type = 0;
  ResultCode rc = event->GetStatus(status);
  if (Result::failed(rc)) return Result::nest(1, rc);
  rc = event->GetMetaType(type);
  if (Result::failed(rc)) return Result::nest(2, rc);
  if (status != EventStatus::kMeta || type != MetaType::kMarker) return Result::kOk;
  std::vector<std::uint8_t> payload;
  rc = event->GetExData(payload);
  if (Result::failed(rc)) return Result::nest(4, rc);
  flag = payload.size() >= 7 && std::memcmp(payload.data(), "Triplet", 7) == 0;
  return Result::kOk;
}
