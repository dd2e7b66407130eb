#pragma once
// The engine's store of analysed channels: one SMSRegionLists per channel
// pass (entry 0 for the mono or left channel, entry 1 for the right).

#include <cstdint>

#include "SMSOwningArray.h"
#include "SMSRegionLists.h"

class SMSChannelLists : public SMSOwningArray<SMSRegionLists, 1> {
 public:
  using SMSOwningArray<SMSRegionLists, 1>::Get;

  // List `list` of channel pass `pass` (-1 for the last of either), or null.
  SMSRegionList* Get(std::int64_t pass, std::int64_t list) const {
    const SMSRegionLists* lists = Get(pass);
    return lists ? lists->Get(list) : nullptr;
  }
};
