#pragma once
// Hardware faults as C++ exceptions, for worker threads that ask for it.
#include <cstdint>

#include "platform/native_types.h"

namespace zor {

enum FaultKind : std::uint32_t {
  FaultAccessViolation = 1,
  FaultInPageError = 2,
  FaultBreakpoint = 3,
  FaultMisalignment = 4,
  FaultFloatDivideByZero = 5,
  FaultFloatOverflow = 6,
  FaultFloatUnderflow = 7,
  FaultFloatDenormal = 8,
  FaultIllegalInstruction = 9,
  FaultPrivilegedInstruction = 10,
  FaultIntegerDivideByZero = 11,
  FaultIntegerOverflow = 12,
  FaultSingleStep = 13,
  FaultStackOverflow = 14,
  FaultOther = 15,
};

// The fault kind of an exception code (15 for codes the table does not list).
FaultKind FaultKindOf(std::uint32_t exceptionCode);

class ZorBasSyncThreadHwException {
 public:
  ZorBasSyncThreadHwException(FaultKind kind, const EXCEPTION_RECORD& record, const CONTEXT& context);
  ZorBasSyncThreadHwException(const ZorBasSyncThreadHwException& other);
  ZorBasSyncThreadHwException& operator=(const ZorBasSyncThreadHwException&) = delete;
  virtual ~ZorBasSyncThreadHwException() = default;

  virtual FaultKind Kind() const noexcept { return kind_; }
  virtual std::uint32_t ExceptionCode() const noexcept { return record_.ExceptionCode; }
  // Points into this object's own copies of the fault's records.
  virtual const EXCEPTION_POINTERS* ExceptionPointers() const noexcept { return &pointers_; }

 private:
  FaultKind kind_;
  EXCEPTION_RECORD record_;
  CONTEXT context_;
  EXCEPTION_POINTERS pointers_;
};

// Faults that carry the data address and the instruction address. Each
// instantiation is a class of its own, so neither catches the other.
template <FaultKind Tag>
class AddressedHwException : public ZorBasSyncThreadHwException {
 public:
  AddressedHwException(FaultKind kind, const EXCEPTION_RECORD& record, const CONTEXT& context)
      : ZorBasSyncThreadHwException(kind, record, context),
        dataAddress_(record.NumberParameters >= 2 ? record.ExceptionInformation[1] : 0),
        instructionAddress_(reinterpret_cast<std::uintptr_t>(record.ExceptionAddress)) {}
  virtual std::uintptr_t DataAddress() const noexcept { return dataAddress_; }
  virtual std::uintptr_t InstructionAddress() const noexcept { return instructionAddress_; }

 private:
  std::uintptr_t dataAddress_;
  std::uintptr_t instructionAddress_;
};

class ZorBasSyncThreadAccessViolationHwException : public AddressedHwException<FaultAccessViolation> {
 public:
  using AddressedHwException::AddressedHwException;
};

class ZorBasSyncThreadInPageErrorHwException : public AddressedHwException<FaultInPageError> {
 public:
  using AddressedHwException::AddressedHwException;
};

class ZorBasSyncThreadStackOverflowHwException : public ZorBasSyncThreadHwException {
 public:
  using ZorBasSyncThreadHwException::ZorBasSyncThreadHwException;
};

// Turns hardware faults on the calling thread into the classes above from now
// on. A per-thread setting; the remover's own workers never turn it on.
void EnableFaultTranslationOnThisThread();
void DisableFaultTranslationOnThisThread();

}  // namespace zor
