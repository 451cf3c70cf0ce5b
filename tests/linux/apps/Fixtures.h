#pragma once

// Small files for the application tests.

#include "fakes/Process.h"
#include "fakes/ScopedEnvironment.h"

#include <string>

namespace parlune::testing {

// A minimal application entry.
inline std::string applicationEntry(const std::string& name, const std::string& more = "") {
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=true\n" + more;
}

}  // namespace parlune::testing
