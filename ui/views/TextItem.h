#pragma once
// A labelled range of a recording, as the section layer shows it.

#include <QByteArray>

#include <cstdint>

struct TextItem {
  std::int64_t start = 0;  // sample positions
  std::int64_t end = 0;
  QByteArray label;  // UTF-8
  int value = 0;     // the owner's tag
};
