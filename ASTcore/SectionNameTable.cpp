#include "SectionNameTable.h"

namespace SectionNameTable {

namespace {

const char* const kNames[kEntries] = {
    "Intro 1",   "Intro 2",   "Intro 3",   "Main A",    "Main B",   "Main C",  "Main D",
    "Fill In A", "Fill In B", "Fill In C", "Fill In D", "Break",    "Ending 1", "Ending 2",
    "Ending 3",  "",          "Down Beat", "Up Beat",   "Sound"};

}  // namespace

QString name(int index) {
  if (index < 0 || index >= kEntries) return QString();
  return QString::fromLatin1(kNames[index]);
}

}  // namespace SectionNameTable
