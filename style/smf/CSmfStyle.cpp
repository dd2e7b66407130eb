#include "CSmfStyle.h"

#include <new>

CSmfStyle::~CSmfStyle() { ClearSections(sections_); }

ResultCode CSmfStyle::Clear() { return ClearSections(sections_); }

ResultCode CSmfStyle::Load(const std::vector<std::uint8_t>& bytes) {
  if (bytes.empty()) return Result::fail(1);
  const ResultCode rc = Parse(bytes.data(), bytes.size());
  return Result::failed(rc) ? Result::nest(2, rc) : Result::kOk;
}

ResultCode CSmfStyle::Parse(const std::uint8_t* bytes, std::uint64_t size) {
  if (!bytes || size == 0) return Result::fail(1);
  ResultCode rc = ClearTracks(tracks_);
  if (Result::failed(rc)) return Result::nest(2, rc);
  ClearSections(sections_);
  std::uint64_t position = 0;
  while (position < size) {
    std::uint8_t code = ChunkCode::kNone;
    rc = ReadChunkId(bytes, size, position, code);
    if (Result::failed(rc)) return Result::nest(4, rc);
    switch (code) {
      case ChunkCode::kMThd:
        rc = ReadMThd(bytes, size, position, header_);
        if (Result::failed(rc)) return Result::nest(5, rc);
        break;
      case ChunkCode::kMTrk:
        rc = ReadMTrk(bytes, size, position, tracks_);
        if (Result::failed(rc)) return Result::nest(6, rc);
        break;
      case ChunkCode::kCASM:
        rc = ReadCasmChunk(bytes, size, position, sections_);
        if (Result::failed(rc)) return Result::nest(7, rc);
        break;
      default:
        rc = SkipChunk(bytes, size, position);
        if (Result::failed(rc)) return Result::nest(9, rc);
        break;
    }
  }
  return Result::kOk;
}

ResultCode CSmfStyle::Serialize(std::vector<std::uint8_t>& out) {
  out.clear();
  std::vector<std::uint8_t> mthd, mtrk, casm;
  ResultCode rc = WriteMThd(mthd, HeaderToWrite());
  if (Result::failed(rc)) return Result::nest(4, rc);
  rc = WriteMTrk(mtrk, tracks_);
  if (Result::failed(rc)) return Result::nest(5, rc);
  rc = WriteCasmChunk(casm, sections_);
  if (Result::failed(rc)) return Result::nest(6, rc);
  out.reserve(mthd.size() + mtrk.size() + casm.size());
  out.insert(out.end(), mthd.begin(), mthd.end());
  out.insert(out.end(), mtrk.begin(), mtrk.end());
  out.insert(out.end(), casm.begin(), casm.end());
  return Result::kOk;
}

CSection* CSmfStyle::GetSection(std::uint64_t index) const {
  return index < sections_.size() ? sections_[index] : nullptr;
}

ResultCode CSmfStyle::ClearSections(SectionVector& sections) {
  for (CSection* s : sections) delete s;
  sections.clear();
  return Result::kOk;
}

ResultCode CSmfStyle::SetSections(const SectionVector& sections) {
  if (&sections == &sections_) return Result::kOk;
  ClearSections(sections_);
  for (const CSection* s : sections) {
    if (!s) continue;
    auto* copy = new CSection;
    if (Result::failed(copy->CopyFrom(*s))) {
      delete copy;
      throw std::bad_alloc();
    }
    sections_.push_back(copy);
  }
  return Result::kOk;
}
