// Beat detector front end: half-rate framing and spectra for the offline
// tracker, and the frame/step conversions of its answers.

#include "CBeatDetect.h"

#include <stdexcept>

#include "CFft.h"

namespace RuBeatO {

namespace {
[[noreturn]] void notBuilt() { throw std::logic_error("not built yet"); }
}  // namespace

CBeatDetect::CBeatDetect(int framelen_, int hopsize_, int decimation_, bool halfBeat_, float fs_,
                         float bpmMin_, float bpmMax_)
    : hopsize(hopsize_),
      framelen(framelen_),
      halfBeat(halfBeat_),
      fs(fs_),
      decimation(decimation_),
      bpmMin(bpmMin_),
      bpmMax(bpmMax_) {}

CBeatDetect::~CBeatDetect() {
  delete[] halfWindow;
  delete[] spectrum;
}

void CBeatDetect::addData(const float*, int) { notBuilt(); }
const float* CBeatDetect::getFeature(int*) const { notBuilt(); }
int CBeatDetect::getNumFrames() const { notBuilt(); }
void CBeatDetect::infer() { notBuilt(); }
void CBeatDetect::getBeatFrames(std::list<int>&, int, int) const { notBuilt(); }
void CBeatDetect::getInfoAtFrame(int, int*, int*) const { notBuilt(); }
void CBeatDetect::setTempoState(int, int) { notBuilt(); }
void CBeatDetect::reset() { notBuilt(); }
void CBeatDetect::getTempo(float*, bool*) const { notBuilt(); }
void CBeatDetect::addAnchor(int, int) { notBuilt(); }
void CBeatDetect::addNegativeAnchor(int, int) { notBuilt(); }
void CBeatDetect::clearAnchors() { notBuilt(); }
void CBeatDetect::setFramelen(int) { notBuilt(); }
void CBeatDetect::setHopsize(int) { notBuilt(); }
void CBeatDetect::setFs(float) { notBuilt(); }
void CBeatDetect::setBpmRange(float, float) { notBuilt(); }
float CBeatDetect::getFps() const { notBuilt(); }
void CBeatDetect::trackerState(int, int*, int*) const { notBuilt(); }
void CBeatDetect::checkQuery(int) const { notBuilt(); }
bool CBeatDetect::isBeatFrame(int) const { notBuilt(); }

}  // namespace RuBeatO
