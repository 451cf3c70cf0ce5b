#pragma once

#include "core/account/SupabaseClient.h"
#include "core/config/DeploymentConfig.h"
#include "platform/AccountServices.h"

#include <filesystem>
#include <memory>

namespace parlune {

// Values kept in a folder of their own (mode 0700), one file a key (mode 0600), each replaced
// atomically: written to a new file, flushed, renamed over the old one.
class FileSessionStorage final : public SessionStorage {
public:
    explicit FileSessionStorage(std::filesystem::path folder) : folder_(std::move(folder)) {}
    // $XDG_DATA_HOME/parlune
    static std::filesystem::path defaultFolder();

    std::optional<std::string> read(std::string_view key) override;
    bool write(std::string_view key, const std::string& value) override;
    void remove(std::string_view key) override;

    std::filesystem::path fileFor(std::string_view key) const;

private:
    std::filesystem::path folder_;
};

// OpenSSL's random generator and SHA-256.
class OpenSslPkceCrypto final : public PkceCrypto {
public:
    std::string randomBytes(std::size_t count) override;
    std::string sha256(std::string_view data) override;
};

// Opens addresses with xdg-open (an argument vector, no shell). Answers once the program has
// started: xdg-open may stay until the browser ends.
class XdgBrowserOpener final : public BrowserOpener {
public:
    Task<std::optional<std::string>> open(std::string url) override;
};

// The real services of this user: CurlHttpClient, the session folder, OpenSSL, xdg-open, the
// system clock. One set serves every client, so all of them share the session.
BackendServices makeBackendServices(EventLoop& loop);
std::shared_ptr<SupabaseClient> makeSupabaseClient(const DeploymentConfig& config, const BackendServices& services);

}  // namespace parlune
