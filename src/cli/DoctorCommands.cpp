// parlune doctor

#include "cli/Command.h"
#include "cli/HeadlessApp.h"
#include "core/log/Log.h"
#include "linux/doctor/DesktopChecks.h"
#include "linux/platform/DeploymentConfigFile.h"

#include <cstdlib>
#include <iostream>

namespace parlune::cli {
namespace {

using namespace std::chrono_literals;

// Every probe bounds its own calls (2–3 s); this guards against one that blocks anyway.
constexpr std::chrono::milliseconds checkBound = 5s;

int runDoctor(const std::vector<std::string>& args) {
    if (!args.empty()) return usageError("doctor takes no arguments");
    RecordedHotkey hotkey;
    {
        HeadlessApp headless;
        hotkey = *headless.app->selectedHotkey();
    }
    // The lines say what each check found; the adapters' own event lines would only repeat it.
    log::setSink([](std::string_view) {});
    const auto deployment = loadDeploymentConfig();

    const auto run = doctor::runProbes(doctor::desktopProbes(hotkey, deployment), checkBound,
                                       [](const doctor::Check& check) { std::cout << doctor::formatLine(check) << std::endl; });
    std::cout << doctor::summaryLine(run.checks) << std::endl;
    const int status = doctor::exitStatus(run.checks);
    // A probe still blocked in a dead daemon cannot be joined: leave without waiting for it.
    if (run.abandoned) std::_Exit(status);
    return status;
}

const bool registered = registerCommand(
    {"doctor",
     "  doctor                     check this desktop for dictation, one line per check with what to do;\n"
     "                             exit status 0 when everything dictation needs is there\n",
     runDoctor});

}  // namespace
}  // namespace parlune::cli
