#pragma once
// The names of the 15 section slots (and of three further working files),
// the one source of the working-wave file names "AST_temp_<name>.wav".

#include <QString>

namespace SectionNameTable {

constexpr int kEntries = 19;
constexpr int kSlots = 15;

// Entry `index` ("Intro 1" .. "Ending 3", "" at 15, "Down Beat", "Up Beat",
// "Sound" at 16..18); empty for any other index.
QString name(int index);

}  // namespace SectionNameTable
