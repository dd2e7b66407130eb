#include "SongEngine.h"

#include <new>

#include "KeloSemiOffline.h"

namespace MzMir {

std::shared_ptr<kelo::IKelo> makeSongEngine() {
  auto engine = std::shared_ptr<kelo::KeloSemiOffline>(new (std::nothrow) kelo::KeloSemiOffline());
  if (!engine) return nullptr;
  // Partial decodes about every 28 000 blocks (some two minutes of audio).
  engine->setLag(15);
  return engine;
}

}  // namespace MzMir
