#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include <sndfile.h>

#include <memory>
#include <vector>

#include "TempDir.h"
#include "TestAudio.h"
#include "WavSeeker_libSndFile.h"
#include "audioFileMngr.h"

namespace {

// Writes `frames` frames of a ramp in the given libsndfile format.
QString writeSound(const QString& name, int format, int channels, int rate, int frames) {
  const QString path = TestEnv::tempPath(name);
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* f = sf_open(path.toUtf8().constData(), SFM_WRITE, &info);
  EXPECT_NE(f, nullptr) << sf_strerror(nullptr);
  std::vector<short> data(static_cast<std::size_t>(frames) * channels);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<short>((i * 37) % 20000 - 10000);
  sf_writef_short(f, data.data(), frames);
  sf_close(f);
  return path;
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
