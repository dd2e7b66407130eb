// The memory an export's side-by-side rendering holds grows with the
// sections rendered at once, not with all the sections of the export: a
// section rendered on one recording holds nothing once the next recording's
// sections begin.

#include <gtest/gtest.h>

#include <QDir>

#include <cstddef>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's count of the bytes allocated now (its header is
// not installed with GCC here).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

#include "CASTcore.h"
#include "SlotOf.h"
#include "TempDir.h"
#include "TempWaveFiles.h"
#include "TestAudio.h"

namespace {

constexpr std::uint64_t kBeat = 11025;             // 240 BPM: a 4/4 bar lasts one second
constexpr std::uint64_t kSectionFrames = 16 * kBeat;  // four bars
constexpr std::uint8_t kSlots[] = {0, 3, 4};

// Heap bytes in use now: the sanitizer's own count where it replaces
// malloc, the C library's otherwise.
std::size_t heapInUse() {
#if defined(__SANITIZE_ADDRESS__)
  return __sanitizer_get_current_allocated_bytes();
#else
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
#endif
}

}  // namespace

TEST(SectionsMemory, ASectionsStretchIsLetGoBeforeTheNextRecordingsSectionsAreRendered) {
  const QString folder = TestEnv::tempPath("memory");
  QDir().mkpath(folder);
  CASTcore core;
  ASSERT_EQ(core.setPath(0, 255, folder), 0u);
  // Three recordings of six seconds, a section of four bars on each.
  for (std::size_t i = 0; i < std::size(kSlots); ++i) {
    auto* wave = new WavInfo;
    wave->fileName = QString("take%1.wav").arg(i).toStdWString();
    for (int k = 0; k <= 48; ++k) wave->beatTime.push_back(0.125f * k);
    wave->onsetTime = {0.0f, 6.0f};
    ASSERT_EQ(core.addWavList(wave), 0u);
    SecInfo s;
    s.used = 1;
    s.wavNo = static_cast<std::uint8_t>(i);
    s.startAdrs = 4 * kBeat;
    s.endAdrs = s.startAdrs + kSectionFrames;
    ASSERT_EQ(core.setSecInfo(kSlots[i], s), 0u) << core.lastError.toStdString();
  }
  ASSERT_EQ(core.updateTempo(216), 0u);

  // Each recording's work copy is made just before its section renders,
  // on this thread: the heap in use then holds what the sections rendered
  // before it still keep.
  std::vector<std::size_t> inUse;
  auto prepare = [&](std::uint8_t slot) -> ResultCode {
    inUse.push_back(heapInUse());
    const double root = 180.0 + 40.0 * slot;
    return TestAudio::writeWav(TempWaveFiles::sourcePath(folder), TestAudio::sine(6.0, root, 0.3)) ? 0 : 0x80000001;
  };
  std::uint8_t ratio = 0;
  const std::vector<std::uint8_t> sections(std::begin(kSlots), std::end(kSlots));
  ASSERT_EQ(core.renderSections(sections, prepare, &ratio), 0u) << core.lastError.toStdString();
  EXPECT_EQ(ratio, 0);
  for (std::uint8_t slot : kSlots) {
    EXPECT_TRUE(core.isSecRendered(slot)) << int(slot);
    EXPECT_GT(slotOf(core, slot).holdValue, kSectionFrames) << int(slot);
  }

  ASSERT_EQ(inUse.size(), std::size(kSlots));
  // Kept, the two sections rendered before the last recording would hold
  // their input and their stretched frames as floats, 16 bytes a frame each;
  // less than one section's input as floats may stay.
  const std::size_t allowed = kSectionFrames * 2 * sizeof(float);
  EXPECT_LT(inUse.back(), inUse.front() + allowed)
      << "held after two sections: " << (inUse.back() - inUse.front()) << " bytes";
}
