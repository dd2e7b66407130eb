#pragma once
// The name lists of audio sections as texts: names joined with ',' (no
// blanks, no terminator), and the long name of an audio section number.

#include <cstdint>
#include <string>

#include "CSection.h"
#include "SectionNames.h"

namespace SectionNameText {

inline std::string Join(const NameList& names) {
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i) text += ',';
    text += names[i];
  }
  return text;
}

// Long name of an audio section number 0..19, "Dummy" for -1 and "" for any
// other number (including numbers beyond 32 bits).
inline const char* NumberToName(std::int64_t number) {
  if (number < -1 || number > 19) return "";
  return SectionNumberToName(static_cast<std::int32_t>(number));
}

// The audio section number a name stands for, or -1.
inline std::int64_t NameToNumber(const std::string& name) { return SectionNameToNumber(name.c_str()); }

}  // namespace SectionNameText
