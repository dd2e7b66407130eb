#pragma once
// The chord/key engine a song analysis runs over its recording.

#include <memory>

namespace kelo {
class IKelo;
}

namespace MzMir {

// A new engine with the song analysis's decoding lag, or null when none can
// be made.
std::shared_ptr<kelo::IKelo> makeSongEngine();

}  // namespace MzMir
