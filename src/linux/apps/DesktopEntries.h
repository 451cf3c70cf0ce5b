#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// Installed applications as .desktop files (freedesktop Desktop Entry files of type Application).
namespace parlune::desktop {

struct DesktopEntry {
    std::string path;  // the folder joined with the file name: the application's key
    std::string id;    // the file name without ".desktop"
    std::string name;  // unlocalised Name=
    std::string icon;  // Icon= as written: a theme icon name or an absolute file
    std::vector<std::string> exec;  // Exec= split into arguments; empty when absent or unreadable
    std::string startupWmClass;
    std::vector<std::string> categories;
    bool noDisplay = false;
    bool hidden = false;

    bool isTerminalEmulator() const;
};

// What reading one file gave: an application, something else (another Type), or a broken file.
struct ReadResult {
    std::optional<DesktopEntry> entry;  // set for a readable entry of type Application
    std::string problem;                // set when the file is broken
};

// Reads one .desktop file: group "Desktop Entry", locale keys ignored, escapes decoded. A UTF-8
// byte-order mark is skipped; text that is not UTF-8 is kept with U+FFFD in place of bad bytes.
ReadResult readDesktopEntry(const std::filesystem::path& file);

// The folders holding application entries, highest priority first: $XDG_DATA_HOME/applications,
// each of $XDG_DATA_DIRS (default /usr/local/share:/usr/share) + /applications, then the user's
// and the system's Flatpak exports. Each folder once.
std::vector<std::filesystem::path> applicationFolders();

// The visible applications of the folders, in scan order: folder by folder, each in the order the
// file system lists it, no descent into subfolders. The first file of a given file name decides for
// that name: a later one of the same name is not read, and a first one with NoDisplay or Hidden
// hides it. Unlistable folders are skipped silently; broken files are logged and skipped.
std::vector<DesktopEntry> scanApplicationEntries(const std::vector<std::filesystem::path>& folders);

// What a window tells of its application.
struct WindowIdentity {
    std::string instanceName;  // WM_CLASS, first part
    std::string className;     // WM_CLASS, second part
    std::string executable;    // the process's executable file, empty when unknown
};

// The entry of the window's application: by StartupWMClass, then by file name (the desktop-file id
// equal to the class or the instance), then by the program in Exec= when exactly one entry runs
// it (interpreters and launchers never match this way). Names compare case-insensitively (ASCII).
const DesktopEntry* findEntryForWindow(const std::vector<DesktopEntry>& entries, const WindowIdentity& window);

}  // namespace parlune::desktop
