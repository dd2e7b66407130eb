#pragma once
// Conversions of a section's channel tables between the two format
// versions: "SFF1" (Ctab tables plus Cntt byte pairs) and "SFF2" (Ctb2
// tables). The sections of a style are plain CSection objects, so every
// operation takes the section it works on; each stops at the first failing
// step and returns its code, leaving the steps already done in place.

#include <cstdint>

#include "CChunkBase.h"
#include "CSection.h"
#include "ResultCode.h"

class CSectionDecorator : public CSection, public CChunkBase {
 public:
  ~CSectionDecorator() override = default;

  // Each byte pair's value goes into b1 of all three ranges of the table of
  // its channel; pairs without a table are passed over.
  static ResultCode ApplyCnttToTables(CSection& section);
  // Replaces the byte pairs by one per table: its source channel and b1 of
  // range 1.
  static ResultCode BuildCnttFromTables(CSection& section);
  // Recodes the ranges of every table without a byte pair for its channel
  // to the second version's codes (3 -> 1 with flag, 4 -> 3, others keep
  // their code with the flag cleared).
  static ResultCode ConvertCodesToCtb2(CSection& section);
  // Recodes every table's ranges to the first version's codes.
  static ResultCode ConvertCodesToCtab(CSection& section);
  // Ranges whose b0 is 2 get b0 0, and in mode 0 or 1 also b1 code 1.
  static ResultCode ClearRangeCode2(CSection& section, std::uint8_t mode);
  // Retags tables "Ctab" -> "Ctb2" (resp. back); other ids stay.
  static ResultCode ConvertIdsToCtb2(CSection& section);
  static ResultCode ConvertIdsToCtab(CSection& section);
  // Codes 4, 6, 7, 8, 9 and 10, which the first version folds into 3.
  static bool IsFoldedCode(std::uint8_t code);
};
