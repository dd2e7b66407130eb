#include "CTimeMachineInterface1.h"

#include <QMessageLogger>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "EngineArray.h"
#include "LevelBlend.h"
#include "LowBandRebuild.h"
#include "RunTimeMachine.h"
#include "SMSRegionLists.h"
#include "StereoMarkerMatching.h"

namespace {

constexpr double kTimeTolerance = 1e-8;
constexpr std::int64_t kGiveUpSeconds = 4;
constexpr std::uint64_t kSpectra = SMSFrame::kMagnitudes | SMSFrame::kPhases;

std::int64_t nowMicroseconds() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Whether KeepLastStretched keeps the frame whole by swapping records.
bool keptWhole(const SMSFrame& f) { return (f.flags & kSpectra) == kSpectra && f.magnitudes && f.phases; }

template <typename T>
T* made(T* p) {
  if (!p) throw EngineArray::kOutOfMemory;
  return p;
}

}  // namespace

CTimeMachineInterface1::CTimeMachineInterface1() {
  log_.reset(made(new (std::nothrow) EngineLog()));
  setup_.reset(made(new (std::nothrow) EngineBandSetup()));
}

CTimeMachineInterface1::~CTimeMachineInterface1() { Finalize(); }

void CTimeMachineInterface1::MakeHistories() {
  setup_->ResetWindowStates();
  for (int ch = 0; ch < 2; ++ch) {
    window(ch).markers = markersMade_ ? &markers_[ch] : nullptr;
    owned_[ch].clear();
    ownedNext_[ch] = 0;
    EngineArray::Guard([&] { owned_[ch].resize(static_cast<std::size_t>(window(ch).frameCount)); });
    for (auto& set : owned_[ch]) EngineArray::Guard([&] { set.resize(static_cast<std::size_t>(bandCount_)); });
  }
}

void CTimeMachineInterface1::ReleaseFrames() {
  for (int ch = 0; ch < 2; ++ch) {
    for (auto& set : window(ch).frames) std::fill(set.begin(), set.end(), nullptr);
    owned_[ch].clear();
  }
}

std::int64_t CTimeMachineInterface1::PreAnalyse() {
  CSMSAnalysisParams presets;
  setup_->SetAnalysisPresets(presets);
  CSMSAnalysis analysis(sampleRate_, &presets);
  SMSRegionLists lists;
  CSMSRegion* regions[2] = {nullptr, nullptr};
  if (analysis.AnalyzeChannels(input(kLeft), mono_ ? nullptr : input(kRight), lists, map_,
                               verbose ? log_.get() : nullptr, &regions[kLeft], &regions[kRight]) != 0) {
    return kSetupAnalysisFailed;
  }
  for (int ch = 0; ch < channels(); ++ch) {
    if (!regions[ch]) return kSetupAnalysisFailed;
    markers_[ch].Clear();
    BuildTransientMarkers(markers_[ch], *regions[ch], true);
  }
  if (!mono_) {
    std::vector<std::int32_t> pairedLeft, pairedRight;
    EngineArray::Guard([&] {
      pairedLeft.assign(static_cast<std::size_t>(markers_[kLeft].count), 0);
      pairedRight.assign(static_cast<std::size_t>(markers_[kRight].count), 0);
    });
    MatchMarkers(markers_[kLeft], markers_[kRight], pairedLeft, pairedRight);
    MergeMarkers(markers_[kLeft], markers_[kRight], pairedLeft, pairedRight);
  }
  for (int ch = 0; ch < channels(); ++ch) {
    MarkerWindowContext context;
    context.frames = regions[ch];
    context.params = &setup_->runParams;
    context.hopSeconds = setup_->framePeriod;
    context.sampleRate = sampleRate_;
    context.hopSamples = setup_->hop;
    MarkerWindows(markers_[ch], context);
  }
  markersMade_ = true;
  return 0;
}

std::int64_t CTimeMachineInterface1::Setup() {
  EngineBandSetup& setup = *setup_;
  const auto mode = static_cast<int>(map_->mode);
  if (mode < 0 || mode > 5) return kSetupRefused;
  bandCount_ = (mode == 3 || mode == 5) ? 1 : 2;
  const double rate = io_->sampleRate;
  if (rate != 11025.0 && rate != 22050.0 && rate != 44100.0) return kSetupRefused;
  sampleRate_ = static_cast<int>(rate);
  sampleCount_ = static_cast<std::int64_t>(io_->sampleCount);
  duration_ = static_cast<double>(sampleCount_) / rate;
  mono_ = map_->monoFlag != 0;

  decimation_ = 1;
  if (mode == 0 && sampleRate_ == 22050) decimation_ = 2;
  if (mode == 0 && sampleRate_ == 44100) decimation_ = 4;
  setup.sampleRate = rate;
  setup.sampleCount = io_->sampleCount;
  setup.bandCount = bandCount_;
  setup.decimation = decimation_;
  setup.left = io_->leftIn;
  setup.right = mono_ ? nullptr : io_->rightIn;
  EngineArray::Guard([&] {
    setup.mapRatios.assign(map_->ratios.begin(), map_->ratios.begin() + static_cast<std::ptrdiff_t>(map_->pointCount));
    setup.mapPositions.assign(map_->positions.begin(),
                              map_->positions.begin() + static_cast<std::ptrdiff_t>(map_->pointCount));
    if (bandCount_ == 2) setup.nyquist = {static_cast<float>(rate / 2.0 / decimation_), static_cast<float>(rate / 2.0)};
    else setup.nyquist = {static_cast<float>(rate / 2.0)};
  });
  setup.MakeInputBuffers();

  if (setup.ConfigureMode(static_cast<std::uint32_t>(mode)) != 0) return kSetupRefused;
  const double hopSeconds = setup.framePeriod;

  // Room for the whole output, so the writers never have to grow.
  double capacity = 0.0;
  if (map_->pointCount == 1) {
    capacity = static_cast<double>(sampleCount_) * map_->ratios[0] + 1000.0;
  } else {
    double sum = 0.0;
    for (double t = 0.0; t < duration_; t += hopSeconds) sum += ratioAt(t) * hopSeconds;
    capacity = rate * sum + 6000.0;
  }
  if (!std::isfinite(capacity)) return kSetupNotANumber;
  capacity_ = static_cast<std::int64_t>(capacity);

  setup.MakeBandAnalysisParams();
  for (int ch = 0; ch < channels(); ++ch) {
    analyses_[ch].clear();
    for (int b = 0; b < bandCount_; ++b) {
      const int bandRate = static_cast<int>(2.0 * setup.nyquist[static_cast<std::size_t>(b)]);
      std::unique_ptr<CSMSAnalysis> a(
          new CSMSAnalysis(bandRate, setup.bandAnalysisParams[static_cast<std::size_t>(b)].get()));
      EngineArray::Guard([&] { analyses_[ch].push_back(std::move(a)); });
    }
  }
  setup.MakeBandStretchParams();
  for (int ch = 0; ch < channels(); ++ch) {
    containers_[ch].clear();
    lastStretched_[ch].clear();
    stretchers_[ch].clear();
    writers_[ch].clear();
    for (int b = 0; b < bandCount_; ++b) {
      CTimeMachineParams& p = *setup.bandStretchParams[static_cast<std::size_t>(b)];
      // Only the first left stretcher carries the run's band count.
      p.trailer.bandCount = (ch == kLeft && b == 0) ? std::min(32, std::max(0, bandCount_)) : 0;
      CSoundFile* writer = nullptr;
      std::unique_ptr<CBandStretcher> s(new CBandStretcher(&p, &writer));
      s->SetKeepsJoinLevel(bandCount_ == 2 && b == 1);
      std::unique_ptr<CSoundFile> ownedWriter(writer);
      EngineArray::Guard([&] {
        containers_[ch].push_back(std::make_unique<SMSFrame>());
        lastStretched_[ch].push_back(std::make_unique<SMSFrame>());
        stretchers_[ch].push_back(std::move(s));
        writers_[ch].push_back(std::move(ownedWriter));
        current_[ch].resize(static_cast<std::size_t>(bandCount_));
      });
    }
    containerView_[ch].clear();
    for (auto& c : containers_[ch]) EngineArray::Guard([&] { containerView_[ch].push_back(c.get()); });
    EngineArray::Guard([&] { lastStretchedView_[ch].assign(static_cast<std::size_t>(bandCount_), nullptr); });
  }

  blockSize_ = static_cast<std::int64_t>(rate / 44100.0 * 512.0);
  startClock_ = nowMicroseconds();
  inputPosition_ = 0;
  markersMade_ = false;

  if (setup.runParams.GetParam(CTimeMachineParams::TransientSwitchA, 0.0) != 0.0f) {
    const std::int64_t analysed = PreAnalyse();
    if (analysed != 0) return analysed;
  }
  MakeHistories();
  setupDone_ = true;
  return 0;
}

double CTimeMachineInterface1::ratioAt(double seconds) const {
  if (seconds * sampleRate_ >= static_cast<double>(sampleCount_) && map_->pointCount > 0)
    return map_->ratios[map_->pointCount - 1];
  return setup_->runParams.GetParam(CTimeMachineParams::StretchRatio, seconds);
}

void CTimeMachineInterface1::FeedBlock(std::vector<float>& block, std::vector<float>& decimated) {
  for (int ch = 0; ch < channels(); ++ch) {
    float* data = block.data();
    input(ch)->ReadFromSoundFile(&data, static_cast<int>(blockSize_), inputPosition_, 1);
    if (decimation_ == 1) {
      analyses_[ch][0]->PushSamples(block.data(), blockSize_);
    } else {
      std::int64_t n = 0;
      decimators_[ch]->Decimate(static_cast<int>(blockSize_), block.data(), decimated.data(), &n);
      analyses_[ch][0]->PushSamples(decimated.data(), n);
    }
    if (bandCount_ == 2) analyses_[ch][1]->PushSamples(block.data(), blockSize_);
  }
}

bool CTimeMachineInterface1::AnalyseNextFrames() {
  for (int ch = 0; ch < channels(); ++ch)
    for (auto& a : analyses_[ch])
      if (!a->FrameReady()) return false;
  bool complete = true;
  for (int ch = 0; ch < channels(); ++ch) {
    for (int b = 0; b < bandCount_; ++b) {
      CSMSAnalysis& a = *analyses_[ch][static_cast<std::size_t>(b)];
      a.AnalyzeFrame();
      current_[ch][static_cast<std::size_t>(b)] = a.takeCompletedFrame();
      if (!current_[ch][static_cast<std::size_t>(b)]) complete = false;
    }
  }
  if (!complete) {
    for (int ch = 0; ch < 2; ++ch)
      for (auto& f : current_[ch]) f.reset();
  }
  return complete;
}

void CTimeMachineInterface1::StoreInHistory() {
  for (int ch = 0; ch < channels(); ++ch) {
    // The owned frames stay where they are, in a ring whose next place
    // holds the oldest; only the window's pointers move down one place.
    auto& slot = owned_[ch][ownedNext_[ch]];
    ownedNext_[ch] = (ownedNext_[ch] + 1) % owned_[ch].size();
    auto& frames = window(ch).frames;
    const std::size_t last = frames.size() - 1;
    for (std::size_t b = 0; b < frames[0].size(); ++b)
      for (std::size_t k = 0; k < last; ++k) frames[k][b] = frames[k + 1][b];
    for (int b = 0; b < bandCount_; ++b) {
      const auto bi = static_cast<std::size_t>(b);
      // The frame that leaves the history gives its storage to the next one.
      analyses_[ch][bi]->Recycle(std::move(slot[bi]));
      slot[bi] = std::move(current_[ch][bi]);
      frames[last][bi] = slot[bi].get();
    }
  }
}

void CTimeMachineInterface1::KeepLastStretched() {
  for (int ch = 0; ch < channels(); ++ch) {
    for (int b = 0; b < bandCount_; ++b) {
      const auto bi = static_cast<std::size_t>(b);
      std::unique_ptr<SMSFrame>& made = containers_[ch][bi];
      // A frame with both spectra would be copied whole: the two records
      // change places instead, and the container is refilled next frame.
      if (keptWhole(*made)) {
        std::swap(made, lastStretched_[ch][bi]);
        containerView_[ch][bi] = made.get();
      } else {
        SMSFrame::CopyFrom(*made, *lastStretched_[ch][bi], kSpectra, true);
      }
    }
  }
  haveStretched_ = true;
}

void CTimeMachineInterface1::RestoreLastStretched() {
  for (int ch = 0; ch < channels(); ++ch)
    for (int b = 0; b < bandCount_; ++b)
      SMSFrame::CopyFrom(*lastStretched_[ch][static_cast<std::size_t>(b)], *containers_[ch][static_cast<std::size_t>(b)],
                         kSpectra, true);
}

void CTimeMachineInterface1::MakeOutputFrames(double centre) {
  const double hopSeconds = setup_->framePeriod;
  const std::int64_t half = window(kLeft).frameCount / 2;
  for (int ch = 0; ch < channels(); ++ch) {
    window(ch).referenceTime = centre;
    window(ch).startTime = centre - static_cast<double>(half) * hopSeconds;
  }
  while (centre > inputClock_) {
    // The analysed frame at the input time seeds the output spectra.
    const auto& frames = window(kLeft).frames;
    std::size_t k = 0;
    while (k + 1 < frames.size() && !(frames[k][0] && frames[k][0]->time + kTimeTolerance >= inputClock_)) ++k;
    for (int ch = 0; ch < channels(); ++ch) {
      for (int b = 0; b < bandCount_; ++b) {
        const SMSFrame* source = window(ch).frames[k][static_cast<std::size_t>(b)];
        if (!source) continue;
        SMSFrame& out = *containers_[ch][static_cast<std::size_t>(b)];
        const SMSFrame* before = k > 0 ? window(ch).frames[k - 1][static_cast<std::size_t>(b)] : nullptr;
        if (before && source->time > inputClock_ + kTimeTolerance && source->time > before->time)
          LevelBlend::CopyBlended(*before, *source, out, (source->time - inputClock_) / (source->time - before->time));
        else
          SMSFrame::CopyFrom(*source, out, kSpectra, true);
      }
    }
    // The ratio where the output clock reads the input, not where the
    // analysis has got to (0.2 s ahead): read there, a ratio change took
    // effect early and put every later click 85 ms off its place.
    const double step = hopSeconds / ratioAt(inputClock_);
    const CBandStretcher& first = *stretchers_[kLeft][0];
    context_.params = first.params();
    context_.hopSeconds = first.hopSeconds();
    context_.outputFrameCounter = first.outputFrameCounter();
    context_.stereoPhaseSwitch = first.stereoPhaseSwitch();
    context_.stereoPhaseAmount = first.stereoPhaseAmount();
    // Every frame kept whole below is the next one's previous frame as the
    // band stretch left it: the stretch reads it there instead of keeping
    // a copy of its phases.
    bool keptAll = true;
    for (int ch = 0; ch < channels(); ++ch) {
      for (int b = 0; b < bandCount_; ++b) {
        const auto bi = static_cast<std::size_t>(b);
        keptAll = keptAll && keptWhole(*containers_[ch][bi]);
        lastStretchedView_[ch][bi] = lastStretched_[ch][bi].get();
      }
      context_.previousOutput[ch] = lastStretchedView_[ch].data();
    }
    context_.keepsOutput = keptAll;
    const int stretched = StretchFrame(context_, stretchState_, window(kLeft), mono_ ? nullptr : &window(kRight),
                                       containerView_[kLeft].data(), mono_ ? nullptr : containerView_[kRight].data(),
                                       setup_->nyquist.data(), bandCount_, inputClock_, step, hopSeconds);
    // A frame without phases of its own would click: the last good one
    // stands in for it.
    if (stretched != 0 && haveStretched_) RestoreLastStretched();
    if (bandCount_ == 2 && stretchState_)
      for (int ch = 0; ch < channels(); ++ch)
        stretchers_[ch][1]->SetMovedShare(stretched == 0 ? stretchState_->movedShare[ch] : 0.0);
    for (int ch = 0; ch < channels(); ++ch)
      for (int b = 0; b < bandCount_; ++b)
        stretchers_[ch][static_cast<std::size_t>(b)]->SynthesizeFrame(containers_[ch][static_cast<std::size_t>(b)].get(),
                                                                      false, setup_->nyquist[static_cast<std::size_t>(b)]);
    // Kept once synthesised, which reads the frames and leaves them as they are.
    if (stretched == 0) KeepLastStretched();
    outputTime_ = centre;
    inputClock_ += step;
    for (int ch = 0; ch < channels(); ++ch)
      for (auto& c : containers_[ch]) c->Release(SMSFrame::kAllContents, true);
  }
}

bool CTimeMachineInterface1::RebuildLowBand() {
  for (int ch = 0; ch < channels(); ++ch) {
    CSoundFile& w = *writers_[ch][0];
    const std::int64_t n = decimation_ * w.length;
    // Rebuilt straight into the top band's array where it has room for the
    // whole output: no copy of the band at the full rate, no shift of it
    // and no pass of the band sum over it.
    if (bandCount_ == 2 && LowBandRebuild::FitsInTop(w, *writers_[ch][1], decimation_)) {
      CPolyphaseMultiRateProcessing up(CPolyphaseMultiRateProcessing::kInterpolate, decimation_, sampleRate_);
      LowBandRebuild::AddToTop(w, *writers_[ch][1], up);
      continue;
    }
    std::unique_ptr<float[]> full(new (std::nothrow) float[static_cast<std::size_t>(std::max<std::int64_t>(n, 1))]);
    if (!full) return false;
    CPolyphaseMultiRateProcessing up(CPolyphaseMultiRateProcessing::kInterpolate, decimation_, sampleRate_);
    std::int64_t got = 0;
    if (w.length > 0) up.Interpolate(static_cast<int>(w.length), w.storage, full.get(), &got);
    // The decimator and the interpolator each delay the band by d samples.
    const std::int64_t shift = std::min<std::int64_t>(2 * up.GetDelay(), got);
    std::memmove(full.get(), full.get() + shift, static_cast<std::size_t>(got - shift) * sizeof(float));
    std::fill(full.get() + got - shift, full.get() + got, 0.0f);
    w.length = 0;
    w.addCursor = -1;
    if (got > 0) w.WriteToSoundFile(full.get(), static_cast<int>(got));
  }
  return true;
}

void CTimeMachineInterface1::AssembleOutput() {
  for (int ch = 0; ch < channels(); ++ch) {
    CSoundFile& low = *writers_[ch][0];
    for (int b = 1; b < bandCount_; ++b) {
      CSoundFile& band = *writers_[ch][static_cast<std::size_t>(b)];
      const std::int64_t n = std::min(low.length, band.length);
      // Summed unclipped: the peak limiter after the engine needs the real
      // peaks of the sum.
      for (std::int64_t i = 0; i < n; ++i) low.storage[i] += band.storage[i];
      delete[] band.storage;
      band.storage = nullptr;
      band.capacity = 0;
      band.length = 0;
    }
  }

  const std::uint64_t points = map_->pointCount;
  double expected = 0.0;
  if (points == 1) {
    expected = static_cast<double>(sampleCount_) * map_->ratios[0];
  } else {
    double sum = 0.0;
    for (std::uint64_t i = 0; i + 1 < points; ++i)
      sum += (map_->positions[i + 1] - map_->positions[i]) * map_->ratios[i];
    sum += (1.0 - map_->positions[points - 1]) * map_->ratios[points - 1];
    expected = static_cast<double>(sampleCount_) * sum;
  }
  // Rounding noise of the normalised positions must not cost a sample.
  const auto E = static_cast<std::int64_t>(expected + 1e-6);

  for (int ch = 0; ch < channels(); ++ch) {
    CSoundFile& w = *writers_[ch][0];
    if (w.length > E) {
      QMessageLogger().debug("Stretch data is too much rather than expect");
    } else if (w.length < E) {
      QMessageLogger().debug("Stretch data is too less rather than expect");
    }
    float* out = nullptr;
    if (w.capacity >= E && w.storage) {
      out = w.storage;
      if (w.length < E) std::fill(out + w.length, out + E, 0.0f);
    } else {
      out = new (std::nothrow) float[static_cast<std::size_t>(std::max<std::int64_t>(E, 1))];
      if (!out) throw EngineArray::kOutOfMemory;
      const std::int64_t kept = std::min(E, w.storage ? w.length : 0);
      if (kept > 0) std::memcpy(out, w.storage, static_cast<std::size_t>(kept) * sizeof(float));
      std::fill(out + kept, out + E, 0.0f);
      delete[] w.storage;
    }
    w.storage = nullptr;
    w.capacity = 0;
    w.length = 0;
    (ch == kLeft ? io_->leftOut : io_->rightOut) = out;
  }
  io_->produced = static_cast<std::uint64_t>(E);
}

void CTimeMachineInterface1::ReleaseBandOutputs() {
  for (int ch = 0; ch < 2; ++ch) {
    for (auto& w : writers_[ch]) {
      if (!w) continue;
      delete[] w->storage;
      w->storage = nullptr;
      w->capacity = 0;
      w->length = 0;
    }
  }
}

void CTimeMachineInterface1::Process(TimeMachineMap* map, TimeMachineIO* io) {
  map_ = map;
  io_ = io;
  outputTime_ = 0.0;
  if (TimeMachineStopRequested()) {
    io->status = TimeMachineIO::kCancelledOrAnalysisFailed;
    return;
  }
  const std::int64_t setup = Setup();
  if (setup != 0) {
    io->status = setup;
    Finalize();
    return;
  }
  if (verbose) log_->Print("\nProcessing time scale...\n");

  std::vector<float> block;
  std::vector<float> decimated;
  EngineArray::Guard([&] {
    block.assign(static_cast<std::size_t>(blockSize_) + 100, 0.0f);
    decimated.assign(static_cast<std::size_t>(blockSize_) + 100, 0.0f);
  });
  for (int ch = 0; ch < channels(); ++ch) {
    if (decimation_ != 1)
      decimators_[ch] = std::make_unique<CPolyphaseMultiRateProcessing>(CPolyphaseMultiRateProcessing::kDecimate,
                                                                         decimation_, sampleRate_);
  }
  for (int ch = 0; ch < channels(); ++ch) {
    for (auto& w : writers_[ch]) {
      w->storage = new (std::nothrow) float[static_cast<std::size_t>(std::max<std::int64_t>(capacity_, 1))];
      if (!w->storage) {
        io->status = TimeMachineIO::kOutOfMemory;
        ReleaseBandOutputs();
        Finalize();
        return;
      }
      w->capacity = capacity_;
      w->length = 0;
    }
  }

  map->runState = TimeMachineMap::kProcessing;
  const std::uint64_t points = map->pointCount;
  const double firstRatio = setup_->runParams.GetParam(CTimeMachineParams::StretchRatio, 0.0);
  const std::size_t top = static_cast<std::size_t>(bandCount_ - 1);
  std::int64_t lastThousandths = -1;
  std::int64_t lastPercent = -1;
  const std::int64_t half = window(kLeft).frameCount / 2;
  const double hopSeconds = setup_->framePeriod;
  for (;;) {
    // A stop ends the run within one block.
    if (TimeMachineStopRequested()) break;
    FeedBlock(block, decimated);
    while (AnalyseNextFrames()) {
      const double t = current_[kLeft][0]->time;
      const SMSFrame* newest = window(kLeft).frames.back()[0];
      if (!newest || t > newest->time + kTimeTolerance) StoreInHistory();
      for (int ch = 0; ch < channels(); ++ch)
        for (int b = 0; b < bandCount_; ++b)
          analyses_[ch][static_cast<std::size_t>(b)]->Recycle(std::move(current_[ch][static_cast<std::size_t>(b)]));
      const SMSFrame* latest = window(kLeft).frames.back()[0];
      const double centre = latest->time - static_cast<double>(half) * hopSeconds;
      if (centre < kTimeTolerance) continue;
      MakeOutputFrames(centre);
    }
    inputPosition_ += blockSize_;

    const std::int64_t written = writers_[kLeft][top]->length;
    double fraction = 0.0;
    bool done = false;
    if (points > 1) {
      fraction = outputTime_ / duration_;
      done = fraction > 1.0;
    } else {
      const double wanted = static_cast<double>(sampleCount_) * firstRatio;
      fraction = static_cast<double>(written) / (static_cast<double>(sampleCount_) * map->ratios[0]);
      done = static_cast<double>(written) > wanted;
    }
    const auto thousandths = static_cast<std::int64_t>(fraction * 1000.0);
    map->progressFraction = static_cast<float>(thousandths / 1000.0);
    const std::int64_t percent = thousandths / 10;
    if (percent != lastPercent && percent % 5 == 0 && verbose) log_->Print("%d%% ", static_cast<int>(percent));
    lastPercent = percent;
    if (thousandths != lastThousandths) map->hostPercent = static_cast<std::int64_t>(percent * 0.9 + 10.0);
    lastThousandths = thousandths;
    // The end is reached within the analysis latency after the input has
    // run out; a run that has not finished long after that never will.
    if (done || inputPosition_ > sampleCount_ + kGiveUpSeconds * sampleRate_) break;
  }

  if (TimeMachineStopRequested()) {
    ReleaseFrames();
    ReleaseBandOutputs();
    Finalize();
    io->status = TimeMachineIO::kCancelledOrAnalysisFailed;
    return;
  }
  if (decimation_ != 1 && !RebuildLowBand()) {
    io->status = TimeMachineIO::kOutOfMemory;
    ReleaseBandOutputs();
    Finalize();
    return;
  }
  ReleaseFrames();
  AssembleOutput();

  const double elapsed = static_cast<double>(nowMicroseconds() - startClock_) / 1e6;
  const double realtime =
      elapsed > 0.0 ? (static_cast<double>(inputPosition_) / sampleRate_) / elapsed * 100.0 : 0.0;
  if (verbose) log_->Print("\nTotal Time: %.0f sec         Amount of realtime: %.1f%%\n", elapsed, realtime);
  Finalize();
  map->runState = TimeMachineMap::kDone;
  io->status = TimeMachineIO::kSuccess;
}

void CTimeMachineInterface1::Finalize() {
  const std::int64_t started = nowMicroseconds();
  if (verbose && setupDone_) log_->Print("\n%d[sec] Finalize() Start\n", 0);
  ReleaseFrames();
  ReleaseBandOutputs();
  for (int ch = 0; ch < 2; ++ch) {
    for (auto& f : current_[ch]) f.reset();
    stretchers_[ch].clear();
    writers_[ch].clear();
    containers_[ch].clear();
    lastStretched_[ch].clear();
    containerView_[ch].clear();
    lastStretchedView_[ch].clear();
    analyses_[ch].clear();
    decimators_[ch].reset();
  }
  stretchState_.reset();
  context_.state = nullptr;
  if (verbose && setupDone_)
    log_->Print("%d[sec] Finalize() End\n", static_cast<int>((nowMicroseconds() - started) / 1000000));
  setupDone_ = false;
}
