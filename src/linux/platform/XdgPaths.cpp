#include "linux/platform/XdgPaths.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace parlune::xdg {
namespace {

std::filesystem::path home() {
    if (const char* value = std::getenv("HOME"); value != nullptr && *value != '\0') return value;
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) return entry->pw_dir;
    return "/";
}

std::filesystem::path fromEnvironment(const char* name, const std::filesystem::path& fallbackUnderHome) {
    if (const char* value = std::getenv(name); value != nullptr) {
        std::filesystem::path path(value);
        if (path.is_absolute()) return path;
    }
    return home() / fallbackUnderHome;
}

}  // namespace

std::filesystem::path configHome() { return fromEnvironment("XDG_CONFIG_HOME", ".config"); }

std::filesystem::path dataHome() { return fromEnvironment("XDG_DATA_HOME", ".local/share"); }

}  // namespace parlune::xdg
