#pragma once

// A D-Bus session bus of a test's own: `dbus-daemon --session --nofork`, started on construction
// and stopped (by its PID) on destruction.

#include "fakes/ChildProcess.h"

#include <string>

namespace parlune::testing {

class PrivateSessionBus {
public:
    // Throws std::runtime_error when the daemon cannot be started or gives no address in time.
    PrivateSessionBus();
    const std::string& address() const { return address_; }

private:
    ChildProcess daemon_;
    std::string address_;
};

}  // namespace parlune::testing
