// The wave view follows a change of the current section at once: it spans
// the section's own recording and marks the sections that lie on it.

#include <gtest/gtest.h>

#include <vector>

#include "WaveViewProject.h"

using namespace WaveViewProject;

namespace {

std::vector<int> markedSlots(const MainWindow& window) {
  std::vector<int> marked;
  for (const TextItem& item : window.sectionMarkers()) marked.push_back(item.value);
  return marked;
}

}  // namespace

TEST(SectionView, ChangingTheSectionShowsItsRecordingAndItsMarkersAtOnce) {
  VirtualAudio audio;
  MainWindow window;
  addRecording(window);                        // wave 0: 12 s
  addRecording(window, 6.0, 0, "short.wav");  // wave 1: 6 s
  storeSection(window, 3, 2, 10);              // Main A
  storeSection(window, 5, 12, 16);             // Main C
  storeSection(window, 4, 0, 8, false, 1);     // Main B on the short one
  show(window, 3);
  ASSERT_EQ(window.shownSampleCount(), samples(kSeconds));
  ASSERT_EQ(markedSlots(window), (std::vector<int>{3, 5}));

  window.mCmbTrimSec->setCurrentIndex(4);
  EXPECT_EQ(window.mCmbWav->currentText(), "short.wav");
  EXPECT_EQ(window.shownSampleCount(), samples(6.0));
  ASSERT_EQ(markedSlots(window), (std::vector<int>{4}));
  EXPECT_EQ(window.sectionMarkers()[0].end, static_cast<std::int64_t>(samples(4.0)));

  window.mCmbTrimSec->setCurrentIndex(5);
  EXPECT_EQ(window.mCmbWav->currentText(), "take.wav");
  EXPECT_EQ(window.shownSampleCount(), samples(kSeconds));
  EXPECT_EQ(markedSlots(window), (std::vector<int>{3, 5}));
}

TEST(SectionView, AnUndoneAssignmentLeavesTheMarkersAtOnce) {
  VirtualAudio audio;
  MainWindow window;
  addRecording(window);
  storeSection(window, 3, 2, 10);
  show(window, 3);
  ASSERT_EQ(markedSlots(window), (std::vector<int>{3}));
  // A second section assigned and undone through the window's history.
  storeSection(window, 6, 12, 16);
  window.refreshSectionView();
  EXPECT_EQ(markedSlots(window), (std::vector<int>{3, 6}));
  window.undo();
  EXPECT_EQ(markedSlots(window), (std::vector<int>{3}));
}
