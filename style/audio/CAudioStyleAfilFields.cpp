// Single fields and whole records of the AFil chunks: Afmt, the fixed part
// of Sfmt, and the SPnt, point and tempo records.

#include "CAudioStyle.h"
#include "ChunkFraming.h"


namespace {

constexpr unsigned kAfmtWidths[] = {2, 2, 4, 4, 2, 2};
constexpr unsigned kSfmtWidths[] = {2, 3, 3, 3, 4, 2, 2, 4, 4, 4, 4};
constexpr unsigned kSyncroWidths[] = {4, 2, 1, 1, 2};
constexpr unsigned kPointWidths[] = {4, 2, 2};
constexpr unsigned kTempoWidths[] = {4, 3};

template <std::size_t N>
constexpr unsigned Count(const unsigned (&)[N]) {
  return N;
}

// Reads a numeric field of `width` bytes and hands it to `set`.
template <typename Set>
ResultCode ReadNumber(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, unsigned width, Set set) {
  std::uint64_t value = 0;
  if (!ChunkFraming::ReadBE(buf, size, pos, width, value)) return Result::fail(2);
  const ResultCode rc = set(value);
  if (Result::failed(rc)) {
    pos -= width;
    return Result::nest(3, rc);
  }
  return Result::kOk;
}

// Hands the `width` bytes at `pos` to a byte-group setter.
template <typename Set>
ResultCode ReadGroup(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, unsigned width, Set set) {
  if (!CChunkBase::Fits(size, pos, width)) return Result::fail(2);
  const ResultCode rc = set(buf + pos, width);
  if (Result::failed(rc)) return Result::nest(3, rc);
  pos += width;
  return Result::kOk;
}

// Appends a numeric field taken from a getter.
template <typename T, typename Get>
ResultCode WriteNumber(std::vector<std::uint8_t>& out, unsigned width, Get get) {
  T value = 0;
  const ResultCode rc = get(value);
  if (Result::failed(rc)) return Result::nest(2, rc);
  ChunkFraming::AppendBE(out, value, width);
  return Result::kOk;
}

// Appends a byte group of exactly `width` bytes taken from a getter.
template <typename Get>
ResultCode WriteGroup(std::vector<std::uint8_t>& out, unsigned width, Get get) {
  std::uint8_t bytes[8];
  std::uint64_t n = width;
  const ResultCode rc = get(bytes, n);
  if (Result::failed(rc) || n != width) return Result::nest(2, rc);
  out.insert(out.end(), bytes, bytes + width);
  return Result::kOk;
}

// Every field of a record in order; field n fails with n + 1.
template <typename Record, typename WriteField>
ResultCode WriteRecord(std::vector<std::uint8_t>& out, const Record* record, unsigned fields, WriteField write) {
  if (!record) return Result::fail(1);
  for (unsigned f = 0; f < fields; ++f) {
    const ResultCode rc = write(out, record, f);
    if (Result::failed(rc)) return Result::nest(2 + f, rc);
  }
  return Result::kOk;
}

}  // namespace

ResultCode CAudioStyle::ReadAfmtField(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                      CAudioWaveFormat* f, unsigned field) {
  if (!buf || !f || field >= Count(kAfmtWidths)) return Result::fail(1);
  return ReadNumber(buf, size, pos, kAfmtWidths[field], [f, field](std::uint64_t v) {
    switch (field) {
      case 0: return f->SetFormatTag(static_cast<std::uint16_t>(v));
      case 1: return f->SetChannels(static_cast<std::uint16_t>(v));
      case 2: return f->SetSampleRate(v);
      case 3: return f->SetByteRate(v);
      case 4: return f->SetBlockAlign(static_cast<std::uint16_t>(v));
      default: return f->SetBitsPerSample(static_cast<std::uint16_t>(v));
    }
  });
}

ResultCode CAudioStyle::WriteAfmtField(std::vector<std::uint8_t>& out, const CAudioWaveFormat* f, unsigned field) {
  if (!f || field >= Count(kAfmtWidths)) return Result::fail(1);
  const unsigned w = kAfmtWidths[field];
  switch (field) {
    case 0: return WriteNumber<std::uint16_t>(out, w, [f](std::uint16_t& v) { return f->GetFormatTag(v); });
    case 1: return WriteNumber<std::uint16_t>(out, w, [f](std::uint16_t& v) { return f->GetChannels(v); });
    case 2: return WriteNumber<std::uint64_t>(out, w, [f](std::uint64_t& v) { return f->GetSampleRate(v); });
    case 3: return WriteNumber<std::uint64_t>(out, w, [f](std::uint64_t& v) { return f->GetByteRate(v); });
    case 4: return WriteNumber<std::uint16_t>(out, w, [f](std::uint16_t& v) { return f->GetBlockAlign(v); });
    default: return WriteNumber<std::uint16_t>(out, w, [f](std::uint16_t& v) { return f->GetBitsPerSample(v); });
  }
}

ResultCode CAudioStyle::ReadSfmtField(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                      CAudioStyleWaveFormat* f, unsigned field) {
  if (!buf || !f || field >= Count(kSfmtWidths)) return Result::fail(1);
  const unsigned w = kSfmtWidths[field];
  switch (field) {
    case 1: return ReadGroup(buf, size, pos, w, [f](const std::uint8_t* b, std::uint64_t n) { return f->SetOriginalTempo(b, n); });
    case 2: return ReadGroup(buf, size, pos, w, [f](const std::uint8_t* b, std::uint64_t n) { return f->SetTempo2(b, n); });
    case 3: return ReadGroup(buf, size, pos, w, [f](const std::uint8_t* b, std::uint64_t n) { return f->SetTempo3(b, n); });
    case 4:
      return ReadGroup(buf, size, pos, w,
                       [f](const std::uint8_t* b, std::uint64_t n) { return f->SetOriginalTimeSignature(b, n); });
    default:
      return ReadNumber(buf, size, pos, w, [f, field](std::uint64_t v) {
        switch (field) {
          case 0: return f->SetFormatTag(static_cast<std::uint16_t>(v));
          case 5: return f->SetField6(static_cast<std::uint16_t>(v));
          case 6: return f->SetNumberOfBars(static_cast<std::uint16_t>(v));
          case 7: return f->SetField8(v);
          case 8: return f->SetField9(v);
          case 9: return f->SetField10(v);
          default: return f->SetField11(v);
        }
      });
  }
}

ResultCode CAudioStyle::WriteSfmtField(std::vector<std::uint8_t>& out, const CAudioStyleWaveFormat* f,
                                       unsigned field) {
  if (!f || field >= Count(kSfmtWidths)) return Result::fail(1);
  const unsigned w = kSfmtWidths[field];
  using U16 = std::uint16_t;
  using U64 = std::uint64_t;
  switch (field) {
    case 0: return WriteNumber<U16>(out, w, [f](U16& v) { return f->GetFormatTag(v); });
    case 1: return WriteGroup(out, w, [f](std::uint8_t* b, U64& n) { return f->GetOriginalTempo(b, n); });
    case 2: return WriteGroup(out, w, [f](std::uint8_t* b, U64& n) { return f->GetTempo2(b, n); });
    case 3: return WriteGroup(out, w, [f](std::uint8_t* b, U64& n) { return f->GetTempo3(b, n); });
    case 4: return WriteGroup(out, w, [f](std::uint8_t* b, U64& n) { return f->GetOriginalTimeSignature(b, n); });
    case 5: return WriteNumber<U16>(out, w, [f](U16& v) { return f->GetField6(v); });
    case 6: return WriteNumber<U16>(out, w, [f](U16& v) { return f->GetNumberOfBars(v); });
    case 7: return WriteNumber<U64>(out, w, [f](U64& v) { return f->GetField8(v); });
    case 8: return WriteNumber<U64>(out, w, [f](U64& v) { return f->GetField9(v); });
    case 9: return WriteNumber<U64>(out, w, [f](U64& v) { return f->GetField10(v); });
    default: return WriteNumber<U64>(out, w, [f](U64& v) { return f->GetField11(v); });
  }
}

ResultCode CAudioStyle::ReadSyncroPointField(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                             CSyncroPoint* p, unsigned field) {
  if (!buf || !p || field >= Count(kSyncroWidths)) return Result::fail(1);
  return ReadNumber(buf, size, pos, kSyncroWidths[field], [p, field](std::uint64_t v) {
    switch (field) {
      case 0: return p->SetPosition(v);
      case 1: return p->SetIndex(static_cast<std::uint16_t>(v));
      case 2: return p->SetByteA(static_cast<std::uint8_t>(v));
      case 3: return p->SetByteB(static_cast<std::uint8_t>(v));
      default: return p->SetTickOffset(static_cast<std::uint16_t>(v));
    }
  });
}

ResultCode CAudioStyle::WriteSyncroPointField(std::vector<std::uint8_t>& out, const CSyncroPoint* p,
                                              unsigned field) {
  if (!p || field >= Count(kSyncroWidths)) return Result::fail(1);
  const unsigned w = kSyncroWidths[field];
  switch (field) {
    case 0: return WriteNumber<std::uint64_t>(out, w, [p](std::uint64_t& v) { return p->GetPosition(v); });
    case 1: return WriteNumber<std::uint16_t>(out, w, [p](std::uint16_t& v) { return p->GetIndex(v); });
    case 2: return WriteNumber<std::uint8_t>(out, w, [p](std::uint8_t& v) { return p->GetByteA(v); });
    case 3: return WriteNumber<std::uint8_t>(out, w, [p](std::uint8_t& v) { return p->GetByteB(v); });
    default: return WriteNumber<std::uint16_t>(out, w, [p](std::uint16_t& v) { return p->GetTickOffset(v); });
  }
}

ResultCode CAudioStyle::WriteSyncroPointRecord(std::vector<std::uint8_t>& out, const CSyncroPoint* p) {
  return WriteRecord(out, p, Count(kSyncroWidths), &WriteSyncroPointField);
}

ResultCode CAudioStyle::ReadAudioPointField(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                            CAudioPoint* p, unsigned field) {
  if (!buf || !p || field >= Count(kPointWidths)) return Result::fail(1);
  return ReadNumber(buf, size, pos, kPointWidths[field], [p, field](std::uint64_t v) {
    switch (field) {
      case 0: return p->SetPosition(v);
      case 1: return p->SetBeatIndex(static_cast<std::uint16_t>(v));
      default: return p->SetTickOffset(static_cast<std::uint16_t>(v));
    }
  });
}

ResultCode CAudioStyle::WriteAudioPointField(std::vector<std::uint8_t>& out, const CAudioPoint* p, unsigned field) {
  if (!p || field >= Count(kPointWidths)) return Result::fail(1);
  const unsigned w = kPointWidths[field];
  switch (field) {
    case 0: return WriteNumber<std::uint64_t>(out, w, [p](std::uint64_t& v) { return p->GetPosition(v); });
    case 1: return WriteNumber<std::uint16_t>(out, w, [p](std::uint16_t& v) { return p->GetBeatIndex(v); });
    default: return WriteNumber<std::uint16_t>(out, w, [p](std::uint16_t& v) { return p->GetTickOffset(v); });
  }
}

ResultCode CAudioStyle::WriteAudioPointRecord(std::vector<std::uint8_t>& out, const CAudioPoint* p) {
  return WriteRecord(out, p, Count(kPointWidths), &WriteAudioPointField);
}

ResultCode CAudioStyle::ReadTempoField(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                       CAudioTempo* t, unsigned field) {
  if (!buf || !t || field >= Count(kTempoWidths)) return Result::fail(1);
  if (field == 0) {
    return ReadNumber(buf, size, pos, kTempoWidths[0], [t](std::uint64_t v) { return t->SetPosition(v); });
  }
  return ReadGroup(buf, size, pos, kTempoWidths[1],
                   [t](const std::uint8_t* b, std::uint64_t n) { return t->SetTempo(b, n); });
}

ResultCode CAudioStyle::WriteTempoField(std::vector<std::uint8_t>& out, const CAudioTempo* t, unsigned field) {
  if (!t || field >= Count(kTempoWidths)) return Result::fail(1);
  if (field == 0) {
    return WriteNumber<std::uint64_t>(out, kTempoWidths[0], [t](std::uint64_t& v) { return t->GetPosition(v); });
  }
  return WriteGroup(out, kTempoWidths[1], [t](std::uint8_t* b, std::uint64_t& n) { return t->GetTempo(b, n); });
}

ResultCode CAudioStyle::WriteTempoRecord(std::vector<std::uint8_t>& out, const CAudioTempo* t) {
  return WriteRecord(out, t, Count(kTempoWidths), &WriteTempoField);
}
