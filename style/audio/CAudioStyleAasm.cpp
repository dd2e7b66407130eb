// The AASM chunk tree: AASM > ASEG > Adec, Atab, AMix.

#include "CAudioStyle.h"
#include "ChunkFraming.h"
#include "NoThrowAlloc.h"


namespace {

constexpr std::uint64_t kResolutionSize = 2;

// sourceChannel .. selB of an Atab, with the name record after
// destinationChannel; the n-th field fails with n + 1.
ResultCode ReadAtabHead(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, CAtabData* atab) {
  CCtabData* t = &atab->GetTable();
  ResultCode rc = 0;
  if (Result::failed(rc = CSmfStyle::ReadTableByte(buf, size, pos, t, &CCtabData::SetSourceChannel))) return Result::nest(2, rc);
  if (Result::failed(rc = CSmfStyle::ReadTableGroup(buf, size, pos, t, 8, &CCtabData::SetName))) return Result::nest(3, rc);
  if (Result::failed(rc = CSmfStyle::ReadTableByte(buf, size, pos, t, &CCtabData::SetDestinationChannel))) return Result::nest(4, rc);
  if (Result::failed(rc = CAudioStyle::ReadAtabNameRecord(buf, size, pos, atab))) return Result::nest(5, rc);
  if (Result::failed(rc = CSmfStyle::ReadTableByte(buf, size, pos, t, &CCtabData::SetAttr))) return Result::nest(6, rc);
  if (Result::failed(rc = CSmfStyle::ReadTableGroup(buf, size, pos, t, 2, &CCtabData::SetMaskA))) return Result::nest(7, rc);
  if (Result::failed(rc = CSmfStyle::ReadTableGroup(buf, size, pos, t, 5, &CCtabData::SetMaskB))) return Result::nest(8, rc);
  if (Result::failed(rc = CSmfStyle::ReadTableByte(buf, size, pos, t, &CCtabData::SetSelA))) return Result::nest(9, rc);
  if (Result::failed(rc = CSmfStyle::ReadTableByte(buf, size, pos, t, &CCtabData::SetSelB))) return Result::nest(10, rc);
  return Result::kOk;
}

ResultCode WriteAtabHead(std::vector<std::uint8_t>& out, const CAtabData* atab) {
  const CCtabData* t = &atab->GetTable();
  ResultCode rc = 0;
  if (Result::failed(rc = CSmfStyle::WriteTableByte(out, t, &CCtabData::GetSourceChannel))) return Result::nest(2, rc);
  if (Result::failed(rc = CSmfStyle::WriteTableGroup(out, t, 8, &CCtabData::GetName))) return Result::nest(3, rc);
  if (Result::failed(rc = CSmfStyle::WriteTableByte(out, t, &CCtabData::GetDestinationChannel))) return Result::nest(4, rc);
  if (Result::failed(rc = CAudioStyle::WriteAtabNameRecord(out, atab))) return Result::nest(5, rc);
  if (Result::failed(rc = CSmfStyle::WriteTableByte(out, t, &CCtabData::GetAttr))) return Result::nest(6, rc);
  if (Result::failed(rc = CSmfStyle::WriteTableGroup(out, t, 2, &CCtabData::GetMaskA))) return Result::nest(7, rc);
  if (Result::failed(rc = CSmfStyle::WriteTableGroup(out, t, 5, &CCtabData::GetMaskB))) return Result::nest(8, rc);
  if (Result::failed(rc = CSmfStyle::WriteTableByte(out, t, &CCtabData::GetSelA))) return Result::nest(9, rc);
  if (Result::failed(rc = CSmfStyle::WriteTableByte(out, t, &CCtabData::GetSelB))) return Result::nest(10, rc);
  return Result::kOk;
}

}  // namespace

// ------------------------------------------------------------------ readers

ResultCode CAudioStyle::ReadAasmChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                      AudioSectionList& sections) {
  if (!buf) return Result::fail(1);
  std::uint64_t length = 0;
  ResultCode rc = ReadU32BE(buf, size, pos, length);
  if (Result::failed(rc)) return Result::nest(2, rc);
  if (!Fits(size, pos, length)) return Result::fail(6);
  const std::uint64_t end = pos + length;
  while (pos < end) {
    std::uint8_t code = ChunkCode::kNone;
    if (Result::failed(rc = ReadChunkId(buf, end, pos, code))) return Result::nest(3, rc);
    if (code != ChunkCode::kASEG) {
      pos = end;
      return Result::fail(5);
    }
    if (Result::failed(rc = ReadAsegChunk(buf, end, pos, sections))) return Result::nest(4, rc);
  }
  return Result::kOk;
}

ResultCode CAudioStyle::ReadAsegChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                      AudioSectionList& sections) {
  if (!buf) return Result::fail(1);
  std::uint64_t length = 0;
  ResultCode rc = ReadU32BE(buf, size, pos, length);
  if (Result::failed(rc)) return Result::nest(2, rc);
  if (length == 0) return Result::fail(3);
  if (!Fits(size, pos, length)) return Result::fail(11);
  const std::uint64_t end = pos + length;
  CAudioSection* section = NoThrowAlloc::TryNew<CAudioSection>();
  if (!section) return Result::fail(4);
  if (Result::failed(rc = section->Clear())) {
    delete section;
    return Result::nest(5, rc);
  }
  sections.push_back(section);
  while (pos < end) {
    std::uint8_t code = ChunkCode::kNone;
    if (Result::failed(rc = ReadChunkId(buf, end, pos, code))) return Result::nest(6, rc);
    switch (code) {
      case ChunkCode::kAMix:
        if (Result::failed(rc = ReadAmixChunk(buf, end, pos, section))) return Result::nest(9, rc);
        break;
      case ChunkCode::kAtab:
        if (Result::failed(rc = ReadAtabChunk(buf, end, pos, section))) return Result::nest(8, rc);
        break;
      case ChunkCode::kAdec:
        if (Result::failed(rc = ReadAdecChunk(buf, end, pos, section))) return Result::nest(7, rc);
        break;
      default:
        pos = end;
        return Result::fail(10);
    }
  }
  return Result::kOk;
}

ResultCode CAudioStyle::ReadAdecChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                      CAudioSection* section) {
  if (!buf || !section) return Result::fail(1);
  std::uint64_t length = 0;
  ResultCode rc = ReadBodyLength(buf, size, pos, length);
  if (Result::failed(rc)) return rc;
  rc = section->SetDecoration(reinterpret_cast<const char*>(buf + pos), length);
  if (Result::failed(rc)) return Result::nest(5, rc);
  pos += length;
  return Result::kOk;
}

ResultCode CAudioStyle::ReadAtabChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                      CAudioSection* section) {
  if (!buf || !section) return Result::fail(1);
  std::uint64_t length = 0;
  ResultCode rc = ReadBodyLength(buf, size, pos, length);
  if (Result::failed(rc)) return rc;
  const std::uint64_t end = pos + length;
  CAtabData* table = NoThrowAlloc::TryNew<CAtabData>();
  if (!table) return Result::fail(5);
  CCtabData* t = &table->GetTable();
  char id[4];
  std::uint64_t idLength = sizeof id;
  unsigned step = 0;
  if (Result::failed(rc = CopyChunkId(ChunkCode::kAtab, id, &idLength))) step = 6;
  else if (Result::failed(rc = table->SetId(reinterpret_cast<const std::uint8_t*>(id), idLength))) step = 7;
  else if (Result::failed(rc = ReadAtabHead(buf, end, pos, table))) step = 8;
  else rc = ReadCtb2Body(buf, end, pos, t, step);
  if (step) {
    delete table;
    return Result::nest(step, rc);
  }
  pos = end;
  section->AddAtab(table);
  return Result::kOk;
}

ResultCode CAudioStyle::ReadAmixChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                      CAudioSection* section) {
  if (!buf || !section) return Result::fail(1);
  std::uint64_t length = 0;
  ResultCode rc = ReadU32BE(buf, size, pos, length);
  if (Result::failed(rc)) return Result::nest(2, rc);
  if (!Fits(size, pos, length)) return Result::fail(4);
  const std::uint64_t end = pos + length;
  // A body shorter than the resolution fails here, inside its own bounds.
  if (Result::failed(rc = ReadAmixResolution(buf, end, pos, section))) return Result::nest(10, rc);
  const std::uint64_t remaining = end - pos;
  if (remaining == 0) return Result::fail(3);
  CAMixData* mix = NoThrowAlloc::TryNew<CAMixData>();
  if (!mix) return Result::fail(5);
  mix->ClearTrack();
  section->SetMixData(mix);  // deletes the mix of an earlier AMix
  CTrk* track = NoThrowAlloc::TryNew<CTrk>();
  if (!track) return Result::fail(6);
  if (Result::failed(rc = track->Clear())) {
    delete track;
    return Result::nest(7, rc);
  }
  mix->SetTrack(track);
  if (Result::failed(rc = ReadTrackEvents(buf, end, pos, remaining, track))) return Result::nest(8, rc);
  pos = end;
  return Result::kOk;
}

ResultCode CAudioStyle::ReadAtabNameRecord(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                           CAtabData* table) {
  if (!buf || !table) return Result::fail(1);
  if (!Fits(size, pos, CAtabData::kNameRecordSize)) return Result::fail(2);
  const ResultCode rc = table->SetBlock(buf + pos, CAtabData::kNameRecordSize);
  if (Result::failed(rc)) return Result::nest(3, rc);
  pos += CAtabData::kNameRecordSize;
  return Result::kOk;
}

ResultCode CAudioStyle::ReadAmixResolution(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                           CAudioSection* section) {
  if (!buf || !section) return Result::fail(1);
  std::uint64_t value = 0;
  if (!ChunkFraming::ReadBE(buf, size, pos, kResolutionSize, value)) return Result::fail(2);
  const ResultCode rc = section->SetResolution(static_cast<std::uint16_t>(value));
  if (Result::failed(rc)) return Result::nest(3, rc);
  return Result::kOk;
}

// ------------------------------------------------------------------ writers

ResultCode CAudioStyle::WriteAasmChunk(std::vector<std::uint8_t>& out, const AudioSectionList& sections) {
  if (sections.empty()) return Result::kOk;
  std::vector<std::uint8_t> chunk;
  ResultCode rc = ChunkFraming::Begin(chunk, ChunkCode::kAASM);
  if (Result::failed(rc)) return rc;
  for (CAudioSection* s : sections) {
    if (!s) continue;
    std::vector<std::uint8_t> text;
    if (Result::failed(rc = s->GetDecorationText(text))) return Result::nest(4, rc);
    if (text.empty()) continue;
    std::vector<std::uint8_t> aseg;
    if (Result::failed(rc = WriteAsegChunk(aseg, s))) return Result::nest(5, rc);
    ChunkFraming::Append(chunk, aseg);
  }
  ChunkFraming::Finish(out, chunk);
  return Result::kOk;
}

ResultCode CAudioStyle::WriteAsegChunk(std::vector<std::uint8_t>& out, CAudioSection* section) {
  if (!section) return Result::fail(1);
  std::vector<std::uint8_t> chunk;
  ResultCode rc = ChunkFraming::Begin(chunk, ChunkCode::kASEG);
  if (Result::failed(rc)) return rc;
  std::vector<std::uint8_t> a, b, c;
  if (Result::failed(rc = WriteAdecChunk(a, section))) return Result::nest(3, rc);
  for (const CAtabData* t : section->GetAtabList()) {
    if (!t) continue;
    std::uint8_t id[4];
    std::uint64_t n = sizeof id;
    if (Result::failed(rc = t->GetId(id, n))) return Result::nest(5, rc);
    if (!IsChunkId(id, n, ChunkCode::kAtab)) return Result::fail(8);
    std::vector<std::uint8_t> table;
    if (Result::failed(rc = WriteAtabChunk(table, t))) return Result::nest(6, rc);
    ChunkFraming::Append(b, table);
  }
  if (Result::failed(rc = WriteAmixChunk(c, section->GetMixData(), section))) return Result::nest(10, rc);
  ChunkFraming::Append(chunk, a);
  ChunkFraming::Append(chunk, b);
  ChunkFraming::Append(chunk, c);
  ChunkFraming::Finish(out, chunk);
  return Result::kOk;
}

ResultCode CAudioStyle::WriteAdecChunk(std::vector<std::uint8_t>& out, const CAudioSection* section) {
  if (!section) return Result::fail(1);
  std::vector<std::uint8_t> chunk;
  ResultCode rc = ChunkFraming::Begin(chunk, ChunkCode::kAdec);
  if (Result::failed(rc)) return rc;
  std::vector<std::uint8_t> text;
  if (Result::failed(rc = section->GetDecorationText(text))) return Result::nest(4, rc);
  ChunkFraming::Append(chunk, text);
  ChunkFraming::Finish(out, chunk);
  return Result::kOk;
}

ResultCode CAudioStyle::WriteAtabChunk(std::vector<std::uint8_t>& out, const CAtabData* table) {
  if (!table) return Result::fail(1);
  std::vector<std::uint8_t> chunk;
  ResultCode rc = ChunkFraming::Begin(chunk, ChunkCode::kAtab);
  if (Result::failed(rc)) return rc;
  const CCtabData* t = &table->GetTable();
  if (Result::failed(rc = WriteAtabHead(chunk, table))) return Result::nest(4, rc);
  unsigned step = 0;
  if (Result::failed(rc = WriteCtb2Body(chunk, t, step))) return Result::nest(step, rc);
  ChunkFraming::Finish(out, chunk);
  return Result::kOk;
}

ResultCode CAudioStyle::WriteAmixChunk(std::vector<std::uint8_t>& out, CAMixData* mix, const CAudioSection* section) {
  if (!mix || !section) return Result::fail(1);
  ResultCode rc = mix->EnsureEndOfTrack();
  if (Result::failed(rc)) return Result::nest(7, rc);
  std::vector<std::uint8_t> chunk;
  if (Result::failed(rc = ChunkFraming::Begin(chunk, ChunkCode::kAMix))) return rc;
  if (Result::failed(rc = WriteAmixResolution(chunk, section))) return Result::nest(8, rc);
  if (!mix->GetTrack()) return Result::fail(4);
  std::vector<std::uint8_t> events;
  if (Result::failed(rc = WriteTrackEvents(events, mix->GetTrack()))) return Result::nest(5, rc);
  ChunkFraming::Append(chunk, events);
  ChunkFraming::Finish(out, chunk);
  return Result::kOk;
}

ResultCode CAudioStyle::WriteAtabNameRecord(std::vector<std::uint8_t>& out, const CAtabData* table) {
  if (!table) return Result::fail(1);
  std::uint8_t record[CAtabData::kNameRecordSize];
  std::uint64_t n = sizeof record;
  const ResultCode rc = table->GetBlock(record, n);
  if (Result::failed(rc) || n != sizeof record) return Result::nest(2, rc);
  out.insert(out.end(), record, record + sizeof record);
  return Result::kOk;
}

ResultCode CAudioStyle::WriteAmixResolution(std::vector<std::uint8_t>& out, const CAudioSection* section) {
  if (!section) return Result::fail(1);
  std::uint16_t resolution = 0;
  const ResultCode rc = section->GetResolution(resolution);
  if (Result::failed(rc)) return Result::nest(2, rc);
  AppendU16BE(out, resolution);
  return Result::kOk;
}
