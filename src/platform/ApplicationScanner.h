#pragma once

#include "core/apps/InstalledApp.h"

#include <vector>

namespace parlune {

// Lists the installed applications as the desktop knows them.
class ApplicationScanner {
public:
    virtual ~ApplicationScanner() = default;
    // Every application found, in scan order (folder by folder, each folder in the order the file
    // system lists it), duplicates by name included. Folders or entries that cannot be read are
    // left out. Runs off the main loop: must not touch loop state, and is called from one thread
    // at a time.
    virtual std::vector<InstalledApp> scanApplications() = 0;
};

}  // namespace parlune
