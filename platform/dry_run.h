#pragma once
// The dry run's gate. Every call of the program that can change the machine
// is an entry of a changing table (NativeChanges(), Win32Changes(), and
// Kernel32()'s copy); while a dry run lasts, each entry is one that names
// what the call would do ("delete", "C:\...") and answers as the call would
// on success, without doing it. Reading calls pass unchanged. An entry added
// to a changing table does not build until it has its stand-in here.
//
// What a later step finds then follows from the assumption that the earlier
// change succeeded where the gate can keep it so: a file renamed in the dry
// run is found under its new name, and a service stopped in it reports that
// it stopped. Programs the run would start are named and replaced with one
// that does nothing and ends with 0; this program itself (its separate copy)
// still starts, with its own dry run. A shell command is named and answers 0.
//
// The log is the one thing a dry run writes: code that writes it runs in a
// DryRunExemption, and so does the report of what it would do.
#include <functional>
#include <string_view>

namespace zor {

// Told each change once, as an action ("delete", "delete key", "stop
// service", ...) and its item. Called from any thread.
using WouldChange = std::function<void(std::wstring_view action, std::wstring_view item)>;

// Puts the stand-ins in place; `report` hears every change the program
// would make until EndDryRun.
void StartDryRun(WouldChange report);
// Puts the real calls back.
void EndDryRun();
bool InDryRun();

// While one lives on a thread, that thread's changes are made for real.
class DryRunExemption {
 public:
  DryRunExemption();
  ~DryRunExemption();
  DryRunExemption(const DryRunExemption&) = delete;
  DryRunExemption& operator=(const DryRunExemption&) = delete;
};

}  // namespace zor
