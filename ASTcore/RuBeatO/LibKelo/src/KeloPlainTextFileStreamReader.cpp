#include "KeloPlainTextFileStreamReader.h"

namespace kelo {

namespace {

std::istream& reopen(std::ifstream& stream, const std::string& path) {
  if (stream.is_open()) stream.close();
  stream.clear();
  stream.open(path, std::ios_base::in);
  if (!stream.is_open()) stream.setstate(std::ios_base::failbit);
  return stream;
}

}  // namespace

std::string makeModelPath(const std::string& folder, const std::string& name,
                          const std::string& extension) {
  return folder + "/" + name + "." + extension;
}

std::string makeModelPath(const std::string& folder, const std::string& subfolder,
                          const std::string& name, const std::string& extension) {
  return folder + "/" + subfolder + "/" + name + "." + extension;
}

KeloPlainTextFileStreamReader::KeloPlainTextFileStreamReader(const std::string& folder,
                                                             const std::string& emissionExtension)
    : folder_(folder), emissionExtension_(emissionExtension) {}

std::istream& KeloPlainTextFileStreamReader::openEmission(const std::string& key) {
  return reopen(emission_, makeModelPath(folder_, "Mixture", key, emissionExtension_));
}

std::istream& KeloPlainTextFileStreamReader::openTransition(std::int32_t mode, std::int32_t position,
                                                            std::int32_t beatsPerBar) {
  return reopen(transition_, makeModelPath(folder_, transitionKey(mode, position, beatsPerBar), "txt"));
}

std::istream& KeloPlainTextFileStreamReader::openChordList() {
  return reopen(chordList_, makeModelPath(folder_, "chordlist", "txt"));
}

}  // namespace kelo
