#pragma once
// Where the texts of a chord/key model come from: the built-in model map or
// a model folder. Each open hands out the reader's one stream of that kind,
// positioned at the start of the requested text; the caller tests the
// stream's state (all flags clear: the text is there) and reads it before
// the next open of the same kind.

#include <cstdint>
#include <istream>
#include <string>

namespace kelo {

class IKeloPlainTextStreamReader {
 public:
  virtual ~IKeloPlainTextStreamReader() = default;

  // The emission text of a chord-type key ("17", "maj", ...).
  virtual std::istream& openEmission(const std::string& key) = 0;

  // The transition table of key mode `mode` (0 major, any other value
  // minor), beat position `position` in a bar of `beatsPerBar` beats.
  virtual std::istream& openTransition(std::int32_t mode, std::int32_t position,
                                       std::int32_t beatsPerBar) = 0;

  // The chordlist: "<chord-type index> <class index>" per line.
  virtual std::istream& openChordList() = 0;
};

// "transition.<major|minor>.<beatsPerBar>.<position>".
std::string transitionKey(std::int32_t mode, std::int32_t position, std::int32_t beatsPerBar);

}  // namespace kelo
