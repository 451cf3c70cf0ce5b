#include "linux/apps/IconTheme.h"

#include "linux/apps/GlibHandles.h"
#include "linux/platform/XdgPaths.h"

#include <array>
#include <climits>
#include <cstdlib>
#include <system_error>

namespace parlune {
namespace {

namespace fs = std::filesystem;

constexpr std::array<std::string_view, 3> extensions{".png", ".svg", ".xpm"};
constexpr const char* fallbackTheme = "hicolor";

int integerValue(GKeyFile* file, const char* group, const char* key, int fallback) {
    GError* error = nullptr;
    const int value = g_key_file_get_integer(file, group, key, &error);
    if (error != nullptr) {
        g_clear_error(&error);
        return fallback;
    }
    return value;
}

std::vector<std::string> listValue(GKeyFile* file, const char* group, const char* key) {
    glib::Strv list(g_key_file_get_string_list(file, group, key, nullptr, nullptr));
    std::vector<std::string> result;
    for (gchar** item = list.get(); item != nullptr && *item != nullptr; ++item) {
        if (**item != '\0') result.emplace_back(*item);
    }
    return result;
}

glib::KeyFile loadKeyFile(const fs::path& file) {
    glib::KeyFile keys(g_key_file_new());
    g_key_file_set_list_separator(keys.get(), ',');
    if (!g_key_file_load_from_file(keys.get(), file.c_str(), G_KEY_FILE_NONE, nullptr)) return nullptr;
    return keys;
}

std::string themeFromGtkSettings() {
    for (const char* version : {"gtk-3.0", "gtk-4.0"}) {
        auto keys = loadKeyFile(xdg::configHome() / version / "settings.ini");
        if (!keys) continue;
        glib::Text name(g_key_file_get_string(keys.get(), "Settings", "gtk-icon-theme-name", nullptr));
        if (name && *name != '\0') return name.get();
    }
    return fallbackTheme;
}

}  // namespace

IconTheme::Settings IconTheme::Settings::forCurrentUser() {
    Settings settings;
    settings.themeName = themeFromGtkSettings();
    settings.baseFolders = {xdg::home() / ".icons", xdg::dataHome() / "icons"};
    for (const auto& folder : xdg::dataDirs()) settings.baseFolders.push_back(folder / "icons");
    settings.baseFolders.push_back(xdg::dataHome() / "flatpak/exports/share/icons");
    settings.baseFolders.push_back("/var/lib/flatpak/exports/share/icons");
    settings.baseFolders.push_back("/usr/share/pixmaps");
    return settings;
}

IconTheme::IconTheme(Settings settings) : settings_(std::move(settings)) {}

bool IconTheme::Directory::matches(int wanted) const {
    if (scale != 1) return false;
    switch (type) {
        case SizeType::fixed:
            return size == wanted;
        case SizeType::scalable:
            return minSize <= wanted && wanted <= maxSize;
        case SizeType::threshold:
            break;
    }
    return size - threshold <= wanted && wanted <= size + threshold;
}

int IconTheme::Directory::distance(int wanted) const {
    int low = size * scale;
    int high = size * scale;
    if (type == SizeType::scalable) {
        low = minSize * scale;
        high = maxSize * scale;
    } else if (type == SizeType::threshold) {
        low = (size - threshold) * scale;
        high = (size + threshold) * scale;
    }
    if (wanted < low) return low - wanted;
    if (wanted > high) return wanted - high;
    return 0;
}

const IconTheme::Theme* IconTheme::theme(const std::string& name) {
    auto [slot, inserted] = themes_.try_emplace(name);
    if (!inserted) return slot->second ? &*slot->second : nullptr;
    for (const auto& base : settings_.baseFolders) {
        auto keys = loadKeyFile(base / name / "index.theme");
        if (!keys) continue;
        Theme loaded;
        loaded.parents = listValue(keys.get(), "Icon Theme", "Inherits");
        for (const auto& path : listValue(keys.get(), "Icon Theme", "Directories")) {
            const char* group = path.c_str();
            Directory directory;
            directory.path = path;
            directory.size = integerValue(keys.get(), group, "Size", 0);
            if (directory.size <= 0) continue;  // a folder without a size is not usable
            directory.scale = integerValue(keys.get(), group, "Scale", 1);
            directory.minSize = integerValue(keys.get(), group, "MinSize", directory.size);
            directory.maxSize = integerValue(keys.get(), group, "MaxSize", directory.size);
            directory.threshold = integerValue(keys.get(), group, "Threshold", 2);
            glib::Text type(g_key_file_get_string(keys.get(), group, "Type", nullptr));
            const std::string_view typeName = type ? type.get() : "Threshold";
            directory.type = typeName == "Fixed"      ? SizeType::fixed
                             : typeName == "Scalable" ? SizeType::scalable
                                                      : SizeType::threshold;
            loaded.directories.push_back(std::move(directory));
        }
        slot->second = std::move(loaded);
        return &*slot->second;
    }
    return nullptr;
}

std::string IconTheme::lookup(std::string_view icon, int size) {
    if (icon.empty()) return {};
    const fs::path asPath(icon);
    if (asPath.is_absolute()) {
        std::error_code error;
        return fs::is_regular_file(asPath, error) ? std::string(icon) : std::string();
    }
    if (icon.find('/') != std::string_view::npos) return {};
    std::string name(icon);
    for (auto extension : extensions) {
        if (name.size() > extension.size() && name.ends_with(extension)) {
            name.resize(name.size() - extension.size());
            break;
        }
    }

    std::unordered_set<std::string> visited;
    for (const auto& themeName : {settings_.themeName, std::string(fallbackTheme)}) {
        if (auto found = findInTheme(name, size, themeName, visited); !found.empty()) return found;
    }
    for (const auto& base : settings_.baseFolders) {
        for (auto extension : extensions) {
            if (hasFile(base, name + std::string(extension))) return (base / (name + std::string(extension))).string();
        }
    }
    return {};
}

std::string IconTheme::findInTheme(const std::string& icon, int size, const std::string& themeName,
                                   std::unordered_set<std::string>& visited) {
    if (!visited.insert(themeName).second) return {};
    const Theme* found = theme(themeName);
    if (found == nullptr) return {};
    if (auto file = findInDirectories(icon, size, themeName, *found); !file.empty()) return file;
    for (const auto& parent : found->parents) {
        if (auto file = findInTheme(icon, size, parent, visited); !file.empty()) return file;
    }
    return {};
}

std::string IconTheme::findInDirectories(const std::string& icon, int size, const std::string& themeName,
                                         const Theme& theme) {
    std::string closest;
    int closestDistance = INT_MAX;
    for (bool exactPass : {true, false}) {
        for (const auto& directory : theme.directories) {
            if (exactPass != directory.matches(size)) continue;
            const int distance = directory.distance(size);
            if (!exactPass && distance >= closestDistance) continue;
            for (const auto& base : settings_.baseFolders) {
                const fs::path folder = base / themeName / directory.path;
                for (auto extension : extensions) {
                    const std::string fileName = icon + std::string(extension);
                    if (!hasFile(folder, fileName)) continue;
                    if (exactPass) return (folder / fileName).string();
                    if (distance < closestDistance) {
                        closest = (folder / fileName).string();
                        closestDistance = distance;
                    }
                }
            }
        }
    }
    return closest;
}

bool IconTheme::hasFile(const fs::path& folder, const std::string& fileName) {
    auto [listing, inserted] = listings_.try_emplace(folder.string());
    if (inserted) {
        std::error_code error;
        for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
            listing->second.insert(it->path().filename().string());
        }
    }
    return listing->second.contains(fileName);
}

}  // namespace parlune
