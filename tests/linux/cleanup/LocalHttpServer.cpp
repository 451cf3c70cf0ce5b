#include "LocalHttpServer.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace parlune::testing {
namespace {

// The servers here are on loopback: a proxy from the surroundings must not come between.
[[maybe_unused]] const bool proxiesCleared = [] {
    for (const char* name : {"http_proxy", "https_proxy", "all_proxy", "HTTPS_PROXY", "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
        ::unsetenv(name);
    }
    return true;
}();

}  // namespace

std::string LocalHttpServer::Received::header(const std::string& name) const {
    const auto found = headers.find(name);
    return found == headers.end() ? std::string() : found->second;
}

LocalHttpServer::LocalHttpServer(Handler handler, const std::string& certificateFile, const std::string& keyFile) {
    if (certificateFile.empty()) {
        server_ = std::make_unique<httplib::Server>();
    } else {
        server_ = std::make_unique<httplib::SSLServer>(certificateFile.c_str(), keyFile.c_str());
        secure_ = true;
    }
    auto serve = [this, handler = std::move(handler)](const httplib::Request& request, httplib::Response& response) {
        {
            std::lock_guard lock(mutex_);
            received_.push_back(Received{request.method, request.target, request.headers, request.body});
        }
        handler(request, response);
    };
    // One request per connection: a connection kept alive would hold stop() up for seconds.
    server_->set_keep_alive_max_count(1);
    server_->Get(".*", serve);
    server_->Post(".*", serve);
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("LocalHttpServer: cannot listen on 127.0.0.1");
    // The socket listens from here on; connections wait in its queue until the loop accepts them.
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    // stop() only reaches a server whose loop runs.
    for (int waited = 0; !server_->is_running() && waited < 5000; ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

LocalHttpServer::~LocalHttpServer() {
    server_->stop();
    thread_.join();
}

std::string LocalHttpServer::baseURL() const {
    return std::string(secure_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_);
}

std::vector<LocalHttpServer::Received> LocalHttpServer::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

LocalHttpServer::Handler LocalHttpServer::replying(int status, std::string body, std::string contentType) {
    return [status, body = std::move(body), contentType = std::move(contentType)](const httplib::Request&,
                                                                                  httplib::Response& response) {
        response.status = status;
        response.set_content(body, contentType);
    };
}

int unusedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

}  // namespace parlune::testing
