#pragma once
// A system library loaded on first use and kept for the life of the
// process, shared by every caller: the first caller loads it while others
// wait with short sleeps, and each caller holds a reference while it uses
// the library. Functions are resolved by name on their first use and kept.
#include <atomic>
#include <cstdint>

#include "foundation/status_codes.h"

namespace zor {

class RuntimeLibrary {
 public:
  explicit constexpr RuntimeLibrary(const wchar_t* name) : name_(name) {}
  RuntimeLibrary(const RuntimeLibrary&) = delete;
  RuntimeLibrary& operator=(const RuntimeLibrary&) = delete;

  // Loads the library when no caller has yet; the failure of the load is
  // kept and given to every later caller.
  StatusCode Load();
  // The function's address, resolved once; `slot` keeps it.
  StatusCode Resolve(const char* function, std::atomic<void*>& slot, void*& address);

  void AddReference() { references_.fetch_add(1); }
  void Release() { references_.fetch_sub(1); }
  std::int32_t References() const { return references_.load(); }

 private:
  enum State : std::int32_t { NotLoaded = 0, Loading = 1, Loaded = 2, Failed = 3 };
  const wchar_t* name_;
  std::atomic<std::int32_t> state_{NotLoaded};
  std::atomic<std::int32_t> references_{0};
  void* module_ = nullptr;
  StatusCode failure_ = status::Success;
};

// A reference to a library for the length of a scope.
class LibraryUse {
 public:
  explicit LibraryUse(RuntimeLibrary& library) : library_(library) { library_.AddReference(); }
  ~LibraryUse() { library_.Release(); }
  LibraryUse(const LibraryUse&) = delete;
  LibraryUse& operator=(const LibraryUse&) = delete;

 private:
  RuntimeLibrary& library_;
};

}  // namespace zor
