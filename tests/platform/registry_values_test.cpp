// Values through RegistryKey: stored bytes written with the documented calls
// and read back through the layer, and the buffer rules of the reads.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/native_api.h"
#include "platform/registry_key.h"
#include "tests/platform/registry_test_support.h"

namespace zor {
namespace {

using test::SwappedEntry;
using test::Narrow;
using test::ScopedTree;
using test::UniqueKeyName;

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Code(StatusCode code) { return static_cast<std::uint32_t>(code); }

Bytes Units(std::wstring_view text) {
  Bytes bytes;
  for (wchar_t c : text) {
    bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return bytes;
}

std::wstring Text(const wchar_t* units, std::size_t count) { return std::wstring(units, count); }

class RegistryValues : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::MakeKey(HKEY_LOCAL_MACHINE, path_));
    ASSERT_EQ(key_.Open(path_), status::Success);
  }
  bool Store(const wchar_t* name, DWORD type, const Bytes& data) {
    return test::WriteValue(HKEY_LOCAL_MACHINE, path_, name, type, data.data(), static_cast<DWORD>(data.size()));
  }
  Bytes Stored(const wchar_t* name, DWORD& type) {
    Bytes data;
    if (!test::ReadValue(HKEY_LOCAL_MACHINE, path_, name, type, data)) return Bytes{0xEE};
    return data;
  }

  std::wstring path_ = L"SOFTWARE\\" + UniqueKeyName();
  ScopedTree tree_{HKEY_LOCAL_MACHINE, path_};
  RegistryKey key_{RootLocalMachine};
};

TEST_F(RegistryValues, StringsReadBackWholeWithOrWithoutTerminator) {
  const std::wstring longText(1000, L'x');
  const struct {
    const wchar_t* name;
    DWORD type;
    Bytes data;
    std::uint32_t status;
    std::wstring text;
  } rows[] = {
      {L"NoTerminator", REG_SZ, Units(L"abc"), 0, L"abc"},
      {L"Terminated", REG_SZ, Units(Text(L"abc\0", 4)), 0, L"abc"},
      {L"OddLength", REG_SZ, Bytes{'a', 0, 'b', 0, 'c'}, 0, L"ab"},
      {L"InnerNul", REG_SZ, Units(Text(L"a\0b\0", 4)), 0, Text(L"a\0b", 3)},
      {L"Expandable", REG_EXPAND_SZ, Units(Text(L"%SystemRoot%\\x\0", 15)), 0, L"%SystemRoot%\\x"},
      {L"Empty", REG_SZ, Bytes{}, 0, L""},
      {L"Long", REG_SZ, Units(longText), 0, longText},
      {L"Number", REG_DWORD, Bytes{1, 0, 0, 0}, 0xE0010014, L"sentinel"},
      {L"List", REG_MULTI_SZ, Units(Text(L"a\0\0", 3)), 0xE0010014, L"sentinel"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.name));
    ASSERT_TRUE(Store(row.name, row.type, row.data));
    std::wstring text = L"sentinel";
    EXPECT_EQ(Code(key_.GetString(row.name, text)), row.status);
    EXPECT_EQ(text, row.text);
  }
  std::wstring text = L"sentinel";
  EXPECT_EQ(Code(key_.GetString(L"Missing", text)), 0xE001003Du);
  EXPECT_EQ(text, L"sentinel");
}

TEST_F(RegistryValues, QueryValueAddsTheMissingTerminators) {
  const struct {
    const wchar_t* name;
    DWORD type;
    Bytes data;
    Bytes read;
  } rows[] = {
      {L"String", REG_SZ, Units(L"abc"), Units(Text(L"abc\0", 4))},
      {L"ListOneNul", REG_MULTI_SZ, Units(Text(L"a\0b\0", 4)), Units(Text(L"a\0b\0\0", 5))},
      {L"ListNoNul", REG_MULTI_SZ, Units(Text(L"a\0b", 3)), Units(Text(L"a\0b\0\0", 5))},
      {L"Binary", REG_BINARY, Bytes{1, 2, 3}, Bytes{1, 2, 3}},
      {L"Empty", REG_SZ, Bytes{}, Bytes{}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.name));
    ASSERT_TRUE(Store(row.name, row.type, row.data));
    RegistryValue value;
    ASSERT_EQ(key_.QueryValue(row.name, value), status::Success);
    EXPECT_EQ(value.Type(), row.type);
    EXPECT_EQ(value.Data(), row.read);
  }
  RegistryValue untouched(REG_BINARY, Bytes{9});
  EXPECT_EQ(Code(key_.QueryValue(L"Missing", untouched)), 0xE001003Du);
  EXPECT_EQ(untouched.Data(), Bytes{9});
}

TEST_F(RegistryValues, ListsSplitAtEachNul) {
  const std::vector<std::wstring> sentinel{L"sentinel"};
  const struct {
    const wchar_t* name;
    DWORD type;
    Bytes data;
    std::uint32_t status;
    std::vector<std::wstring> list;
  } rows[] = {
      {L"OneFinalNul", REG_MULTI_SZ, Units(Text(L"a\0b\0", 4)), 0, {L"a", L"b"}},
      {L"TwoFinalNuls", REG_MULTI_SZ, Units(Text(L"a\0b\0\0", 5)), 0, {L"a", L"b"}},
      {L"NoFinalNul", REG_MULTI_SZ, Units(Text(L"a\0b", 3)), 0, {L"a", L"b"}},
      {L"EmptyInside", REG_MULTI_SZ, Units(Text(L"a\0\0b\0\0", 6)), 0, {L"a", L"", L"b"}},
      {L"OneNul", REG_MULTI_SZ, Bytes{0, 0}, 0, {}},
      {L"NoData", REG_MULTI_SZ, Bytes{}, 0, {}},
      {L"String", REG_SZ, Units(Text(L"a\0", 2)), 0xE0010014, sentinel},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.name));
    ASSERT_TRUE(Store(row.name, row.type, row.data));
    std::vector<std::wstring> list = sentinel;
    EXPECT_EQ(Code(key_.GetMultiString(row.name, list)), row.status);
    EXPECT_EQ(list, row.list);
  }
}

TEST_F(RegistryValues, DwordsInBothByteOrdersAndWrongTypesAndLengths) {
  const struct {
    const wchar_t* name;
    DWORD type;
    Bytes data;
    std::uint32_t status;
    std::uint32_t value;
  } rows[] = {
      {L"Little", REG_DWORD, Bytes{0x78, 0x56, 0x34, 0x12}, 0, 0x12345678},
      {L"Big", REG_DWORD_BIG_ENDIAN, Bytes{0x12, 0x34, 0x56, 0x78}, 0, 0x12345678},
      {L"Binary", REG_BINARY, Bytes{0x78, 0x56, 0x34, 0x12}, 0xE0010014, 0xDEADBEEF},
      {L"String", REG_SZ, Units(Text(L"1\0", 2)), 0xE0010014, 0xDEADBEEF},
      {L"Short", REG_DWORD, Bytes{1, 2}, 0xE0010049, 0xDEADBEEF},
      {L"Long", REG_DWORD, Bytes{1, 2, 3, 4, 5, 6, 7, 8}, 0xE0010049, 0xDEADBEEF},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.name));
    ASSERT_TRUE(Store(row.name, row.type, row.data));
    std::uint32_t value = 0xDEADBEEF;
    EXPECT_EQ(Code(key_.GetDword(row.name, value)), row.status);
    EXPECT_EQ(value, row.value);
  }
}

TEST_F(RegistryValues, SettersStoreTheExpectedBytes) {
  ASSERT_EQ(key_.SetDword(L"Dword", 0x01020304), status::Success);
  ASSERT_EQ(key_.SetString(L"String", L"text"), status::Success);
  ASSERT_EQ(key_.SetString(L"", L"default"), status::Success);
  ASSERT_EQ(key_.SetMultiString(L"List", {L"x", L"yz"}), status::Success);
  ASSERT_EQ(key_.SetMultiString(L"EmptyList", {}), status::Success);
  ASSERT_EQ(key_.SetBootExecute({L"autocheck autochk *", L"zorboot"}), status::Success);
  ASSERT_EQ(key_.SetRemoverValue(L"\"C:\\zorremover.exe\" run_number=2"), status::Success);
  const struct {
    const wchar_t* name;
    DWORD type;
    Bytes data;
  } rows[] = {
      {L"Dword", REG_DWORD, Bytes{4, 3, 2, 1}},
      {L"String", REG_SZ, Units(Text(L"text\0", 5))},
      {L"", REG_SZ, Units(Text(L"default\0", 8))},
      {L"List", REG_MULTI_SZ, Units(Text(L"x\0yz\0\0", 6))},
      {L"EmptyList", REG_MULTI_SZ, Bytes{0, 0}},
      {L"BootExecute", REG_MULTI_SZ, Units(Text(L"autocheck autochk *\0zorboot\0\0", 29))},
      {L"ZorRemover", REG_SZ, Units(Text(L"\"C:\\zorremover.exe\" run_number=2\0", 33))},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.name));
    DWORD type = 0;
    EXPECT_EQ(Stored(row.name, type), row.data);
    EXPECT_EQ(type, row.type);
  }
  std::vector<std::wstring> boot;
  ASSERT_EQ(key_.GetBootExecute(boot), status::Success);
  EXPECT_EQ(boot, (std::vector<std::wstring>{L"autocheck autochk *", L"zorboot"}));
}

TEST_F(RegistryValues, ValueExistsForEveryLengthAndNotForMissingOnes) {
  ASSERT_TRUE(Store(L"Empty", REG_BINARY, Bytes{}));
  ASSERT_TRUE(Store(L"Small", REG_BINARY, Bytes{1}));
  ASSERT_TRUE(Store(L"Large", REG_BINARY, Bytes(5000, 7)));
  EXPECT_TRUE(key_.ValueExists(L"Empty"));
  EXPECT_TRUE(key_.ValueExists(L"Small"));
  EXPECT_TRUE(key_.ValueExists(L"Large"));
  EXPECT_FALSE(key_.ValueExists(L"Missing"));
}

std::vector<ULONG> g_queryLengths;
ZwQueryValueKeyFunction* g_realQueryValue = nullptr;
int g_overflowFromCall = 0;

NTSTATUS NTAPI RecordingQueryValue(HANDLE key, PUNICODE_STRING name, ULONG informationClass, PVOID information,
                                   ULONG length, PULONG resultLength) {
  g_queryLengths.push_back(length);
  const NTSTATUS result = g_realQueryValue(key, name, informationClass, information, length, resultLength);
  // From this call on the value has grown again in the meantime.
  if (g_overflowFromCall != 0 && static_cast<int>(g_queryLengths.size()) >= g_overflowFromCall) {
    *resultLength = length + 100;
    return nt::BufferOverflow;
  }
  return result;
}

TEST_F(RegistryValues, ReadsStartWith256BytesAndRetryOnceAtTheReportedSize) {
  const std::wstring longText(1000, L'y');
  ASSERT_TRUE(Store(L"Short", REG_SZ, Units(Text(L"short\0", 6))));
  ASSERT_TRUE(Store(L"Exact", REG_BINARY, Bytes(256 - 12, 1)));
  ASSERT_TRUE(Store(L"OneMore", REG_BINARY, Bytes(256 - 11, 2)));
  ASSERT_TRUE(Store(L"Long", REG_SZ, Units(longText + L'\0')));
  g_realQueryValue = Native().ZwQueryValueKey;
  SwappedEntry swap(Native().ZwQueryValueKey, &RecordingQueryValue);
  const struct {
    const wchar_t* name;
    std::vector<ULONG> lengths;
    std::size_t size;
  } rows[] = {
      {L"Short", {256}, 12},
      {L"Exact", {256}, 244},
      {L"OneMore", {256, 12 + 245}, 245},
      {L"Long", {256, 12 + 2002}, 2002},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.name));
    g_queryLengths.clear();
    g_overflowFromCall = 0;
    RegistryValue value;
    ASSERT_EQ(key_.QueryValue(row.name, value), status::Success);
    EXPECT_EQ(value.Data().size(), row.size);
    EXPECT_EQ(g_queryLengths, row.lengths);
  }
  std::wstring text;
  ASSERT_EQ(key_.GetString(L"Long", text), status::Success);
  EXPECT_EQ(text, longText);

  g_queryLengths.clear();
  EXPECT_TRUE(key_.ValueExists(L"Long"));
  EXPECT_EQ(g_queryLengths, std::vector<ULONG>{16});

  // Growing twice is not followed: the read fails and changes nothing.
  g_queryLengths.clear();
  g_overflowFromCall = 2;
  RegistryValue untouched(REG_BINARY, Bytes{9});
  EXPECT_EQ(Code(key_.QueryValue(L"Long", untouched)), 0xE0010044u);
  EXPECT_EQ(g_queryLengths.size(), 2u);
  EXPECT_EQ(untouched.Data(), Bytes{9});
  g_overflowFromCall = 0;
}

std::vector<ULONG> g_enumerateLengths;
ZwEnumerateKeyFunction* g_realEnumerateKey = nullptr;
NTSTATUS NTAPI RecordingEnumerateKey(HANDLE key, ULONG index, ULONG informationClass, PVOID information, ULONG length,
                                     PULONG resultLength) {
  g_enumerateLengths.push_back(length);
  return g_realEnumerateKey(key, index, informationClass, information, length, resultLength);
}

TEST_F(RegistryValues, EnumSubKeysListsInIndexOrderWithLongNames) {
  // Key names may have 255 characters: more than the first buffer holds.
  const std::wstring longName(255, L'k');
  for (const std::wstring& name : {std::wstring(L"First"), longName, std::wstring(L"Last")}) {
    ASSERT_TRUE(test::MakeKey(HKEY_LOCAL_MACHINE, path_ + L"\\" + name));
  }
  std::vector<std::wstring> expected;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD size = 256;
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    const LONG result = RegEnumKeyExW(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) break;
    expected.emplace_back(name, size);
  }
  ASSERT_EQ(expected.size(), 3u);

  g_realEnumerateKey = Native().ZwEnumerateKey;
  SwappedEntry swap(Native().ZwEnumerateKey, &RecordingEnumerateKey);
  g_enumerateLengths.clear();
  std::vector<std::wstring> names{L"sentinel"};
  ASSERT_EQ(key_.EnumSubKeys(names), status::Success);
  EXPECT_EQ(names, expected);
  // One call per name, one retry for the long one, one for the end.
  EXPECT_EQ(g_enumerateLengths.size(), 5u);
  EXPECT_EQ(std::count(g_enumerateLengths.begin(), g_enumerateLengths.end(), 256u), 4);
}

NTSTATUS NTAPI DeniedQueryKey(HANDLE, ULONG, PVOID, ULONG, PULONG) { return nt::AccessDenied; }

TEST_F(RegistryValues, CountEntriesCountsTheKeysOwnSubkeysAndValues) {
  const struct {
    const char* name;
    const wchar_t* subkey;  // made below the key before the count, or null
    const wchar_t* value;   // written to the key before the count, or null
    std::uint32_t subKeys;
    std::uint32_t values;
  } rows[] = {
      {"empty", nullptr, nullptr, 0, 0},
      {"one value", nullptr, L"A", 0, 1},
      {"a subkey, whose own values are not counted", L"Sub", nullptr, 1, 1},
      {"a second subkey and value", L"Other", L"B", 2, 2},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.subkey) {
      ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, path_ + L"\\" + row.subkey, L"Inner", L"x"));
    }
    if (row.value) {
      ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, path_, row.value, L"x"));
    }
    std::uint32_t subKeys = 77;
    std::uint32_t values = 77;
    ASSERT_EQ(key_.CountEntries(subKeys, values), status::Success);
    EXPECT_EQ(subKeys, row.subKeys);
    EXPECT_EQ(values, row.values);
  }
  SwappedEntry swap(Native().ZwQueryKey, &DeniedQueryKey);
  std::uint32_t subKeys = 77;
  std::uint32_t values = 77;
  EXPECT_EQ(Code(key_.CountEntries(subKeys, values)), 0xE0010058u);
  EXPECT_EQ(subKeys, 77u);
  EXPECT_EQ(values, 77u);
}

std::vector<HANDLE> g_flushedKeys;
NTSTATUS NTAPI RecordingFlushKey(HANDLE key) {
  g_flushedKeys.push_back(key);
  return nt::Success;
}
NTSTATUS NTAPI DeniedFlushKey(HANDLE) { return nt::AccessDenied; }

TEST_F(RegistryValues, FlushHandsTheKeyItselfToTheSystemAndPassesItsAnswerOn) {
  // The real call first: Wine and Windows both answer it.
  ASSERT_EQ(key_.SetString(L"A", L"x"), status::Success);
  EXPECT_EQ(key_.Flush(), status::Success);

  g_flushedKeys.clear();
  {
    SwappedEntry swap(NativeChanges().ZwFlushKey, &RecordingFlushKey);
    EXPECT_EQ(key_.Flush(), status::Success);
  }
  ASSERT_EQ(g_flushedKeys.size(), 1u);
  std::wstring name;
  ASSERT_EQ(QueryKeyName(g_flushedKeys[0], name), status::Success);
  EXPECT_TRUE(test::SameName(name, test::NativeName(HKEY_LOCAL_MACHINE, path_))) << Narrow(name);

  SwappedEntry swap(NativeChanges().ZwFlushKey, &DeniedFlushKey);
  EXPECT_EQ(Code(key_.Flush()), 0xE0010058u);
}

}  // namespace
}  // namespace zor
