#include "engines/installer_data_remover.h"

#include <windows.h>

#include <new>

#include "app/run_context.h"
#include "engines/installer_upgrade_codes.h"
#include "engines/stage_files.h"
#include "foundation/format_text.h"
#include "platform/embedded_resource.h"
#include "platform/file_operations.h"
#include "platform/new_file.h"
#include "platform/path_text.h"
#include "platform/process_launch.h"
#include "platform/short_path.h"
#include "platform/win32_api.h"

namespace zor {
namespace {

constexpr std::wstring_view kFileId = L"09EADD8D-C229-4426-A386-7A3B36324422";
constexpr int kCleanerResource = 101;
constexpr wchar_t kMsiLogName[] = L"zorremover_msilog.txt";

LogSite Here(std::source_location where = std::source_location::current()) { return {kFileId, where.line()}; }

// The folders in their 8.3 names where they have them, the file's name as
// it is.
StatusCode Shortened(const std::wstring& path, std::wstring& shortened) {
  std::wstring parent;
  std::wstring last;
  if (const StatusCode split = ParentFolder(path, parent); IsFailure(split)) return split;
  if (const StatusCode split = LastComponent(path, last); IsFailure(split)) return split;
  std::wstring shortParent;
  if (const StatusCode made = ShortPath(parent, shortParent); IsFailure(made)) return made;
  return CombinePath(shortParent, last, shortened);
}

// The files this run made, deleted whatever happens after them.
class TemporaryFiles {
 public:
  void Made(const std::wstring& path) { paths_.push_back(path); }
  ~TemporaryFiles() {
    for (const std::wstring& path : paths_) DeleteFileNow(path);
  }

 private:
  std::vector<std::wstring> paths_;
};

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

}  // namespace

StatusRecord InstallerDataRemover::RemoveInstallerData() { return RemoveInstallerData(InstallerUpgradeCodes()); }

StatusRecord InstallerDataRemover::RemoveInstallerData(std::span<const std::wstring_view> upgradeCodes) {
  RunContext& run = context();
  productCodes_.clear();
  try {
    for (const std::wstring_view code : upgradeCodes) {
      const std::wstring upgrade(code);
      for (DWORD index = 0;; ++index) {
        wchar_t product[39] = {};
        const UINT found = Win32().MsiEnumRelatedProductsW(upgrade.c_str(), 0, index, product);
        if (found == ERROR_NO_MORE_ITEMS) break;
        if (found != ERROR_SUCCESS) return MakeStatus(StatusFromLastError(found));
        run.Log(severity::Debug, Here(), L"Obtained product code GUID '%s' related to upgrade code '%s'", product,
                upgrade);
        productCodes_.emplace_back(product);
      }
    }
    if (productCodes_.empty()) {
      run.Log(severity::Debug, Here(), L"No product code found for our upgrade codes, nothing to do here");
      return {};
    }

    std::wstring folder;
    if (const StatusCode found = TemporaryFolder(folder); IsFailure(found)) return MakeStatus(found);
    std::wstring common;
    if (const StatusCode combined = CombinePath(folder, TemporaryToolName(), common); IsFailure(combined)) {
      return MakeStatus(combined);
    }
    const std::wstring stem = common.substr(0, common.size() - 3);
    const std::wstring tool = stem + L"exe";
    const std::wstring batch = stem + L"bat";

    // Every file made here goes at the end, on every path.
    TemporaryFiles made;
    std::span<const std::byte> cleaner;
    std::wstring shortTool;
    if (const StatusCode shortened = Shortened(tool, shortTool); IsFailure(shortened)) return MakeStatus(shortened);
    run.Log(severity::Debug, Here(), L"Extracting msizap.exe from .cab archive");
    if (const StatusCode read = ReadBinaryResource(kCleanerResource, cleaner); IsFailure(read)) return MakeStatus(read);
    if (const StatusCode written = WriteNewFile(tool, cleaner); IsFailure(written)) {
      made.Made(tool);
      return MakeStatus(written);
    }
    made.Made(tool);

    std::wstring shortBatch;
    if (const StatusCode shortened = Shortened(batch, shortBatch); IsFailure(shortened)) return MakeStatus(shortened);
    const auto* batchBytes = reinterpret_cast<const std::byte*>(kZapBatch.data());
    if (const StatusCode written = WriteNewFile(batch, {batchBytes, kZapBatch.size()}); IsFailure(written)) {
      made.Made(batch);
      return MakeStatus(written);
    }
    made.Made(batch);

    std::wstring log;
    if (const StatusCode placed = BesideProgram(kMsiLogName, log); IsFailure(placed)) return MakeStatus(placed);
    std::wstring shortLog;
    if (const StatusCode shortened = Shortened(log, shortLog); IsFailure(shortened)) return MakeStatus(shortened);

    for (const std::wstring& product : productCodes_) {
      // Quoted, so that a folder with blanks on a volume without short names
      // stays one word; the command interpreter drops the outer pair.
      const std::wstring zap = L"\"" + FormatText(L"%s %s %s >>%s", Quoted(shortBatch), Quoted(shortTool), product,
                                                 Quoted(shortLog)) +
                               L"\"";
      const std::wstring echo = FormatText(L"echo \"Running zap for product code %s:%%date%% %%time%%\" >>%s", product,
                                           Quoted(shortLog));
      run.Log(severity::Debug, Here(), L"Running msizap.bat: '%s'", zap);
      RunShellCommand(echo);
      RunShellCommand(zap);
    }
  } catch (const std::bad_alloc&) {
    return MakeStatus(status::OutOfMemory);
  }
  return {};
}

void InstallerDataRemover::Verify(std::vector<RemainingItem>& remaining) {
  for (const std::wstring_view code : InstallerUpgradeCodes()) {
    const std::wstring upgrade(code);
    for (DWORD index = 0;; ++index) {
      wchar_t product[39] = {};
      if (Win32().MsiEnumRelatedProductsW(upgrade.c_str(), 0, index, product) != ERROR_SUCCESS) break;
      remaining.push_back({L"installer product", product, {}, false});
    }
  }
}

}  // namespace zor
