// The CASM chunk tree of CSmfStyle: CASM > CSEG > Sdec, Ctab/Ctb2, Cntt.

#include <cstring>

#include "CSmfStyle.h"
#include "NoThrowAlloc.h"

namespace {

constexpr std::uint64_t kCtabFixedSize = 27;
constexpr std::uint64_t kCtb2FixedSize = 47;

// Starts a chunk in `out`: id and a placeholder size.
ResultCode BeginChunk(std::vector<std::uint8_t>& out, std::uint8_t code) {
  const ResultCode rc = CChunkBase::AppendChunkId(out, code);
  if (Result::failed(rc)) return Result::nest(2, rc);
  CChunkBase::AppendU32BE(out, 0);
  return Result::kOk;
}

}  // namespace

// ------------------------------------------------------------------ readers

ResultCode CSmfStyle::ReadCasmChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                    SectionVector& sections) {
  if (!buf) return Result::fail(1);
  std::uint64_t length = 0;
  ResultCode rc = ReadU32BE(buf, size, pos, length);
  if (Result::failed(rc)) return Result::nest(2, rc);
  if (!Fits(size, pos, length)) return Result::fail(9);
  const std::uint64_t end = pos + length;
  while (pos < end) {
    std::uint8_t code = ChunkCode::kNone;
    rc = ReadChunkId(buf, end, pos, code);
    if (Result::failed(rc)) return Result::nest(6, rc);
    if (code != ChunkCode::kCSEG) {
      pos = end;
      return Result::fail(8);
    }
    rc = ReadCsegChunk(buf, end, pos, sections);
    if (Result::failed(rc)) return Result::nest(7, rc);
  }
  return Result::kOk;
}

ResultCode CSmfStyle::ReadCsegChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                    SectionVector& sections) {
  if (!buf) return Result::fail(1);
  std::uint64_t length = 0;
  ResultCode rc = ReadU32BE(buf, size, pos, length);
  if (Result::failed(rc)) return Result::nest(2, rc);
  if (length == 0) return Result::fail(3);
  if (!Fits(size, pos, length)) return Result::fail(12);
  const std::uint64_t end = pos + length;
  CSection* section = NoThrowAlloc::TryNew<CSection>();
  if (!section) return Result::fail(4);
  section->Clear();
  sections.push_back(section);
  while (pos < end) {
    std::uint8_t code = ChunkCode::kNone;
    rc = ReadChunkId(buf, end, pos, code);
    if (Result::failed(rc)) return Result::nest(6, rc);
    switch (code) {
      case ChunkCode::kSdec:
        rc = ReadSdecChunk(buf, end, pos, section);
        if (Result::failed(rc)) return Result::nest(7, rc);
        break;
      case ChunkCode::kCtab:
        rc = ReadCtabChunk(buf, end, pos, section);
        if (Result::failed(rc)) return Result::nest(8, rc);
        break;
      case ChunkCode::kCtb2:
        rc = ReadCtb2Chunk(buf, end, pos, section);
        if (Result::failed(rc)) return Result::nest(9, rc);
        break;
      case ChunkCode::kCntt:
        rc = ReadCnttChunk(buf, end, pos, section);
        if (Result::failed(rc)) return Result::nest(10, rc);
        break;
      default:
        pos = end;
        return Result::fail(11);
    }
  }
  return Result::kOk;
}

ResultCode CSmfStyle::ReadSdecChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                    CSection* section) {
  if (!buf || !section) return Result::fail(1);
  std::uint64_t length = 0;
  ResultCode rc = ReadBodyLength(buf, size, pos, length);
  if (Result::failed(rc)) return rc;
  rc = section->SetNamesFromText(reinterpret_cast<const char*>(buf + pos), length);
  if (Result::failed(rc)) return Result::nest(5, rc);
  pos += length;
  return Result::kOk;
}

ResultCode CSmfStyle::ReadCtabChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                    CSection* section) {
  if (!buf || !section) return Result::fail(1);
  std::uint64_t length = 0;
  ResultCode rc = ReadBodyLength(buf, size, pos, length);
  if (Result::failed(rc)) return rc;
  if (length < kCtabFixedSize) return Result::fail(10);
  const std::uint64_t end = pos + length;
  CCtabData* table = NoThrowAlloc::TryNew<CCtabData>();
  if (!table) return Result::fail(5);
  unsigned step = 0;
  if (Result::failed(rc = table->SetId(reinterpret_cast<const std::uint8_t*>("Ctab"), 4))) step = 6;
  else if (Result::failed(rc = ReadTableHead(buf, end, pos, table))) step = 7;
  else if (Result::failed(rc = ReadCtabRange(buf, end, pos, table))) step = 8;
  else if (Result::failed(rc = ReadTableTail(buf, end, pos, table, end))) step = 9;
  if (step) {
    delete table;
    return Result::nest(step, rc);
  }
  pos = end;
  section->AddCtab(table);
  return Result::kOk;
}

ResultCode CSmfStyle::ReadCtb2Chunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                    CSection* section) {
  if (!buf || !section) return Result::fail(1);
  std::uint64_t length = 0;
  ResultCode rc = ReadBodyLength(buf, size, pos, length);
  if (Result::failed(rc)) return rc;
  if (length < kCtb2FixedSize) return Result::fail(15);
  const std::uint64_t end = pos + length;
  CCtabData* table = NoThrowAlloc::TryNew<CCtabData>();
  if (!table) return Result::fail(5);
  char id[4];
  std::uint64_t idLength = sizeof id;
  unsigned step = 0;
  if (Result::failed(rc = CopyChunkId(ChunkCode::kCtb2, id, &idLength))) step = 6;
  else if (Result::failed(rc = table->SetId(reinterpret_cast<const std::uint8_t*>(id), idLength))) step = 7;
  else if (Result::failed(rc = ReadTableHead(buf, end, pos, table))) step = 8;
  else rc = ReadCtb2Body(buf, end, pos, table, step);
  if (step) {
    delete table;
    return Result::nest(step, rc);
  }
  pos = end;
  section->AddCtab(table);
  return Result::kOk;
}

ResultCode CSmfStyle::ReadCnttChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                    CSection* section) {
  if (!buf || !section) return Result::fail(1);
  std::uint64_t length = 0;
  ResultCode rc = ReadBodyLength(buf, size, pos, length);
  if (Result::failed(rc)) return rc;
  const std::uint64_t end = pos + length;
  CCnttData* entry = NoThrowAlloc::TryNew<CCnttData>();
  if (!entry) return Result::fail(7);
  std::uint8_t channel = 0, value = 0;
  if (Result::failed(rc = ReadU8(buf, end, pos, channel))) {
    delete entry;
    return Result::nest(5, rc);
  }
  if (Result::failed(rc = ReadU8(buf, end, pos, value))) {
    delete entry;
    return Result::nest(6, rc);
  }
  entry->SetChannel(channel);
  entry->SetValue(value);
  pos = end;
  section->AddCntt(entry);
  return Result::kOk;
}

ResultCode CSmfStyle::ReadTableHead(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                    CCtabData* table) {
  ResultCode rc = 0;
  if (Result::failed(rc = ReadTableByte(buf, size, pos, table, &CCtabData::SetSourceChannel))) return Result::nest(2, rc);
  if (Result::failed(rc = ReadTableGroup(buf, size, pos, table, 8, &CCtabData::SetName))) return Result::nest(3, rc);
  if (Result::failed(rc = ReadTableByte(buf, size, pos, table, &CCtabData::SetDestinationChannel))) return Result::nest(4, rc);
  if (Result::failed(rc = ReadTableByte(buf, size, pos, table, &CCtabData::SetAttr))) return Result::nest(5, rc);
  if (Result::failed(rc = ReadTableGroup(buf, size, pos, table, 2, &CCtabData::SetMaskA))) return Result::nest(6, rc);
  if (Result::failed(rc = ReadTableGroup(buf, size, pos, table, 5, &CCtabData::SetMaskB))) return Result::nest(7, rc);
  if (Result::failed(rc = ReadTableByte(buf, size, pos, table, &CCtabData::SetSelA))) return Result::nest(8, rc);
  if (Result::failed(rc = ReadTableByte(buf, size, pos, table, &CCtabData::SetSelB))) return Result::nest(9, rc);
  return Result::kOk;
}

ResultCode CSmfStyle::ReadCtabRange(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                    CCtabData* table) {
  if (!buf || !table) return Result::fail(1);
  for (std::uint8_t k = 0; k < CCtabData::kRangeBytes; ++k) {
    if (!Fits(size, pos, 1)) return Result::fail(2u + k);
    const std::uint8_t value = buf[pos++];
    for (std::uint8_t r = 0; r < CCtabData::kRangeCount; ++r) {
      const ResultCode rc = table->SetRangeByte(r, k, value);
      if (Result::failed(rc)) return Result::nest(2u + k, rc);
    }
  }
  return Result::kOk;
}

ResultCode CSmfStyle::ReadCtb2Range(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                    CCtabData* table, std::uint8_t range) {
  if (!buf || !table) return Result::fail(1);
  if (range >= CCtabData::kRangeCount) return Result::fail(2);
  for (std::uint8_t k = 0; k < CCtabData::kRangeBytes; ++k) {
    const ResultCode rc = ReadRangeByte(buf, size, pos, table, range, k);
    if (Result::failed(rc)) return Result::nest(3, rc);
  }
  return Result::kOk;
}

ResultCode CSmfStyle::ReadCtb2Ext(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                  CCtabData* table) {
  ResultCode rc = 0;
  if (Result::failed(rc = ReadTableByte(buf, size, pos, table, &CCtabData::SetExtB))) return Result::nest(2, rc);
  if (Result::failed(rc = ReadTableGroup(buf, size, pos, table, 2, &CCtabData::SetExtWord))) return Result::nest(3, rc);
  if (Result::failed(rc = ReadTableByte(buf, size, pos, table, &CCtabData::SetExtC))) return Result::nest(4, rc);
  if (Result::failed(rc = ReadTableByte(buf, size, pos, table, &CCtabData::SetExtD))) return Result::nest(5, rc);
  return Result::kOk;
}

ResultCode CSmfStyle::ReadTableTail(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                    CCtabData* table, std::uint64_t chunkEnd) {
  const std::uint64_t end = std::min(size, chunkEnd);
  ResultCode rc = ReadTableByte(buf, end, pos, table, &CCtabData::SetTailByte);
  if (Result::failed(rc)) return Result::nest(2, rc);
  if (pos < end) {
    rc = ReadTableGroup(buf, end, pos, table, 2, &CCtabData::SetTailWord);
    if (Result::failed(rc)) return Result::nest(3, rc);
  }
  // A pair cut by the chunk end keeps the byte it has: its first byte is
  // read (and counted), the missing second one stays 0.
  for (std::uint8_t k = 0; k < CCtabData::kPairCount && pos < end; ++k) {
    if (Result::failed(rc = ReadPairByte(buf, end, pos, table, k, false))) return Result::nest(4, rc);
    if (pos >= end) break;
    if (Result::failed(rc = ReadPairByte(buf, end, pos, table, k, true))) return Result::nest(5, rc);
  }
  return Result::kOk;
}

ResultCode CSmfStyle::ReadTableByte(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                    CCtabData* table, ByteSetter setter) {
  if (!buf || !table || !setter) return Result::fail(1);
  if (!Fits(size, pos, 1)) return Result::fail(2);
  const ResultCode rc = (table->*setter)(buf[pos]);
  if (Result::failed(rc)) return Result::nest(3, rc);
  ++pos;
  return Result::kOk;
}

ResultCode CSmfStyle::ReadTableGroup(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                     CCtabData* table, std::uint64_t width, GroupSetter setter) {
  if (!buf || !table || !setter) return Result::fail(1);
  if (!Fits(size, pos, width)) return Result::fail(2);
  const ResultCode rc = (table->*setter)(buf + pos, width);
  if (Result::failed(rc)) return Result::nest(3, rc);
  pos += width;
  return Result::kOk;
}

ResultCode CSmfStyle::ReadRangeByte(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                    CCtabData* table, std::uint8_t range, std::uint8_t index) {
  if (!buf || !table) return Result::fail(1);
  if (range >= CCtabData::kRangeCount || index >= CCtabData::kRangeBytes) return Result::fail(2);
  if (!Fits(size, pos, 1)) return Result::fail(3);
  const ResultCode rc = table->SetRangeByte(range, index, buf[pos]);
  if (Result::failed(rc)) return Result::nest(4, rc);
  ++pos;
  return Result::kOk;
}

ResultCode CSmfStyle::ReadPairByte(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos,
                                   CCtabData* table, std::uint8_t pair, bool second) {
  if (!buf || !table) return Result::fail(1);
  if (pair >= CCtabData::kPairCount) return Result::fail(2);
  if (!Fits(size, pos, 1)) return Result::fail(3);
  const ResultCode rc = second ? table->SetPairSecond(pair, buf[pos]) : table->SetPairFirst(pair, buf[pos]);
  if (Result::failed(rc)) return Result::nest(4, rc);
  ++pos;
  return Result::kOk;
}

// ------------------------------------------------------------------ writers

ResultCode CSmfStyle::WriteCasmChunk(std::vector<std::uint8_t>& out, const SectionVector& sections) {
  if (sections.empty()) return Result::kOk;
  std::vector<std::uint8_t> chunk;
  ResultCode rc = BeginChunk(chunk, ChunkCode::kCASM);
  if (Result::failed(rc)) return rc;
  for (const CSection* s : sections) {
    if (!s) continue;
    std::vector<std::uint8_t> text;
    rc = s->GetNamesText(text);
    if (Result::failed(rc)) return Result::nest(4, rc);
    if (text.empty()) continue;
    std::vector<std::uint8_t> cseg;
    rc = WriteCsegChunk(cseg, s);
    if (Result::failed(rc)) return Result::nest(5, rc);
    chunk.insert(chunk.end(), cseg.begin(), cseg.end());
  }
  PatchChunkSize(chunk);
  out.insert(out.end(), chunk.begin(), chunk.end());
  return Result::kOk;
}

ResultCode CSmfStyle::WriteCsegChunk(std::vector<std::uint8_t>& out, const CSection* section) {
  if (!section) return Result::fail(1);
  std::vector<std::uint8_t> chunk;
  ResultCode rc = BeginChunk(chunk, ChunkCode::kCSEG);
  if (Result::failed(rc)) return rc;
  std::vector<std::uint8_t> a, b, c;
  rc = WriteSdecChunk(a, section);
  if (Result::failed(rc)) return Result::nest(3, rc);
  for (const CCtabData* t : section->GetCtabList()) {
    if (!t) continue;
    std::uint8_t id[4];
    std::uint64_t n = sizeof id;
    rc = t->GetId(id, n);
    if (Result::failed(rc)) return Result::nest(5, rc);
    std::vector<std::uint8_t> table;
    if (IsChunkId(id, n, ChunkCode::kCtab)) {
      rc = WriteCtabChunk(table, t);
      if (Result::failed(rc)) return Result::nest(6, rc);
    } else if (IsChunkId(id, n, ChunkCode::kCtb2)) {
      rc = WriteCtb2Chunk(table, t);
      if (Result::failed(rc)) return Result::nest(7, rc);
    } else {
      return Result::fail(8);
    }
    b.insert(b.end(), table.begin(), table.end());
  }
  for (const CCnttData* e : section->GetCnttList()) {
    if (!e) continue;
    std::vector<std::uint8_t> entry;
    rc = WriteCnttChunk(entry, e);
    if (Result::failed(rc)) return Result::nest(10, rc);
    c.insert(c.end(), entry.begin(), entry.end());
  }
  chunk.insert(chunk.end(), a.begin(), a.end());
  chunk.insert(chunk.end(), b.begin(), b.end());
  chunk.insert(chunk.end(), c.begin(), c.end());
  PatchChunkSize(chunk);
  out.insert(out.end(), chunk.begin(), chunk.end());
  return Result::kOk;
}

ResultCode CSmfStyle::WriteSdecChunk(std::vector<std::uint8_t>& out, const CSection* section) {
  if (!section) return Result::fail(1);
  std::vector<std::uint8_t> chunk;
  ResultCode rc = BeginChunk(chunk, ChunkCode::kSdec);
  if (Result::failed(rc)) return rc;
  std::vector<std::uint8_t> text;
  rc = section->GetNamesText(text);
  if (Result::failed(rc)) return Result::nest(4, rc);
  chunk.insert(chunk.end(), text.begin(), text.end());
  PatchChunkSize(chunk);
  out.insert(out.end(), chunk.begin(), chunk.end());
  return Result::kOk;
}

ResultCode CSmfStyle::WriteCtabChunk(std::vector<std::uint8_t>& out, const CCtabData* table) {
  if (!table) return Result::fail(1);
  std::vector<std::uint8_t> chunk;
  ResultCode rc = BeginChunk(chunk, ChunkCode::kCtab);
  if (Result::failed(rc)) return rc;
  if (Result::failed(rc = WriteTableHead(chunk, table))) return Result::nest(4, rc);
  if (Result::failed(rc = WriteRange(chunk, table, 1))) return Result::nest(5, rc);
  if (Result::failed(rc = WriteTableTail(chunk, table))) return Result::nest(6, rc);
  PatchChunkSize(chunk);
  out.insert(out.end(), chunk.begin(), chunk.end());
  return Result::kOk;
}

ResultCode CSmfStyle::WriteCtb2Chunk(std::vector<std::uint8_t>& out, const CCtabData* table) {
  if (!table) return Result::fail(1);
  std::vector<std::uint8_t> chunk;
  ResultCode rc = BeginChunk(chunk, ChunkCode::kCtb2);
  if (Result::failed(rc)) return rc;
  if (Result::failed(rc = WriteTableHead(chunk, table))) return Result::nest(4, rc);
  unsigned step = 0;
  if (Result::failed(rc = WriteCtb2Body(chunk, table, step))) return Result::nest(step, rc);
  PatchChunkSize(chunk);
  out.insert(out.end(), chunk.begin(), chunk.end());
  return Result::kOk;
}

ResultCode CSmfStyle::WriteCnttChunk(std::vector<std::uint8_t>& out, const CCnttData* entry) {
  if (!entry) return Result::fail(1);
  std::vector<std::uint8_t> chunk;
  ResultCode rc = BeginChunk(chunk, ChunkCode::kCntt);
  if (Result::failed(rc)) return rc;
  std::uint8_t channel = 0, value = 0;
  if (Result::failed(rc = entry->GetChannel(channel))) return Result::nest(4, rc);
  if (Result::failed(rc = entry->GetValue(value))) return Result::nest(5, rc);
  chunk.push_back(channel);
  chunk.push_back(value);
  PatchChunkSize(chunk);
  out.insert(out.end(), chunk.begin(), chunk.end());
  return Result::kOk;
}

ResultCode CSmfStyle::WriteTableHead(std::vector<std::uint8_t>& out, const CCtabData* table) {
  ResultCode rc = 0;
  if (Result::failed(rc = WriteTableByte(out, table, &CCtabData::GetSourceChannel))) return Result::nest(2, rc);
  if (Result::failed(rc = WriteTableGroup(out, table, 8, &CCtabData::GetName))) return Result::nest(3, rc);
  if (Result::failed(rc = WriteTableByte(out, table, &CCtabData::GetDestinationChannel))) return Result::nest(4, rc);
  if (Result::failed(rc = WriteTableByte(out, table, &CCtabData::GetAttr))) return Result::nest(5, rc);
  if (Result::failed(rc = WriteTableGroup(out, table, 2, &CCtabData::GetMaskA))) return Result::nest(6, rc);
  if (Result::failed(rc = WriteTableGroup(out, table, 5, &CCtabData::GetMaskB))) return Result::nest(7, rc);
  if (Result::failed(rc = WriteTableByte(out, table, &CCtabData::GetSelA))) return Result::nest(8, rc);
  if (Result::failed(rc = WriteTableByte(out, table, &CCtabData::GetSelB))) return Result::nest(9, rc);
  return Result::kOk;
}

ResultCode CSmfStyle::WriteRange(std::vector<std::uint8_t>& out, const CCtabData* table, std::uint8_t range) {
  if (!table) return Result::fail(1);
  if (range >= CCtabData::kRangeCount) return Result::fail(2);
  for (std::uint8_t k = 0; k < CCtabData::kRangeBytes; ++k) {
    const ResultCode rc = WriteRangeByte(out, table, range, k);
    if (Result::failed(rc)) return Result::nest(3, rc);
  }
  return Result::kOk;
}

ResultCode CSmfStyle::WriteCtb2Ext(std::vector<std::uint8_t>& out, const CCtabData* table) {
  ResultCode rc = 0;
  if (Result::failed(rc = WriteTableByte(out, table, &CCtabData::GetExtB))) return Result::nest(2, rc);
  if (Result::failed(rc = WriteTableGroup(out, table, 2, &CCtabData::GetExtWord))) return Result::nest(3, rc);
  if (Result::failed(rc = WriteTableByte(out, table, &CCtabData::GetExtC))) return Result::nest(4, rc);
  if (Result::failed(rc = WriteTableByte(out, table, &CCtabData::GetExtD))) return Result::nest(5, rc);
  return Result::kOk;
}

ResultCode CSmfStyle::WriteTableTail(std::vector<std::uint8_t>& out, const CCtabData* table) {
  if (!table) return Result::fail(1);
  ResultCode rc = WriteTableByte(out, table, &CCtabData::GetTailByte);
  if (Result::failed(rc)) return Result::nest(2, rc);
  std::uint8_t tail = 0, pairs = 0;
  if (Result::failed(rc = table->GetTailByte(tail))) return Result::nest(3, rc);
  table->GetPairCount(pairs);
  if (tail == 0 || pairs == 0) return Result::kOk;
  if (Result::failed(rc = WriteTableGroup(out, table, 2, &CCtabData::GetTailWord))) return Result::nest(4, rc);
  for (std::uint8_t k = 0; k < pairs && k < CCtabData::kPairCount; ++k) {
    if (Result::failed(rc = WritePairByte(out, table, k, false))) return Result::nest(5, rc);
    if (Result::failed(rc = WritePairByte(out, table, k, true))) return Result::nest(6, rc);
  }
  return Result::kOk;
}

ResultCode CSmfStyle::WriteTableByte(std::vector<std::uint8_t>& out, const CCtabData* table, ByteGetter getter) {
  if (!table || !getter) return Result::fail(1);
  std::uint8_t v = 0;
  const ResultCode rc = (table->*getter)(v);
  if (Result::failed(rc)) return Result::nest(2, rc);
  out.push_back(v);
  return Result::kOk;
}

ResultCode CSmfStyle::WriteTableGroup(std::vector<std::uint8_t>& out, const CCtabData* table, std::uint64_t width,
                                      GroupGetter getter) {
  if (!table || !getter || width == 0 || width > 8) return Result::fail(1);
  std::uint8_t bytes[8];
  std::uint64_t n = width;
  const ResultCode rc = (table->*getter)(bytes, n);
  if (Result::failed(rc) || n != width) return Result::nest(2, rc);
  out.insert(out.end(), bytes, bytes + width);
  return Result::kOk;
}

ResultCode CSmfStyle::WriteRangeByte(std::vector<std::uint8_t>& out, const CCtabData* table, std::uint8_t range,
                                     std::uint8_t index) {
  if (!table) return Result::fail(1);
  std::uint8_t v = 0;
  const ResultCode rc = table->GetRangeByte(range, index, v);
  if (Result::failed(rc)) return Result::nest(2, rc);
  out.push_back(v);
  return Result::kOk;
}

ResultCode CSmfStyle::WritePairByte(std::vector<std::uint8_t>& out, const CCtabData* table, std::uint8_t pair,
                                    bool second) {
  if (!table) return Result::fail(1);
  std::uint8_t v = 0;
  const ResultCode rc = second ? table->GetPairSecond(pair, v) : table->GetPairFirst(pair, v);
  if (Result::failed(rc)) return Result::nest(2, rc);
  out.push_back(v);
  return Result::kOk;
}

ResultCode CSmfStyle::ReadCtb2Body(const std::uint8_t* buf, std::uint64_t end, std::uint64_t& pos, CCtabData* table,
                                   unsigned& step) {
  ResultCode rc = Result::kOk;
  step = 0;
  if (Result::failed(rc = ReadTableByte(buf, end, pos, table, &CCtabData::SetSplitLow))) step = 9;
  else if (Result::failed(rc = ReadTableByte(buf, end, pos, table, &CCtabData::SetSplitHigh))) step = 10;
  for (std::uint8_t r = 0; !step && r < CCtabData::kRangeCount; ++r) {
    if (Result::failed(rc = ReadCtb2Range(buf, end, pos, table, r))) step = 11;
  }
  if (!step) {
    if (Result::failed(rc = ReadTableByte(buf, end, pos, table, &CCtabData::SetExtA))) step = 12;
    else if (Result::failed(rc = ReadCtb2Ext(buf, end, pos, table))) step = 13;
    else if (Result::failed(rc = ReadTableTail(buf, end, pos, table, end))) step = 14;
  }
  return step ? rc : Result::kOk;
}

ResultCode CSmfStyle::WriteCtb2Body(std::vector<std::uint8_t>& out, const CCtabData* table, unsigned& step) {
  ResultCode rc = Result::kOk;
  step = 0;
  if (Result::failed(rc = WriteTableByte(out, table, &CCtabData::GetSplitLow))) step = 5;
  else if (Result::failed(rc = WriteTableByte(out, table, &CCtabData::GetSplitHigh))) step = 6;
  for (std::uint8_t r = 0; !step && r < CCtabData::kRangeCount; ++r) {
    if (Result::failed(rc = WriteRange(out, table, r))) step = 7;
  }
  if (!step) {
    if (Result::failed(rc = WriteTableByte(out, table, &CCtabData::GetExtA))) step = 8;
    else if (Result::failed(rc = WriteCtb2Ext(out, table))) step = 9;
    else if (Result::failed(rc = WriteTableTail(out, table))) step = 10;
  }
  return step ? rc : Result::kOk;
}
