// fuzz-deps: smf
// Feeds arbitrary bytes to the style loader. A style that loads and saves
// must load again from what was saved and save to the same bytes; then the
// export adaptations and the section-mark edits run on it.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "CSmfStyleDecoratorForASFF.h"
#include "SectionNames.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CSmfStyleDecoratorForASFF style;
  if (Result::failed(style.LoadBuffer(data, size))) return 0;

  std::vector<std::uint8_t> first;
  if (Result::succeeded(style.Save(first))) {
    CSmfStyleDecoratorForASFF again;
    if (Result::failed(again.Load(first))) std::abort();
    std::vector<std::uint8_t> second;
    if (Result::failed(again.Save(second)) || second != first) std::abort();
  }

  // What an export does with a template, then the wider editing API.
  style.SetTempo(500000);
  style.SetTimeSignature(0x04021808);
  std::uint64_t position = 3840;
  for (int slot = 0; slot < kTrackSlotCount; ++slot) {
    const std::uint8_t id = TrackSectionOrder[slot];
    if (slot % 3 == 0) {
      style.RemoveSectionMarker(id);
    } else {
      style.MoveSectionMarker(id, position);
      position += 3840;
    }
  }
  style.SetEndOfTrackTime(position);
  std::uint64_t mask = 0;
  style.GetSilentSectionMask(&mask);
  SectionCheckReport report;
  style.CheckSectionEvents(&report);
  style.TidySectionEvents();
  std::uint8_t ids[25];
  std::uint64_t bars[25];
  style.GetSectionStartsFromMarkers(ids, bars, 25);
  style.RemoveSectionsNotInMask(0x0F0F0F);
  style.ChangeFormatVersion(static_cast<std::uint8_t>(size % 3));
  std::vector<std::uint8_t> edited;
  style.Save(edited);
  return 0;
}
