// The program's own WAV reading and writing: exact bytes on disk, every
// header check with its code, and files that are short, lying or unwritable.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDataStream>
#include <QFile>

#include "AnalysisUtil.h"
#include "FileSizeLimit.h"
#include "TempDir.h"
#include "TestAudio.h"
#include "WavBytes.h"

using WavBytes::wide;

namespace {

// A valid 1000-frame file written by the independent reference writer.
QByteArray referenceFile(const QString& path, std::size_t frames = 1000) {
  TestAudio::Stereo16 s = TestAudio::noise(static_cast<double>(frames) / 44100.0 + 1e-9, 0.8, 7);
  s.resize(frames * 2);
  EXPECT_TRUE(TestAudio::writeWav(path, s));
  return WavBytes::readAll(path);
}

ResultCode readCode(const QString& path) {
  AnalysisUtil util;
  std::vector<std::uint8_t> data;
  std::uint32_t size = 0;
  std::uint8_t flag = 0;
  return util.readWavFile(wide(path), data, size, flag);
}

}  // namespace

TEST(WavWriting, HeaderAndSamplesMatchTheReferenceWriterByteForByte) {
  const TestAudio::Stereo16 samples = TestAudio::sine(0.1, 440.0, 0.7);
  const QString ours = TestEnv::tempPath("ours.wav");
  const QString theirs = TestEnv::tempPath("theirs.wav");
  ASSERT_TRUE(TestAudio::writeWav(theirs, samples));

  const std::vector<std::uint8_t> bytes = WavBytes::toBytes(samples);
  AnalysisUtil util;
  ASSERT_EQ(util.writeWavFile(wide(ours), bytes.data(), static_cast<std::uint32_t>(bytes.size())), 0u);

  const QByteArray written = WavBytes::readAll(ours);
  EXPECT_EQ(written, WavBytes::readAll(theirs));
  EXPECT_EQ(written.size(), 44 + static_cast<int>(bytes.size()));
  EXPECT_EQ(WavBytes::getLE(written, 4, 4), bytes.size() + 36);
}

TEST(WavWriting, ReplacesALongerFileCompletely) {
  const QString path = TestEnv::tempPath("replace.wav");
  referenceFile(path, 5000);
  const std::vector<std::uint8_t> four = {1, 0, 2, 0, 3, 0, 4, 0};
  AnalysisUtil util;
  ASSERT_EQ(util.writeWavFile(wide(path), four.data(), 8), 0u);
  EXPECT_EQ(WavBytes::readAll(path).size(), 52);
}

TEST(WavWriting, EmptyDataGivesAHeaderOnlyFileThatReadsBack) {
  const QString path = TestEnv::tempPath("empty.wav");
  AnalysisUtil util;
  ASSERT_EQ(util.writeWavFile(wide(path), nullptr, 0), 0u);
  std::vector<std::uint8_t> data{9};
  std::uint32_t size = 1;
  std::uint8_t flag = 0;
  EXPECT_EQ(util.readWavFile(wide(path), data, size, flag), 0u);
  EXPECT_EQ(size, 0u);
  EXPECT_TRUE(data.empty());
}

TEST(WavWriting, FailuresAreReportedNotSwallowed) {
  AnalysisUtil util;
  const std::vector<std::uint8_t> small(400, 0x11);
  const std::vector<std::uint8_t> large(1 << 20, 0x22);

  // A folder that does not exist.
  EXPECT_EQ(util.writeWavFile(wide(TestEnv::tempPath("no/such/dir.wav")), small.data(), 400),
            0x80000001u);

  // A size the 32-bit RIFF size cannot hold is refused before anything is
  // opened or read from the (much shorter) buffer.
  const QString tooBig = TestEnv::tempPath("toobig.wav");
  EXPECT_EQ(util.writeWavFile(wide(tooBig), small.data(), 0xFFFFFFF0u), 0x80000004u);
  EXPECT_FALSE(QFile::exists(tooBig));
  EXPECT_EQ(util.writeWavFile(wide(tooBig), nullptr, 16), 0x80000004u);

  if (!QFile::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  // A small file fits the write buffer: the full disk shows at the flush.
  EXPECT_EQ(util.writeWavFile(L"/dev/full", small.data(), 400), 0x80000003u);
  // A large one fails on the write itself.
  EXPECT_EQ(util.writeWavFile(L"/dev/full", large.data(), static_cast<std::uint32_t>(large.size())),
            0x80000002u);
}

TEST(WavWriting, AShortWriteIsAFailureAndTheCutFileIsRejectedOnReading) {
  const QString path = TestEnv::tempPath("cut.wav");
  const std::vector<std::uint8_t> data(200000, 0x33);

  // Let the file system accept only the first 64 KiB, as a full disk would.
  AnalysisUtil util;
  ResultCode rc = 0;
  {
    FileSizeLimit full(65536);
    ASSERT_TRUE(full.holds());
    rc = util.writeWavFile(wide(path), data.data(), static_cast<std::uint32_t>(data.size()));
  }

  EXPECT_TRUE(Result::failed(rc));
  EXPECT_NE(rc, 0x80000001u);
  EXPECT_LE(QFile(path).size(), 65536);
  // The header promises 200000 bytes that are not there.
  EXPECT_EQ(readCode(path), 0x80000004u);
}

TEST(WavReading, ReadThenWriteReproducesTheFileWhole) {
  const QString src = TestEnv::tempPath("src.wav");
  const QString copy = TestEnv::tempPath("copy.wav");
  TestAudio::Stereo16 samples = TestAudio::noise(0.5, 1.0, 3);
  samples[0] = -32768;
  samples[1] = 32767;
  ASSERT_TRUE(TestAudio::writeWav(src, samples));

  AnalysisUtil util;
  std::vector<std::uint8_t> data;
  std::uint32_t size = 0;
  std::uint8_t flag = 0;
  ASSERT_EQ(util.readWavFile(wide(src), data, size, flag), 0u);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(size, samples.size() * 2);
  EXPECT_EQ(data, WavBytes::toBytes(samples));

  ASSERT_EQ(util.writeWavFile(wide(copy), data.data(), size), 0u);
  EXPECT_EQ(WavBytes::readAll(copy), WavBytes::readAll(src));
}

TEST(WavReading, ChunksAfterTheDataAreNotPartOfIt) {
  const QString path = TestEnv::tempPath("trailer.wav");
  QByteArray bytes = referenceFile(path, 100);
  bytes.append("LIST", 4);
  bytes.append(QByteArray("\x08\0\0\0INFOabcd", 12));
  ASSERT_TRUE(WavBytes::writeAll(path, bytes));

  AnalysisUtil util;
  std::vector<std::uint8_t> data;
  std::uint32_t size = 0;
  std::uint8_t flag = 0;
  ASSERT_EQ(util.readWavFile(wide(path), data, size, flag), 0u);
  EXPECT_EQ(size, 400u);
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(data.data()), 400), bytes.mid(44, 400));
}

// Each header field, given a wrong value, fails with its own code.
TEST(WavReading, EveryHeaderFieldIsCheckedWithItsOwnCode) {
  struct Case {
    const char* what;
    int offset;
    int size;
    std::uint32_t value;
    std::uint32_t code;
  };
  const Case cases[] = {
      {"RIFF tag", 0, 4, 0x46464952u ^ 1, 0x1},
      {"WAVE tag", 8, 4, 0x45564157u ^ 1, 0x3},
      {"fmt tag", 12, 4, 0x20746D66u ^ 1, 0x4},
      {"fmt size", 16, 4, 18, 0x5},
      {"format", 20, 2, 3, 0x6},
      {"channels", 22, 2, 1, 0x7},
      {"rate", 24, 4, 48000, 0x8},
      {"bytes per second", 28, 4, 176401, 0x9},
      {"block align", 32, 2, 2, 0xA},
      {"bits", 34, 2, 24, 0xB},
      {"data tag", 36, 4, 0x61746164u ^ 1, 0xC},
      {"RIFF size below data + 36", 4, 4, 4000 + 35, 0xD},
  };
  const QString good = TestEnv::tempPath("good.wav");
  const QByteArray original = referenceFile(good);
  ASSERT_EQ(readCode(good), 0u);
  for (const Case& c : cases) {
    QByteArray bytes = original;
    WavBytes::putLE(bytes, c.offset, c.value, c.size);
    const QString path = TestEnv::tempPath("bad.wav");
    ASSERT_TRUE(WavBytes::writeAll(path, bytes));
    EXPECT_EQ(readCode(path), 0x80000002u | (std::uint64_t{0x80000000u + c.code} << 4)) << c.what;
  }
}

TEST(WavReading, ForeignFormatsAreRefused) {
  AnalysisUtil util;
  const TestAudio::Stereo16 tone = TestAudio::sine(0.05, 440.0);

  const QString mono = TestEnv::tempPath("mono.wav");
  ASSERT_TRUE(TestAudio::writeWav(mono, tone, 1));
  EXPECT_EQ(readCode(mono), 0x80000002u | (0x80000007ull << 4));

  const QString rate48 = TestEnv::tempPath("48k.wav");
  ASSERT_TRUE(TestAudio::writeWav(rate48, tone, 2, 48000));
  EXPECT_EQ(readCode(rate48), 0x80000002u | (0x80000008ull << 4));

  // Any chunk between "fmt " and "data", however harmless.
  const QString listed = TestEnv::tempPath("list.wav");
  QByteArray bytes = referenceFile(listed);
  bytes.insert(36, QByteArray("LIST\x04\0\0\0INFO", 12));
  WavBytes::putLE(bytes, 4, WavBytes::getLE(bytes, 4, 4) + 12, 4);
  ASSERT_TRUE(WavBytes::writeAll(listed, bytes));
  EXPECT_EQ(readCode(listed), 0x80000002u | (0x8000000Cull << 4));
}

// A header cut anywhere fails with the code of the field that is incomplete.
TEST(WavReading, ATruncatedHeaderFailsAtTheFieldItCuts) {
  const QString good = TestEnv::tempPath("whole.wav");
  const QByteArray original = referenceFile(good);
  struct Cut {
    int length;
    std::uint32_t code;
  };
  const Cut cuts[] = {{0, 0x1},  {3, 0x1},  {4, 0x2},  {7, 0x2},  {8, 0x3},  {12, 0x4},
                      {17, 0x5}, {21, 0x6}, {23, 0x7}, {27, 0x8}, {31, 0x9}, {33, 0xA},
                      {35, 0xB}, {38, 0xC}, {40, 0xD}, {43, 0xD}};
  for (const Cut& c : cuts) {
    const QString path = TestEnv::tempPath("cut.wav");
    ASSERT_TRUE(WavBytes::writeAll(path, original.left(c.length)));
    EXPECT_EQ(readCode(path), 0x80000002u | (std::uint64_t{0x80000000u + c.code} << 4))
        << "cut at " << c.length;
  }
}

TEST(WavReading, ShortOrLyingDataSizesAreRefusedBeforeAllocating) {
  const QString path = TestEnv::tempPath("short.wav");
  const QByteArray whole = referenceFile(path, 1000);

  // Cut inside the samples.
  ASSERT_TRUE(WavBytes::writeAll(path, whole.left(44 + 3999)));
  EXPECT_EQ(readCode(path), 0x80000004u);

  // A header that claims nearly 4 GiB for a file of a few hundred bytes.
  QByteArray lying = whole.left(444);
  WavBytes::putLE(lying, 40, 0xFFFFFF00u, 4);
  WavBytes::putLE(lying, 4, 0xFFFFFFFFu, 4);
  ASSERT_TRUE(WavBytes::writeAll(path, lying));
  AnalysisUtil util;
  std::vector<std::uint8_t> data;
  std::uint32_t size = 7;
  std::uint8_t flag = 0;
  EXPECT_EQ(util.readWavFile(wide(path), data, size, flag), 0x80000004u);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(size, 0u);
  EXPECT_TRUE(data.empty());
  EXPECT_EQ(data.capacity(), 0u);

  // A missing file.
  EXPECT_EQ(readCode(TestEnv::tempPath("absent.wav")), 0x80000001u);
}

TEST(WavHeader, ProbeAndOpenReportTheFrameCountAndNestTheirCodes) {
  const QString path = TestEnv::tempPath("probe.wav");
  const QByteArray bytes = referenceFile(path, 1234);
  AnalysisUtil util;

  QFile file(path);
  std::uint64_t frames = 0;
  EXPECT_EQ(util.probeWav(file, frames), 0u);
  EXPECT_EQ(frames, 1234u);
  EXPECT_FALSE(file.isOpen());

  QFile missing(TestEnv::tempPath("missing.wav"));
  EXPECT_EQ(util.probeWav(missing, frames), 0x880000011u);
  EXPECT_EQ(frames, 0u);

  QByteArray mono = bytes;
  WavBytes::putLE(mono, 22, 1, 2);
  const QString monoPath = TestEnv::tempPath("probe-mono.wav");
  ASSERT_TRUE(WavBytes::writeAll(monoPath, mono));
  QFile monoFile(monoPath);
  EXPECT_EQ(util.probeWav(monoFile, frames), 0x880000021u | (0x80000007ull << 8));
  EXPECT_FALSE(monoFile.isOpen());

  // openWav leaves the stream on the first frame, and the device open even
  // after a bad header.
  QFile again(path);
  QDataStream stream;
  std::uint8_t flag = 0;
  ASSERT_EQ(util.openWav(again, stream, frames, flag), 0u);
  EXPECT_EQ(frames, 1234u);
  EXPECT_EQ(again.pos(), 44);
  QFile badAgain(monoPath);
  QDataStream badStream;
  EXPECT_EQ(util.openWav(badAgain, badStream, frames, flag), 0x880000072u);
  EXPECT_TRUE(badAgain.isOpen());
}

TEST(WavHeader, ParsesFromAnyStreamAndCountsWholeFrames) {
  QByteArray bytes = referenceFile(TestEnv::tempPath("p.wav"), 10);
  WavBytes::putLE(bytes, 40, 43, 4);  // not a whole number of frames
  WavBytes::putLE(bytes, 4, 43 + 36, 4);
  QBuffer buffer(&bytes);
  ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
  QDataStream stream(&buffer);
  stream.setByteOrder(QDataStream::LittleEndian);
  AnalysisUtil util;
  std::uint64_t frames = 99;
  EXPECT_EQ(util.parseWavHeader(stream, frames), 0u);
  EXPECT_EQ(frames, 10u);
  EXPECT_EQ(buffer.pos(), 44);
}
