#pragma once
// The registry stage: the product's keys and values from the registry item
// table, its library in "AppInit_DLLs", and its boot-time programs in the
// Session Manager's "BootExecute" of every control set. Keys and values that
// exist but cannot go are reported and left; nothing here waits for a
// restart.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "app/stage_engine.h"
#include "engines/registry_item_table.h"
#include "engines/registry_list_edits.h"
#include "foundation/status_record.h"

namespace zor {

class RegistryKey;

class RegistryRemover final : public StageEngine {
 public:
  using StageEngine::StageEngine;

  StatusRecord RunStage() override { return RemoveRegistryItems(); }
  // Each row's key or value that is still there, the product's library in
  // "AppInit_DLLs" and its entries in every control set's "BootExecute".
  void Verify(std::vector<RemainingItem>& remaining) override;
  void VerifyItems(std::span<const RegistryItem> items, std::wstring_view systemKey,
                   std::vector<RemainingItem>& remaining);

  // The built-in table and the machine's control sets. The rows' outcomes
  // are only logged: the result is that of the Session Manager clean-up.
  StatusRecord RemoveRegistryItems();
  // `systemKey` is the key below HKEY_LOCAL_MACHINE that holds the control
  // sets ("SYSTEM").
  StatusRecord RemoveRegistryItems(std::span<const RegistryItem> items, std::wstring_view systemKey);

  // The item steps. Each fails only for a root selector it does not know;
  // what happens to the key or value is logged.
  StatusRecord RemoveKey(RegistryParentRoot parent, std::wstring_view keyPath, RegistryRowView viewMode, bool force);
  StatusRecord RemoveValue(RegistryParentRoot parent, std::wstring_view keyPath, std::wstring_view valueName,
                           RegistryRowView viewMode);
  // Fails when the list cannot be read or written back.
  StatusRecord ModifyValue(RegistryParentRoot parent, std::wstring_view keyPath, std::wstring_view valueName,
                           RegistryRowView viewMode);

  StatusRecord CleanBootExecute();
  StatusRecord CleanBootExecute(std::wstring_view systemKey);

  // Views exist only on 64-bit Windows, where the system says so; a caller
  // may state the kind of Windows the rows are to be read for.
  void AssumeSystem64Bit(bool is64Bit) { assumedSystem64Bit_ = is64Bit; }

 private:
  // Puts `key` on the row's root and in its view; a failure names the root.
  StatusRecord StartStep(RegistryParentRoot parent, std::wstring_view keyPath, RegistryRowView viewMode, RegistryKey& key);
  bool System64Bit() const;
  void RunRow(const RegistryItem& item);
  StatusRecord CleanControlSet(std::wstring_view keyPath, RegistryKey& sessionManager);
  // Parts one control set's list into the product's entries and the
  // others'. Fails when the program folder's forms cannot be made (the
  // short one only exists while the folder does, unless the long form
  // suffices); leaves `sorting` empty when there is no list or it cannot be
  // read.
  StatusCode SortBootExecute(RegistryKey& sessionManager, bool longFormSuffices,
                             std::optional<BootExecuteSorting>& sorting);
  std::wstring_view AppInitLibrary();
  void VerifyRow(const RegistryItem& item, std::vector<RemainingItem>& remaining);

  std::optional<bool> assumedSystem64Bit_;
};

}  // namespace zor
