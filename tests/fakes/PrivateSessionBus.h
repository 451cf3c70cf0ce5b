#pragma once

// A D-Bus session bus of a test's own: `dbus-daemon --session --nofork --print-address`, started
// on construction and killed (by its PID) on destruction.

#include <string>
#include <sys/types.h>

namespace parlune::testing {

class PrivateSessionBus {
public:
    // Throws std::runtime_error when the daemon cannot be started or gives no address in time.
    PrivateSessionBus();
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    const std::string& address() const { return address_; }

private:
    void stop();
    pid_t pid_ = -1;
    std::string address_;
};

}  // namespace parlune::testing
