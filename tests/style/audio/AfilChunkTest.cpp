#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTranslator>

#include <cstring>
#include <memory>

#include "AudioModelCompare.h"
#include "AudioTestSupport.h"
#include "CAudioStyleDecorator.h"
#include "FileHelpers.h"
#include "TempDir.h"
#include "TestAudio.h"

using namespace AudioTest;

namespace {

const Bytes kDefaultAfmt = Of({0x00, 0x01, 0x00, 0x02, 0x00, 0x00, 0xAC, 0x44, 0x00, 0x02, 0xB1, 0x10, 0x00, 0x04,
                               0x00, 0x10});

// A file list owning its entries.
struct Files {
  AudioFileList list;
  ~Files() { CAudioInfo::DeleteFileList(list); }
  CAudioFile* AddDefault() {
    auto* f = new CAudioFile;
    f->Init();
    list.push_back(f);
    return f;
  }
};

Bytes Pattern(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>((i * 7 + i / 251) & 0xFF);
  return b;
}

// The body of the first chunk `id` found in `bytes` (a plain scan).
Bytes BodyOf(const Bytes& bytes, const std::string& id) {
  for (std::size_t i = 0; i + 8 <= bytes.size(); ++i) {
    if (std::equal(id.begin(), id.end(), bytes.begin() + i)) {
      const std::uint32_t n = (bytes[i + 4] << 24) | (bytes[i + 5] << 16) | (bytes[i + 6] << 8) | bytes[i + 7];
      return Bytes(bytes.begin() + i + 8, bytes.begin() + i + 8 + n);
    }
  }
  return {};
}

ResultCode ReadAfil(CAudioStyle& style, const Bytes& bytes, AudioFileList& into) {
  std::uint64_t pos = 4;
  return style.ReadAfilChunk(bytes.data(), bytes.size(), pos, into);
}

}  // namespace

TEST(AfilChunk, DefaultRecordingWritesTheDocumentedParts) {
  Files files;
  CAudioFile* file = files.AddDefault();
  const Bytes pcm = Pattern(40);
  file->GetWaveForm()->GetWaveData()->SetBytes(pcm.data(), pcm.size());
  CAudioStyle style;
  Bytes out;
  ASSERT_EQ(style.WriteAfilChunk(out, files.list), 0u);
  EXPECT_EQ(BodyOf(out, "ANdc"), Bytes(50, 0));
  const Bytes awav = BodyOf(out, "AWav");
  EXPECT_EQ(Bytes(awav.begin(), awav.begin() + 4), Text("WAVE"));
  EXPECT_EQ(BodyOf(out, "Afmt"), kDefaultAfmt);
  EXPECT_EQ(BodyOf(out, "Adat"), pcm);
  EXPECT_EQ(BodyOf(out, "AInf").size(), 32u);  // four empty lists
  EXPECT_EQ(BodyOf(out, "Sdec"), Text("Dummy"));
  EXPECT_EQ(BodyOf(out, "Sfmt").size(), 35u + 8u + 8u + 5u);

  class Version4 : public CAudioStyle {
   public:
    Version4() { formatVersion_ = 4; }
  } v4;
  Bytes out4;
  ASSERT_EQ(v4.WriteAfilChunk(out4, files.list), 0u);
  EXPECT_EQ(BodyOf(out4, "AInf").size(), 40u);

  Files none;
  Bytes empty;
  ASSERT_EQ(style.WriteAfilChunk(empty, none.list), 0u);
  EXPECT_TRUE(empty.empty());
}

TEST(AfilChunk, RecordsRoundTripWithTheirLowThirtyTwoBits) {
  Files files;
  CAudioFile* file = files.AddDefault();
  file->SetNameRecord(U8("take"), 4);
  file->SetSectionNamesText("Main A,Fill In AA", 17);
  CAudioWaveForm* wf = file->GetWaveForm();
  CAudioStyleWaveFormat* sf = wf->GetStyleWaveFormat();
  sf->SetFormatTag(1);
  sf->SetNumberOfBars(2);
  sf->SetField8(0x1'0000'0005ull);  // beyond 32 bits: only the low 32 survive
  sf->SetField11(88200);
  auto* sync = new CSyncroPoint;
  sync->SetPosition(44100);
  sync->SetIndex(2);
  sync->SetPackedTime(0x0404003C);
  sf->AddSyncroPoint(sync);
  CAudioWaveInfo* info = wf->GetWaveInfo();
  for (int i = 0; i < 3; ++i) {
    auto* p = new CAudioPoint;
    p->SetPosition(22050u * i);
    p->SetBeatIndex(static_cast<std::uint16_t>(i));
    p->SetTickOffset(static_cast<std::uint16_t>(10 * i));
    info->AddBeatPoint(p);
  }
  auto* t = new CAudioTempo;
  t->SetPosition(7);
  t->SetTempo(Of({0x07, 0xA1, 0x20}).data(), 3);
  info->AddTempo(t);
  const Bytes pcm = Pattern(400);
  wf->GetWaveData()->SetBytes(pcm.data(), pcm.size());

  CAudioStyle style;
  Bytes out;
  ASSERT_EQ(style.WriteAfilChunk(out, files.list), 0u);
  EXPECT_EQ(BodyOf(out, "SPnt"), Of({0x00, 0x00, 0xAC, 0x44, 0x00, 0x02, 0x04, 0x04, 0x00, 0x3C}));
  EXPECT_EQ(BodyOf(out, "ATmp"), Of({0, 0, 0, 7, 0x07, 0xA1, 0x20}));
  EXPECT_EQ(BodyOf(out, "BPnt").size(), 24u);
  Files back;
  ASSERT_EQ(ReadAfil(style, out, back.list), 0u);
  ASSERT_EQ(back.list.size(), 1u);
  std::uint64_t f8 = 0;
  back.list[0]->GetWaveForm()->GetStyleWaveFormat()->GetField8(f8);
  EXPECT_EQ(f8, 5u);
  sf->SetField8(5);
  ExpectSameFile(*file, *back.list[0]);
}

TEST(AfilChunk, LargeSampleDataIsReadIntoADatFile) {
  CAudioStyle style;
  for (const std::size_t n : {std::size_t{0xFFFFF}, std::size_t{0x100000}}) {
    const Bytes pcm = Pattern(n);
    const Bytes adat = Chunk("Adat", pcm);
    CAudioWaveForm wave;
    std::uint64_t pos = 4;
    ASSERT_EQ(style.ReadAdatChunk(adat.data(), adat.size(), pos, &wave), 0u);
    EXPECT_EQ(pos, adat.size());
    const CAudioWaveData* data = wave.GetWaveData();
    std::uint64_t inMemory = 0;
    data->GetMemorySize(inMemory);
    if (n == 0xFFFFF) {
      EXPECT_EQ(inMemory, n);
      EXPECT_TRUE(data->GetTempFilePath().empty());
    } else {
      EXPECT_EQ(inMemory, 0u);
      ASSERT_FALSE(data->GetTempFilePath().empty());
      EXPECT_EQ(GetFileSize(data->GetTempFilePath()), n);
    }
    // The writer takes the bytes from either place.
    Bytes written;
    ASSERT_EQ(style.WriteAdatChunk(written, data), 0u);
    EXPECT_EQ(written, adat);
  }
}

TEST(AfilChunk, FieldsStayInsideTheirChunks) {
  CAudioStyle style;
  // An SPnt of 15 bytes followed by more bytes: the second record does not
  // borrow from what follows.
  {
    CAudioStyleWaveFormat sf;
    const Bytes bytes = Cat({Chunk("SPnt", Pattern(15)), Bytes(20, 0xEE)});
    std::uint64_t pos = 4;
    EXPECT_EQ(style.ReadSpntChunk(bytes.data(), bytes.size(), pos, &sf),
              Result::nest(6, Result::nest(3, Result::fail(2))));
    EXPECT_EQ(sf.GetSyncroPointList().size(), 2u);
  }
  // A longer Afmt is stepped over to its end; a shorter one fails.
  {
    CAudioWaveForm wave;
    const Bytes bytes = Cat({Chunk("Afmt", Cat({kDefaultAfmt, Of({9, 9, 9, 9})})), Text("next")});
    std::uint64_t pos = 4;
    ASSERT_EQ(style.ReadAfmtChunk(bytes.data(), bytes.size(), pos, &wave), 0u);
    EXPECT_EQ(pos, bytes.size() - 4);
    CAudioWaveFormat expected;
    expected.SetDefault();
    EXPECT_EQ(*wave.GetWaveFormat(), expected);
    const Bytes shortFmt = Cat({Chunk("Afmt", Bytes(kDefaultAfmt.begin(), kDefaultAfmt.begin() + 10)), Bytes(8, 0)});
    pos = 4;
    EXPECT_EQ(style.ReadAfmtChunk(shortFmt.data(), shortFmt.size(), pos, &wave),
              Result::nest(7, Result::nest(5, Result::fail(2))));
  }
  // An ANdc of 60 bytes keeps 50 and steps over all 60.
  {
    CAudioFile file;
    const Bytes bytes = Chunk("ANdc", Pattern(60));
    std::uint64_t pos = 4;
    ASSERT_EQ(style.ReadAndcChunk(bytes.data(), bytes.size(), pos, &file), 0u);
    EXPECT_EQ(pos, bytes.size());
    Bytes record(50);
    std::uint64_t n = 50;
    file.GetNameRecord(record.data(), n);
    EXPECT_EQ(record, Pattern(50));
  }
  // A Sfmt whose fixed part is cut short by its own length.
  {
    CAudioWaveForm wave;
    const Bytes bytes = Cat({Chunk("Sfmt", Bytes(20, 1)), Bytes(40, 0)});
    std::uint64_t pos = 4;
    EXPECT_EQ(style.ReadSfmtChunk(bytes.data(), bytes.size(), pos, &wave),
              Result::nest(7, Result::nest(9, Result::fail(2))));
  }
  // Sub-chunks of another kind and lengths beyond their container.
  {
    Files back;
    EXPECT_EQ(ReadAfil(style, Chunk("AFil", Chunk("ADSg", Chunk("Adat", Of({1})))), back.list),
              Result::nest(4, Result::fail(9)));
    EXPECT_EQ(back.list.size(), 1u);
    EXPECT_EQ(ReadAfil(style, Cat({Text("AFil"), U32BE(40), Bytes(8, 0)}), back.list), 0x80000006u);
  }
}

TEST(AfilChunk, RecordingWithoutSectionNamesStillReadsBack) {
  Files files;
  CAudioFile* file = files.AddDefault();
  file->ClearSectionNames();
  const Bytes pcm = Pattern(8);
  file->GetWaveForm()->GetWaveData()->SetBytes(pcm.data(), pcm.size());
  CAudioStyle style;
  Bytes out;
  ASSERT_EQ(style.WriteAfilChunk(out, files.list), 0u);
  EXPECT_TRUE(BodyOf(out, "Sdec").empty());
  Files back;
  ASSERT_EQ(ReadAfil(style, out, back.list), 0u);
  EXPECT_TRUE(back.list[0]->HasNoSectionNames());
}

TEST(AfilChunk, UnreadableSourceWaveIsReportedWithItsPath) {
  Files files;
  CAudioFile* file = files.AddDefault();
  const std::string missing = TestEnv::tempPath("gone/AST_temp_Main A.wav").toStdString();
  file->GetWaveForm()->GetWaveData()->SetFilePath(missing);
  CAudioStyleDecorator style;
  Bytes out;
  const ResultCode rc = style.WriteAfilChunk(out, files.list);
  EXPECT_EQ(rc, Result::nest(4, Result::nest(4, Result::nest(7, Result::nest(4, Result::nest(6, Result::fail(1)))))));
  EXPECT_TRUE(out.empty());
  EXPECT_TRUE(style.HasWaveReadError());
  EXPECT_EQ(style.GetUnreadableWavePath(), missing);
  EXPECT_EQ(style.GetWaveReadErrorText(), "wave file read error!\r\n" + missing);
  // The format kept its defaults since the file could not be read.
  CAudioWaveFormat expected;
  expected.SetDefault();
  EXPECT_EQ(*file->GetWaveForm()->GetWaveFormat(), expected);

  // A later write that succeeds forgets the error.
  const Bytes pcm = Pattern(4);
  file->GetWaveForm()->GetWaveData()->SetBytes(pcm.data(), pcm.size());
  ASSERT_EQ(style.WriteAfilChunk(out, files.list), 0u);
  EXPECT_FALSE(style.HasWaveReadError());
  EXPECT_TRUE(style.GetWaveReadErrorText().empty());
}

TEST(AfilChunk, DirectWaveReadNamesTheUnreadableFile) {
  // The style manager reads recordings through a reader of its own and
  // takes the error text from it.
  const std::string missing = TestEnv::tempPath("gone/AST_temp_Main B.wav").toStdString();
  CAudioStyleDecorator reader;
  Bytes bytes = Of({1, 2});
  EXPECT_EQ(reader.ReadWaveFile(bytes, missing), 0x80000001u);
  EXPECT_EQ(bytes, Of({1, 2}));
  EXPECT_TRUE(reader.HasWaveReadError());
  EXPECT_EQ(reader.GetWaveReadErrorText(), "wave file read error!\r\n" + missing);

  const QString path = TestEnv::tempPath("present.wav");
  ASSERT_TRUE(TestAudio::writeWav(path, std::vector<std::int16_t>(8, 3), 2, 44100));
  CAudioStyleDecorator fresh;
  ASSERT_EQ(fresh.ReadWaveFile(bytes, path.toStdString()), 0u);
  EXPECT_FALSE(fresh.HasWaveReadError());
  EXPECT_EQ(bytes.size(), 2u + 16u);
}

namespace {

// Answers only the program's global messages.
class GlobalMessageTranslator : public QTranslator {
 public:
  QString translate(const char* context, const char* source, const char* = nullptr, int = -1) const override {
    if (QString::fromLatin1(context) != "BrevanGlobalMessage") return QString();
    return QString::fromLatin1("[") + QString::fromLatin1(source) + "]";
  }
  bool isEmpty() const override { return false; }
};

}  // namespace

TEST(AfilChunk, WaveReadErrorTextIsTranslatedAsAGlobalMessage) {
  GlobalMessageTranslator translator;
  ASSERT_TRUE(QCoreApplication::installTranslator(&translator));
  const std::string missing = TestEnv::tempPath("gone.wav").toStdString();
  CAudioStyleDecorator reader;
  Bytes bytes;
  EXPECT_NE(reader.ReadWaveFile(bytes, missing), 0u);
  const std::string text = reader.GetWaveReadErrorText();
  QCoreApplication::removeTranslator(&translator);
  EXPECT_EQ(text, "[wave file read error!\r\n]" + missing);
}

namespace {
int qtWarnings = 0;
void CountWarnings(QtMsgType, const QMessageLogContext&, const QString&) { ++qtWarnings; }
}  // namespace

TEST(AfilChunk, RecordingWithoutSourcePathWritesWithoutQtWarnings) {
  Files files;
  CAudioFile* file = files.AddDefault();
  const Bytes pcm = Pattern(8);
  file->GetWaveForm()->GetWaveData()->SetBytes(pcm.data(), pcm.size());
  CAudioStyle style;
  Bytes out, bytes;
  CAudioWaveFormat format;
  qtWarnings = 0;
  const QtMessageHandler previous = qInstallMessageHandler(CountWarnings);
  const ResultCode written = style.WriteAfilChunk(out, files.list);
  const ResultCode formatRead = style.ReadWaveFormat(&format, "");
  const ResultCode waveRead = style.ReadWaveFile(bytes, "");
  qInstallMessageHandler(previous);
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(formatRead, 0x80000002u);
  EXPECT_EQ(waveRead, 0x80000001u);
  EXPECT_EQ(qtWarnings, 0);
}

TEST(AfilChunk, SourceWaveGivesBytesAndFormat) {
  // A mono 22050 Hz recording: the format is taken from the file.
  std::vector<std::int16_t> mono(2500 / 2);
  for (std::size_t i = 0; i < mono.size(); ++i) mono[i] = static_cast<std::int16_t>(i * 13);
  const QString path = TestEnv::tempPath("mono.wav");
  ASSERT_TRUE(TestAudio::writeWav(path, mono, 1, 22050));
  Files files;
  CAudioFile* file = files.AddDefault();
  file->GetWaveForm()->GetWaveData()->SetFilePath(path.toStdString());
  CAudioStyle style;
  Bytes out;
  ASSERT_EQ(style.WriteAfilChunk(out, files.list), 0u);
  const auto* raw = reinterpret_cast<const std::uint8_t*>(mono.data());
  EXPECT_EQ(BodyOf(out, "Adat"), Bytes(raw, raw + 2500));
  EXPECT_EQ(BodyOf(out, "Afmt"), Of({0, 1, 0, 1, 0, 0, 0x56, 0x22, 0, 0, 0xAC, 0x44, 0, 2, 0, 16}));

  Bytes appended = Of({9});
  ASSERT_EQ(style.ReadWaveFile(appended, path.toStdString()), 0u);
  EXPECT_EQ(appended.size(), 2501u);
  CAudioWaveFormat format;
  EXPECT_EQ(style.ReadWaveFormat(&format, TestEnv::tempPath("none.wav").toStdString()), 0x80000002u);
  EXPECT_EQ(style.ReadWaveFormat(nullptr, path.toStdString()), 0x80000001u);
  // A "fmt " body cut after the sample rate keeps what it read.
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadWrite));
  f.resize(28);
  f.close();
  EXPECT_EQ(style.ReadWaveFormat(&format, path.toStdString()), 0x8000000Au);
  std::uint64_t rate = 0;
  format.GetSampleRate(rate);
  EXPECT_EQ(rate, 22050u);
}

TEST(AfilChunk, RecordBytesWithoutHeaders) {
  Files files;
  CAudioFile* file = files.AddDefault();
  file->SetNameRecord(U8("n"), 1);
  auto* p = new CAudioPoint;
  p->SetPosition(0x01020304);
  p->SetBeatIndex(5);
  p->SetTickOffset(6);
  file->GetWaveForm()->GetWaveInfo()->AddAttackPoint(p);
  const Bytes pcm = Pattern(2000000);
  file->GetWaveForm()->GetWaveData()->SetBytesToTempFile(pcm.data(), pcm.size());
  CAudioStyleDecorator style;
  Bytes out;
  ASSERT_EQ(style.GetAfmtBytes(file, out), 0u);
  EXPECT_EQ(out, kDefaultAfmt);
  ASSERT_EQ(style.GetSfmtBytes(file, out), 0u);
  EXPECT_EQ(out.size(), 35u);
  ASSERT_EQ(style.GetNameRecordBytes(file, out), 0u);
  EXPECT_EQ(out, NameRecord("n"));
  ASSERT_EQ(style.GetAttackPointBytes(file, out), 0u);
  EXPECT_EQ(out, Of({1, 2, 3, 4, 0, 5, 0, 6}));
  ASSERT_EQ(style.GetBeatPointBytes(file, out), 0u);
  EXPECT_TRUE(out.empty());
  ASSERT_EQ(style.GetWaveBytes(file, out), 0u);
  EXPECT_EQ(out, pcm);
  EXPECT_EQ(style.GetWaveBytes(nullptr, out), 0x80000001u);
  file->GetWaveForm()->GetWaveData()->Clear();
  EXPECT_EQ(style.GetWaveBytes(file, out), 0x80000004u);
  file->GetWaveForm()->DeleteWaveInfo();
  EXPECT_EQ(style.GetTempoBytes(file, out), 0x80000002u);
}

TEST(AfilChunk, WrittenBehindOtherBytesOrFailingOnALaterRecording) {
  // Two recordings, the second read from its WAV file.
  Files files;
  const Bytes first = Pattern(4000);
  files.AddDefault()->GetWaveForm()->GetWaveData()->SetBytes(first.data(), first.size());
  const QString wavePath = TestEnv::tempPath("second.wav");
  const TestAudio::Stereo16 samples = TestAudio::sine(0.05, 440.0);
  ASSERT_TRUE(TestAudio::writeWav(wavePath, samples));
  CAudioFile* second = files.AddDefault();
  second->GetWaveForm()->GetWaveData()->SetFilePath(wavePath.toStdString());

  // Behind bytes already there, the chunk starts where they end and its
  // sizes count from there: the chunk reads back, both recordings whole.
  const Bytes before = Of({'M', 'T', 'r', 'k', 0x01, 0x02, 0x03});
  CAudioStyle style;
  Bytes out = before;
  ASSERT_EQ(style.WriteAfilChunk(out, files.list), 0u);
  ASSERT_TRUE(std::equal(before.begin(), before.end(), out.begin()));
  const Bytes chunk(out.begin() + static_cast<std::ptrdiff_t>(before.size()), out.end());
  Bytes alone;
  ASSERT_EQ(style.WriteAfilChunk(alone, files.list), 0u);
  EXPECT_EQ(chunk, alone);
  Files back;
  ASSERT_EQ(ReadAfil(style, chunk, back.list), 0u);
  ASSERT_EQ(back.list.size(), 2u);
  Bytes pcm;
  CAudioStyleDecorator reader;
  ASSERT_EQ(reader.GetWaveBytes(back.list[0], pcm), 0u);
  EXPECT_EQ(pcm, first);
  ASSERT_EQ(reader.GetWaveBytes(back.list[1], pcm), 0u);
  ASSERT_EQ(pcm.size(), samples.size() * 2);
  EXPECT_EQ(0, std::memcmp(pcm.data(), samples.data(), pcm.size()));

  // The second recording's file gone: nothing of the first recording's
  // chunks stays behind, and the bytes before are untouched.
  ASSERT_TRUE(QFile::remove(wavePath));
  out = before;
  EXPECT_TRUE(Result::failed(style.WriteAfilChunk(out, files.list)));
  EXPECT_EQ(out, before);
}
