#pragma once
// A machine whose upload service does what a test row scripts: by default
// "net stop" stops it and "net start" runs it; a row's hooks change that, and
// may touch the files. The clock stands at one fixed second.

#include <chrono>
#include <functional>
#include <string>

#include "upgrade/upgrade_machine.h"

namespace upgrade_test {

class ScriptedMachine final : public upgrade::UpgradeMachine {
 public:
  using Outcome = upgrade::ServiceOutcome;

  Outcome state = Outcome::Running;
  int stops = 0;
  int starts = 0;
  std::wstring netCalls;  // "stop,start," as issued
  // After the default effect of each net command: may change `state` and
  // what the command returns.
  std::function<void(ScriptedMachine&, const std::wstring& verb, bool& ran)> onNet;
  // What a wait sees instead of the state, when set.
  std::function<Outcome(ScriptedMachine&, const char* wait)> onWait;
  std::function<void()> onPause;

  Outcome ReadService(const std::wstring&) override { return state; }
  Outcome WaitUntilStopped(const std::wstring&, std::chrono::milliseconds) override {
    return onWait ? onWait(*this, "stopped") : state;
  }
  Outcome WaitUntilSettled(const std::wstring&, std::chrono::milliseconds) override {
    return onWait ? onWait(*this, "settled") : state;
  }
  bool RunNet(const std::wstring& arguments) override {
    const std::wstring verb = arguments.substr(0, arguments.find(L' '));
    netCalls += verb + L",";
    bool ran = true;
    if (verb == L"stop") {
      ++stops;
      state = Outcome::Stopped;
    } else if (verb == L"start") {
      ++starts;
      state = Outcome::Running;
    }
    if (onNet) onNet(*this, verb, ran);
    return ran;
  }
  os::LocalTime Now() override { return {2026, 12, 11, 9, 30, 0}; }
  void Pause(std::chrono::milliseconds) override {
    if (onPause) onPause();
  }
};

}  // namespace upgrade_test
