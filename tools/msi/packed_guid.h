#pragma once
// Windows Installer keeps product, upgrade and component codes in its keys
// in a packed form: the braces and dashes dropped, the first three groups
// reversed, and each byte of the last two groups with its two digits
// swapped. No Windows header.
#include <optional>
#include <string>
#include <string_view>

namespace zor::msi {

// "{3B9D2E41-6C7A-4F15-8E2B-9A0C4D6F1E73}" -> "14E2D9B3A7C651F4E8B2A9C0D4F6E137";
// nothing for a text that is not a code in braces. Letters come out in
// upper case, as Windows Installer writes them.
std::optional<std::wstring> PackedGuid(std::wstring_view code);

}  // namespace zor::msi
