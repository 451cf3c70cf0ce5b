#pragma once

// The probes of `parlune doctor` on this desktop, each reusing the adapter that the application
// uses for the same service, each bounded in time: a dead daemon gives a failed check, never a hang.

#include "core/config/DeploymentConfig.h"
#include "core/doctor/DoctorReport.h"
#include "core/values/Values.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace parlune::doctor {

struct Probe {
    std::string name;
    Need need = Need::dictation;
    std::function<Check()> run;
    enum class Display { none, checks, needs } display = Display::none;  // the display check, or one that needs it
};

// Every check, in the order they are shown: the display and what dictation needs first, then the
// optional services.
std::vector<Probe> desktopProbes(const RecordedHotkey& hotkey, const DeploymentConfig& deployment);

// Runs `probe` on a thread of its own and waits at most `bound`. A probe that has not answered by
// then fails with "no answer within N s" and its thread is left behind (`abandoned`); the process
// must then end with std::_Exit rather than return from main.
struct BoundedCheck {
    Check check;
    bool abandoned = false;
};
BoundedCheck runBounded(const Probe& probe, std::chrono::milliseconds bound);

// Runs the probes in order, each bounded, handing every check to `onCheck` as it comes. Probes that
// need the display are not run once the display check failed (an X server that does not answer
// would keep each of them waiting for the whole bound).
struct ProbeRun {
    std::vector<Check> checks;
    bool abandoned = false;
};
ProbeRun runProbes(const std::vector<Probe>& probes, std::chrono::milliseconds bound,
                   const std::function<void(const Check&)>& onCheck);

}  // namespace parlune::doctor
