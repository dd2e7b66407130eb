#pragma once
// The region lists made by the channel passes of one analysis object; each
// pass adds one list (0 for the mono or left channel, 1 for the right).

#include "SMSOwningArray.h"
#include "SMSRegionList.h"

class SMSRegionLists : public SMSOwningArray<SMSRegionList, 6> {};
