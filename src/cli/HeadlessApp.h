#pragma once

#include "linux/runtime/StdLoop.h"
#include "core/session/AppState.h"

#include <memory>

namespace parlune::cli {

// AppState over the headless platform, for commands that read or change the user's settings.
// Event lines go to standard error, so standard output carries only the command's result.
struct HeadlessApp {
    HeadlessApp();
    StdLoop loop;
    std::shared_ptr<AppState> app;
};

}  // namespace parlune::cli
