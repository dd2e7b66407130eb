#pragma once
// Loads a chord/key model from plain texts (built-in or from a folder): the
// chordlist, one emission density per chord class, a decoder made by the
// caller's callback, and every transition table of the model's key modes
// and beat positions.

#include <cstdint>
#include <istream>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "IKeloHmm.h"
#include "IKeloHmmFactory.h"
#include "IKeloPlainTextStreamReader.h"
#include "JointHpcpPowPdf.h"
#include "KeloHmm.h"

namespace kelo {

class KeloHmmPlainTextFactory : public IKeloHmmFactory {
 public:
  // Makes the decoder for `classCount` classes and `beatCount` positions
  // into `out`; `arg` is the factory's decoderMakerArg.
  using DecoderMaker = void (*)(boost::shared_ptr<IKeloHmm>& out, std::uint32_t classCount,
                                std::uint32_t beatCount, void* arg);
  using PdfList = std::vector<boost::shared_ptr<JointHpcpPowPdf>>;

  // Result codes of load().
  static constexpr std::uint32_t kLoaded = 0;
  static constexpr std::uint32_t kTextUnreadable = 1;
  static constexpr std::uint32_t kClassUndefined = 6;

  // The feature type the joint chroma densities consume.
  static constexpr std::int32_t kJointChromaFeature = 4;

  // `reader` is not owned and must outlive the factory.
  KeloHmmPlainTextFactory(IKeloPlainTextStreamReader* reader, DecoderMaker decoderMaker,
                          void* decoderMakerArg);

  KeloHmm* create(std::int32_t& featureKind, bool keyAware, std::int32_t unused,
                  std::uint32_t beatsPerBar) override;
  std::uint32_t lastError() const override { return lastError_; }

  // Loads the texts into `model` and gives it its decoder. 1 when a text
  // is missing, malformed or short; 6 when the chordlist is empty, names a
  // class outside 0..C-1 (C its line count), or leaves a class without a
  // chord type. Exceptions of the decoder callback pass through.
  std::uint32_t load(KeloHmm& model, std::int32_t& featureKind);

  // The steps of load().
  std::uint32_t readChordList(KeloHmm& model);
  std::uint32_t readEmissions(const KeloHmm& model, PdfList& pdfs);
  std::uint32_t readTransitions(const KeloHmm& model, IKeloHmm& decoder);
  // Hands `pdfs` to the model's decoder, then reads the transitions.
  std::uint32_t setEmissionsAndReadTransitions(const KeloHmm& model, const PdfList& pdfs);

 private:
  DecoderMaker decoderMaker_;
  void* decoderMakerArg_;
  std::uint32_t lastError_ = 0;
  IKeloPlainTextStreamReader* reader_;
};

}  // namespace kelo
