#include "fakes/PrivateSessionBus.h"

#include <stdexcept>

namespace parlune::testing {

PrivateSessionBus::PrivateSessionBus()
    : daemon_({"/usr/bin/dbus-daemon", "--session", "--nofork", "--print-address=1"}) {
    const auto address = daemon_.readLine(ChildProcess::standardOutput, std::chrono::seconds(10));
    if (!address || address->empty()) throw std::runtime_error("dbus-daemon gave no address");
    address_ = *address;
}

}  // namespace parlune::testing
