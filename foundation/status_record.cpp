#include "foundation/status_record.h"

#include <new>

namespace zor {

ZorException::ZorException(StatusCode code) : code_(code) { PushMark(TraceMark::Created); }

ZorException::ZorException(const ZorException& other)
    : code_(other.code_),
      cause_(other.cause_ ? std::make_unique<ZorException>(*other.cause_) : nullptr),
      parameters_(other.parameters_),
      trail_(other.trail_) {}

ZorException& ZorException::operator=(const ZorException& other) {
  if (this != &other) {
    ZorException copy(other);
    *this = std::move(copy);
  }
  return *this;
}

void ZorException::PushMark(TraceMark mark) noexcept {
  try {
    trail_.push_front(mark);
  } catch (const std::bad_alloc&) {
  }
}

void ZorException::PushParameter(std::wstring_view name, std::wstring_view value) noexcept {
  try {
    parameters_.push_front(StatusParameter{std::wstring(name), std::wstring(value)});
  } catch (const std::bad_alloc&) {
  }
}

void ZorException::ReplaceCause(const ZorException* cause) noexcept {
  try {
    cause_ = cause ? std::make_unique<ZorException>(*cause) : nullptr;
  } catch (const std::bad_alloc&) {
  }
}

struct StatusRecord::Block {
  std::int32_t references;
  ZorException exception;
  bool immortal;
};

StatusRecord::StatusRecord(const StatusRecord& other) noexcept : block_(other.block_) {
  if (block_ && !block_->immortal) ++block_->references;
}

StatusRecord::StatusRecord(StatusRecord&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }

StatusRecord& StatusRecord::operator=(StatusRecord other) noexcept {
  std::swap(block_, other.block_);
  return *this;
}

StatusRecord::~StatusRecord() { Release(); }

void StatusRecord::Release() noexcept {
  if (block_ && !block_->immortal && --block_->references == 0) delete block_;
  block_ = nullptr;
}

StatusRecord StatusRecord::Holding(const ZorException& exception) noexcept {
  try {
    return StatusRecord(new Block{1, exception, false});
  } catch (const std::bad_alloc&) {
    return StatusRecord(OutOfMemoryBlock());
  }
}

StatusCode StatusRecord::Code() const noexcept { return block_ ? block_->exception.Code() : status::Success; }
const ZorException* StatusRecord::Exception() const noexcept { return block_ ? &block_->exception : nullptr; }
ZorException* StatusRecord::MutableException() noexcept {
  return block_ && !block_->immortal ? &block_->exception : nullptr;
}
std::int32_t StatusRecord::ShareCount() const noexcept { return block_ ? block_->references : 0; }

StatusRecord::Block* StatusRecord::OutOfMemoryBlock() noexcept {
  static Block block{1, ZorException(status::OutOfMemory), true};
  return &block;
}

StatusRecord MakeStatus(StatusCode code) noexcept {
  if (code == status::Success) return StatusRecord();
  try {
    return StatusRecord::Holding(ZorException(code));
  } catch (const std::bad_alloc&) {
    return StatusRecord::Holding(ZorException(status::OutOfMemory));
  }
}

StatusRecord PassOn(const StatusRecord& record) noexcept {
  if (!record.Failed()) return record;
  StatusRecord passed = StatusRecord::Holding(*record.Exception());
  if (ZorException* exception = passed.MutableException()) exception->PushMark(TraceMark::PassedOn);
  return passed;
}

StatusRecord MakeStatusFromCause(StatusCode ownCode, const StatusRecord& cause) noexcept {
  if (!cause.Failed()) return MakeStatus(ownCode);
  const auto bits = (static_cast<std::uint32_t>(ownCode) & 0x3FFFFFFFu) |
                    (static_cast<std::uint32_t>(cause.Code()) & 0xC0000000u);
  StatusRecord own = MakeStatus(CodeFromBits(bits));
  if (ZorException* exception = own.MutableException()) {
    AttachCause(*exception, cause);
    exception->PushMark(TraceMark::PassedOn);
  }
  return own;
}

void ThrowIfFailed(StatusRecord record) {
  if (!record.Failed()) return;
  ZorException thrown(*record.Exception());
  record = StatusRecord();
  thrown.PushMark(TraceMark::Thrown);
  throw thrown;
}

void ThrowIfFailed(StatusCode code) {
  if (IsFailure(code)) ThrowIfFailed(MakeStatus(code));
}

ZorException ExceptionFromStatus(StatusRecord record) {
  if (!record.Empty() && record.Code() != status::Success) return *record.Exception();
  return ZorException(status::Success);
}

void AddParameter(ZorException& exception, std::wstring_view name, std::wstring_view value) noexcept {
  exception.PushParameter(name, value);
}

std::wstring DecimalText(std::int32_t value) {
  // Work on the magnitude as unsigned so that INT32_MIN needs no special case.
  std::uint32_t magnitude = value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  wchar_t digits[12];
  int position = 12;
  do {
    digits[--position] = static_cast<wchar_t>(L'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) digits[--position] = L'-';
  return std::wstring(digits + position, digits + 12);
}

void AddParameter(ZorException& exception, std::wstring_view name, std::int32_t value) noexcept {
  try {
    exception.PushParameter(name, DecimalText(value));
  } catch (const std::bad_alloc&) {
  }
}

void AttachCause(ZorException& exception, const StatusRecord& record) noexcept {
  exception.ReplaceCause(record.Exception());
}

}  // namespace zor
