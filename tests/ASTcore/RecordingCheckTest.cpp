// The check an export makes of its recordings before it renders: what it
// reports for each kind of change, the length the project holds (with the
// float step of the stored end), the analysis file's time as the date of
// the analysis, and the one message naming the first changed recording.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>

#include <map>

#include "AnalysedWaveName.h"
#include "CASTcore.h"
#include "IF_audioFileMngr.h"
#include "ImportedRecordings.h"
#include "RecordingCheck.h"
#include "TempDir.h"

namespace {

// The import's format check as the audio layer answers it, per path: a
// code and a frame count; every other service is refused.
class FakeFiles : public IF_audioFileMngr {
 public:
  struct Answer {
    ResultCode code = 0;
    std::uint64_t frames = 0;
  };
  std::map<std::wstring, Answer> answers;
  std::map<std::wstring, int> asked;
  std::map<std::wstring, RecordingFingerprint> prints;

  ResultCode checkFile(const std::wstring& path, std::uint64_t& frames) override {
    ++asked[path];
    const Answer answer = answers[path];
    if (answer.code == 0) frames = answer.frames;
    return answer.code;
  }
  ResultCode readFloatBuffer(const std::wstring&, float*&, std::uint64_t&) override { return Result::fail(1); }
  ResultCode readShortBytes(const std::wstring&, std::vector<std::uint8_t>&) override { return Result::fail(1); }
  ResultCode readFloatSamples(const std::wstring&, std::vector<float>&) override { return Result::fail(1); }
  ResultCode readShortBytesRange(const std::wstring&, std::vector<std::uint8_t>&, std::uint64_t,
                                 std::uint64_t) override {
    return Result::fail(1);
  }
  ResultCode writeWaveFile(const std::wstring&, const std::vector<std::uint8_t>&) override { return Result::fail(1); }
  ResultCode copyFile(const std::wstring&, const QString&) override { return Result::fail(1); }
  ResultCode fingerprint(const std::wstring& path, RecordingFingerprint& out) override {
    out = prints[path];
    return Result::kOk;
  }
  QString lastError() const override { return QString(); }
  void clearError() override {}
  bool exceptionFlag() const override { return false; }
};

void touch(const QString& path, const QDateTime& when) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadWrite)) << path.toStdString();
  // Written now, closing would make the time now.
  if (file.size() == 0) {
    ASSERT_TRUE(file.write("x") == 1 && file.flush());
  }
  ASSERT_TRUE(file.setFileTime(when, QFileDevice::FileModificationTime)) << path.toStdString();
}

WavInfo analysed(const QString& path, float end) {
  WavInfo wave;
  wave.fileName = path.toStdWString();
  wave.onsetTime = {0.0f, end};
  return wave;
}

const QDateTime kAnalysed = QDateTime::fromString("2026-05-04T10:00:00", Qt::ISODate);

}  // namespace

TEST(RecordingCheck, EachRefusalOfTheImportsFormatCheckIsNamed) {
  const QString path = TestEnv::tempPath("take.wav");
  touch(path, kAnalysed);
  const struct {
    ResultCode code;
    const char* text;
  } cases[] = {
      {0x80000003, "it can no longer be read as audio"},
      {0x80000004, "it is no longer stereo"},
      {0x80000005, "its sample format is no longer one the import takes"},
      {0x80000006, "its sample rate is no longer 44100 Hz"},
      {0x80000007, "it can no longer be read as one seekable stream"},
      {0x80000008, "it can no longer be read as one seekable stream"},
  };
  for (const auto& c : cases) {
    FakeFiles files;
    files.answers[path.toStdWString()] = {c.code, 44100};
    EXPECT_EQ(RecordingCheck::whatChanged(files, analysed(path, 1.0f)), c.text) << std::hex << c.code;
  }
}

TEST(RecordingCheck, TheLengthMustBeTheAnalysedOneWithinTheStoredFloatsStep) {
  // Ten minutes: a float holds 600 s to about 3 frames.
  const std::uint64_t tenMinutes = 600ull * 44100;
  EXPECT_TRUE(AnalysedWaveName::endsWithRecording(600.0f, tenMinutes));
  EXPECT_TRUE(AnalysedWaveName::endsWithRecording(static_cast<float>((tenMinutes + 1) / 44100.0), tenMinutes));
  EXPECT_TRUE(AnalysedWaveName::endsWithRecording(600.0f, tenMinutes + 2));
  EXPECT_FALSE(AnalysedWaveName::endsWithRecording(600.0f, tenMinutes + 441));
  EXPECT_FALSE(AnalysedWaveName::endsWithRecording(600.0f, tenMinutes - 441));
  EXPECT_TRUE(AnalysedWaveName::endsWithRecording(0.0f, 0));
  EXPECT_FALSE(AnalysedWaveName::endsWithRecording(0.0f, 3));

  const QString path = TestEnv::tempPath("take.wav");
  touch(path, kAnalysed);
  FakeFiles files;
  files.answers[path.toStdWString()] = {0, 4 * 44100 + 4410};
  EXPECT_EQ(RecordingCheck::whatChanged(files, analysed(path, 4.0f)), "it is 4.100 s long, not 4.000 s");
  files.answers[path.toStdWString()] = {0, 4 * 44100};
  EXPECT_EQ(RecordingCheck::whatChanged(files, analysed(path, 4.0f)), "");
}

TEST(RecordingCheck, ARecordingNewerThanItsAnalysisFileHasChangedAndWithoutOneOnlyFormatAndLengthCount) {
  const QString path = TestEnv::tempPath("song.take2.wav");
  const QString awi = AnalysedWaveName::pathFor(path);
  ASSERT_TRUE(awi.endsWith("song.take2.awi"));
  FakeFiles files;
  files.answers[path.toStdWString()] = {0, 44100};
  const WavInfo wave = analysed(path, 1.0f);

  touch(path, kAnalysed.addSecs(3600));
  EXPECT_EQ(RecordingCheck::whatChanged(files, wave), "") << "no analysis file to compare with";

  touch(awi, kAnalysed);
  EXPECT_EQ(RecordingCheck::whatChanged(files, wave),
            "it was modified (2026-05-04T11:00:00) after its analysis was written (2026-05-04T10:00:00)");
  QDateTime modified, written;
  EXPECT_TRUE(AnalysedWaveName::recordingChangedSince(awi, path, &modified, &written));
  EXPECT_EQ(modified, kAnalysed.addSecs(3600));
  EXPECT_EQ(written, kAnalysed);

  touch(path, kAnalysed);
  EXPECT_EQ(RecordingCheck::whatChanged(files, wave), "") << "as old as its analysis";
  touch(path, kAnalysed.addSecs(-60));
  EXPECT_EQ(RecordingCheck::whatChanged(files, wave), "");
}

TEST(RecordingCheck, AMissingRecordingIsLeftToTheRenderingThatReportsIt) {
  FakeFiles files;
  const QString path = TestEnv::tempPath("gone.wav");
  files.answers[path.toStdWString()] = {0x80000003, 0};
  EXPECT_EQ(RecordingCheck::whatChanged(files, analysed(path, 1.0f)), "");
  EXPECT_TRUE(files.asked.empty());
}

TEST(RecordingCheck, TheFirstChangedRecordingInSlotOrderIsNamedWithItsSectionsEachCheckedOnce) {
  const QString kept = TestEnv::tempPath("kept.wav");
  const QString changed = TestEnv::tempPath("changed.wav");
  const QString later = TestEnv::tempPath("later.wav");
  FakeFiles files;
  for (const QString& path : {kept, changed, later}) {
    touch(path, kAnalysed);
    files.answers[path.toStdWString()] = {0, 8 * 44100};
  }
  files.answers[changed.toStdWString()].code = 0x80000006;
  files.answers[later.toStdWString()].code = 0x80000004;

  CASTcore core;
  for (const QString& path : {kept, changed, later}) {
    auto* wave = new WavInfo(analysed(path, 8.0f));
    for (int k = 0; k <= 32; ++k) wave->beatTime.push_back(0.25f * k);
    ASSERT_EQ(core.addWavList(wave), 0u);
  }
  // Intro 1 on the kept recording, Main A and Fill In A on the changed one,
  // Main B on the one changed too but later in slot order; Main C is not
  // in use.
  const struct {
    std::uint8_t slot, wave, used;
  } sections[] = {{0, 0, 1}, {3, 1, 1}, {4, 2, 1}, {5, 1, 0}, {7, 1, 1}};
  for (const auto& s : sections) {
    SecInfo sec;
    sec.used = s.used;
    sec.wavNo = s.wave;
    sec.startAdrs = 0;
    sec.endAdrs = 2 * 44100;
    ASSERT_EQ(core.updateSecInfo(s.slot, sec), 0u);
  }

  EXPECT_EQ(RecordingCheck::checkSections(core, files), 0x80000001u);
  EXPECT_EQ(core.lastError, "The audio file \"" + changed +
                                "\" has changed since it was analysed: its sample rate is no longer 44100 Hz.\n"
                                "  section: Main A, Fill In A.\n\n"
                                "The project cannot be exported.\nPlease save it again as a stereo 44100 Hz audio "
                                "file and import it again, or assign another audio file to the sections.");
  EXPECT_EQ(files.asked[kept.toStdWString()], 1);
  EXPECT_EQ(files.asked[changed.toStdWString()], 1);
  EXPECT_EQ(files.asked.count(later.toStdWString()), 0u) << "the check stops at the first change";

  // Nothing changed: no message, and every recording asked once.
  FakeFiles unchanged;
  for (const QString& path : {kept, changed, later}) unchanged.answers[path.toStdWString()] = {0, 8 * 44100};
  core.clearLastError();
  EXPECT_EQ(RecordingCheck::checkSections(core, unchanged), 0u);
  EXPECT_TRUE(core.lastError.isEmpty());
  EXPECT_EQ(unchanged.asked.size(), 3u);
  for (const auto& entry : unchanged.asked) EXPECT_EQ(entry.second, 1);
}

TEST(RecordingCheck, ATakeWithAnOlderDateIsToldByTheAudioImportedOrByANewerAnalysisBesideIt) {
  // Each recording is older than its analysis and as long as the project's:
  // the dates and the length alone let every one pass.
  const QDateTime saved = kAnalysed.addSecs(-600);
  const WavInfo newerAnalysis = [] {
    WavInfo other = analysed(QString(), 4.0f);
    other.onsetTime = {0.0f, 0.6f, 4.0f};
    return other;
  }();
  const struct {
    const char* name;
    bool imported;            // in this run, as the project's analysis
    bool otherAudio;          // its audio now differs from the audio imported
    bool otherAnalysis;       // the project holds another analysis than the import's
    bool analysedAfterSave;   // the analysis beside it, of other audio, is newer than the project file
    const char* change;
  } cases[] = {
      {"kept.wav", true, false, false, false, ""},
      {"copied.wav", true, true, false, false,
       "its audio is no longer the audio imported (another take was put in its place)"},
      {"undone.wav", true, false, true, false, "the project holds an analysis of other audio than the one imported"},
      {"other copy.wav", false, false, false, true,
       "it was analysed again (2026-05-04T10:00:00) after the project was saved (2026-05-04T09:50:00), as other "
       "audio"},
      {"before save.wav", false, false, false, false, ""},
  };
  for (const auto& c : cases) {
    const QString path = TestEnv::tempPath(c.name);
    const QString awi = AnalysedWaveName::pathFor(path);
    WavInfo wave = analysed(path, 4.0f);
    wave.onsetTime = {0.0f, 0.5f, 4.0f};
    for (int k = 0; k <= 16; ++k) wave.beatTime.push_back(0.25f * k);
    CASTcore writer;
    auto* written = new WavInfo(c.analysedAfterSave || !c.imported ? newerAnalysis : wave);
    written->fileName = path.toStdWString();
    written->beatTime = wave.beatTime;
    ASSERT_EQ(writer.addWavList(written), 0u);
    ASSERT_EQ(writer.saveAwi(awi.toStdWString(), 0), 0u);
    touch(awi, c.analysedAfterSave ? kAnalysed : saved.addSecs(-60));
    touch(path, saved.addSecs(-120));

    FakeFiles files;
    files.answers[path.toStdWString()] = {0, 4 * 44100};
    files.prints[path.toStdWString()] = {4 * 44100, c.otherAudio ? 2u : 1u};
    ImportedRecordings imported;
    if (c.imported) {
      imported.remember(path, {4 * 44100, 1u},
                        c.otherAnalysis ? std::vector<float>{0.0f, 0.7f, 4.0f} : wave.onsetTime);
    }
    RecordingCheck::Context context;
    context.imported = &imported;
    context.projectSaved = saved;
    EXPECT_EQ(RecordingCheck::whatChanged(files, wave, context), c.change) << c.name;
  }
}
