#include <gtest/gtest.h>

#include <string>

#include "AudioTestSupport.h"
#include "CAudioInfoDecorator.h"

using namespace AudioTest;

namespace {

// One recording's entries made and the text read into them.
struct Parsed {
  CAudioInfoDecorator model;
  CAudioSection* section = nullptr;
  CAudioFile* file = nullptr;
  std::uint8_t volume = 0;

  ResultCode Parse(const std::string& text) {
    const std::string name = "take";
    const std::string path = "/rec/take.wav";
    if (!section) {
      model.FindOrCreateSection(U8(name), name.size(), 0);
      model.FindOrCreateFile(U8(name), name.size(), U8(path), path.size(), 0);
      section = model.FindSectionByNumber(0);
      file = model.FindFileBySection(0);
    }
    return model.ParseInfoText(U8(text), text.size(), section, file, &volume, 64, 0);
  }
  CAudioStyleWaveFormat* Style() const { return file->GetWaveForm()->GetStyleWaveFormat(); }
  CAudioWaveInfo* Info() const { return file->GetWaveForm()->GetWaveInfo(); }
};

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  text.replace(text.find(from), from.size(), to);
  return text;
}

ResultCode Assign(CAudioInfoDecorator& model, const std::string& name, const std::string& path, std::int64_t number,
                  std::uint8_t* volume = nullptr) {
  const std::string text = DefaultInfoText();
  std::uint8_t pan = 64, effect = 0;
  return model.SetSectionAudio(U8(text), text.size(), U8(name), name.size(), U8(path), path.size(), number, volume,
                               &pan, &effect);
}

NameList SectionNames(const CAudioSection* s) {
  NameList n;
  s->GetNames(n);
  return n;
}

NameList FileNames(const CAudioFile* f) {
  NameList n;
  f->GetSectionNames(n);
  return n;
}

std::string PathOf(const CAudioFile* f) {
  std::string p;
  f->GetWaveForm()->GetWaveData()->GetFilePath(p);
  return p;
}

}  // namespace

TEST(InfoTextImport, DefaultTextGivesTheDocumentedValues) {
  CAudioInfoDecorator model;
  const std::string text = DefaultInfoText();
  const std::string name = "AST_temp_Main A.wav";
  const std::string path = "/tmp/AST_temp_Main A.wav";
  std::uint8_t volume = 0, pan = 64, effect = 0;
  ASSERT_EQ(model.SetSectionAudio(U8(text), text.size(), U8(name), name.size(), U8(path), path.size(), 3, &volume,
                                  &pan, &effect),
            0u);
  EXPECT_EQ(volume, 80);
  ASSERT_EQ(model.GetSectionList().size(), 1u);
  ASSERT_EQ(model.GetFileList().size(), 1u);
  const CAudioSection* section = model.GetSection(0);
  const CAudioFile* file = model.GetFile(0);
  EXPECT_EQ(SectionNames(section), NameList{"Main D"});
  EXPECT_EQ(FileNames(file), NameList{"Main D"});
  std::uint16_t resolution = 0;
  section->GetResolution(resolution);
  EXPECT_EQ(resolution, 480);

  const CAudioStyleWaveFormat* sf = file->GetWaveForm()->GetStyleWaveFormat();
  std::uint16_t tag = 0, bars = 0;
  sf->GetFormatTag(tag);
  sf->GetNumberOfBars(bars);
  EXPECT_EQ(tag, 1);
  EXPECT_EQ(bars, 1);
  std::uint8_t b[4];
  std::uint64_t n = 3;
  sf->GetOriginalTempo(b, n);
  EXPECT_EQ(Bytes(b, b + 3), Of({0x07, 0xA1, 0x20}));
  sf->GetTempo2(b, n);
  EXPECT_EQ(Bytes(b, b + 3), Of({0x01, 0xD4, 0xC0}));
  sf->GetTempo3(b, n);
  EXPECT_EQ(Bytes(b, b + 3), Of({0xB7, 0x1B, 0x00}));
  n = 4;
  sf->GetOriginalTimeSignature(b, n);
  EXPECT_EQ(Bytes(b, b + 4), Of({4, 2, 24, 8}));
  n = 4;
  ASSERT_EQ(section->GetMixData()->GetTimeSignature(b, n), 0u);
  EXPECT_EQ(Bytes(b, b + 4), Of({4, 2, 24, 8}));
  std::uint64_t f10 = 0, f11 = 0;
  sf->GetField10(f10);
  sf->GetField11(f11);
  EXPECT_EQ(f10, 22050u);
  EXPECT_EQ(f11, 22050u);
  EXPECT_TRUE(sf->GetSyncroPointList().empty());
  const CAudioWaveInfo* info = file->GetWaveForm()->GetWaveInfo();
  EXPECT_TRUE(info->GetBeatPointList().empty() && info->GetOnsetPointList().empty() &&
              info->GetAttackPointList().empty() && info->GetTempoList().empty() && info->GetPoints2List().empty());

  // The name record links the section's first table and the file.
  Bytes block(50), record(50);
  std::uint64_t w = 50;
  section->GetAtabList()[0]->GetBlock(block.data(), w);
  file->GetNameRecord(record.data(), w);
  EXPECT_EQ(block, NameRecord(name));
  EXPECT_EQ(record, NameRecord(name));
  EXPECT_EQ(PathOf(file), path);
  std::uint8_t v = 0;
  section->GetMixData()->GetVolume(v);
  EXPECT_EQ(v, 80);
  section->GetMixData()->GetPan(v);
  EXPECT_EQ(v, 64);
}

TEST(InfoTextImport, OptionalVolumeAndEmptyFields) {
  Parsed p;
  const std::string text = DefaultInfoText();
  ASSERT_EQ(p.Parse(text.substr(0, text.find("$Volume$"))), 0u);
  EXPECT_EQ(p.volume, 80);
  ASSERT_EQ(p.Parse(Replace(text, "$Volume$,80,", "$Volume$,300,")), 0u);
  EXPECT_EQ(p.volume, 44);
  ASSERT_EQ(p.Parse(Replace(text, "$PPQ$,480,", "$PPQ$,,")), 0u);
  std::uint16_t resolution = 1;
  p.section->GetResolution(resolution);
  EXPECT_EQ(resolution, 0);
  ASSERT_EQ(p.Parse(Replace(text, "0x0001", "1")), 0u);
  std::uint16_t tag = 9;
  p.Style()->GetFormatTag(tag);
  EXPECT_EQ(tag, 0);
  ASSERT_EQ(p.Parse(Replace(text, "0x0001", "0x1F")), 0u);
  p.Style()->GetFormatTag(tag);
  EXPECT_EQ(tag, 0x1F);
}

TEST(InfoTextImport, FailuresCarryTheirStepCodes) {
  Parsed p;
  const std::string text = DefaultInfoText();
  // Bad hexadecimal digits: text step 3, handler 5, field 4.
  EXPECT_EQ(p.Parse(Replace(text, "0x0001", "0xZZ")), Result::nest(3, Result::nest(5, Result::fail(4))));
  // "$PPQ$" before "$OriginalTempo$".
  const std::string swapped = Replace(Replace(text, "$OriginalTempo$,500000,", "$PPQ$,480,"), "$PPQ$,480,\n$Sample",
                                      "$OriginalTempo$,500000,\n$Sample");
  EXPECT_EQ(p.Parse(swapped), Result::nest(4, Result::fail(4)));
  // The text ends after the bar count's closing comma: the seventh entry finds no key.
  const std::string cut = text.substr(0, text.find("$NumberOfBars$,1,") + 17);
  EXPECT_EQ(p.Parse(cut), Result::nest(9, Result::nest(3, Result::fail(2))));
  EXPECT_EQ(p.Parse(Replace(text, "$PPQ$", "PPQ$")), Result::nest(6, Result::nest(3, Result::fail(3))));
  EXPECT_EQ(p.Parse(Replace(text, "$PPQ$,480,", "$PPQ$,4x0,")), Result::nest(6, Result::nest(5, Result::fail(4))));
  // An unclosed value at the very end is stored as 0, then the line end fails.
  const std::string unclosed = text.substr(0, text.find("$Volume$")) + "$Volume$,77";
  EXPECT_EQ(p.Parse(unclosed), Result::nest(14, Result::nest(5, Result::fail(2))));
  EXPECT_EQ(p.model.ParseInfoText(U8(text), 0, p.section, p.file, nullptr, 0, 0), 0x80000001u);
  EXPECT_EQ(p.model.ParseInfoText(U8(text), text.size(), nullptr, p.file, nullptr, 0, 0), 0x80000002u);
}

TEST(InfoTextImport, ListEntriesReadTheirLines) {
  Parsed p;
  std::string text = DefaultInfoText();
  text = Replace(text, "$BeatPoint$,0,\n", "$BeatPoint$,2,\n\t,0,0,0,\n\t,22050,1,0,\n");
  text = Replace(text, "$SyncroPoint$,0,\n", "$SyncroPoint$,1,\n\t\t,100,2,67438087,\n");
  text = Replace(text, "$TempoInfo$,0,\n", "$TempoInfo$,1,\n,44100,600000,\n");
  ASSERT_EQ(p.Parse(text), 0u);
  const AudioPointList& beats = p.Info()->GetBeatPointList();
  ASSERT_EQ(beats.size(), 2u);
  std::uint64_t position = 0;
  std::uint16_t beat = 0;
  beats[1]->GetPosition(position);
  beats[1]->GetBeatIndex(beat);
  EXPECT_EQ(position, 22050u);
  EXPECT_EQ(beat, 1);
  ASSERT_EQ(p.Style()->GetSyncroPointList().size(), 1u);
  std::uint32_t packed = 0;
  p.Style()->GetSyncroPoint(0)->GetPackedTime(packed);
  EXPECT_EQ(packed, 67438087u);  // 0x04050007
  ASSERT_EQ(p.Info()->GetTempoList().size(), 1u);
  std::uint8_t tempo[3];
  std::uint64_t n = 3;
  p.Info()->GetTempo(0)->GetTempo(tempo, n);
  EXPECT_EQ(Bytes(tempo, tempo + 3), Of({0x09, 0x27, 0xC0}));

  // A count of 3 with two lines: the third line finds the next key and fails; two records stay.
  const std::string short3 = Replace(text, "$BeatPoint$,2,", "$BeatPoint$,3,");
  EXPECT_EQ(p.Parse(short3), Result::nest(10, Result::nest(8, Result::nest(4, Result::fail(3)))));
  EXPECT_EQ(p.Info()->GetBeatPointList().size(), 2u);
  // A list line whose last value runs into the end of the text.
  const std::string cut = text.substr(0, text.find("\t,22050,1,0,") + 11);
  EXPECT_EQ(p.Parse(cut), Result::nest(10, Result::nest(8, Result::nest(10, Result::fail(2)))));
}

TEST(InfoTextImport, OneRecordingForTwoSectionsSharesItsEntries) {
  CAudioInfoDecorator model;
  ASSERT_EQ(Assign(model, "song", "/rec/song.wav", 0), 0u);
  std::uint8_t volume = 7;
  ASSERT_EQ(Assign(model, "song", "/rec/song.wav", 1, &volume), 0u);
  EXPECT_EQ(volume, 7);  // the text was not read again
  ASSERT_EQ(model.GetSectionList().size(), 1u);
  ASSERT_EQ(model.GetFileList().size(), 1u);
  EXPECT_EQ(SectionNames(model.GetSection(0)), (NameList{"Main A", "Main B"}));
  EXPECT_EQ(FileNames(model.GetFile(0)), (NameList{"Main A", "Main B"}));
  EXPECT_EQ(model.FindFileBySection(1), model.GetFile(0));
  std::int64_t number = -5;
  EXPECT_TRUE(model.FindSectionByNameRecord(U8("song"), 4, number));
  EXPECT_EQ(number, 0);
  EXPECT_FALSE(model.FindFileByNameRecord(U8("other"), 5, number));

  // Another recording takes Main A; Main B stays with the first.
  ASSERT_EQ(Assign(model, "other", "/rec/other.wav", 0), 0u);
  ASSERT_EQ(model.GetSectionList().size(), 2u);
  ASSERT_EQ(model.GetFileList().size(), 2u);
  EXPECT_EQ(SectionNames(model.FindSectionByNumber(1)), NameList{"Main B"});
  EXPECT_EQ(SectionNames(model.FindSectionByNumber(0)), NameList{"Main A"});
  EXPECT_EQ(PathOf(model.FindFileBySection(0)), "/rec/other.wav");
  EXPECT_EQ(PathOf(model.FindFileBySection(1)), "/rec/song.wav");

  // Moving Main B to the second recording leaves the first without names: its entries go.
  ASSERT_EQ(Assign(model, "other", "/rec/other.wav", 1), 0u);
  ASSERT_EQ(model.GetSectionList().size(), 1u);
  ASSERT_EQ(model.GetFileList().size(), 1u);
  EXPECT_EQ(FileNames(model.GetFile(0)), (NameList{"Main A", "Main B"}));
}

TEST(InfoTextImport, ArgumentsAreCheckedAndThePathIsReadByItsLength) {
  CAudioInfoDecorator model;
  const std::string text = DefaultInfoText();
  std::uint8_t volume = 0, pan = 64, effect = 0;
  // A path handed without a terminator, followed in memory by other bytes.
  const std::string buffer = "/rec/a.wavGARBAGE";
  ASSERT_EQ(model.SetSectionAudio(U8(text), text.size(), U8("a"), 1, U8(buffer), 10, 0, &volume, &pan, &effect), 0u);
  EXPECT_EQ(PathOf(model.GetFile(0)), "/rec/a.wav");
  // A length that counts the terminating zero.
  const char withZero[] = "/rec/b.wav";
  ASSERT_EQ(model.SetSectionAudio(U8(text), text.size(), U8("b"), 1, reinterpret_cast<const std::uint8_t*>(withZero),
                                  sizeof withZero, 1, &volume, &pan, &effect),
            0u);
  EXPECT_EQ(PathOf(model.FindFileBySection(1)), "/rec/b.wav");

  EXPECT_EQ(model.SetSectionAudio(nullptr, 1, U8("a"), 1, U8("p"), 1, 0, &volume, &pan, &effect), 0x80000001u);
  EXPECT_EQ(model.SetSectionAudio(U8(text), text.size(), U8("a"), 0, U8("p"), 1, 0, &volume, &pan, &effect),
            0x80000002u);
  EXPECT_EQ(model.SetSectionAudio(U8(text), text.size(), U8("a"), 1, U8("p"), 0, 0, &volume, &pan, &effect),
            0x80000003u);
  EXPECT_EQ(model.SetSectionAudio(U8(text), text.size(), U8("a"), 1, U8("p"), 1, -1, &volume, &pan, &effect),
            0x80000004u);
  EXPECT_EQ(model.SetSectionAudio(U8(text), text.size(), U8("a"), 1, U8("p"), 1, 20, &volume, &pan, &effect),
            0x80000004u);
  EXPECT_EQ(model.SetSectionAudio(U8(text), text.size(), U8("a"), 1, U8("p"), 1, 0, &volume, nullptr, &effect),
            0x8000000Au);
  EXPECT_EQ(model.GetSectionList().size(), 2u);

  // A failing text leaves the entries it made.
  const std::string bad = Replace(text, "$PPQ$", "$XYZ$");
  EXPECT_EQ(model.SetSectionAudio(U8(bad), bad.size(), U8("c"), 1, U8("p"), 1, 2, &volume, &pan, &effect),
            Result::nest(9, Result::nest(6, Result::fail(4))));
  EXPECT_NE(model.FindSectionByNumber(2), nullptr);
  EXPECT_EQ(model.SetSectionAudioFromStrings(Text(bad), "c", "p", 2, 0, 0, 0),
            Result::nest(1, Result::nest(9, Result::nest(6, Result::fail(4)))));
}

TEST(InfoTextImport, SecondPointListAndRepeatCount) {
  CAudioInfoDecorator model;
  ASSERT_EQ(Assign(model, "song", "/rec/song.wav", 0), 0u);
  std::string text = DefaultInfoText();
  text = Replace(text, "$SyncroPoint$,0,\n", "$SyncroPoint$,1,\n\t,1,2,3,\n");
  text = Replace(text, "$OnsetPoint$,0,\n", "$OnsetPoint$,2,\n\t,10,0,5,\n\t,20,1,6,\n");
  const std::uint64_t one = 1;
  ASSERT_EQ(model.UpdatePoints2(U8(text), text.size(), &one, &one, 0), 0u);
  const CAudioWaveInfo* info = model.GetFile(0)->GetWaveForm()->GetWaveInfo();
  ASSERT_EQ(info->GetPoints2List().size(), 2u);
  EXPECT_TRUE(info->GetOnsetPointList().empty());
  std::uint16_t tick = 0;
  info->GetPoint2(1)->GetTickOffset(tick);
  EXPECT_EQ(tick, 6);
  const std::uint64_t zero = 0;
  EXPECT_EQ(model.UpdatePoints2(U8(text), text.size(), &zero, &one, 0), 0x80000002u);
  EXPECT_EQ(model.UpdatePoints2(U8(text), text.size(), &one, &one, 5), 0x80000004u);
  const std::string cut = text.substr(0, text.find("$OriginalTempo$"));
  EXPECT_EQ(model.UpdatePoints2(U8(cut), cut.size(), &one, &one, 0),
            Result::nest(5, Result::nest(4, 0x880000022ull)));

  std::uint8_t count = 9;
  model.GetFile(0)->GetWaveForm()->GetStyleWaveFormat()->SetNumberOfBars(2);
  EXPECT_EQ(model.GetRepeatCount(0, 8, count), 0u);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(model.GetRepeatCount(0, 7, count), 0x80000004u);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(model.GetRepeatCount(0, 0, count), 0x80000001u);
  EXPECT_EQ(model.GetRepeatCount(4, 8, count), 0x80000002u);
}

TEST(InfoTextScanner, FieldsAndKeys) {
  const std::string t = ",12,,0x1A,zz,7";
  std::uint64_t cursor = 0, value = 9;
  ASSERT_EQ(CAudioInfoDecorator::ParseDecimalField(U8(t), t.size(), cursor, value), 0u);
  EXPECT_EQ(value, 12u);
  EXPECT_EQ(cursor, 3u);
  ASSERT_EQ(CAudioInfoDecorator::ParseDecimalField(U8(t), t.size(), cursor, value), 0u);
  EXPECT_EQ(value, 0u);
  ASSERT_EQ(CAudioInfoDecorator::ParseHexField(U8(t), t.size(), cursor, value), 0u);
  EXPECT_EQ(value, 0x1Au);
  EXPECT_EQ(CAudioInfoDecorator::ParseDecimalField(U8(t), t.size(), cursor, value), 0x80000004u);
  ASSERT_EQ(CAudioInfoDecorator::ParseDecimalField(U8(t), t.size(), cursor, value), 0u);  // unclosed
  EXPECT_EQ(value, 0u);
  EXPECT_EQ(cursor, t.size());
  EXPECT_EQ(CAudioInfoDecorator::ParseDecimalField(U8(t), t.size(), cursor, value), 0x80000002u);
  cursor = 1;
  EXPECT_EQ(CAudioInfoDecorator::ParseDecimalField(U8(t), t.size(), cursor, value), 0x80000003u);

  const std::string keys = "$Volume$$Nope$$open";
  std::uint8_t id = 0;
  cursor = 0;
  ASSERT_EQ(CAudioInfoDecorator::ReadKeyId(U8(keys), keys.size(), cursor, id), 0u);
  EXPECT_EQ(id, InfoKeyId::kVolume);
  ASSERT_EQ(CAudioInfoDecorator::ReadKeyId(U8(keys), keys.size(), cursor, id), 0u);
  EXPECT_EQ(id, InfoKeyId::kUnknown);
  ASSERT_EQ(CAudioInfoDecorator::ReadKeyId(U8(keys), keys.size(), cursor, id), 0u);
  EXPECT_EQ(id, InfoKeyId::kUnknown);
  EXPECT_EQ(cursor, keys.size());
}
