#include "CSMSAnalysis.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "EngineArray.h"

namespace {

constexpr double kTimeTolerance = 1e-8;

std::unique_ptr<SMSFrame> emptyRecord() {
  std::unique_ptr<SMSFrame> f(new (std::nothrow) SMSFrame());
  if (!f) throw EngineArray::kOutOfMemory;
  f->time = SMSFrame::kEmptyTime;
  return f;
}

CSMSAnalysisParams* checkedParams(CSMSAnalysisParams* params, int sampleRate) {
  if (!params || sampleRate <= 0 || !(params->frameRate > 0.0f)) throw -2;
  return params;
}

void retime(CSMSRegion* region, double period) {
  if (!region) return;
  for (std::int64_t k = 0; k < region->frameCount(); ++k) region->frame(k)->time = static_cast<double>(k) * period;
}

}  // namespace

CSMSAnalysis::CSMSAnalysis(int sampleRate, CSMSAnalysisParams* params)
    : framePeriod(1.0 / checkedParams(params, sampleRate)->frameRate),
      params_(params),
      sampleRate_(sampleRate),
      halfSampleTime_(1.0 / (2.0 * sampleRate)),
      hop_(static_cast<std::int64_t>(sampleRate / params->frameRate + 0.5f)) {
  if (hop_ < 1) throw -2;
  const int mode = static_cast<int>(params->Envelope(CSMSAnalysisParams::frameAnalysisMode).GetValue(0.0));
  ringLength_ = sampleRate / 2;
  if (mode == CFrameAnalyzer::kSelfAnalysingMode)
    ringLength_ += static_cast<std::int64_t>(static_cast<float>(hop_) * params->windowHops);
  else if (mode != 0)
    ringLength_ += hop_;
  ring_ = EngineArray::Make<float>(static_cast<std::size_t>(ringLength_));

  frameAnalyzer_ = std::make_unique<CFrameAnalyzer>(params, ring_.get(), sampleRate, ringLength_);
  if (params->transientDetection == 1)
    transientDetector_ = std::make_unique<CTransientDetector>(ring_.get(), sampleRate, ringLength_);
  analysisMode_ = params->analysisMode;

  std::int64_t count = frameAnalyzer_->frameDelay() + 1 + (analysisMode_ == 1 ? 1 : 0);
  if (transientDetector_) count = std::max(count, CTransientDetector::historyDepth + 1);
  count = std::max<std::int64_t>(count, 1);
  EngineArray::Guard([&] {
    slots_.reserve(static_cast<std::size_t>(count));
    slotView_.reserve(static_cast<std::size_t>(count));
  });
  for (std::int64_t i = 0; i < count; ++i) slots_.push_back(emptyRecord());
  // Silence keeps coming until every frame of the range has left the delay
  // line, and each of them needs half its window of input past its centre.
  std::int64_t span = frameAnalyzer_->windowLength();
  if (transientDetector_) span = std::max(span, transientDetector_->frameLength());
  lookahead_ = (count + 1) * hop_ + span / 2;
  zeroBlock_ = EngineArray::Make<float>(static_cast<std::size_t>(hop_));
}

CSMSAnalysis::~CSMSAnalysis() = default;

int CSMSAnalysis::PushSamples(const float* samples, std::int64_t count) {
  if (!samples || count < 1) return 0;
  std::int64_t done = 0;
  while (done < count) {
    const std::int64_t n = std::min(count - done, ringLength_ - writePos_);
    std::memcpy(ring_.get() + writePos_, samples + done, static_cast<std::size_t>(n) * sizeof(float));
    done += n;
    writePos_ = (writePos_ + n) % ringLength_;
  }
  bufferedEnd_ += static_cast<float>(count) / static_cast<float>(sampleRate_);
  return 0;
}

void CSMSAnalysis::chooseWindowSize() {
  if (!(fundamental_ > 0.0f)) fundamental_ = params_->ValueAtSeconds(CSMSAnalysisParams::fundamentalHz, frameTime_);
  const double periods = params_->Envelope(CSMSAnalysisParams::windowPeriods).GetValue(fundamental_ / 1000.0);
  const auto n = static_cast<std::int64_t>(fundamental_ > 0.0f ? sampleRate_ * periods / fundamental_ + 1.0
                                                               : sampleRate_ * periods + 1.0);
  windowSize_ = (n % 2 == 1) ? n : n - 1;
}

double CSMSAnalysis::requiredInputEnd() const {
  std::int64_t span = windowSize_;
  if (transientDetector_ && transientDetector_->frameLength() > span) span = transientDetector_->frameLength();
  double T = frameTime_ + static_cast<double>(span) * halfSampleTime_;
  T = std::max(T, frameTime_ + framePeriod / 2.0);
  const SMSFrame& oldest = *slots_.front();
  const std::int64_t analyserWindow = frameAnalyzer_->windowLength();
  if (oldest.time != SMSFrame::kEmptyTime && analyserWindow > 0)
    T = std::max(T, oldest.time + static_cast<double>(analyserWindow) * halfSampleTime_);
  // The analyser reads the whole window of the frame it analyses now; input
  // not pushed yet would be stale ring contents.
  if (frameAnalyzer_->frameAnalysisMode() == CFrameAnalyzer::kSelfAnalysingMode)
    T = std::max(T, frameTime_ + static_cast<double>(analyserWindow) * halfSampleTime_);
  return T;
}

bool CSMSAnalysis::FrameReady() {
  chooseWindowSize();
  return inputEnded || requiredInputEnd() < bufferedEnd_;
}

int CSMSAnalysis::AnalyzeFrame() {
  if (regionList_ && !(regionList_->framePeriod > 0.0)) regionList_->framePeriod = framePeriod;
  completedFrame_.reset();
  // Counts only this call's silence, so a pass never counts a flush twice.
  zerosPushed_ = 0;
  chooseWindowSize();
  SMSFrame& newest = *slots_.back();
  newest.time = frameTime_;

  const double T = requiredInputEnd();
  if (T >= bufferedEnd_) {
    if (!inputEnded) return 1;
    while (bufferedEnd_ <= T) {
      PushSamples(zeroBlock_.get(), hop_);
      zerosPushed_ += hop_;
    }
  }

  newest.AttachBandBlock();
  if (transientDetector_) transientDetector_->ComputeBandLevels(newest, readPos_);
  slotView_.clear();
  for (const auto& s : slots_) slotView_.push_back(s.get());
  frameAnalyzer_->NextFrame(&slotView_.back());

  SMSFrame& oldest = *slots_.front();
  if (oldest.time != SMSFrame::kEmptyTime) {
    if (transientDetector_ && oldest.Has(SMSFrame::kBandBlock)) transientDetector_->ComputeFlux(slotView_.data());
    completedFrame_ = std::move(slots_.front());
    slots_.front() = freshRecord();
  } else {
    oldest.Release(SMSFrame::kAllContents, true);
  }
  if (slots_.size() >= 2) std::rotate(slots_.begin(), slots_.begin() + 1, slots_.end());
  frameTime_ += framePeriod;
  readPos_ = (readPos_ + hop_) % ringLength_;
  return 0;
}

void CSMSAnalysis::Recycle(std::unique_ptr<SMSFrame> frame) {
  // A few records cover the frames in flight; more would only hold memory.
  constexpr std::size_t kMostSpares = 4;
  if (!frame || spares_.size() >= kMostSpares) return;
  // As an empty record looks, except for the storage it keeps.
  frame->Release(SMSFrame::kAllContents, true);
  frame->flags = 0;
  frame->binCount = 0;
  frame->time = SMSFrame::kEmptyTime;
  EngineArray::Guard([&] { spares_.reserve(kMostSpares); });
  spares_.push_back(std::move(frame));
}

std::unique_ptr<SMSFrame> CSMSAnalysis::freshRecord() {
  if (spares_.empty()) return emptyRecord();
  std::unique_ptr<SMSFrame> f = std::move(spares_.back());
  spares_.pop_back();
  return f;
}

void CSMSAnalysis::NewRegion() {
  if (!regionList_) return;
  std::unique_ptr<CSMSRegion> region(new (std::nothrow) CSMSRegion());
  if (!region) throw EngineArray::kOutOfMemory;
  regionList_->Append(std::move(region));
}

void CSMSAnalysis::StoreFrame(std::unique_ptr<SMSFrame> frame) {
  if (!frame || !regionList_) return;
  const std::int64_t count = regionList_->count();
  if (count == 0) return;
  std::int64_t index = 0;
  if (count > 1) {
    if (frame->time >= regionList_->startTime(count - 1) - kTimeTolerance) {
      index = count - 1;
    } else {
      std::int64_t i = 0;
      while (i < count && !(regionList_->startTime(i) - kTimeTolerance > frame->time)) ++i;
      if (i == 0) return;  // before the first region
      index = i - 1;
    }
  }
  CSMSRegion* region = regionList_->region(index);
  frame->time -= regionList_->startTime(index);
  region->AddFrame(std::move(frame));
  if (index == count - 1 && region->endTime > regionList_->totalDuration) regionList_->totalDuration = region->endTime;
}

void CSMSAnalysis::CloseRegion() {
  if (regionList_ && regionList_->count() > 0) regionList_->region(regionList_->count() - 1)->endTime += framePeriod;
}

void CSMSAnalysis::resetForPass() {
  for (auto& s : slots_) {
    s->Release(SMSFrame::kAllContents, true);
    s->time = SMSFrame::kEmptyTime;
  }
  std::fill(ring_.get(), ring_.get() + ringLength_, 0.0f);
  writePos_ = 0;
  bufferedEnd_ = 0.0;
  readPos_ = 0;
  fundamental_ = 0.0f;
  frameTime_ = 0.0;
  zerosPushed_ = 0;
  completedFrame_.reset();
  frameAnalyzer_->ResetReadPosition();
  if (transientDetector_) transientDetector_->ResetHistory();
  lastPrinted_ = -1;
  lastReported_ = -1;
}

void CSMSAnalysis::readBlock(CSoundFile* source, std::int64_t position) {
  float* data = nullptr;
  const std::int64_t code = source->ReadFromSoundFile(&data, kBlockSize, position, 2);
  if (data && code != CSoundFile::kRefused) PushSamples(data, kBlockSize);
  if (code == CSoundFile::kNewCopy || code == CSoundFile::kNewZeros) delete[] data;
}

void CSMSAnalysis::reportProgress(std::int64_t percent, TimeMachineMap* map, EngineLog* log) {
  percent = std::min<std::int64_t>(std::max<std::int64_t>(percent, 0), 100);
  if (map) map->progressFraction = static_cast<float>(percent / 100.0);
  if (percent != lastPrinted_ && percent % 5 == 0 && percent >= 1 && percent <= 99 && printProgress && log) {
    log->Print("%d%% ", static_cast<int>(percent));
    lastPrinted_ = percent;
  }
  if (map && percent != lastReported_) {
    if (map->monoFlag)
      map->hostPercent = percent / 10;
    else
      map->hostPercent = percent / 20 + (map->runState == TimeMachineMap::kAnalysingRight ? 5 : 0);
    lastReported_ = percent;
  }
}

int CSMSAnalysis::AnalyzeChannel(CSoundFile* source, SMSRegionLists& regionLists, TimeMachineMap* map,
                                 EngineLog* log) {
  if (!source) return 2;
  const std::int64_t total = source->length;
  const int rate = source->sampleRate > 0 ? source->sampleRate : sampleRate_;
  resetForPass();

  regionList_ = regionLists.AddNew(-1);
  if (!regionList_) return -1;
  regionList_->framePeriod = framePeriod;
  NewRegion();

  std::int64_t s0 = static_cast<std::int64_t>(params_->startFraction * static_cast<double>(total));
  s0 = std::max<std::int64_t>(std::min<std::int64_t>(s0, total - 2), 0);
  std::int64_t e = static_cast<std::int64_t>(params_->endFraction * static_cast<double>(total));
  if (e <= s0) e = s0 + 1;
  if (e >= total) e = total - 1;
  const std::int64_t range = std::max<std::int64_t>(e - s0, 1);

  params_->timeMode = CSMSAnalysisParams::kSecondsOverDuration;
  params_->duration = static_cast<double>(total) / rate;
  inputEnded = false;

  readBlock(source, s0);
  std::int64_t pos = s0;
  for (;;) {
    const int step = AnalyzeFrame();
    if (step == 0) {
      if (completedFrame_) StoreFrame(std::move(completedFrame_));
      if (!inputEnded) continue;
      pos += zerosPushed_;
      if (pos > lookahead_ + e) break;
    } else if (!inputEnded) {
      pos += kBlockSize;
      if (pos >= e) {
        inputEnded = true;
        if (pos > lookahead_ + e) break;
      }
    }
    reportProgress(static_cast<std::int64_t>(static_cast<double>(pos - s0) * 100.0 / static_cast<double>(range)),
                   map, log);
    if (!inputEnded) readBlock(source, pos);
  }
  CloseRegion();
  return 0;
}

int CSMSAnalysis::AnalyzeChannels(CSoundFile* left, CSoundFile* right, SMSRegionLists& regionLists,
                                  TimeMachineMap* map, EngineLog* log, CSMSRegion** leftRegion,
                                  CSMSRegion** rightRegion) {
  framePeriod = kChannelFramePeriod;
  const bool mono = right == nullptr;
  if (log) log->Print("%s", mono ? "Analyzing mono channel ...\n" : "Analyzing left channel ...\n");
  if (map) map->runState = TimeMachineMap::kAnalysingLeft;
  // A missing source analyses nothing: that is a failed pass, not an empty one.
  if (AnalyzeChannel(left, regionLists, map, log) != 0) return -1;
  CSMSRegion* l = regionList_->count() > 0 ? regionList_->region(0) : nullptr;
  retime(l, kChannelFramePeriod);
  if (leftRegion) *leftRegion = l;
  if (mono) return 0;

  if (log) log->Print("%s", "\nAnalyzing right channel ...\n");
  if (map) map->runState = TimeMachineMap::kAnalysingRight;
  if (AnalyzeChannel(right, regionLists, map, log) != 0) return -1;
  CSMSRegion* r = regionList_->count() > 0 ? regionList_->region(0) : nullptr;
  retime(r, kChannelFramePeriod);
  if (rightRegion) *rightRegion = r;
  return 0;
}
