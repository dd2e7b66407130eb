#include "CSectionDecorator.h"

#include "NoThrowAlloc.h"

namespace {

ResultCode ConvertIds(CSection& section, std::uint8_t from, std::uint8_t to) {
  for (CCtabData* t : section.GetCtabList()) {
    if (!t) continue;
    std::uint8_t id[4];
    std::uint64_t n = sizeof id;
    ResultCode rc = t->GetId(id, n);
    if (Result::failed(rc)) return Result::nest(2, rc);
    if (!CChunkBase::IsChunkId(id, n, from)) continue;
    char newId[4];
    std::uint64_t len = sizeof newId;
    rc = CChunkBase::CopyChunkId(to, newId, &len);
    if (Result::failed(rc)) return Result::nest(3, rc);
    rc = t->SetId(reinterpret_cast<const std::uint8_t*>(newId), len);
    if (Result::failed(rc)) return Result::nest(4, rc);
  }
  return Result::kOk;
}

}  // namespace

ResultCode CSectionDecorator::ApplyCnttToTables(CSection& section) {
  for (const CCnttData* e : section.GetCnttList()) {
    if (!e) continue;
    std::uint8_t channel = 0, value = 0;
    ResultCode rc = e->GetChannel(channel);
    if (Result::failed(rc)) return Result::nest(2, rc);
    CCtabData* table = section.FindCtab(channel);
    if (!table) continue;
    rc = e->GetValue(value);
    if (Result::failed(rc)) return Result::nest(4, rc);
    for (std::uint8_t r = 0; r < CCtabData::kRangeCount; ++r) {
      rc = table->SetB1(r, value);
      if (Result::failed(rc)) return Result::nest(5, rc);
    }
  }
  return Result::kOk;
}

ResultCode CSectionDecorator::BuildCnttFromTables(CSection& section) {
  ResultCode rc = section.ClearCntts();
  if (Result::failed(rc)) return Result::nest(1, rc);
  for (const CCtabData* t : section.GetCtabList()) {
    if (!t) continue;
    std::uint8_t channel = 0, value = 0;
    rc = t->GetSourceChannel(channel);
    if (Result::failed(rc)) return Result::nest(4, rc);
    CCnttData* e = NoThrowAlloc::TryNew<CCnttData>();
    if (!e) return Result::fail(7);
    unsigned step = 0;
    if (Result::failed(rc = e->SetChannel(channel))) step = 5;
    else if (Result::failed(rc = t->GetB1(1, value))) step = 8;
    else if (Result::failed(rc = e->SetValue(value))) step = 9;
    else if (Result::failed(rc = section.AddCntt(e))) step = 6;
    if (step) {
      delete e;
      return Result::nest(step, rc);
    }
  }
  return Result::kOk;
}

ResultCode CSectionDecorator::ConvertCodesToCtb2(CSection& section) {
  for (CCtabData* t : section.GetCtabList()) {
    if (!t) continue;
    std::uint8_t channel = 0;
    ResultCode rc = t->GetSourceChannel(channel);
    if (Result::failed(rc)) return Result::nest(2, rc);
    if (section.FindCntt(channel)) continue;
    for (std::uint8_t r = 0; r < CCtabData::kRangeCount; ++r) {
      std::uint8_t code = 0;
      rc = t->GetB1Code(r, code);
      if (Result::failed(rc)) return Result::nest(4, rc);
      if (code == 3) {
        if (Result::failed(rc = t->SetB1Code(r, 1))) return Result::nest(5, rc);
        if (Result::failed(rc = t->SetB1Flag(r, 1))) return Result::nest(6, rc);
        continue;
      }
      if (Result::failed(rc = t->SetB1Flag(r, 0))) return Result::nest(7, rc);
      if (code == 4 && Result::failed(rc = t->SetB1Code(r, 3))) return Result::nest(8, rc);
      if (code == 5 && Result::failed(rc = t->SetB1Code(r, 5))) return Result::nest(9, rc);
    }
  }
  return Result::kOk;
}

ResultCode CSectionDecorator::ConvertCodesToCtab(CSection& section) {
  for (CCtabData* t : section.GetCtabList()) {
    if (!t) continue;
    for (std::uint8_t r = 0; r < CCtabData::kRangeCount; ++r) {
      std::uint8_t code = 0, flag = 0;
      ResultCode rc = t->GetB1Code(r, code);
      if (Result::failed(rc)) return Result::nest(2, rc);
      rc = t->GetB1Flag(r, flag);
      if (Result::failed(rc)) return Result::nest(3, rc);
      if (flag == 1 && code == 1) {
        if (Result::failed(rc = t->SetB1Code(r, 3))) return Result::nest(4, rc);
        if (Result::failed(rc = t->SetB1Flag(r, 0))) return Result::nest(5, rc);
        continue;
      }
      std::uint8_t newCode = code;
      if (IsFoldedCode(code)) newCode = 3;
      else if (code == 5) newCode = 5;
      else if (code == 3) newCode = 4;
      else continue;
      if (Result::failed(rc = t->SetB1Code(r, newCode))) return Result::nest(6, rc);
      if (Result::failed(rc = t->SetB1Flag(r, 0))) return Result::nest(7, rc);
    }
  }
  return Result::kOk;
}

ResultCode CSectionDecorator::ClearRangeCode2(CSection& section, std::uint8_t mode) {
  for (CCtabData* t : section.GetCtabList()) {
    if (!t) continue;
    for (std::uint8_t r = 0; r < CCtabData::kRangeCount; ++r) {
      std::uint8_t b0 = 0;
      ResultCode rc = t->GetB0(r, b0);
      if (Result::failed(rc)) return Result::nest(2, rc);
      if (b0 != 2) continue;
      if (Result::failed(rc = t->SetB0(r, 0))) return Result::nest(3, rc);
      if (mode <= 1 && Result::failed(rc = t->SetB1Code(r, 1))) return Result::nest(mode == 0 ? 4 : 5, rc);
    }
  }
  return Result::kOk;
}

ResultCode CSectionDecorator::ConvertIdsToCtb2(CSection& section) {
  return ConvertIds(section, ChunkCode::kCtab, ChunkCode::kCtb2);
}

ResultCode CSectionDecorator::ConvertIdsToCtab(CSection& section) {
  return ConvertIds(section, ChunkCode::kCtb2, ChunkCode::kCtab);
}

bool CSectionDecorator::IsFoldedCode(std::uint8_t code) {
  return code == 4 || (code >= 6 && code <= 10);
}
