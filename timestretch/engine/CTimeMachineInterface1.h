#pragma once
// One run of the spectral time-stretch engine. The signal is split into one
// or two bands (the lower one optionally decimated), each band of each
// channel is analysed frame by frame, an output clock steps through the
// analysed frames at the rate the time map asks, every output frame gets
// its phases from the band stretch, is synthesised by overlap-add, and the
// bands are recombined into an output exactly as long as the map asks.
// The object is made for one run and never reused.

#include <cstdint>
#include <memory>
#include <vector>

#include "BandStretch.h"
#include "CBandStretcher.h"
#include "CPolyphaseMultiRateProcessing.h"
#include "CSMSAnalysis.h"
#include "CSMSAnalysisParams.h"
#include "CSoundFile.h"
#include "CTimeMachineParams.h"
#include "EngineBandSetup.h"
#include "EngineLog.h"
#include "FrameSelection.h"
#include "MarkerSet.h"
#include "SMSFrame.h"
#include "TimeMachineMap.h"
#include "TimeMachineRecords.h"

class CTimeMachineInterface1 {
 public:
  // Setup results besides 0.
  static constexpr std::int64_t kSetupRefused = 2;
  static constexpr std::int64_t kSetupOutOfMemory = 1;
  static constexpr std::int64_t kSetupAnalysisFailed = -1;
  static constexpr std::int64_t kSetupNotANumber = -2;

  // The run's stretch parameter set with its defaults; two bands, no
  // decimation, verbose off. Throws -1 when an allocation fails.
  CTimeMachineInterface1();
  virtual ~CTimeMachineInterface1();
  CTimeMachineInterface1(const CTimeMachineInterface1&) = delete;
  CTimeMachineInterface1& operator=(const CTimeMachineInterface1&) = delete;

  // The whole run: Setup, the frame loop and the output assembly. The
  // result goes to io->status (and, on success, io's outputs and count).
  void Process(TimeMachineMap* map, TimeMachineIO* io);

  // Bands, parameter sets, analyses, stretchers, frame histories and, when
  // the pre-analysis switch is on, the transient markers. Returns 0 or one
  // of the kSetup codes.
  std::int64_t Setup();
  // Releases every per-run array and object.
  void Finalize();

  // Drops every analysed frame the window states hold.
  void ReleaseFrames();

  // Writes progress and timing lines to stderr when set.
  bool verbose = false;

 private:
  static constexpr int kLeft = 0;
  static constexpr int kRight = 1;

  int channels() const { return mono_ ? 1 : 2; }
  WindowState& window(int ch) { return ch == kLeft ? setup_->windowLeft : setup_->windowRight; }
  CSoundFile* input(int ch) const { return ch == kLeft ? setup_->InputLeft() : setup_->InputRight(); }
  void MakeHistories();
  double ratioAt(double seconds) const;
  std::int64_t PreAnalyse();
  void FeedBlock(std::vector<float>& block, std::vector<float>& decimated);
  bool AnalyseNextFrames();
  void StoreInHistory();
  void MakeOutputFrames(double centre);
  void KeepLastStretched();
  void RestoreLastStretched();
  bool RebuildLowBand();
  void AssembleOutput();
  void ReleaseBandOutputs();

  std::unique_ptr<EngineLog> log_;
  // The run's stretch parameters, the per-band parameter sets, the input
  // buffers and the window states.
  std::unique_ptr<EngineBandSetup> setup_;
  TimeMachineMap* map_ = nullptr;
  TimeMachineIO* io_ = nullptr;
  bool mono_ = false;
  bool setupDone_ = false;

  std::int64_t inputPosition_ = 0;
  double outputTime_ = 0.0;
  std::int64_t startClock_ = 0;
  double duration_ = 0.0;
  int decimation_ = 1;
  std::int64_t capacity_ = 0;
  std::int64_t blockSize_ = 0;
  int sampleRate_ = 0;
  std::int64_t sampleCount_ = 0;

  int bandCount_ = 2;
  // Per channel, per band.
  std::vector<std::unique_ptr<CSMSAnalysis>> analyses_[2];
  std::vector<std::unique_ptr<SMSFrame>> containers_[2];
  std::vector<std::unique_ptr<SMSFrame>> lastStretched_[2];
  std::vector<SMSFrame*> containerView_[2];
  // lastStretched_ as the band stretch reads it (refreshed every frame:
  // the records change places).
  std::vector<SMSFrame*> lastStretchedView_[2];
  std::vector<std::unique_ptr<CBandStretcher>> stretchers_[2];
  std::vector<std::unique_ptr<CSoundFile>> writers_[2];
  std::vector<std::unique_ptr<SMSFrame>> current_[2];
  bool haveStretched_ = false;

  // The analysed frames the window states show, owned here: owned_[ch]
  // holds one set per place of window(ch).frames (a frame per band), in a
  // ring whose place ownedNext_[ch] holds the oldest set, which the next
  // set takes.
  std::vector<std::vector<std::unique_ptr<SMSFrame>>> owned_[2];
  std::size_t ownedNext_[2] = {0, 0};
  MarkerSet markers_[2];
  bool markersMade_ = false;
  double inputClock_ = 0.0;

  std::unique_ptr<CPolyphaseMultiRateProcessing> decimators_[2];
  BandStretchContext context_;
  std::unique_ptr<BandStretchState> stretchState_;
};
