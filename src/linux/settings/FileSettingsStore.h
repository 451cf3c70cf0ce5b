#pragma once

#include "platform/SettingsStore.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>

namespace parlune {

// Settings kept in one JSON object file (pretty-printed, keys sorted, mode 0600 in a 0700 folder).
//
// Every set or remove is on disk before it returns: the whole file is written to a temporary
// sibling, synced, renamed over the file, and the folder synced. Other processes (the command
// line) may change the file at any time: writes hold an flock on "<file>.lock", re-read the file
// and put only their own key on top of what is there; reads re-read the file whenever its stat
// signature changed.
//
// A file that is not a JSON object is moved aside to "<file>.unreadable-<date>-<time>[-n]" (never
// replacing anything) and the store starts from defaults. A file that cannot be read or moved
// aside is left alone: the store runs on an in-memory copy and never writes over it. Failures are
// logged as "⚠️ " lines; none of them throws. Thread-safe.
class FileSettingsStore final : public SettingsStore {
public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    explicit FileSettingsStore(std::filesystem::path path);
    // `now` stamps the names of files moved aside.
    FileSettingsStore(std::filesystem::path path, Clock now);

    // $XDG_CONFIG_HOME/parlune/settings.json; $XDG_CONFIG_HOME defaults to $HOME/.config and is
    // ignored unless it is an absolute path.
    static std::filesystem::path defaultPath();

    const std::filesystem::path& path() const { return path_; }

    std::optional<nlohmann::json> value(std::string_view key) const override;
    void setValue(std::string_view key, nlohmann::json value) override;
    void remove(std::string_view key) override;
    nlohmann::json snapshot() const override;

private:
    // What stat says about the file; any change means someone else wrote it.
    struct Signature {
        bool exists = false;
        int error = 0;  // errno of a failed stat other than "no such file"
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::int64_t size = 0;
        std::int64_t modifiedNs = 0;
        bool operator==(const Signature&) const = default;
    };
    enum class Refresh { ifChanged, always };
    class FileLock;

    Signature statSignature() const;
    static Signature signatureOf(const void* statResult);  // from a struct stat
    void refresh(Refresh when, bool locked) const;
    void load(const Signature& current, bool locked) const;
    void setAside(const std::string& problem, const Signature& unreadable) const;
    void persist(std::string_view key) const;
    nlohmann::json merged() const;

    std::filesystem::path path_;
    Clock now_;

    mutable std::mutex mutex_;
    mutable bool loaded_ = false;
    mutable Signature seen_;
    // The file's contents as last read or written (kept as they were when the file became unusable).
    mutable nlohmann::json disk_ = nlohmann::json::object();
    // Our changes not yet on disk (a value, or nullopt for a removal), laid over disk_.
    mutable std::map<std::string, std::optional<nlohmann::json>, std::less<>> pending_;
    // The file exists but cannot be read or moved aside: leave it alone and never write.
    mutable bool untouchable_ = false;
};

}  // namespace parlune
