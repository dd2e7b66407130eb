#include "KeloPlainTextResourceStreamReader.h"

#include <map>

#include "KeloModelMap.h"

namespace kelo {

namespace {

std::istream& present(std::stringstream& stream, const std::map<std::string, std::string>& texts,
                      const std::string& key) {
  const auto it = texts.find(key);
  stream.str(it != texts.end() ? it->second : std::string());
  stream.clear();
  if (it == texts.end()) stream.setstate(std::ios_base::badbit);
  return stream;
}

}  // namespace

KeloPlainTextResourceStreamReader::KeloPlainTextResourceStreamReader() { initModelResources(); }

std::istream& KeloPlainTextResourceStreamReader::openEmission(const std::string& key) {
  return present(emission_, initModelResources().emissionTexts, key);
}

std::istream& KeloPlainTextResourceStreamReader::openTransition(std::int32_t mode, std::int32_t position,
                                                                std::int32_t beatsPerBar) {
  return present(transition_, initModelResources().transitionTexts,
                 transitionKey(mode, position, beatsPerBar));
}

std::istream& KeloPlainTextResourceStreamReader::openChordList() {
  chordList_.str(initModelResources().chordListText);
  chordList_.clear();
  return chordList_;
}

}  // namespace kelo
