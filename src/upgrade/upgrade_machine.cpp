#include "upgrade/upgrade_machine.h"

#include "tunable/tunable.h"
#include "upgrade/command_runner.h"

namespace upgrade {

namespace {

class Real final : public UpgradeMachine {
 public:
  ServiceOutcome ReadService(const std::wstring& name) override { return ReadServiceOutcome(name); }
  ServiceOutcome WaitUntilStopped(const std::wstring& name,
                                  std::chrono::milliseconds limit) override {
    return upgrade::WaitUntilStopped(name, limit);
  }
  ServiceOutcome WaitUntilSettled(const std::wstring& name,
                                  std::chrono::milliseconds limit) override {
    return upgrade::WaitUntilSettled(name, limit);
  }
  bool RunNet(const std::wstring& arguments) override { return RunAndWait(L"net", arguments); }
  os::LocalTime Now() override { return os::CurrentLocalTime(); }
  void Pause(std::chrono::milliseconds length) override {
    os::SleepMilliseconds(tunable::WholeMilliseconds(length));
  }
};

}  // namespace

UpgradeMachine& RealMachine() {
  static Real machine;
  return machine;
}

}  // namespace upgrade
