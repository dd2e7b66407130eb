#include "CAudioWaveForm.h"

#include <cstring>

#include "ByteFieldAccess.h"
#include "NoThrowAlloc.h"

namespace {

const std::uint8_t kWave[4] = {'W', 'A', 'V', 'E'};

// A new part copying `source`, or a new constructed one for a null source.
template <typename Part>
Part* CopyPart(const Part* source) {
  Part* part = NoThrowAlloc::TryNew<Part>();
  if (part && source && Result::failed(part->CopyFrom(*source))) {
    delete part;
    return nullptr;
  }
  return part;
}

template <typename Part>
ResultCode Replace(Part*& held, Part* part) {
  if (!part) return Result::fail(1);
  if (part != held) delete held;
  held = part;
  return Result::kOk;
}

}  // namespace

CAudioWaveForm::CAudioWaveForm() { std::memcpy(type_, kWave, sizeof type_); }

CAudioWaveForm::~CAudioWaveForm() { Clear(); }

CAudioWaveForm& CAudioWaveForm::operator=(const CAudioWaveForm& other) {
  CopyFrom(other);
  return *this;
}

ResultCode CAudioWaveForm::CopyFrom(const CAudioWaveForm& other) {
  if (this == &other) return Result::kOk;
  CAudioWaveFormat* format = NoThrowAlloc::TryNew<CAudioWaveFormat>();
  if (format && other.format_) *format = *other.format_;
  CAudioStyleWaveFormat* styleFormat = CopyPart(other.styleFormat_);
  CAudioWaveInfo* info = CopyPart(other.info_);
  CAudioWaveData* data = NoThrowAlloc::TryNew<CAudioWaveData>();
  ResultCode dataCode = Result::kOk;
  if (data && other.data_ && Result::failed(dataCode = data->CopyFrom(*other.data_))) {
    delete data;
    data = nullptr;
  }
  if (!format || !styleFormat || !info || !data) {
    delete format;
    delete styleFormat;
    delete info;
    delete data;
    return Result::failed(dataCode) ? Result::nest(2, dataCode) : Result::fail(1);
  }
  Clear();
  std::memcpy(type_, other.type_, sizeof type_);
  format_ = format;
  styleFormat_ = styleFormat;
  data_ = data;
  info_ = info;
  return Result::kOk;
}

ResultCode CAudioWaveForm::Init() {
  Clear();
  format_ = NoThrowAlloc::TryNew<CAudioWaveFormat>();
  if (!format_) return Result::fail(4);
  format_->SetDefault();
  CAudioStyleWaveFormat* styleFormat = NoThrowAlloc::TryNew<CAudioStyleWaveFormat>();
  if (!styleFormat) return Result::fail(7);
  const ResultCode rc = styleFormat->Reset();
  if (Result::failed(rc)) {
    delete styleFormat;
    return Result::nest(5, rc);
  }
  styleFormat_ = styleFormat;
  data_ = NoThrowAlloc::TryNew<CAudioWaveData>();
  if (!data_) return Result::fail(10);
  info_ = NoThrowAlloc::TryNew<CAudioWaveInfo>();
  if (!info_) return Result::fail(13);
  return Result::kOk;
}

ResultCode CAudioWaveForm::Clear() {
  std::memcpy(type_, kWave, sizeof type_);
  DeleteWaveFormat();
  DeleteStyleWaveFormat();
  DeleteWaveData();
  DeleteWaveInfo();
  return Result::kOk;
}

ResultCode CAudioWaveForm::SetType(const std::uint8_t* bytes, std::uint64_t n) {
  return ByteField::Store(type_, sizeof type_, ' ', bytes, n);
}

ResultCode CAudioWaveForm::GetType(std::uint8_t* buffer, std::uint64_t& n) const {
  return ByteField::Fetch(type_, sizeof type_, buffer, n);
}

ResultCode CAudioWaveForm::SetWaveFormat(CAudioWaveFormat* part) { return Replace(format_, part); }
ResultCode CAudioWaveForm::SetStyleWaveFormat(CAudioStyleWaveFormat* part) { return Replace(styleFormat_, part); }
ResultCode CAudioWaveForm::SetWaveData(CAudioWaveData* part) { return Replace(data_, part); }
ResultCode CAudioWaveForm::SetWaveInfo(CAudioWaveInfo* part) { return Replace(info_, part); }

ResultCode CAudioWaveForm::DeleteWaveFormat() {
  delete format_;
  format_ = nullptr;
  return Result::kOk;
}
ResultCode CAudioWaveForm::DeleteStyleWaveFormat() {
  delete styleFormat_;
  styleFormat_ = nullptr;
  return Result::kOk;
}
ResultCode CAudioWaveForm::DeleteWaveData() {
  delete data_;
  data_ = nullptr;
  return Result::kOk;
}
ResultCode CAudioWaveForm::DeleteWaveInfo() {
  delete info_;
  info_ = nullptr;
  return Result::kOk;
}
