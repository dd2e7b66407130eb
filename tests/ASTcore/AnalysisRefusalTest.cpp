// Recordings the analysis cannot analyse are refused at its entry with the
// reason a user can act on, and leave no analysed-wave file behind: one with
// no audio at all, and one longer than the analysis takes (made sparse, so
// the test writes a header and no hour of audio).

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include <cstdint>

#include "AnalysedWaveName.h"
#include "TempDir.h"
#include "TestAudio.h"
#include "anaThreadObj.h"
#include "audioFileMngr.h"

namespace {

void putLE(QByteArray& b, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b.append(static_cast<char>((v >> (8 * i)) & 0xff));
}

// A 16-bit stereo 44100 Hz WAV of `frames` frames of silence whose data is a
// hole in the file: the size is real, the disk holds only the header.
QString sparseRecording(const QString& name, std::uint64_t frames) {
  const QString path = TestEnv::tempPath(name);
  const auto dataBytes = static_cast<std::uint32_t>(frames * 4);
  QByteArray header("RIFF");
  putLE(header, 36 + dataBytes, 4);
  header.append("WAVEfmt ");
  putLE(header, 16, 4);
  putLE(header, 1, 2);           // PCM
  putLE(header, 2, 2);           // channels
  putLE(header, 44100, 4);       // rate
  putLE(header, 44100 * 4, 4);   // bytes per second
  putLE(header, 4, 2);           // block align
  putLE(header, 16, 2);          // bits
  header.append("data");
  putLE(header, dataBytes, 4);
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::WriteOnly));
  EXPECT_EQ(f.write(header), 44);
  EXPECT_TRUE(f.resize(44 + static_cast<qint64>(dataBytes)));
  return path;
}

struct Refusal {
  ResultCode code = 0;
  QString error;
  bool analysisLeft = true;
};

Refusal analyse(const QString& audio) {
  anaThreadObj worker(audioFileMngr::create());
  Refusal r;
  r.code = worker.analyzeProcTh({}, {audio});
  r.error = worker.errorString();
  r.analysisLeft = QFileInfo::exists(AnalysedWaveName::pathFor(audio));
  return r;
}

}  // namespace

TEST(AnalysisRefusal, ARecordingOverAnHourIsRefusedWithItsLengthAndTheLimit) {
  // 61 minutes, and an hour and one frame: both over the limit.
  struct Case {
    const char* name;
    std::uint64_t frames;
    const char* length;
  };
  for (const Case& c : {Case{"long.wav", 61ull * 60 * 44100, "61 min 0 s"},
                        Case{"hour.wav", 60ull * 60 * 44100 + 1, "60 min 1 s"}}) {
    const QString audio = sparseRecording(c.name, c.frames);
    testing::internal::CaptureStdout();
    const Refusal r = analyse(audio);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(Result::failed(r.code)) << c.name;
    EXPECT_EQ(r.error, QString("The recording is too long to analyze: it lasts %1, and the limit is 60 min.")
                           .arg(c.length))
        << c.name;
    EXPECT_FALSE(r.analysisLeft) << c.name << ": no analysed-wave file";
    EXPECT_EQ(printed.find("interval buffer overflow!"), std::string::npos) << c.name << ": nothing was analysed";
  }
}

TEST(AnalysisRefusal, ARecordingWithoutAudioIsRefusedAsEmpty) {
  // A header-only WAV: a recording interrupted before its first sample.
  const QString audio = TestEnv::tempPath("empty.wav");
  ASSERT_TRUE(TestAudio::writeWav(audio, {}));
  const Refusal r = analyse(audio);
  EXPECT_TRUE(Result::failed(r.code));
  EXPECT_EQ(r.error, "The recording holds no audio.");
  EXPECT_FALSE(r.analysisLeft);
}
