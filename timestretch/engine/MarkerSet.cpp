#include "MarkerSet.h"

void MarkerSet::Add(std::int32_t position, std::int32_t markerClass, std::uint8_t type) {
  Insert(count, position, markerClass, type);
}

void MarkerSet::Insert(std::int64_t index, std::int32_t position, std::int32_t markerClass, std::uint8_t type) {
  positions.insert(positions.begin() + index, position);
  classes.insert(classes.begin() + index, markerClass);
  types.insert(types.begin() + index, type);
  ++count;
}

void MarkerSet::Truncate(std::int64_t n) {
  if (n >= count) return;
  positions.resize(static_cast<std::size_t>(n));
  classes.resize(static_cast<std::size_t>(n));
  types.resize(static_cast<std::size_t>(n));
  for (auto* v : {&times, &beforeWidth, &beforeRest, &afterWidth, &afterRest})
    if (static_cast<std::int64_t>(v->size()) > n) v->resize(static_cast<std::size_t>(n));
  count = n;
}

void MarkerSet::Clear() {
  *this = MarkerSet{};
}
