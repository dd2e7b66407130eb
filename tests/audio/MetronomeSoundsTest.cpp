#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>

#include "BuiltResources.h"
#include "audioFileMngr.h"

namespace {

// Peak level and the frequency estimated from zero crossings of a click.
struct ClickShape {
  int peak = 0;
  double frequency = 0;
};

ClickShape shapeOf(const QString& path) {
  std::unique_ptr<IF_audioFileMngr> files(audioFileMngr::create());
  std::vector<std::uint8_t> bytes;
  EXPECT_EQ(files->readShortBytes(path.toStdWString(), bytes), 0u) << path.toStdString();
  ClickShape shape;
  int crossings = 0;
  int previous = 0;
  const std::size_t frames = bytes.size() / 4;
  for (std::size_t i = 0; i < frames; ++i) {
    const int left = static_cast<std::int16_t>(bytes[4 * i] | (bytes[4 * i + 1] << 8));
    shape.peak = std::max(shape.peak, std::abs(left));
    if (i > 0 && previous < 0 && left >= 0) ++crossings;
    previous = left;
  }
  shape.frequency = crossings / (static_cast<double>(frames) / 44100.0);
  return shape;
}

}  // namespace

TEST(MetronomeSounds, TheAccentIsHigherAndLouderAndBothAreWorkCopyFormat) {
  std::unique_ptr<IF_audioFileMngr> files(audioFileMngr::create());
  std::uint64_t frames1 = 0, frames2 = 0;
  ASSERT_EQ(files->checkFile(resourcePath("Metro1.wav").toStdWString(), frames1), 0u);
  ASSERT_EQ(files->checkFile(resourcePath("Metro2.wav").toStdWString(), frames2), 0u);
  EXPECT_GT(frames1, 441u);
  EXPECT_LT(frames1, 44100u) << "a click, not a tone";
  const ClickShape accent = shapeOf(resourcePath("Metro1.wav"));
  const ClickShape beat = shapeOf(resourcePath("Metro2.wav"));
  EXPECT_GT(accent.peak, beat.peak);
  EXPECT_GT(accent.frequency, beat.frequency);
  EXPECT_LT(accent.peak, 32767) << "no clipping";
}
