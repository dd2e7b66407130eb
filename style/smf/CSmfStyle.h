#pragma once
// A whole style in memory: the Standard MIDI File part plus the style
// sections of the CASM chunk. File layout: MThd, one MTrk per track, CASM
// (left out when there are no sections).
//
// CASM readers take (buffer, size, position, target) with the position just
// after the chunk's id; they read nothing at or beyond `size`, and each
// reader hands its own chunk's end to the readers of its children as their
// size, so no field is ever filled from the bytes of a following chunk.
// Writers take an empty vector and append one whole chunk.

#include <cstdint>
#include <vector>

#include "CCnttData.h"
#include "CCtabData.h"
#include "CSection.h"
#include "CSmf.h"
#include "ResultCode.h"

using SectionVector = std::vector<CSection*>;

class CSmfStyle : public CSmf {
 public:
  CSmfStyle() = default;
  // Deletes every section.
  ~CSmfStyle() override;

  // Deletes every section; 0.
  ResultCode Clear() override;

  // Parse over the vector's bytes. 1 empty vector; 2 + c parse.
  ResultCode Load(const std::vector<std::uint8_t>& bytes);
  // Reads MThd, MTrk and CASM chunks in any order after deleting all tracks
  // and sections; other known chunks are stepped over. 1 null or size 0;
  // 2 + c clearing; 4 + c id lookup; 5 + c MThd; 6 + c MTrk; 7 + c CASM;
  // 9 + c skipping.
  ResultCode Parse(const std::uint8_t* bytes, std::uint64_t size);
  // Empties `out`, then MThd (with the real number of tracks), the MTrk
  // chunks and CASM. 4 + c MThd; 5 + c MTrk (also for no tracks); 6 + c CASM.
  ResultCode Serialize(std::vector<std::uint8_t>& out);

  SectionVector& GetSections() { return sections_; }
  const SectionVector& GetSections() const { return sections_; }
  // Null when the index is not below the count.
  CSection* GetSection(std::uint64_t index) const;
  static ResultCode ClearSections(SectionVector& sections);
  // Replaces the own sections by deep copies of the non-null ones given.
  ResultCode SetSections(const SectionVector& sections);

  // --- CASM chunk tree ---
  ResultCode ReadCasmChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, SectionVector& sections);
  ResultCode ReadCsegChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, SectionVector& sections);
  ResultCode ReadSdecChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, CSection* section);
  ResultCode ReadCtabChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, CSection* section);
  ResultCode ReadCtb2Chunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, CSection* section);
  ResultCode ReadCnttChunk(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, CSection* section);
  ResultCode WriteCasmChunk(std::vector<std::uint8_t>& out, const SectionVector& sections);
  ResultCode WriteCsegChunk(std::vector<std::uint8_t>& out, const CSection* section);
  ResultCode WriteSdecChunk(std::vector<std::uint8_t>& out, const CSection* section);
  ResultCode WriteCtabChunk(std::vector<std::uint8_t>& out, const CCtabData* table);
  ResultCode WriteCtb2Chunk(std::vector<std::uint8_t>& out, const CCtabData* table);
  ResultCode WriteCnttChunk(std::vector<std::uint8_t>& out, const CCnttData* entry);

  // Field-group readers of a channel table; `size` is the table chunk's end.
  // sourceChannel .. selB; the n-th field fails with n + 1.
  ResultCode ReadTableHead(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, CCtabData* table);
  // Six bytes into b0..b5 of all three ranges; byte k fails with k + 2.
  ResultCode ReadCtabRange(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, CCtabData* table);
  // Six bytes into range r; 2 r above 2; 3 + c a byte.
  ResultCode ReadCtb2Range(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, CCtabData* table,
                           std::uint8_t range);
  // extB, extWord, extC, extD (2..5).
  ResultCode ReadCtb2Ext(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, CCtabData* table);
  // tailByte (2), then while bytes are left before `chunkEnd` tailWord (3)
  // and up to four pairs; a pair cut by the chunk end keeps its first byte.
  ResultCode ReadTableTail(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, CCtabData* table,
                           std::uint64_t chunkEnd);
  // The part of a Ctb2-form table after its head (split bytes, the three
  // ranges, the extension and the tail), shared by the Ctb2 chunk and the
  // audio table chunk. On failure `step` names the failing field as the
  // chunk readers number them (9..14) and the field's code is returned.
  ResultCode ReadCtb2Body(const std::uint8_t* buf, std::uint64_t end, std::uint64_t& pos, CCtabData* table,
                          unsigned& step);
  // Writes the same part; on failure `step` is 5..10.
  ResultCode WriteCtb2Body(std::vector<std::uint8_t>& out, const CCtabData* table, unsigned& step);
  ResultCode WriteTableHead(std::vector<std::uint8_t>& out, const CCtabData* table);
  // b0..b5 of range 0..2; 2 for a range above 2.
  ResultCode WriteRange(std::vector<std::uint8_t>& out, const CCtabData* table, std::uint8_t range);
  ResultCode WriteCtb2Ext(std::vector<std::uint8_t>& out, const CCtabData* table);
  // tailByte; tailWord and the pairs only when tailByte is not 0 and there
  // is at least one pair.
  ResultCode WriteTableTail(std::vector<std::uint8_t>& out, const CCtabData* table);

  // Single-field readers: 1 null argument, 2 the field lies past `size`,
  // 3 + c the setter.
  using ByteSetter = ResultCode (CCtabData::*)(std::uint8_t);
  using ByteGetter = ResultCode (CCtabData::*)(std::uint8_t&) const;
  using GroupSetter = ResultCode (CCtabData::*)(const std::uint8_t*, std::uint64_t);
  using GroupGetter = ResultCode (CCtabData::*)(std::uint8_t*, std::uint64_t&) const;
  static ResultCode ReadTableByte(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, CCtabData* table,
                                  ByteSetter setter);
  static ResultCode ReadTableGroup(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, CCtabData* table,
                                   std::uint64_t width, GroupSetter setter);
  // Indexed readers: 1 null, 2 index out of range, 3 past `size`, 4 + c setter.
  static ResultCode ReadRangeByte(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, CCtabData* table,
                                  std::uint8_t range, std::uint8_t index);
  static ResultCode ReadPairByte(const std::uint8_t* buf, std::uint64_t size, std::uint64_t& pos, CCtabData* table,
                                 std::uint8_t pair, bool second);
  // Single-field writers: 1 null, 2 + c index out of range or the getter.
  static ResultCode WriteTableByte(std::vector<std::uint8_t>& out, const CCtabData* table, ByteGetter getter);
  static ResultCode WriteTableGroup(std::vector<std::uint8_t>& out, const CCtabData* table, std::uint64_t width,
                                    GroupGetter getter);
  static ResultCode WriteRangeByte(std::vector<std::uint8_t>& out, const CCtabData* table, std::uint8_t range,
                                   std::uint8_t index);
  static ResultCode WritePairByte(std::vector<std::uint8_t>& out, const CCtabData* table, std::uint8_t pair,
                                  bool second);

 protected:
  SectionVector sections_;
};
