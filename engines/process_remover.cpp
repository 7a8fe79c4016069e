#include "engines/process_remover.h"

#include <string>
#include <vector>

#include "app/run_context.h"
#include "foundation/text_case.h"
#include "platform/code_signature.h"
#include "platform/downcase_text.h"
#include "platform/file_operations.h"
#include "platform/process_list.h"

namespace zor {
namespace {

constexpr std::wstring_view kFileId = L"09EADD8D-C489-4b26-A386-7A3B231CF222";

LogSite Here(std::source_location where = std::source_location::current()) { return {kFileId, where.line()}; }

// The maker's backup product (its folder names the year) and the programs of
// that product that must keep running while ZOR goes.
constexpr std::wstring_view kExceptions[] = {
    L"\\zor backup 2012\\",
    L"zorbkp.exe",
    L"zorbkpwatch.exe",
};

constexpr wchar_t kPlanFailed[] = L"Removing file '%s' failed (error %x), plan for delete after restart failed (%d)";
constexpr wchar_t kPlanned[] = L"Removing file '%s' failed (error %x), planned for delete after restart";

bool ContainsException(std::wstring_view lowerPath) {
  for (std::wstring_view exception : kExceptions) {
    if (lowerPath.find(exception) != std::wstring_view::npos) return true;
  }
  return false;
}

bool InWhitelist(const RunParameters& parameters, const std::wstring& image) {
  for (const std::wstring& entry : parameters.Whitelist) {
    if (EqualsFoldingAscii(entry, image)) return true;
  }
  return false;
}

// Only the maker's signed programs are ever touched.
// This program and its other copies (the separate copy, a run that waits
// for this one) are never stopped.
bool IsThisProgram(const ProcessEntry& process, std::uint32_t ownId, const std::wstring& ownPath) {
  return process.identifier == ownId || (!ownPath.empty() && EqualsFoldingAscii(process.imagePath, ownPath));
}

bool SignedByMaker(const std::wstring& image) {
  CodeSignatureInfo signature;
  return !image.empty() && !IsFailure(ReadCodeSignature(image, signature)) && signature.IsMakerCertificate;
}

}  // namespace

std::span<const std::wstring_view> ProcessExceptions() { return kExceptions; }

StatusRecord ProcessRemover::RemoveProductProcesses() {
  RunContext& run = context();
  // Plans one deletion at the next start; false when Windows refuses it,
  // which ends the stage.
  auto planDelete = [&](const std::wstring& path, StatusCode cause) {
    std::uint32_t lastError = 0;
    if (!PlanDeleteAfterRestart(path, lastError)) {
      run.Log(severity::Warn, Here(), kPlanFailed, path, cause, static_cast<std::int32_t>(lastError));
      return false;
    }
    run.Log(severity::Debug, Here(), kPlanned, path, cause);
    ++run.parameters.RestartCounter;
    return true;
  };

  std::vector<ProcessEntry> processes;
  if (const StatusCode listed = TakeProcessList(ProcessPathsDos, processes); IsFailure(listed)) {
    run.Log(severity::Debug, Here(), L"Failed to enumerate processes, error: 0x%08x", listed);
  }
  const auto ownId = static_cast<std::uint32_t>(GetCurrentProcessId());
  std::wstring ownPath;
  if (const StatusCode found = ProcessImagePath(ownId, ownPath); IsFailure(found)) return MakeStatus(found);

  for (const ProcessEntry& process : processes) {
    const std::wstring& image = process.imagePath;
    if (IsThisProgram(process, ownId, ownPath)) continue;

    bool skipped = false;
    if (InWhitelist(run.parameters, image)) {
      run.Log(severity::Debug, Here(), L"Found process '%s' in whitelist", image);
      skipped = true;
    }
    std::wstring lower;
    if (const StatusCode lowered = DowncaseText(image, lower); IsFailure(lowered)) return MakeStatus(lowered);
    if (ContainsException(lower)) {
      run.Log(severity::Debug, Here(), L"Found process '%s' in exceptionlist", image);
      skipped = true;
    }
    if (skipped) {
      run.Log(severity::Debug, Here(), L"Skipping process delete at PID:%d '%s'. Whitelist.",
              static_cast<std::int32_t>(process.identifier), image);
      continue;
    }

    // Others' programs are silently passed over.
    if (!SignedByMaker(image)) continue;

    const std::wstring target = image + std::wstring(kToDeleteSuffix);
    // The file is renamed first: a program that a watchdog starts again
    // finds no image under its name.
    if (const StatusCode renamed = RenameFile(image, target, true); IsFailure(renamed)) {
      run.Log(severity::Debug, Here(), L"Failed to move '%s', error: 0x%08x", image, renamed);
      if (!planDelete(image, renamed)) return MakeStatus(status::GenericFailure);
      continue;
    }
    if (const StatusCode stopped = TerminateProcessById(process.identifier); IsFailure(stopped)) {
      run.Log(severity::Debug, Here(), L"Failed to kill process '%s', error: 0x%08x", image, stopped);
      continue;
    }
    // The product marks some of its programs read-only; the attribute alone
    // must not leave the file for a restart.
    const StatusCode deleted = DeleteFileNow(target, ReadOnlyAttribute::Clear);
    if (!IsFailure(deleted)) continue;
    run.Log(severity::Debug, Here(), L"Failed to delete '%s', error: 0x%08x", target, deleted);
    if (!planDelete(target, deleted)) return MakeStatus(status::GenericFailure);
    if (!planDelete(image, deleted)) return MakeStatus(status::GenericFailure);
  }
  return {};
}

void ProcessRemover::Verify(std::vector<RemainingItem>& remaining) {
  std::vector<ProcessEntry> processes;
  if (IsFailure(TakeProcessList(ProcessPathsDos, processes))) return;
  const auto ownId = static_cast<std::uint32_t>(GetCurrentProcessId());
  std::wstring ownPath;
  ProcessImagePath(ownId, ownPath);
  for (const ProcessEntry& process : processes) {
    const std::wstring& image = process.imagePath;
    // What the stage leaves running on purpose is no leftover: this program
    // and its other copies, the whitelist, the exceptions.
    if (IsThisProgram(process, ownId, ownPath) || InWhitelist(context().parameters, image)) continue;
    std::wstring lower;
    if (IsFailure(DowncaseText(image, lower)) || ContainsException(lower)) continue;
    if (SignedByMaker(image)) {
      remaining.push_back({L"process", image, {}, false});
    }
  }
}

}  // namespace zor
