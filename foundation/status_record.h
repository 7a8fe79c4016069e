#pragma once
// StatusRecord carries a failure (or a success with information) upward by
// return value; ZorException is the error object inside it and the one
// exception type the program throws. No Windows header here.
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>

#include "foundation/status_codes.h"

namespace zor {

class StatusRecord;

struct StatusParameter {
  std::wstring name;   // by convention "%NAME%"
  std::wstring value;
};

enum class TraceMark : std::uint32_t {
  Created = 0,
  Thrown = 2,
  Caught = 4,
  PassedOn = 5,
};

class ZorException {
 public:
  // A fresh error object starts its trail with [created].
  explicit ZorException(StatusCode code = status::Success);
  ZorException(const ZorException& other);
  ZorException& operator=(const ZorException& other);
  ZorException(ZorException&&) noexcept = default;
  ZorException& operator=(ZorException&&) noexcept = default;
  virtual ~ZorException() = default;

  virtual const char* ClassName() const noexcept { return "ZorException"; }

  StatusCode Code() const noexcept { return code_; }
  void SetCode(StatusCode code) noexcept { code_ = code; }
  const ZorException* Cause() const noexcept { return cause_.get(); }
  // Both lists are newest first.
  const std::deque<StatusParameter>& Parameters() const noexcept { return parameters_; }
  const std::deque<TraceMark>& Trail() const noexcept { return trail_; }

  // An entry that cannot be allocated is simply not added.
  void PushMark(TraceMark mark) noexcept;
  void PushParameter(std::wstring_view name, std::wstring_view value) noexcept;
  void ReplaceCause(const ZorException* cause) noexcept;

 private:
  StatusCode code_;
  std::unique_ptr<ZorException> cause_;
  std::deque<StatusParameter> parameters_;
  std::deque<TraceMark> trail_;
};

// Shared handle to a reference-counted error object; empty means success.
// The count is a plain integer: a record belongs to one thread.
class StatusRecord {
 public:
  StatusRecord() noexcept = default;
  StatusRecord(const StatusRecord& other) noexcept;
  StatusRecord(StatusRecord&& other) noexcept;
  StatusRecord& operator=(StatusRecord other) noexcept;
  ~StatusRecord();

  // Takes a copy of the error object into a new block.
  static StatusRecord Holding(const ZorException& exception) noexcept;

  bool Empty() const noexcept { return block_ == nullptr; }
  StatusCode Code() const noexcept;
  bool Failed() const noexcept { return IsFailure(Code()); }
  const ZorException* Exception() const noexcept;
  ZorException* MutableException() noexcept;
  // Number of handles sharing the block (0 when empty); for tests.
  std::int32_t ShareCount() const noexcept;

 private:
  struct Block;
  explicit StatusRecord(Block* block) noexcept : block_(block) {}
  // When no block can be allocated for a failure, the failure must still not
  // read as success: such records share this one, which is never freed.
  static Block* OutOfMemoryBlock() noexcept;
  void Release() noexcept;

  Block* block_ = nullptr;
};

// Code 0 gives an empty record; any other code a record holding exactly it.
StatusRecord MakeStatus(StatusCode code) noexcept;

// For a failing record: a fresh record with a copy of the error object and a
// passed-on mark. A success is handed back as it is.
StatusRecord PassOn(const StatusRecord& record) noexcept;

// Builds a failure of the caller's own from an underlying one: own code with
// the underlying severity bits, the underlying failure as cause, a passed-on
// mark. A successful underlying record gives the own code as it is.
StatusRecord MakeStatusFromCause(StatusCode ownCode, const StatusRecord& cause) noexcept;

// Throws a copy of a failing record's error object with a thrown mark.
void ThrowIfFailed(StatusRecord record);
// Shorthand for a bare code from the platform layer.
void ThrowIfFailed(StatusCode code);

ZorException ExceptionFromStatus(StatusRecord record);

void AddParameter(ZorException& exception, std::wstring_view name, std::wstring_view value) noexcept;
void AddParameter(ZorException& exception, std::wstring_view name, std::int32_t value) noexcept;
void AttachCause(ZorException& exception, const StatusRecord& record) noexcept;

// Signed decimal without leading zeros or blanks; INT32_MIN keeps all ten digits.
std::wstring DecimalText(std::int32_t value);

}  // namespace zor
