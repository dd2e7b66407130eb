#include "SongEngine.h"

#include "IKelo.h"

namespace MzMir {

std::shared_ptr<kelo::IKelo> makeSongEngine() { return nullptr; }

}  // namespace MzMir
