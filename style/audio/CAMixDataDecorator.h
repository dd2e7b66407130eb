#pragma once
// CAMixData as the chunk code's decorator hierarchy names it; it adds
// nothing.

#include "CAMixData.h"

class CAMixDataDecorator : public CAMixData {
 public:
  ~CAMixDataDecorator() override = default;
};
