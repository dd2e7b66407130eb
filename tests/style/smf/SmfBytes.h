#pragma once
// Small builders for the byte images the style container tests feed in and
// compare against.

#include <cstdint>
#include <string>
#include <vector>

#include "ByteBuilders.h"
#include "CEvnt.h"

namespace SmfBytes {

using ByteBuilders::Bytes;
using ByteBuilders::Cat;
using ByteBuilders::Chunk;
using ByteBuilders::Of;
using ByteBuilders::Text;

inline Bytes MThd(int format, int tracks, int division) {
  return Chunk("MThd", Of({format >> 8, format & 0xFF, tracks >> 8, tracks & 0xFF, division >> 8, division & 0xFF}));
}

// New events for a track to own: a channel event and a meta event.
inline CEvnt* ChannelEvent(std::uint64_t time, int status, int channel, int d0, int d1 = 0) {
  auto* e = new CEvnt;
  e->SetStatus(static_cast<std::uint8_t>(status));
  e->SetChannel(static_cast<std::uint8_t>(channel));
  e->SetTime(time);
  e->SetShortData(static_cast<std::uint8_t>(d0), static_cast<std::uint8_t>(d1));
  return e;
}

inline CEvnt* MetaEvent(std::uint64_t time, int type, const Bytes& payload) {
  auto* e = new CEvnt;
  e->SetStatus(0xFF);
  e->SetMetaType(static_cast<std::uint8_t>(type));
  e->SetTime(time);
  e->SetExData(payload.data(), payload.size());
  return e;
}

// A detached description of an event, for comparing tracks.
struct EventView {
  std::uint64_t time;
  int status;
  int channel;
  int metaType;
  int d0;
  int d1;
  Bytes payload;
  bool operator==(const EventView& o) const {
    return time == o.time && status == o.status && channel == o.channel && metaType == o.metaType &&
           d0 == o.d0 && d1 == o.d1 && payload == o.payload;
  }
};

inline EventView View(const CEvnt& e) {
  EventView v{};
  std::uint8_t s = 0, c = 0, m = 0, d[4] = {0, 0, 0, 0};
  e.GetTime(v.time);
  e.GetStatus(s);
  e.GetChannel(c);
  e.GetMetaType(m);
  e.GetShortData(d);
  e.GetExData(v.payload);
  v.status = s;
  v.channel = c;
  v.metaType = m;
  v.d0 = d[0];
  v.d1 = d[1];
  return v;
}

template <typename Track>
std::vector<EventView> Views(const Track& track) {
  std::vector<EventView> out;
  for (const CEvnt* e : track.GetEventList()) out.push_back(View(*e));
  return out;
}

}  // namespace SmfBytes
