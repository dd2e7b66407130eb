#pragma once
// Model texts from the built-in model map.

#include <sstream>

#include "IKeloPlainTextStreamReader.h"

namespace kelo {

class KeloPlainTextResourceStreamReader : public IKeloPlainTextStreamReader {
 public:
  // Makes sure the built-in map is filled.
  KeloPlainTextResourceStreamReader();

  // Each open replaces the stream's content by the requested text, so a
  // text left partly read by an earlier consumer never precedes it. A key
  // without text leaves the stream empty with badbit set.
  std::istream& openEmission(const std::string& key) override;
  std::istream& openTransition(std::int32_t mode, std::int32_t position,
                               std::int32_t beatsPerBar) override;
  std::istream& openChordList() override;

 private:
  std::stringstream emission_;
  std::stringstream transition_;
  std::stringstream chordList_;
};

}  // namespace kelo
