// Harmonic pitch class profile front end of the chord and key engine. Owns
// one spectral method (the semitone power analysis), keeps a copy of its
// latest semitone powers, and folds semitone powers into a bass and a treble
// 12-bin pitch class profile, each with the sum of its bins, optionally
// centred and normalised. The fold is also available as a static template
// for semitone vectors the caller has pooled itself.
//
// The pitch class of semitone j is (lowestNote + j) mod 12; from "C0" on,
// bin 0 is C. One object serves one thread at a time.

#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Hpcp/FFTSemitone.h"
#include "Hpcp/HpcpParams.h"

namespace Hpcp {

class CHpcp {
 public:
  // Builds and configures the semitone analysis for the range
  // lowestNoteName .. + binsPerOctave * octaves - 1. Throws
  // std::invalid_argument for a note name outside the note table and for the
  // frame size, oversampling ratio or sampling rate the semitone analysis
  // refuses; std::bad_alloc when the analysis cannot be created.
  CHpcp(int32_t binsPerOctave, int32_t octaves, const std::string& lowestNoteName, int32_t frameSize,
        bool flagA, int32_t intA, bool flagB, int32_t oversample, int32_t intB, bool normalize, float fs,
        float floatA);
  virtual ~CHpcp();

  CHpcp(const CHpcp&) = delete;
  CHpcp& operator=(const CHpcp&) = delete;

  // Replaces the method and arrays by new ones for these arguments, with the
  // reference frequency back at 440 Hz. Same exceptions as the constructor.
  void init(int32_t binsPerOctave, int32_t octaves, const std::string& lowestNoteName, int32_t frameSize,
            bool flagA, int32_t intA, bool flagB, int32_t oversample, int32_t intB, bool normalize, float fs,
            float floatA);

  // Creates an unconfigured method and the feature and semitone arrays.
  // 0 on success; 1 after an allocation failure, with everything created
  // here released again.
  int32_t createSpectralMethod();

  // Semitone powers of one frame of `len` samples into the semitone copy;
  // no fold. Throws std::logic_error without a method.
  void process(const float* signal, int32_t len);
  // As process, for a frame the caller has already low-passed
  // (FFTSemitone::computeLowPassed): a window of a stream filtered once by a
  // DecimationLowPass. Throws std::logic_error without a method.
  void processLowPassed(const float* signal, int32_t len);
  // As process, and also copies the getSize(3) powers to `out`.
  void processAndCopy(float* out, const float* signal, int32_t len);
  // As process, then folds the powers into the feature. Returns 0.
  int32_t processToHpcp(const float* signal, int32_t len);
  // Band analysis of a caller's magnitude spectrum (transform size / 2
  // values), then copy and fold as processToHpcp. Returns 0. Throws
  // std::logic_error "ISemitone is not FFTSemitone" without a method.
  int32_t processSpectrum(const float* spectrum);

  // Element counts and start pointers by type, b = binsPerOctave:
  // 0 bass profile (b), 1 treble profile (b), 2 both profiles (2b),
  // 3 semitone powers (the method's count), 4 profiles and sums (2b + 2),
  // 5 bass sum (1), 6 treble sum (1); getSize(7) is the octave count.
  // Other types (and getData(7)) throw std::logic_error "Invalid TYPE".
  // getData returns null when the array is released.
  int32_t getSize(int32_t type) const;
  const float* getData(int32_t type) const;

  // Power of a MIDI note of the range; 0.0 without a method. Throws
  // std::out_of_range ("index out of range!") outside the range.
  float getSemitonePower(int32_t note);

  // New reference for MIDI note 69; reconfigures the method completely.
  void setReferenceFrequency(float f);
  // Switches the method's whitening; ignored without a method.
  void setWhitening(bool on);
  int32_t getOctaves() const { return params.octaves; }
  const HpcpParams& getParams() const { return params; }

  // Frees the feature, the semitone copy and the method. Returns 0.
  int32_t release();

  // Folds in[0 .. octaves * binsPerOctave - 1] into a bass profile
  // out[0 .. b-1] (Gaussian weight over the semitone index centred one
  // octave above the lowest note, width 12) and a treble profile
  // out[b .. 2b-1] (centred four octaves above), with their sums before
  // normalisation; with `normalize` each profile is centred and scaled to
  // unit length over its 12 values. Built for 12 bins per octave: the bin
  // index wraps at 12. Throws std::invalid_argument for binsPerOctave below
  // 12, an inCount below octaves * binsPerOctave, or null pointers.
  template <typename T>
  static void convertToHpcpfeature(T* out, T& trebleSum, T& bassSum, const T* in, int32_t octaves,
                                   int32_t binsPerOctave, int32_t inCount, bool normalize);

 private:
  FFTSemitone* semitoneMethod() const;
  void copyPowers();
  void fold();

  std::vector<float> semitones;
  std::vector<float> feature;
  std::unique_ptr<ISemitonePower> method;
  HpcpParams params;
};

extern template void CHpcp::convertToHpcpfeature<float>(float*, float&, float&, const float*, int32_t, int32_t,
                                                       int32_t, bool);
extern template void CHpcp::convertToHpcpfeature<double>(double*, double&, double&, const double*, int32_t,
                                                        int32_t, int32_t, bool);

}  // namespace Hpcp
