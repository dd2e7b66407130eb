// Writes the template style "Empty.sty" that every export adapts: one track
// at division 960 holding, at tick 0, the "SFF2" format marker, a tempo of
// 120 beats per minute, a 4/4 time signature and one marker per built
// section (in track order, with the printed names), closed by the end of
// track; and a CASM with one section per built section, named after it,
// holding the 16 default Ctb2 channel tables.
//
// Usage: MakeEmptyStyle <output file>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "CSmfStyleDecorator.h"
#include "CTrkDecorator.h"
#include "SectionNames.h"

namespace {

constexpr std::uint16_t kDivision = 960;
constexpr std::uint64_t kTempo = 500000;  // microseconds per quarter note: 120 bpm
const std::uint8_t kFourFour[4] = {4, 2, 24, 8};

bool AppendMeta(CTrk& track, std::uint8_t type, const std::uint8_t* payload, std::uint64_t n) {
  auto* e = new CEvnt;
  e->SetStatus(EventStatus::kMeta);
  e->SetMetaType(type);
  e->SetTime(0);
  if (Result::failed(e->SetExData(payload, n)) || Result::failed(track.AppendEvent(e))) {
    delete e;
    return false;
  }
  return true;
}

ResultCode BuildTemplate(CSmfStyleDecorator& style) {
  CHead head;
  head.format = 0;
  head.trackCount = 1;
  head.division = kDivision;
  style.SetHeader(head);

  auto* track = new CTrk;
  style.AddTrack(track);
  const std::uint8_t sff2[4] = {'S', 'F', 'F', '2'};
  const std::uint8_t tempo[3] = {kTempo >> 16, (kTempo >> 8) & 0xFF, kTempo & 0xFF};
  if (!AppendMeta(*track, MetaType::kMarker, sff2, 4) || !AppendMeta(*track, MetaType::kTempo, tempo, 3) ||
      !AppendMeta(*track, MetaType::kTimeSignature, kFourFour, 4)) {
    return Result::fail(1);
  }
  for (std::uint8_t id : TrackSectionOrder) {
    const char* name = StyleIdPrintedName(id);
    if (!AppendMeta(*track, MetaType::kMarker, reinterpret_cast<const std::uint8_t*>(name), std::strlen(name))) {
      return Result::fail(2);
    }
  }
  ResultCode rc = track->RebuildEndOfTrack();
  if (Result::failed(rc)) return Result::nest(3, rc);

  for (std::uint8_t id : TrackSectionOrder) {
    auto* section = new CSection;
    style.GetSections().push_back(section);
    rc = section->InitDefault();
    if (Result::failed(rc)) return Result::nest(4, rc);
    section->ClearCntts();  // byte pairs belong to the first format version
    section->SetNames({StyleIdPrintedName(id)});
  }
  return Result::kOk;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output file>\n", argv[0]);
    return 2;
  }
  CSmfStyleDecorator style;
  std::vector<std::uint8_t> bytes;
  ResultCode rc = BuildTemplate(style);
  if (Result::succeeded(rc)) rc = style.Save(bytes);
  if (Result::failed(rc)) {
    std::fprintf(stderr, "MakeEmptyStyle: building the template failed (0x%llx)\n",
                 static_cast<unsigned long long>(rc));
    return 1;
  }
  // Written whole to a temporary file and renamed, so a failed run never
  // leaves a partial template behind.
  const std::string target = argv[1];
  const std::string temp = target + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::fprintf(stderr, "MakeEmptyStyle: cannot write %s\n", temp.c_str());
      std::remove(temp.c_str());
      return 1;
    }
  }
  if (std::rename(temp.c_str(), target.c_str()) != 0) {
    std::fprintf(stderr, "MakeEmptyStyle: cannot create %s\n", target.c_str());
    std::remove(temp.c_str());
    return 1;
  }
  return 0;
}
