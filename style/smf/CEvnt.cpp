#include "CEvnt.h"

#include <cstring>

#include "NoThrowAlloc.h"

CEvnt& CEvnt::operator=(const CEvnt& other) {
  CopyFrom(other);
  return *this;
}

ResultCode CEvnt::CopyFrom(const CEvnt& other) {
  if (this == &other) return Result::kOk;
  status_ = other.status_;
  channel_ = other.channel_;
  metaType_ = other.metaType_;
  time_ = other.time_;
  duration_ = other.duration_;
  std::memcpy(data_, other.data_, sizeof data_);
  if (Result::failed(SetExData(other.payload_.get(), other.payloadLength_))) return Result::fail(1);
  return Result::kOk;
}

ResultCode CEvnt::SetStatus(std::uint8_t status) { status_ = status; return Result::kOk; }
ResultCode CEvnt::GetStatus(std::uint8_t& status) const { status = status_; return Result::kOk; }
ResultCode CEvnt::SetChannel(std::uint8_t channel) { channel_ = channel; return Result::kOk; }
ResultCode CEvnt::GetChannel(std::uint8_t& channel) const { channel = channel_; return Result::kOk; }
ResultCode CEvnt::SetMetaType(std::uint8_t type) { metaType_ = type; return Result::kOk; }
ResultCode CEvnt::GetMetaType(std::uint8_t& type) const { type = metaType_; return Result::kOk; }
ResultCode CEvnt::SetTime(std::uint64_t ticks) { time_ = ticks; return Result::kOk; }
ResultCode CEvnt::GetTime(std::uint64_t& ticks) const { ticks = time_; return Result::kOk; }
ResultCode CEvnt::SetDuration(std::uint64_t ticks) { duration_ = ticks; return Result::kOk; }
ResultCode CEvnt::GetDuration(std::uint64_t& ticks) const { ticks = duration_; return Result::kOk; }

ResultCode CEvnt::SetShortData(std::uint8_t d0, std::uint8_t d1, std::uint8_t d2, std::uint8_t d3) {
  data_[0] = d0;
  data_[1] = d1;
  data_[2] = d2;
  data_[3] = d3;
  return Result::kOk;
}

ResultCode CEvnt::GetShortData(std::uint8_t* data) const {
  if (!data) return Result::fail(1);
  std::memcpy(data, data_, sizeof data_);
  return Result::kOk;
}

ResultCode CEvnt::SetExData(const std::uint8_t* bytes, std::uint64_t n) {
  if (!bytes && n > 0) return Result::fail(1);
  if (n == 0) return ClearExData();
  std::uint8_t* copy = NoThrowAlloc::TryNewBytes(n);
  if (!copy) {
    ClearExData();
    return Result::fail(3);
  }
  std::memcpy(copy, bytes, n);  // before the old payload goes: `bytes` may point into it
  payload_.reset(copy);
  payloadLength_ = n;
  return Result::kOk;
}

ResultCode CEvnt::GetExData(std::uint8_t* buffer, std::uint64_t capacity, std::uint64_t& length) const {
  if (!buffer) return Result::fail(1);
  length = payloadLength_;
  if (capacity < payloadLength_) return Result::fail(2);
  if (payloadLength_ > 0) std::memcpy(buffer, payload_.get(), payloadLength_);
  return Result::kOk;
}

ResultCode CEvnt::GetExData(std::vector<std::uint8_t>& out) const {
  out.assign(payload_.get(), payload_.get() + payloadLength_);
  return Result::kOk;
}

ResultCode CEvnt::GetExDataSize(std::uint64_t& length) const {
  length = payloadLength_;
  return Result::kOk;
}

ResultCode CEvnt::ClearExData() {
  payload_.reset();
  payloadLength_ = 0;
  return Result::kOk;
}
