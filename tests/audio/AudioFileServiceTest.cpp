#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextCodec>
#include <QThread>
#include <QTimer>

#include <sndfile.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "SndfileWrite.h"
#include "TempDir.h"
#include "TestAudio.h"
#include "WavSeeker_libSndFile.h"
#include "audioFileMngr.h"

namespace {

// Sample i of what writeSound writes.
short rampSample(std::size_t i) { return static_cast<short>((i * 37) % 20000 - 10000); }

// Writes `frames` frames of a ramp in the given libsndfile format.
QString writeSound(const QString& name, int format, int channels, int rate, int frames) {
  const QString path = TestEnv::tempPath(name);
  std::vector<short> data(static_cast<std::size_t>(frames) * channels);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = rampSample(i);
  writeSndfile(path, format, channels, rate, data);
  return path;
}

// Float samples written as they are, through libsndfile.
QString writeFloats(const QString& name, const std::vector<float>& interleaved) {
  const QString path = TestEnv::tempPath(name);
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* f = sf_open(path.toUtf8().constData(), SFM_WRITE, &info);
  EXPECT_NE(f, nullptr);
  sf_command(f, SFC_SET_NORM_FLOAT, nullptr, SF_FALSE);
  sf_writef_float(f, interleaved.data(), static_cast<sf_count_t>(interleaved.size() / 2));
  sf_close(f);
  return path;
}

std::vector<short> samples16(const std::vector<std::uint8_t>& bytes) {
  std::vector<short> v;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) v.push_back(static_cast<short>(bytes[i] | bytes[i + 1] << 8));
  return v;
}

std::unique_ptr<IF_audioFileMngr> service() { return std::unique_ptr<IF_audioFileMngr>(audioFileMngr::create()); }

}  // namespace

TEST(AudioFileCheck, AcceptsStereo44kWhose16BitFlagIsSet) {
  auto files = service();
  std::uint64_t frames = 0;
  EXPECT_EQ(files->checkFile(writeSound("a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, 1500).toStdWString(),
                             frames), 0u);
  EXPECT_EQ(frames, 1500u);
  EXPECT_EQ(files->checkFile(writeSound("a.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 2, 44100, 700).toStdWString(),
                             frames), 0u);
  EXPECT_EQ(frames, 700u);
  EXPECT_EQ(files->checkFile(writeSound("b.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, 44100, 10).toStdWString(),
                             frames), 0u);
  EXPECT_EQ(files->checkFile(writeSound("f.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, 10).toStdWString(),
                             frames), 0u);
}

TEST(AudioFileCheck, RefusalsComeInTheirOrder) {
  auto files = service();
  std::uint64_t frames = 77;
  EXPECT_EQ(files->checkFile(TestEnv::tempPath("none.wav").toStdWString(), frames), 0x80000003u);
  EXPECT_EQ(files->checkFile(writeSound("m.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100, 10).toStdWString(),
                             frames), 0x80000004u);
  EXPECT_EQ(files->checkFile(writeSound("e.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 2, 44100, 10).toStdWString(),
                             frames), 0x80000005u);
  EXPECT_EQ(files->checkFile(writeSound("i.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 2, 44100, 10).toStdWString(),
                             frames), 0x80000005u);
  EXPECT_EQ(files->checkFile(writeSound("r.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 48000, 10).toStdWString(),
                             frames), 0x80000006u);
  EXPECT_EQ(frames, 77u) << "frames are set only when every check passes";
}

TEST(AudioFileCopy, WorkCopyHoldsEverySampleAs16BitStereo) {
  auto files = service();
  for (int frames : {1024 * 3, 1500, 1}) {
    const QString source = writeSound("src.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 2, 44100, frames);
    const QString target = TestEnv::tempPath("AST_temp.wav");
    ASSERT_EQ(files->copyFile(source.toStdWString(), target), 0u);
    std::vector<std::uint8_t> original, copy;
    ASSERT_EQ(files->readShortBytes(source.toStdWString(), original), 0u);
    ASSERT_EQ(files->readShortBytes(target.toStdWString(), copy), 0u);
    EXPECT_EQ(copy, original) << frames;
    std::uint64_t n = 0;
    EXPECT_EQ(files->checkFile(target.toStdWString(), n), 0u);
    EXPECT_EQ(n, static_cast<std::uint64_t>(frames));
    EXPECT_EQ(QFileInfo(target).size(), 44 + 4 * frames);
  }
}

TEST(AudioFileCopy, FloatSamplesAreScaledToSixteenBitsAndClippedAtFullScale) {
  auto files = service();
  const std::vector<float> values = {0.5f, -0.25f, 1.0f / 32768, -1.0f, 1.5f, -1.5f, 0.0f, 0.25f};
  const std::vector<short> expected = {16384, -8192, 1, -32768, 32767, -32768, 0, 8192};
  for (int format : {SF_FORMAT_WAV | SF_FORMAT_FLOAT, SF_FORMAT_WAV | SF_FORMAT_DOUBLE}) {
    const QString source = TestEnv::tempPath("float.wav");
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = format;
    SNDFILE* f = sf_open(source.toUtf8().constData(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    sf_command(f, SFC_SET_NORM_FLOAT, nullptr, SF_FALSE);  // stored exactly as given
    sf_writef_float(f, values.data(), static_cast<sf_count_t>(values.size() / 2));
    sf_close(f);
    const QString target = TestEnv::tempPath("AST_temp.wav");
    ASSERT_EQ(files->copyFile(source.toStdWString(), target), 0u);
    std::vector<std::uint8_t> copy;
    ASSERT_EQ(files->readShortBytes(target.toStdWString(), copy), 0u);
    ASSERT_EQ(copy.size(), 2 * expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
      EXPECT_EQ(static_cast<short>(copy[2 * i] | copy[2 * i + 1] << 8), expected[i]) << format << " sample " << i;
  }
}

TEST(AudioFileCopy, ATruncatedSourceCopiesOnlyWhatIsThere) {
  auto files = service();
  const QString source = TestEnv::tempPath("cut.wav");
  ASSERT_TRUE(TestAudio::writeWav(source, TestAudio::sine(1.0, 440.0)));
  {
    QFile f(source);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.resize(44 + 4 * 10000));  // the header still announces 44100 frames
  }
  const QString target = TestEnv::tempPath("copy.wav");
  ASSERT_EQ(files->copyFile(source.toStdWString(), target), 0u);
  std::uint64_t frames = 0;
  ASSERT_EQ(files->checkFile(target.toStdWString(), frames), 0u);
  EXPECT_EQ(frames, 10000u) << "no invented frames past the real end";
  EXPECT_FALSE(QFileInfo::exists(TestEnv::tempPath("failed.wav")));
  EXPECT_TRUE(Result::failed(files->copyFile(source.toStdWString(), TestEnv::tempPath("failed.wav/"))));
  EXPECT_FALSE(QFileInfo::exists(TestEnv::tempPath("failed.wav")));
  EXPECT_EQ(files->copyFile(TestEnv::tempPath("none.wav").toStdWString(), target), 0x80000001u);
  EXPECT_EQ(files->copyFile(source.toStdWString(), TestEnv::tempPath("no/such/dir/x.wav")), 0x80000002u);
}

TEST(AudioFileRead, RangesAndWritesRoundTrip) {
  auto files = service();
  const QString source = writeSound("r.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, 100);
  std::vector<std::uint8_t> all, part;
  ASSERT_EQ(files->readShortBytes(source.toStdWString(), all), 0u);
  ASSERT_EQ(files->readShortBytesRange(source.toStdWString(), part, 10, 20), 0u);
  EXPECT_EQ(part, std::vector<std::uint8_t>(all.begin() + 40, all.begin() + 80));
  EXPECT_EQ(files->readShortBytesRange(source.toStdWString(), part, 20, 20), 0x80000001u);

  const QString written = TestEnv::tempPath("w.wav");
  ASSERT_EQ(files->writeWaveFile(written.toStdWString(), all), 0u);
  std::vector<std::uint8_t> back;
  ASSERT_EQ(files->readShortBytes(written.toStdWString(), back), 0u);
  EXPECT_EQ(back, all);

  float* samples = nullptr;
  std::uint64_t count = 0;
  ASSERT_EQ(files->readFloatBuffer(source.toStdWString(), samples, count), 0u);
  std::unique_ptr<float[]> owned(samples);
  EXPECT_EQ(count, 200u);
  EXPECT_FLOAT_EQ(owned[1], static_cast<std::int16_t>(all[2] | (all[3] << 8)) / 32768.0f);
}

TEST(SoundFileReader, SeeksAndZeroFillsPastTheEnd) {
  const QString source = writeSound("s.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, 100);
  WavSeeker_libSndFile reader(source.toStdWString());
  ASSERT_TRUE(reader.isOpen());
  EXPECT_EQ(reader.length(), 100u);
  EXPECT_EQ(reader.channels(), 2u);
  EXPECT_EQ(reader.sampleRate(), 44100.0f);
  reader.seek(90);
  std::vector<float> buffer(40, 1.0f);
  EXPECT_EQ(reader.read(buffer.data(), 20), 10u);
  EXPECT_EQ(buffer[39], 0.0f);
  EXPECT_NE(buffer[0], 0.0f);

  WavSeeker_libSndFile missing(TestEnv::tempPath("none.wav").toStdWString());
  EXPECT_FALSE(missing.isOpen());
  EXPECT_EQ(missing.read(buffer.data(), 20), 0u);
}

TEST(AudioFileRead, OnlyStereoFilesAreReadAsLeftRightPairsAndCopiedFromTheirFirstTwoChannels) {
  auto files = service();
  constexpr int kFrames = 1500;
  for (int channels : {1, 2, 4}) {
    SCOPED_TRACE(channels);
    const QString path = writeSound(QString("c%1.wav").arg(channels), SF_FORMAT_WAV | SF_FORMAT_PCM_16, channels,
                                    44100, kFrames);
    const std::wstring name = path.toStdWString();
    const bool stereo = channels == 2;
    std::vector<std::uint8_t> bytes{9, 9};
    std::vector<float> floats{7.0f};
    float* buffer = nullptr;
    std::uint64_t count = 0;
    EXPECT_EQ(files->readShortBytes(name, bytes), stereo ? 0u : 0x80000007u);
    EXPECT_EQ(files->readFloatSamples(name, floats), stereo ? 0u : 0x80000007u);
    EXPECT_EQ(files->readFloatBuffer(name, buffer, count), stereo ? 0u : 0x80000004u);
    std::unique_ptr<float[]> owned(buffer);
    std::vector<std::uint8_t> range;
    EXPECT_EQ(files->readShortBytesRange(name, range, 0, kFrames), stereo ? 0u : 0x80000005u);
    if (!stereo) {
      EXPECT_EQ(bytes, (std::vector<std::uint8_t>{9, 9})) << "a refusal leaves what was there";
      EXPECT_EQ(floats, std::vector<float>{7.0f});
      EXPECT_EQ(buffer, nullptr);
    } else {
      ASSERT_EQ(bytes.size(), 2 + 4u * kFrames);
      ASSERT_EQ(floats.size(), 1 + 2u * kFrames);
      ASSERT_EQ(count, 2u * kFrames);
      const std::vector<short> read = samples16(std::vector<std::uint8_t>(bytes.begin() + 2, bytes.end()));
      for (std::size_t i = 0; i < 2u * kFrames; ++i) {
        ASSERT_EQ(read[i], rampSample(i)) << i;
        ASSERT_EQ(floats[1 + i], rampSample(i) / 32768.0f) << i;
        ASSERT_EQ(owned[i], rampSample(i) / 32768.0f) << i;
      }
      // A range up to the end holds the file's last frame too.
      EXPECT_EQ(range, std::vector<std::uint8_t>(bytes.begin() + 2, bytes.end()));
      ASSERT_EQ(files->readShortBytesRange(name, range, kFrames - 1, kFrames + 50), 0u);
      EXPECT_EQ(samples16(range), (std::vector<short>{rampSample(2 * kFrames - 2), rampSample(2 * kFrames - 1)}));
    }

    // The copy takes the first two channels (one channel on both sides).
    const QString copy = TestEnv::tempPath("copy.wav");
    ASSERT_EQ(files->copyFile(name, copy), 0u);
    std::vector<std::uint8_t> copied;
    ASSERT_EQ(files->readShortBytes(copy.toStdWString(), copied), 0u);
    const std::vector<short> out = samples16(copied);
    ASSERT_EQ(out.size(), 2u * kFrames);
    for (std::size_t f = 0; f < kFrames; ++f) {
      ASSERT_EQ(out[2 * f], rampSample(f * channels)) << f;
      ASSERT_EQ(out[2 * f + 1], rampSample(f * channels + (channels > 1 ? 1 : 0))) << f;
    }
  }
}

TEST(AudioFileCopy, NaNSamplesBecomeSilenceAndInfinitiesClipToFullScale) {
  auto files = service();
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  struct Case {
    const char* name;
    std::vector<float> in;
    std::vector<short> out;
  };
  const Case cases[] = {
      {"all-nan.wav", std::vector<float>(2 * 1500, nan), std::vector<short>(2 * 1500, 0)},
      {"mixed.wav", {nan, inf, -inf, 0.5f, -nan, 0.25f, 0.0f, nan}, {0, 32767, -32768, 16384, 0, 8192, 0, 0}},
  };
  for (const Case& c : cases) {
    const QString target = TestEnv::tempPath("AST_temp.wav");
    ASSERT_EQ(files->copyFile(writeFloats(c.name, c.in).toStdWString(), target), 0u) << c.name;
    std::vector<std::uint8_t> copy;
    ASSERT_EQ(files->readShortBytes(target.toStdWString(), copy), 0u);
    EXPECT_EQ(samples16(copy), c.out) << c.name;
  }
}

TEST(AudioFileCopy, TheEventLoopRunsBetweenBlocksOnlyOnTheGuiThread) {
  auto files = service();
  const std::wstring source =
      writeSound("long.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, 4 * 1024).toStdWString();
  bool ran = false;
  QTimer::singleShot(0, [&ran] { ran = true; });
  ASSERT_EQ(files->copyFile(source, TestEnv::tempPath("gui.wav")), 0u);
  EXPECT_TRUE(ran) << "the window stays responsive during a copy on the GUI thread";

  // A worker's own queued calls wait until its job is done.
  QThread worker;
  QObject onWorker;
  onWorker.moveToThread(&worker);
  worker.start();
  bool queuedRanDuringCopy = true;
  ResultCode copied = 1;
  QMetaObject::invokeMethod(
      &onWorker,
      [&] {
        bool queued = false;
        QTimer::singleShot(0, &onWorker, [&queued] { queued = true; });
        copied = files->copyFile(source, TestEnv::tempPath("worker.wav"));
        queuedRanDuringCopy = queued;
      },
      Qt::BlockingQueuedConnection);
  worker.quit();
  worker.wait();
  EXPECT_EQ(copied, 0u);
  EXPECT_FALSE(queuedRanDuringCopy);
  std::uint64_t frames = 0;
  EXPECT_EQ(files->checkFile(TestEnv::tempPath("worker.wav").toStdWString(), frames), 0u);
  EXPECT_EQ(frames, 4u * 1024);
}

TEST(AudioFileCopy, ACopyThatCannotBeWrittenWholeLeavesNoFile) {
  auto files = service();
  const std::wstring source =
      writeSound("big.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, 44100).toStdWString();
  // A file system that takes no more than 64 KiB of one file, as a full one.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  rlimit small = before;
  small.rlim_cur = 64 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const QString target = TestEnv::tempPath("AST_temp.wav");
  const ResultCode rc = files->copyFile(source, target);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &before), 0);
  EXPECT_EQ(rc, 0x80000004u);
  EXPECT_FALSE(QFileInfo::exists(target));
}

TEST(AudioFileNames, ANameWhoseBytesAreNotUtf8OpensInALatin1Locale) {
  QTextCodec* const before = QTextCodec::codecForLocale();
  QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
  const QByteArray folder = QFile::encodeName(TestEnv::tempDir());
  const QByteArray raw = folder + "/take\xff\xfe.wav";
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(raw.constData(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr);
  const std::vector<short> frames(2 * 300, 1234);
  sf_writef_short(f, frames.data(), 300);
  sf_close(f);

  const QString name = QFile::decodeName(raw);
  auto files = service();
  std::uint64_t count = 0;
  EXPECT_EQ(files->checkFile(name.toStdWString(), count), 0u);
  EXPECT_EQ(count, 300u);
  const QByteArray rawCopy = folder + "/copy\xff\xfe.wav";
  EXPECT_EQ(files->copyFile(name.toStdWString(), QFile::decodeName(rawCopy)), 0u);
  EXPECT_EQ(access(rawCopy.constData(), R_OK), 0) << "written under the same bytes";
  WavSeeker_libSndFile reader(name.toStdWString());
  EXPECT_TRUE(reader.isOpen());
  EXPECT_EQ(reader.length(), 300u);
  QTextCodec::setCodecForLocale(before);
}

TEST(SoundFileReader, ReadsEveryChannelAndHandsItsFileOver) {
  for (int channels : {1, 2, 4}) {
    const QString path = writeSound(QString("k%1.wav").arg(channels), SF_FORMAT_WAV | SF_FORMAT_PCM_16, channels,
                                    44100, 50);
    WavSeeker_libSndFile reader(path.toStdWString());
    EXPECT_EQ(reader.channels(), static_cast<std::uint32_t>(channels));
    std::vector<float> buffer(std::size_t(channels) * 60, 1.0f);
    reader.seek(20);
    ASSERT_EQ(reader.read(buffer.data(), 60), 30u);
    EXPECT_EQ(buffer[0], rampSample(20u * channels) / 32768.0f);
    EXPECT_EQ(buffer[std::size_t(channels) * 30], 0.0f) << "zeros past the end";

    // The other reader's open file moves over, position and all.
    WavSeeker_libSndFile taker(writeSound("other.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, 5).toStdWString());
    reader.seek(10);
    taker.takeFile(reader);
    EXPECT_FALSE(reader.isOpen());
    EXPECT_EQ(reader.read(buffer.data(), 5), 0u);
    EXPECT_EQ(taker.channels(), static_cast<std::uint32_t>(channels));
    EXPECT_EQ(taker.length(), 50u);
    ASSERT_EQ(taker.read(buffer.data(), 1), 1u);
    EXPECT_EQ(buffer[0], rampSample(10u * channels) / 32768.0f);
  }
}
