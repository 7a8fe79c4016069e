#include "platform/network_configuration.h"

#include <windows.h>
#include <objbase.h>
#include <netcfgx.h>

#include "platform/win32_api.h"

namespace zor {
namespace {

// The published identifiers, spelled out so that no import library of
// GUIDs is needed.
constexpr GUID kNetCfgObject = {0x5B035261, 0x40F9, 0x11D1, {0xAA, 0xEC, 0x00, 0x80, 0x5F, 0xC1, 0x27, 0x0E}};
constexpr GUID kNetCfgInterface = {0xC0E8AE93, 0x306E, 0x11D1, {0xAA, 0xCF, 0x00, 0x80, 0x5F, 0xC1, 0x27, 0x0E}};
constexpr GUID kNetCfgLock = {0xC0E8AE9F, 0x306E, 0x11D1, {0xAA, 0xCF, 0x00, 0x80, 0x5F, 0xC1, 0x27, 0x0E}};
constexpr GUID kNetCfgClass = {0xC0E8AE97, 0x306E, 0x11D1, {0xAA, 0xCF, 0x00, 0x80, 0x5F, 0xC1, 0x27, 0x0E}};
constexpr GUID kNetCfgClassSetup = {0xC0E8AE9D, 0x306E, 0x11D1, {0xAA, 0xCF, 0x00, 0x80, 0x5F, 0xC1, 0x27, 0x0E}};

template <typename Interface>
void ReleaseInterface(Interface*& pointer) {
  if (pointer) pointer->Release();
  pointer = nullptr;
}

class WindowsNetworkConfiguration final : public NetworkConfiguration {
 public:
  ~WindowsNetworkConfiguration() override { Release(); }

  ComResult InitializeCom() override { return ::CoInitialize(nullptr); }
  void UninitializeCom() override { ::CoUninitialize(); }

  ComResult Create() override {
    HRESULT result = ::CoCreateInstance(kNetCfgObject, nullptr, CLSCTX_INPROC_SERVER, kNetCfgInterface,
                                        reinterpret_cast<void**>(&configuration_));
    if (FAILED(result)) return result;
    return configuration_->QueryInterface(kNetCfgLock, reinterpret_cast<void**>(&lock_));
  }

  ComResult AcquireWriteLock(std::uint32_t milliseconds, std::wstring_view client, std::wstring& holder) override {
    const std::wstring description(client);
    LPWSTR other = nullptr;
    const HRESULT result = lock_->AcquireWriteLock(milliseconds, description.c_str(), &other);
    if (other) {
      if (result == S_FALSE) holder = other;
      ::CoTaskMemFree(other);
    }
    return result;
  }
  ComResult ReleaseWriteLock() override { return lock_->ReleaseWriteLock(); }
  ComResult Initialize() override { return configuration_->Initialize(nullptr); }
  ComResult Uninitialize() override { return configuration_->Uninitialize(); }

  ComResult FindComponent(std::wstring_view componentId) override {
    const std::wstring id(componentId);
    return configuration_->FindComponent(id.c_str(), &component_);
  }

  ComResult OpenComponentClass() override {
    GUID classId{};
    HRESULT result = component_->GetClassGuid(&classId);
    if (FAILED(result)) return result;
    result = configuration_->QueryNetCfgClass(&classId, kNetCfgClass, reinterpret_cast<void**>(&class_));
    if (FAILED(result)) return result;
    return class_->QueryInterface(kNetCfgClassSetup, reinterpret_cast<void**>(&classSetup_));
  }

  ComResult DeInstallComponent() override {
    return Win32Changes().DeInstallNetworkComponent(classSetup_, component_);
  }
  ComResult Apply() override { return Win32Changes().ApplyNetworkConfiguration(configuration_); }

  void Release() override {
    ReleaseInterface(classSetup_);
    ReleaseInterface(class_);
    ReleaseInterface(component_);
    ReleaseInterface(lock_);
    ReleaseInterface(configuration_);
  }

 private:
  INetCfg* configuration_ = nullptr;
  INetCfgLock* lock_ = nullptr;
  INetCfgComponent* component_ = nullptr;
  INetCfgClass* class_ = nullptr;
  INetCfgClassSetup* classSetup_ = nullptr;
};

}  // namespace

std::unique_ptr<NetworkConfiguration> NetworkConfigurationOfWindows() {
  return std::make_unique<WindowsNetworkConfiguration>();
}

}  // namespace zor
