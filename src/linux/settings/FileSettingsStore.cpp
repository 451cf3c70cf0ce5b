#include "linux/settings/FileSettingsStore.h"

#include "core/log/Log.h"
#include "linux/platform/PosixFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parlune {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;
using files::Descriptor;
using files::makeFolders;
using files::readAll;
using files::syncFolder;
using files::writeAll;

// How long a write waits for another process to release the lock before giving up on saving.
constexpr auto lockPatience = std::chrono::seconds(3);
constexpr auto lockPollInterval = std::chrono::milliseconds(2);
// How many "-n" suffixes to try when moving an unreadable file aside.
constexpr int maxAsideAttempts = 1000;

std::string errorText(int error) { return std::error_code(error, std::generic_category()).message(); }

// Moves `from` to `to` unless `to` exists. errno, EEXIST when `to` is taken.
int renameNoReplace(const fs::path& from, const fs::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // The file system cannot rename without replacing: a hard link cannot replace either.
    if (::link(from.c_str(), to.c_str()) != 0) return errno;
    if (::unlink(from.c_str()) != 0) {
        const int error = errno;
        ::unlink(to.c_str());
        return error;
    }
    return 0;
}

std::string timestamp(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return std::string(text, length);
}

fs::path homeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr && *found->pw_dir != '\0') {
        return found->pw_dir;
    }
    return "/";
}

fs::path siblingPath(const fs::path& file, std::string_view suffix) {
    fs::path sibling = file;
    sibling += std::string(suffix);
    return sibling;
}

}  // namespace

// An exclusive flock on the sibling lock file, held for the lifetime of the object.
class FileSettingsStore::FileLock {
public:
    explicit FileLock(const fs::path& settingsPath) {
        const fs::path lockPath = siblingPath(settingsPath, ".lock");
        fd_.reset(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600));
        if (!fd_ && (errno == EACCES || errno == EROFS)) {
            // flock works on a descriptor opened for reading only.
            fd_.reset(::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
        }
        if (!fd_) {
            error_ = "could not open the lock file " + lockPath.string() + ": " + errorText(errno);
            return;
        }
        const auto giveUp = std::chrono::steady_clock::now() + lockPatience;
        for (;;) {
            if (::flock(fd_.get(), LOCK_EX | LOCK_NB) == 0) return;
            if (errno == EINTR) continue;
            if (errno != EWOULDBLOCK) {
                error_ = "could not lock " + lockPath.string() + ": " + errorText(errno);
                break;
            }
            if (std::chrono::steady_clock::now() >= giveUp) {
                error_ = "another process kept " + lockPath.string() + " locked";
                break;
            }
            std::this_thread::sleep_for(lockPollInterval);
        }
        fd_.close();
    }

    bool held() const { return static_cast<bool>(fd_); }
    const std::string& error() const { return error_; }

private:
    // Closing the descriptor releases the lock.
    Descriptor fd_;
    std::string error_;
};

FileSettingsStore::FileSettingsStore(fs::path path)
    : FileSettingsStore(std::move(path), [] { return std::chrono::system_clock::now(); }) {}

FileSettingsStore::FileSettingsStore(fs::path path, Clock now) : path_(std::move(path)), now_(std::move(now)) {
    std::lock_guard lock(mutex_);
    refresh(Refresh::ifChanged, false);
}

fs::path FileSettingsStore::defaultPath() {
    fs::path base;
    // Relative values are invalid and must be ignored.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && fs::path(xdg).is_absolute()) {
        base = xdg;
    } else {
        base = homeFolder() / ".config";
    }
    return base / "parlune" / "settings.json";
}

std::optional<json> FileSettingsStore::value(std::string_view key) const {
    std::lock_guard lock(mutex_);
    refresh(Refresh::ifChanged, false);
    if (const auto change = pending_.find(key); change != pending_.end()) return change->second;
    const auto found = disk_.find(key);
    if (found == disk_.end()) return std::nullopt;
    return *found;
}

json FileSettingsStore::snapshot() const {
    std::lock_guard lock(mutex_);
    refresh(Refresh::ifChanged, false);
    return merged();
}

void FileSettingsStore::setValue(std::string_view key, json value) {
    std::lock_guard lock(mutex_);
    pending_.insert_or_assign(std::string(key), std::move(value));
    persist(key);
}

void FileSettingsStore::remove(std::string_view key) {
    std::lock_guard lock(mutex_);
    pending_.insert_or_assign(std::string(key), std::nullopt);
    persist(key);
}

json FileSettingsStore::merged() const {
    json values = disk_;
    for (const auto& [key, change] : pending_) {
        if (change) {
            values[key] = *change;
        } else {
            values.erase(key);
        }
    }
    return values;
}

void FileSettingsStore::refresh(Refresh when, bool locked) const {
    try {
        const Signature current = statSignature();
        // An untouchable file is only looked at again once it changes, so its warning is logged once.
        if (loaded_ && current == seen_ && (when == Refresh::ifChanged || untouchable_)) return;
        load(current, locked);
        loaded_ = true;
    } catch (const std::exception& error) {
        log::line("⚠️ Settings file " + path_.string() + " could not be read (" + error.what() +
                  "); running on the settings kept in memory");
        loaded_ = true;
    }
}

FileSettingsStore::Signature FileSettingsStore::statSignature() const {
    struct stat info {};
    if (::stat(path_.c_str(), &info) != 0) {
        Signature missing;
        if (errno != ENOENT && errno != ENOTDIR) missing.error = errno;
        return missing;
    }
    return signatureOf(&info);
}

FileSettingsStore::Signature FileSettingsStore::signatureOf(const void* statResult) {
    const auto& info = *static_cast<const struct stat*>(statResult);
    Signature signature;
    signature.exists = true;
    signature.device = info.st_dev;
    signature.inode = info.st_ino;
    signature.size = info.st_size;
    signature.modifiedNs = std::int64_t{info.st_mtim.tv_sec} * 1'000'000'000 + info.st_mtim.tv_nsec;
    return signature;
}

void FileSettingsStore::load(const Signature& current, bool locked) const {
    const auto leaveAlone = [&](const std::string& reason, const Signature& signature) {
        untouchable_ = true;
        seen_ = signature;
        log::line("⚠️ Settings file " + path_.string() + " could not be opened (" + reason +
                  "); running on the settings kept in memory and leaving the file as it is");
    };

    if (!current.exists) {
        if (current.error != 0) return leaveAlone(errorText(current.error), current);
        disk_ = json::object();
        untouchable_ = false;
        seen_ = current;
        return;
    }

    Descriptor fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd) {
        // Replaced or removed since the stat: look again.
        if (errno == ENOENT) return load(statSignature(), locked);
        return leaveAlone(errorText(errno), current);
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) return leaveAlone(errorText(errno), current);
    const Signature opened = signatureOf(&info);
    if (!S_ISREG(info.st_mode)) return leaveAlone("not a regular file", opened);
    std::string contents;
    if (const int error = readAll(fd.get(), contents); error != 0) return leaveAlone(errorText(error), opened);
    fd.close();

    std::string problem;
    if (contents.empty()) {
        problem = "the file is empty";
    } else {
        try {
            json parsed = json::parse(contents);
            if (parsed.is_object()) {
                disk_ = std::move(parsed);
                untouchable_ = false;
                seen_ = opened;
                return;
            }
            problem = std::string("the top level is ") + parsed.type_name() + ", not an object";
        } catch (const json::parse_error& error) {
            problem = "not valid JSON at byte " + std::to_string(error.byte);
        }
    }

    if (!locked) {
        // Move it aside only under the lock, after reading it again: another process may have just
        // replaced it with a good file.
        FileLock lock(path_);
        if (lock.held()) return load(statSignature(), true);
        problem += "; " + lock.error();
        untouchable_ = true;
        seen_ = opened;
        log::line("⚠️ Settings file " + path_.string() + " could not be read (" + problem +
                  ") and could not be moved aside; running on the settings kept in memory and leaving the file as it is");
        return;
    }
    setAside(problem, opened);
}

void FileSettingsStore::setAside(const std::string& problem, const Signature& unreadable) const {
    const std::string stem = siblingPath(path_, ".unreadable-" + timestamp(now_())).string();
    int error = EEXIST;
    fs::path aside;
    for (int attempt = 1; attempt <= maxAsideAttempts && error == EEXIST; ++attempt) {
        aside = attempt == 1 ? fs::path(stem) : fs::path(stem + "-" + std::to_string(attempt));
        error = renameNoReplace(path_, aside);
    }
    if (error != 0) {
        untouchable_ = true;
        seen_ = unreadable;
        log::line("⚠️ Settings file " + path_.string() + " could not be read (" + problem +
                  ") and could not be moved aside (" + errorText(error) +
                  "); running on the settings kept in memory and leaving the file as it is");
        return;
    }
    syncFolder(path_.parent_path());
    disk_ = json::object();
    untouchable_ = false;
    seen_ = statSignature();
    log::line("⚠️ Settings file " + path_.string() + " could not be read (" + problem + "); moved it to " +
              aside.string() + " and starting from defaults");
}

void FileSettingsStore::persist(std::string_view key) const {
    const auto notSaved = [&](const std::string& reason) {
        log::line("⚠️ Setting \"" + std::string(key) + "\" could not be saved to " + path_.string() + " (" + reason +
                  "); keeping the value in memory");
    };
    try {
        const fs::path folder = path_.parent_path();
        if (const int error = makeFolders(folder); error != 0) {
            return notSaved("could not create the folder " + folder.string() + ": " + errorText(error));
        }
        FileLock lock(path_);
        if (!lock.held()) return notSaved(lock.error());
        refresh(Refresh::always, true);
        if (untouchable_) return notSaved("the existing file could not be read and is left as it is");

        json values = merged();
        const std::string text = values.dump(2, ' ', false, json::error_handler_t::replace) + "\n";

        std::string temporaryName = siblingPath(path_, ".tmp-XXXXXX").string();
        Descriptor fd(::mkostemp(temporaryName.data(), O_CLOEXEC));
        if (!fd) return notSaved("could not create a temporary file: " + errorText(errno));
        const fs::path temporary = temporaryName;
        const auto failed = [&](const std::string& step, int error) {
            fd.close();
            ::unlink(temporary.c_str());
            notSaved(step + ": " + errorText(error));
        };
        if (::fchmod(fd.get(), 0600) != 0) return failed("could not set the file mode", errno);
        if (const int error = writeAll(fd.get(), text); error != 0) return failed("could not write", error);
        if (::fsync(fd.get()) != 0) return failed("could not sync", errno);
        struct stat info {};
        if (::fstat(fd.get(), &info) != 0) return failed("could not inspect the written file", errno);
        if (const int error = fd.close(); error != 0) return failed("could not close", error);
        if (::rename(temporary.c_str(), path_.c_str()) != 0) return failed("could not replace the file", errno);

        disk_ = std::move(values);
        pending_.clear();
        seen_ = signatureOf(&info);
        loaded_ = true;
        if (const int error = syncFolder(folder); error != 0) {
            log::line("⚠️ Settings file " + path_.string() + " was written but its folder could not be synced (" +
                      errorText(error) + "); the change may not survive a power loss");
        }
    } catch (const std::exception& error) {
        notSaved(error.what());
    }
}

}  // namespace parlune
