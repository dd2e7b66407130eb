// The section-list builder: which song segments become which sections.

#include <algorithm>
#include <new>

#include "AnalysisUtil.h"

namespace {

constexpr std::uint32_t kIntro2 = 1;
constexpr std::uint32_t kMainA = 3;
constexpr std::uint32_t kMainB = 4;
constexpr std::uint32_t kMainC = 5;
constexpr std::uint32_t kMainD = 6;
constexpr std::uint32_t kEnding2 = 13;

struct LabelRecord {
  std::int32_t label;
  double longest;
  std::size_t first;  // first and last segment having the longest duration
  std::size_t last;
};

struct DurationEntry {
  bool used;
  float duration;
  std::size_t index;
};

bool unassigned(const SegItem& item) { return (item.slot & 0xFF) == SegItem::kNoSlot; }

class Builder {
 public:
  Builder(std::vector<SegItem>& items, std::vector<SegItem>& chosen) : items(items), chosen(chosen) {}

  void give(std::size_t i, std::uint32_t slot) {
    items[i].slot = (items[i].slot & ~0xFFu) | slot;
    chosen.push_back(items[i]);
  }

  // Per label of the still unassigned segments: the longest duration and
  // where it first and last occurs; records in order of first appearance,
  // then sorted longest first (ties keep that order).
  std::vector<LabelRecord> labelStats() const {
    std::vector<LabelRecord> records;
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (!unassigned(items[i])) continue;
      const double duration = static_cast<double>(items[i].end) - items[i].start;
      auto it = std::find_if(records.begin(), records.end(),
                             [&](const LabelRecord& r) { return r.label == items[i].label; });
      if (it == records.end()) {
        records.push_back({items[i].label, duration, i, i});
      } else if (duration > it->longest) {
        *it = {it->label, duration, i, i};
      } else if (duration == it->longest) {
        it->first = std::min(it->first, i);
        it->last = std::max(it->last, i);
      }
    }
    std::stable_sort(records.begin(), records.end(),
                     [](const LabelRecord& a, const LabelRecord& b) { return a.longest > b.longest; });
    return records;
  }

  std::vector<DurationEntry> durations() const {
    std::vector<DurationEntry> list;
    for (std::size_t i = 0; i < items.size(); ++i) list.push_back({false, items[i].end - items[i].start, i});
    std::stable_sort(list.begin(), list.end(),
                     [](const DurationEntry& a, const DurationEntry& b) { return a.duration > b.duration; });
    return list;
  }

  static void markUsed(std::vector<DurationEntry>& list, std::size_t index) {
    for (auto& e : list) {
      if (e.index == index) e.used = true;
    }
  }

  // Walks the duration list from the longest and gives the next unassigned
  // segments the slots in `slots`, in order.
  void fillFromDurations(std::vector<DurationEntry>& list, std::initializer_list<std::uint32_t> slots) {
    auto next = slots.begin();
    for (auto& e : list) {
      if (next == slots.end()) break;
      if (e.used) continue;
      e.used = true;
      if (!unassigned(items[e.index])) continue;
      give(e.index, *next++);
    }
  }

  void general() {
    give(0, kIntro2);
    give(items.size() - 1, kEnding2);
    const std::vector<LabelRecord> records = labelStats();
    const std::size_t k = records.size();
    if (k >= 4) {
      give(records[0].last, kMainD);
      give(records[1].last, kMainC);
      give(records[2].first, kMainA);
      give(records[3].first, kMainB);
    } else if (k == 3) {
      std::vector<DurationEntry> list = durations();
      give(records[0].last, kMainD);
      give(records[1].first, kMainA);
      give(records[2].first, kMainB);
      for (std::size_t i : {records[0].last, records[1].first, records[2].first}) markUsed(list, i);
      fillFromDurations(list, {kMainC});
    } else if (k == 2) {
      std::vector<DurationEntry> list = durations();
      give(records[0].last, kMainD);
      give(records[1].first, kMainA);
      for (std::size_t i : {records[0].last, records[1].first}) markUsed(list, i);
      fillFromDurations(list, {kMainC, kMainB});
    } else if (k == 1) {
      // One repeating part: the four longest segments become Main D, C, B
      // and A in the order found, so no main lands on another kind of slot.
      std::vector<DurationEntry> list = durations();
      fillFromDurations(list, {kMainD, kMainC, kMainB, kMainA});
    }
  }

 private:
  std::vector<SegItem>& items;
  std::vector<SegItem>& chosen;
};

}  // namespace

ResultCode AnalysisUtil::editBeatList(std::vector<SegItem>& chosen, std::vector<SegItem>& items,
                                      std::uint8_t& exceptFlag) const {
  exceptFlag = 0;
  chosen.clear();
  const std::size_t n = items.size();
  if (n == 0) return Result::kOk;
  Builder builder(items, chosen);
  unsigned step = n < 5 ? 3 : n == 5 ? 4 : n == 6 ? 5 : 6;
  try {
    if (n < 5) {
      for (std::size_t i = 0; i < n; ++i) builder.give(i, kMainA + static_cast<std::uint32_t>(i));
    } else if (n <= 6) {
      const std::uint32_t slots[] = {kIntro2, kMainA, kMainB, kMainC, kMainD, kEnding2};
      for (std::size_t i = 0; i < n; ++i) builder.give(i, slots[i]);
    } else {
      builder.general();
    }
  } catch (const std::bad_alloc&) {
    exceptFlag = 1;
    return Result::fail(step);
  }
  std::stable_sort(chosen.begin(), chosen.end(), [](const SegItem& a, const SegItem& b) { return a.start < b.start; });
  return Result::kOk;
}
