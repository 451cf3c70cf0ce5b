#pragma once

#include "core/session/PlatformBundle.h"

namespace parlune {

// AppState's surroundings for the command line: the user's real settings store and
// application-support folder, the Linux default hotkey, and nothing that monitors, shows, records
// or pastes.
PlatformBundle makeHeadlessPlatform(EventLoop& loop);

}  // namespace parlune
