#include "CSection.h"

#include "NoThrowAlloc.h"

CSection::~CSection() {
  ClearTableList(tables_);
  ClearCnttList(cntts_);
}

CSection& CSection::operator=(const CSection& other) {
  CopyFrom(other);
  return *this;
}

ResultCode CSection::CopyFrom(const CSection& other) {
  if (this == &other) return Result::kOk;
  CtabList tables;
  CnttList cntts;
  for (const CCtabData* t : other.tables_) {
    if (!t) continue;
    CCtabData* copy = NoThrowAlloc::TryNew<CCtabData>();
    if (!copy) {
      ClearTableList(tables);
      return Result::fail(1);
    }
    *copy = *t;
    tables.push_back(copy);
  }
  for (const CCnttData* c : other.cntts_) {
    if (!c) continue;
    CCnttData* copy = NoThrowAlloc::TryNew<CCnttData>();
    if (!copy) {
      ClearTableList(tables);
      ClearCnttList(cntts);
      return Result::fail(1);
    }
    *copy = *c;
    cntts.push_back(copy);
  }
  ClearTableList(tables_);
  ClearCnttList(cntts_);
  tables_.swap(tables);
  cntts_.swap(cntts);
  names_ = other.names_;
  return Result::kOk;
}

bool CSection::operator==(const CSection& other) const {
  if (names_ != other.names_ || tables_.size() != other.tables_.size() || cntts_.size() != other.cntts_.size()) {
    return false;
  }
  const auto same = [](const auto* a, const auto* b) { return a == b || (a && b && *a == *b); };
  for (std::size_t i = 0; i < tables_.size(); ++i) {
    if (!same(tables_[i], other.tables_[i])) return false;
  }
  for (std::size_t i = 0; i < cntts_.size(); ++i) {
    if (!same(cntts_[i], other.cntts_[i])) return false;
  }
  return true;
}

ResultCode CSection::Clear() {
  ClearTableList(tables_);
  ClearCnttList(cntts_);
  names_.clear();
  return Result::kOk;
}

ResultCode CSection::InitDefault() {
  Clear();
  names_.push_back("Dummy");
  for (std::uint8_t ch = 0; ch < 16; ++ch) {
    CCtabData* table = NoThrowAlloc::TryNew<CCtabData>();
    if (!table) return Result::fail(2);
    ResultCode rc = table->InitDefault(ch);
    if (Result::failed(rc)) {
      delete table;
      return Result::nest(3, rc);
    }
    tables_.push_back(table);
    CCnttData* entry = NoThrowAlloc::TryNew<CCnttData>();
    if (!entry) return Result::fail(4);
    rc = entry->InitDefault(ch);
    if (Result::failed(rc)) {
      delete entry;
      return Result::nest(5, rc);
    }
    cntts_.push_back(entry);
  }
  return Result::kOk;
}

ResultCode CSection::ClearNames() { return ClearNameList(names_); }

ResultCode CSection::SetNamesFromText(const char* text, std::uint64_t n) {
  if (!text || n == 0) return Result::fail(1);
  names_.clear();
  std::string part;
  for (std::uint64_t i = 0; i < n; ++i) {
    if (text[i] == ',') {
      if (!part.empty()) names_.push_back(part);
      part.clear();
    } else {
      part.push_back(text[i]);
    }
  }
  if (!part.empty()) names_.push_back(part);
  return Result::kOk;
}

ResultCode CSection::SetNames(const NameList& names) {
  names_ = names;
  return Result::kOk;
}

ResultCode CSection::GetNames(NameList& names) const {
  names = names_;
  return Result::kOk;
}

ResultCode CSection::GetNamesText(std::vector<std::uint8_t>& text) const {
  text.clear();
  // Every name after the first is preceded by a ',' once some character has
  // been written, an empty one too; only empty names at the start leave no
  // trace. The reader drops the empty parts again.
  bool first = true;
  for (const std::string& name : names_) {
    if (!first && !text.empty()) text.push_back(',');
    first = false;
    text.insert(text.end(), name.begin(), name.end());
  }
  return Result::kOk;
}

ResultCode CSection::AddCtab(CCtabData* table) {
  if (!table) return Result::fail(1);
  tables_.push_back(table);
  return Result::kOk;
}

ResultCode CSection::AddCntt(CCnttData* entry) {
  if (!entry) return Result::fail(1);
  cntts_.push_back(entry);
  return Result::kOk;
}

ResultCode CSection::ClearCtabs() { return ClearTableList(tables_); }
ResultCode CSection::ClearCntts() { return ClearCnttList(cntts_); }

CCtabData* CSection::FindCtab(std::uint8_t channel) const {
  for (CCtabData* t : tables_) {
    std::uint8_t c = 0;
    if (t && Result::succeeded(t->GetSourceChannel(c)) && c == channel) return t;
  }
  return nullptr;
}

CCnttData* CSection::FindCntt(std::uint8_t channel) const {
  for (CCnttData* e : cntts_) {
    std::uint8_t c = 0;
    if (e && Result::succeeded(e->GetChannel(c)) && c == channel) return e;
  }
  return nullptr;
}

ResultCode CSection::SyncRangeFlags() {
  for (CCtabData* t : tables_) {
    if (!t) continue;
    const ResultCode rc = t->SyncRangeFlags();
    if (Result::failed(rc)) return Result::nest(1, rc);
  }
  return Result::kOk;
}

ResultCode CSection::ClearTableList(CtabList& list) {
  for (CCtabData* t : list) delete t;
  list.clear();
  return Result::kOk;
}

ResultCode CSection::ClearCnttList(CnttList& list) {
  for (CCnttData* e : list) delete e;
  list.clear();
  return Result::kOk;
}

ResultCode CSection::ClearNameList(NameList& list) {
  list.clear();
  return Result::kOk;
}
