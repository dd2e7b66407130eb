// Waveform columns over long spans come from block peaks; they must equal a
// scan of every frame, also after the recording under the reader changed.

#include <gtest/gtest.h>

#include <QWidget>

#include <sndfile.h>

#include <cmath>

#include "TempDir.h"
#include "TestAudio.h"
#include "WavSeekerSeq.h"
#include "wavPainterSeeker.h"

namespace {

std::vector<float> decoded(const QString& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.toUtf8().constData(), SFM_READ, &info);
  EXPECT_NE(file, nullptr);
  std::vector<float> v(std::size_t(info.frames) * info.channels);
  sf_readf_float(file, v.data(), info.frames);
  sf_close(file);
  return v;
}

// Each column's rows from the minimum and maximum of every frame it spans.
std::vector<std::pair<int, int>> naiveColumns(const wavPainterSeeker& layer, const std::vector<float>& frames) {
  const std::int64_t count = layer.mSampleCount;
  const int w = layer.width();
  const double perWidth = double(count) / layer.mZoom;
  const auto bound = [&](double v) { return v < 0 ? std::int64_t(0) : std::min<std::int64_t>(std::int64_t(v), count - 1); };
  std::vector<std::pair<int, int>> columns;
  for (int i = 0; i < w; ++i) {
    const std::int64_t a = bound(std::ceil((double(i - 1) / w + layer.mScrollOffset) * perWidth));
    const std::int64_t b = bound(std::floor((double(i + 1) / w + layer.mScrollOffset) * perWidth));
    float lo = 1.0f, hi = -1.0f;
    for (std::int64_t f = a; f < a + std::llabs(b - a); ++f) {
      lo = std::min(lo, frames[2 * f + layer.mChannel]);
      hi = std::max(hi, frames[2 * f + layer.mChannel]);
    }
    columns.emplace_back(layer.amplitudeToY(lo, true), layer.amplitudeToY(hi, true));
  }
  return columns;
}

}  // namespace

TEST(WaveformPeakCache, LongColumnsEqualAScanOfEveryFrameAndFollowARewrittenFile) {
  const QString path = TestEnv::tempPath("noise.wav");
  ASSERT_TRUE(TestAudio::writeWav(path, TestAudio::noise(3.0, 0.8, 7)));
  WavSeekerSeq seeker(path);
  QWidget frame;
  auto* layer = new wavPainterSeeker(&seeker, 1, static_cast<std::int64_t>(seeker.length()), 1, &frame, {}, 0.0);
  layer->resize(97, 60);
  std::vector<float> frames = decoded(path);
  struct View {
    int zoom;
    double offset;
  };
  for (View v : {View{1, 0.0}, View{2, 0.5}, View{3, 2.0}, View{1, 0.3}}) {
    layer->mZoom = v.zoom;
    layer->mScrollOffset = v.offset;
    layer->prepare();
    ASSERT_EQ(layer->mColumns, naiveColumns(*layer, frames)) << v.zoom << " " << v.offset;
  }

  // The same file name and length with other samples: the reader sees the
  // new file at its next rewind, and so must the waveform.
  ASSERT_TRUE(TestAudio::writeWav(path, TestAudio::noise(3.0, 0.3, 8)));
  frames = decoded(path);
  layer->mZoom = 1;
  layer->mScrollOffset = 0.0;
  layer->prepare();
  EXPECT_EQ(layer->mColumns, naiveColumns(*layer, frames));
}
