#pragma once
// Model texts from a model folder: "<folder>/chordlist.txt",
// "<folder>/transition.major.4.0.txt" ..., and the emission texts
// "<folder>/Mixture/<key>.<emissionExtension>".

#include <fstream>
#include <string>

#include "IKeloPlainTextStreamReader.h"

namespace kelo {

// folder + "/" + name + "." + extension, and the same with a subfolder;
// plain concatenation.
std::string makeModelPath(const std::string& folder, const std::string& name,
                          const std::string& extension);
std::string makeModelPath(const std::string& folder, const std::string& subfolder,
                          const std::string& name, const std::string& extension);

class KeloPlainTextFileStreamReader : public IKeloPlainTextStreamReader {
 public:
  KeloPlainTextFileStreamReader(const std::string& folder, const std::string& emissionExtension);

  // Each open closes the stream's previous file and opens the named one;
  // failbit is set when it cannot be opened.
  std::istream& openEmission(const std::string& key) override;
  std::istream& openTransition(std::int32_t mode, std::int32_t position,
                               std::int32_t beatsPerBar) override;
  std::istream& openChordList() override;

 private:
  std::string folder_;
  std::string emissionExtension_;
  std::ifstream emission_;
  std::ifstream transition_;
  std::ifstream chordList_;
};

}  // namespace kelo
