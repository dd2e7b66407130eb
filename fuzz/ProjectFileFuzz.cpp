// fuzz-deps: astcore
// Feeds arbitrary bytes to the project and analysed-wave file parsers.
// Whatever they accept must be written back and read again to the same
// model.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "ProjectFileCodec.h"

namespace {

using namespace ProjectFileCodec;

void roundTrip(const Content& content, Kind kind) {
  std::vector<const WavInfo*> waves;
  for (const WavInfo& w : content.waves) waves.push_back(&w);
  std::array<const SecInfo*, AllInfo::kSectionCount> sections{};
  for (int i = 0; i < AllInfo::kSectionCount; ++i) sections[i] = &content.sections[i];
  const Bytes waveBlock = kind == Kind::Project ? projectWaveBlock(waves) : awiWaveBlock(content.waves.at(0));
  const Bytes file = assembleFile(kind, waveBlock, sectionsBlock(sections, kind == Kind::AnalysedWave),
                                  commonBlock(content.common));
  Content again;
  if (Result::failed(parseFile(file.data(), file.size(), kind, again))) std::abort();
  if (!(again.common == content.common)) std::abort();
  for (int i = 0; i < AllInfo::kSectionCount; ++i) {
    if (kind == Kind::Project && !(again.sections[i] == content.sections[i])) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (Kind kind : {Kind::Project, Kind::AnalysedWave}) {
    Content content;
    if (Result::failed(parseFile(data, size, kind, content))) continue;
    if (content.hasWaves && content.hasSections && content.hasCommon) roundTrip(content, kind);
  }
  return 0;
}
