#pragma once
// CAtabData as the chunk code's decorator hierarchy names it; it adds
// nothing.

#include "CAtabData.h"

class CAtabDataDecorator : public CAtabData {
 public:
  ~CAtabDataDecorator() override = default;
};
