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
TestAudio::Stereo16 music(double seconds) {
  TestAudio::Stereo16 out = TestAudio::clickTrack(seconds, 0.25, 0.0, 4);
  const TestAudio::Stereo16 low = TestAudio::sine(seconds, 220.0, 0.2);
  const TestAudio::Stereo16 high = TestAudio::sine(seconds, 329.6, 0.15);
  const TestAudio::Stereo16 hiss = TestAudio::noise(seconds, 0.05, 3);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const int v = out[i] / 2 + low[i] + high[i] + hiss[i];
    out[i] = static_cast<std::int16_t>(std::max(-32768, std::min(32767, v)));
  }
  return out;
}

// One project core working in a folder of its own, with six sections of a
// generated recording, faded and not, of different lengths.
struct Project {
  explicit Project(const QString& name) : folder(TestEnv::tempPath(name)) {
    QDir().mkpath(folder);
    EXPECT_EQ(core.setPath(0, 255, folder), 0u);
    EXPECT_TRUE(TestAudio::writeWav(TempWaveFiles::sourcePath(folder), music(9.0)));
    auto* w = new WavInfo;
    w->fileName = L"song.wav";
    for (int k = 0; k <= 72; ++k) w->beatTime.push_back(0.125f * k);
    w->onsetTime = {0.0f, 9.0f};
    EXPECT_EQ(core.addWavList(w), 0u);
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

  const SecInfo& slot(std::uint8_t n) {
    SecInfo* sec = nullptr;
    core.getSecInfo(n, &sec);
    return *sec;
  }

  Bytes wave(std::uint8_t slot) const { return readFile(TempWaveFiles::sectionPath(folder, slot)); }

  ResultCode renderOneByOne(std::uint8_t* ratio) {
    for (std::uint8_t slot : kSlots) {
      const ResultCode rc = core.renderAudition(slot, ratio);
      if (rc != 0) return rc;
    }
    return 0;
  }

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

std::vector<std::uint8_t> slotList() { return std::vector<std::uint8_t>(std::begin(kSlots), std::end(kSlots)); }

void expectSameOutcome(Project& one, Project& many) {
  EXPECT_EQ(one.core.lastError, many.core.lastError);
  for (std::uint8_t slot : kSlots) {
    SCOPED_TRACE(static_cast<int>(slot));
    EXPECT_EQ(one.slot(slot).holdValue, many.slot(slot).holdValue);
    EXPECT_EQ(one.core.isSecRendered(slot), many.core.isSecRendered(slot));
    EXPECT_EQ(CASTcoreTestAccess::ratios(one.core, slot), CASTcoreTestAccess::ratios(many.core, slot));
    EXPECT_EQ(one.wave(slot), many.wave(slot));
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
  expectSameOutcome(one, many);
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
  // Each stretch takes far longer than setting the flag: it lands while the
  // first slots are being stretched (or, at the latest, before they start).
  std::thread rendering([&] { stopped = many.core.renderSections(slotList(), nullptr, &ratio, &stop, 2); });
  stop = 1;
  rendering.join();
  EXPECT_EQ(stopped, 0x80000003u);
  EXPECT_TRUE(many.core.lastError.isEmpty()) << many.core.lastError.toStdString();
  EXPECT_EQ(many.core.undoCount(), undoBefore) << "no record taken over";
  for (std::uint8_t slot : kSlots) {
    SCOPED_TRACE(static_cast<int>(slot));
    EXPECT_EQ(many.slot(slot).holdValue, 0u);
    EXPECT_FALSE(many.core.isSecRendered(slot));
    EXPECT_TRUE(many.wave(slot).isEmpty()) << "a stopped stretch writes no working wave";
  }

  ASSERT_EQ(many.core.renderSections(slotList(), nullptr, &ratio, nullptr, 4), 0u);
  EXPECT_EQ(ratio, ratioOne);
  expectSameOutcome(one, many);
  EXPECT_TRUE(one.exportStyle() == many.exportStyle());
}
