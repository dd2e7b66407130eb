// fuzz-deps: kelo
// The chord/key model loader on arbitrary model texts. The input is cut at
// its first two NUL bytes into a chordlist, one emission text (served for
// every chord-type key) and one transition table (served for every mode and
// beat position); the first byte picks the beats per bar. The loader must
// end with a result code or a standard exception, never read past a text or
// allocate what the text only claims.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <sstream>
#include <string>

#include <boost/make_shared.hpp>

#include "IKeloPlainTextStreamReader.h"
#include "KeloHmmPlainTextFactory.h"
#include "OfflineHmm.h"

namespace {

class MemoryReader : public kelo::IKeloPlainTextStreamReader {
 public:
  MemoryReader(std::string chordList, std::string emission, std::string transition)
      : chordListText_(std::move(chordList)), emissionText_(std::move(emission)),
        transitionText_(std::move(transition)) {}

  std::istream& openEmission(const std::string&) override { return present(emission_, emissionText_); }
  std::istream& openTransition(std::int32_t, std::int32_t, std::int32_t) override {
    return present(transition_, transitionText_);
  }
  std::istream& openChordList() override { return present(chordList_, chordListText_); }

 private:
  static std::istream& present(std::istringstream& s, const std::string& text) {
    s.str(text);
    s.clear();
    return s;
  }
  std::string chordListText_, emissionText_, transitionText_;
  std::istringstream chordList_, emission_, transition_;
};

void makeDecoder(boost::shared_ptr<kelo::IKeloHmm>& out, std::uint32_t classes, std::uint32_t beats, void*) {
  out = boost::make_shared<kelo::OfflineHmm>(std::int32_t(classes), std::int32_t(beats));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint32_t beats = 1 + data[0] % 4;
  const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t first = input.find('\0');
  const std::size_t second = first == std::string::npos ? std::string::npos : input.find('\0', first + 1);
  const std::string chordList = input.substr(0, first);
  const std::string emission =
      first == std::string::npos ? std::string() : input.substr(first + 1, second - first - 1);
  const std::string transition = second == std::string::npos ? std::string() : input.substr(second + 1);
  MemoryReader reader(chordList, emission, transition);
  kelo::KeloHmmPlainTextFactory factory(&reader, makeDecoder, nullptr);
  try {
    std::int32_t featureKind = 0;
    std::unique_ptr<kelo::KeloHmm> model(factory.create(featureKind, true, 0, beats));
    if (factory.lastError() == 0) {
      auto decoder = boost::dynamic_pointer_cast<kelo::OfflineHmm>(model->decoder());
      decoder->addFeature(kelo::OfflineHmm::Vector(26, 0.5));
      decoder->decode();
    }
  } catch (const std::exception&) {
  }
  return 0;
}
