#include "ProposalMeter.h"

namespace ProposalMeter {

ResultCode follow(const CASTcore& project, CASTcore& scratch) {
  std::uint8_t num = 4, den = 4;
  ResultCode rc = project.getTimeSig(num, den);
  if (Result::failed(rc)) return Result::nest(1, rc);
  std::uint8_t proposedNum = 4, proposedDen = 4;
  rc = scratch.getTimeSig(proposedNum, proposedDen);
  if (Result::failed(rc)) return Result::nest(2, rc);
  if (num != proposedNum || den != proposedDen) {
    if (Result::failed(scratch.changeTimeSig(num, den))) {
      rc = scratch.setTimeSig(num, den);
      if (Result::failed(rc)) return Result::nest(3, rc);
      rc = scratch.resetSections();
      if (Result::failed(rc)) return Result::nest(4, rc);
    }
  }
  const std::uint64_t tempo = project.getCommonInfo().tempo;
  if (scratch.getCommonInfo().tempo != tempo) {
    rc = scratch.updateTempo(tempo);
    if (Result::failed(rc)) return Result::nest(5, rc);
  }
  return Result::kOk;
}

}  // namespace ProposalMeter
