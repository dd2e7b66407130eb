#include <gtest/gtest.h>

#include "AudioModelCompare.h"
#include "AudioTestSupport.h"
#include "CAudioStyleDecorator.h"

using namespace AudioTest;

namespace {

// The 97 Atab body bytes of a table reset for channel 0 with a name record.
Bytes DefaultAtabBody(const std::string& record) {
  return Cat({Of({0}), Text("        "), Of({0x29}), NameRecord(record), Of({1, 0x0F, 0xFF, 0x07, 0xFF, 0xFF, 0xFF, 0xFF,
                                                                             0, 0, 0, 127}),
              Of({0, 0, 0, 0, 127, 0, 0, 0, 0, 0, 127, 0, 0, 0, 0, 0, 127, 0}), Of({0, 0, 0, 0, 0, 0, 0})});
}

// A section list owning its entries.
struct Sections {
  AudioSectionList list;
  ~Sections() { CAudioInfo::DeleteSectionList(list); }
  CAudioSection* Add() {
    list.push_back(new CAudioSection);
    return list.back();
  }
};

// Reads `bytes` (starting with an id) as an AASM chunk into `into`.
ResultCode ReadAasm(const Bytes& bytes, AudioSectionList& into, std::uint64_t* end = nullptr) {
  CAudioStyle style;
  std::uint64_t pos = 4;
  const ResultCode rc = style.ReadAasmChunk(bytes.data(), bytes.size(), pos, into);
  if (end) *end = pos;
  return rc;
}

}  // namespace

TEST(AasmChunk, InitSectionWritesTheDocumentedBytes) {
  Sections s;
  CAudioSection* section = s.Add();
  ASSERT_EQ(section->Init(), 0u);
  CAudioStyle style;
  Bytes out;
  ASSERT_EQ(style.WriteAasmChunk(out, s.list), 0u);
  const Bytes atab = Chunk("Atab", DefaultAtabBody(""));
  ASSERT_EQ(atab.size(), 8u + 97u);
  const Bytes expected =
      Chunk("AASM", Chunk("ASEG", Cat({Chunk("Adec", Text("Dummy")), atab,
                                      Chunk("AMix", Of({0x07, 0x80, 0x00, 0xFF, 0x2F, 0x00}))})));
  EXPECT_EQ(out, expected);
  // The end of track the writer added stays in the model.
  EXPECT_EQ(section->GetMixData()->GetTrack()->GetEventList().size(), 1u);

  Sections back;
  std::uint64_t end = 0;
  ASSERT_EQ(ReadAasm(out, back.list, &end), 0u);
  EXPECT_EQ(end, out.size());
  ASSERT_EQ(back.list.size(), 1u);
  ExpectSameSection(*section, *back.list[0]);
}

TEST(AasmChunk, EmptyListsAndNamelessSections) {
  CAudioStyle style;
  Sections none;
  Bytes out;
  ASSERT_EQ(style.WriteAasmChunk(out, none.list), 0u);
  EXPECT_TRUE(out.empty());
  Sections nameless;
  nameless.Add()->Init();
  nameless.list[0]->ClearNames();
  ASSERT_EQ(style.WriteAasmChunk(out, nameless.list), 0u);
  EXPECT_EQ(out, Chunk("AASM", {}));
  Sections back;
  ASSERT_EQ(ReadAasm(out, back.list), 0u);
  EXPECT_TRUE(back.list.empty());
}

TEST(AasmChunk, TailAndPairsAreWrittenOnlyWithATailByte) {
  CAtabData t;
  t.Reset(3);
  t.SetPairFirst(0, 1);
  t.SetPairSecond(1, 2);
  t.SetTailByte(1);
  CAudioStyle style;
  Bytes out;
  ASSERT_EQ(style.WriteAtabChunk(out, &t), 0u);
  EXPECT_EQ(out.size(), 8u + 103u);
  Sections back;
  CAudioSection* s = back.Add();
  std::uint64_t pos = 4;
  ASSERT_EQ(style.ReadAtabChunk(out.data(), out.size(), pos, s), 0u);
  EXPECT_EQ(*s->GetAtabList()[0], t);

  t.SetTailByte(0);
  out.clear();
  ASSERT_EQ(style.WriteAtabChunk(out, &t), 0u);
  EXPECT_EQ(out.size(), 8u + 97u);
}

TEST(AasmChunk, ReadFailuresKeepToTheirChunk) {
  CAudioStyle style;
  const Bytes adec = Chunk("Adec", Text("Main A"));
  // A foreign chunk inside an ASEG: the section read so far stays.
  {
    Sections back;
    const Bytes bytes = Chunk("AASM", Chunk("ASEG", Cat({adec, Chunk("Sdec", Text("x"))})));
    EXPECT_EQ(ReadAasm(bytes, back.list), Result::nest(4, Result::fail(10)));
    ASSERT_EQ(back.list.size(), 1u);
    EXPECT_EQ(back.list[0]->GetNameCount(), 1u);
  }
  // An AMix of only a resolution: the resolution is taken, then refused.
  {
    Sections back;
    const Bytes bytes = Chunk("AASM", Chunk("ASEG", Chunk("AMix", Of({0x01, 0xE0}))));
    EXPECT_EQ(ReadAasm(bytes, back.list), Result::nest(4, Result::nest(9, Result::fail(3))));
    std::uint16_t resolution = 0;
    back.list[0]->GetResolution(resolution);
    EXPECT_EQ(resolution, 480);
  }
  // An AMix whose declared length is below the resolution's two bytes does
  // not take its resolution from the next chunk.
  {
    Sections back;
    const Bytes bytes = Chunk("AASM", Chunk("ASEG", Cat({Chunk("AMix", Of({0x01})), adec})));
    EXPECT_EQ(ReadAasm(bytes, back.list), Result::nest(4, Result::nest(9, Result::nest(10, Result::fail(2)))));
    std::uint16_t resolution = 0;
    back.list[0]->GetResolution(resolution);
    EXPECT_EQ(resolution, 1920);
  }
  // An Atab claiming more than the buffer holds makes no table.
  {
    Sections back;
    CAudioSection* s = back.Add();
    const Bytes bytes = Cat({Text("Atab"), U32BE(200), Bytes(20, 0)});
    std::uint64_t pos = 4;
    EXPECT_EQ(style.ReadAtabChunk(bytes.data(), bytes.size(), pos, s), 0x80000004u);
    EXPECT_TRUE(s->GetAtabList().empty());
  }
  // A short Atab followed by more bytes: its fields stop at its own end
  // (the name, the second field of the first group, runs out).
  {
    Sections back;
    const Bytes bytes = Chunk("AASM", Chunk("ASEG", Cat({Chunk("Atab", Of({0, 'P', 'a'})), adec})));
    EXPECT_EQ(ReadAasm(bytes, back.list),
              Result::nest(4, Result::nest(8, Result::nest(8, Result::nest(3, Result::fail(2))))));
    EXPECT_TRUE(back.list[0]->GetAtabList().empty());
  }
  // An ASEG running past the AASM that holds it.
  {
    Sections back;
    const Bytes bytes = Cat({Text("AASM"), U32BE(8), Text("ASEG"), U32BE(14), adec});
    EXPECT_EQ(ReadAasm(bytes, back.list), Result::nest(4, Result::fail(11)));
  }
  // Something other than ASEG inside AASM.
  {
    Sections back;
    std::uint64_t end = 0;
    const Bytes bytes = Cat({Chunk("AASM", Cat({Chunk("AFil", {}), adec})), Text("tail")});
    EXPECT_EQ(ReadAasm(bytes, back.list, &end), 0x80000005u);
    EXPECT_EQ(end, bytes.size() - 4);
  }
}

TEST(AasmChunk, ASecondAMixReplacesTheFirst) {
  // The first mix is deleted when the second arrives; the leak checker of
  // the sanitized build watches it.
  const Bytes first = Chunk("AMix", Of({0x07, 0x80, 0x00, 0xB0, 0x07, 0x10, 0x00, 0xFF, 0x2F, 0x00}));
  const Bytes second = Chunk("AMix", Of({0x01, 0xE0, 0x00, 0xB0, 0x07, 0x20, 0x00, 0xFF, 0x2F, 0x00}));
  Sections back;
  ASSERT_EQ(ReadAasm(Chunk("AASM", Chunk("ASEG", Cat({Chunk("Adec", Text("Main A")), first, second}))), back.list),
            0u);
  std::uint8_t volume = 0;
  back.list[0]->GetMixData()->GetVolume(volume);
  EXPECT_EQ(volume, 0x20);
}

TEST(AasmChunk, WriterRefusesTablesOfAnotherKindAndSectionsWithoutMix) {
  CAudioStyle style;
  Sections s;
  CAudioSection* section = s.Add();
  section->Init();
  section->GetAtabList()[0]->SetId(U8("Ctb2"), 4);
  Bytes out;
  EXPECT_EQ(style.WriteAasmChunk(out, s.list), Result::nest(5, Result::fail(8)));
  section->Init();
  section->DeleteMixData();
  EXPECT_EQ(style.WriteAasmChunk(out, s.list), Result::nest(5, Result::nest(10, Result::fail(1))));
}
