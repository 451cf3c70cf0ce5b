#include "fakes/SilentServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>
#include <stdexcept>
#include <vector>

namespace parlune::testing {
namespace {

// True once `data` holds a whole request: the head and as many body bytes as Content-Length says.
bool wholeRequest(const std::string& data) {
    const auto headEnd = data.find("\r\n\r\n");
    if (headEnd == std::string::npos) return false;
    std::size_t length = 0;
    for (const std::string name : {"Content-Length: ", "content-length: "}) {
        if (const auto at = data.find(name); at != std::string::npos && at < headEnd) {
            length = std::stoul(data.substr(at + name.size()));
        }
    }
    return data.size() >= headEnd + 4 + length;
}

}  // namespace

SilentServer::SilentServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(listener_, 64) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0 ||
        ::pipe2(stopPipe_, O_CLOEXEC) != 0) {
        throw std::runtime_error("SilentServer: cannot listen on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
}

SilentServer::~SilentServer() {
    const char stop = 's';
    [[maybe_unused]] const auto written = ::write(stopPipe_[1], &stop, 1);
    thread_.join();
    ::close(listener_);
    ::close(stopPipe_[0]);
    ::close(stopPipe_[1]);
}

void SilentServer::serve() {
    std::map<int, std::string> connections;  // fd → what it sent so far
    for (;;) {
        std::vector<pollfd> watched{{stopPipe_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
        for (const auto& [fd, data] : connections) watched.push_back({fd, POLLIN, 0});
        if (::poll(watched.data(), watched.size(), 1000) < 0) continue;
        if (watched[0].revents != 0) break;
        if (watched[1].revents & POLLIN) {
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) connections.emplace(fd, std::string());
        }
        for (std::size_t index = 2; index < watched.size(); ++index) {
            if (watched[index].revents == 0) continue;
            const int fd = watched[index].fd;
            char buffer[4096];
            const auto got = ::read(fd, buffer, sizeof buffer);
            std::string& data = connections[fd];
            std::lock_guard lock(mutex_);
            if (got > 0) {
                const bool wasWhole = wholeRequest(data);
                data.append(buffer, static_cast<std::size_t>(got));
                if (!wasWhole && wholeRequest(data)) ++requests_;
            } else {
                ::close(fd);
                connections.erase(fd);
                ++closed_;
            }
            changed_.notify_all();
        }
    }
    for (const auto& [fd, data] : connections) ::close(fd);
}

bool SilentServer::waitForRequests(int count, std::chrono::milliseconds bound) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, bound, [&] { return requests_ >= count; });
}

bool SilentServer::waitForClosed(int count, std::chrono::milliseconds bound) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, bound, [&] { return closed_ >= count; });
}

}  // namespace parlune::testing
