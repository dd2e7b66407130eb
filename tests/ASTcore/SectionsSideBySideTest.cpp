// Sections rendered side by side give what the same sections rendered one
// after the other give: the same working waves, records, messages and flags,
// and the same style file bytes.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "CASTcore.h"
#include "CASTcoreTestAccess.h"
#include "SlotOf.h"
#include "TempDir.h"
#include "TempWaveFiles.h"
#include "TestAudio.h"

namespace {

using Bytes = QByteArray;

constexpr std::uint64_t kBeat = 11025;  // 240 BPM: a 4/4 bar lasts one second
constexpr std::uint8_t kSlots[] = {0, 3, 4, 7, 11, 12};

Bytes readFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : Bytes();
}

// Clicks on the beats over a chord and some noise, so the stretch has
// tones and attacks to keep.
TestAudio::Stereo16 music(double seconds, double root = 220.0) {
  TestAudio::Stereo16 out = TestAudio::clickTrack(seconds, 0.25, 0.0, 4);
  const TestAudio::Stereo16 low = TestAudio::sine(seconds, root, 0.2);
  const TestAudio::Stereo16 high = TestAudio::sine(seconds, 329.6, 0.15);
  const TestAudio::Stereo16 hiss = TestAudio::noise(seconds, 0.05, 3);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const int v = out[i] / 2 + low[i] + high[i] + hiss[i];
    out[i] = static_cast<std::int16_t>(std::max(-32768, std::min(32767, v)));
  }
  return out;
}

// A folder of the running test's own: the suite run as one process shares
// one temporary folder, where a later test would find an earlier one's
// working waves and style file under the same names.
QString testFolder(const QString& name) {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  return TestEnv::tempPath(QString::fromUtf8(test->name()) + "/" + name);
}

// A project core working in a folder of its own, on generated recordings
// nine seconds long at 240 BPM.
struct Folder {
  explicit Folder(const QString& name) : folder(testFolder(name)) {
    QDir().mkpath(folder);
    EXPECT_EQ(core.setPath(0, 255, folder), 0u);
  }

  void addRecording(const wchar_t* file) {
    auto* w = new WavInfo;
    w->fileName = file;
    for (int k = 0; k <= 72; ++k) w->beatTime.push_back(0.125f * k);
    w->onsetTime = {0.0f, 9.0f};
    EXPECT_EQ(core.addWavList(w), 0u);
  }

  const SecInfo& slot(std::uint8_t n) const { return slotOf(core, n); }

  Bytes wave(std::uint8_t slot) const { return readFile(TempWaveFiles::sectionPath(folder, slot)); }

  Bytes exportStyle() {
    const QString path = folder + "/out.aus";
    std::uint64_t written = 0;
    std::uint16_t attack = 0, beat = 0, sync = 0;
    EXPECT_EQ(core.exportStyle(path.toStdWString(), &written, &attack, &beat, &sync), 0u)
        << core.lastError.toStdString();
    return readFile(path);
  }

  QString folder;
  CASTcore core;
};

// Six sections of one recording, faded and not, of different lengths.
struct Project : Folder {
  explicit Project(const QString& name) : Folder(name) {
    EXPECT_TRUE(TestAudio::writeWav(TempWaveFiles::sourcePath(folder), music(9.0)));
    addRecording(L"song.wav");
    for (std::size_t i = 0; i < std::size(kSlots); ++i) {
      SecInfo s;
      s.used = 1;
      s.wavNo = 0;
      s.startAdrs = 4 * i * kBeat;
      // One of two bars, one of one and a half.
      s.endAdrs = s.startAdrs + (i == 2 ? 8 : i == 5 ? 6 : 4) * kBeat;
      s.fadeSw = i % 2;
      EXPECT_EQ(core.setSecInfo(kSlots[i], s), 0u) << core.lastError.toStdString();
    }
    core.updateTempo(216);
  }

  ResultCode renderOneByOne(std::uint8_t* ratio) {
    for (std::uint8_t slot : kSlots) {
      const ResultCode rc = core.renderAudition(slot, ratio);
      if (rc != 0) return rc;
    }
    return 0;
  }
};

// Intro 1 and Main B on one recording, Main A between them in list order on
// another, so that side by side Main B is rendered with Intro 1, before
// Main A's recording is even copied.
struct TwoRecordings : Folder {
  explicit TwoRecordings(const QString& name) : Folder(name) {
    addRecording(L"first.wav");
    addRecording(L"second.wav");
    place(0, 0, 0, 4);
    place(3, 1, 16, 4);
    place(4, 0, 8, 8);
    core.updateTempo(216);
  }

  void place(std::uint8_t n, std::uint8_t wave, std::uint64_t firstBeat, std::uint64_t beats) {
    SecInfo s;
    s.used = 1;
    s.wavNo = wave;
    s.startAdrs = firstBeat * kBeat;
    s.endAdrs = s.startAdrs + beats * kBeat;
    EXPECT_EQ(core.setSecInfo(n, s), 0u) << core.lastError.toStdString();
  }

  // The work copy of the slot's recording where the core renders from, as
  // the audition layer copies it. While `cutShort` holds, the second
  // recording's copy ends after a second, before Main A begins, as a copy
  // that a full disk cut short: Main A's rendering then fails.
  ResultCode prepare(std::uint8_t n) {
    const std::uint8_t wave = slot(n).wavNo;
    const double seconds = wave == 1 && cutShort ? 1.0 : 9.0;
    const bool written = TestAudio::writeWav(TempWaveFiles::sourcePath(folder), music(seconds, wave == 0 ? 220.0 : 196.0));
    return written ? 0u : 0x80000009u;
  }

  ResultCode renderOneByOne(const std::vector<std::uint8_t>& list, std::uint8_t* ratio) {
    for (std::uint8_t n : list) {
      ResultCode rc = prepare(n);
      if (rc == 0) rc = core.renderAudition(n, ratio);
      if (rc != 0) return rc;
    }
    return 0;
  }

  ResultCode renderSideBySide(const std::vector<std::uint8_t>& list, std::uint8_t* ratio) {
    return core.renderSections(list, [this](std::uint8_t n) { return prepare(n); }, ratio, nullptr, 2);
  }

  // The used slots that an export renders before it reads their waves.
  std::vector<std::uint8_t> unrendered() {
    std::vector<std::uint8_t> out;
    for (std::uint8_t n = 0; n < 15; ++n) {
      if (slot(n).used && !core.isSecRendered(n)) out.push_back(n);
    }
    return out;
  }

  bool cutShort = false;
};

std::vector<std::uint8_t> slotList() { return std::vector<std::uint8_t>(std::begin(kSlots), std::end(kSlots)); }

// The waves are compared up to the slot `wavesUpTo`: side by side, a slot
// after one that failed may have been rendered before the failure was known.
void expectSameOutcome(Project& one, Project& many, std::uint8_t wavesUpTo = 14) {
  EXPECT_EQ(one.core.lastError, many.core.lastError);
  for (std::uint8_t slot : kSlots) {
    SCOPED_TRACE(static_cast<int>(slot));
    EXPECT_EQ(one.slot(slot).holdValue, many.slot(slot).holdValue);
    EXPECT_EQ(one.core.isSecRendered(slot), many.core.isSecRendered(slot));
    EXPECT_EQ(CASTcoreTestAccess::ratios(one.core, slot), CASTcoreTestAccess::ratios(many.core, slot));
    if (slot <= wavesUpTo) {
      EXPECT_EQ(one.wave(slot), many.wave(slot));
    }
  }
}

}  // namespace

TEST(SectionsSideBySide, WavesRecordsAndStyleFileAreThoseOfOneByOne) {
  Project one("one"), many("many");
  std::uint8_t ratioOne = 0, ratioMany = 0;
  ASSERT_EQ(one.renderOneByOne(&ratioOne), 0u) << one.core.lastError.toStdString();
  int prepared = 0;
  ASSERT_EQ(many.core.renderSections(
                slotList(), [&](std::uint8_t slot) { return slot == kSlots[0] && ++prepared ? 0u : 0x80000001u; },
                &ratioMany, nullptr, 4),
            0u)
      << many.core.lastError.toStdString();
  EXPECT_EQ(prepared, 1);  // one work copy for the six slots of the one recording
  EXPECT_EQ(ratioOne, ratioMany);
  for (std::uint8_t slot : kSlots) ASSERT_GT(many.slot(slot).holdValue, 0u);
  expectSameOutcome(one, many);
  EXPECT_EQ(one.core.undoCount(), many.core.undoCount());

  const Bytes first = one.exportStyle();
  const Bytes second = many.exportStyle();
  ASSERT_GT(first.size(), 1000);
  EXPECT_TRUE(first == second);
}

TEST(SectionsSideBySide, RatioErrorsAndAFailureAreReportedAsOneByOne) {
  Project one("one"), many("many");
  for (Project* p : {&one, &many}) {
    // Main A over a quarter of its bar: a ratio far above 2.
    SecInfo* sec = nullptr;
    ASSERT_EQ(p->core.getSecInfo(3, &sec), 0u);
    SecInfo squeezed = *sec;
    squeezed.endAdrs = squeezed.startAdrs + kBeat;
    ASSERT_EQ(p->core.updateSecInfo(3, squeezed), 0u);
    // Break beyond the end of the recording.
    ASSERT_EQ(p->core.getSecInfo(11, &sec), 0u);
    SecInfo beyond = *sec;
    beyond.endAdrs = 12 * 44100;
    ASSERT_EQ(p->core.updateSecInfo(11, beyond), 0u);
  }
  std::uint8_t ratioOne = 0, ratioMany = 0;
  const ResultCode failedOne = one.renderOneByOne(&ratioOne);
  const ResultCode failedMany = many.core.renderSections(slotList(), nullptr, &ratioMany, nullptr, 3);
  EXPECT_NE(failedOne, 0u);
  EXPECT_EQ(failedMany, 0x80000002u | (failedOne << 4));
  EXPECT_EQ(ratioOne, 1);
  EXPECT_EQ(ratioMany, 1);
  EXPECT_TRUE(many.core.lastError.startsWith("Stretch ratio error!")) << many.core.lastError.toStdString();
  expectSameOutcome(one, many, 11);
  // Nothing after the failing slot was recorded.
  EXPECT_EQ(many.slot(12).holdValue, 0u);
  EXPECT_FALSE(many.core.isSecRendered(12));
}

TEST(SectionsSideBySide, SourceFailureAndStopLeaveTheRestUnrendered) {
  Project p("p");
  std::uint8_t ratio = 0;
  EXPECT_EQ(p.core.renderSections(slotList(), [](std::uint8_t) { return 0x80000005u; }, &ratio, nullptr, 2),
            0x80000001u | (0x80000005ull << 4));
  std::atomic<std::uint8_t> stop{1};
  EXPECT_EQ(p.core.renderSections(slotList(), nullptr, &ratio, &stop, 2), 0x80000003u);
  for (std::uint8_t slot : kSlots) {
    EXPECT_EQ(p.slot(slot).holdValue, 0u);
    EXPECT_TRUE(p.wave(slot).isEmpty());
  }
  EXPECT_EQ(ratio, 0);
}

TEST(SectionsSideBySide, AStopDuringTheStretchesRecordsNothingAndTheNextRenderingIsWhole) {
  Project one("one"), many("many");
  std::uint8_t ratioOne = 0;
  ASSERT_EQ(one.core.renderSections(slotList(), nullptr, &ratioOne, nullptr, 4), 0u)
      << one.core.lastError.toStdString();

  std::atomic<std::uint8_t> stop{0};
  std::uint8_t ratio = 0;
  ResultCode stopped = 0;
  const int undoBefore = many.core.undoCount();
  // The flag is set as soon as the rendering has started, so it nearly
  // always lands while the first slots are being stretched; on a busy
  // machine some may finish first. Those finished before the first one the
  // stop ended are kept as one by one leaves them, and nothing after them is
  // recorded.
  std::thread rendering([&] { stopped = many.core.renderSections(slotList(), nullptr, &ratio, &stop, 2); });
  stop = 1;
  rendering.join();
  std::size_t kept = 0;
  while (kept < std::size(kSlots) && many.core.isSecRendered(kSlots[kept])) ++kept;
  EXPECT_EQ(stopped, kept == std::size(kSlots) ? 0u : 0x80000003u);
  EXPECT_TRUE(many.core.lastError.isEmpty()) << many.core.lastError.toStdString();
  if (kept == 0) {
    EXPECT_EQ(many.core.undoCount(), undoBefore) << "no record taken over";
  }
  for (std::size_t i = 0; i < std::size(kSlots); ++i) {
    const std::uint8_t slot = kSlots[i];
    SCOPED_TRACE(static_cast<int>(slot));
    if (i < kept) {
      EXPECT_EQ(many.slot(slot).holdValue, one.slot(slot).holdValue);
      EXPECT_EQ(many.wave(slot), one.wave(slot));
      continue;
    }
    EXPECT_EQ(many.slot(slot).holdValue, 0u);
    EXPECT_FALSE(many.core.isSecRendered(slot));
    if (i == kept) {
      EXPECT_TRUE(many.wave(slot).isEmpty()) << "a stopped stretch writes no working wave";
    }
  }

  ASSERT_EQ(many.core.renderSections(slotList(), nullptr, &ratio, nullptr, 4), 0u);
  EXPECT_EQ(ratio, ratioOne);
  expectSameOutcome(one, many);
  EXPECT_TRUE(one.exportStyle() == many.exportStyle());
}

TEST(SectionsSideBySide, ASlotRenderedAheadOfAFailureIsNeitherRecordedNorTakenForItsRendering) {
  const std::vector<std::uint8_t> all = {0, 3, 4};
  TwoRecordings one("one"), many("many");
  for (TwoRecordings* p : {&one, &many}) {
    // Main B rendered, then made a bar shorter: its wave and its recorded
    // length are still those of two bars, and it counts as unrendered.
    std::uint8_t ratio = 0;
    ASSERT_EQ(p->renderOneByOne({4}, &ratio), 0u) << p->core.lastError.toStdString();
    SecInfo shorter = p->slot(4);
    shorter.endAdrs -= 4 * kBeat;
    ASSERT_EQ(p->core.setSecInfo(4, shorter), 0u) << p->core.lastError.toStdString();
    ASSERT_FALSE(p->core.isSecRendered(4));
    p->cutShort = true;
  }
  const std::uint64_t twoBars = many.slot(4).holdValue;
  const Bytes twoBarWave = many.wave(4);
  ASSERT_GT(twoBars, 0u);

  std::uint8_t ratioOne = 0, ratioMany = 0;
  const ResultCode failedOne = one.renderOneByOne(all, &ratioOne);
  const ResultCode failedMany = many.renderSideBySide(all, &ratioMany);
  ASSERT_NE(failedOne, 0u);
  EXPECT_EQ(failedMany, 0x80000002u | (failedOne << 4));
  EXPECT_TRUE(many.core.lastError.startsWith("Export sty process returns some error! [Main A")) << many.core.lastError.toStdString();
  EXPECT_EQ(one.core.lastError, many.core.lastError);
  EXPECT_EQ(one.core.undoCount(), many.core.undoCount());
  EXPECT_EQ(ratioMany, 0);
  for (std::uint8_t n : all) {
    SCOPED_TRACE(static_cast<int>(n));
    EXPECT_EQ(one.slot(n).holdValue, many.slot(n).holdValue);
    EXPECT_EQ(one.core.isSecRendered(n), many.core.isSecRendered(n));
  }
  EXPECT_TRUE(many.core.isSecRendered(0));
  EXPECT_TRUE(many.wave(3).isEmpty()) << "the failed slot leaves no wave";
  // Main B was rendered with Intro 1 before Main A failed: its wave is now
  // the one-bar section's, where one by one it was never started. Its record
  // still gives the two bars' length and it counts as unrendered, so nothing
  // takes that wave for its rendering: the export renders it again first.
  EXPECT_EQ(one.wave(4), twoBarWave);
  EXPECT_NE(many.wave(4), twoBarWave);
  EXPECT_FALSE(many.core.isSecRendered(4));
  EXPECT_EQ(many.slot(4).holdValue, twoBars);

  // The next export, once the copy is whole again, renders Main A and Main B
  // and writes the style that one by one gives.
  for (TwoRecordings* p : {&one, &many}) {
    p->cutShort = false;
    EXPECT_EQ(p->unrendered(), (std::vector<std::uint8_t>{3, 4}));
  }
  ASSERT_EQ(one.renderOneByOne(one.unrendered(), &ratioOne), 0u) << one.core.lastError.toStdString();
  ASSERT_EQ(many.renderSideBySide(many.unrendered(), &ratioMany), 0u) << many.core.lastError.toStdString();
  for (std::uint8_t n : all) {
    SCOPED_TRACE(static_cast<int>(n));
    EXPECT_TRUE(many.core.isSecRendered(n));
    EXPECT_EQ(one.slot(n).holdValue, many.slot(n).holdValue);
    EXPECT_EQ(CASTcoreTestAccess::ratios(one.core, n), CASTcoreTestAccess::ratios(many.core, n));
    EXPECT_EQ(one.wave(n), many.wave(n));
  }
  EXPECT_LT(many.slot(4).holdValue, twoBars);
  const Bytes style = many.exportStyle();
  ASSERT_GT(style.size(), 1000);
  EXPECT_TRUE(one.exportStyle() == style);
}
