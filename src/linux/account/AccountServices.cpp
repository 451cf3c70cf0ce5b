#include "linux/account/AccountServices.h"

#include "core/log/Log.h"
#include "linux/http/CurlHttpClient.h"
#include "linux/platform/PosixFiles.h"
#include "linux/platform/XdgPaths.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <vector>

extern char** environ;

namespace parlune {
namespace fs = std::filesystem;
using files::Descriptor;

namespace {

// The HTTP client, started at the first request: programs that never reach the backend start no
// transfer thread (which would also take signals meant for their main thread).
class LazyHttpClient final : public HttpClient {
public:
    explicit LazyHttpClient(EventLoop& loop) : loop_(loop) {}
    Task<HttpResult> send(HttpRequest request) override {
        if (!client_) client_ = std::make_unique<CurlHttpClient>(loop_);
        return client_->send(std::move(request));
    }

private:
    EventLoop& loop_;
    std::unique_ptr<CurlHttpClient> client_;
};

}  // namespace

fs::path FileSessionStorage::defaultFolder() { return xdg::dataHome() / "parlune"; }

fs::path FileSessionStorage::fileFor(std::string_view key) const { return folder_ / ("auth-" + std::string(key) + ".json"); }

std::optional<std::string> FileSessionStorage::read(std::string_view key) {
    Descriptor fd(::open(fileFor(key).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW));
    if (!fd) return std::nullopt;
    std::string text;
    if (files::readAll(fd.get(), text) != 0) return std::nullopt;
    if (text.size() > 1024 * 1024) return std::nullopt;  // no session is this large
    return text;
}

bool FileSessionStorage::write(std::string_view key, const std::string& value) {
    if (files::makeFolders(folder_) != 0) return false;
    const auto target = fileFor(key);
    auto temporary = target;
    temporary += ".new-" + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    {
        Descriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW, 0600));
        if (!fd) return false;
        if (::fchmod(fd.get(), 0600) != 0 || files::writeAll(fd.get(), value) != 0 || ::fsync(fd.get()) != 0) {
            ::unlink(temporary.c_str());
            return false;
        }
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    files::syncFolder(folder_);
    return true;
}

void FileSessionStorage::remove(std::string_view key) { ::unlink(fileFor(key).c_str()); }

std::string OpenSslPkceCrypto::randomBytes(std::size_t count) {
    std::string bytes(count, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<int>(count)) != 1) {
        // Without a secure source no sign-in may start; this is a broken system, not bad input.
        throw std::runtime_error("the system's random source failed");
    }
    return bytes;
}

std::string OpenSslPkceCrypto::sha256(std::string_view data) {
    std::string digest(32, '\0');
    unsigned int size = 0;
    EVP_Digest(data.data(), data.size(), reinterpret_cast<unsigned char*>(digest.data()), &size, EVP_sha256(), nullptr);
    digest.resize(size);
    return digest;
}

Task<std::optional<std::string>> XdgBrowserOpener::open(std::string url) {
    std::string program = "xdg-open";
    std::vector<char*> argv{program.data(), url.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    pid_t pid = 0;
    const int error = ::posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) co_return "xdg-open could not be started: " + std::string(std::strerror(error));
    // Reaped whenever it ends; the browser it started is not ours to wait for.
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    co_return std::nullopt;
}

BackendServices makeBackendServices(EventLoop& loop) {
    BackendServices services;
    services.loop = &loop;
    services.http = std::make_shared<LazyHttpClient>(loop);
    services.storage = std::make_shared<FileSessionStorage>(FileSessionStorage::defaultFolder());
    services.browser = std::make_shared<XdgBrowserOpener>();
    services.crypto = std::make_shared<OpenSslPkceCrypto>();
    services.unixTime = [] {
        return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    };
    return services;
}

std::shared_ptr<SupabaseClient> makeSupabaseClient(const DeploymentConfig& config, const BackendServices& services) {
    return std::make_shared<SupabaseClient>(config.backendURL, config.backendPublishableKey, services);
}

}  // namespace parlune
