#pragma once
// Registry helpers for the tests, on the documented Win32 registry calls so
// that they do not share a fault with the layer under test. Every test works
// below names of its own (process id and test name) and removes them.
#include <string>
#include <vector>

#include "platform/native_types.h"
#include "tests/support/narrow_text.h"
#include "tests/support/table_swap.h"

namespace zor::test {

// "ZorTest-<process id>-<test case>-<test>" plus an optional suffix.
std::wstring UniqueKeyName(const std::wstring& suffix = L"");


// Win32 helpers; `flags` adds KEY_WOW64_32KEY or KEY_WOW64_64KEY.
bool KeyPresent(HKEY root, const std::wstring& path, REGSAM flags = 0);
bool MakeKey(HKEY root, const std::wstring& path, REGSAM flags = 0);
bool WriteValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type, const void* data,
                DWORD size, REGSAM flags = 0);
bool WriteString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text,
                 REGSAM flags = 0);
// The stored type and bytes; false when the value cannot be read.
bool ReadValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD& type,
               std::vector<std::uint8_t>& data, REGSAM flags = 0);
std::wstring ReadString(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM flags = 0);
void RemoveTree(HKEY root, const std::wstring& path, REGSAM flags = 0);

// The full registry name of a key ("\REGISTRY\MACHINE\...").
std::wstring NativeName(HKEY root, const std::wstring& path, REGSAM flags = 0);

// A handle to the key with the full registry name, or null.
HANDLE OpenNative(const std::wstring& fullName);

// A registry link at `path` pointing at the key with the full registry name
// `target`; RemoveLink deletes the link itself.
bool MakeLink(HKEY root, const std::wstring& path, const std::wstring& target);
void RemoveLink(HKEY root, const std::wstring& path);

// Case-insensitive comparison of registry names (ASCII letters).
bool SameName(const std::wstring& left, const std::wstring& right);

// Removes the tree when the test ends.
class ScopedTree {
 public:
  ScopedTree(HKEY root, std::wstring path, REGSAM flags = 0) : root_(root), path_(std::move(path)), flags_(flags) {}
  ~ScopedTree() { RemoveTree(root_, path_, flags_); }
  ScopedTree(const ScopedTree&) = delete;
  ScopedTree& operator=(const ScopedTree&) = delete;
  const std::wstring& path() const { return path_; }

 private:
  HKEY root_;
  std::wstring path_;
  REGSAM flags_;
};

// The name in object attributes handed to a native call.
std::wstring ObjectName(const OBJECT_ATTRIBUTES* attributes);

}  // namespace zor::test
