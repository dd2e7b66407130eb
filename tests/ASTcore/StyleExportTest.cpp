#include <gtest/gtest.h>

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <stdexcept>
#include <string>
#include <sys/resource.h>

#include "CASTcore.h"
#include "CASTcoreTestAccess.h"
#include "CAudioFile.h"
#include "CAudioStyleDecorator.h"
#include "CAudioWaveData.h"
#include "CAudioWaveForm.h"
#include "CEvnt.h"
#include "CSmf.h"
#include "CTrk.h"
#include "ExportStyle.h"
#include "FakeStyleManager.h"
#include "TempDir.h"
#include "TempWaveFiles.h"
#include "TestAudio.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint64_t kBeat = 22050;  // 120 BPM

Bytes readFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  const QByteArray data = f.readAll();
  return Bytes(data.begin(), data.end());
}

std::uint32_t be32(const Bytes& b, std::size_t at) {
  return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) | (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}

std::vector<std::string> topLevelChunks(const Bytes& file) {
  std::vector<std::string> ids;
  for (std::size_t at = 0; at + 8 <= file.size(); at += 8 + be32(file, at + 4)) {
    ids.emplace_back(file.begin() + at, file.begin() + at + 4);
  }
  return ids;
}

// A project of three sections (Main A 4 bars, Main B 4 bars, Fill In A
// 1 bar) cut from a generated 120 BPM click track, each rendered.
class StyleExport : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(core.setPath(0, 255, TestEnv::tempDir()), 0u);
    const TestAudio::Stereo16 audio = TestAudio::clickTrack(20.0, 0.5, 0.0, 4);
    ASSERT_TRUE(TestAudio::writeWav(TempWaveFiles::sourcePath(TestEnv::tempDir()), audio));
    auto* w = new WavInfo;
    w->fileName = L"song.wav";
    for (int k = 0; k <= 80; ++k) w->beatTime.push_back(0.25f * k);
    w->onsetTime = {0.0f, 20.0f};
    ASSERT_EQ(core.addWavList(w), 0u);
    use(3, 0, 16);
    use(4, 16, 32);
    use(7, 32, 36);
  }

  void use(std::uint8_t slot, std::uint32_t first, std::uint32_t last) {
    SecInfo s;
    s.used = 1;
    s.wavNo = 0;
    s.startAdrs = first * kBeat;
    s.endAdrs = last * kBeat;
    ASSERT_EQ(core.setSecInfo(slot, s), 0u) << core.lastError.toStdString();
  }

  void renderAll() {
    for (std::uint8_t slot : {3, 4, 7}) {
      std::uint8_t ratio = 0;
      ASSERT_EQ(core.renderAudition(slot, &ratio), 0u) << core.lastError.toStdString();
      ASSERT_EQ(ratio, 0);
    }
  }

  std::uint64_t holdOf(std::uint8_t slot) {
    SecInfo* sec = nullptr;
    core.getSecInfo(slot, &sec);
    return sec->holdValue;
  }

  // Runs one export synchronously and returns (signal name, code).
  std::pair<std::string, unsigned long> exportTo(const QString& path, ExportStyle** keep = nullptr) {
    auto* worker = new ExportStyle([] { return std::uint64_t{0}; }, &core, path, nullptr);
    std::pair<std::string, unsigned long> answer{"none", 0};
    QObject::connect(worker, &ExportStyle::done, [&](unsigned long c) { answer = {"done", c}; });
    QObject::connect(worker, &ExportStyle::errorOnPreparation, [&](unsigned long c) { answer = {"error", c}; });
    worker->doExport();
    if (keep) {
      *keep = worker;
    } else {
      delete worker;
    }
    return answer;
  }

  CASTcore core;
};

}  // namespace

TEST_F(StyleExport, ACompleteStyleOnItsOwnThread) {
  // The preparation job plays the main window's part: it renders what is
  // not rendered yet.
  auto job = [this]() -> std::uint64_t {
    for (std::uint8_t slot = 0; slot < 15; ++slot) {
      bool used = false;
      core.getAllInfo().isSecUsed(slot, &used);
      std::uint8_t ratio = 0;
      if (used && !core.isSecRendered(slot) && Result::failed(core.renderAudition(slot, &ratio))) return 0x80000002;
      if (ratio) return 0x80000003;
    }
    return 0;
  };
  const QString path = TestEnv::tempPath("song.aus");
  core.setStyleParam1(256);
  ExportStyle worker(job, &core, path, nullptr);
  QThread thread;
  worker.moveToThread(&thread);
  QEventLoop loop;
  unsigned long answer = 99;
  bool done = false;
  QObject::connect(&worker, &ExportStyle::done, &loop, [&](unsigned long c) {
    answer = c;
    done = true;
    loop.quit();
  });
  QObject::connect(&worker, &ExportStyle::errorOnPreparation, &loop, [&](unsigned long c) {
    answer = c;
    loop.quit();
  });
  QTimer::singleShot(60000, &loop, &QEventLoop::quit);
  thread.start();
  QMetaObject::invokeMethod(&worker, "doExport", Qt::QueuedConnection);
  loop.exec();
  thread.quit();
  thread.wait();
  ASSERT_TRUE(done) << "answer " << std::hex << answer << " " << core.lastError.toStdString();
  EXPECT_EQ(answer, 0u);

  const Bytes file = readFile(path);
  EXPECT_EQ(worker.written(), file.size());
  const std::vector<std::string> chunks = topLevelChunks(file);
  ASSERT_GE(chunks.size(), 5u);
  EXPECT_EQ(chunks.front(), "MThd");
  EXPECT_EQ(chunks[1], "MTrk");
  EXPECT_EQ(std::vector<std::string>(chunks.end() - 3, chunks.end()), (std::vector<std::string>{"CASM", "AASM", "AFil"}));

  // The audio part: one recording per used slot, each the rendered wave.
  CAudioStyleDecorator audio;
  ASSERT_EQ(audio.Parse(file), 0u);
  std::vector<std::uint64_t> sizes;
  for (CAudioFile* f : audio.GetAudioInfo().GetFileList()) {
    Bytes data;
    ASSERT_EQ(f->GetWaveForm()->GetWaveData()->LoadBytes(data), 0u);
    sizes.push_back(data.size());
  }
  std::sort(sizes.begin(), sizes.end());
  std::vector<std::uint64_t> expected = {4 * holdOf(3), 4 * holdOf(4), 4 * holdOf(7)};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(sizes, expected);

  // The MIDI part: tempo and the markers at the sections' bars.
  CSmf smf;
  ASSERT_EQ(smf.Load(file), 0u);
  std::vector<std::pair<std::uint64_t, std::string>> markers;
  Bytes tempo;
  std::uint64_t end = 0;
  for (CEvnt* e : smf.GetTrack(0)->GetEventList()) {
    std::uint8_t status = 0, type = 0;
    e->GetStatus(status);
    e->GetMetaType(type);
    std::uint64_t time = 0;
    e->GetTime(time);
    Bytes payload;
    e->GetExData(payload);
    const std::string text(payload.begin(), payload.end());
    if (status == 0xFF && type == 0x06 && text != "SFF1" && text != "SFF2") markers.emplace_back(time, text);
    if (status == 0xFF && type == 0x51 && tempo.empty()) tempo = payload;
    if (status == 0xFF && type == 0x2F) end = time;
  }
  EXPECT_EQ(tempo, (Bytes{0x07, 0xA1, 0x20})) << "60000000 / 120";
  EXPECT_EQ(markers, (std::vector<std::pair<std::uint64_t, std::string>>{
                         {3840, "Fill In AA"}, {7680, "Main A"}, {23040, "Main B"}}));
  EXPECT_EQ(end, (1 + 9) * 3840u) << "one free bar, then every section's bars";
}

TEST_F(StyleExport, TooManyAttacksAreReportedWithACompleteFile) {
  renderAll();
  core.setStyleParam1(5);
  ExportStyle* worker = nullptr;
  const auto answer = exportTo(TestEnv::tempPath("many.aus"), &worker);
  std::unique_ptr<ExportStyle> owned(worker);
  EXPECT_EQ(answer, (std::pair<std::string, unsigned long>{"error", 0}));
  EXPECT_EQ(worker->attackOverflow(), (1u << 3) | (1u << 4)) << "Main A and B have more than five clicks";
  EXPECT_EQ(worker->written(), readFile(TestEnv::tempPath("many.aus")).size());
  CAudioStyleDecorator audio;
  EXPECT_EQ(audio.Parse(readFile(TestEnv::tempPath("many.aus"))), 0u);
}

TEST_F(StyleExport, AMissingWorkingWaveStopsBeforeWriting) {
  renderAll();
  QFile::remove(TempWaveFiles::sectionPath(TestEnv::tempDir(), 4));
  const QString path = TestEnv::tempPath("missing.aus");
  const auto answer = exportTo(path);
  EXPECT_EQ(answer.first, "error");
  EXPECT_EQ(answer.second, Result::nest(2, Result::fail(2)));
  EXPECT_TRUE(core.lastError.endsWith("\r\ndoes not exist.")) << core.lastError.toStdString();
  EXPECT_FALSE(QFileInfo::exists(path));
}

TEST_F(StyleExport, AnUnrenderedSectionIsRefused) {
  std::uint8_t ratio = 0;
  ASSERT_EQ(core.renderAudition(3, &ratio), 0u);
  ASSERT_EQ(core.renderAudition(4, &ratio), 0u);
  const QString path = TestEnv::tempPath("unrendered.aus");
  // Slot 7's working wave is there from elsewhere, but the slot was never
  // rendered.
  QFile::copy(TempWaveFiles::sectionPath(TestEnv::tempDir(), 4), TempWaveFiles::sectionPath(TestEnv::tempDir(), 7));
  const auto answer = exportTo(path);
  EXPECT_EQ(answer, (std::pair<std::string, unsigned long>{"error", 0x80000006}));
  EXPECT_FALSE(QFileInfo::exists(path));
}

TEST_F(StyleExport, AFailedWriteKeepsTheEarlierStyle) {
  renderAll();
  const QString path = TestEnv::tempPath("kept.aus");
  ASSERT_EQ(exportTo(path).first, "done");
  const Bytes earlier = readFile(path);

  const QString blocked = TestEnv::tempPath("kept.aus/inside.aus");  // its folder is a file
  EXPECT_EQ(exportTo(blocked).first, "error");
  EXPECT_FALSE(QFileInfo::exists(blocked));
  EXPECT_TRUE(core.lastError.startsWith("Cannot create \"" + blocked + "\"")) << core.lastError.toStdString();

  {
    struct FileSizeLimit {
      rlimit saved{};
      explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{bytes, saved.rlim_max};
        EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
      }
      ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved); }
    } limit(earlier.size() / 2);
    const auto answer = exportTo(path);
    EXPECT_EQ(answer.first, "error");
    EXPECT_NE(answer.second, 0u);
    EXPECT_TRUE(core.lastError.startsWith("Cannot write \"" + path + "\"")) << core.lastError.toStdString();
  }
  EXPECT_EQ(readFile(path), earlier) << "the earlier style is untouched";
}


namespace {

// A style manager that writes a small file, then reports success or throws,
// leaving its exception flag set either way.
class FailingStyleManager : public FakeStyleManager {
 public:
  explicit FailingStyleManager(bool throwIt) : throwIt(throwIt) {}
  ResultCode writeStyleFile(const std::wstring& path, std::uint64_t* written, std::uint16_t*, std::uint16_t*,
                            std::uint16_t*) override {
    caught = true;
    if (throwIt) throw std::runtime_error("no room");
    QFile f(QString::fromStdWString(path));
    if (!f.open(QIODevice::WriteOnly)) return 0x80000007;
    f.write("new");
    *written = 3;
    return 0;
  }
  bool hasException() const override { return caught; }

 private:
  bool throwIt;
  bool caught = false;
};

std::pair<std::string, unsigned long> exportWith(CASTcore& core, const QString& path) {
  ExportStyle worker([] { return std::uint64_t{0}; }, &core, path, nullptr);
  std::pair<std::string, unsigned long> answer{"none", 0};
  QObject::connect(&worker, &ExportStyle::done, [&](unsigned long c) { answer = {"done", c}; });
  QObject::connect(&worker, &ExportStyle::errorOnPreparation, [&](unsigned long c) { answer = {"error", c}; });
  worker.doExport();
  return answer;
}

Bytes earlierStyle(const QString& path) {
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("earlier");
  return Bytes{'e', 'a', 'r', 'l', 'i', 'e', 'r'};
}

}  // namespace

TEST(StyleExportExceptions, AFailedExportKeepsTheEarlierStyleDespiteAnException) {
  CASTcore core;
  CASTcoreTestAccess::setStyleManager(core, new FailingStyleManager(true));
  const QString path = TestEnv::tempPath("earlier.aus");
  const Bytes earlier = earlierStyle(path);
  const auto answer = exportWith(core, path);
  EXPECT_EQ(answer, (std::pair<std::string, unsigned long>{"error", 0x80000009}));
  EXPECT_TRUE(core.hasException());
  EXPECT_EQ(readFile(path), earlier) << "the file at the path was not this export's";
}

TEST(StyleExportExceptions, AFileWrittenDespiteAnExceptionIsRemovedAndNotASuccess) {
  CASTcore core;
  CASTcoreTestAccess::setStyleManager(core, new FailingStyleManager(false));
  const QString path = TestEnv::tempPath("untrusted.aus");
  earlierStyle(path);
  const auto answer = exportWith(core, path);
  EXPECT_EQ(answer.first, "error");
  EXPECT_TRUE(Result::failed(answer.second));
  EXPECT_FALSE(QFileInfo::exists(path));
}

TEST_F(StyleExport, AStopThatCameDuringTheJobWritesNothingAndIsToldApart) {
  renderAll();
  const QString path = TestEnv::tempPath("stopped.aus");
  const Bytes earlier = earlierStyle(path);
  // The job's rendering had ended when the stop came: it still answers 0.
  ExportStyle* self = nullptr;
  ExportStyle worker(
      [&self] {
        self->requestStop();
        return std::uint64_t{0};
      },
      &core, path, nullptr);
  self = &worker;
  EXPECT_FALSE(worker.stopped());
  EXPECT_EQ(worker.stopRequest()->load(), 0);
  std::pair<std::string, unsigned long> answer{"none", 0};
  QObject::connect(&worker, &ExportStyle::done, [&](unsigned long c) { answer = {"done", c}; });
  QObject::connect(&worker, &ExportStyle::errorOnPreparation, [&](unsigned long c) { answer = {"error", c}; });
  worker.doExport();
  EXPECT_EQ(answer.first, "error");
  EXPECT_NE(answer.second, 0u);
  EXPECT_TRUE(worker.stopped());
  EXPECT_EQ(worker.written(), 0u);
  EXPECT_EQ(readFile(path), earlier) << "the file at the path is left as it was";

  ExportStyle* kept = nullptr;
  EXPECT_EQ(exportTo(path, &kept).first, "done");
  std::unique_ptr<ExportStyle> owned(kept);
  EXPECT_FALSE(kept->stopped()) << "an export without a stop";
  EXPECT_EQ(static_cast<std::uint64_t>(readFile(path).size()), kept->written());
}
