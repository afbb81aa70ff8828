#pragma once
// The upgrade's waits. Tests shorten them; production only reads.

#include <chrono>

#include "tunable/tunable.h"

namespace upgrade::tunables {

// How long a command may run; one still running then is ended.
inline tunable::Tunable<std::chrono::milliseconds> commandTimeLimit{std::chrono::minutes(5)};
// How long a stopped service may take to stop, and a started one to run.
inline tunable::Tunable<std::chrono::milliseconds> serviceStopWait{std::chrono::seconds(60)};
inline tunable::Tunable<std::chrono::milliseconds> serviceRunWait{std::chrono::seconds(60)};
// How long a service whose stop did not finish may take to settle before it is
// started again.
inline tunable::Tunable<std::chrono::milliseconds> serviceSettleWait{std::chrono::seconds(60)};
// A restore of the old JAR that failed (a reader holding it without sharing
// deletion, a virus scanner) is tried again this often, this long apart.
inline tunable::Tunable<int> restoreAttempts{4};
inline tunable::Tunable<std::chrono::milliseconds> restoreRetryPause{std::chrono::seconds(5)};
// Between two questions to the service manager.
inline tunable::Tunable<std::chrono::milliseconds> serviceWaitPoll{std::chrono::milliseconds(500)};

}  // namespace upgrade::tunables
