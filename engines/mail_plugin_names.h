#pragma once
// The product's plug-ins in other vendors' mail and collaboration software:
// the COM classes they register and the transport-agent removal scripts the
// program carries. No Windows header.
#include <array>
#include <string_view>

namespace zor {

// The Outlook add-in's connection class and its options page.
inline constexpr std::array<std::wstring_view, 2> kOutlookAddinClasses = {
    L"{C3B71E90-5F2A-4D68-A1C4-9B7E2D0F6A53}", L"{5D8A2F6C-0B47-4E91-8C3A-E6F12B79D0A4}"};

// The SharePoint virus scanner of the newer and of the older generation.
inline constexpr std::array<std::wstring_view, 2> kSharePointScannerClasses = {
    L"{91E4C7B2-3A05-4F6D-B8E9-2C7D10A5F463}", L"{A7F03D58-6C21-4B9E-9D4A-85E2C0B1F67D}"};

// The Exchange 2000/2003 antispam sink.
inline constexpr std::wstring_view kExchangeAntispamFilterClass = L"{3E6B9A17-D2C8-4F05-A941-7B0E5C2D8F16}";

// Resources of type "BINARY" holding the transport-agent scripts, in the
// order they run: antispam, antivirus SMTP, antivirus routing agent of the
// newer generation, then the same three of the older one.
inline constexpr std::array<int, 6> kTransportAgentScripts = {102, 104, 103, 112, 114, 113};

}  // namespace zor
