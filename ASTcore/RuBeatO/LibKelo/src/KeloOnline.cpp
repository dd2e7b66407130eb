#include "KeloOnline.h"

#include "KeloOnline_impl.h"

namespace kelo {

KeloOnline::KeloOnline() : impl(new KeloOnline_impl(*this)) {}

KeloOnline::~KeloOnline() = default;

int KeloOnline::init(int lag, std::string modelPath, int /*blockSize*/, int beatsPerBar, double) {
  return impl->init(lag, modelPath, beatsPerBar);
}

int KeloOnline::setMeter(int level, int phase, int /*meterCode*/) {
  if (!impl->initialised()) return KeloNotInitialised;
  impl->setMeter(level, phase);
  return KeloSuccess;
}

int KeloOnline::finish() {
  if (!impl->initialised()) return KeloNotInitialised;
  impl->finish();
  return KeloSuccess;
}

int KeloOnline::process(const float* samples, int count) {
  if (!impl->initialised()) return KeloNotInitialised;
  if (samples != nullptr && count > 0) impl->process(samples, count);
  return KeloSuccess;
}

}  // namespace kelo
