#include "linux/platform/XdgPaths.h"

#include <cstdlib>
#include <string_view>
#include <pwd.h>
#include <unistd.h>

namespace parlune::xdg {

std::filesystem::path home() {
    if (const char* value = std::getenv("HOME"); value != nullptr && *value != '\0') return value;
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) return entry->pw_dir;
    return "/";
}

namespace {

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

namespace {

// A colon-separated folder list from the environment; the fallback list when the variable is unset
// or empty.
std::vector<std::filesystem::path> folderList(const char* name, std::string_view fallback) {
    const char* value = std::getenv(name);
    std::string_view list = value != nullptr && *value != '\0' ? value : fallback;
    std::vector<std::filesystem::path> result;
    while (!list.empty()) {
        const auto colon = list.find(':');
        std::filesystem::path folder(list.substr(0, colon));
        if (folder.is_absolute()) result.push_back(std::move(folder));
        list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
    }
    return result;
}

}  // namespace

std::vector<std::filesystem::path> dataDirs() { return folderList("XDG_DATA_DIRS", "/usr/local/share:/usr/share"); }

std::vector<std::filesystem::path> configDirs() { return folderList("XDG_CONFIG_DIRS", "/etc/xdg"); }

}  // namespace parlune::xdg
