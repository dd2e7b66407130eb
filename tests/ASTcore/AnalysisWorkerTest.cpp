#include <gtest/gtest.h>

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>

#include <sndfile.h>

#include <memory>
#include <stdexcept>

#include "ASTprotoSettings.h"
#include "AnalysedWaveName.h"
#include "CASTcore.h"
#include "CASTcoreTestAccess.h"
#include "SndfileWrite.h"
#include "TempDir.h"
#include "TempWaveFiles.h"
#include "TestAudio.h"
#include "anaThread.h"
#include "anaThreadObj.h"
#include "audioFileMngr.h"

class anaThreadObjTestAccess {
 public:
  static CASTcore& core(anaThreadObj& obj) { return obj.core; }
};

namespace {

// The options the main window passes: segmenter estimates the metre, the
// fallback and beat range use 4/4.
const std::uint64_t kDefaultOptions = AnalysisOptions().pack();

struct Outcome {
  bool analyzed = false;
  bool failed = false;
  bool timedOut = false;
  std::vector<int> progress;
  QString error;
  bool aborted = false;
};

// Plays the main window's part: start the thread, wait for its answer,
// end the thread.
Outcome runImport(const QStringList& files, int abortAfterMs = -1, const QStringList& dirs = {}) {
  Outcome out;
  auto thread = std::make_unique<anaThread>(audioFileMngr::create());
  anaThreadObj* worker = thread->worker();
  EXPECT_NE(worker, nullptr);
  QEventLoop loop;
  QObject::connect(worker, &anaThreadObj::signalAnalyzed, &loop, [&] {
    out.analyzed = true;
    loop.quit();
  });
  QObject::connect(worker, &anaThreadObj::signalErr, &loop, [&] {
    out.failed = true;
    loop.quit();
  });
  QObject::connect(worker, &anaThreadObj::signalProgress, &loop,
                   [&](unsigned char, unsigned char, unsigned char v) { out.progress.push_back(v); });
  QTimer::singleShot(120000, &loop, [&] {
    out.timedOut = true;
    loop.quit();
  });
  if (abortAfterMs >= 0) QTimer::singleShot(abortAfterMs, &loop, [&] { thread->abortWorker(); });
  thread->setOptions(kDefaultOptions);
  thread->setFileLists(dirs, files);
  thread->start();
  loop.exec();
  out.error = thread->errorString();
  out.aborted = thread->wasAborted();
  thread->abort();
  EXPECT_TRUE(thread->wait(10000)) << "the thread ends promptly once released";
  return out;
}

QString clickTrack(const QString& name, double seconds = 30.0) {
  const QString path = TestEnv::tempPath(name);
  // 120 BPM, accent on every bar.
  EXPECT_TRUE(TestAudio::writeWav(path, TestAudio::clickTrack(seconds, 0.5, 0.0, 4)));
  return path;
}

QString soundWithFormat(const QString& name, int format, int channels, int rate) {
  const QString path = TestEnv::tempPath(name);
  writeSndfile(path, format, channels, rate, std::vector<short>(static_cast<std::size_t>(rate) * channels, 1000));
  return path;
}

class FailingSegmenter : public IF_segmenter {
 public:
  QObject* asQObject() override { return this; }
  ResultCode execute(const QString&, std::uint64_t) override { throw std::runtime_error("engine failure"); }
  const std::vector<SegItem>& results() const override { return items; }
  void setResults(const std::vector<SegItem>& i) override { items = i; }
  void getBeats(std::vector<float>& beats, std::int32_t& num, std::int32_t& den) override {
    beats.clear();
    num = 4;
    den = 4;
  }
  QString lastError() const override { return {}; }
  void clearError() override {}
  bool hasException() const override { return false; }
  void requestAbort() override {}
  void thruProgress(const unsigned char) override {}

 private:
  std::vector<SegItem> items;
};

// Analyses its first work copy as a steady grid of half-second beats up to
// 20 s; every later run throws, keeping those beats as the real segmenter
// keeps the results of its last complete run.
class FailsAfterFirstRun : public FailingSegmenter {
 public:
  ResultCode execute(const QString& path, std::uint64_t meter) override {
    if (runs++ > 0) return FailingSegmenter::execute(path, meter);
    for (int i = 0; i <= 40; ++i) beats.push_back(0.5f * i);
    return 0;
  }
  void getBeats(std::vector<float>& out, std::int32_t& num, std::int32_t& den) override {
    out = beats;
    num = 4;
    den = 4;
  }

 private:
  int runs = 0;
  std::vector<float> beats;
};

class FailingOnsets : public IF_onsetAnalyzer {
 public:
  ResultCode analyse(const QString&, std::uint64_t& frames, std::vector<float>&) override {
    frames = 0;
    return 0x80000003u;
  }
  QString lastError() const override { return {}; }
  void clearError() override {}
  bool hasException() const override { return false; }
};

}  // namespace

TEST(AnalysisWorker, AFailedSegmentationNeverTakesThePreviousFilesBeats) {
  const QString first = clickTrack("first.wav", 20.0);
  const QString second = clickTrack("second.wav", 6.0);
  anaThreadObj worker(audioFileMngr::create());
  worker.setOptions(kDefaultOptions);
  CASTcoreTestAccess::setSegmenter(anaThreadObjTestAccess::core(worker), new FailsAfterFirstRun);
  ASSERT_EQ(worker.analyzeProcTh({}, {first, second}), 0u) << worker.errorString().toStdString();

  CASTcore project;
  auto* record = new WavInfo;
  ASSERT_EQ(project.addAnalyzedFile(record, AnalysedWaveName::pathFor(second), 6 * 44100), 0u)
      << project.lastError.toStdString();
  WavInfo* wave = nullptr;
  project.getWaveInfo(0, &wave);
  EXPECT_NEAR(wave->beatTime.back(), 6.0f, 1e-3) << "the second file's own one-bar grid";
}

TEST(AnalysisWorker, ARecoveredSegmenterFailureDoesNotHideALaterStepsMessage) {
  const QString audio = clickTrack("later.wav", 6.0);
  anaThreadObj worker(audioFileMngr::create());
  worker.setOptions(kDefaultOptions);
  CASTcore& core = anaThreadObjTestAccess::core(worker);
  CASTcoreTestAccess::setSegmenter(core, new FailingSegmenter);
  CASTcoreTestAccess::setOnsetAnalyzer(core, new FailingOnsets);
  EXPECT_TRUE(Result::failed(worker.analyzeProcTh({}, {audio})));
  EXPECT_TRUE(worker.errorString().startsWith("#0069 error at doAnalyzeOnsetTh() analyzeOnset [80000003]"))
      << worker.errorString().toStdString();
}

TEST(AnalysisWorker, AClickTrackImportsEndToEnd) {
  const QString audio = clickTrack("song.wav", 12.0);
  const Outcome out = runImport({audio});
  ASSERT_FALSE(out.timedOut);
  ASSERT_TRUE(out.analyzed) << out.error.toStdString();
  EXPECT_FALSE(out.aborted);
  const QString awi = AnalysedWaveName::pathFor(audio);
  ASSERT_TRUE(QFileInfo::exists(awi));
  EXPECT_EQ(QFileInfo(awi).fileName(), "song.awi");
  EXPECT_TRUE(AnalysedWaveName::matches(awi, audio));
  EXPECT_FALSE(AnalysedWaveName::matches(awi, TestEnv::tempPath("song.aiff"))) << "another file of the same base name";
  EXPECT_EQ(out.progress.back(), 100);
  for (std::size_t i = 1; i < out.progress.size(); ++i) EXPECT_LE(out.progress[i - 1], out.progress[i]);

  CASTcore project;
  auto* record = new WavInfo;
  ASSERT_EQ(project.addAnalyzedFile(record, awi, 12 * 44100), 0u) << project.lastError.toStdString();
  ASSERT_EQ(project.waveCount(), 1u);
  bool used = false;
  project.isAnySectionUsed(used);
  EXPECT_TRUE(used);
  const std::uint64_t tempo = project.getCommonInfo().tempo;
  EXPECT_GE(tempo, 5u);
  EXPECT_LE(tempo, 500u);
  WavInfo* wave = nullptr;
  project.getWaveInfo(0, &wave);
  EXPECT_EQ(QString::fromStdWString(wave->fileName), QFileInfo(audio).absoluteFilePath());
  EXPECT_FALSE(wave->beatTime.empty());
  EXPECT_FLOAT_EQ(wave->onsetTime.front(), 0.0f);
  EXPECT_FLOAT_EQ(wave->onsetTime.back(), 12.0f);
  EXPECT_EQ(loadAudioFilePath(), QFileInfo(audio).path()) << "the folder is remembered";
}

TEST(AnalysisWorker, FilesOfAnotherFormatAreRefused) {
  for (const QString& audio : {soundWithFormat("mono.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100),
                               soundWithFormat("hi.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 48000),
                               soundWithFormat("eight.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 2, 44100)}) {
    const Outcome out = runImport({audio});
    EXPECT_TRUE(out.failed) << audio.toStdString();
    EXPECT_EQ(out.error, "#0057 audio file format error!");
    EXPECT_FALSE(QFileInfo::exists(AnalysedWaveName::pathFor(audio)));
  }
}

TEST(AnalysisWorker, EmptyRunsAndEmptyNames) {
  Outcome out = runImport({});
  EXPECT_TRUE(out.analyzed);
  out = runImport({QString()});
  EXPECT_TRUE(out.failed);
  EXPECT_EQ(out.error, "#0055 error at anaThreadObj <empty file>");
}

TEST(AnalysisWorker, AnAbortLeavesNoAnalysisAndIsReportedAsAbort) {
  const QString audio = clickTrack("long.wav", 120.0);
  const Outcome out = runImport({audio}, 50);
  ASSERT_FALSE(out.timedOut);
  EXPECT_TRUE(out.aborted);
  EXPECT_FALSE(QFileInfo::exists(AnalysedWaveName::pathFor(audio)));
}

TEST(AnalysisWorker, AFailingSegmenterFallsBackToOneBarOfTheFixedMeter) {
  const QString audio = clickTrack("fallback.wav", 6.0);
  anaThreadObj worker(audioFileMngr::create());
  AnalysisOptions options;
  options.beatsPerBar = 3;
  worker.setOptions(options.pack());
  CASTcore& core = anaThreadObjTestAccess::core(worker);
  CASTcoreTestAccess::setSegmenter(core, new FailingSegmenter);
  ASSERT_EQ(worker.analyzeProcTh({}, {audio}), 0u) << worker.errorString().toStdString();
  ASSERT_TRUE(QFileInfo::exists(AnalysedWaveName::pathFor(audio)));
  WavInfo* wave = nullptr;
  core.getWaveInfo(0, &wave);
  std::uint8_t num = 0, den = 0;
  core.getTimeSig(num, den);
  EXPECT_EQ(num, 3);
  EXPECT_EQ(den, 4);
  // Three beats of two seconds, with two grid entries per beat; the added
  // entries sit on a zero crossing near their place.
  const std::size_t perBeat = 2u * wave->beatDiv;
  ASSERT_EQ(wave->beatTime.size(), 3 * perBeat + 1);
  for (std::size_t i = 0; i < wave->beatTime.size(); ++i)
    EXPECT_NEAR(wave->beatTime[i], 6.0 * i / (3 * perBeat), 0.01) << "entry " << i;
}

TEST(AnalysisWorker, SegmenterProgressIsMappedIntoItsStage) {
  anaThreadObj worker(audioFileMngr::create());
  std::vector<int> values;
  QObject::connect(&worker, &anaThreadObj::signalProgress,
                   [&](unsigned char, unsigned char, unsigned char v) { values.push_back(v); });
  const QString audio = clickTrack("progress.wav", 12.0);
  ASSERT_EQ(worker.analyzeProcTh({}, {audio}), 0u) << worker.errorString().toStdString();
  // Between the stage's start (10) and end (80) every value lies inside it.
  auto start = std::find(values.begin(), values.end(), 10);
  auto end = std::find(start, values.end(), 80);
  ASSERT_NE(start, values.end());
  ASSERT_NE(end, values.end());
  for (auto it = start; it != end; ++it) {
    EXPECT_GE(*it, 10);
    EXPECT_LE(*it, 80);
  }
  worker.thruProgress(50);
  EXPECT_EQ(values.back(), 50) << "outside the stage the range is 0..100";
}

TEST(AnalysisWorker, DirectoriesAreListedByAudioSuffix) {
  QDir().mkpath(TestEnv::tempPath("lib/x.wav"));
  clickTrack("lib/a.WAV", 6.0);
  clickTrack("lib/b.aiff", 6.0);  // WAV content under an AIFF name: still a readable sound file
  QFile other(TestEnv::tempPath("lib/c.mp3"));
  ASSERT_TRUE(other.open(QIODevice::WriteOnly));
  const Outcome out = runImport({}, -1, {TestEnv::tempPath("lib")});
  EXPECT_TRUE(QFileInfo::exists(TestEnv::tempPath("lib/a.awi")));
  EXPECT_TRUE(QFileInfo::exists(TestEnv::tempPath("lib/b.awi")));
  EXPECT_TRUE(out.failed) << "the folder named x.wav fails the format check";
  EXPECT_EQ(out.error, "#0057 audio file format error!");
}

TEST(AnalysisWorker, TwentyFourBitFloatAndAiffRecordingsImportAtTheirLevel) {
  // The same click track in three formats the file check accepts.
  const TestAudio::Stereo16 clicks = TestAudio::clickTrack(8.0, 0.5, 0.0, 4);
  struct Kind {
    const char* name;
    int format;
  };
  // Every format is analysed as the same recording: one tempo for all.
  std::uint64_t firstTempo = 0;
  for (const Kind& kind : {Kind{"deep.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24},
                           Kind{"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT},
                           Kind{"apple.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16}}) {
    const QString path = TestEnv::tempPath(kind.name);
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = kind.format;
    SNDFILE* f = sf_open(path.toUtf8().constData(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    // Samples as floats in [-1, 1), as recordings store them.
    std::vector<float> scaled(clicks.begin(), clicks.end());
    for (float& v : scaled) v /= 32768.0f;
    sf_writef_float(f, scaled.data(), static_cast<sf_count_t>(scaled.size() / 2));
    sf_close(f);

    anaThreadObj worker(audioFileMngr::create());
    ASSERT_EQ(worker.analyzeProcTh({}, {path}), 0u) << kind.name << ": " << worker.errorString().toStdString();
    // The work copy keeps the level of the recording (float samples scaled,
    // not truncated to 0 and +-1).
    const QString workCopy = TempWaveFiles::sourcePath(TempWaveFiles::workFolder());
    SF_INFO copyInfo{};
    SNDFILE* copy = sf_open(workCopy.toUtf8().constData(), SFM_READ, &copyInfo);
    ASSERT_NE(copy, nullptr);
    std::vector<short> copied(static_cast<std::size_t>(copyInfo.frames) * 2);
    sf_readf_short(copy, copied.data(), copyInfo.frames);
    sf_close(copy);
    const auto peak = [](const std::vector<short>& v) {
      int p = 0;
      for (short x : v) p = std::max(p, std::abs(static_cast<int>(x)));
      return p;
    };
    EXPECT_NEAR(peak(copied), peak(clicks), 1) << kind.name;

    CASTcore project;
    ASSERT_EQ(project.addAnalyzedFile(new WavInfo, AnalysedWaveName::pathFor(path), 8 * 44100), 0u) << kind.name;
    const std::uint64_t tempo = project.getCommonInfo().tempo;
    if (firstTempo == 0) firstTempo = tempo;
    EXPECT_GT(tempo, 0u) << kind.name;
    EXPECT_EQ(tempo, firstTempo) << kind.name;
    WavInfo* wave = nullptr;
    project.getWaveInfo(0, &wave);
    EXPECT_GE(wave->onsetTime.size(), 14u) << kind.name << ": the clicks are found";
  }
}
