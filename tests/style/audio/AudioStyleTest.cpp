#include <gtest/gtest.h>

#include <QFile>

#include "AudioModelCompare.h"
#include "AudioTestSupport.h"
#include "BuiltResources.h"
#include "CAudioInfoDecorator.h"
#include "CAudioStyleDecorator.h"
#include "FileHelpers.h"
#include "TempDir.h"
#include "TestAudio.h"

using namespace AudioTest;

namespace {

// The export's model: a working wave assigned to audio section numbers with
// the default analysis text, then points added as the style manager does.
ResultCode AssignWave(CAudioInfoDecorator& model, const std::string& path, std::int64_t number) {
  const std::string text = DefaultInfoText();
  std::uint8_t volume = 0, pan = 64, effect = 0;
  return model.SetSectionAudio(U8(text), text.size(), U8(path), path.size(), U8(path), path.size(), number, &volume,
                               &pan, &effect);
}

std::string WorkingWave(const QString& name, double seconds, double freq) {
  const QString path = TestEnv::tempPath(name);
  EXPECT_TRUE(TestAudio::writeWav(path, TestAudio::sine(seconds, freq)));
  return path.toStdString();
}

Bytes DataOf(const std::string& wavPath) {
  QFile f(QString::fromStdString(wavPath));
  f.open(QIODevice::ReadOnly);
  const QByteArray all = f.readAll();
  return Bytes(all.begin() + 44, all.end());  // the reference writer's 44-byte header
}

std::uint32_t U32At(const Bytes& b, std::size_t at) {
  return (std::uint32_t{b[at]} << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3];
}

}  // namespace

TEST(AudioStyleExport, OneSecondWaveForMainAGivesTheExpectedChunks) {
  const std::string wav = WorkingWave("AST_temp_Main A.wav", 1.0, 220.0);
  CAudioInfoDecorator model;
  ASSERT_EQ(AssignWave(model, wav, 0), 0u);
  CAudioStyleDecorator style;
  Bytes out;
  ASSERT_EQ(style.WriteAudioChunks(&model, out), 0u);

  // ASEG = Adec "Main A" (8 + 6) + Atab (8 + 97) + AMix (8 + 2 + 22 event
  // bytes: time signature 8, volume 4, pan 3, effect depth 3, end 4).
  const std::uint32_t aseg = (8 + 6) + (8 + 97) + (8 + 2 + 8 + 4 + 3 + 3 + 4);
  ASSERT_GE(out.size(), 16u);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 4), Text("AASM"));
  EXPECT_EQ(U32At(out, 4), 8 + aseg);
  const std::size_t afil = 8 + 8 + aseg;
  EXPECT_EQ(Bytes(out.begin() + afil, out.begin() + afil + 4), Text("AFil"));
  EXPECT_EQ(U32At(out, afil + 4), out.size() - afil - 8);
  EXPECT_EQ(model.GetFile(0)->GetWaveForm()->GetWaveData()->GetTempFilePath(), "");

  // The Adat body is the WAV's data chunk, read from the file at write time.
  CAudioStyleDecorator reader;
  ASSERT_EQ(reader.ParseAfil(out.data() + afil, out.size() - afil), 0u);
  Bytes data;
  ASSERT_EQ(reader.GetAudioInfo().GetFile(0)->GetWaveForm()->GetWaveData()->LoadBytes(data), 0u);
  EXPECT_EQ(data.size(), 44100u * 4);
  EXPECT_EQ(data, DataOf(wav));
  ASSERT_EQ(reader.ParseAasm(out.data(), out.size()), 0u);
  ASSERT_EQ(reader.GetAudioInfo().GetSectionList().size(), 1u);
  std::uint8_t volume = 0;
  reader.GetAudioInfo().GetSection(0)->GetMixData()->GetVolume(volume);
  EXPECT_EQ(volume, 80);
}

TEST(AudioStyleExport, ModelsWithoutEntriesOrWithFailuresGiveNoBytes) {
  CAudioStyleDecorator style;
  CAudioInfoDecorator model;
  Bytes out = Of({1});
  ASSERT_EQ(style.WriteAudioChunks(&model, out), 0u);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(style.WriteAudioChunks(nullptr, out), 0x80000001u);
  const std::string gone = TestEnv::tempPath("deleted.wav").toStdString();
  ASSERT_EQ(AssignWave(model, gone, 3), 0u);
  EXPECT_TRUE(Result::failed(style.WriteAudioChunks(&model, out)));
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(style.GetWaveReadErrorText(), "wave file read error!\r\n" + gone);
}

TEST(AudioStyleFile, WrittenStyleParsesBackToTheSameModel) {
  const Bytes smf = resourceBytes("Empty.sty");
  ASSERT_FALSE(smf.empty()) << "Resources/Empty.sty is missing: build the EmptyStyle target";
  CAudioStyleDecorator style;
  ASSERT_EQ(style.Load(smf), 0u);
  const std::string a = WorkingWave("a.wav", 0.25, 330.0);
  const std::string b = WorkingWave("b.wav", 0.5, 440.0);
  CAudioInfoDecorator model;
  ASSERT_EQ(AssignWave(model, a, 0), 0u);
  ASSERT_EQ(AssignWave(model, a, 4), 0u);
  ASSERT_EQ(AssignWave(model, b, 1), 0u);
  CAudioWaveInfo* info = model.FindFileBySection(1)->GetWaveForm()->GetWaveInfo();
  for (int i = 0; i < 4; ++i) {
    auto* p = new CAudioPoint;
    p->SetPosition(5512u * i);
    p->SetBeatIndex(static_cast<std::uint16_t>(i));
    info->AddBeatPoint(p);
  }
  ASSERT_EQ(style.GetAudioInfo().CopyFrom(model), 0u);

  Bytes file;
  ASSERT_EQ(style.Write(file), 0u);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + smf.size()), smf);  // the MIDI part comes first, unchanged

  CAudioStyleDecorator back;
  ASSERT_EQ(back.Load(file), 0u);
  EXPECT_EQ(back.GetTracks().size(), style.GetTracks().size());
  EXPECT_EQ(back.GetSections().size(), style.GetSections().size());
  // The writer took the sample bytes from the WAV files; the model read
  // back holds them itself.
  ExpectSameAudio(style.GetAudioInfo(), back.GetAudioInfo());
  Bytes again;
  ASSERT_EQ(back.Write(again), 0u);
  EXPECT_EQ(again, file);
}

TEST(AudioStyleFile, PartialBuffersAndTheirCodes) {
  CAudioInfoDecorator model;
  const std::string wav = WorkingWave("w.wav", 0.1, 100.0);
  ASSERT_EQ(AssignWave(model, wav, 2), 0u);
  CAudioStyleDecorator writer;
  Bytes aasm, afil;
  std::string aasmPath, afilPath;
  ASSERT_EQ(writer.WriteAasmTempFile(&model, aasmPath), 0u);
  ASSERT_EQ(writer.WriteAfilTempFile(&model, afilPath), 0u);
  aasm.resize(GetFileSize(aasmPath));
  afil.resize(GetFileSize(afilPath));
  ReadWholeFile(aasmPath, aasm.data(), aasm.size());
  ReadWholeFile(afilPath, afil.data(), afil.size());
  // Writing again removes the file the path named before.
  const std::string oldPath = afilPath;
  ASSERT_EQ(writer.WriteAfilTempFile(&model, afilPath), 0u);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(oldPath)));
  RemoveFile(aasmPath);
  RemoveFile(afilPath);

  // A buffer of only AFil reads the recordings and nothing else.
  CAudioStyleDecorator style;
  ASSERT_EQ(style.Parse(afil), 0u);
  EXPECT_TRUE(style.GetTracks().empty());
  EXPECT_TRUE(style.GetSections().empty());
  EXPECT_TRUE(style.GetAudioInfo().GetSectionList().empty());
  ASSERT_EQ(style.GetAudioInfo().GetFileList().size(), 1u);
  ExpectSameFile(*model.GetFile(0), *style.GetAudioInfo().GetFile(0));

  // ParseAasm of a buffer that begins with AFil empties the sections first.
  ASSERT_EQ(style.ParseAasm(aasm.data(), aasm.size()), 0u);
  EXPECT_EQ(style.ParseAasm(afil.data(), afil.size()), 0x80000005u);
  EXPECT_TRUE(style.GetAudioInfo().GetSectionList().empty());
  EXPECT_EQ(style.ParseAasm(nullptr, 4), 0x80000001u);
  const Bytes unknown = Text("XXXX");
  EXPECT_EQ(style.ParseBuffer(unknown.data(), unknown.size()), Result::nest(1, Result::nest(6, Result::fail(3))));

  // The whole AMix chunk of a section.
  Bytes amix;
  ASSERT_EQ(writer.GetAmixBytes(model.GetSection(0), amix), 0u);
  EXPECT_EQ(Bytes(amix.begin(), amix.begin() + 10), Cat({Text("AMix"), U32BE(24), Of({0x01, 0xE0})}));

  // The audio of a style in one temporary file, and a copy of it.
  ASSERT_EQ(style.GetAudioInfo().CopyFrom(model), 0u);
  std::string audioPath;
  ASSERT_EQ(style.WriteAudioTempFile(audioPath), 0u);
  EXPECT_EQ(GetFileSize(audioPath), aasm.size() + afil.size());
  RemoveFile(audioPath);
  CAudioInfo copy;
  Bytes smf;
  EXPECT_EQ(style.SaveAndCopyAudio(smf, &copy), Result::nest(2, Result::nest(2, Result::nest(5, Result::fail(1)))));
  EXPECT_EQ(style.SaveAndCopyAudio(smf, nullptr), 0x80000001u);
}

TEST(AudioStyleFile, TruncationsAndByteFlipsNeverCrash) {
  // A small but complete audio style: one track, two recordings.
  CAudioStyleDecorator style;
  auto* track = new CTrk;
  CEvnt* end = new CEvnt;
  end->SetStatus(0xFF);
  end->SetMetaType(0x2F);
  track->AppendEvent(end);
  style.AddTrack(track);
  CAudioInfoDecorator model;
  const std::string a = WorkingWave("a.wav", 0.002, 1000.0);
  const std::string b = WorkingWave("b.wav", 0.003, 2000.0);
  ASSERT_EQ(AssignWave(model, a, 0), 0u);
  ASSERT_EQ(AssignWave(model, b, 1), 0u);
  auto* tempo = new CAudioTempo;
  model.GetFile(1)->GetWaveForm()->GetWaveInfo()->AddTempo(tempo);
  auto* sync = new CSyncroPoint;
  model.GetFile(0)->GetWaveForm()->GetStyleWaveFormat()->AddSyncroPoint(sync);
  style.GetAudioInfo().CopyFrom(model);
  Bytes file;
  ASSERT_EQ(style.Write(file), 0u);

  // Whatever is accepted and written again reads back.
  auto check = [](const Bytes& bytes, std::size_t n) {
    CAudioStyleDecorator parsed;
    if (Result::failed(parsed.Parse(bytes.data(), n))) return;
    Bytes written;
    if (Result::failed(parsed.Write(written))) return;
    CAudioStyleDecorator again;
    EXPECT_EQ(again.Parse(written.data(), written.size()), 0u);
  };
  for (std::size_t n = 1; n < file.size(); ++n) check(file, n);
  std::uint32_t seed = 12345;
  for (int i = 0; i < 3000; ++i) {
    Bytes flipped = file;
    for (int k = 0; k < 3; ++k) {
      seed = seed * 1103515245u + 12345u;
      flipped[(seed >> 8) % flipped.size()] ^= static_cast<std::uint8_t>(1u << ((seed >> 4) % 8));
    }
    check(flipped, flipped.size());
  }
}
