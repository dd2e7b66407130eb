#include "SectionNames.h"

#include <cstring>

const std::uint8_t TrackSectionOrder[kTrackSlotCount] = {3, 1, 0, 7, 6, 13, 12, 19, 18, 8, 4, 9, 10, 15, 16};

namespace {

struct StyleIdForms {
  const char* longName;
  const char* printed;  // null when never printed
  const char* forms[3];
};

// By style id; forms in the order they are tried.
const StyleIdForms kStyleIds[24] = {
    {"Main A", "Main A", {"Main A", "MA", nullptr}},
    {"Fill In AA", "Fill In AA", {"Fill AA", "Fill In AA", "FAA"}},
    {"Fill In AB", nullptr, {"Fill AB", "Fill In AB", "FAB"}},
    {"Intro A", "Intro A", {"Intro A", "IA", nullptr}},
    {"Ending A", "Ending A", {"Ending A", "EA", nullptr}},
    {"Break A", nullptr, {"Break A", nullptr, nullptr}},
    {"Main B", "Main B", {"Main B", "MB", nullptr}},
    {"Fill In BB", "Fill In BB", {"Fill BB", "Fill In BB", "FBB"}},
    {"Fill In BA", "Fill In BA", {"Fill BA", "Fill In BA", "FBA"}},
    {"Intro B", "Intro B", {"Intro B", "IB", nullptr}},
    {"Ending B", "Ending B", {"Ending B", "EB", nullptr}},
    {"Break B", nullptr, {"Break B", nullptr, nullptr}},
    {"Main C", "Main C", {"Main C", "MC", nullptr}},
    {"Fill In CC", "Fill In CC", {"Fill CC", "Fill In CC", "FCC"}},
    {"Fill In CD", nullptr, {"Fill CD", "Fill In CD", "FCD"}},
    {"Intro C", "Intro C", {"Intro C", "IC", nullptr}},
    {"Ending C", "Ending C", {"Ending C", "EC", nullptr}},
    {"Break C", nullptr, {"Break C", nullptr, nullptr}},
    {"Main D", "Main D", {"Main D", "MD", nullptr}},
    {"Fill In DD", "Fill In DD", {"Fill DD", "Fill In DD", "FDD"}},
    {"Fill In DC", nullptr, {"Fill DC", "Fill In DC", "FDC"}},
    {"Intro D", nullptr, {"Intro D", nullptr, nullptr}},
    {"Ending D", nullptr, {"Ending D", nullptr, nullptr}},
    {"Break D", nullptr, {"Break D", nullptr, nullptr}},
};

struct AudioSectionForms {
  const char* name;
  const char* forms[4];  // after the name; null-terminated
  const char* compact;   // the name without blanks
};

const AudioSectionForms kAudioSections[20] = {
    {"Main A", {"MA"}, "MainA"},
    {"Main B", {"MB"}, "MainB"},
    {"Main C", {"MC"}, "MainC"},
    {"Main D", {"MD"}, "MainD"},
    {"Fill In AA", {"Fill AA", "FAA"}, "FillInAA"},
    {"Fill In BB", {"Fill BB", "FBB"}, "FillInBB"},
    {"Fill In CC", {"Fill CC", "FCC"}, "FillInCC"},
    {"Fill In DD", {"Fill DD", "FDD"}, "FillInDD"},
    {"Intro A", {"IA"}, "IntroA"},
    {"Intro B", {"IB"}, "IntroB"},
    {"Intro C", {"IC"}, "IntroC"},
    {"Intro D", {}, "IntroD"},
    {"Ending A", {"EA"}, "EndingA"},
    {"Ending B", {"EB"}, "EndingB"},
    {"Ending C", {"EC"}, "EndingC"},
    {"Ending D", {}, "EndingD"},
    {"Fill In AB", {"Fill AB", "FAB"}, "FillInAB"},
    {"Fill In BA", {"Fill BA", "FBA"}, "FillInBA"},
    {"Fill In CD", {"Fill CD", "FCD"}, "FillInCD"},
    {"Fill In DC", {"Fill DC", "FDC"}, "FillInDC"},
};

constexpr std::int32_t kBreakFillNumber = 17;

const std::uint8_t kAudioToStyleId[20] = {0, 6, 12, 18, 1, 7, 13, 19, 3, 9, 15, 21, 4, 10, 16, 22, 2, 8, 14, 20};

bool StartsWith(const char* text, std::uint64_t length, const char* form) {
  const std::size_t n = std::strlen(form);
  return length >= n && std::memcmp(text, form, n) == 0;
}

}  // namespace

const char* StyleIdLongName(std::uint8_t id) { return id < 24 ? kStyleIds[id].longName : nullptr; }

const char* StyleIdPrintedName(std::uint8_t id) { return id < 24 ? kStyleIds[id].printed : nullptr; }

ResultCode StyleIdFromText(const char* text, std::uint64_t length, std::uint8_t& id) {
  id = kStyleIdNone;
  if (!text || length == 0) return Result::fail(1);
  for (std::uint8_t i = 0; i < 24; ++i) {
    for (const char* form : kStyleIds[i].forms) {
      if (form && StartsWith(text, length, form)) {
        id = i;
        return Result::kOk;
      }
    }
  }
  if (StartsWith(text, length, "Break Fill")) {
    id = 8;
    return Result::kOk;
  }
  if (StartsWith(text, length, "Break")) {
    id = 5;
    return Result::kOk;
  }
  return Result::fail(2);
}

std::int32_t SectionNameToNumber(const char* text) {
  if (!text) return -1;
  const std::uint64_t length = std::strlen(text);
  for (std::int32_t i = 0; i < 20; ++i) {
    const AudioSectionForms& s = kAudioSections[i];
    if (StartsWith(text, length, s.name)) return i;
    for (const char* form : s.forms) {
      if (form && StartsWith(text, length, form)) return i;
    }
  }
  if (StartsWith(text, length, "Break Fill")) return kBreakFillNumber;
  return -1;
}

std::int32_t SectionStringToNumber(const std::string& text) {
  for (std::int32_t i = 0; i < 20; ++i) {
    const AudioSectionForms& s = kAudioSections[i];
    if (text.find(s.name) != std::string::npos || text.find(s.compact) != std::string::npos) return i;
    for (const char* form : s.forms) {
      if (form && text.find(form) != std::string::npos) return i;
    }
  }
  if (text.find("Break Fill") != std::string::npos) return kBreakFillNumber;
  return -1;
}

const char* SectionNumberToName(std::int32_t number) {
  if (number == -1) return "Dummy";
  if (number < 0 || number >= 20) return "";
  return kAudioSections[number].name;
}

std::uint8_t AudioSectionToStyleId(std::uint32_t number) { return number < 20 ? kAudioToStyleId[number] : 255; }

std::uint8_t TrackSlotToStyleId(std::uint32_t slot) { return slot < kTrackSlotCount ? TrackSectionOrder[slot] : 255; }

std::uint8_t IsSupportedAudioSection(std::uint32_t number) {
  return (number <= 10 || number == 12 || number == 13 || number == 14 || number == 17) ? 1 : 0;
}

ResultCode BuildNextIdTable(std::uint8_t* table, std::size_t tableSize, std::size_t n, const std::uint8_t* ids) {
  if (n < 1) return Result::kOk;
  if (!table || !ids || n > tableSize) return Result::fail(1);
  for (std::size_t i = 0; i + 1 < n; ++i) {
    if (ids[i] != 255 && ids[i] >= tableSize) return Result::fail(2);
  }
  for (std::size_t i = 0; i < n; ++i) table[i] = 255;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    if (ids[i] != 255) table[ids[i]] = ids[i + 1];
  }
  return Result::kOk;
}

ResultCode BuildNextTrackSlotTable(std::uint8_t* table, std::size_t tableSize, std::size_t n,
                                   std::vector<std::uint8_t>& work) {
  work.assign(n, 255);
  for (std::size_t k = 0; k < n; ++k) work[k] = TrackSlotToStyleId(static_cast<std::uint32_t>(k));
  return BuildNextIdTable(table, tableSize, n, work.data());
}

std::uint8_t OffsetStyleId(std::uint8_t id) { return id <= 23 ? static_cast<std::uint8_t>(id + 7) : 255; }

std::uint32_t LookupTable23(std::uint32_t index) {
  if (index > 22) return 0xFFFFFFFFu;
  if (index == 8) return 4;
  if (index == 16) return 16;
  return 0;
}

char PitchClassToKeyChar(std::uint32_t pitchClass) {
  static const char kKeys[] = "1A2B34D5E6F7";
  return pitchClass < 12 ? kKeys[pitchClass] : '\0';
}

std::uint8_t CanonicalChordType(std::uint32_t type) {
  if (type < 35) return static_cast<std::uint8_t>(type);
  switch (type) {
    case 35: case 36: return 3;
    case 37: return 17;
    case 38: case 43: case 53: return 8;
    case 39: case 41: return 25;
    case 40: return 7;
    case 45: return 32;
    case 49: case 54: case 57: return 19;
    case 51: return 33;
    case 52: return 10;
    case 56: return 21;
    case 127: return 127;
    default: return 0;
  }
}
