#include "KeloHmmPlainTextFactory.h"

#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>

#include <boost/make_shared.hpp>

#include "KeloModelMap.h"

namespace kelo {

namespace {

constexpr std::int32_t kRoots = 12;
constexpr std::size_t kMaxLine = 8191;
// Stands in for a zero count on the diagonal: a chord may always be held.
constexpr double kMissingSelfWeight = 0.01;

bool opened(const std::istream& in) { return in.rdstate() == std::ios_base::goodbit; }

// One chordlist line: two integers and nothing else.
bool parseClassLine(const std::string& line, std::int32_t& type, std::int32_t& chordClass) {
  std::istringstream in(line);
  long long t = 0, c = 0;
  if (!(in >> t >> c)) return false;
  in >> std::ws;
  if (!in.eof()) return false;
  if (t < INT32_MIN || t > INT32_MAX || c < INT32_MIN || c > INT32_MAX) return false;
  type = std::int32_t(t);
  chordClass = std::int32_t(c);
  return true;
}

// A density the decoders can score: at least one component per mixture and
// 12-value means throughout.
bool usable(const Mixture_vMF& m) {
  if (m.weights.size() == 0 || m.components.size() != m.weights.size()) return false;
  for (const Vmf& c : m.components)
    if (c.mean.size() != JointHpcpPowPdf::kChromaSize) return false;
  return true;
}

}  // namespace

constexpr std::uint32_t KeloHmmPlainTextFactory::kLoaded;
constexpr std::uint32_t KeloHmmPlainTextFactory::kTextUnreadable;
constexpr std::uint32_t KeloHmmPlainTextFactory::kClassUndefined;
constexpr std::int32_t KeloHmmPlainTextFactory::kJointChromaFeature;

KeloHmmPlainTextFactory::KeloHmmPlainTextFactory(IKeloPlainTextStreamReader* reader,
                                                 DecoderMaker decoderMaker, void* decoderMakerArg)
    : decoderMaker_(decoderMaker), decoderMakerArg_(decoderMakerArg), reader_(reader) {
  initModelResources();
}

KeloHmm* KeloHmmPlainTextFactory::create(std::int32_t& featureKind, bool keyAware,
                                         std::int32_t /*unused*/, std::uint32_t beatsPerBar) {
  std::unique_ptr<KeloHmm> model(new KeloHmm(keyAware, 0, beatsPerBar));
  lastError_ = load(*model, featureKind);
  return model.release();
}

std::uint32_t KeloHmmPlainTextFactory::load(KeloHmm& model, std::int32_t& featureKind) {
  if (const std::uint32_t code = readChordList(model)) return code;
  PdfList pdfs;
  if (const std::uint32_t code = readEmissions(model, pdfs)) return code;

  boost::shared_ptr<IKeloHmm> decoder;
  decoderMaker_(decoder, model.classCount(), model.beatCount(), decoderMakerArg_);
  if (!decoder) throw std::logic_error("KeloHmmPlainTextFactory: the decoder callback made no decoder");
  model.setDecoder(decoder);
  featureKind = kJointChromaFeature;
  return setEmissionsAndReadTransitions(model, pdfs);
}

std::uint32_t KeloHmmPlainTextFactory::readChordList(KeloHmm& model) {
  std::istream& in = reader_->openChordList();
  if (!opened(in)) return kTextUnreadable;

  std::vector<std::pair<std::int32_t, std::int32_t>> pairs;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) break;
    std::int32_t type = 0, chordClass = 0;
    if (line.size() > kMaxLine || !parseClassLine(line, type, chordClass)) return kClassUndefined;
    pairs.emplace_back(type, chordClass);
  }
  // Class indices size the model's tables: only 0..C-1 may appear.
  if (pairs.empty()) return kClassUndefined;
  for (const auto& p : pairs)
    if (p.second < 0 || std::size_t(p.second) >= pairs.size()) return kClassUndefined;

  model.clearClasses();
  for (const auto& p : pairs) model.addClass(p.first, p.second);
  return kLoaded;
}

std::uint32_t KeloHmmPlainTextFactory::readEmissions(const KeloHmm& model, PdfList& pdfs) {
  const std::uint32_t classes = model.classCount();
  pdfs.assign(classes, boost::shared_ptr<JointHpcpPowPdf>());
  for (std::uint32_t c = 0; c < classes; ++c) {
    const KeloHmm::ClassEntry* entry = nullptr;
    for (const auto& e : model.classList())
      if (e.second == std::int32_t(c)) {
        entry = &e;
        break;
      }
    if (entry == nullptr || entry->first == -1) return kClassUndefined;

    auto pdf = boost::make_shared<JointHpcpPowPdf>();
    std::istream& in = reader_->openEmission(std::to_string(entry->first));
    if (!opened(in)) return kTextUnreadable;
    pdf->load(in);
    if (in.fail() || !usable(pdf->bassMixture) || !usable(pdf->trebleMixture)) return kTextUnreadable;
    pdfs[c] = pdf;
  }
  return kLoaded;
}

std::uint32_t KeloHmmPlainTextFactory::setEmissionsAndReadTransitions(const KeloHmm& model,
                                                                     const PdfList& pdfs) {
  const boost::shared_ptr<IKeloHmm> decoder = model.decoder();
  if (!decoder) throw std::logic_error("KeloHmmPlainTextFactory: the model has no decoder");
  for (std::size_t c = 0; c < pdfs.size(); ++c) decoder->setEmission(std::int32_t(c), pdfs[c]);
  return readTransitions(model, *decoder);
}

std::uint32_t KeloHmmPlainTextFactory::readTransitions(const KeloHmm& model, IKeloHmm& decoder) {
  const std::int32_t classes = std::int32_t(model.classCount());
  const std::int32_t states = kRoots * classes;
  for (std::uint32_t mode = 0; mode < model.modeCount(); ++mode) {
    for (std::uint32_t position = 0; position < model.beatCount(); ++position) {
      std::istream& in = reader_->openTransition(std::int32_t(mode), std::int32_t(position),
                                                 std::int32_t(model.beatCount()));
      if (!opened(in)) return kTextUnreadable;
      for (std::int32_t from = 0; from < states; ++from) {
        for (std::int32_t to = 0; to < states; ++to) {
          float count = 0.0f;
          // A short or damaged table would silently become a model that
          // can only hold its chords.
          if (!(in >> count)) return kTextUnreadable;
          if (count > 0.0f)
            decoder.setTransition(std::int32_t(mode), std::int32_t(position), from, to, double(count));
          else if (from == to)
            decoder.setTransition(std::int32_t(mode), std::int32_t(position), from, to, kMissingSelfWeight);
        }
      }
    }
  }
  return kLoaded;
}

}  // namespace kelo
