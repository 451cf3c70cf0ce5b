#include "linux/apps/DesktopEntries.h"

#include "core/log/Log.h"
#include "linux/apps/GlibHandles.h"
#include "linux/platform/XdgPaths.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string_view>
#include <system_error>
#include <unordered_set>

namespace parlune::desktop {
namespace {

namespace fs = std::filesystem;

constexpr const char* group = "Desktop Entry";
constexpr std::string_view extension = ".desktop";
constexpr std::uintmax_t largestEntryFile = 1 << 20;

std::string takeMessage(GError*& error) {
    std::string message = error != nullptr ? error->message : "unknown error";
    g_clear_error(&error);
    return message;
}

// A string value with its escapes decoded. A value that is not UTF-8 is taken raw, bad bytes
// replaced by U+FFFD.
std::optional<std::string> stringValue(GKeyFile* file, const char* key) {
    GError* error = nullptr;
    glib::Text value(g_key_file_get_string(file, group, key, &error));
    if (value) return std::string(value.get());
    const bool badEncoding = g_error_matches(error, G_KEY_FILE_ERROR, G_KEY_FILE_ERROR_UNKNOWN_ENCODING);
    g_clear_error(&error);
    if (!badEncoding) return std::nullopt;
    glib::Text raw(g_key_file_get_value(file, group, key, nullptr));
    if (!raw) return std::nullopt;
    glib::Text valid(g_utf8_make_valid(raw.get(), -1));
    return std::string(valid.get());
}

// True only for a well-formed "true"; anything else reads as false, as GLib's own readers do.
bool booleanValue(GKeyFile* file, const char* key) {
    GError* error = nullptr;
    const bool value = g_key_file_get_boolean(file, group, key, &error);
    g_clear_error(&error);
    return value;
}

std::vector<std::string> listValue(GKeyFile* file, const char* key) {
    glib::Strv list(g_key_file_get_string_list(file, group, key, nullptr, nullptr));
    std::vector<std::string> result;
    for (gchar** item = list.get(); item != nullptr && *item != nullptr; ++item) {
        if (**item != '\0') result.emplace_back(*item);
    }
    return result;
}

std::vector<std::string> commandLine(GKeyFile* file) {
    const auto exec = stringValue(file, "Exec");
    if (!exec) return {};
    gchar** argv = nullptr;
    if (!g_shell_parse_argv(exec->c_str(), nullptr, &argv, nullptr)) return {};
    glib::Strv owned(argv);
    std::vector<std::string> result;
    for (gchar** item = argv; *item != nullptr; ++item) result.emplace_back(*item);
    return result;
}

std::optional<std::string> readSmallFile(const fs::path& file, std::string& problem) {
    std::error_code error;
    const auto size = fs::file_size(file, error);
    if (error) {
        problem = "cannot read it (" + error.message() + ")";
        return std::nullopt;
    }
    if (size > largestEntryFile) {
        problem = "larger than 1 MiB";
        return std::nullopt;
    }
    std::ifstream stream(file, std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    if (!stream && !stream.eof()) {
        problem = "cannot read it";
        return std::nullopt;
    }
    return content;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return g_ascii_tolower(x) == g_ascii_tolower(y);
           });
}

bool namesWindow(std::string_view name, const WindowIdentity& window) {
    return !name.empty() &&
           (equalsIgnoringAsciiCase(name, window.className) || equalsIgnoringAsciiCase(name, window.instanceName));
}

// The program an Exec= line runs, past "env" and its settings; empty when there is none.
std::string programOf(const std::vector<std::string>& exec) {
    auto it = exec.begin();
    if (it != exec.end() && fs::path(*it).filename() == "env") {
        ++it;
        while (it != exec.end() && (it->find('=') != std::string::npos || it->starts_with("-"))) {
            const bool takesValue = *it == "-u" || *it == "-C";  // --unset NAME, --chdir DIR
            ++it;
            if (takesValue && it != exec.end()) ++it;
        }
    }
    return it != exec.end() ? fs::path(*it).filename().string() : std::string();
}

// Programs that run other programs: many entries share them, so they tell nothing of the window.
bool isLauncher(std::string_view program) {
    static constexpr std::array<std::string_view, 18> launchers{
        "sh", "bash", "dash", "zsh", "perl", "ruby", "node", "nodejs", "java", "mono", "wine", "gjs",
        "flatpak", "snap", "sudo", "pkexec", "xdg-open", "gtk-launch"};
    return program.starts_with("python") || std::find(launchers.begin(), launchers.end(), program) != launchers.end();
}

}  // namespace

bool DesktopEntry::isTerminalEmulator() const {
    return std::find(categories.begin(), categories.end(), "TerminalEmulator") != categories.end();
}

ReadResult readDesktopEntry(const fs::path& file) {
    ReadResult result;
    auto content = readSmallFile(file, result.problem);
    if (!content) return result;
    if (content->starts_with("\xEF\xBB\xBF")) content->erase(0, 3);

    glib::KeyFile keys(g_key_file_new());
    GError* error = nullptr;
    if (!g_key_file_load_from_data(keys.get(), content->data(), content->size(), G_KEY_FILE_NONE, &error)) {
        result.problem = takeMessage(error);
        return result;
    }
    if (!g_key_file_has_group(keys.get(), group)) {
        result.problem = "no [Desktop Entry] group";
        return result;
    }
    // A hidden entry stands for a deleted one: it needs nothing else.
    const bool hidden = booleanValue(keys.get(), "Hidden");
    const auto type = stringValue(keys.get(), "Type");
    if (!type && !hidden) {
        result.problem = "no Type";
        return result;
    }
    if (type && *type != "Application") return result;  // a link or a menu folder: not an application
    auto name = stringValue(keys.get(), "Name");
    if ((!name || name->empty()) && !hidden) {
        result.problem = "no Name";
        return result;
    }
    DesktopEntry entry;
    entry.path = file.string();
    entry.id = file.filename().string();
    if (entry.id.ends_with(extension)) entry.id.resize(entry.id.size() - extension.size());
    entry.hidden = hidden;
    entry.noDisplay = booleanValue(keys.get(), "NoDisplay");
    entry.name = name.value_or(std::string());
    entry.icon = stringValue(keys.get(), "Icon").value_or(std::string());
    entry.exec = commandLine(keys.get());
    entry.startupWmClass = stringValue(keys.get(), "StartupWMClass").value_or(std::string());
    entry.categories = listValue(keys.get(), "Categories");
    result.entry = std::move(entry);
    return result;
}

std::vector<fs::path> applicationFolders() {
    std::vector<fs::path> dataFolders{xdg::dataHome()};
    for (auto& folder : xdg::dataDirs()) dataFolders.push_back(std::move(folder));
    std::vector<fs::path> result;
    auto add = [&](const fs::path& folder) {
        fs::path normal = folder.lexically_normal();
        if (std::find(result.begin(), result.end(), normal) == result.end()) result.push_back(std::move(normal));
    };
    for (const auto& folder : dataFolders) add(folder / "applications");
    add(xdg::dataHome() / "flatpak/exports/share/applications");
    add("/var/lib/flatpak/exports/share/applications");
    return result;
}

std::vector<DesktopEntry> scanApplicationEntries(const std::vector<fs::path>& folders) {
    std::vector<DesktopEntry> result;
    std::unordered_set<std::string> decided;  // file names already taken or hidden
    for (const auto& folder : folders) {
        std::error_code error;
        fs::directory_iterator listing(folder, error);
        if (error) continue;
        for (auto it = fs::begin(listing); it != fs::end(listing); it.increment(error)) {
            const std::string fileName = it->path().filename().string();
            if (!fileName.ends_with(extension) || decided.contains(fileName)) continue;
            std::error_code statusError;
            if (!it->is_regular_file(statusError)) continue;
            auto read = readDesktopEntry(folder / fileName);
            if (!read.problem.empty()) {
                log::line("⚠️ Skipping application entry " + (folder / fileName).string() + ": " + read.problem);
                continue;
            }
            decided.insert(fileName);
            if (read.entry && !read.entry->noDisplay && !read.entry->hidden) result.push_back(std::move(*read.entry));
        }
    }
    return result;
}

const DesktopEntry* findEntryForWindow(const std::vector<DesktopEntry>& entries, const WindowIdentity& window) {
    for (const auto& entry : entries) {
        if (namesWindow(entry.startupWmClass, window)) return &entry;
    }
    for (const auto& entry : entries) {
        if (namesWindow(entry.id, window)) return &entry;
    }
    const std::string executable = fs::path(window.executable).filename().string();
    const DesktopEntry* found = nullptr;
    for (const auto& entry : entries) {
        const std::string program = programOf(entry.exec);
        if (program.empty() || isLauncher(program)) continue;
        if (!namesWindow(program, window) && !equalsIgnoringAsciiCase(program, executable)) continue;
        if (found != nullptr) return nullptr;  // several entries run it: no telling which
        found = &entry;
    }
    return found;
}

}  // namespace parlune::desktop
