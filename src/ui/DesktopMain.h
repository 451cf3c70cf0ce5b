#pragma once

// The desktop application's entry, free of Qt headers so the command line can call it.

#include <string>
#include <vector>

namespace parlune {

// Starts the desktop application, or hands `arguments` (URLs, or none for a re-open) to the one
// already running for this user and returns. Returns the exit status.
int runDesktopApplication(int argc, char** argv, const std::vector<std::string>& arguments);

}  // namespace parlune
