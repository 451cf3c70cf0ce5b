#pragma once

// A TCP server on 127.0.0.1 that accepts connections, reads what the client sends and never
// answers: a stand-in for a server that hangs. It notices when a client gives up and closes.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace parlune::testing {

class SilentServer {
public:
    SilentServer();  // listening once constructed
    ~SilentServer();
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    int port() const { return port_; }
    std::string baseURL() const { return "http://127.0.0.1:" + std::to_string(port_); }

    // Waits (at most `bound`) until `count` requests have come in whole (headers and body), or until
    // `count` connections have been closed by their clients; true when they have.
    bool waitForRequests(int count, std::chrono::milliseconds bound);
    bool waitForClosed(int count, std::chrono::milliseconds bound);

private:
    void serve();

    int listener_ = -1;
    int port_ = 0;
    int stopPipe_[2] = {-1, -1};
    std::mutex mutex_;
    std::condition_variable changed_;
    int requests_ = 0;
    int closed_ = 0;
    std::thread thread_;
};

}  // namespace parlune::testing
