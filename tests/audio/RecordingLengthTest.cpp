// A recording cut short keeps the header that promised the whole length:
// the measure reads both, for WAV and AIFF, and calls a whole file whole.

#include <gtest/gtest.h>

#include <QFile>

#include <sndfile.h>

#include <vector>

#include "RecordingLength.h"
#include "SndfileWrite.h"
#include "TempDir.h"

namespace {

constexpr int kRate = 44100;
constexpr int kSeconds = 10;

QString writeTenSeconds(const QString& name, int format) {
  const QString path = TestEnv::tempPath(name);
  writeSndfile(path, format, 2, kRate, std::vector<short>(std::size_t(kSeconds) * kRate * 2, 1000));
  return path;
}

// Cuts the file to its header and `seconds` of its data (4 bytes a frame),
// the header bytes found as the file size less the data written.
void cutTo(const QString& path, double seconds) {
  QFile file(path);
  const qint64 header = file.size() - qint64(kSeconds) * kRate * 4;
  ASSERT_TRUE(file.resize(header + qint64(seconds * kRate) * 4));
}

}  // namespace

TEST(RecordingLength, ACutFileShowsWhatItHoldsAgainstWhatItsHeaderPromises) {
  const struct {
    const char* name;
    int format;
    double cut;
  } cases[] = {{"a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 3.5},
               {"b.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 9.0},
               {"a.aif", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 3.5},
               {"b.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 9.0}};
  for (const auto& c : cases) {
    const QString path = writeTenSeconds(c.name, c.format);
    RecordingLength whole;
    ASSERT_EQ(RecordingLength::measure(path.toStdWString(), whole), 0u) << c.name;
    EXPECT_FALSE(whole.cutShort()) << c.name;
    EXPECT_DOUBLE_EQ(whole.declaredSeconds(), kSeconds) << c.name;

    cutTo(path, c.cut);
    RecordingLength cut;
    ASSERT_EQ(RecordingLength::measure(path.toStdWString(), cut), 0u) << c.name;
    EXPECT_TRUE(cut.cutShort()) << c.name;
    EXPECT_DOUBLE_EQ(cut.heldSeconds(), c.cut) << c.name;
    EXPECT_DOUBLE_EQ(cut.declaredSeconds(), kSeconds) << c.name;
  }
}

TEST(RecordingLength, AWaveStreamedWithoutItsSizeIsNotCalledShort) {
  const QString path = writeTenSeconds("streamed.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadWrite));
  const qint64 data = file.readAll().indexOf("data");
  ASSERT_GT(data, 0);
  ASSERT_TRUE(file.seek(data + 4));
  ASSERT_EQ(file.write("\xff\xff\xff\xff", 4), 4);
  file.close();
  RecordingLength streamed;
  ASSERT_EQ(RecordingLength::measure(path.toStdWString(), streamed), 0u);
  EXPECT_FALSE(streamed.cutShort());
  EXPECT_DOUBLE_EQ(streamed.heldSeconds(), kSeconds);
}
