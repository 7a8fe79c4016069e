#pragma once
// The check every product folder passes before an engine may delete in it,
// whether it came from the registry, the command line or the restart entry.
// A folder is judged by what it is (its volume and file id), not by how its
// path is spelled, and it must be recognisably the product's.
#include <string>
#include <string_view>
#include <vector>

#include "app/product_folder_check.h"
#include "app/product_folder_marks.h"
#include "foundation/status_codes.h"
#include "platform/folder_identity.h"

namespace zor {

enum class FolderRefusal {
  None,
  NotAFullPath,     // relative, a device, a stream, or unreadable text
  DoesNotExist,     // nothing there to remove
  CannotOpen,       // there, but not a folder that can be opened and identified
  ProtectedFolder,  // a folder Windows or its users need, or one above such a folder
  InsideWindows,    // anywhere inside the Windows folder
  NotRecognisable,  // neither named as the product names its folders nor holding its files
};

class ProductFolderGuard {
 public:
  // Identifies the machine's protected folders: the given system folders,
  // every user profile, each drive's root, and every folder above each.
  explicit ProductFolderGuard(const SystemFolders& system);

  // `cause` receives the status of a failed open.
  FolderRefusal Check(std::wstring_view path, ProductFolderField field, StatusCode& cause) const;

  // The identities collected; for tests.
  const std::vector<FolderIdentity>& Protected() const { return protected_; }

 private:
  void Protect(std::wstring_view path, bool withFoldersAbove);

  SystemFolders system_;
  std::vector<FolderIdentity> protected_;
  std::vector<FolderIdentity> windows_;
};

// The rule a refusal names in its WARN line.
std::wstring_view RefusalReason(FolderRefusal refusal);


}  // namespace zor
