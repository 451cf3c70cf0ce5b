#pragma once

// An HTTP (or HTTPS) server on 127.0.0.1, on a free port, answering every request with a handler
// of the test's and keeping a copy of each request.

#include <httplib.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace parlune::testing {

class LocalHttpServer {
public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;
    struct Received {
        std::string method;
        std::string target;  // as sent: a path, or an absolute address when sent to a proxy
        httplib::Headers headers;
        std::string body;
        std::string header(const std::string& name) const;  // "" when absent
    };

    // HTTPS when a certificate and key file are given.
    explicit LocalHttpServer(Handler handler, const std::string& certificateFile = {}, const std::string& keyFile = {});
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    int port() const { return port_; }
    std::string baseURL() const;
    std::vector<Received> received() const;

    // A handler that answers every request with this status, body and content type.
    static Handler replying(int status, std::string body, std::string contentType = "application/json");

private:
    std::unique_ptr<httplib::Server> server_;
    bool secure_ = false;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::vector<Received> received_;
    std::thread thread_;
};

// A port on 127.0.0.1 on which nothing listens.
int unusedPort();

}  // namespace parlune::testing
