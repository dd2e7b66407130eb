// Beat detector front end: half-rate framing and spectra for the offline
// tracker, and the conversions between detector frames and tracker steps.

#include "CBeatDetect.h"

#include <algorithm>
#include <stdexcept>

#include "CFft.h"
#include "MZBeatTrackOffline.h"

namespace RuBeatO {

namespace {
constexpr int kBandCount = 10;
constexpr float kMaxSeconds = 36000.0f;
}  // namespace

CBeatDetect::CBeatDetect(int framelen_, int hopsize_, int decimation_, bool halfBeat_, float fs_,
                         float bpmMin_, float bpmMax_)
    : hopsize(hopsize_),
      framelen(framelen_),
      halfBeat(halfBeat_),
      fs(fs_),
      decimation(decimation_),
      bpmMin(bpmMin_),
      bpmMax(bpmMax_) {
  setFramelen(framelen_);
  setHopsize(hopsize_);
  setFs(fs_);
  setBpmRange(bpmMin_, bpmMax_);
  reset();
}

CBeatDetect::~CBeatDetect() = default;

namespace {
void checkFrame(int framelen, int hopsize) {
  if (hopsize < 1) throw std::domain_error("hopsize must be positive");
  if (hopsize > framelen) throw std::domain_error("framelen must be greater than or equal to hopsize");
}
}  // namespace

void CBeatDetect::setFramelen(int n) {
  checkFrame(n, hopsize);
  framelen = n;
}

void CBeatDetect::setHopsize(int n) {
  checkFrame(framelen, n);
  hopsize = n;
}

void CBeatDetect::setFs(float rate) {
  if (!(rate > 0.0f)) throw std::domain_error("fs must be positive");
  fs = rate;
}

void CBeatDetect::setBpmRange(float lo, float hi) {
  if (!(lo >= 30.0f)) throw std::domain_error("bpm_min must be greater than 30");
  if (!(lo < hi)) throw std::domain_error("bpm_min must be less than bpm_max");
  bpmMin = lo;
  bpmMax = hi;
}

int32_t CBeatDetect::halfHop() const { return std::max(1, builtHopsize / 2); }

float CBeatDetect::getFps() const { return tracker ? tracker->getFps() : fs / hopsize; }

void CBeatDetect::reset() {
  if (decimation < 1) throw std::domain_error("decimation must be a natural number");
  // Everything new is built before anything old is dropped, so a refused
  // parameter leaves the detector as it was.
  const int32_t window = framelen / 2;
  boost::shared_ptr<CFft> newFft(new CFft(static_cast<uint64_t>(window),
                                          static_cast<uint64_t>(hopsize)));
  const float fps = fs / static_cast<float>(hopsize);
  boost::shared_ptr<MZBeatTrackOffline> newTracker(
      new MZBeatTrackOffline(framelen, kBandCount, decimation, fs, fps, bpmMin, bpmMax));
  newFft->MakeWindow(static_cast<uint64_t>(window), CFft::Hamming);

  spectrum.assign(static_cast<size_t>(framelen), 0.0f);
  halfWindow.assign(static_cast<size_t>(window), 0.0f);
  inferred = false;
  pending = 0;
  totalSamples = 0;
  fft = newFft;
  tracker = newTracker;
  // The window and the spectrum were sized by these; addData and the
  // anchors read them, not setters called since.
  builtFramelen = framelen;
  builtHopsize = hopsize;
}

void CBeatDetect::addData(const float* data, int lenData) {
  inferred = false;
  if (lenData % 2 != 0) throw std::invalid_argument("lenData must be even");
  // Checked before counting: a negative length would otherwise wind the
  // sample count round and report the duration limit instead.
  if (lenData < 0) throw std::invalid_argument("lenData must be positive");
  totalSamples += static_cast<uint64_t>(lenData);
  if (static_cast<float>(totalSamples) >= fs * kMaxSeconds)
    throw std::out_of_range("Input audio exceeds max. allowed duration");
  if (data == nullptr || lenData == 0) return;

  std::fill(spectrum.begin(), spectrum.end(), 0.0f);
  const int32_t window = static_cast<int32_t>(halfWindow.size());
  const int32_t hop = halfHop();
  float* newest = halfWindow.data() + (window - hop);
  for (int i = 0; i + 1 < lenData; i += 2) {
    // The sum, not the mean: the tracker's onset offsets were tuned on it.
    newest[pending++] = data[i] + data[i + 1];
    if (pending < hop) continue;
    fft->ComputeMagnitude(spectrum.data(), halfWindow.data(), static_cast<uint64_t>(window), -1,
                          true, 1);
    tracker->addData(spectrum.data(), window);
    std::copy(halfWindow.begin() + hop, halfWindow.end(), halfWindow.begin());
    pending = 0;
  }
}

const float* CBeatDetect::getFeature(int* dim) const { return tracker->getFeature(dim); }

int CBeatDetect::getNumFrames() const { return tracker->getNumFrames(); }

float CBeatDetect::onsetAt(int frame) const { return tracker->observationAt(frame); }

void CBeatDetect::infer() {
  tracker->infer();
  inferred = true;
}

void CBeatDetect::checkQuery(int frame) const {
  if (frame >= getNumFrames())
    throw std::domain_error("frame index must be less than the number of times addData was called");
  if (frame < 0) throw std::domain_error("frame index must be positive");
  if (!inferred) throw std::logic_error("getInfoAtFrame wa scalled before calling infer()");
}

bool CBeatDetect::isBeatFrame(int frame) const {
  int period = 0;
  int phase = 0;
  tracker->getInfoAtFrame(frame, &period, &phase);
  if (halfBeat) {
    const int half = period / (2 * decimation);
    if (phase >= half) phase -= half;
  }
  return phase == 0 && frame % decimation == 0;
}

void CBeatDetect::getBeatFrames(std::list<int>& frames, int step, int offset) const {
  frames.clear();
  if (step < 1) throw std::domain_error("step must be positive");
  if (!inferred) throw std::logic_error("getInfoAtFrame wa scalled before calling infer()");
  // Counter c runs through -offset, -offset + step, ... up to its first
  // non-negative value; beat number `offset` is the one met with c = 0.
  long c = -static_cast<long>(offset);
  if (c < 0) c += ((-c + step - 1) / step) * static_cast<long>(step);
  const int n = getNumFrames();
  for (int i = 0; i < n; ++i) {
    if (!isBeatFrame(i)) continue;
    if (c == 0) frames.push_back(i);
    c = (c + 1) % step;
  }
}

void CBeatDetect::getInfoAtFrame(int frame, int* period, int* toNext) const {
  checkQuery(frame);
  int p = 0;
  int q = 0;
  tracker->getInfoAtFrame(frame, &p, &q);
  const int r = frame % decimation;
  int next = decimation * q + decimation - r;
  int beatPeriod = decimation * p;
  if (halfBeat) {
    beatPeriod /= 2;
    if (beatPeriod > 0) next %= beatPeriod;
  }
  if (r != 0 && next == 0) next = 1;
  *period = beatPeriod;
  *toNext = next;
}

void CBeatDetect::setTempoState(int period, int phase) {
  const int scaled = halfBeat ? period * 2 : period;
  tracker->setTempoState(scaled / decimation, phase / decimation);
}

void CBeatDetect::getTempo(float* bpm, bool* valid) const {
  if (!inferred || !tracker) throw std::logic_error("Infer() has not been called yet");
  std::list<int> beats;
  getBeatFrames(beats, 1, 0);
  if (beats.size() < 2) {
    *bpm = 0.0f;
    *valid = false;
    return;
  }
  const double intervals = static_cast<double>(beats.back() - beats.front());
  const double mean = (0.001 + intervals) / static_cast<double>(beats.size() - 1);
  *bpm = static_cast<float>(60.0 * getFps() / mean);
  *valid = true;
}

void CBeatDetect::addAnchor(int frame, int radius) {
  inferred = false;
  tracker->addBeatConstraint(frame + builtFramelen / builtHopsize, radius);
}

void CBeatDetect::addNegativeAnchor(int frame, int radius) {
  inferred = false;
  tracker->addNoBeatConstraint(frame + builtFramelen / builtHopsize, radius);
}

void CBeatDetect::clearAnchors() {
  inferred = false;
  tracker->clearConstraints();
}

}  // namespace RuBeatO
