#pragma once
// The analysis half of the spectral time stretcher. Samples of one channel
// are pushed into a ring buffer, cut into frames at a fixed frame rate,
// analysed into SMSFrame records (spectrum by the frame analyser, band
// levels and flux by the attack detector when enabled), delayed in a short
// line of slots, and filed in time order into the regions of a region list.
//
// The engine drives one object per band and channel with PushSamples,
// FrameReady and AnalyzeFrame; its set-up runs whole-channel passes with
// AnalyzeChannel / AnalyzeChannels. A pass resets everything it depends
// on (ring, positions, slots, the analyser's read position and the
// detector's history), so the same input always gives the same frames.
// One object serves one thread.

#include <cstdint>
#include <memory>
#include <vector>

#include "CFrameAnalyzer.h"
#include "CSMSAnalysisParams.h"
#include "CSMSRegion.h"
#include "CSoundFile.h"
#include "CSpectrum.h"
#include "CTransientDetector.h"
#include "EngineLog.h"
#include "SMSFrame.h"
#include "SMSRegionList.h"
#include "SMSRegionLists.h"
#include "TimeMachineMap.h"

class CSMSAnalysis : public CSpectrum {
 public:
  // Samples read from the source per step of a channel pass.
  static constexpr int kBlockSize = 128;
  static constexpr double kChannelFramePeriod = SMSRegionList::kDefaultFramePeriod;

  // Builds the ring, the frame analyser, the attack detector (when the set
  // asks for one) and the delay line for `sampleRate` and `params` (kept,
  // not owned). Throws -1 when an allocation fails, -2 for a null set or a
  // rate or frame rate that is not positive.
  CSMSAnalysis(int sampleRate, CSMSAnalysisParams* params);
  ~CSMSAnalysis() override;

  // Copies `count` samples into the ring; nothing for null or count < 1.
  // Returns 0.
  int PushSamples(const float* samples, std::int64_t count);

  // True when the next frame has all the input it needs (or the input has
  // ended). Chooses the window size as a side effect.
  bool FrameReady();

  // Analyses one frame: 1 when more input is needed (nothing else
  // changes), 0 after a frame step; completedFrame() then holds the record
  // that left the delay line, if any. Throws -1 on allocation failure.
  virtual int AnalyzeFrame();
  // Appends a new empty region to the current region list.
  virtual void NewRegion();
  // Files `frame` into the region of the current list that covers its
  // time, relative to that region's start; a frame before the first
  // region is dropped.
  virtual void StoreFrame(std::unique_ptr<SMSFrame> frame);
  // Adds one frame period to the last region's end time.
  virtual void CloseRegion();

  // One pass over a channel: adds a region list to `regionLists`, analyses
  // the parameter set's range of `source` and flushes the delay line with
  // silence. Progress goes to `map` and, with printing on, to `log` (both
  // optional). Returns 0, 2 for a null source, -1 when no list could be
  // added.
  int AnalyzeChannel(CSoundFile* source, SMSRegionLists& regionLists, TimeMachineMap* map, EngineLog* log = nullptr);

  // The passes of the engine's pre-analysis: the left (or mono) channel,
  // then the right one unless it is null, each into a new list of
  // `regionLists`; frame k of each channel's first region is re-timed to
  // exactly k frame periods. The first regions are handed back through
  // leftRegion / rightRegion (either may be null). Returns 0 or -1.
  int AnalyzeChannels(CSoundFile* left, CSoundFile* right, SMSRegionLists& regionLists, TimeMachineMap* map,
                      EngineLog* log, CSMSRegion** leftRegion, CSMSRegion** rightRegion);

  // Takes back a record the caller no longer needs: its arrays serve a
  // later frame, so that a run of frames allocates (and zeroes) no new
  // storage. Until a frame is analysed into it, a reused record's arrays
  // hold the old values; the frame analysis writes every bin.
  void Recycle(std::unique_ptr<SMSFrame> frame);

  // The record released by the latest AnalyzeFrame, if any.
  SMSFrame* completedFrame() const { return completedFrame_.get(); }
  std::unique_ptr<SMSFrame> takeCompletedFrame() { return std::move(completedFrame_); }
  // The region list being filled.
  SMSRegionList* regionList() const { return regionList_; }
  void setRegionList(SMSRegionList* list) { regionList_ = list; }

  const CFrameAnalyzer& frameAnalyzer() const { return *frameAnalyzer_; }
  const CTransientDetector* transientDetector() const { return transientDetector_.get(); }
  std::int64_t slotCount() const { return static_cast<std::int64_t>(slots_.size()); }
  std::int64_t hop() const { return hop_; }
  std::int64_t ringLength() const { return ringLength_; }
  std::int64_t lookahead() const { return lookahead_; }
  std::int64_t windowSize() const { return windowSize_; }
  double frameTime() const { return frameTime_; }
  double bufferedEnd() const { return bufferedEnd_; }

  double framePeriod;
  bool inputEnded = false;
  bool printProgress = false;

 private:
  void chooseWindowSize();
  double requiredInputEnd() const;
  void resetForPass();
  void readBlock(CSoundFile* source, std::int64_t position);
  void reportProgress(std::int64_t percent, TimeMachineMap* map, EngineLog* log);
  std::unique_ptr<SMSFrame> freshRecord();

  CSMSAnalysisParams* params_;
  int sampleRate_;
  double halfSampleTime_;
  std::unique_ptr<float[]> ring_;
  std::int64_t ringLength_;
  std::int64_t writePos_ = 0;
  double bufferedEnd_ = 0.0;
  std::int64_t readPos_ = 0;
  std::int64_t lookahead_;
  std::unique_ptr<float[]> zeroBlock_;
  std::int64_t zerosPushed_ = 0;
  std::int64_t hop_;
  std::int64_t windowSize_ = 0;
  float fundamental_ = 0.0f;
  double frameTime_ = 0.0;
  std::vector<std::unique_ptr<SMSFrame>> slots_;
  std::vector<SMSFrame*> slotView_;
  std::unique_ptr<CFrameAnalyzer> frameAnalyzer_;
  std::unique_ptr<CTransientDetector> transientDetector_;
  std::int32_t analysisMode_;
  std::unique_ptr<SMSFrame> completedFrame_;
  // Records handed back by Recycle, for the next slots to take.
  std::vector<std::unique_ptr<SMSFrame>> spares_;
  SMSRegionList* regionList_ = nullptr;
  std::int64_t lastPrinted_ = -1;
  std::int64_t lastReported_ = -1;
};
