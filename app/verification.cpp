#include "app/verification.h"

#include <algorithm>
#include <source_location>
#include <string>
#include <string_view>

#include "app/run_context.h"
#include "foundation/text_case.h"
#include "platform/clock.h"
#include "platform/file_operations.h"
#include "platform/registry_key.h"

namespace zor {
namespace {

constexpr std::wstring_view kFileId = L"5C1E9A07-3B6D-4F28-9E41-D07A2B8C6F35";

LogSite Here(std::source_location where = std::source_location::current()) { return {kFileId, where.line()}; }

// The sources that PendingFileRenameOperations deletes: pairs of a source
// ("\??\C:\...") and an empty target. Read as raw units, since the empty
// targets end the list for an ordinary multi-string reader.
std::vector<std::wstring> PendingDeletions() {
  std::vector<std::wstring> deletions;
  RegistryKey key(RootLocalMachine);
  if (IsFailure(key.Open(L"SYSTEM\\CurrentControlSet\\Control\\Session Manager"))) return deletions;
  RegistryValue value;
  if (IsFailure(key.QueryValue(L"PendingFileRenameOperations", value))) return deletions;
  const std::vector<std::uint8_t>& data = value.Data();
  std::wstring_view units(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
  std::vector<std::wstring_view> strings;
  while (!units.empty()) {
    const std::size_t end = units.find(L'\0');
    strings.push_back(units.substr(0, end));
    if (end == std::wstring_view::npos) break;
    units.remove_prefix(end + 1);
  }
  for (std::size_t i = 0; i + 1 < strings.size(); i += 2) {
    std::wstring_view source = strings[i];
    if (source.empty()) break;
    if (!strings[i + 1].empty()) continue;
    if (source.substr(0, 4) == L"\\??\\") source.remove_prefix(4);
    deletions.emplace_back(source);
  }
  return deletions;
}

// Two rows may name one item (a file of its own and the files of its
// folder): it is one leftover.
void DropRepeats(std::vector<RemainingItem>& remaining) {
  std::vector<RemainingItem> unique;
  unique.reserve(remaining.size());
  for (RemainingItem& item : remaining) {
    const bool seen = std::any_of(unique.begin(), unique.end(), [&](const RemainingItem& kept) {
      return kept.kind == item.kind && kept.view == item.view && EqualsFoldingAscii(kept.item, item.item);
    });
    if (!seen) unique.push_back(std::move(item));
  }
  remaining = std::move(unique);
}

}  // namespace

void MarkPlannedDeletions(std::vector<RemainingItem>& remaining) {
  const std::vector<std::wstring> deletions = PendingDeletions();
  // A file the restart deletes inside a product folder that is left is
  // named itself: it is why the folder is still there.
  const std::size_t found = remaining.size();
  for (const std::wstring& deletion : deletions) {
    const auto sameItem = [&](const RemainingItem& item) { return EqualsFoldingAscii(item.item, deletion); };
    const auto holds = [&](const RemainingItem& item) {
      return item.kind == L"folder" && deletion.size() > item.item.size() + 1 &&
             deletion[item.item.size()] == L'\\' &&
             EqualsFoldingAscii(std::wstring_view(deletion).substr(0, item.item.size()), item.item);
    };
    const auto end = remaining.begin() + static_cast<std::ptrdiff_t>(found);
    if (std::any_of(remaining.begin(), remaining.end(), sameItem) || std::none_of(remaining.begin(), end, holds)) {
      continue;
    }
    if (!IsFailure(FileExists(deletion))) {
      remaining.push_back({L"file", deletion, {}, false});
    } else if (!IsFailure(FolderExists(deletion))) {
      remaining.push_back({L"folder", deletion, {}, false});
    }
  }
  for (RemainingItem& item : remaining) {
    if (item.kind != L"file" && item.kind != L"folder" && item.kind != L"driver file") continue;
    for (const std::wstring& deletion : deletions) {
      if (EqualsFoldingAscii(deletion, item.item)) item.plannedAtRestart = true;
    }
  }
}

VerificationResult VerifyRemoval(RunContext& context) {
  VerificationResult result;
  const std::uint32_t start = TickCount();
  StageEngines& engines = context.engines;
  for (StageEngine* engine : {engines.installerData.get(), engines.mailPlugins.get(), engines.services.get(),
                              engines.firewallDriver.get(), engines.drivers.get(), engines.processes.get(),
                              engines.registry.get(), engines.files.get()}) {
    if (engine) engine->Verify(result.remaining);
  }
  DropRepeats(result.remaining);
  MarkPlannedDeletions(result.remaining);
  for (const RemainingItem& item : result.remaining) {
    const std::wstring view = item.view.empty() ? std::wstring() : L" (" + item.view + L")";
    if (item.plannedAtRestart) {
      ++result.planned;
      context.Log(severity::Warn, Here(), L"Still present: %s %s%s (deletion planned at restart)", item.kind,
                  item.item, view);
    } else {
      context.Log(severity::Warn, Here(), L"Still present: %s %s%s", item.kind, item.item, view);
    }
  }
  context.Log(severity::Info, Here(), L"Verification: %u item(s) of ZOR remain, %u of them planned for removal at restart",
              static_cast<std::uint32_t>(result.remaining.size()), result.planned);
  result.milliseconds = TickCount() - start;
  return result;
}

}  // namespace zor
