#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace parlune {

// Finds icon files by name the way the freedesktop icon theme rules say: the user's theme, the
// themes it inherits, then "hicolor", then loose files in the base folders. Folder listings are
// read once per instance, so one instance serves a whole scan. Not thread-safe.
class IconTheme {
public:
    struct Settings {
        std::string themeName = "hicolor";
        // Where themes and loose icons live, highest priority first.
        std::vector<std::filesystem::path> baseFolders;

        // The theme chosen in the user's GTK settings (gtk-3.0, then gtk-4.0 settings.ini), else
        // "hicolor"; folders ~/.icons, $XDG_DATA_HOME/icons, each $XDG_DATA_DIRS/icons, the
        // Flatpak exports' icons and /usr/share/pixmaps.
        static Settings forCurrentUser();
    };

    explicit IconTheme(Settings settings);

    // The file for an icon (a name as in an Icon= line, or an absolute file) at `size` pixels:
    // an exact size if the themes have one, else the nearest. Empty when there is none.
    std::string lookup(std::string_view icon, int size = 64);

private:
    enum class SizeType { fixed, scalable, threshold };
    struct Directory {
        std::string path;  // relative to the theme folder
        int size = 0;
        int scale = 1;
        int minSize = 0;
        int maxSize = 0;
        int threshold = 2;
        SizeType type = SizeType::threshold;
        bool matches(int wanted) const;
        int distance(int wanted) const;
    };
    struct Theme {
        std::vector<Directory> directories;
        std::vector<std::string> parents;
    };

    const Theme* theme(const std::string& name);
    std::string findInTheme(const std::string& icon, int size, const std::string& themeName,
                            std::unordered_set<std::string>& visited);
    std::string findInDirectories(const std::string& icon, int size, const std::string& themeName, const Theme& theme);
    bool hasFile(const std::filesystem::path& folder, const std::string& fileName);

    Settings settings_;
    std::unordered_map<std::string, std::optional<Theme>> themes_;
    std::unordered_map<std::string, std::unordered_set<std::string>> listings_;
};

}  // namespace parlune
