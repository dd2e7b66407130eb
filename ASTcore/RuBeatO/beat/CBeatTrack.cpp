// Online beat tracker front end: half-rate framing, spectra, and the tick
// clock driven by the online model.

#include "CBeatTrack.h"

#include <algorithm>
#include <stdexcept>

#include "CFft.h"
#include "MZBeatTrackOnline.h"

namespace RuBeatO {

namespace {
constexpr int kBandCount = 10;
constexpr int kOnsetHistory = 100;

void checkSizes(int32_t framelen, int32_t hopsize) {
  if (framelen < 1 || hopsize < 1) throw std::domain_error("framelen must be positive");
}
}  // namespace

CBeatTrack::CBeatTrack(int32_t framelen_, int32_t hopsize_, int32_t decimation_, float fs_,
                       float bpmMin_, float bpmMax_)
    : framelen(framelen_),
      hopsize(hopsize_),
      fs(fs_),
      decimation(decimation_),
      bpmMin(bpmMin_),
      bpmMax(bpmMax_) {
  initialise();
}

CBeatTrack::~CBeatTrack() = default;

CBeatTrack& CBeatTrack::setFramelen(int32_t n) {
  framelen = n;
  initialise();
  return *this;
}

CBeatTrack& CBeatTrack::setHopsize(int32_t n) {
  hopsize = n;
  initialise();
  return *this;
}

CBeatTrack& CBeatTrack::setFs(float rate) {
  fs = rate;
  initialise();
  return *this;
}

CBeatTrack& CBeatTrack::setBpmRange(float lo, float hi) {
  bpmMin = lo;
  bpmMax = hi;
  initialise();
  return *this;
}

float CBeatTrack::getFps() const { return fs / static_cast<float>(hopsize); }

void CBeatTrack::initialise() {
  checkSizes(framelen, hopsize);
  // Everything new is built before anything old is dropped, so a refused
  // parameter leaves the working parts as they were.
  const int32_t window = std::max(1, framelen / 2);
  boost::shared_ptr<CFft> newFft(new CFft(static_cast<uint64_t>(window), static_cast<uint64_t>(hopsize)));
  boost::shared_ptr<MZBeatTrackOnline> newTracker(new MZBeatTrackOnline(
      framelen, kBandCount, kOnsetHistory, decimation, fs, getFps(), bpmMin, bpmMax));
  newFft->MakeWindow(static_cast<uint64_t>(window), CFft::Hamming);
  fft = newFft;
  tracker = newTracker;
  interpolator.reset(new BeatInterpolator);
  frame.assign(static_cast<size_t>(window), 0.0f);
  spectrum.assign(static_cast<size_t>(std::max(framelen, 2)), 0.0f);
  buffered = 0;
  newBeat = false;
  lastTick = -1;
}

void CBeatTrack::addData(const float* data, int64_t lenData) {
  if (lenData % 2 != 0) throw std::invalid_argument("lenData must be even");
  if (data == nullptr || lenData == 0) return;
  if (lenData < 0) throw std::invalid_argument("lenData must be positive");
  newBeat = false;
  const int32_t window = static_cast<int32_t>(frame.size());
  const int32_t hop = std::min(window, std::max(1, hopsize / 2));
  float* newest = frame.data() + (window - hop);
  for (int64_t i = 0; i + 1 < lenData; i += 2) {
    newest[buffered++] = data[i] + data[i + 1];
    if (buffered < hop) continue;
    processFrame();
    std::copy(frame.begin() + hop, frame.end(), frame.begin());
    buffered = 0;
  }
}

int32_t CBeatTrack::processFrame() {
  const int32_t window = static_cast<int32_t>(frame.size());
  fft->ComputeMagnitude(spectrum.data(), frame.data(), static_cast<uint64_t>(window), -1, true, 1);
  tracker->step(spectrum.data(), window);
  int32_t tempo = 0;
  int32_t phase = 0;
  tracker->getTempoState(&tempo, &phase);
  interpolator->setPeriod(tempo, false);
  if (phase == 0) interpolator->markBeat();
  interpolator->advance();
  const int32_t t = interpolator->tick();
  if (t == 0) newBeat = true;
  return t;
}

int32_t CBeatTrack::isNewTatum(bool allowEighth) {
  const int32_t t = interpolator->tick();
  if (t != 0 && (t != 12 || !allowEighth)) {
    lastTick = t;
    return 0;
  }
  const int32_t result = lastTick != t ? 1 : 0;
  lastTick = t;
  return result;
}

float CBeatTrack::framesPerBeat(float bpm) const { return getFps() * 60.0f / bpm; }

void CBeatTrack::resetTempoSearchRange() { setTempoSearchRange(bpmMin, bpmMax); }

void CBeatTrack::setTempoSearchRange(float bpmLo, float bpmHi) {
  const float fps = getFps();
  tracker->model().setSearchRange(static_cast<int32_t>(fps * 60.0f / bpmHi),
                                  static_cast<int32_t>(fps * 60.0f / bpmLo));
}

void CBeatTrack::getBeatScores(std::vector<double>& out) const { tracker->model().getBeatScores(out); }

void CBeatTrack::restart() {
  // Only the model starts again: the onset history, its normaliser, the
  // filters and the tempo histogram keep what they learnt, so the tracker
  // finds the beat again quickly.
  tracker->model().restartOnline();
}

void CBeatTrack::forceBeat() { tracker->model().penalizeOffBeat(); }

void CBeatTrack::getInfo(int32_t* period, float* tick, int32_t* tempo, int32_t* phase) const {
  if (period != nullptr) *period = static_cast<int32_t>(interpolator->periodFrames());
  if (tick != nullptr) *tick = static_cast<float>(interpolator->tick());
  int32_t t = -1;
  int32_t p = -1;
  if (tracker->getFrameCount() > 0) tracker->model().getBestState(&t, &p);
  if (tempo != nullptr) *tempo = t;
  if (phase != nullptr) *phase = p;
}

}  // namespace RuBeatO
