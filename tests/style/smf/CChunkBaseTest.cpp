#include <gtest/gtest.h>

#include <cstring>

#include "CChunkBase.h"
#include "SmfBytes.h"

using namespace SmfBytes;

TEST(ChunkIdTable, EveryIdReadsBackToItsCodeAndEveryCodeWritesItsId) {
  for (const ChunkIdRecord& r : ChunkIdTable) {
    const Bytes id(r.id, r.id + 4);
    std::uint64_t pos = 0;
    std::uint8_t code = 0;
    ASSERT_EQ(CChunkBase::ReadChunkId(id.data(), id.size(), pos, code), 0u);
    EXPECT_EQ(code, r.code);
    EXPECT_EQ(pos, 4u);
    Bytes out;
    ASSERT_EQ(CChunkBase::AppendChunkId(out, r.code), 0u);
    EXPECT_EQ(out, id);
  }
}

TEST(ChunkIdLookup, KnownUnknownAndShortIds) {
  const Bytes data = Text("xxMTrkCTAB");
  std::uint64_t pos = 2;
  std::uint8_t code = 0;
  EXPECT_EQ(CChunkBase::ReadChunkId(data.data(), data.size(), pos, code), 0u);
  EXPECT_EQ(code, ChunkCode::kMTrk);
  EXPECT_EQ(pos, 6u);
  // Ids are case-sensitive: "CTAB" is not "Ctab".
  EXPECT_EQ(CChunkBase::ReadChunkId(data.data(), data.size(), pos, code), 0x80000003u);
  EXPECT_EQ(pos, 6u);
  EXPECT_EQ(code, 255);
  pos = 7;
  EXPECT_EQ(CChunkBase::ReadChunkId(data.data(), data.size(), pos, code), 0x80000002u);
  EXPECT_EQ(CChunkBase::ReadChunkId(nullptr, 4, pos, code), 0x80000001u);
}

TEST(ChunkIdLookup, IsChunkIdComparesTheCode) {
  const Bytes ctab = Text("Ctab....");
  EXPECT_TRUE(CChunkBase::IsChunkId(ctab.data(), ctab.size(), ChunkCode::kCtab));
  EXPECT_FALSE(CChunkBase::IsChunkId(ctab.data(), ctab.size(), ChunkCode::kCtb2));
  EXPECT_FALSE(CChunkBase::IsChunkId(ctab.data(), 3, ChunkCode::kCtab));
  EXPECT_FALSE(CChunkBase::IsChunkId(nullptr, 4, ChunkCode::kCtab));
}

TEST(ChunkIdLookup, CopyAndAppendRefuseCodesWithoutId) {
  Bytes out;
  EXPECT_EQ(CChunkBase::AppendChunkId(out, 3), 0x80000002u);
  EXPECT_EQ(CChunkBase::AppendChunkId(out, 0), 0x80000002u);
  EXPECT_EQ(CChunkBase::AppendChunkId(out, 255), 0x80000001u);
  EXPECT_TRUE(out.empty());

  char id[8] = {};
  std::uint64_t len = sizeof id;
  EXPECT_EQ(CChunkBase::CopyChunkId(ChunkCode::kCtb2, id, &len), 0u);
  EXPECT_EQ(len, 4u);
  EXPECT_EQ(std::string(id, 4), "Ctb2");
  len = 3;
  EXPECT_EQ(CChunkBase::CopyChunkId(ChunkCode::kCtab, id, &len), 0x80000003u);
  len = 8;
  EXPECT_EQ(CChunkBase::CopyChunkId(255, id, &len), 0x80000001u);
  EXPECT_EQ(CChunkBase::CopyChunkId(ChunkCode::kCtab, nullptr, &len), 0x80000002u);
  EXPECT_EQ(CChunkBase::CopyChunkId(3, id, &len), 0x80000004u);
}

TEST(ChunkIntegers, BigAndLittleEndianReads) {
  const Bytes b = Of({0x00, 0x00, 0x01, 0xE0});
  std::uint64_t pos = 0, v = 0;
  EXPECT_EQ(CChunkBase::ReadU32BE(b.data(), b.size(), pos, v), 0u);
  EXPECT_EQ(v, 480u);
  pos = 0;
  EXPECT_EQ(CChunkBase::ReadU32LE(b.data(), b.size(), pos, v), 0u);
  EXPECT_EQ(v, 0xE0010000u);
  pos = 1;
  EXPECT_EQ(CChunkBase::ReadDwordLE(b.data(), b.size(), pos, v), 0x80000002u);
  EXPECT_EQ(v, 0u);
  EXPECT_EQ(pos, 1u);

  const Bytes w = Of({0x44, 0xAC});
  std::uint16_t s = 0;
  pos = 0;
  EXPECT_EQ(CChunkBase::ReadU16LE(w.data(), w.size(), pos, s), 0u);
  EXPECT_EQ(s, 44100);
  EXPECT_EQ(pos, 2u);
  EXPECT_EQ(CChunkBase::ReadU16LE(w.data(), w.size(), pos, s), 0x80000002u);
}

TEST(ChunkIntegers, PatchStaysInsideTheBuffer) {
  Bytes v = Of({1, 2, 3, 4, 5, 6, 7, 8});
  EXPECT_EQ(CChunkBase::PatchU32BE(v.data(), v.size(), 4, 0x11223344), 0u);
  EXPECT_EQ(v, Of({1, 2, 3, 4, 0x11, 0x22, 0x33, 0x44}));
  EXPECT_EQ(CChunkBase::PatchU32BE(v.data(), v.size(), 5, 0), 0x80000002u);
  EXPECT_EQ(v, Of({1, 2, 3, 4, 0x11, 0x22, 0x33, 0x44}));
  EXPECT_EQ(CChunkBase::PatchU32BE(v.data(), v.size(), ~std::uint64_t{0} - 1, 0), 0x80000002u);
}

TEST(ChunkFraming, EmptyBodyIsTheHeaderWithSizeZero) {
  Bytes chunk;
  CChunkBase::AppendChunkId(chunk, ChunkCode::kCASM);
  CChunkBase::AppendU32BE(chunk, 0);
  EXPECT_EQ(CChunkBase::PatchChunkSize(chunk), 0u);
  EXPECT_EQ(chunk, Chunk("CASM", {}));
  chunk.push_back(9);
  CChunkBase::PatchChunkSize(chunk);
  EXPECT_EQ(chunk, Chunk("CASM", Of({9})));
}

struct VarLenCase {
  std::uint64_t value;
  Bytes bytes;
};

class VarLenTable : public ::testing::TestWithParam<VarLenCase> {};

TEST_P(VarLenTable, WritesAndReadsBack) {
  const VarLenCase& c = GetParam();
  Bytes out;
  ASSERT_EQ(CChunkBase::AppendVarLen(out, c.value), 0u);
  EXPECT_EQ(out, c.bytes);
  std::uint64_t pos = 0, v = 99;
  ASSERT_EQ(CChunkBase::ReadVarLen(out.data(), out.size(), pos, v), 0u);
  EXPECT_EQ(v, c.value);
  EXPECT_EQ(pos, out.size());
}

INSTANTIATE_TEST_SUITE_P(
    MidiQuantities, VarLenTable,
    ::testing::Values(VarLenCase{0, Of({0x00})}, VarLenCase{0x7F, Of({0x7F})},
                      VarLenCase{0x80, Of({0x81, 0x00})}, VarLenCase{0x3FFF, Of({0xFF, 0x7F})},
                      VarLenCase{0x4000, Of({0x81, 0x80, 0x00})},
                      VarLenCase{0x1FFFFF, Of({0xFF, 0xFF, 0x7F})},
                      VarLenCase{0x200000, Of({0x81, 0x80, 0x80, 0x00})},
                      VarLenCase{0x0FFFFFFF, Of({0xFF, 0xFF, 0xFF, 0x7F})}));

TEST(VarLen, ValuesBeyondFourBytesAreRefused) {
  Bytes out = Of({0xAA});
  EXPECT_EQ(CChunkBase::AppendVarLen(out, 0x10000000), 0x80000001u);
  EXPECT_EQ(CChunkBase::AppendVarLen(out, ~std::uint64_t{0}), 0x80000001u);
  EXPECT_EQ(out, Of({0xAA}));
}

TEST(VarLen, ReadingStopsAfterFourBytes) {
  const Bytes five = Of({0x81, 0x80, 0x80, 0x80, 0x00});
  std::uint64_t pos = 0, v = 0;
  EXPECT_EQ(CChunkBase::ReadVarLen(five.data(), five.size(), pos, v), 0x80000003u);
  EXPECT_EQ(pos, 4u);
  // A run of continuation bytes never reads on past the fourth.
  const Bytes endless(64, 0xFF);
  pos = 0;
  EXPECT_EQ(CChunkBase::ReadVarLen(endless.data(), endless.size(), pos, v), 0x80000003u);
  EXPECT_EQ(pos, 4u);
}

TEST(VarLen, TruncatedQuantitiesFailAtTheEnd) {
  const Bytes b = Of({0x81, 0x80});
  std::uint64_t pos = 0, v = 0;
  EXPECT_EQ(CChunkBase::ReadVarLen(b.data(), b.size(), pos, v), 0x80000002u);
  EXPECT_EQ(pos, 2u);
  EXPECT_EQ(v, 0x80u);  // the bytes read so far
  pos = 2;
  EXPECT_EQ(CChunkBase::ReadVarLen(b.data(), b.size(), pos, v), 0x80000002u);
  EXPECT_EQ(v, 0u);
  // The size bounds the read even when the buffer goes on.
  const Bytes c = Of({0x81, 0x80, 0x00});
  pos = 0;
  EXPECT_EQ(CChunkBase::ReadVarLen(c.data(), 2, pos, v), 0x80000002u);
  EXPECT_EQ(CChunkBase::ReadVarLen(nullptr, 2, pos, v), 0x80000001u);
}
