#include <gtest/gtest.h>

#include "CSectionDecorator.h"
#include "CSmfStyle.h"
#include "SmfBytes.h"

using namespace SmfBytes;

namespace {

Bytes CtabBody(int channel, int tail) {
  return Cat({Of({channel}), Text("Strings "), Of({9, 0x01, 0x0F, 0xFF, 0x03, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x02}),
              Of({0x00, 0x81, 0x03, 0x1C, 0x7F, 0x04}), Of({tail})});
}

Bytes Ctb2Body(int channel, int tail) {
  return Cat({Of({channel}), Text("Pad     "), Of({13, 0x00, 0x0F, 0xFF, 0x03, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x02}),
              Of({0x10, 0x60}), Of({0x01, 0x02, 0x07, 0x00, 0x7F, 0x01}), Of({0x00, 0x82, 0x07, 0x00, 0x7F, 0x03}),
              Of({0x01, 0x03, 0x07, 0x00, 0x7F, 0x01}), Of({0x11, 0x12, 0x13, 0x14, 0x15, 0x16}), Of({tail})});
}

// A CASM with one CSEG of the given sub-chunks (after its Sdec).
Bytes Casm(const std::string& names, const Bytes& subChunks) {
  return Chunk("CASM", Chunk("CSEG", Cat({Chunk("Sdec", Text(names)), subChunks})));
}

// Reads a CASM chunk starting at its id; the sections go to `sections`.
ResultCode ReadCasm(CSmfStyle& style, const Bytes& casm, SectionVector& sections, std::uint64_t* end = nullptr) {
  std::uint64_t pos = 4;
  const ResultCode rc = style.ReadCasmChunk(casm.data(), casm.size(), pos, sections);
  if (end) *end = pos;
  return rc;
}

struct Sections {
  SectionVector list;
  ~Sections() { CSmfStyle::ClearSections(list); }
};

}  // namespace

TEST(CasmRoundTrip, CtabCtb2AndCnttChunksComeBackByteForByte) {
  const Bytes ctab27 = Chunk("Ctab", CtabBody(2, 0));
  const Bytes ctb247 = Chunk("Ctb2", Ctb2Body(5, 0));
  const Bytes ctb251 = Chunk("Ctb2", Cat({Ctb2Body(6, 1), Of({0xA1, 0xA2, 0x30, 0x40})}));
  const Bytes cntt = Chunk("Cntt", Of({2, 0x84}));
  const Bytes casm = Casm("Main A,Main B", Cat({ctab27, ctb247, ctb251, cntt}));
  ASSERT_EQ(ctab27.size(), 8u + 27u);
  ASSERT_EQ(ctb251.size(), 8u + 51u);

  CSmfStyle style;
  Sections read;
  std::uint64_t end = 0;
  ASSERT_EQ(ReadCasm(style, casm, read.list, &end), 0u);
  EXPECT_EQ(end, casm.size());
  ASSERT_EQ(read.list.size(), 1u);
  const CSection& s = *read.list[0];
  ASSERT_EQ(s.GetCtabList().size(), 3u);
  ASSERT_EQ(s.GetCnttList().size(), 1u);

  std::uint8_t pairs = 9, first = 0, second = 0;
  s.GetCtabList()[1]->GetPairCount(pairs);
  EXPECT_EQ(pairs, 0);
  s.GetCtabList()[2]->GetPairCount(pairs);
  EXPECT_EQ(pairs, 1);
  std::uint8_t word[2];
  std::uint64_t n = 2;
  s.GetCtabList()[2]->GetTailWord(word, n);
  EXPECT_EQ(Bytes(word, word + 2), Of({0xA1, 0xA2}));
  s.GetCtabList()[2]->GetPairFirst(0, first);
  s.GetCtabList()[2]->GetPairSecond(0, second);
  EXPECT_EQ(first, 0x30);
  EXPECT_EQ(second, 0x40);
  // A Ctab fills all three ranges with its one range.
  for (std::uint8_t r = 0; r < 3; ++r) {
    std::uint8_t b3 = 0;
    s.GetCtabList()[0]->GetRangeByte(r, 3, b3);
    EXPECT_EQ(b3, 0x1C);
  }

  Bytes written;
  ASSERT_EQ(style.WriteCasmChunk(written, read.list), 0u);
  EXPECT_EQ(written, casm);
}

TEST(CasmRoundTrip, ACtabRetaggedAsCtb2RepeatsItsRange) {
  CSmfStyle style;
  Sections read;
  ASSERT_EQ(ReadCasm(style, Casm("Intro A", Chunk("Ctab", CtabBody(2, 0))), read.list), 0u);
  CSection& s = *read.list[0];
  ASSERT_EQ(CSectionDecorator::ConvertIdsToCtb2(s), 0u);
  Bytes out;
  ASSERT_EQ(style.WriteCtb2Chunk(out, s.GetCtabList()[0]), 0u);
  const Bytes range = Of({0x00, 0x81, 0x03, 0x1C, 0x7F, 0x04});
  const Bytes ctab = CtabBody(2, 0);
  EXPECT_EQ(out, Chunk("Ctb2", Cat({Bytes(ctab.begin(), ctab.begin() + 20), Of({0, 127}), range,
                                    range, range, Bytes(7, 0)})));
}

TEST(CasmWrite, OptionalTailOnlyWithTailByteAndPairs) {
  CSmfStyle style;
  CCtabData t;
  t.SetId(reinterpret_cast<const std::uint8_t*>("Ctab"), 4);
  t.SetTailByte(1);
  t.SetPairFirst(1, 5);
  Bytes out;
  ASSERT_EQ(style.WriteCtabChunk(out, &t), 0u);
  EXPECT_EQ(out.size(), 8u + 27u + 2u + 4u);
  CCtabData def;
  def.InitDefault(4);
  out.clear();
  ASSERT_EQ(style.WriteCtb2Chunk(out, &def), 0u);
  EXPECT_EQ(out.size(), 8u + 47u);
  EXPECT_EQ(style.WriteRange(out, &def, 3), 0x80000002u);
}

TEST(CasmWrite, SectionsWithoutNamesAreLeftOut) {
  CSmfStyle style;
  Sections list;
  list.list.push_back(new CSection);
  list.list.push_back(new CSection);
  Bytes out;
  ASSERT_EQ(style.WriteCasmChunk(out, list.list), 0u);
  EXPECT_EQ(out, Chunk("CASM", {}));
  out.clear();
  ASSERT_EQ(style.WriteCasmChunk(out, {}), 0u);
  EXPECT_TRUE(out.empty());
}

TEST(CasmWrite, ATableOfAnotherIdStopsTheSection) {
  CSmfStyle style;
  CSection s;
  s.SetNames({"Main A"});
  auto* t = new CCtabData;
  t->SetId(reinterpret_cast<const std::uint8_t*>("Atab"), 4);
  s.AddCtab(t);
  Bytes out;
  EXPECT_EQ(style.WriteCsegChunk(out, &s), 0x80000008u);
}

TEST(CasmRead, ChunksInTheWrongPlaceFail) {
  CSmfStyle style;
  Sections read;
  const Bytes sdecInCasm = Chunk("CASM", Chunk("Sdec", Text("Main A")));
  std::uint64_t end = 0;
  EXPECT_EQ(ReadCasm(style, sdecInCasm, read.list, &end), 0x80000008u);
  EXPECT_EQ(end, sdecInCasm.size());

  const Bytes mtrkInCseg = Casm("Main A", Chunk("MTrk", Of({0, 0xFF, 0x2F, 0})));
  EXPECT_EQ(ReadCasm(style, mtrkInCseg, read.list), Result::nest(7, Result::fail(11)));
  EXPECT_EQ(read.list.size(), 1u);  // the section read so far stays
}

TEST(CasmRead, TablesShorterThanTheirFixedPartAreRejected) {
  CSmfStyle style;
  Sections read;
  // The declared lengths stop short; the bytes after them belong to a Cntt,
  // which must not be read into the table.
  const Bytes ctab = CtabBody(1, 0);
  const Bytes shortCtab = Casm("Main A", Cat({Chunk("Ctab", Bytes(ctab.begin(), ctab.begin() + 20)),
                                              Chunk("Cntt", Of({1, 2}))}));
  EXPECT_EQ(ReadCasm(style, shortCtab, read.list), Result::nest(7, Result::nest(8, Result::fail(10))));
  EXPECT_TRUE(read.list[0]->GetCtabList().empty());
  Sections again;
  const Bytes body = Ctb2Body(1, 0);
  const Bytes shortCtb2 = Casm("Main A", Cat({Chunk("Ctb2", Bytes(body.begin(), body.begin() + 46)),
                                              Chunk("Cntt", Of({1, 2}))}));
  EXPECT_EQ(ReadCasm(style, shortCtb2, again.list), Result::nest(7, Result::nest(9, Result::fail(15))));
  EXPECT_TRUE(again.list[0]->GetCtabList().empty());
}

TEST(CasmRead, LengthsPastTheEnclosingChunkAreRejected) {
  CSmfStyle style;
  // An Sdec whose length runs past its CSEG into the next CSEG.
  Bytes sdec = Chunk("Sdec", Text("Main A"));
  sdec[7] = 30;
  const Bytes casm = Chunk("CASM", Cat({Chunk("CSEG", sdec), Chunk("CSEG", Chunk("Sdec", Text("Main B")))}));
  Sections read;
  EXPECT_EQ(ReadCasm(style, casm, read.list), Result::nest(7, Result::nest(7, Result::fail(4))));
  NameList names;
  read.list[0]->GetNames(names);
  EXPECT_TRUE(names.empty());

  // A CASM longer than the data, and a CSEG longer than its CASM.
  Bytes longCasm = Casm("Main A", {});
  longCasm[7] += 1;
  Sections a;
  EXPECT_EQ(ReadCasm(style, longCasm, a.list), 0x80000009u);
  Bytes casm2 = Chunk("CASM", Cat({Chunk("CSEG", Chunk("Sdec", Text("Main A"))), Text("pad!")}));
  casm2[15] += 8;  // 4 bytes past the CASM
  Sections b;
  EXPECT_EQ(ReadCasm(style, casm2, b.list), Result::nest(7, Result::fail(12)));

  // A pair cut by the chunk end keeps its first byte; a cut tail word fails.
  Sections c;
  const Bytes odd = Casm("Main A", Cat({Chunk("Ctab", Cat({CtabBody(1, 1), Of({0xA1, 0xA2, 7, 8, 9})})),
                                        Chunk("Cntt", Of({1, 2}))}));
  ASSERT_EQ(ReadCasm(style, odd, c.list), 0u);
  const CCtabData& cut = *c.list[0]->GetCtabList()[0];
  std::uint8_t pairs = 0, first = 0, second = 0xEE;
  cut.GetPairCount(pairs);
  EXPECT_EQ(pairs, 2);
  cut.GetPairFirst(1, first);
  cut.GetPairSecond(1, second);
  EXPECT_EQ(first, 9);
  EXPECT_EQ(second, 0);  // not the Cntt's bytes that follow the chunk
  ASSERT_EQ(c.list[0]->GetCnttList().size(), 1u);
  Sections d;
  const Bytes cutWord = Casm("Main A", Chunk("Ctab", Cat({CtabBody(1, 1), Of({0xA1})})));
  EXPECT_TRUE(Result::failed(ReadCasm(style, cutWord, d.list)));
  EXPECT_TRUE(d.list[0]->GetCtabList().empty());
  Sections e;
  EXPECT_EQ(ReadCasm(style, Casm("Main A", Chunk("Cntt", Of({1}))), e.list),
            Result::nest(7, Result::nest(10, Result::nest(6, Result::fail(2)))));
}

TEST(CasmRead, EmptyChunksAndSecondSdec) {
  CSmfStyle style;
  Sections read;
  EXPECT_EQ(ReadCasm(style, Chunk("CASM", {}), read.list), 0u);
  EXPECT_TRUE(read.list.empty());
  EXPECT_EQ(ReadCasm(style, Chunk("CASM", Chunk("CSEG", {})), read.list), Result::nest(7, Result::fail(3)));
  Sections two;
  ASSERT_EQ(ReadCasm(style, Casm("Main A", Chunk("Sdec", Text("Fill In AA,Intro A"))), two.list), 0u);
  NameList names;
  two.list[0]->GetNames(names);
  EXPECT_EQ(names, (NameList{"Fill In AA", "Intro A"}));
}
