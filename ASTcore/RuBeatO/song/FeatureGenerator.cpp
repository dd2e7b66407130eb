#include "FeatureGenerator.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "BarSixteenthSlicer.h"
#include "FrameFeatureMaker.h"
#include "IKelo.h"
#include "IProgress.h"
#include "SongEngine.h"
#include "SoundingSpan.h"

namespace MzMir {

namespace {

constexpr int kBlock = 180;

// Tells the listener a percentage only when it differs from the last one.
class ProgressTeller {
 public:
  ProgressTeller(IProgress* listener, int last) : listener(listener), last(last) {}
  void operator()(int percent) {
    if (!listener || percent == last) return;
    last = percent;
    listener->progress(percent);
  }

 private:
  IProgress* listener;
  int last;
};

int share(std::uint64_t done, std::uint64_t total, int range) {
  if (total == 0) return 0;
  return static_cast<int>(static_cast<double>(std::min(done, total)) * range / static_cast<double>(total));
}

}  // namespace

FeatureGenerator::FeatureGenerator(int hopSize, int frameLength)
    : hopSize(hopSize), frameLength(frameLength), engineFactory(makeSongEngine) {
  if (hopSize < 1) throw std::domain_error("hopsize must be positive");
  if (frameLength < 1) throw std::domain_error("framelen must be positive");
}

FeatureGenerator& FeatureGenerator::setNdim(int n) {
  if (n < 1) throw std::domain_error("ndim must be positive");
  ndim = n;
  return *this;
}

FeatureGenerator& FeatureGenerator::setProgress(IProgress* l) {
  listener = l;
  return *this;
}

FeatureGenerator& FeatureGenerator::setEngineFactory(EngineFactory factory) {
  engineFactory = std::move(factory);
  return *this;
}

void FeatureGenerator::checkAbort() const {
  if (listener && listener->abort.load()) throw std::runtime_error("Aborted");
}

void FeatureGenerator::generate(FeatureMatrix& features, std::vector<double>& barTimes,
                                std::vector<std::int32_t>& barTatums, ISeekable<float>& source, int meter0,
                                int meter1, int meter2, int meter3) {
  running = true;
  // Checked up front: any other layout would be mixed wrongly by the engine
  // stage and only refused after it.
  const std::uint32_t channels = source.channels();
  if (channels != 1 && channels != 2) throw std::runtime_error("Unsupported number of channels");
  if (!runKelo(barTimes, barTatums, source, meter0, meter1, meter2, meter3)) return;
  runFeatures(features, source);
}

bool FeatureGenerator::runKelo(std::vector<double>& barTimes, std::vector<std::int32_t>& barTatums,
                               ISeekable<float>& source, int meter0, int meter1, int meter2, int meter3) {
  std::shared_ptr<kelo::IKelo> engine = engineFactory ? engineFactory() : nullptr;
  if (!engine) throw std::runtime_error("KELO Cannot be initialized");
  if (engine->init(0, std::string(), kBlock, meter0, 0.0) != 0 || engine->setMeter(meter1, meter2, meter3) != 0)
    throw std::runtime_error("KELO Cannot be initialized");

  const float rate = source.sampleRate();
  BarSixteenthSlicer slicer(rate, listener, 4, 4);
  engine->onChord = &BarSixteenthSlicer::_onChord;
  engine->onBarline = &BarSixteenthSlicer::_onBarline;
  engine->onTatum = &BarSixteenthSlicer::_onTatum;
  engine->onBeat = &BarSixteenthSlicer::_onBeat;
  engine->onKeysig = &BarSixteenthSlicer::_onKeysig;
  engine->onDoneAnalysis = &BarSixteenthSlicer::_onDoneAnalysis;
  engine->userChord = engine->userBarline = engine->userTatum = engine->userBeat = engine->userKeysig =
      engine->userDoneAnalysis = &slicer;

  const std::uint32_t channels = source.channels();
  std::vector<float> buffer(static_cast<std::size_t>(kBlock) * channels, 0.0f);
  source.seek(0);
  const std::uint64_t total = source.length();
  std::uint64_t frames = 0;
  std::vector<float> blockPeaks;
  blockPeaks.reserve(static_cast<std::size_t>(total / kBlock + 1));
  ProgressTeller tell(listener, 0);
  while (running) {
    if (source.read(buffer.data(), kBlock) < static_cast<std::uint64_t>(kBlock)) break;
    if (channels == 2)
      for (int i = 0; i < kBlock; ++i) buffer[i] = (buffer[2 * i] + buffer[2 * i + 1]) * 0.5f;
    float peak = 0.0f;
    for (int i = 0; i < kBlock; ++i) peak = std::max(peak, std::fabs(buffer[i]));
    blockPeaks.push_back(peak);
    engine->process(buffer.data(), kBlock);
    frames += kBlock;
    if (listener) {
      tell(share(frames, total, 25));
      checkAbort();
    }
  }
  if (!running) return false;

  if (engine->finish() != 0) throw std::runtime_error("Cannot load KELO");
  // The tatum interval that closes the last bar is subdivided too, so that
  // bar gets features of its own.
  slicer.completeLastBar();
  gridPerBar = slicer.gridPerBar();
  beatTimes = slicer.beatTimes;
  source.seek(0);

  const std::size_t bars = gridPerBar > 0 ? slicer.grid.size() / static_cast<std::size_t>(gridPerBar) : 0;
  barTatums.assign(bars, 0);
  barTimes.assign(bars + 1, 0.0);
  for (std::size_t i = 0; i < bars; ++i) {
    if (i < slicer.barlines.size()) barTatums[i] = slicer.barlines[i];
    barTimes[i] = slicer.grid[static_cast<std::size_t>(gridPerBar) * i];
  }
  barTimes[bars] = static_cast<double>(static_cast<float>(frames) / rate);
  // Every bar keeps its features (the structure is inferred over the whole
  // recording, silences included); the bars and beats a listener gets are
  // those where the recording sounds.
  const SoundingSpan span = findSoundingSpan(blockPeaks, static_cast<double>(kBlock) / static_cast<double>(rate));
  soundingBars = barsInSpan(barTimes, span);
  trimBeatsToSpan(beatTimes, barTimes, soundingBars, span);

  frameIndices.clear();
  frameIndices.reserve(slicer.grid.size());
  for (float t : slicer.grid)
    frameIndices.push_back(static_cast<std::int64_t>(std::trunc(t * gridRate)) / hopSize);
  return true;
}

void FeatureGenerator::runFeatures(FeatureMatrix& features, ISeekable<float>& source) {
  auto maker = std::make_shared<FrameFeatureMaker>(static_cast<std::uint32_t>(frameLength));
  maker->init(source.sampleRate());
  const std::vector<double>& D = maker->cosineMatrix();

  source.seek(0);
  const std::uint32_t channels = source.channels();
  std::vector<float> buffer(static_cast<std::size_t>(hopSize) * channels, 0.0f);
  const std::uint64_t total = source.length();
  std::vector<double> mono(static_cast<std::size_t>(hopSize));
  std::vector<Eigen::VectorXd> cell;
  std::vector<Eigen::VectorXd> rows;
  const auto closeCell = [&] {
    // Two grid points in one hop leave a cell without hops; it repeats the
    // cell before it so every later cell stays in its bar.
    if (!cell.empty())
      rows.push_back(poolCell(cell, D));
    else
      rows.push_back(rows.empty() ? poolCell({Eigen::VectorXd::Zero(FrameFeatureMaker::kFeatures)}, D) : rows.back());
    cell.clear();
  };

  ProgressTeller tell(listener, 25);
  std::int64_t h = 0;
  std::size_t g = 0;
  while (running) {
    if (source.read(buffer.data(), static_cast<std::uint64_t>(hopSize)) < static_cast<std::uint64_t>(hopSize)) break;
    for (; g < frameIndices.size() && frameIndices[g] <= h; ++g) {
      // Hops before the first grid point belong to no cell.
      if (g > 0)
        closeCell();
      else
        cell.clear();
    }
    if (listener) {
      tell(25 + share(static_cast<std::uint64_t>(h + 1) * static_cast<std::uint64_t>(hopSize), total, 25));
      checkAbort();
    }
    if (channels == 2) {
      for (int i = 0; i < hopSize; ++i)
        mono[static_cast<std::size_t>(i)] = static_cast<double>(buffer[2 * i] * 0.5f + buffer[2 * i + 1] * 0.5f);
    } else {
      for (int i = 0; i < hopSize; ++i) mono[static_cast<std::size_t>(i)] = static_cast<double>(buffer[i]);
    }
    const std::vector<double> values = maker->compute(mono);
    cell.push_back(Eigen::Map<const Eigen::VectorXd>(values.data(), static_cast<Eigen::Index>(values.size())));
    std::fill(buffer.begin(), buffer.end(), 0.0f);
    ++h;
  }
  if (!running) return;
  if (!cell.empty()) rows.push_back(poolCell(cell, D));
  if (rows.empty()) {
    features = FeatureMatrix(0, ndim);
    return;
  }
  FeatureMatrix M(static_cast<Eigen::Index>(rows.size()), rows.front().size());
  for (std::size_t r = 0; r < rows.size(); ++r) M.row(static_cast<Eigen::Index>(r)) = rows[r].transpose();
  features = reduceBarFeatures(M, gridPerBar, ndim);
}

}  // namespace MzMir
