#pragma once
// The network configuration (INetCfg) as the firewall stage uses it to take
// a filter component out. Each call stands for the Windows calls it names
// and answers their HRESULT, so that the stage's decisions about locks,
// restarts and failures can be tested where no component can be removed:
// Windows' own configuration object is the only implementation the program
// has (NetworkConfigurationOfWindows).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace zor {

using ComResult = std::int32_t;

inline constexpr ComResult kComOk = 0;
inline constexpr ComResult kComFalse = 1;
inline constexpr ComResult kNetCfgReboot = 0x0004A020;                                   // NETCFG_S_REBOOT
inline constexpr ComResult kNetCfgNoWriteLock = static_cast<ComResult>(0x8004A024u);    // NETCFG_E_NO_WRITE_LOCK
inline constexpr ComResult kNetCfgNeedReboot = static_cast<ComResult>(0x8004A025u);     // NETCFG_E_NEED_REBOOT
constexpr bool ComSucceeded(ComResult result) { return result >= 0; }

class NetworkConfiguration {
 public:
  virtual ~NetworkConfiguration() = default;

  // CoInitialize; S_OK only when this call initialised COM on the thread.
  virtual ComResult InitializeCom() = 0;
  virtual void UninitializeCom() = 0;
  // CoCreateInstance of the configuration object and its lock interface.
  virtual ComResult Create() = 0;
  // S_FALSE when another client holds the lock; `holder` then receives its
  // description when Windows gave one.
  virtual ComResult AcquireWriteLock(std::uint32_t milliseconds, std::wstring_view client, std::wstring& holder) = 0;
  virtual ComResult ReleaseWriteLock() = 0;
  virtual ComResult Initialize() = 0;
  virtual ComResult Uninitialize() = 0;
  // S_OK when the component is installed, S_FALSE when it is not.
  virtual ComResult FindComponent(std::wstring_view componentId) = 0;
  // The found component's class, as its class-setup interface.
  virtual ComResult OpenComponentClass() = 0;
  // De-installs the found component on behalf of the user.
  virtual ComResult DeInstallComponent() = 0;
  virtual ComResult Apply() = 0;
  // Lets go of every interface and of the configuration object.
  virtual void Release() = 0;
};

// Windows' network configuration object, through COM.
std::unique_ptr<NetworkConfiguration> NetworkConfigurationOfWindows();

}  // namespace zor
