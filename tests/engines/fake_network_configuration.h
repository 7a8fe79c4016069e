#pragma once
// A network configuration that answers as it is told and writes down each
// call, for the firewall stage's phase 1: Wine's configuration object has no
// filter component to remove and holds no write lock between processes.
#include <functional>
#include <string>
#include <vector>

#include "platform/network_configuration.h"

namespace zor::test {

struct NetworkAnswers {
  ComResult initializeCom = kComOk;
  ComResult create = kComOk;
  ComResult acquireWriteLock = kComOk;
  std::wstring holder;  // given with a refused lock
  ComResult initialize = kComOk;
  ComResult findComponent = kComOk;
  ComResult openComponentClass = kComOk;
  ComResult deInstall = kComOk;
  ComResult apply = kComOk;
  ComResult uninitialize = kComOk;
};

class FakeNetworkConfiguration final : public NetworkConfiguration {
 public:
  FakeNetworkConfiguration(NetworkAnswers answers, std::vector<std::string>& calls)
      : answers_(std::move(answers)), calls_(calls) {}

  // Runs inside DeInstallComponent, while the stage has the configuration.
  std::function<void()> duringDeInstall;

  ComResult InitializeCom() override { return Called("InitializeCom", answers_.initializeCom); }
  void UninitializeCom() override { calls_.push_back("UninitializeCom"); }
  ComResult Create() override { return Called("Create", answers_.create); }
  ComResult AcquireWriteLock(std::uint32_t milliseconds, std::wstring_view client, std::wstring& holder) override {
    calls_.push_back("AcquireWriteLock " + std::to_string(milliseconds) + " " + std::string(client.begin(), client.end()));
    if (answers_.acquireWriteLock == kComFalse) holder = answers_.holder;
    return answers_.acquireWriteLock;
  }
  ComResult ReleaseWriteLock() override { return Called("ReleaseWriteLock", kComOk); }
  ComResult Initialize() override { return Called("Initialize", answers_.initialize); }
  ComResult Uninitialize() override { return Called("Uninitialize", answers_.uninitialize); }
  ComResult FindComponent(std::wstring_view componentId) override {
    calls_.push_back("FindComponent " + std::string(componentId.begin(), componentId.end()));
    return answers_.findComponent;
  }
  ComResult OpenComponentClass() override { return Called("OpenComponentClass", answers_.openComponentClass); }
  ComResult DeInstallComponent() override {
    if (duringDeInstall) duringDeInstall();
    return Called("DeInstallComponent", answers_.deInstall);
  }
  ComResult Apply() override { return Called("Apply", answers_.apply); }
  void Release() override { calls_.push_back("Release"); }

 private:
  ComResult Called(const char* name, ComResult answer) {
    calls_.push_back(name);
    return answer;
  }

  NetworkAnswers answers_;
  std::vector<std::string>& calls_;
};

}  // namespace zor::test
